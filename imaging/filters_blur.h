// Blurs: box blur on running sums, the recursive (IIR) Gaussian blur, and
// motion, zoom and radial blurs. All are whole-image processes; on a
// selection they blur the whole picture and keep the result by each pixel's
// selection level. 32-bit pixels are averaged with alpha weights.
#pragma once

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// Mean of the size x size window (size below 3 becomes 2, above 256 becomes
// 256) around each pixel; the border is replicated or transparent black.
class CTevPixelBlurBox : public CTevPixelWholeImageBase {
 public:
  explicit CTevPixelBlurBox(int size, bool replicateEdges = true);
  void OnEnterProcess(CTevObjImage* image) override;
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;
  int GetSize() const { return m_size; }

 private:
  int m_size;
  bool m_replicate;
};

// Gaussian blur by a fourth-order recursive filter run forward and backward
// over the rows and then, after a quarter turn, over the columns; its cost
// does not grow with the radius. A radius r blurs with
// sigma = (r + 1) / sqrt(2 ln 255), reaching about r pixels.
class CTevPixelBlurGaussIIR : public CTevPixelWholeImageBase {
 public:
  CTevPixelBlurGaussIIR(int horizontalRadius, int verticalRadius);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;
  // The same blur with one radius in both directions on any 24/32-bit image.
  static int GaussIIRBlurImage(CTevObjImage& image, int radius, CTevCommonProgress* progress);

 private:
  int m_horizontal, m_vertical;
};

// Direction of a motion blur.
enum DIRECT_SYS {
  DIRECT_HORIZONTAL = 0,
  DIRECT_VERTICAL = 1,
  DIRECT_DIAGONAL_DOWN = 2,  // top-left to bottom-right
  DIRECT_DIAGONAL_UP = 3,    // bottom-left to top-right
};

// Mean of distance pixels (1..256) along a line through each pixel.
class CPixelBlurMotion : public CTevPixelWholeImageBase {
 public:
  CPixelBlurMotion(int distance, DIRECT_SYS direction);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 private:
  int m_distance;
  DIRECT_SYS m_direction;
};

// Mean along the ray from the centre towards each pixel, over amount
// percent (0..100) of the way to the centre.
class CTevPixelBlurZoom : public CTevPixelWholeImageBase {
 public:
  explicit CTevPixelBlurZoom(int amount);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 private:
  int m_amount;
};

// Mean along the circle around the centre through each pixel, over an arc
// of amount degrees (0..360) centred on the pixel.
class CTevPixelBlurRadial : public CTevPixelWholeImageBase {
 public:
  explicit CTevPixelBlurRadial(int amount);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 private:
  int m_amount;
};

}  // namespace TevImageTransform
