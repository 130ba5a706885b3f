// CTevObjImage block operations, blends and resizes against hand-computed
// pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;
using imaging_test::Bgra;
using imaging_test::Solid32;

TEST(ImageBlocks, CoverTileAndAlphaCover) {
  CTevObjImage dst = Solid32(5, 5, Bgra(0, 0, 0, 255));
  CTevObjImage src = Solid32(2, 2, Bgra(9, 9, 9, 10));
  src.SetPixelData(1, 1, Bgra(7, 7, 7, 20));
  ASSERT_TRUE(dst.CoverBlock(src, 3, -1));
  EXPECT_EQ(dst.GetPixelData(4, 0), Bgra(7, 7, 7, 20));
  EXPECT_EQ(dst.GetPixelData(3, 0), Bgra(9, 9, 9, 10));
  EXPECT_EQ(dst.GetPixelData(2, 0), Bgra(0, 0, 0, 255));
  EXPECT_EQ(dst.GetPixelData(4, 1), Bgra(0, 0, 0, 255));
  EXPECT_FALSE(dst.CoverBlock(src, 5, 0));

  CTevObjImage tiles = Solid32(5, 3, 0);
  ASSERT_TRUE(tiles.TileBlock(src, -1, 0));
  EXPECT_EQ(tiles.GetPixelData(0, 0), Bgra(9, 9, 9, 10));  // (1, 0) of the tile
  EXPECT_EQ(tiles.GetPixelData(0, 1), Bgra(7, 7, 7, 20));
  EXPECT_EQ(tiles.GetPixelData(4, 2), Bgra(9, 9, 9, 10));
  EXPECT_TRUE(tiles.TileBlock(src, -2000000000, 0));  // far tiles are skipped, not walked

  CTevObjImage a = Solid32(3, 3, Bgra(1, 2, 3, 4));
  ASSERT_TRUE(a.CoverBlockAlphaChannel(src, 1, 1));
  EXPECT_EQ(a.GetPixelData(2, 2), Bgra(1, 2, 3, 20));
  EXPECT_EQ(a.GetPixelData(0, 0), Bgra(1, 2, 3, 4));
}

TEST(ImageBlocks, FillAndLogicalBlend) {
  CTevObjImage mask(4, 2, 8);
  BYTE v = 0xF0;
  ASSERT_TRUE(CTevObjImage::__FillImageRect(mask, RECT{1, 0, 9, 1}, &v));
  EXPECT_EQ(mask.GetPixelData(0, 0), 0u);
  EXPECT_EQ(mask.GetPixelData(3, 0), 0xF0u);
  EXPECT_EQ(mask.GetPixelData(3, 1), 0u);
  CTevObjImage src(2, 2, 8);
  src.SetPixelData(0, 0, 0x3C);
  src.SetPixelData(1, 0, 255);
  CTevObjImage m1(mask);
  ASSERT_TRUE(m1.LogicalBlend(src, LOGICAL_AND, 2, 0));
  EXPECT_EQ(m1.GetPixelData(2, 0), 0x30u);
  EXPECT_EQ(m1.GetPixelData(1, 0), 0xF0u);
  CTevObjImage m2(mask);
  m2.LogicalBlend(src, LOGICAL_XOR, 2, 0);
  EXPECT_EQ(m2.GetPixelData(2, 0), 0xCCu);
  EXPECT_FALSE(mask.LogicalBlend(mask, LOGICAL_OR, 0, 0));
}

TEST(ImageBlend, CombineImageFollowsTheFourCases) {
  CTevObjImage dst(4, 1, 32), src(4, 1, 32);
  dst.SetPixelData(0, 0, Bgra(10, 20, 30, 0));  // both transparent -> white, alpha 0
  src.SetPixelData(0, 0, Bgra(1, 1, 1, 0));
  dst.SetPixelData(1, 0, Bgra(10, 20, 30, 200));  // transparent source -> unchanged
  src.SetPixelData(1, 0, Bgra(1, 1, 1, 0));
  dst.SetPixelData(2, 0, Bgra(100, 0, 200, 200));  // partial over partial
  src.SetPixelData(2, 0, Bgra(200, 100, 0, 200));
  dst.SetPixelData(3, 0, Bgra(5, 5, 5, 0));  // over transparent: takes the source
  src.SetPixelData(3, 0, Bgra(50, 60, 70, 255));
  ASSERT_TRUE(dst.CombineImage(src, 0, 0, 50));
  EXPECT_EQ(dst.GetPixelData(0, 0), Bgra(255, 255, 255, 0));
  EXPECT_EQ(dst.GetPixelData(1, 0), Bgra(10, 20, 30, 200));
  // As = 100, Ad = 200: D = 55 * 100 + 200 * 255 = 56500.
  const int D = 56500;
  auto ch = [&](int d, int s) { return BYTE((155 * 200 * d + 100 * 255 * s) / D); };
  EXPECT_EQ(dst.GetPixelData(2, 0), Bgra(ch(100, 200), ch(0, 100), ch(200, 0), BYTE(D / 255)));
  EXPECT_EQ(dst.GetPixelData(3, 0), Bgra(50, 60, 70, 127));
}

TEST(ImageBlend, AlphaBlendHalfwayAndScaled) {
  CTevObjImage dst(2, 1, 24);
  dst.SetPixelData(0, 0, 0x000000);
  dst.SetPixelData(1, 0, 0xFFFFFF);
  CTevObjImage src = Solid32(2, 1, Bgra(101, 255, 0, 255));
  ASSERT_TRUE(dst.AlphaBlend(src, RECT{0, 0, 2, 1}, RECT{0, 0, 2, 1}, 50));
  // a = 127: d + (s - d) * 127 / 255, truncated toward zero.
  EXPECT_EQ(dst.GetPixelData(0, 0), DWORD((0 << 16) | (127 << 8) | (101 * 127 / 255)));
  EXPECT_EQ(dst.GetPixelData(1, 0),
            DWORD(((255 - 255 * 127 / 255) << 16) | (255 << 8) | (255 + (101 - 255) * 127 / 255)));
  // Scaled: a 2 x 1 source over a 4 x 2 destination, nearest neighbour.
  CTevObjImage big = Solid32(4, 2, Bgra(0, 0, 0, 9));
  CTevObjImage two(2, 1, 32);
  two.SetPixelData(0, 0, Bgra(10, 10, 10, 255));
  two.SetPixelData(1, 0, Bgra(20, 20, 20, 255));
  ASSERT_TRUE(big.AlphaBlend(two, RECT{0, 0, 4, 2}, RECT{0, 0, 2, 1}, 200));
  EXPECT_EQ(big.GetPixelData(1, 1), Bgra(10, 10, 10, 9));  // destination alpha kept
  EXPECT_EQ(big.GetPixelData(2, 0), Bgra(20, 20, 20, 9));
}

TEST(ImageResize, ExpandFrameReplicatesCornersAndEdges) {
  CTevObjImage img(2, 2, 8);
  img.SetPixelData(0, 0, 1);
  img.SetPixelData(1, 0, 2);
  img.SetPixelData(0, 1, 3);
  img.SetPixelData(1, 1, 4);
  ASSERT_TRUE(img.ExpandFrame(true, 2, 1, 1, 2));
  ASSERT_EQ(img.Width(), 5);
  ASSERT_EQ(img.Height(), 5);
  const DWORD want[5][5] = {{1, 1, 1, 2, 2}, {1, 1, 1, 2, 2}, {3, 3, 3, 4, 4}, {3, 3, 3, 4, 4}, {3, 3, 3, 4, 4}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(img.GetPixelData(x, y), want[y][x]) << x << "," << y;
}

TEST(ImageResize, StretchNearestKeepsPalette) {
  CTevObjImage img(3, 1, 8);
  RGBQUAD c{5, 6, 7, 0};
  img.SetColorTable(2, 1, &c);
  for (int x = 0; x < 3; ++x) img.SetPixelData(x, 0, DWORD(x));
  ASSERT_TRUE(img.Stretch(7, 2));
  const DWORD want[7] = {0, 0, 0, 1, 1, 2, 2};  // x * 3 / 7
  for (int x = 0; x < 7; ++x) EXPECT_EQ(img.GetPixelData(x, 1), want[x]);
  RGBQUAD back{};
  img.GetColorTable(2, 1, &back);
  EXPECT_EQ(back.rgbGreen, 6);
  EXPECT_FALSE(img.Stretch(7, 2));
}

// Reference bilinear with the exact weights; widths chosen so that every
// fraction is a multiple of 1/8 (exact in binary).
static int RefBilinear(int a, int b, int c, int d, double tx, double ty) {
  return int(a * (1 - tx) * (1 - ty) + b * tx * (1 - ty) + c * (1 - tx) * ty + d * tx * ty);
}

TEST(ImageResize, SmoothGradientMatchesReference) {
  const int sw = 5, sh = 3, dw = 8, dh = 4;
  CTevObjImage img(sw, sh, 24);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x) img.SetPixelData(x, y, DWORD((x * 60) | ((y * 100) << 8) | ((x * 30 + y * 20) << 16)));
  CTevObjImage src(img);
  CTevCommonProgress progress;
  ASSERT_EQ(img.Stretch_Smooth(dw, dh, &progress), 1);
  EXPECT_FLOAT_EQ(progress.Fraction(), 1.0f);
  for (int y = 0; y < dh; ++y) {
    int sy = y * sh / dh, fy = (y * sh) % dh;
    if (sy >= sh - 1) sy = sh - 2, fy = dh - 1;
    for (int x = 0; x < dw; ++x) {
      int sx = x * sw / dw, fx = (x * sw) % dw;
      if (sx >= sw - 1) sx = sw - 2, fx = dw - 1;
      const BYTE* p00 = src.GetBits(sx, sy);
      const BYTE* p10 = src.GetBits(sx, sy + 1);
      for (int k = 0; k < 3; ++k) {
        int want = RefBilinear(p00[k], p00[3 + k], p10[k], p10[3 + k], double(fx) / dw, double(fy) / dh);
        ASSERT_EQ(img.GetBits(x, y)[k], want) << x << "," << y << " ch " << k;
      }
    }
  }
}

TEST(ImageResize, SmoothWeighsColourByAlpha) {
  // Opaque red beside transparent green: the colour between them stays red.
  CTevObjImage img(2, 2, 32);
  for (int y = 0; y < 2; ++y) {
    img.SetPixelData(0, y, Bgra(0, 0, 255, 255));
    img.SetPixelData(1, y, Bgra(0, 255, 0, 0));
  }
  ASSERT_EQ(img.Stretch_Smooth(4, 2, nullptr), 1);
  // Column 1: fx = 2 of 4, alpha 127.5 -> 127, colour red.
  EXPECT_EQ(img.GetPixelData(1, 0), Bgra(0, 0, 255, 127));
}

TEST(ImageResize, SmoothCancelLeavesImageIntact) {
  CTevObjImage img(4, 4, 32);
  imaging_test::FillNoise(img, 3);
  CTevObjImage before(img);
  CTevCommonProgress progress;
  progress.Cancel();
  EXPECT_EQ(img.Stretch_Smooth(8, 8, &progress), 0);
  EXPECT_EQ(img.Width(), 4);
  EXPECT_EQ(std::memcmp(img.GetMemStart(), before.GetMemStart(), 64), 0);
}
