// Transition performers: their pictures must be the effect library's output
// at the progress the index mapping gives (after trimming to the opaque
// bounding box), with the options passed on as the library's arguments.
#include <gtest/gtest.h>

#include <functional>

#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"
#include "effects/TevImgEffect.h"
#include "generators/effect_performer_classes.h"
#include "generators/transition_generator.h"
#include "imaging/TevImageTransform"

namespace lib = TevImgEffectLib;

namespace {

// An opaque picture with a different colour at every pixel.
DibPtr Picture(int w, int h) {
  return PatternPicture(w, h, [](int x, int y) {
    return std::array<BYTE, 4>{BYTE(7 * x + 3 * y), BYTE(11 * y), BYTE(200 - 5 * x), 255};
  });
}

RefPtr<CRefImageObject> Source(int w, int h, int x = 5, int y = 7, int transparency = 0) {
  auto ref = MakeRef<CRefImageObject>(MakeRef<CDib>(Picture(w, h)));
  ref->m_nX = x;
  ref->m_nY = y;
  ref->m_bVisible = true;
  ref->m_nTransparency = transparency;
  return ref;
}

// The performer's reference must show `expected` trimmed to its opaque box,
// placed at the source position (plus offset) moved by the trimmed borders.
void ExpectTrimmedPicture(const RefPtr<CRefImageObject>& ref, const CRefImageObject& source, DibPtr expected,
                          POINT offset = {0, 0}) {
  ASSERT_TRUE(expected);
  LONG l, t, r, b;
  if (!DibKernel::CheckBlankBorder(expected.get(), &l, &t, &r, &b)) {
    EXPECT_FALSE(ref) << "a fully transparent picture gives no object";
    return;
  }
  ASSERT_TRUE(ref);
  DibPtr trimmed(DibKernel::Trim32BitsDIB(expected.get(), l, t, r, b));
  EXPECT_TRUE(PixelEqual(ref->m_pObject->GetImage(), trimmed.get()));
  EXPECT_EQ(ref->m_nX, source.m_nX + offset.x + l);
  EXPECT_EQ(ref->m_nY, source.m_nY + offset.y + t);
  EXPECT_NE(ref->m_pObject.get(), source.m_pObject.get());
}

DibPtr Blank(const BITMAPINFOHEADER* src) { return DibPtr(CDIB32::CreateBlank32BitsDIB(DibWidth(src), DibHeight(src))); }
DibPtr Copy(const BITMAPINFOHEADER* src) { return DibPtr(CBitmapCreator::Clone32BitsDIB(src)); }
DibPtr Draw(lib::CGeneralEffect&& e, DibPtr dst, BITMAPINFOHEADER* src, double p) {
  e.DoRender(dst.get(), src, p);
  return dst;
}

}  // namespace

// Every performer that renders through one library class gives that class's
// picture at p = (i + 1) / (N + 1) appearing and 1 - (i + 1) / N disappearing.
TEST(EffectPerformers, PicturesAreTheLibrarysAtTheMappedProgress) {
  struct Case {
    int index;
    std::function<DibPtr(BITMAPINFOHEADER*, double)> expected;
  };
  const std::vector<Case> cases = {
      {1, [](auto* s, double p) { return Draw(lib::CTurnPageEffect(), Blank(s), s, 1 - p); }},
      {2, [](auto* s, double p) { return Draw(lib::CWaveEffect(30), Blank(s), s, 1 - p); }},
      {4, [](auto* s, double p) { return Draw(lib::CGate3DEffect(0), Blank(s), s, p); }},
      {5, [](auto* s, double p) { return Draw(lib::CFlip3DEffect(true, false), Blank(s), s, p); }},
      {6, [](auto* s, double p) { return Draw(lib::CRotate3DEffect(0), Blank(s), s, p); }},
      {9, [](auto* s, double p) { return Draw(lib::CRotateEffect(3), Blank(s), s, p); }},
      {12, [](auto* s, double p) { return Draw(lib::CLightEffect(135, 3, 10), Copy(s), s, p); }},
      {13, [](auto* s, double p) { return Draw(lib::CRandomWipeEffect(), Blank(s), s, p); }},
      {18, [](auto* s, double p) { return Draw(lib::CClockWipeEffect(true, 1, 1), Blank(s), s, p); }},
      {24, [](auto* s, double p) { return Draw(lib::CDirectionSenseMosaicEffect(10, 0), Blank(s), s, p); }},
      {25, [](auto* s, double p) { return Draw(lib::CThawingEffect(40), Blank(s), s, p); }},
      {26, [](auto* s, double p) { return Draw(lib::CJalousieEffect(true, 0.10), Blank(s), s, p); }},
      {27, [](auto* s, double p) { return Draw(lib::CBarsEffect(true, 0.05), Blank(s), s, p); }},
      {29, [](auto* s, double p) { return Draw(lib::CRowSpreadEffect(0, 0.05), Blank(s), s, p); }},
      {30, [](auto* s, double p) { return Draw(lib::CGrayEffect(), Blank(s), s, p); }},
      {32, [](auto* s, double p) { return Draw(lib::CBrightnessContrastEffect(100, 0), Copy(s), s, p); }},
      {33, [](auto* s, double p) { return Draw(lib::CNoiseEffect(100), Copy(s), s, p); }},
  };
  auto list = CreateEffectPerformers();
  auto source = Source(41, 29);
  BITMAPINFOHEADER* src = source->m_pObject->GetImage();
  for (const Case& c : cases) {
    CEffectPerform& perf = *list[c.index];
    for (bool appear : {true, false}) {
      perf.SetFlag(EFFECT_APPEAR, appear);
      const int n = 4;
      for (int i = 0; i < (appear ? n : n - 1); ++i) {
        SCOPED_TRACE(::testing::Message() << "effect " << c.index << (appear ? " appear " : " disappear ") << i);
        const double p = appear ? (i + 1.0) / (n + 1) : 1 - (i + 1.0) / n;
        ExpectTrimmedPicture(perf.BuildFrameObject(*source, i, n), *source, c.expected(src, p));
      }
    }
  }
}

TEST(EffectPerformers, OptionsReachTheLibraryArguments) {
  auto source = Source(30, 20);
  BITMAPINFOHEADER* src = source->m_pObject->GetImage();
  const double p = 3.0 / 7;  // picture 2 of 6

  // The line wipe on a picture smaller than the strip count.
  auto tiny = Source(3, 2);
  CEffectLineWipe lines;
  lines.m_nParam[1] = 100;
  ExpectTrimmedPicture(lines.BuildFrameObject(*tiny, 2, 6), *tiny,
                       Draw(lib::CLinesWipeEffect(45, 2), Blank(tiny->m_pObject->GetImage()),
                            tiny->m_pObject->GetImage(), p));

  // Emboss: the blend starts from a copy embossed with depth 100 / 10.
  CColorEmbossEffect emboss;
  DibPtr embossed = Copy(src);
  {
    TevImageTransform::CTevObjImage image;
    ASSERT_TRUE(image.Attach(embossed.get()));
    TevImageTransform::CTevPixelEmboss filter(10);
    image.SinglePixelProcessProc(filter, nullptr);
    image.Detch();
  }
  ExpectTrimmedPicture(emboss.BuildFrameObject(*source, 2, 6), *source,
                       Draw(lib::CEmbossEffect(), std::move(embossed), src, p));

  // The roll from the right keeps its right edge: the picture is narrower
  // and moves right by the difference.
  CRollEffect roll;
  roll.m_nParam[1] = 2;
  lib::CSideRollEffect lroll(2, 0.10);
  const SIZE size = lroll.CalcuDIBDimension(src, p);
  ASSERT_LT(size.cx, 30);
  DibPtr rolled(CDIB32::CreateBlank32BitsDIB(size.cx, size.cy));
  lroll.DoRender(rolled.get(), src, p);
  ExpectTrimmedPicture(roll.BuildFrameObject(*source, 2, 6), *source, std::move(rolled), POINT{30 - size.cx, 0});
}
