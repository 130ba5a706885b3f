// CTevObjImage resizing: margins (ExpandFrame), nearest-neighbour Stretch and
// the bilinear Stretch_Smooth. Each builds the new image beside the old one
// and swaps it in only when complete, so a failure leaves the picture intact.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "companions/base/progress.h"
#include "imaging/obj_image.h"

namespace TevImageTransform {

bool CTevObjImage::ExpandFrame(bool replicate, int left, int top, int right, int bottom) {
  if (!dib_ || ColorBits() < 8) return false;
  if (left < 0 || top < 0 || right < 0 || bottom < 0) return false;
  if ((left | top | right | bottom) == 0) return false;
  const std::int64_t nw = std::int64_t(Width()) + left + right, nh = std::int64_t(Height()) + top + bottom;
  if (nw > kMaxDibDimension || nh > kMaxDibDimension) return false;
  const int w = Width(), h = Height(), bpp = ColorBits() / 8;
  CTevObjImage out;
  if (!out.CreateLike(dib_, int(nw), int(nh))) return false;
  if (ColorBits() <= 8) out.CopyPalette(*this);
  const std::size_t rowBytes = std::size_t(w) * bpp;
  for (int y = 0; y < h; ++y) {
    BYTE* d = out.GetBits(top + y);
    const BYTE* s = GetBits(y);
    std::memcpy(d + std::size_t(left) * bpp, s, rowBytes);
    if (!replicate) continue;
    for (int i = 0; i < left; ++i) std::memcpy(d + std::size_t(i) * bpp, s, std::size_t(bpp));
    BYTE* r = d + std::size_t(left + w) * bpp;
    for (int i = 0; i < right; ++i) std::memcpy(r + std::size_t(i) * bpp, s + rowBytes - bpp, std::size_t(bpp));
  }
  if (replicate) {
    const std::size_t fullRow = std::size_t(nw) * bpp;
    for (int y = 0; y < top; ++y) std::memcpy(out.GetBits(y), out.GetBits(top), fullRow);
    for (int y = top + h; y < nh; ++y) std::memcpy(out.GetBits(y), out.GetBits(top + h - 1), fullRow);
  }
  Adopt(out.Detch(), 0);
  return true;
}

bool CTevObjImage::Stretch(int width, int height) {
  if (!dib_ || ColorBits() < 8 || width < 1 || height < 1) return false;
  if (width == Width() && height == Height()) return false;
  const int sw = Width(), sh = Height(), bpp = ColorBits() / 8;
  CTevObjImage out;
  if (!out.CreateLike(dib_, width, height)) return false;
  if (ColorBits() <= 8) out.CopyPalette(*this);
  std::vector<std::size_t> colOffset(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) colOffset[std::size_t(x)] = std::size_t(std::int64_t(x) * sw / width) * bpp;
  for (int y = 0; y < height; ++y) {
    const BYTE* s = GetBits(int(std::int64_t(y) * sh / height));
    BYTE* d = out.GetBits(y);
    switch (bpp) {
      case 1: for (int x = 0; x < width; ++x) d[x] = s[colOffset[std::size_t(x)]]; break;
      case 2: for (int x = 0; x < width; ++x) std::memcpy(d + 2 * x, s + colOffset[std::size_t(x)], 2); break;
      case 3: for (int x = 0; x < width; ++x) std::memcpy(d + 3 * x, s + colOffset[std::size_t(x)], 3); break;
      default: for (int x = 0; x < width; ++x) std::memcpy(d + 4 * x, s + colOffset[std::size_t(x)], 4); break;
    }
  }
  Adopt(out.Detch(), 0);
  return true;
}

namespace {

// Source index and fraction of one destination column or row.
struct Tap {
  int index;
  double t;
  bool exact;  // fraction 0: the source sample itself
};

std::vector<Tap> MakeTaps(int srcSize, int dstSize) {
  std::vector<Tap> taps(static_cast<std::size_t>(dstSize));
  for (int i = 0; i < dstSize; ++i) {
    std::int64_t pos = std::int64_t(i) * srcSize;
    int s = int(pos / dstSize);
    std::int64_t f = pos % dstSize;
    if (s >= srcSize - 1) {
      s = srcSize - 2;
      f = dstSize - 1;
    }
    taps[std::size_t(i)] = Tap{s, double(f) / dstSize, f == 0};
  }
  return taps;
}

// lerp(a, a, t) is exactly a, so equal neighbours never lose a unit.
inline double Lerp(double a, double b, double t) { return a + (b - a) * t; }
inline double Bilerp(double a, double b, double c, double d, double tx, double ty) {
  return Lerp(Lerp(a, b, tx), Lerp(c, d, tx), ty);
}

void SmoothRow24(const BYTE* r0, const BYTE* r1, BYTE* d, const std::vector<Tap>& cols, const Tap& row) {
  for (const Tap& c : cols) {
    const BYTE* p00 = r0 + std::size_t(c.index) * 3;
    const BYTE* p10 = r1 + std::size_t(c.index) * 3;
    if ((c.exact && row.exact) ||
        (std::memcmp(p00, p00 + 3, 3) == 0 && std::memcmp(p00, p10, 3) == 0 && std::memcmp(p00, p10 + 3, 3) == 0)) {
      std::memcpy(d, p00, 3);
    } else {
      for (int k = 0; k < 3; ++k) d[k] = BYTE(Bilerp(p00[k], p00[3 + k], p10[k], p10[3 + k], c.t, row.t));
    }
    d += 3;
  }
}

void SmoothRow32(const BYTE* r0, const BYTE* r1, BYTE* d, const std::vector<Tap>& cols, const Tap& row) {
  for (const Tap& c : cols) {
    const BYTE* p00 = r0 + std::size_t(c.index) * 4;
    const BYTE* p10 = r1 + std::size_t(c.index) * 4;
    const BYTE* p01 = p00 + 4;
    const BYTE* p11 = p10 + 4;
    std::uint32_t v00, v01, v10, v11;
    std::memcpy(&v00, p00, 4);
    std::memcpy(&v01, p01, 4);
    std::memcpy(&v10, p10, 4);
    std::memcpy(&v11, p11, 4);
    if ((c.exact && row.exact) || (v00 == v01 && v00 == v10 && v00 == v11)) {
      std::memcpy(d, p00, 4);
    } else if ((v00 & v01 & v10 & v11) >> 24 == 0xFF) {
      for (int k = 0; k < 3; ++k) d[k] = BYTE(Bilerp(p00[k], p01[k], p10[k], p11[k], c.t, row.t));
      d[3] = 255;
    } else {
      const double a = Bilerp(p00[3], p01[3], p10[3], p11[3], c.t, row.t);
      if (a <= 0.0) {
        std::memset(d, 0, 4);
      } else {
        for (int k = 0; k < 3; ++k) {
          double v = Bilerp(double(p00[k]) * p00[3], double(p01[k]) * p01[3], double(p10[k]) * p10[3],
                            double(p11[k]) * p11[3], c.t, row.t) / a;
          d[k] = BYTE(std::min(v, 255.0));
        }
        d[3] = BYTE(a);
      }
    }
    d += 4;
  }
}

}  // namespace

int CTevObjImage::Stretch_Smooth(int width, int height, CTevCommonProgress* progress) {
  if (!dib_ || ColorBits() < 24 || width < 1 || height < 1) return 0;
  if (width == Width() && height == Height()) return 1;
  if (width > kMaxDibDimension || height > kMaxDibDimension) return 0;
  // Every source pixel needs a right and a lower neighbour.
  CTevObjImage widened;
  const CTevObjImage* src = this;
  if (Width() == 1 || Height() == 1) {
    if (!widened.Create(dib_)) return 0;
    if (widened.Width() == 1 && !widened.ExpandFrame(true, 0, 0, 1, 0)) return 0;
    if (widened.Height() == 1 && !widened.ExpandFrame(true, 0, 0, 0, 1)) return 0;
    src = &widened;
  }
  CTevObjImage out;
  if (!out.CreateLike(dib_, width, height)) return 0;
  const std::vector<Tap> cols = MakeTaps(src->Width(), width);
  const std::vector<Tap> rows = MakeTaps(src->Height(), height);
  const bool is32 = ColorBits() == 32;
  for (int y = 0; y < height; ++y) {
    const Tap& row = rows[std::size_t(y)];
    const BYTE* r0 = src->GetBits(row.index);
    const BYTE* r1 = src->GetBits(row.index + 1);
    if (is32)
      SmoothRow32(r0, r1, out.GetBits(y), cols, row);
    else
      SmoothRow24(r0, r1, out.GetBits(y), cols, row);
    if (!ReportProgressStep(progress, y + 1, height)) return 0;
  }
  Adopt(out.Detch(), 0);
  return 1;
}

}  // namespace TevImageTransform
