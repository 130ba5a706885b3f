// Every effect on bad arguments: no crash, no write outside dst (the
// sanitizer build checks the memory side).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

namespace {

std::vector<std::unique_ptr<CGeneralEffect>> AllEffects() {
  std::vector<std::unique_ptr<CGeneralEffect>> v;
  v.push_back(std::make_unique<CClockWipeEffect>(true, 3, 2));
  v.push_back(std::make_unique<CStarWipeEffect>());
  v.push_back(std::make_unique<CIrisWipeEffect>());
  v.push_back(std::make_unique<CLinesWipeEffect>(45, 1000));
  v.push_back(std::make_unique<CArcsWipeEffect>(4));
  v.push_back(std::make_unique<CArcsWipeEffect>(-3));
  v.push_back(std::make_unique<CCirclesWipeEffect>(4));
  v.push_back(std::make_unique<CDiamondWipeEffect>(0));
  v.push_back(std::make_unique<CRotateRectangleEffect>(false));
  v.push_back(std::make_unique<CEyeOpenEffect>());
  v.push_back(std::make_unique<CSweepWipeEffect>(-30));
  v.push_back(std::make_unique<CRandomWipeEffect>());
  v.push_back(std::make_unique<CTurnPageEffect>());
  v.push_back(std::make_unique<CGate3DEffect>(9));
  v.push_back(std::make_unique<CFlip3DEffect>(false, true));
  v.push_back(std::make_unique<CRotate3DEffect>(5));
  v.push_back(std::make_unique<CSideRollEffect>(3, 0.1));
  v.push_back(std::make_unique<CBarsEffect>(false, -1.0));
  v.push_back(std::make_unique<CNarrowBarsEffect>(3));
  v.push_back(std::make_unique<CJalousieEffect>(false, 0.0));
  v.push_back(std::make_unique<CRowSpreadEffect>(6, 0.05));
  v.push_back(std::make_unique<CRowSpreadEffect>(5, std::numeric_limits<double>::quiet_NaN()));
  v.push_back(std::make_unique<CQuatersSliderEffect>());
  v.push_back(std::make_unique<CRotateEffect>(1));
  v.push_back(std::make_unique<CZoomEffect>());
  v.push_back(std::make_unique<CMosaicEffect>(0));
  v.push_back(std::make_unique<CDirectionSenseMosaicEffect>(10, 2));
  v.push_back(std::make_unique<CThawingEffect>());
  v.push_back(std::make_unique<CWaveEffect>(30));
  v.push_back(std::make_unique<CLightEffect>(135, 3, 10));
  v.push_back(std::make_unique<CLightEffect>(0, 3, 10));
  v.push_back(std::make_unique<CMotionBlurEffect>());
  v.push_back(std::make_unique<CGrayEffect>());
  v.push_back(std::make_unique<CEmbossEffect>());
  v.push_back(std::make_unique<CBrightnessContrastEffect>(100, 0));
  v.push_back(std::make_unique<CNoiseEffect>(100));
  return v;
}

}  // namespace

// Progress values outside 0..1 and NaN on one-pixel, odd and large pictures:
// the sanitizer build catches any write outside dst.
TEST(Robustness, EverySizeAndProgress) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (auto [w, h] : {std::pair{1, 1}, {17, 9}, {640, 480}}) {
    DibPtr src = Pattern(w, h);
    for (auto& e : AllEffects())
      for (double t : {0.37, -0.5, 7.0, nan}) {
        DibPtr dst = Copy(src.get());
        e->DoRender(dst.get(), src.get(), t);
        EXPECT_EQ(DibWidth(dst.get()), w);
        EXPECT_EQ(DibHeight(dst.get()), h);
      }
  }
}

TEST(Robustness, MismatchedAndBadPictures) {
  DibPtr src = Pattern(17, 9);
  DibPtr small = Blank(5, 3), large = Blank(40, 30), tall = Blank(3, 50);
  DibPtr rgb24(DibAlloc(17, 9, 24));
  DibPtr masks = Pattern(17, 9);
  masks->biCompression = BI_BITFIELDS;
  DibPtr topDown = Pattern(17, 9);
  topDown->biHeight = -9;
  DibPtr corrupt = Pattern(17, 9);
  corrupt->biWidth = -4;
  for (auto& e : AllEffects()) {
    for (BITMAPINFOHEADER* d : {small.get(), large.get(), tall.get(), topDown.get()}) {
      e->DoRender(d, src.get(), 0.37);
      e->DoRender(d, src.get(), 1.0);
      e->DoRender(src.get(), d, 0.37);
    }
    DibPtr before = Copy(src.get());
    e->DoRender(nullptr, src.get(), 0.5);
    e->DoRender(src.get(), nullptr, 0.5);
    e->DoRender(rgb24.get(), src.get(), 0.5);
    e->DoRender(src.get(), rgb24.get(), 0.5);
    e->DoRender(masks.get(), src.get(), 0.5);
    e->DoRender(corrupt.get(), src.get(), 0.5);
    e->DoRender(src.get(), corrupt.get(), 0.5);
    EXPECT_EQ(Differences(src.get(), before.get()), 0);  // nothing written through a refused argument
  }
  // Rows must be stored bottom-up: a top-down destination is refused.
  DibPtr td = Blank(17, 9);
  td->biHeight = -9;
  CIrisWipeEffect iris;
  iris.DoRender(td.get(), src.get(), 1.0);
  CBarsEffect bars(true, 0.1);
  bars.DoRender(td.get(), src.get(), 1.0);
  EXPECT_TRUE(AllTransparent(td.get()));

  CZoomEffect zoom;
  EXPECT_FALSE(zoom.CreateZoomInBitmap(nullptr, src.get(), 0, 3, true));
  EXPECT_FALSE(zoom.CreateZoomOutBitmap(small.get(), rgb24.get(), 0, 3, true));
  EXPECT_FALSE(zoom.CreateZoomOutBitmap(small.get(), src.get(), 0, 0, false));
  CMotionBlurEffect blur;
  EXPECT_FALSE(blur.BuildBlurImage(src.get(), src.get(), 3));
  EXPECT_TRUE(blur.BuildBlurImage(small.get(), src.get(), 1000));
  CSideRollEffect roll(0, 0.1);
  roll.DoRender(small.get(), src.get(), 0.9);  // smaller than CalcuDIBDimension
}
