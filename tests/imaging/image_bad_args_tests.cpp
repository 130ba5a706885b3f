// CTevObjImage operations given bad arguments return their failure value and
// touch nothing they do not own (run under the sanitizer build).
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <vector>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;

TEST(ImageBadArgs, CreateRefusesBadSizesDepthsAndHeaders) {
  CTevObjImage img(2, 2, 8);
  BITMAPINFOHEADER* before = img.GetImageBits();
  for (auto [w, h, bits, clr] : std::vector<std::array<int, 4>>{
           {-1, 5, 8, 0}, {70000, 70000, 32, 0}, {1, 1, 2, 0}, {1, 1, 8, 257}}) {
    EXPECT_FALSE(img.Create(w, h, bits, clr)) << w << "x" << h << "x" << bits;
  }
  EXPECT_EQ(img.GetImageBits(), before);  // refused arguments leave the image as it was
  BITMAPINFOHEADER rle{40, 1, 1, 1, 8, 1, 0, 0, 0, 0, 0};
  EXPECT_FALSE(img.Create(&rle));
  CTevObjImage a;
  EXPECT_FALSE(a.Attach(&rle));
  EXPECT_FALSE(a.IsValidImage());
}

TEST(ImageBadArgs, EmptyImagesMismatchedDepthsAndOutsideRectangles) {
  CTevObjImage a32 = imaging_test::Solid32(4, 4, 0x80112233), a24(4, 4, 24), a8(4, 4, 8);
  CTevObjImage keep(a32);
  EXPECT_FALSE(a32.CoverBlock(CTevObjImage(), 0, 0));
  EXPECT_FALSE(a32.CombineImage(a24, 0, 0, 50));
  EXPECT_FALSE(a32.LogicalBlend(a8, LOGICAL_OR, 0, 0));
  for (int big : {INT_MAX, INT_MIN, -5, 4}) {
    EXPECT_FALSE(a32.CoverBlock(keep, big, 0));
    EXPECT_FALSE(a32.CombineImage(keep, big, big, 100));
    EXPECT_FALSE(a32.AlphaBlend(keep, RECT{big, big, big, big}, RECT{0, 0, 1, 1}, 100));
    EXPECT_FALSE(a32.GetSubBlock(&a8, RECT{big, big, big, big}));
  }
  EXPECT_TRUE(a32.AlphaBlend(keep, RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, RECT{0, 0, 4, 4}, 100));
  EXPECT_TRUE(a32.TileBlock(keep, INT_MIN, INT_MIN));
  EXPECT_FALSE(a32.ExpandFrame(true, INT_MAX, 0, INT_MAX, 0));
  EXPECT_FALSE(a32.Stretch(INT_MAX, INT_MAX));
  EXPECT_EQ(a32.Stretch_Smooth(70000, 3, nullptr), 0);
  EXPECT_EQ(a32.Width(), 4);
  EXPECT_EQ(std::memcmp(a32.GetMemStart(), keep.GetMemStart(), 64), 0);
}
