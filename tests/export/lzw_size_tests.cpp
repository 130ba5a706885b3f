// The LZW size count against the image data giflib writes: while the table
// never fills both encoders emit the same codes, so the counts must agree.
#include <gtest/gtest.h>

#include <random>

#include "companions/imageio/gif_module.h"
#include "export/lzw_size.h"

using namespace TevImageIO;

namespace {

DibPtr Make8(LONG w, LONG h, int entries) {
  DibPtr d(DibAlloc(w, h, 8, DWORD(entries)));
  for (int i = 0; i < entries; ++i) DibPalette(d.get())[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  return d;
}

// Image data bytes giflib writes for a one-frame, non-animated pack.
long long GiflibImageBytes(const BITMAPINFOHEADER* pic, bool interlaced, int tableSize) {
  CTevImageInfoPack pack;
  pack.width = DibWidth(pic);
  pack.height = DibHeight(pic);
  pack.picture.reset(DibCopy(pic));
  pack.byteA = interlaced ? 0x40 : 0;
  CTevGifExportOptions options;
  options.animated = 0;
  options.colorCount = tableSize;
  const long long total = CCalcuGifModule::CalcuGifImgLength(pack, &options, nullptr);
  // Header 6, screen 7, table, graphic control 8, descriptor 10, trailer 1.
  return total - (6 + 7 + 3 * tableSize + 8 + 10 + 1);
}

TEST(FrameSizeCaculater, AgreesWithGiflibOnSmallPictures) {
  std::mt19937 rng(3);
  for (int tableSize : {2, 4, 16, 256}) {
    for (int round = 0; round < 6; ++round) {
      const LONG w = 1 + LONG(rng() % 40), h = 1 + LONG(rng() % 30);
      DibPtr pic = Make8(w, h, tableSize);
      const int runs = 1 + int(rng() % 5);
      for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) DibRow(pic.get(), y)[x] = BYTE((rng() % runs == 0 ? rng() : x / 3) % tableSize);
      const bool interlaced = round % 2;
      CFrameSizeCaculater calc(tableSize);
      EXPECT_EQ(calc.Calculate(pic.get(), nullptr, -1, interlaced), GiflibImageBytes(pic.get(), interlaced, tableSize))
          << tableSize << " " << w << "x" << h;
    }
  }
}

TEST(FrameSizeCaculater, KnownCountsAndMaskedPixels) {
  DibPtr one = Make8(1, 1, 4);
  CFrameSizeCaculater calc(4);
  // clear + pixel + end at 3 bits = 9 bits = 2 bytes, plus code size, length and terminator.
  EXPECT_EQ(calc.Calculate(one.get(), nullptr, -1, false), 5);
  // A uniform picture compresses far better than noise.
  DibPtr flat = Make8(200, 200, 256), noise = Make8(200, 200, 256);
  std::mt19937 rng(1);
  for (LONG y = 0; y < 200; ++y)
    for (LONG x = 0; x < 200; ++x) DibRow(noise.get(), y)[x] = BYTE(rng());
  CFrameSizeCaculater big(256);
  const long flatBytes = big.Calculate(flat.get(), nullptr, -1, false);
  const long noiseBytes = big.Calculate(noise.get(), nullptr, -1, false);
  EXPECT_LT(flatBytes * 20, noiseBytes);
  // A mask that hides the noise turns it into one transparent run.
  DibPtr mask(DibAlloc(200, 200, 1, 2));
  EXPECT_EQ(big.Calculate(noise.get(), mask.get(), 0, false), flatBytes);
}

}  // namespace
