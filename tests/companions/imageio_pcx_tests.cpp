#include <gtest/gtest.h>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// PIL writes 1-bit, greyscale, palette and RGB PCX files (run-length
// encoded); a 4-plane 16-colour picture, a 2-bit packed one and an
// uncompressed 4-plane RGBA one are built byte by byte. NAME.pcx comes with
// its expected RGBA pixels in NAME.rgba.
const char* kMakePcx = R"PY(
import sys, struct
from PIL import Image
d = sys.argv[1]
W, H = 13, 5
def pattern(mode, f):
    im = Image.new(mode, (W, H))
    im.putdata([f(x, y) for y in range(H) for x in range(W)])
    return im
ims = {
  'mono': pattern('1', lambda x, y: 255 if (x + y) % 3 == 0 else 0),
  'grey': pattern('L', lambda x, y: (x * 19 + y * 7) % 256),
  'pal': pattern('P', lambda x, y: (x + 2 * y) % 9),
  'rgb': pattern('RGB', lambda x, y: (x * 19, y * 60, 200 if x == y else 3)),
}
ims['pal'].putpalette([(i * 37) % 256 for i in range(27)] + [0] * (768 - 27))
for name, im in ims.items():
    im.save(d + '/' + name + '.pcx')
    open(d + '/' + name + '.rgba', 'wb').write(im.convert('RGBA').tobytes())

def header(bits, planes, bpl, enc, pal16=b''):
    h = struct.pack('<BBBBHHHHHH', 10, 5, enc, bits, 0, 0, W - 1, H - 1, 72, 72)
    h += pal16.ljust(48, b'\0') + b'\0' + bytes([planes]) + struct.pack('<HH', bpl, 1)
    return h.ljust(128, b'\0')
def rle(data):
    out = b''
    for b in data:
        out += bytes([0xC1, b]) if b >= 0xC0 else bytes([b])
    return out
pal16 = bytes((i * 16 + c * 5) % 256 for i in range(16) for c in range(3))
# 16 colours in 4 bit planes.
idx = [[(x + y * 3) % 16 for x in range(W)] for y in range(H)]
bpl = 2
data = b''
for y in range(H):
    for p in range(4):
        bits = ''.join(str((idx[y][x] >> p) & 1) for x in range(W)).ljust(bpl * 8, '0')
        data += bytes(int(bits[i:i + 8], 2) for i in range(0, bpl * 8, 8))
exp = []
for y in range(H):
    for x in range(W):
        i = idx[y][x]
        exp += [pal16[i * 3], pal16[i * 3 + 1], pal16[i * 3 + 2], 255]
open(d + '/planar16.pcx', 'wb').write(header(1, 4, bpl, 1, pal16) + rle(data))
open(d + '/planar16.rgba', 'wb').write(bytes(exp))
# 2 bits per pixel, packed, uncompressed.
idx = [[(x * y + x) % 4 for x in range(W)] for y in range(H)]
bpl = 4
data = b''
for y in range(H):
    bits = ''.join(format(idx[y][x], '02b') for x in range(W)).ljust(bpl * 8, '0')
    data += bytes(int(bits[i:i + 8], 2) for i in range(0, bpl * 8, 8))
exp = []
for y in range(H):
    for x in range(W):
        i = idx[y][x]
        exp += [pal16[i * 3], pal16[i * 3 + 1], pal16[i * 3 + 2], 255]
open(d + '/packed2.pcx', 'wb').write(header(2, 1, bpl, 0, pal16) + data)
open(d + '/packed2.rgba', 'wb').write(bytes(exp))
# RGBA in four 8-bit planes, uncompressed, rows padded to 14 bytes.
bpl = 14
data = b''
exp = []
for y in range(H):
    px = [(x * 9, y * 40, 255 - x, (x * 20) % 256) for x in range(W)]
    for p in range(4):
        data += bytes(c[p] for c in px) + b'\x55'
    for c in px:
        exp += list(c)
open(d + '/rgba.pcx', 'wb').write(header(8, 4, bpl, 0) + data)
open(d + '/rgba.rgba', 'wb').write(bytes(exp))
)PY";

using ImageIoPcx = ScriptFiles<&kMakePcx>;

}  // namespace

TEST_F(ImageIoPcx, EveryLayoutMatches) {
  for (const char* name : {"mono", "grey", "pal", "rgb", "planar16", "packed2", "rgba"}) {
    SCOPED_TRACE(name);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, dir.File(std::string(name) + ".pcx"), IMAGE_FORMAT_PCX), 0) << pack.errorText;
    EXPECT_EQ(pack.width, 13);
    EXPECT_EQ(pack.height, 5);
    EXPECT_EQ(FirstDifference(BlockRgba(pack), ReadBytes(dir.File(std::string(name) + ".rgba"))), -1);
    EXPECT_EQ(pack.transparencyMode, std::string(name) == "rgba" ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE);
  }
}

TEST_F(ImageIoPcx, DamagedFilesFail) {
  const std::vector<unsigned char> rgb = ReadBytes(dir.File("rgb.pcx"));
  const std::vector<unsigned char> raw = ReadBytes(dir.File("rgba.pcx"));
  ExpectRefused(dir, "cut-rle.pcx", Head(rgb, 140), IMAGE_FORMAT_PCX);
  ExpectRefused(dir, "cut-raw.pcx", Head(raw, raw.size() - 1), IMAGE_FORMAT_PCX);
  // Bytes per line smaller than the width.
  ExpectRefused(dir, "narrow.pcx", Patched(rgb, {{66, 2}, {67, 0}}), IMAGE_FORMAT_PCX);
  // 20000 x 20000 is within the limits, but the runs of the file cannot fill it.
  ExpectRefused(dir, "big.pcx", Patched(rgb, {{8, 0x1F}, {10, 0x1F}, {9, 0x4E}, {11, 0x4E}, {66, 0x20}, {67, 0x4E}}),
                IMAGE_FORMAT_PCX);
}
