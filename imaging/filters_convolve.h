// Neighbourhood filters read from the entry copy: convolution with a square
// kernel and its fixed kernels (Gaussian 3 x 3 and 5 x 5, edge detection,
// sharpening), the median filter, and emboss (which reads its right
// neighbour from the image, which the walk has not reached yet).
#pragma once

#include <vector>

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// B, G, R = sum of weight x channel over the size x size window / divisor
// + offset, clamped; the border is replicated.
class CTevPixelConvolute : public CTevPixelBackupProcess {
 public:
  CTevPixelConvolute() = default;
  // Copies size x size weights row by row (size odd, 1..15; other sizes are
  // refused and leave the kernel as it was); a divisor below 2 becomes 1.
  bool SetKernel(const int* kernel, int size, int divisor, int offset);
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  int KernelSize() const { return m_size; }
  int Divisor() const { return m_divisor; }
  const std::vector<int>& Kernel() const { return m_kernel; }

 protected:
  std::vector<int> m_kernel{1};
  int m_size = 1;
  int m_divisor = 1;
  int m_offset = 0;
  int m_bpp = 0;
};

// 1 2 1 / 2 4 2 / 1 2 1, divisor 16.
class CTevPixelGaussianBlur3x3 : public CTevPixelConvolute {
 public:
  CTevPixelGaussianBlur3x3();
};

// The 5 x 5 binomial-like kernel with divisor 52.
class CTevPixelGaussianBlur5x5 : public CTevPixelConvolute {
 public:
  CTevPixelGaussianBlur5x5();
};

// n x n of -1 with centre n^2 - 1, n = 2 max(radius, 1) + 1 (at most 15).
class CTevPixelDetectEdges : public CTevPixelConvolute {
 public:
  explicit CTevPixelDetectEdges(int radius);
};

// 3 x 3 of -1 with centre amount + 8, divisor amount (1 when below 2).
class CTevPixelSharp : public CTevPixelConvolute {
 public:
  explicit CTevPixelSharp(int amount);
  // The editor's two fixed sharpen kernels: 3 x 3 of -1 around the centre.
  static CTevPixelSharp Sharpen() { return WithCentre(22, 14); }      // centre 22, divisor 14
  static CTevPixelSharp SharpenMore() { return WithCentre(16, 8); }   // centre 16, divisor 8

 private:
  static CTevPixelSharp WithCentre(int centre, int divisor);
};

// d = (R - R') + (G - G') + (B - B') with the right neighbour;
// B = G = R = clamp(128 + d x depth / 3); the last column becomes 128.
class CTevPixelEmboss : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelEmboss(int depth);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_depth;
};

// The pixel of median grey value of the size x size window (size 1..31,
// even sizes take the window one pixel further right and down).
class CTevPixelMedianFilter : public CTevPixelBackupProcess {
 public:
  explicit CTevPixelMedianFilter(int size);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_size;
  std::vector<std::pair<int, const BYTE*>> m_window;
};

}  // namespace TevImageTransform
