#include "imaging/shadow_builder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace TevImageTransform {
namespace {

// A 32-bit picture filled with the colour at alpha 0; the builders then write
// only alpha, so blurred edges keep the shadow colour.
BITMAPINFOHEADER* NewShadowCanvas(LONG w, LONG h, COLORREF colour) {
  if (w < 1 || h < 1) return nullptr;
  BITMAPINFOHEADER* dib = DibAlloc(w, h, 32);
  if (!dib) return nullptr;
  const BYTE b = GetBValue(colour), g = GetGValue(colour), r = GetRValue(colour);
  for (LONG y = 0; y < h; ++y) {
    BYTE* p = DibRow(dib, y);
    for (LONG x = 0; x < w; ++x, p += 4) {
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = 0;
    }
  }
  return dib;
}

bool Usable(const BITMAPINFOHEADER* src) {
  return src && DibHeaderValid(src) && src->biBitCount == 32 && src->biCompression == BI_RGB;
}

// One box pass of radius r over n samples spaced by step, clamping at the ends.
void BoxPass(BYTE* data, std::ptrdiff_t step, int n, int r, std::vector<int>& tmp) {
  tmp.resize(std::size_t(n));
  for (int i = 0; i < n; ++i) tmp[std::size_t(i)] = data[i * step];
  const int window = 2 * r + 1;
  int sum = 0;
  for (int i = -r; i <= r; ++i) sum += tmp[std::size_t(std::clamp(i, 0, n - 1))];
  for (int i = 0; i < n; ++i) {
    data[i * step] = BYTE((sum + window / 2) / window);
    sum += tmp[std::size_t(std::min(i + r + 1, n - 1))] - tmp[std::size_t(std::max(i - r, 0))];
  }
}

}  // namespace

void BlurAlpha(BITMAPINFOHEADER* dib, int radius) {
  if (!Usable(dib) || radius < 1) return;
  const LONG w = dib->biWidth, h = DibHeight(dib);
  const std::ptrdiff_t stride = std::ptrdiff_t(DibStride(dib));
  std::vector<int> tmp;
  BYTE* base = DibBits(dib) + 3;
  // Three passes whose radii add up to the radius: the blur reaches exactly
  // `radius` pixels, so a silhouette padded by the radius is never cut off.
  const int radii[3] = {radius / 3, radius / 3, radius - 2 * (radius / 3)};
  for (int r : radii) {
    if (r < 1) continue;
    for (LONG y = 0; y < h; ++y) BoxPass(base + y * stride, 4, w, r, tmp);
    for (LONG x = 0; x < w; ++x) BoxPass(base + x * 4, stride, h, r, tmp);
  }
}

BITMAPINFOHEADER* CreateParallelShadow(const BITMAPINFOHEADER* src, COLORREF colour, double ratio, int softness) {
  if (!Usable(src) || !(ratio > 0) || ratio > 100 || softness < 0 || softness > 255) return nullptr;
  const LONG W = src->biWidth, H = DibHeight(src);
  const LONG sw = std::max<LONG>(1, LONG(W * ratio + 0.5)), sh = std::max<LONG>(1, LONG(H * ratio + 0.5));
  BITMAPINFOHEADER* out = NewShadowCanvas(sw + 2 * softness, sh + 2 * softness, colour);
  if (!out) return nullptr;
  for (LONG y = 0; y < sh; ++y) {
    const LONG sy = std::min<LONG>(H - 1, LONG((y + 0.5) * H / sh));
    const BYTE* s = DibRow(src, sy);
    BYTE* d = DibRow(out, y + softness) + 4 * softness;
    for (LONG x = 0; x < sw; ++x) {
      const LONG sx = std::min<LONG>(W - 1, LONG((x + 0.5) * W / sw));
      d[4 * x + 3] = s[4 * sx + 3];
    }
  }
  BlurAlpha(out, softness);
  return out;
}

BITMAPINFOHEADER* CreatePerspectiveShadow(const BITMAPINFOHEADER* src, int direction, COLORREF colour, double ratio,
                                          int softness, int angleDegrees, int lengthPercent) {
  if (!Usable(src) || direction < 0 || direction > 3 || !(ratio > 0) || ratio > 100 || softness < 0 ||
      softness > 255 || lengthPercent < 0 || lengthPercent > 10000)
    return nullptr;
  const LONG W = src->biWidth, H = DibHeight(src);
  const double theta = angleDegrees * M_PI / 180.0;
  const double c = std::max(0.0, std::cos(theta) * H * lengthPercent / 100.0);
  const LONG rise = LONG(std::floor(std::max(0.0, std::sin(theta)) * H * lengthPercent / 100.0 + 0.5));
  const double groundW = W * ratio;
  const LONG P = LONG(std::floor(c + groundW + 0.5));
  const LONG outW = P + 2 * softness, outH = rise + 2 * softness;
  if (outW > kMaxDibDimension || outH > kMaxDibDimension) return nullptr;
  BITMAPINFOHEADER* out = NewShadowCanvas(outW, outH, colour);
  if (!out) return nullptr;
  const bool leanLeft = direction == 0 || direction == 2;
  const bool above = direction == 0 || direction == 1;
  for (LONG k = 0; k < rise; ++k) {
    // k counts rows away from the ground line; f is the height fraction.
    const double f = (k + 0.5) / rise;
    const LONG sy = std::clamp<LONG>(LONG(H - f * H), 0, H - 1);
    const BYTE* s = DibRow(src, sy);
    const LONG oy = above ? softness + rise - 1 - k : softness + k;
    const double start = leanLeft ? softness + (P - groundW) - c * f : softness + c * f;
    BYTE* d = DibRow(out, oy);
    const LONG x0 = std::max<LONG>(0, LONG(std::floor(start)));
    const LONG x1 = std::min<LONG>(outW, LONG(std::ceil(start + groundW)));
    for (LONG x = x0; x < x1; ++x) {
      const double u = (x + 0.5 - start) / ratio;
      if (u < 0 || u >= W) continue;
      d[4 * x + 3] = s[4 * LONG(u) + 3];
    }
  }
  BlurAlpha(out, softness);
  return out;
}

}  // namespace TevImageTransform
