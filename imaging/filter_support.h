// Helpers shared by the filter family (not part of the public interface):
// clamping, the grey value, HSL conversions, the compositing rule of
// CombineImage for one pixel, a seeded rand() work-alike, bilinear sampling
// and the selection blend of whole-image processes.
#pragma once

#include <algorithm>
#include <cstdint>

#include "imaging/obj_image.h"
#include "imaging/pixel_process.h"

namespace TevImageTransform {

class CTevObjSelection;

namespace filter_detail {

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline int Clamp255(double v) { return v <= 0.0 ? 0 : (v >= 255.0 ? 255 : int(v)); }
// Rounds half away from zero, then truncates.
inline int Round(double v) { return int(v < 0.0 ? v - 0.5 : v + 0.5); }
// (11 B + 30 R + 59 G) / 100 of a B, G, R pixel.
inline int Grey(const BYTE* p) { return (11 * p[0] + 30 * p[2] + 59 * p[1]) / 100; }
inline int BytesPerPixel(const CTevObjImage* image) { return image ? image->ColorBits() / 8 : 0; }

// Hue in [0, 1), saturation and lightness as fractions; grey gives 0, 0.
void RgbToHsl(int r, int g, int b, double& h, double& s, double& l);
// Back to 0..255 channels (rounded).
void HslToRgb(double h, double s, double l, int& r, int& g, int& b);

// Composites source colour s (B, G, R) with alpha as over a 32-bit pixel d,
// the per-pixel rule of CTevObjImage::CombineImage, which calls it.
void CombinePixel(BYTE* d, const BYTE* s, int as);

// The classic 15-bit linear congruential rand(): one generator per process.
class CRandom {
 public:
  explicit CRandom(std::uint32_t seed = 1) : m_seed(seed) {}
  void Seed(std::uint32_t seed) { m_seed = seed; }
  int Next() {  // 0..32767
    m_seed = m_seed * 214013u + 2531011u;
    return int((m_seed >> 16) & 0x7FFF);
  }
  static std::uint32_t ClockSeed();

 private:
  std::uint32_t m_seed;
};

// Bilinear sample at (sx, sy) with 0 <= sx <= width - 1, 0 <= sy <= height - 1
// of an image at least 2 x 2 of 24 or 32 bits, into out (3 or 4 bytes).
// 32-bit pixels are interpolated with alpha weights.
void SampleBilinear(const CTevObjImage& image, double sx, double sy, BYTE* out);

// Whole-image process on a selection: runs ProcessWholeImage over the image,
// then mixes each pixel with the entry copy by its selection level (pixels
// outside the selection come back unchanged).
int RunWholeImageOnSelection(CTevInterfacePixelProcess& process, CTevObjImage* image, const POINT& pos,
                             const CTevObjSelection& selection, CTevCommonProgress* progress);

// Access to CTevObjImage::CreateLike for processes that re-create the image
// at a new size with the same depth, palette size and masks.
bool RecreateLike(CTevObjImage& image, const BITMAPINFOHEADER* model, int width, int height);

// Reports row + 1 of rows done; false when the run must stop.
inline bool RowDone(CTevCommonProgress* progress, int row, int rows) {
  return ReportProgressStep(progress, row + 1, rows);
}

}  // namespace filter_detail
}  // namespace TevImageTransform
