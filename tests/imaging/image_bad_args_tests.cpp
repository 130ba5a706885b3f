// Every CTevObjImage operation given bad arguments returns its failure value
// and touches nothing it does not own (run under the sanitizer build).
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <vector>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;

namespace {

BITMAPINFOHEADER Header(LONG w, LONG h, WORD bits, DWORD compression = BI_RGB, DWORD clrUsed = 0) {
  return BITMAPINFOHEADER{40, w, h, 1, bits, compression, 0, 0, 0, clrUsed, 0};
}

}  // namespace

TEST(ImageBadArgs, CreateRefusesBadSizesDepthsAndHeaders) {
  CTevObjImage img(2, 2, 8);
  BITMAPINFOHEADER* before = img.GetImageBits();
  for (auto [w, h, bits, clr] : std::vector<std::array<int, 4>>{
           {0, 1, 8, 0}, {1, 0, 8, 0}, {-1, 5, 8, 0}, {5, -1, 32, 0}, {INT_MAX, 1, 8, 0}, {70000, 70000, 32, 0},
           {40000, 40000, 32, 0}, {1, 1, 2, 0}, {1, 1, 0, 0}, {1, 1, 8, -1}, {1, 1, 8, 257}, {1, 1, 1, 3}}) {
    EXPECT_FALSE(img.Create(w, h, bits, clr)) << w << "x" << h << "x" << bits;
  }
  EXPECT_EQ(img.GetImageBits(), before);  // refused arguments leave the image as it was
  EXPECT_FALSE(img.Create(nullptr));
  for (BITMAPINFOHEADER bad : {Header(0, 1, 8), Header(1, 0, 8), Header(1, -3, 8), Header(1, 1, 7),
                               Header(1, 1, 8, 1 /* RLE */), Header(1, 1, 8, BI_RGB, 300),
                               BITMAPINFOHEADER{12, 1, 1, 1, 8, 0, 0, 0, 0, 0, 0}}) {
    EXPECT_FALSE(img.Create(&bad));
    CTevObjImage a;
    EXPECT_FALSE(a.Attach(&bad));
    EXPECT_FALSE(a.IsValidImage());
  }
  CTevObjImage empty;
  EXPECT_FALSE(empty.Attach(nullptr));
}

TEST(ImageBadArgs, EmptyImageIsRefusedEverywhere) {
  CTevObjImage e;
  RGBQUAD q[4] = {};
  RECT r{0, 0, 5, 5};
  EXPECT_EQ(e.GetBits(0, 0), nullptr);
  EXPECT_EQ(e.GetPixelData(0, 0), 0u);
  e.SetPixelData(0, 0, 1);
  EXPECT_FALSE(e.SetColorTable(0, 1, q));
  e.BoundRect(r);
  EXPECT_EQ(r, (RECT{0, 0, 0, 0}));
  e.ConvertTo24Bit();
  e.ConvertTo32Bit();
  e.SetAlphaChannelValue(3);
  e.CopyPalette(CTevObjImage(2, 2, 8));
  EXPECT_FALSE(e.IsValidImage());
  CTevObjImage out;
  EXPECT_FALSE(e.GetAlphaChannel(&out));
  EXPECT_FALSE(e.GetSubBlock(&out, RECT{0, 0, 1, 1}));
  EXPECT_FALSE(e.ExpandFrame(true, 1, 1, 1, 1));
  EXPECT_FALSE(e.Stretch(3, 3));
  EXPECT_EQ(e.Stretch_Smooth(3, 3, nullptr), 0);
  CTevObjImage full = imaging_test::Solid32(3, 3, 0xFF000000);
  EXPECT_FALSE(full.CoverBlock(e, 0, 0));
  EXPECT_FALSE(e.CoverBlock(full, 0, 0));
  EXPECT_FALSE(full.TileBlock(e, 0, 0));
  EXPECT_FALSE(full.CombineImage(e, 0, 0, 100));
  EXPECT_FALSE(full.AlphaBlend(e, RECT{0, 0, 1, 1}, RECT{0, 0, 1, 1}, 100));
  EXPECT_FALSE(full.LogicalBlend(e, LOGICAL_OR, 0, 0));
  EXPECT_FALSE(full.CoverBlockAlphaChannel(e, 0, 0));
  EXPECT_FALSE(full.AppendAlphaChannel(e));
  BYTE px[4] = {};
  EXPECT_FALSE(CTevObjImage::__FillImageRect(e, r, px));
}

TEST(ImageBadArgs, MismatchedDepthsAndOutsideRectangles) {
  CTevObjImage a32 = imaging_test::Solid32(4, 4, 0x80112233), a24(4, 4, 24), a8(4, 4, 8), a1(16, 4, 1);
  CTevObjImage keep(a32);
  EXPECT_FALSE(a32.CoverBlock(a24, 0, 0));
  EXPECT_FALSE(a1.CoverBlock(a1, 0, 0));
  EXPECT_FALSE(a32.CombineImage(a24, 0, 0, 50));
  EXPECT_FALSE(a8.AlphaBlend(a32, RECT{0, 0, 4, 4}, RECT{0, 0, 4, 4}, 50));
  EXPECT_FALSE(a24.AlphaBlend(a24, RECT{0, 0, 4, 4}, RECT{0, 0, 4, 4}, 50));
  EXPECT_FALSE(a32.LogicalBlend(a8, LOGICAL_OR, 0, 0));
  EXPECT_FALSE(a32.CoverBlockAlphaChannel(a24, 0, 0));
  EXPECT_FALSE(a1.GetSubBlock(&a8, RECT{0, 0, 2, 2}));
  EXPECT_FALSE(a32.GetSubBlock(nullptr, RECT{0, 0, 2, 2}));
  for (int big : {INT_MAX, INT_MIN, -5, 4}) {
    EXPECT_FALSE(a32.CoverBlock(keep, big, 0));
    EXPECT_FALSE(a32.CoverBlock(keep, 0, big, 2, 2));
    EXPECT_FALSE(a32.CombineImage(keep, big, big, 100));
    EXPECT_FALSE(a32.CoverBlockAlphaChannel(keep, big, big));
    EXPECT_FALSE(a32.AlphaBlend(keep, RECT{big, big, big, big}, RECT{0, 0, 1, 1}, 100));
    EXPECT_FALSE(a32.GetSubBlock(&a8, RECT{big, big, big, big}));
  }
  EXPECT_FALSE(a32.CoverBlock(keep, 0, 0, -1, 5));
  EXPECT_FALSE(a32.AlphaBlend(keep, RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, RECT{0, 0, 5, 4}, 100));
  EXPECT_FALSE(a32.AlphaBlend(keep, RECT{0, 0, 2, 2}, RECT{-1, 0, 2, 2}, 100));
  EXPECT_FALSE(a32.AlphaBlend(keep, RECT{2, 2, 0, 0}, RECT{0, 0, 2, 2}, 100));
  EXPECT_TRUE(a32.AlphaBlend(keep, RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, RECT{0, 0, 4, 4}, 100));
  EXPECT_TRUE(a32.TileBlock(keep, INT_MIN, INT_MIN));
  EXPECT_TRUE(a32.TileBlock(keep, INT_MAX - 1, 0) == false);
  EXPECT_FALSE(CTevObjImage::__FillImageRect(a32, RECT{4, 0, 9, 9}, nullptr));
  EXPECT_FALSE(CTevObjImage::__FillImageRect(a1, RECT{0, 0, 9, 9}, "x"));
  EXPECT_EQ(std::memcmp(a32.GetMemStart(), keep.GetMemStart(), 64), 0);
}

TEST(ImageBadArgs, ResizesRefuseBadSizes) {
  CTevObjImage img = imaging_test::Solid32(3, 3, 0xFF000000);
  EXPECT_FALSE(img.ExpandFrame(false, -1, 0, 0, 0));
  EXPECT_FALSE(img.ExpandFrame(false, 0, 0, 0, 0));
  EXPECT_FALSE(img.ExpandFrame(true, INT_MAX, 0, INT_MAX, 0));
  EXPECT_FALSE(img.ExpandFrame(true, 0, 70000, 0, 0));
  EXPECT_FALSE(img.Stretch(0, 3));
  EXPECT_FALSE(img.Stretch(3, -3));
  EXPECT_FALSE(img.Stretch(INT_MAX, INT_MAX));
  EXPECT_EQ(img.Stretch_Smooth(-1, 3, nullptr), 0);
  EXPECT_EQ(img.Stretch_Smooth(70000, 3, nullptr), 0);
  EXPECT_EQ(img.Stretch_Smooth(3, 3, nullptr), 1);
  CTevObjImage idx(3, 3, 8);
  EXPECT_EQ(idx.Stretch_Smooth(6, 6, nullptr), 0);
  CTevObjImage bits1(3, 3, 1);
  EXPECT_FALSE(bits1.Stretch(6, 6));
  EXPECT_FALSE(bits1.ExpandFrame(true, 1, 1, 1, 1));
  EXPECT_EQ(img.Width(), 3);
  EXPECT_EQ(img.GetPixelData(2, 2), 0xFF000000u);
}
