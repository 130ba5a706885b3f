#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>

#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// A 13 x 7 picture with distinct colours and a range of alpha values.
DibPtr MakeTestDib32() {
  DibPtr dib(DibAlloc(13, 7, 32));
  for (LONG y = 0; y < 7; ++y) {
    BYTE* row = DibRow(dib.get(), y);
    for (LONG x = 0; x < 13; ++x) {
      row[x * 4] = BYTE(x * 19 + y);
      row[x * 4 + 1] = BYTE(y * 37 + 5);
      row[x * 4 + 2] = BYTE(x * y * 3 + 11);
      row[x * 4 + 3] = BYTE((x + y * 13) * 3);
    }
  }
  return dib;
}

// PIL decodes path and writes its mode and RGBA bytes beside it.
std::vector<unsigned char> PilRgba(const TempDir& dir, const std::string& path, std::string* mode) {
  const char* script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "open(sys.argv[1] + '.mode', 'w').write(im.mode)\n"
      "open(sys.argv[1] + '.rgba', 'wb').write(im.convert('RGBA').tobytes())\n";
  if (RunPython(dir.path(), script, path) != 0) return {};
  std::vector<unsigned char> m = ReadBytes(path + ".mode");
  if (mode) mode->assign(m.begin(), m.end());
  return ReadBytes(path + ".rgba");
}

int SavePng(CTevImageInfoPack& pack, const std::string& path, CTevCommonProgress* progress = nullptr) {
  pack.path = path;
  auto options = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_PNG);
  return SaveImage(pack, options.get(), progress);
}

}  // namespace

TEST(ImageIoPng, RoundTrip24BitWritesRgbAndPaletteWritesIndexes) {
  if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
  TempDir dir;
  // 24 bits in, RGB out, opaque on reading.
  CTevImageInfoPack rgb;
  rgb.picture.reset(DibAlloc(5, 3, 24));
  for (LONG y = 0; y < 3; ++y)
    for (LONG x = 0; x < 5; ++x) {
      BYTE* p = DibRow(rgb.picture.get(), y) + x * 3;
      p[0] = BYTE(10 * x);  // blue
      p[1] = BYTE(50 * y);  // green
      p[2] = BYTE(200 + x);  // red
    }
  ASSERT_EQ(SavePng(rgb, dir.File("rgb.png")), 0) << rgb.errorText;
  std::string mode;
  std::vector<unsigned char> pil = PilRgba(dir, dir.File("rgb.png"), &mode);
  EXPECT_EQ(mode, "RGB");
  DibPtr rgb32(CDIB32::ConvertTo32BitsDIB(rgb.picture.get()));
  EXPECT_EQ(FirstDifference(pil, DibToRgba(rgb32.get())), -1);
  CTevImageInfoPack back;
  ASSERT_EQ(Load(back, dir.File("rgb.png"), IMAGE_FORMAT_PNG), 0) << back.errorText;
  EXPECT_EQ(back.transparencyMode, TRANSPARENCY_NONE);
  EXPECT_EQ(FirstDifference(DibToRgba(back.picture.get()), pil), -1);

  // 4-bit palette with a transparent index: written as a palette PNG with tRNS.
  CTevImageInfoPack pal;
  pal.picture.reset(DibAlloc(7, 2, 4, 16));
  for (int i = 0; i < 16; ++i) DibPalette(pal.picture.get())[i] = RGBQUAD{BYTE(i * 16), BYTE(i), BYTE(255 - i), 0};
  std::vector<unsigned char> want;
  for (LONG y = 0; y < 2; ++y)
    for (LONG x = 0; x < 7; ++x) {
      const int index = y ? 15 - x : x;
      DibRow(pal.picture.get(), y)[x / 2] |= BYTE(x % 2 ? index : index << 4);
      const RGBQUAD c = DibPalette(pal.picture.get())[index];
      want.insert(want.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue, BYTE(index == 3 ? 0 : 255)});
    }
  pal.transparentIndex = 3;
  ASSERT_EQ(SavePng(pal, dir.File("pal.png")), 0) << pal.errorText;
  pil = PilRgba(dir, dir.File("pal.png"), &mode);
  EXPECT_EQ(mode, "P");
  EXPECT_EQ(FirstDifference(pil, want), -1);
}

// Files made by an independent encoder, in every PNG colour type and depth,
// read pixel by pixel against what PIL decodes (16-bit samples are multiples
// of 257, so any sound reduction to 8 bits gives the same values).
TEST(ImageIoPng, ReadsEveryColourTypeAsPilDoes) {
  if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
  TempDir dir;
  const char* script = R"PY(
import sys, struct, zlib
from PIL import Image
out = sys.argv[1]
W, H = 13, 7

def chunk(t, d):
    return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)

def png(name, ctype, depth, rows, plte=None, trns=None):
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, depth, ctype, 0, 0, 0))
    if plte: data += chunk(b'PLTE', plte)
    if trns: data += chunk(b'tRNS', trns)
    data += chunk(b'IDAT', zlib.compress(b''.join(b'\x00' + r for r in rows))) + chunk(b'IEND', b'')
    open(out + '/' + name + '.png', 'wb').write(data)

def pack_bits(vals, depth):
    bits = ''.join(format(v, '0%db' % depth) for v in vals)
    bits += '0' * (-len(bits) % 8)
    return bytes(int(bits[i:i+8], 2) for i in range(0, len(bits), 8))

for depth in (1, 2, 4, 8):
    n = 1 << depth
    rows = [pack_bits([(x + 3 * y) % n for x in range(W)], depth) for y in range(H)]
    png('grey%d' % depth, 0, depth, rows)
    plte = b''.join(bytes([(i * 37) % 256, (i * 91) % 256, (255 - i * 13) % 256]) for i in range(n))
    png('pal%d' % depth, 3, depth, rows, plte)
    png('paltrns%d' % depth, 3, depth, rows, plte, bytes([0, 128] + [255] * (n - 2))[:n])
png('grey16', 0, 16, [b''.join(struct.pack('>H', ((x * 17 + y) % 256) * 257) for x in range(W)) for y in range(H)])
png('greytrns8', 0, 8, [bytes((x * 20 + y) % 256 for x in range(W)) for y in range(H)], trns=struct.pack('>H', 40))
png('greyalpha8', 4, 8, [b''.join(bytes([x * 19 % 256, y * 40 % 256]) for x in range(W)) for y in range(H)])
png('greyalpha16', 4, 16, [b''.join(struct.pack('>HH', x * 19 * 257, y * 40 * 257) for x in range(W)) for y in range(H)])
png('rgb8', 2, 8, [b''.join(bytes([x * 19, y * 30, (x * y) % 256]) for x in range(W)) for y in range(H)])
png('rgbtrns8', 2, 8, [b''.join(bytes([x * 19, y * 30, 7]) for x in range(W)) for y in range(H)], trns=struct.pack('>HHH', 38, 60, 7))
png('rgb16', 2, 16, [b''.join(struct.pack('>HHH', x * 19 * 257, y * 30 * 257, 200 * 257) for x in range(W)) for y in range(H)])
png('rgba8', 6, 8, [b''.join(bytes([x * 19, y * 30, 99, (x * 7 + y * 31) % 256]) for x in range(W)) for y in range(H)])
png('rgba16', 6, 16, [b''.join(struct.pack('>HHHH', x * 19 * 257, y * 30 * 257, 99 * 257, ((x * 7 + y * 31) % 256) * 257) for x in range(W)) for y in range(H)])

import os
for f in sorted(os.listdir(out)):
    if not f.endswith('.png'): continue
    p = out + '/' + f
    im = Image.open(p)
    if im.mode in ('I;16', 'I;16B', 'I'):  # PIL keeps 16-bit grey as integers
        im = im.point(lambda v: v / 257).convert('L')
    open(p + '.rgba', 'wb').write(im.convert('RGBA').tobytes())
)PY";
  ASSERT_EQ(RunPython(dir.path(), script, dir.path()), 0);

  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().extension() != ".png") continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::vector<unsigned char> expected = ReadBytes(entry.path().string() + ".rgba");
    ASSERT_EQ(expected.size(), 13u * 7 * 4);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, entry.path().string(), IMAGE_FORMAT_PNG), 0) << pack.errorText;
    ASSERT_EQ(pack.picture->biBitCount, 32);
    EXPECT_EQ(FirstDifference(DibToRgba(pack.picture.get()), expected), -1);
    ++checked;
  }
  EXPECT_EQ(checked, 21);
}

TEST(ImageIoPng, ReadsInterlacedFileFromImageMagick) {
  if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick not installed";
  TempDir dir;
  CTevImageInfoPack src;
  src.picture = MakeTestDib32();
  ASSERT_EQ(SavePng(src, dir.File("plain.png")), 0) << src.errorText;
  std::string cmd = "convert " + dir.File("plain.png") + " -interlace PNG PNG32:" + dir.File("adam7.png");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::vector<unsigned char> bytes = ReadBytes(dir.File("adam7.png"));
  ASSERT_GT(bytes.size(), 29u);
  ASSERT_EQ(bytes[28], 1) << "ImageMagick did not interlace";

  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("adam7.png"), IMAGE_FORMAT_PNG), 0) << pack.errorText;
  EXPECT_EQ(FirstDifference(DibToRgba(pack.picture.get()), DibToRgba(src.picture.get())), -1);
}

// Damaged and hostile files fail with a reason and leave the pack empty.
TEST(ImageIoPng, BadFilesFailCleanly) {
  TempDir dir;
  CTevImageInfoPack good;
  good.picture = MakeTestDib32();
  ASSERT_EQ(SavePng(good, dir.File("good.png")), 0);
  const std::vector<unsigned char> bytes = ReadBytes(dir.File("good.png"));
  ASSERT_GT(bytes.size(), 60u);
  // 40000 x 40000 passes the per-side limit but not the byte limit; the IHDR CRC stays valid.
  std::vector<unsigned char> huge = bytes;
  for (int i = 0; i < 4; ++i) {
    huge[16 + i] = BYTE(40000u >> (24 - 8 * i));
    huge[20 + i] = BYTE(40000u >> (24 - 8 * i));
  }
  const uLong crc = crc32(0, huge.data() + 12, 17);
  for (int i = 0; i < 4; ++i) huge[29 + i] = BYTE(crc >> (24 - 8 * i));
  const struct {
    const char* name;
    std::vector<unsigned char> bytes;
    int code;
  } cases[] = {
      {"cut.png", Head(bytes, bytes.size() - 5), 0},
      {"text.png", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}, IMAGEIO_ERR_FORMAT},
      {"huge.png", huge, IMAGEIO_ERR_TOO_LARGE},
      {"idatcrc.png", Patched(bytes, {{45, BYTE(bytes[45] ^ 0x55)}}), IMAGEIO_ERR_FORMAT},
  };
  for (const auto& c : cases) ExpectRefused(dir, c.name, c.bytes, IMAGE_FORMAT_PNG, c.code);
}

// A save that fails (cancelled half way, or into a missing folder) leaves
// the old file as it was and no temporary file behind.
TEST(ImageIoPng, FailedSaveKeepsOldFile) {
  TempDir dir;
  CTevImageInfoPack pack;
  pack.picture = MakeTestDib32();
  ASSERT_EQ(SavePng(pack, dir.File("keep.png")), 0);
  const std::vector<unsigned char> before = ReadBytes(dir.File("keep.png"));

  CTevImageInfoPack other;
  other.picture.reset(DibAlloc(300, 300, 24));
  CTevCommonProgress cancelled;
  cancelled.Cancel();
  EXPECT_EQ(SavePng(other, dir.File("keep.png"), &cancelled), IMAGEIO_ERR_CANCELLED);
  EXPECT_TRUE(cancelled.Ended());
  EXPECT_EQ(ReadBytes(dir.File("keep.png")), before);
  EXPECT_EQ(dir.EntryCount(), 1u);

  EXPECT_NE(SavePng(other, dir.File("missing/x.png")), 0);
  EXPECT_FALSE(other.errorText.empty());

  CTevImageInfoPack empty;
  EXPECT_EQ(SavePng(empty, dir.File("keep.png")), IMAGEIO_ERR_ARGUMENT);
  EXPECT_EQ(ReadBytes(dir.File("keep.png")), before);
}
