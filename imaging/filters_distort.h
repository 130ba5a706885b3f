// Geometric distortions. Each pixel asks calc_undistorted_coord where in
// the entry copy it comes from; that point is sampled bilinearly. A false
// answer leaves the pixel unchanged, except for the mappings that mark
// the point as outside the picture (skew, perspective, rotation), whose
// pixels there become transparent. 32 bits and at least 2 x 2 pixels.
#pragma once

#include "imaging/pixel_process.h"

namespace TevImageTransform {

class CTevPixelBilinearDistord : public CTevPixelBackupProcess {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  // Source position of pixel (x, y); false: keep the pixel.
  virtual bool calc_undistorted_coord(int x, int y, double& sx, double& sy) = 0;

 protected:
  int m_width = 0, m_height = 0;  // of the picture being walked
  bool m_outside = false;         // set by a mapping whose point left the picture
};

// Wraps the picture around a vertical cylinder seen from the front.
class CTevPixelCylinder : public CTevPixelBilinearDistord {
 public:
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;
};

// Sine waves: wavelength (below 2 becomes 1, then doubled) and amplitude
// (below 2 becomes 1) in pixels, phase in radians.
class CTevPixelWave : public CTevPixelBilinearDistord {
 public:
  CTevPixelWave(int wavelength, int amplitude, double phase);
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  int m_wavelength, m_amplitude;
  double m_phase;
};

// Twists (whirl in radians, clamped to +-2 pi) and pinches (clamped to +-1)
// the disc around the centre.
class CTevPixelWhirlPinch : public CTevPixelBilinearDistord {
 public:
  CTevPixelWhirlPinch(double whirl, double pinch);
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  double m_whirl, m_pinch;
};

// Follows depth (1..64) steps of z -> z^2 + c over the Mandelbrot plane and
// samples where the orbit ends, reflected back into the picture.
class CTevPixelFractalTrace : public CTevPixelBilinearDistord {
 public:
  explicit CTevPixelFractalTrace(int depth);
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  int m_depth;
};

// A glass sphere over the ellipse inscribed in the picture, magnifying its
// centre refraction times (below 1 becomes 1). Without keepSurroundings the
// pixels outside the lens become transparent.
class CTevPixelLens : public CTevPixelBilinearDistord {
 public:
  CTevPixelLens(double refraction, bool keepSurroundings);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  double m_refraction;
  bool m_keep;
};

// Moves the picture's corners (top-left, top-right, bottom-right,
// bottom-left) to the given points by a shear: the picture becomes the
// parallelogram spanned by the first, second and fourth point.
class CTevPixelSkew : public CTevPixelBilinearDistord {
 public:
  explicit CTevPixelSkew(const POINT corners[4]);
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  POINT m_corners[4];
};

// Moves the picture's corners (top-left, top-right, bottom-right,
// bottom-left) to the given points by a projective mapping.
class CTevPixelPerspective : public CTevPixelBilinearDistord {
 public:
  explicit CTevPixelPerspective(const POINT corners[4]);
  void OnEnterProcess(CTevObjImage* image) override;
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  POINT m_corners[4];
  double m_inverse[9] = {};  // destination -> unit square, row major
  bool m_valid = false;
};

// Turns the picture about its centre by degrees (brought into 0..359),
// clockwise on screen.
class CTevPixelRotate : public CTevPixelBilinearDistord {
 public:
  explicit CTevPixelRotate(int degrees);
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  int m_degrees;
  double m_angle, m_complement;  // radians
};

// Ripples the rows sideways like a ribbon: amount (0..100) percent of a
// quarter period, period in rows (below 2 becomes 2).
class CTevPixelRibbon : public CTevPixelBilinearDistord {
 public:
  CTevPixelRibbon(int amount, int period);
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  int m_amount, m_period;
};

// Repeats the picture shrunk into columns x rows tiles (each 1..64).
class CTevPixelSmallTile : public CTevPixelBilinearDistord {
 public:
  CTevPixelSmallTile(int columns, int rows);
  bool calc_undistorted_coord(int x, int y, double& sx, double& sy) override;

 private:
  int m_columns, m_rows;
};

}  // namespace TevImageTransform
