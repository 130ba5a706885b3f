// Slides, bars and 3D movements: the picture moves or deforms into place.
// Progress 0 shows nothing, 1 the whole picture (the side roll's output is
// narrower or lower than the picture, see CalcuDIBDimension). The page turn
// lives with the wipes (effect_wipes.h) as it shares their path.
#pragma once

#include "effects/general_effect.h"

namespace TevImgEffectLib {

// Bars sliding in from alternate sides.
class TEV_EFFECT_API CBarsEffect : public CGeneralEffect {
 public:
  CBarsEffect(bool horizontal, double width);
  CBarsEffect(const CBarsEffect&) = default;
  CBarsEffect& operator=(const CBarsEffect&) = default;
  ~CBarsEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  double m_width;  // fraction of the picture
  bool m_horizontal;
};

// Blinds: slats side by side, each opening from its leading edge.
class TEV_EFFECT_API CJalousieEffect : public CGeneralEffect {
 public:
  // vertical: slats of columns (true) or of rows (false).
  CJalousieEffect(bool vertical, const double& width);
  CJalousieEffect(const CJalousieEffect&) = default;
  CJalousieEffect& operator=(const CJalousieEffect&) = default;
  ~CJalousieEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  double m_width;
  bool m_horizontal;  // the negation of the constructor's flag
};

// Single-pixel lines appearing in a pseudo-random order: variants 0 and 1
// scatter columns or rows over the picture, 2 to 5 sweep with a jitter of 32
// lines (2 columns and 3 rows from the start, 4 columns from the right, 5
// rows from the bottom).
class TEV_EFFECT_API CNarrowBarsEffect : public CGeneralEffect {
 public:
  explicit CNarrowBarsEffect(int variant);
  CNarrowBarsEffect(const CNarrowBarsEffect&) = default;
  CNarrowBarsEffect& operator=(const CNarrowBarsEffect&) = default;
  ~CNarrowBarsEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  int m_variant;
};

// Bands of columns or rows revealed in one of eight orders (0 to 7).
class TEV_EFFECT_API CRowSpreadEffect : public CGeneralEffect {
 public:
  CRowSpreadEffect(int variant, const double& width);
  CRowSpreadEffect(const CRowSpreadEffect&) = default;
  CRowSpreadEffect& operator=(const CRowSpreadEffect&) = default;
  ~CRowSpreadEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  double m_width;
  int m_variant;
};

// The four quarters sliding in from four sides like a pinwheel.
class TEV_EFFECT_API CQuatersSliderEffect : public CGeneralEffect {
 public:
  CQuatersSliderEffect() = default;
  CQuatersSliderEffect(const CQuatersSliderEffect&) = default;
  CQuatersSliderEffect& operator=(const CQuatersSliderEffect&) = default;
  ~CQuatersSliderEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
};

// A door swinging on its hinge edge (0 left, 1 top, 2 right, 3 bottom) from
// edge-on to flat, in perspective.
class TEV_EFFECT_API CGate3DEffect : public CGeneralEffect {
 public:
  explicit CGate3DEffect(int side);
  CGate3DEffect(const CGate3DEffect&) = default;
  CGate3DEffect& operator=(const CGate3DEffect&) = default;
  ~CGate3DEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // The four target corners (x, y pairs) for the source's top-left,
  // top-right, bottom-right and bottom-left corners.
  void CalcuQuad(int width, int height, double progress, double quad[8]) const;

 private:
  int m_side;
};

// A card turning about its vertical (true) or horizontal centre line.
class TEV_EFFECT_API CFlip3DEffect : public CGeneralEffect {
 public:
  CFlip3DEffect(bool vertical, bool reverse);
  CFlip3DEffect(const CFlip3DEffect&) = default;
  CFlip3DEffect& operator=(const CFlip3DEffect&) = default;
  ~CFlip3DEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  void CalcuQuad(int width, int height, double progress, double quad[8]) const;

 private:
  bool m_vertical;
  bool m_reverse;
};

// The picture turning in space about all three axes (variants 0 to 7).
class TEV_EFFECT_API CRotate3DEffect : public CGeneralEffect {
 public:
  explicit CRotate3DEffect(int variant);
  CRotate3DEffect(const CRotate3DEffect&) = default;
  CRotate3DEffect& operator=(const CRotate3DEffect&) = default;
  ~CRotate3DEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  void CalcuQuad(int width, int height, double progress, double quad[8]) const;

 private:
  int m_variant;
};

// The picture unrolling from a roll like a carpet. side: 0 from the left,
// 1 from the top, 2 from the right, 3 from the bottom; radius as a fraction
// of the picture. dst has the size CalcuDIBDimension gives; the edge of the
// picture opposite the roll is the fixed one.
class TEV_EFFECT_API CSideRollEffect : public CGeneralEffect {
 public:
  CSideRollEffect(int side, const double& radius);
  CSideRollEffect(const CSideRollEffect&) = default;
  CSideRollEffect& operator=(const CSideRollEffect&) = default;
  ~CSideRollEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // Output size for the progress: (W t, H) for sides 0 and 2, (W, H t) for
  // 1 and 3, rounded; (0, 0) for an invalid src.
  SIZE CalcuDIBDimension(BITMAPINFOHEADER* src, const double& progress) const;

 protected:
  void RollFromLeft(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double progress);
  void RollFromTop(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double progress);
  void RollFromRight(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double progress);
  void RollFromBottom(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double progress);

 private:
  void Roll(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double progress, bool horizontal, bool fromStart);

  int m_side;
  double m_radius;
};

}  // namespace TevImgEffectLib
