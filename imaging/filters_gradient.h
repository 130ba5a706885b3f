// Two-colour gradients. A gradient computes a factor for each pixel
// (CalculateFactor: 0 at its start, 1 at its end), continues it past the
// ends by its REPEAT_MODE, and writes the blend of c1 and c2 at that factor
// into B, G and R.
#pragma once

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// How a gradient continues past its ends.
enum REPEAT_MODE {
  REPEAT_NONE = 0,      // the end colours continue
  REPEAT_SAWTOOTH = 1,  // starts again at c1 after each period
  REPEAT_TRIANGLE = 2,  // runs back and forth between c1 and c2
};

class CTevPixelGradientBase : public CTevSinglePixelProcessBase {
 public:
  CTevPixelGradientBase(RGBQUAD c1, RGBQUAD c2, REPEAT_MODE mode);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  // The raw factor at a pixel (any real number; 0..1 between the ends).
  virtual double CalculateFactor(int x, int y) = 0;
  // The factor brought into 0..1 by the repeat mode.
  double RepeatFactor(double f) const;

 protected:
  RGBQUAD m_c1, m_c2;
  REPEAT_MODE m_mode;
};

// Shared by the gradients defined by two points: the start, the unit
// direction towards the end and the length.
class CTevPixelGradientTwoPoints : public CTevPixelGradientBase {
 public:
  CTevPixelGradientTwoPoints(POINT start, POINT end, RGBQUAD c1, RGBQUAD c2, REPEAT_MODE mode);

 protected:
  double m_x0, m_y0, m_ux, m_uy, m_length;
};

// Along the line from start to end.
class CTevPixelGradientLine : public CTevPixelGradientTwoPoints {
 public:
  using CTevPixelGradientTwoPoints::CTevPixelGradientTwoPoints;
  double CalculateFactor(int x, int y) override;
};

// Mirrored about the start: c1 on the line through start, c2 at the
// distance of end on both sides.
class CTevPixelGradientBiLine : public CTevPixelGradientTwoPoints {
 public:
  using CTevPixelGradientTwoPoints::CTevPixelGradientTwoPoints;
  double CalculateFactor(int x, int y) override;
};

// By angle around start, 0 in the direction of end and 1 opposite, the
// same on both sides.
class CTevPixelGradientConicalSym : public CTevPixelGradientTwoPoints {
 public:
  using CTevPixelGradientTwoPoints::CTevPixelGradientTwoPoints;
  double CalculateFactor(int x, int y) override;
};

// By angle around start, clockwise from the direction of end, one turn 0..1.
class CTevPixelGradientConicalASym : public CTevPixelGradientTwoPoints {
 public:
  using CTevPixelGradientTwoPoints::CTevPixelGradientTwoPoints;
  double CalculateFactor(int x, int y) override;
};

// Shared by the gradients defined by a rectangle: its centre and half extents.
class CTevPixelGradientBox : public CTevPixelGradientBase {
 public:
  CTevPixelGradientBox(const RECT& rect, RGBQUAD c1, RGBQUAD c2, REPEAT_MODE mode);

 protected:
  double m_cx, m_cy, m_hx, m_hy;
};

// Concentric rectangles: c1 at the centre, c2 on the rectangle's border.
class CTevPixelGradientRect : public CTevPixelGradientBox {
 public:
  using CTevPixelGradientBox::CTevPixelGradientBox;
  double CalculateFactor(int x, int y) override;
};

// Concentric ellipses: c1 at the centre, c2 on the ellipse inscribed in
// the rectangle.
class CTevPixelGradientRadial : public CTevPixelGradientBox {
 public:
  using CTevPixelGradientBox::CTevPixelGradientBox;
  double CalculateFactor(int x, int y) override;
};

}  // namespace TevImageTransform
