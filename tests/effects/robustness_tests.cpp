// Every effect on bad arguments and progress values outside 0..1: nothing
// is written through a refused picture (the sanitizer build checks that
// nothing is written outside dst).
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

TEST(Robustness, MismatchedAndBadPictures) {
  DibPtr src = Pattern(17, 9);
  DibPtr small = Blank(5, 3), large = Blank(40, 30), tall = Blank(3, 50), same = Blank(17, 9);
  DibPtr rgb24(DibAlloc(17, 9, 24));
  DibPtr masks = Pattern(17, 9);
  masks->biCompression = BI_BITFIELDS;
  DibPtr topDown = Pattern(17, 9);
  topDown->biHeight = -9;
  DibPtr corrupt = Pattern(17, 9);
  corrupt->biWidth = -4;
  for (auto& e : AllEffects()) {
    for (BITMAPINFOHEADER* d : {same.get(), small.get(), large.get(), tall.get(), topDown.get()}) {
      for (double t : {0.37, 1.0, -0.5, 7.0, std::numeric_limits<double>::quiet_NaN()}) e->DoRender(d, src.get(), t);
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
}
