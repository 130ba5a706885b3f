// The picture writers (BMP, PCX, TGA, TIFF, JPEG, PSD, ICO, CUR, ANI): every
// file is read back by Python PIL (ANI: its RIFF chunks walked in Python,
// each cursor decoded by PIL) and by our own reader, pixels compared.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "companions/dibkernel/dib_kernel.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using imageio_test::TempDir;

namespace {

// Dumps every frame of each file named on the command line as RGBA into
// FILE.N.raw and prints "file-index width height" per frame.
const char* kDump = R"PY(
import io, struct, sys
from PIL import Image
def as_icon(data):
    # PIL applies the AND mask to icons only: read a cursor as the icon it is laid out like.
    if data[2:4] == b'\x02\x00':
        data = data[:2] + b'\x01\x00' + data[4:]
    return Image.open(io.BytesIO(data))
def frames(path):
    data = open(path, 'rb').read()
    if path.endswith('.cur'):
        yield as_icon(data)
        return
    if data[:4] == b'RIFF' and data[8:12] == b'ACON':
        pos = 12
        while pos + 8 <= len(data):
            cid, size = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
            if cid == b'LIST' and data[pos + 8:pos + 12] == b'fram':
                p, end = pos + 12, pos + 8 + size
                while p + 8 <= end:
                    sid, ssize = data[p:p + 4], struct.unpack('<I', data[p + 4:p + 8])[0]
                    if sid == b'icon':
                        yield as_icon(data[p + 8:p + 8 + ssize])
                    p += 8 + ssize + (ssize & 1)
            pos += 8 + size + (size & 1)
        return
    im = Image.open(path)
    if im.format == 'PSD':
        # merged picture; the layers' names and boxes go to FILE.layers (PIL decodes layer pixels unreliably)
        with open(path + '.layers', 'w') as f:
            for name, mode, bbox, tile in im.layers:
                f.write('%s %s %d %d %d %d\n' % (name, mode, *bbox))
    yield im
for i, path in enumerate(sys.argv[1:]):
    try:
        decoded = [im for im in frames(path) if im.load() or True]
    except Exception as e:
        sys.stderr.write('%s: %s\n' % (path, e))
        continue
    for n, im in enumerate(decoded):
        rgba = im.convert('RGBA')
        open('%s.%d.raw' % (path, n), 'wb').write(rgba.tobytes())
        print(i, rgba.size[0], rgba.size[1])
)PY";

// The frames PIL decodes from each file, in one Python run for all of them.
std::vector<std::vector<std::vector<unsigned char>>> PilFrames(const TempDir& dir, const std::vector<std::string>& files) {
  std::vector<std::vector<std::vector<unsigned char>>> out(files.size());
  std::string args;
  for (const std::string& f : files) args += " " + f;
  const std::string list = dir.File("pil.txt");
  if (imageio_test::RunPython(dir.path(), kDump, args + " > " + list) != 0) return out;
  std::FILE* f = std::fopen(list.c_str(), "r");
  if (!f) return out;
  int i = 0, w = 0, h = 0;
  while (std::fscanf(f, "%d %d %d", &i, &w, &h) == 3 && i >= 0 && std::size_t(i) < files.size()) {
    auto& frames = out[std::size_t(i)];
    frames.push_back(imageio_test::ReadBytes(files[std::size_t(i)] + "." + std::to_string(frames.size()) + ".raw"));
  }
  std::fclose(f);
  return out;
}

// A 32-bit picture: colour gradient with a transparent corner when asked.
DibPtr Picture(LONG w, LONG h, bool transparentCorner) {
  DibPtr d(CDIB32::CreateBlank32BitsDIB(w, h));
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(x * 9);
      p[1] = BYTE(y * 13);
      p[2] = BYTE((x * y) & 0xFF);
      p[3] = transparentCorner && x < w / 3 && y < h / 3 ? 0 : 255;
    }
  return d;
}

// Compares RGBA bytes with a 32-bit picture; transparent pixels by alpha only.
::testing::AssertionResult SamePixels(const std::vector<unsigned char>& rgba, const BITMAPINFOHEADER* dib, int tolerance = 0) {
  const auto want = imageio_test::DibToRgba(dib);
  if (rgba.size() != want.size()) return ::testing::AssertionFailure() << "size " << rgba.size() << " vs " << want.size();
  for (std::size_t i = 0; i < want.size(); i += 4) {
    if (want[i + 3] == 0 && rgba[i + 3] == 0) continue;
    for (int k = 0; k < 4; ++k)
      if (std::abs(int(rgba[i + std::size_t(k)]) - int(want[i + std::size_t(k)])) > tolerance)
        return ::testing::AssertionFailure() << "pixel " << i / 4 << " channel " << k << ": " << int(rgba[i + std::size_t(k)])
                                             << " vs " << int(want[i + std::size_t(k)]);
  }
  return ::testing::AssertionSuccess();
}

int Save(CTevImageInfoPack& pack, int format, const std::string& path, CTevImgExportOptions* options = nullptr) {
  pack.path = path;
  pack.format = format;
  return SaveImage(pack, options, nullptr);
}

class PictureWriters : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!imageio_test::HavePil()) GTEST_SKIP() << "Python PIL (/usr/bin/python3) is not available";
  }
  TempDir dir;
};

TEST_F(PictureWriters, LosslessFormatsKeepEveryPixelAndTheirTransparency) {
  CTevTiffExportOptions raw, packbits, lzw;
  for (auto [options, compression] : {std::pair{&raw, 0}, {&packbits, 1}, {&lzw, 3}}) {
    options->compression = WORD(compression);
    options->predictor = compression == 3;
  }
  CTevTgaExportOptions tga;
  tga.rle = 0;
  struct Case {
    int format;
    const char* name;
    bool alpha;
    CTevImgExportOptions* options;
  } cases[] = {{IMAGE_FORMAT_BMP, "a.bmp", true, nullptr},  {IMAGE_FORMAT_BMP, "o.bmp", false, nullptr},
               {IMAGE_FORMAT_TGA, "a.tga", true, nullptr},  {IMAGE_FORMAT_TGA, "raw.tga", true, &tga},
               {IMAGE_FORMAT_TIFF, "a.tif", true, nullptr}, {IMAGE_FORMAT_TIFF, "o.tif", false, nullptr},
               {IMAGE_FORMAT_TIFF, "c0.tif", true, &raw},   {IMAGE_FORMAT_TIFF, "c1.tif", true, &packbits},
               {IMAGE_FORMAT_TIFF, "c3.tif", true, &lzw},   {IMAGE_FORMAT_PCX, "o.pcx", false, nullptr},
               {IMAGE_FORMAT_PNG, "a.png", true, nullptr}};
  std::vector<std::string> files;
  std::vector<DibPtr> pictures;
  for (const Case& c : cases) {
    CTevImageInfoPack pack;
    pack.picture = Picture(37, 21, c.alpha);
    pack.width = 37;
    pack.height = 21;
    files.push_back(dir.File(c.name));
    ASSERT_EQ(Save(pack, c.format, files.back(), c.options), 0) << c.name << ": " << pack.errorText;
    CTevImageInfoPack back;
    ASSERT_EQ(imageio_test::Load(back, files.back(), c.format), 0) << c.name << ": " << back.errorText;
    DibPtr ours(CDIB32::ConvertTo32BitsDIB(back.picture.get()));
    EXPECT_TRUE(SamePixels(imageio_test::DibToRgba(ours.get()), pack.picture.get())) << c.name << " (ours)";
    pictures.push_back(std::move(pack.picture));
  }
  EXPECT_EQ(imageio_test::ReadBytes(dir.File("raw.tga")).size(), 18u + 37 * 21 * 4);
  const auto pil = PilFrames(dir, files);
  for (std::size_t i = 0; i < files.size(); ++i) {
    ASSERT_EQ(pil[i].size(), 1u) << cases[i].name;
    EXPECT_TRUE(SamePixels(pil[i][0], pictures[i].get())) << cases[i].name << " (PIL)";
  }
}

TEST_F(PictureWriters, JpegFollowsQualityProgressionAndSubsampling) {
  CTevImageInfoPack pack;
  pack.picture.reset(CDIB32::CreateSimple32BitsDIB(40, 24, RGB(200, 100, 30), 255));
  CTevJpegExportOptions jpeg;
  jpeg.quality = 95;
  jpeg.flags = kJpegFlagBase | kJpegFlagProgressive;  // 4:4:4
  ASSERT_EQ(Save(pack, IMAGE_FORMAT_JPEG, dir.File("p.jpg"), &jpeg), 0) << pack.errorText;
  jpeg.flags = kJpegFlagBase | kJpegFlagSubsample420;
  ASSERT_EQ(Save(pack, IMAGE_FORMAT_JPEG, dir.File("s.jpg"), &jpeg), 0) << pack.errorText;
  // PIL checks each file's progressive flag, luma sampling factors and centre pixel.
  const std::string script =
      "from PIL import Image\nimport sys\n"
      "for p, want in ((sys.argv[1], (1, 1, 1)), (sys.argv[2], (0, 2, 2))):\n"
      "    im = Image.open(p)\n"
      "    got = (int(im.info.get('progressive', 0)), im.layer[0][1], im.layer[0][2])\n"
      "    px = im.getpixel((20, 12))\n"
      "    if got != want or max(abs(a - b) for a, b in zip(px, (200, 100, 30))) > 3:\n"
      "        sys.exit('%s: %s %s' % (p, got, px))\n";
  EXPECT_EQ(imageio_test::RunPython(dir.path(), script, dir.File("p.jpg") + " " + dir.File("s.jpg")), 0);
}

// An 8-bit picture with its mask, as the cursor preparation hands it over.
void Add8BitBlock(CTevSubImageBlock& b, LONG w, LONG h, int seed) {
  b.picture.reset(DibAlloc(w, h, 8, 256));
  for (int i = 0; i < 256; ++i) DibPalette(b.picture.get())[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 3), 0};
  b.mask.reset(DibAlloc(w, h, 1, 2));
  DibPalette(b.mask.get())[1] = RGBQUAD{255, 255, 255, 0};
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      DibRow(b.picture.get(), y)[x] = BYTE(1 + (x + y + seed) % 200);
      if (x + y > 3) DibRow(b.mask.get(), y)[x >> 3] |= BYTE(0x80 >> (x & 7));
    }
}

DibPtr Expected32(const CTevSubImageBlock& b) {
  DibPtr d(CDIB32::ConvertTo32BitsDIB(b.picture.get()));
  for (LONG y = 0; y < DibHeight(d.get()); ++y)
    for (LONG x = 0; x < DibWidth(d.get()); ++x)
      if (!((DibRow(b.mask.get(), y)[x >> 3] >> (7 - (x & 7))) & 1)) DibRow(d.get(), y)[4 * x + 3] = 0;
  return d;
}

TEST_F(PictureWriters, IconsCursorsAndAnimatedCursors) {
  const struct {
    int format;
    const char* name;
    int blocks;
  } cases[] = {{IMAGE_FORMAT_ICO, "x.ico", 1}, {IMAGE_FORMAT_CUR, "x.cur", 1}, {IMAGE_FORMAT_ANI, "x.ani", 3}};
  std::vector<std::string> files;
  std::vector<std::vector<DibPtr>> expected;
  for (const auto& c : cases) {
    CTevImageInfoPack pack;
    for (int i = 0; i < c.blocks; ++i) {
      auto b = std::make_unique<CTevSubImageBlock>();
      CTevSubImageBlock& block = i ? *b : pack;
      Add8BitBlock(block, 24, 20, i * 11);
      block.hotSpotX = 5;
      block.hotSpotY = 7;
      block.delay = WORD(10 * (i + 1));
      if (i) pack.AppendBlock(std::move(b));
    }
    files.push_back(dir.File(c.name));
    ASSERT_EQ(Save(pack, c.format, files.back()), 0) << pack.errorText;
    expected.emplace_back();
    for (int i = 0; i < c.blocks; ++i) expected.back().push_back(Expected32(*pack.BlockAt(std::size_t(i))));

    CTevImageInfoPack back;
    ASSERT_EQ(imageio_test::Load(back, files.back(), c.format), 0) << back.errorText;
    ASSERT_EQ(back.BlockCount(), std::size_t(c.blocks));
    for (int i = 0; i < c.blocks; ++i) {
      CTevSubImageBlock* b = back.BlockAt(std::size_t(i));
      if (c.format != IMAGE_FORMAT_ICO) {
        EXPECT_EQ(b->hotSpotX, 5);
        EXPECT_EQ(b->hotSpotY, 7);
      }
      if (c.format == IMAGE_FORMAT_ANI) {
        EXPECT_EQ(b->delay, 10 * (i + 1));
      }
    }
  }
  const auto pil = PilFrames(dir, files);
  for (std::size_t f = 0; f < files.size(); ++f) {
    ASSERT_EQ(pil[f].size(), expected[f].size()) << files[f];
    for (std::size_t i = 0; i < pil[f].size(); ++i)
      EXPECT_TRUE(SamePixels(pil[f][i], expected[f][i].get())) << files[f] << " " << i;
  }
  // Icons hold at most 256 x 256.
  CTevImageInfoPack big;
  Add8BitBlock(big, 300, 10, 0);
  EXPECT_NE(Save(big, IMAGE_FORMAT_ICO, dir.File("big.ico")), 0);
}

TEST_F(PictureWriters, LayeredPsdKeepsLayersOpacityVisibilityAndNames) {
  CTevImageInfoPack pack;
  pack.width = 30;
  pack.height = 20;
  pack.picture.reset(CDIB32::CreateSimple32BitsDIB(30, 20, RGB(10, 20, 30), 255));
  DibPtr merged24(CBitmapConverter::Convert32BitsTo24Bits(pack.picture.get()));
  pack.picture = std::move(merged24);
  for (int i = 0; i < 2; ++i) {
    auto layer = std::make_unique<CTevPsdSubImgBlock>();
    layer->picture = Picture(12 + i, 8, i == 1);
    layer->x = 3 + i * 10;
    layer->y = 2 + i;
    layer->byteA = BYTE(i * 100);
    layer->byteB = i == 0;
    const std::string name = i ? "Top" : "Bottom";
    layer->SetLayerName(name.c_str(), int(name.size()));
    pack.AppendBlock(std::move(layer));
  }
  const std::string file = dir.File("x.psd");
  ASSERT_EQ(Save(pack, IMAGE_FORMAT_PSD, file), 0) << pack.errorText;
  const auto pil = PilFrames(dir, {file});
  ASSERT_EQ(pil[0].size(), 1u);
  DibPtr merged32(CDIB32::ConvertTo32BitsDIB(pack.picture.get()));
  EXPECT_TRUE(SamePixels(pil[0][0], merged32.get()));
  const auto layerList = imageio_test::ReadBytes(file + ".layers");
  EXPECT_EQ(std::string(layerList.begin(), layerList.end()), "Bottom RGBA 3 2 15 10\nTop RGBA 13 3 26 11\n");

  CTevImageInfoPack back;
  back.path = file;
  CTevPsdImportOptions layers;
  layers.layersAsObjects = 1;
  ASSERT_EQ(LoadImageW(back, &layers, nullptr), 0) << back.errorText;
  ASSERT_EQ(back.BlockCount(), 2u);
  EXPECT_EQ(back.x, 3);
  EXPECT_EQ(back.y, 2);
  EXPECT_EQ(back.byteA, 0);
  EXPECT_NE(back.byteB, 0);
  EXPECT_EQ(back.layerName, "Bottom");
  CTevSubImageBlock* top = back.BlockAt(1);
  EXPECT_EQ(top->x, 13);
  EXPECT_EQ(top->byteA, 100);
  EXPECT_EQ(top->byteB, 0);
  EXPECT_EQ(top->layerName, "Top");
  EXPECT_TRUE(SamePixels(imageio_test::DibToRgba(top->picture.get()), pack.BlockAt(2)->picture.get()));
}

}  // namespace
