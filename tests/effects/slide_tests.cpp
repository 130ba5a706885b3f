// Slides, bars and 3D: where each part of the picture lands at chosen
// progress values, and the whole picture at 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

TEST(Slides, BarsSlideFromAlternateSides) {
  DibPtr src = Pattern(20, 8);
  CBarsEffect horizontal(true, 0.25);  // bars of 2 rows
  EXPECT_TRUE(AllTransparent(Render(horizontal, src.get(), 0).get()));
  EXPECT_EQ(Differences(Render(horizontal, src.get(), 1).get(), src.get()), 0);
  DibPtr h = Render(horizontal, src.get(), 0.5);  // 10 columns in
  EXPECT_EQ(Px(h.get(), 15, 0), PatternPixel(5, 0));  // odd bar from the right
  EXPECT_EQ(Px(h.get(), 5, 1), 0u);
  EXPECT_EQ(Px(h.get(), 3, 2), PatternPixel(13, 2));  // even bar from the left
  EXPECT_EQ(Px(h.get(), 12, 3), 0u);

  CBarsEffect vertical(false, 0.5);  // bars of 10 columns
  DibPtr v = Render(vertical, src.get(), 0.25);  // 2 rows in
  EXPECT_EQ(Px(v.get(), 3, 7), PatternPixel(3, 1));  // from the bottom
  EXPECT_EQ(Px(v.get(), 3, 5), 0u);
  EXPECT_EQ(Px(v.get(), 13, 0), PatternPixel(13, 6));  // from the top
  EXPECT_EQ(Differences(Render(vertical, src.get(), 1).get(), src.get()), 0);
  // A zero width does not loop forever; the picture is one bar.
  CBarsEffect zero(true, 0.0);
  EXPECT_EQ(Differences(Render(zero, src.get(), 1).get(), src.get()), 0);
}

// Whole lines only, round(lines * t) of them; variants 4 and 5 start from the
// far end, so at a small progress their lines lie in the far half.
TEST(Slides, NarrowBarsShowWholeLinesInProportion) {
  DibPtr src = Pattern(70, 45);
  for (int variant = 0; variant < 6; ++variant) {
    CNarrowBarsEffect e(variant);
    const bool columns = variant % 2 == 0;
    const int lines = columns ? 70 : 45;
    const auto shown = CellsShown(Render(e, src.get(), 0.37).get(), src.get(), columns ? 1 : 70, columns ? 45 : 1);
    EXPECT_EQ(int(shown.size()), int(std::lround(lines * 0.37))) << variant;
    if (variant >= 2) {
      // A window of 32 lines from the start of the order (the far end for 4 and 5).
      for (auto [c, r] : shown) {
        const int at = columns ? c : r, place = variant >= 4 ? lines - 1 - at : at;
        EXPECT_LT(place, int(std::lround(lines * 0.37)) + 31) << variant << " line " << at;
      }
    }
    EXPECT_EQ(Differences(Render(e, src.get(), 1).get(), src.get()), 0) << variant;
  }
}

TEST(Slides, QuartersSlideInWhole) {
  for (auto [w, h] : {std::pair{8, 8}, {7, 5}, {1, 1}, {2, 3}}) {
    DibPtr src = Pattern(w, h);
    CQuatersSliderEffect e;
    EXPECT_TRUE(AllTransparent(Render(e, src.get(), 0).get()));
    EXPECT_EQ(Differences(Render(e, src.get(), 1).get(), src.get()), 0) << w << "x" << h;
  }
  DibPtr src = Pattern(8, 8);
  CQuatersSliderEffect e;
  DibPtr d = Render(e, src.get(), 0.5);  // 2 pixels of each quarter in
  EXPECT_EQ(Px(d.get(), 0, 0), PatternPixel(2, 0));   // top-left from the left
  EXPECT_EQ(Px(d.get(), 5, 0), PatternPixel(5, 2));   // top-right from the top
  EXPECT_EQ(Px(d.get(), 1, 7), PatternPixel(1, 5));   // bottom-left from the bottom
  EXPECT_EQ(Px(d.get(), 7, 5), PatternPixel(5, 5));   // bottom-right from the right
  EXPECT_EQ(Px(d.get(), 3, 3), 0u);
}

TEST(Slides, PerspectiveQuadsAndThePictureAtOne) {
  double q[8];
  // Variant 3 (180 about x only) ends upside down.
  CRotate3DEffect flipped(3);
  flipped.CalcuQuad(40, 30, 1, q);
  EXPECT_NEAR(q[1], 30, 1e-9);
  EXPECT_NEAR(q[5], 0, 1e-9);
  // Gate halfway: the hinge corners stay, the free edge is nearer the centre.
  CGate3DEffect left(0);
  left.CalcuQuad(40, 30, 0.5, q);
  EXPECT_NEAR(q[0], 0, 1e-9);
  EXPECT_NEAR(q[7], 30, 1e-9);
  EXPECT_LT(q[2], 40);
  // At 1 every side and variant shows the picture (within a level).
  std::vector<std::unique_ptr<CGeneralEffect>> all;
  for (int side = 0; side < 4; ++side) all.push_back(std::make_unique<CGate3DEffect>(side));
  for (bool vertical : {false, true})
    for (bool reverse : {false, true}) all.push_back(std::make_unique<CFlip3DEffect>(vertical, reverse));
  for (int variant : {0, 7}) all.push_back(std::make_unique<CRotate3DEffect>(variant));
  DibPtr src = Pattern(40, 30);
  for (std::size_t i = 0; i < all.size(); ++i) {
    DibPtr d = Render(*all[i], src.get(), 1);
    int off = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const std::uint32_t a = Px(d.get(), x, y), b = PatternPixel(x, y);
        for (int c = 0; c < 32; c += 8) off += std::abs(int((a >> c) & 0xFF) - int((b >> c) & 0xFF)) > 1;
      }
    EXPECT_EQ(off, 0) << i;
  }
}
