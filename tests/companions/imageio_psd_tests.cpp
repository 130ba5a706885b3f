#include <gtest/gtest.h>

#include "companions/imageio/psd_module.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// Layered PSD files built byte by byte: an RGB one (a raw background, an
// empty layer, a half-opaque hidden RLE layer with alpha, a layer with a
// user mask channel to skip; RLE merged picture), a greyscale one, a
// 16-bit one and one with a negative layer count (merged alpha). Every
// picture's expected RGBA goes to NAME.rgba / NAME-layerN.rgba.
const char* kMakePsd = R"PY(
import sys, struct
d = sys.argv[1]

def packbits(row):
    out, i = b'', 0
    while i < len(row):
        n = 1
        while i + n < len(row) and row[i + n] == row[i] and n < 128:
            n += 1
        if n >= 3:
            out += struct.pack('b', -(n - 1)) + bytes([row[i]])
            i += n
            continue
        j = i
        while j < len(row) and j - i < 128 and not (j + 2 < len(row) and row[j] == row[j + 1] == row[j + 2]):
            j += 1
        out += bytes([j - i - 1]) + bytes(row[i:j])
        i = j
    return out

def planes_data(planes, w, h, rle, depth=8):
    bps = depth // 8
    rows = [[bytes(p[y * w:(y + 1) * w]) if bps == 1 else b''.join(bytes([v, 0x5A]) for v in p[y * w:(y + 1) * w])
             for y in range(h)] for p in planes]
    if not rle:
        return struct.pack('>H', 0) + b''.join(b''.join(r) for r in rows)
    packed = [[packbits(r) for r in pr] for pr in rows]
    return struct.pack('>H', 1) + b''.join(struct.pack('>H', len(r)) for pr in packed for r in pr) + \
        b''.join(b''.join(pr) for pr in packed)

def pascal(name):
    b = bytes([len(name)]) + name.encode()
    return b + b'\0' * (-len(b) % 4)

def psd(w, h, mode, channels, merged, layers, rle_merged=True, depth=8, negative=False):
    # layers: (top, left, bottom, right, opacity, hidden, name, [(id, plane, rle)])
    records, data = b'', b''
    for top, left, bottom, right, opacity, hidden, name, chans in layers:
        lw, lh = right - left, bottom - top
        blobs = [(cid, planes_data([plane], max(lw, 0) if cid != -2 else 2, max(lh, 0) if cid != -2 else 2, rle, depth))
                 for cid, plane, rle in chans]
        records += struct.pack('>4iH', top, left, bottom, right, len(blobs))
        records += b''.join(struct.pack('>hI', cid, len(b)) for cid, b in blobs)
        extra = struct.pack('>I', 0) + struct.pack('>I', 0) + pascal(name)
        records += b'8BIMnorm' + bytes([opacity, 0, 2 if hidden else 0, 0]) + struct.pack('>I', len(extra)) + extra
        data += b''.join(b for _, b in blobs)
    count = -len(layers) if negative else len(layers)
    info = struct.pack('>h', count) + records + data if layers else b''
    info += b'\0' * (len(info) % 2)
    section = (struct.pack('>I', len(info)) + info if layers else b'') + struct.pack('>I', 0)
    out = b'8BPS' + struct.pack('>H', 1) + b'\0' * 6 + struct.pack('>HIIHH', channels, h, w, depth, mode)
    out += struct.pack('>I', 0) + struct.pack('>I', 4) + b'junk'
    out += struct.pack('>I', len(section)) + section
    out += planes_data(merged, w, h, rle_merged, depth)
    return out

def rgba_dump(name, planes, w, h, grey=False):
    out = []
    for i in range(w * h):
        c = [planes[0][i]] * 3 if grey else [planes[0][i], planes[1][i], planes[2][i]]
        a = planes[3 if not grey else 1][i] if len(planes) > (1 if grey else 3) else 255
        out += c + [a]
    open(d + '/' + name + '.rgba', 'wb').write(bytes(out))

def plane(w, h, f):
    return [f(x, y) % 256 for y in range(h) for x in range(w)]

W, H = 12, 10
merged = [plane(W, H, lambda x, y: x * 20), plane(W, H, lambda x, y: y * 25), plane(W, H, lambda x, y: 7 if x < 6 else 99)]
bg = [plane(10, 12, lambda x, y, c=c: (x + y * 3) * (c + 1)) for c in range(3)]
half = [plane(5, 6, lambda x, y: 200), plane(5, 6, lambda x, y, : x * 50), plane(5, 6, lambda x, y: y * 40),
        plane(5, 6, lambda x, y: 255 if x > 1 else 0)]
top = [plane(3, 2, lambda x, y, c=c: 10 * c + x + y) for c in range(3)]
layers = [
    (0, 0, 12, 10, 255, False, 'Background', [(0, bg[0], False), (1, bg[1], False), (2, bg[2], False)]),
    (0, 0, 0, 0, 255, False, 'empty', [(0, [], False), (1, [], False), (2, [], False)]),
    (3, 2, 9, 7, 128, True, 'Half', [(-1, half[3], True), (0, half[0], True), (1, half[1], True), (2, half[2], True)]),
    (7, 8, 9, 11, 255, False, 'Top', [(0, top[0], False), (-2, [1, 2, 3, 4], False), (1, top[1], False), (2, top[2], False)]),
]
open(d + '/rgb.psd', 'wb').write(psd(W, H, 3, 3, merged, layers))
rgba_dump('rgb', merged, W, H)
rgba_dump('rgb-layer0', bg, 10, 12)
rgba_dump('rgb-layer1', half, 5, 6)
rgba_dump('rgb-layer2', top, 3, 2)
flat = psd(W, H, 3, 3, merged, [], rle_merged=False)
open(d + '/flat.psd', 'wb').write(flat)

g = [plane(7, 5, lambda x, y: x * 30 + y)]
gl = [(0, 0, 5, 7, 255, False, 'g0', [(0, g[0], True)]), (1, 1, 3, 4, 255, False, 'g1', [(0, plane(3, 2, lambda x, y: 9), False)])]
open(d + '/grey.psd', 'wb').write(psd(7, 5, 1, 1, g, gl))
rgba_dump('grey', g, 7, 5, grey=True)

open(d + '/deep.psd', 'wb').write(psd(4, 3, 3, 3, [plane(4, 3, lambda x, y, c=c: x * 60 + c) for c in range(3)], [], depth=16))
rgba_dump('deep', [plane(4, 3, lambda x, y, c=c: x * 60 + c) for c in range(3)], 4, 3)

ma = merged + [plane(W, H, lambda x, y: 255 if y < 5 else 30)]
one = [(0, 0, 10, 12, 255, False, 'only', [(-1, plane(12, 10, lambda x, y: 255), False), (0, bg[0], False), (1, bg[1], False), (2, bg[2], False)])]
open(d + '/negative.psd', 'wb').write(psd(W, H, 3, 4, ma, one, negative=True))
rgba_dump('negative', ma, W, H)

raw = open(d + '/rgb.psd', 'rb').read()
open(d + '/cut.psd', 'wb').write(raw[:len(raw) - 40])
open(d + '/cutlayers.psd', 'wb').write(raw[:200])
huge = bytearray(flat); huge[14:22] = struct.pack('>II', 300000, 300000)
open(d + '/huge.psd', 'wb').write(bytes(huge))
cmyk = bytearray(flat); cmyk[24:26] = struct.pack('>H', 4)
open(d + '/cmyk.psd', 'wb').write(bytes(cmyk))
)PY";

using ImageIoPsd = ScriptFiles<&kMakePsd>;

}  // namespace

TEST_F(ImageIoPsd, MergedPictureMatches) {
  const struct {
    const char* file;
    const char* rgba;
    int w, h;
  } cases[] = {{"rgb.psd", "rgb", 12, 10}, {"flat.psd", "rgb", 12, 10}, {"grey.psd", "grey", 7, 5},
               {"deep.psd", "deep", 4, 3}, {"negative.psd", "negative", 12, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, dir.File(c.file), IMAGE_FORMAT_PSD), 0) << pack.errorText;
    EXPECT_EQ(pack.BlockCount(), 1u);
    EXPECT_EQ(pack.width, c.w);
    EXPECT_EQ(pack.height, c.h);
    EXPECT_EQ(FirstDifference(BlockRgba(pack), ReadBytes(dir.File(std::string(c.rgba) + ".rgba"))), -1);
    EXPECT_EQ(pack.transparencyMode, std::string(c.file) == "negative.psd" ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE);
  }
}

TEST_F(ImageIoPsd, LayersBottomToTopWithTransparencyVisibilityAndNames) {
  CTevImageInfoPack pack;
  pack.path = dir.File("rgb.psd");
  CTevPsdImportOptions layers;
  layers.layersAsObjects = 1;
  ASSERT_EQ(LoadImageW(pack, &layers, nullptr), 0) << pack.errorText;
  EXPECT_EQ(pack.width, 12);
  EXPECT_EQ(pack.height, 10);
  // The empty layer is left out.
  ASSERT_EQ(pack.BlockCount(), 3u);
  const struct {
    int x, y, w, h;
    BYTE transparency, visible;
    const char* name;
  } want[] = {{0, 0, 10, 12, 0, 1, "Background"}, {2, 3, 5, 6, 127, 0, "Half"}, {8, 7, 3, 2, 0, 1, "Top"}};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const CTevSubImageBlock* b = pack.BlockAt(std::size_t(i));
    EXPECT_EQ(b->x, want[i].x);
    EXPECT_EQ(b->y, want[i].y);
    EXPECT_EQ(DibWidth(b->picture.get()), want[i].w);
    EXPECT_EQ(DibHeight(b->picture.get()), want[i].h);
    EXPECT_EQ(b->byteA, want[i].transparency);
    EXPECT_EQ(b->byteB, want[i].visible);
    EXPECT_EQ(b->layerName, want[i].name);
    EXPECT_EQ(FirstDifference(BlockRgba(*b), ReadBytes(dir.File("rgb-layer" + std::to_string(i) + ".rgba"))), -1);
  }
  EXPECT_EQ(CLoadPsdImgModule::IsPSDFileContainMultiLayers(dir.File("rgb.psd")), 3);
  EXPECT_EQ(CLoadPsdImgModule::IsPSDFileContainMultiLayers(dir.File("grey.psd")), 2);
  EXPECT_EQ(CLoadPsdImgModule::IsPSDFileContainMultiLayers(dir.File("negative.psd")), 0);
  EXPECT_EQ(CLoadPsdImgModule::IsPSDFileContainMultiLayers(dir.File("cutlayers.psd")), 0);

}

TEST_F(ImageIoPsd, DamagedAndUnsupportedFilesFail) {
  for (const char* name : {"cut.psd", "cutlayers.psd", "huge.psd", "cmyk.psd"}) {
    for (BYTE asLayers : {BYTE(0), BYTE(1)}) {
      // Layers do not need the merged picture that cut.psd lacks.
      if (asLayers && std::string(name) == "cut.psd") continue;
      SCOPED_TRACE(std::string(name) + (asLayers ? " as layers" : ""));
      CTevImageInfoPack pack;
      pack.path = dir.File(name);
      CTevPsdImportOptions options;
      options.layersAsObjects = asLayers;
      EXPECT_NE(LoadImageW(pack, &options, nullptr), 0);
      EXPECT_FALSE(pack.picture);
    }
  }
  CTevImageInfoPack pack;
  EXPECT_EQ(Load(pack, dir.File("huge.psd"), IMAGE_FORMAT_PSD), IMAGEIO_ERR_TOO_LARGE);
  CTevPsdImportOptions layers;
  layers.layersAsObjects = 1;
  CTevImageInfoPack cut;
  cut.path = dir.File("cut.psd");
  ASSERT_EQ(LoadImageW(cut, &layers, nullptr), 0) << cut.errorText;
  EXPECT_EQ(cut.BlockCount(), 3u);
}
