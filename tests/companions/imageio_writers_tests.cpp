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

// Dumps every frame of a file as RGBA into OUT.N.raw; prints "w h" per frame.
const char* kDump = R"PY(
import io, struct, sys
from PIL import Image
path, out = sys.argv[1], sys.argv[2]
def as_icon(data):
    # PIL applies the AND mask to icons only: read a cursor as the icon it is laid out like.
    if data[2:4] == b'\x02\x00':
        data = data[:2] + b'\x01\x00' + data[4:]
    return Image.open(io.BytesIO(data))
def frames(path):
    data = open(path, 'rb').read()
    if data[:4] == b'\x00\x00\x02\x00':
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
        # merged picture; the layers' names and boxes go to OUT.layers (PIL decodes layer pixels unreliably)
        with open(out + '.layers', 'w') as f:
            for name, mode, bbox, tile in im.layers:
                f.write('%s %s %d %d %d %d\n' % (name, mode, *bbox))
        yield im
        return
    yield im
for n, im in enumerate(frames(path)):
    im.load()
    rgba = im.convert('RGBA')
    open('%s.%d.raw' % (out, n), 'wb').write(rgba.tobytes())
    print(rgba.size[0], rgba.size[1], getattr(im, 'layer_offset', ''))
)PY";

struct PilFrame {
  int w = 0, h = 0;
  std::vector<unsigned char> rgba;
};

std::vector<PilFrame> PilFrames(const TempDir& dir, const std::string& file) {
  const std::string list = dir.File("pil.txt");
  std::vector<PilFrame> frames;
  if (imageio_test::RunPython(dir.path(), kDump, file + " " + dir.File("pil") + " > " + list) != 0) return frames;
  std::FILE* f = std::fopen(list.c_str(), "r");
  if (!f) return frames;
  PilFrame p;
  char line[256];
  while (std::fgets(line, sizeof line, f) && std::sscanf(line, "%d %d", &p.w, &p.h) == 2) {
    p.rgba = imageio_test::ReadBytes(dir.File("pil." + std::to_string(frames.size()) + ".raw"));
    frames.push_back(p);
  }
  std::fclose(f);
  return frames;
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
  struct Case {
    int format;
    const char* name;
    bool alpha;
  } cases[] = {{IMAGE_FORMAT_BMP, "a.bmp", true},   {IMAGE_FORMAT_BMP, "o.bmp", false},
               {IMAGE_FORMAT_TGA, "a.tga", true},   {IMAGE_FORMAT_TIFF, "a.tif", true},
               {IMAGE_FORMAT_TIFF, "o.tif", false}, {IMAGE_FORMAT_PCX, "o.pcx", false},
               {IMAGE_FORMAT_PNG, "a.png", true}};
  for (const Case& c : cases) {
    CTevImageInfoPack pack;
    pack.picture = Picture(37, 21, c.alpha);
    pack.width = 37;
    pack.height = 21;
    const std::string file = dir.File(c.name);
    ASSERT_EQ(Save(pack, c.format, file), 0) << c.name << ": " << pack.errorText;
    auto pil = PilFrames(dir, file);
    ASSERT_EQ(pil.size(), 1u) << c.name;
    EXPECT_TRUE(SamePixels(pil[0].rgba, pack.picture.get())) << c.name << " (PIL)";
    CTevImageInfoPack back;
    ASSERT_EQ(imageio_test::Load(back, file, c.format), 0) << c.name << ": " << back.errorText;
    DibPtr ours(CDIB32::ConvertTo32BitsDIB(back.picture.get()));
    EXPECT_TRUE(SamePixels(imageio_test::DibToRgba(ours.get()), pack.picture.get())) << c.name << " (ours)";
  }
  // Uncompressed and PackBits TIFF, raw TGA, options honoured.
  CTevImageInfoPack pack;
  pack.picture = Picture(9, 5, true);
  CTevTiffExportOptions tiff;
  for (WORD comp : {0, 1, 3}) {
    tiff.compression = comp;
    tiff.predictor = comp == 3;
    ASSERT_EQ(Save(pack, IMAGE_FORMAT_TIFF, dir.File("c.tif"), &tiff), 0);
    auto pil = PilFrames(dir, dir.File("c.tif"));
    ASSERT_EQ(pil.size(), 1u);
    EXPECT_TRUE(SamePixels(pil[0].rgba, pack.picture.get())) << "compression " << comp;
  }
  CTevTgaExportOptions tga;
  tga.rle = 0;
  ASSERT_EQ(Save(pack, IMAGE_FORMAT_TGA, dir.File("raw.tga"), &tga), 0);
  EXPECT_EQ(imageio_test::ReadBytes(dir.File("raw.tga")).size(), 18u + 9 * 5 * 4);
}

TEST_F(PictureWriters, JpegFollowsQualityProgressionAndSubsampling) {
  CTevImageInfoPack pack;
  pack.picture.reset(CDIB32::CreateSimple32BitsDIB(40, 24, RGB(200, 100, 30), 255));
  CTevJpegExportOptions jpeg;
  jpeg.quality = 95;
  jpeg.flags = kJpegFlagBase | kJpegFlagProgressive;  // 4:4:4
  ASSERT_EQ(Save(pack, IMAGE_FORMAT_JPEG, dir.File("p.jpg"), &jpeg), 0) << pack.errorText;
  const std::string script =
      "from PIL import Image\nimport sys\nim = Image.open(sys.argv[1])\n"
      "print(int(im.info.get('progressive', 0)), im.layer[0][1], im.layer[0][2], im.getpixel((20, 12)))\n";
  // PIL's view of p.jpg: progressive flag, luma sampling factors, centre pixel.
  auto inspect = [&] {
    const std::string out = dir.File("jpg.txt");
    EXPECT_EQ(imageio_test::RunPython(dir.path(), script, dir.File("p.jpg") + " > " + out), 0);
    const auto text = imageio_test::ReadBytes(out);
    return std::string(text.begin(), text.end());
  };
  const std::string s = inspect();
  int progressive = 0, h = 0, v = 0, r = 0, g = 0, b = 0;
  ASSERT_EQ(std::sscanf(s.c_str(), "%d %d %d (%d, %d, %d)", &progressive, &h, &v, &r, &g, &b), 6) << s;
  EXPECT_EQ(progressive, 1);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(v, 1);
  EXPECT_NEAR(r, 200, 3);
  EXPECT_NEAR(g, 100, 3);
  EXPECT_NEAR(b, 30, 3);
  jpeg.flags = kJpegFlagBase | kJpegFlagSubsample420;
  ASSERT_EQ(Save(pack, IMAGE_FORMAT_JPEG, dir.File("p.jpg"), &jpeg), 0);
  ASSERT_EQ(std::sscanf(inspect().c_str(), "%d %d %d", &progressive, &h, &v), 3);
  EXPECT_EQ(progressive, 0);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(v, 2);
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
  for (int format : {IMAGE_FORMAT_ICO, IMAGE_FORMAT_CUR, IMAGE_FORMAT_ANI}) {
    CTevImageInfoPack pack;
    Add8BitBlock(pack, 24, 20, 0);
    pack.hotSpotX = 5;
    pack.hotSpotY = 7;
    pack.delay = 10;
    const int blocks = format == IMAGE_FORMAT_ANI ? 3 : 1;
    for (int i = 1; i < blocks; ++i) {
      auto b = std::make_unique<CTevSubImageBlock>();
      Add8BitBlock(*b, 24, 20, i * 11);
      b->hotSpotX = 5;
      b->hotSpotY = 7;
      b->delay = WORD(10 * (i + 1));
      pack.AppendBlock(std::move(b));
    }
    const std::string file = dir.File(format == IMAGE_FORMAT_ICO ? "x.ico" : format == IMAGE_FORMAT_CUR ? "x.cur" : "x.ani");
    ASSERT_EQ(Save(pack, format, file), 0) << pack.errorText;
    auto pil = PilFrames(dir, file);
    ASSERT_EQ(pil.size(), std::size_t(blocks)) << file;
    for (int i = 0; i < blocks; ++i) EXPECT_TRUE(SamePixels(pil[std::size_t(i)].rgba, Expected32(*pack.BlockAt(std::size_t(i))).get())) << file << " " << i;

    CTevImageInfoPack back;
    ASSERT_EQ(imageio_test::Load(back, file, format), 0) << back.errorText;
    ASSERT_EQ(back.BlockCount(), std::size_t(blocks));
    for (int i = 0; i < blocks; ++i) {
      CTevSubImageBlock* b = back.BlockAt(std::size_t(i));
      if (format != IMAGE_FORMAT_ICO) {
        EXPECT_EQ(b->hotSpotX, 5);
        EXPECT_EQ(b->hotSpotY, 7);
      }
      if (format == IMAGE_FORMAT_ANI) {
        EXPECT_EQ(b->delay, 10 * (i + 1));
      }
    }
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
  auto pil = PilFrames(dir, file);
  ASSERT_EQ(pil.size(), 1u);
  DibPtr merged32(CDIB32::ConvertTo32BitsDIB(pack.picture.get()));
  EXPECT_TRUE(SamePixels(pil[0].rgba, merged32.get()));
  const auto layerList = imageio_test::ReadBytes(dir.File("pil.layers"));
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
