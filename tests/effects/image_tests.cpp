// Image effects: the mosaic's whole cells and the adjustment's pixel rule.
#include <gtest/gtest.h>

#include <cmath>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

// Whole cells only, round(cells * t) of them, and exact end points.
TEST(Mosaic, ShowsWholeCellsInProportion) {
  const int w = 23, h = 17, a = 5;
  DibPtr src = Pattern(w, h);
  CMosaicEffect e(a);
  for (double t : {0.37, 0.8})
    EXPECT_EQ(CellsShown(Render(e, src.get(), t).get(), src.get(), a, a).size(), std::size_t(std::lround(20 * t)));
  EXPECT_TRUE(AllTransparent(Render(e, src.get(), 0).get()));
  EXPECT_EQ(Differences(Render(e, src.get(), 1).get(), src.get()), 0);
  CMosaicEffect big(50);  // one cell
  EXPECT_EQ(Differences(Render(big, src.get(), 0.5).get(), src.get()), 0);
  EXPECT_TRUE(AllTransparent(Render(big, src.get(), 0.49).get()));
}

TEST(Adjust, BrightnessContrastTables) {
  DibPtr src = Pattern(6, 4);
  SetPx(src.get(), 1, 1, 0x7F64C832);  // A 127, R 100, G 200, B 50
  CBrightnessContrastEffect e(150, 40);
  DibPtr d = Copy(src.get());
  e.DoRender(d.get(), src.get(), 1);
  EXPECT_EQ(Differences(d.get(), src.get()), 0);

  DibPtr half = Copy(src.get());
  CBrightnessContrastEffect::DoAdjust(half.get(), 50, 100);
  EXPECT_EQ(Px(half.get(), 1, 1), 0x7F326419u);  // every channel halved, alpha kept
  DibPtr strong = Copy(src.get());
  CBrightnessContrastEffect::DoAdjust(strong.get(), 100, 200);
  // (v - 128) * 2 + 128: 100 -> 72, 200 -> 272 -> 255, 50 -> -28 -> 0.
  EXPECT_EQ(Px(strong.get(), 1, 1), 0x7F48FF00u);
  // At progress 0 the constructor's values apply.
  DibPtr start = Copy(src.get());
  CBrightnessContrastEffect dim(50, 100);
  dim.DoRender(start.get(), src.get(), 0);
  EXPECT_EQ(Px(start.get(), 1, 1), 0x7F326419u);
}
