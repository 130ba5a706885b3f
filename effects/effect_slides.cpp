#include "effects/effect_slides.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "companions/vector/image_transform.h"
#include "effects/effect_internal.h"

namespace TevImgEffectLib {

using detail::Clamp01;
using detail::CopyRun;
using detail::Is32;
using detail::kPi;
using detail::OrderedPicker;
using detail::Pixels;

namespace {

int RoundInt(double v) { return int(std::floor(v + 0.5)); }

// A fraction of the picture that gives bands of at least one pixel and a
// bounded number of them: not-a-number, zero or negative become 1.
double BandFraction(double width, int size) {
  if (!(width > 0) || !std::isfinite(width)) return 1.0;
  return std::min(1.0, std::max(width, 1.0 / size));
}

}  // namespace

// ---------------------------------------------------------------- bars

CBarsEffect::CBarsEffect(bool horizontal, double width) : m_width(width), m_horizontal(horizontal) {}
CBarsEffect::~CBarsEffect() = default;

void CBarsEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  Pixels d(dst), s(src);
  const int W = s.w, H = s.h;
  if (m_horizontal) {
    const double bar = H * BandFraction(m_width, H);
    const int shown = RoundInt(W * t);
    for (int k = 1;; ++k) {
      const int r0 = RoundInt((k - 1) * bar), r1 = std::min(H, RoundInt(k * bar));
      if (r0 >= H) break;
      for (int y = r0; y < r1; ++y) {
        if (k % 2) CopyRun(d, s, W - shown, y, 0, y, shown);   // from the right
        else CopyRun(d, s, 0, y, W - shown, y, shown);         // from the left
      }
    }
  } else {
    const double bar = W * BandFraction(m_width, W);
    const int shown = RoundInt(H * t);
    for (int k = 1;; ++k) {
      const int c0 = RoundInt((k - 1) * bar), c1 = std::min(W, RoundInt(k * bar));
      if (c0 >= W) break;
      for (int y = 0; y < shown; ++y) {
        if (k % 2) CopyRun(d, s, c0, H - shown + y, c0, y, c1 - c0);  // from the bottom
        else CopyRun(d, s, c0, y, c0, y + H - shown, c1 - c0);        // from the top
      }
    }
  }
}

// ---------------------------------------------------------------- blinds

CJalousieEffect::CJalousieEffect(bool vertical, const double& width) : m_width(width), m_horizontal(!vertical) {}
CJalousieEffect::~CJalousieEffect() = default;

void CJalousieEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  const int W = DibWidth(src), H = DibHeight(src), size = m_horizontal ? H : W;
  const int slat = std::max(1, RoundInt(size * BandFraction(m_width, size)));
  const int open = std::max(1, RoundInt(slat * t));
  for (int p = 0; p < size; p += slat) {
    const int n = std::min(open, size - p);
    if (m_horizontal) Copy32BitsBlock(dst, src, 0, p, W, n);
    else Copy32BitsBlock(dst, src, p, 0, n, H);
  }
}

// ---------------------------------------------------------------- narrow bars

CNarrowBarsEffect::CNarrowBarsEffect(int variant) : m_variant(variant) {}
CNarrowBarsEffect::~CNarrowBarsEffect() = default;

void CNarrowBarsEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const int variant = (m_variant >= 0 && m_variant <= 5) ? m_variant : 0;
  const bool columns = variant % 2 == 0;
  Pixels d(dst), s(src);
  const int lines = columns ? s.w : s.h;
  const bool reversed = variant >= 4;
  const bool whole = variant <= 1;
  OrderedPicker picker;
  if (!picker.Init(lines)) return;
  detail::CrtRandom rng{unsigned(lines)};
  const int count = detail::RoundCount(lines, Clamp01(progress));
  int remaining = lines;
  for (int i = 0; i < count && remaining > 0; ++i, --remaining) {
    const int window = whole ? remaining : std::min(32, remaining);
    const int r = rng.Next() % window;
    int line = picker.Take(r);
    if (reversed) line = lines - 1 - line;
    if (columns) {
      for (int y = 0; y < std::min(d.h, s.h); ++y) CopyRun(d, s, line, y, line, y, 1);
    } else {
      CopyRun(d, s, 0, line, 0, line, s.w);
    }
  }
}

// ---------------------------------------------------------------- row spread

CRowSpreadEffect::CRowSpreadEffect(int variant, const double& width) : m_width(width), m_variant(variant) {}
CRowSpreadEffect::~CRowSpreadEffect() = default;

void CRowSpreadEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  const int W = DibWidth(src), H = DibHeight(src);
  if (std::fabs(t - 1) <= 5e-12) {
    Copy32BitsBlock(dst, src, 0, 0, W, H);
    return;
  }
  const double width = std::isfinite(m_width) && m_width > 0 ? std::min(m_width, 1.0) : 1.0;
  const int cw = std::max(1, RoundInt(W * width)), rh = std::max(1, RoundInt(H * width));
  const int cols = (W + cw - 1) / cw, rows = (H + rh - 1) / rh;
  const bool first = t <= 0.5;
  auto d1 = [&](int size) { return RoundInt(2 * t * size); };
  auto d2 = [&](int size) { return RoundInt(2 * (t - 0.5) * size); };
  auto column = [&](int b, int y, int n) { Copy32BitsBlock(dst, src, b * cw, y, cw, n); };
  auto row = [&](int b, int x, int n) { Copy32BitsBlock(dst, src, x, b * rh, n, rh); };
  auto ceilDiv = [](int a, int b) { return (a + b - 1) / b; };

  switch ((m_variant >= 0 && m_variant <= 7) ? m_variant : 0) {
    case 0: {
      const long long n = (long long)std::floor(double(H) * cols * t + 0.5);
      const int full = int(n / H), rest = int(n % H);
      for (int b = 0; b < std::min(full, cols); ++b) column(b, 0, H);
      if (full < cols) column(full, 0, rest);
      break;
    }
    case 1: {
      const long long n = (long long)std::floor(double(W) * rows * t);
      const int full = int(n / W), rest = int(n % W);
      for (int b = 0; b < std::min(full, rows); ++b) row(b, 0, W);
      if (full < rows) row(full, 0, rest);
      break;
    }
    case 2:
      for (int b = 0; b < rows; ++b) {
        if (first) {
          if (b % 2 == 0) row(b, 0, d1(W));
        } else if (b % 2 == 0) {
          row(b, 0, W);
        } else {
          row(b, W - d2(W), d2(W));
        }
      }
      break;
    case 3:
      for (int b = 0; b < cols; ++b) {
        if (first) {
          if (b % 2 == 0) column(b, 0, d1(H));
        } else if (b % 2 == 0) {
          column(b, 0, H);
        } else {
          column(b, H - d2(H), d2(H));
        }
      }
      break;
    case 4:
    case 5: {
      const bool byColumns = m_variant == 4;
      const int bands = byColumns ? cols : rows, unit = byColumns ? cw : rh, size = byColumns ? W : H;
      auto whole = [&](int b) { byColumns ? column(b, 0, H) : row(b, 0, W); };
      if (first) {
        const int m = ceilDiv(d1(size), unit);
        for (int b = 0; b < std::min(m, bands); b += 2) whole(b);
      } else {
        const int m = ceilDiv(d2(size), unit);
        for (int b = 0; b < bands; ++b)
          if (b % 2 == 0 || b >= bands - m) whole(b);
      }
      break;
    }
    case 6:
      if (first) {
        const int m = ceilDiv(d1(W), cw);
        for (int b = 0; b < std::min(m, cols); b += 2) column(b, 0, H);
      } else {
        for (int b = 0; b < cols; b += 2) column(b, 0, H);
        for (int b = 0; b < rows; b += 2) row(b, W - d2(W), d2(W));
      }
      break;
    case 7:
      if (first) {
        const int m = ceilDiv(d1(H), rh);
        for (int b = 0; b < std::min(m, rows); b += 2) row(b, 0, W);
      } else {
        for (int b = 0; b < rows; b += 2) row(b, 0, W);
        for (int b = 0; b < cols; b += 2) column(b, H - d2(H), d2(H));
      }
      break;
  }
}

// ---------------------------------------------------------------- quarters

CQuatersSliderEffect::~CQuatersSliderEffect() = default;

// The right and bottom quarters take the odd pixel and slide by their own
// sizes, so that every quarter lands whole at progress 1.
void CQuatersSliderEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  Pixels d(dst), s(src);
  const int W = s.w, H = s.h, w2 = W / 2, h2 = H / 2;
  const int dx = RoundInt(w2 * t), dy = RoundInt(h2 * t);
  const int dxr = RoundInt((W - w2) * t), dyb = RoundInt((H - h2) * t);
  for (int y = 0; y < h2; ++y) CopyRun(d, s, 0, y, w2 - dx, y, dx);                    // from the left
  for (int y = 0; y < dy; ++y) CopyRun(d, s, w2, y, w2, h2 - dy + y, W - w2);          // from the top
  for (int j = 0; j < dyb; ++j) CopyRun(d, s, 0, H - dyb + j, 0, h2 + j, w2);          // from the bottom
  for (int y = h2; y < H; ++y) CopyRun(d, s, W - dxr, y, w2, y, dxr);                  // from the right
}

// ---------------------------------------------------------------- 3D

namespace {

// 300 / denominator, or 0 when the denominator vanishes.
double Project(double denominator) { return std::fabs(denominator) <= 5e-12 ? 0 : 300.0 / denominator; }

// Draws src onto the quad when it is a proper convex quadrilateral. A corner
// turned behind the viewer folds the outline over itself; such a quad has no
// perspective mapping (and would send the sampler far outside the picture),
// so nothing is drawn.
void DrawQuad(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, const double quad[8]) {
  int positive = 0, negative = 0;
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4, k = (i + 2) % 4;
    const double cross = (quad[2 * j] - quad[2 * i]) * (quad[2 * k + 1] - quad[2 * j + 1]) -
                         (quad[2 * j + 1] - quad[2 * i + 1]) * (quad[2 * k] - quad[2 * j]);
    if (!std::isfinite(cross)) return;
    positive += cross > 1e-9;
    negative += cross < -1e-9;
  }
  if (positive != 4 && negative != 4) return;
  TevVecLib::BulidPerspective(dst, src, quad);
}

}  // namespace

CGate3DEffect::CGate3DEffect(int side) : m_side(side) {}
CGate3DEffect::~CGate3DEffect() = default;

void CGate3DEffect::CalcuQuad(int width, int height, double progress, double quad[8]) const {
  const double W = width, H = height, a = (1 - Clamp01(progress)) * kPi / 2;
  const double cx[4] = {0, W, W, 0}, cy[4] = {0, 0, H, H};
  for (int i = 0; i < 4; ++i) {
    const double x = cx[i], y = cy[i];
    double e, px, py;
    switch (m_side) {
      case 1:
        e = Project(y * std::sin(a) + 300);
        px = W / 2 + e * (x - W / 2), py = H / 2 + e * (y * std::cos(a) - H / 2);
        break;
      case 2: {
        const double g = W - x;
        e = Project(g * std::sin(a) + 300);
        px = W / 2 + e * (W / 2 - g * std::cos(a)), py = H / 2 + e * (y - H / 2);
        break;
      }
      case 3: {
        const double g = H - y;
        e = Project(g * std::sin(a) + 300);
        px = W / 2 + e * (x - W / 2), py = H / 2 + e * (H / 2 - g * std::cos(a));
        break;
      }
      default:
        e = Project(x * std::sin(a) + 300);
        px = W / 2 + e * (x * std::cos(a) - W / 2), py = H / 2 + e * (y - H / 2);
        break;
    }
    quad[2 * i] = px, quad[2 * i + 1] = py;
  }
}

void CGate3DEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  double quad[8];
  CalcuQuad(DibWidth(src), DibHeight(src), progress, quad);
  DrawQuad(dst, src, quad);
}

CFlip3DEffect::CFlip3DEffect(bool vertical, bool reverse) : m_vertical(vertical), m_reverse(reverse) {}
CFlip3DEffect::~CFlip3DEffect() = default;

void CFlip3DEffect::CalcuQuad(int width, int height, double progress, double quad[8]) const {
  const double w2 = width / 2.0, h2 = height / 2.0, a = (1 - Clamp01(progress)) * kPi / 2;
  const double half = m_vertical ? w2 : h2;
  const double c = half * std::cos(a), depth = half * std::sin(a);
  const double nearF = Project(300 - depth), farF = Project(300 + depth);
  const double f1 = m_reverse ? farF : nearF, f2 = m_reverse ? nearF : farF;
  if (!m_vertical) {  // f1 top edge, f2 bottom edge
    const double q[8] = {w2 - w2 * f1, h2 - c * f1, w2 + w2 * f1, h2 - c * f1,
                         w2 + w2 * f2, h2 + c * f2, w2 - w2 * f2, h2 + c * f2};
    std::copy(q, q + 8, quad);
  } else {  // f1 left edge, f2 right edge
    const double q[8] = {w2 - c * f1, h2 - h2 * f1, w2 + c * f2, h2 - h2 * f2,
                         w2 + c * f2, h2 + h2 * f2, w2 - c * f1, h2 + h2 * f1};
    std::copy(q, q + 8, quad);
  }
}

void CFlip3DEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  double quad[8];
  CalcuQuad(DibWidth(src), DibHeight(src), progress, quad);
  DrawQuad(dst, src, quad);
}

CRotate3DEffect::CRotate3DEffect(int variant) : m_variant(variant) {}
CRotate3DEffect::~CRotate3DEffect() = default;

void CRotate3DEffect::CalcuQuad(int width, int height, double progress, double quad[8]) const {
  static constexpr double kTargets[8][3] = {{180, 180, 180}, {180, 180, 0}, {180, 0, 180}, {180, 0, 0},
                                            {0, 180, 180},   {0, 180, 0},   {0, 0, 180},   {0, 0, 0}};
  const int v = (m_variant >= 0 && m_variant <= 7) ? m_variant : 0;
  const double t = Clamp01(progress);
  const double a = (90 + (kTargets[v][0] - 90) * t) * kPi / 180;
  const double b = (90 + (kTargets[v][1] - 90) * t) * kPi / 180;
  const double c = (90 + (kTargets[v][2] - 90) * t) * kPi / 180;
  const double W = width, H = height;
  const double xs[4] = {-W / 2, W / 2, W / 2, -W / 2}, ys[4] = {H / 2, H / 2, -H / 2, -H / 2};
  for (int i = 0; i < 4; ++i) {
    const double x = xs[i], y = ys[i], z = 0;
    const double y1 = y * std::cos(a) - z * std::sin(a), z1 = y * std::sin(a) + z * std::cos(a);
    const double x2 = x * std::cos(b) + z1 * std::sin(b), z2 = z1 * std::cos(b) - x * std::sin(b);
    const double x3 = x2 * std::cos(c) - y1 * std::sin(c), y3 = y1 * std::cos(c) + x2 * std::sin(c);
    // A corner at or behind the eye (z'' <= -300) cannot be projected; its
    // factor 0 collapses the quad, which then draws nothing.
    const double f = z2 + 300 > 5e-12 ? Project(z2 + 300) : 0;
    quad[2 * i] = W / 2 + x3 * f, quad[2 * i + 1] = H / 2 - y3 * f;
  }
}

void CRotate3DEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  double quad[8];
  CalcuQuad(DibWidth(src), DibHeight(src), progress, quad);
  DrawQuad(dst, src, quad);
}

// ---------------------------------------------------------------- side roll

CSideRollEffect::CSideRollEffect(int side, const double& radius) : m_side(side), m_radius(radius) {}
CSideRollEffect::~CSideRollEffect() = default;

SIZE CSideRollEffect::CalcuDIBDimension(BITMAPINFOHEADER* src, const double& progress) const {
  if (!Is32(src)) return SIZE{0, 0};
  const double t = Clamp01(progress);
  const LONG W = DibWidth(src), H = DibHeight(src);
  if (m_side == 1 || m_side == 3) return SIZE{W, LONG(RoundInt(H * t))};
  return SIZE{LONG(RoundInt(W * t)), H};
}

void CSideRollEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  switch (m_side) {
    case 1: RollFromTop(dst, src, t); break;
    case 2: RollFromRight(dst, src, t); break;
    case 3: RollFromBottom(dst, src, t); break;
    default: RollFromLeft(dst, src, t); break;
  }
}

void CSideRollEffect::RollFromLeft(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double t) {
  Roll(dst, src, t, true, true);
}
void CSideRollEffect::RollFromTop(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double t) {
  Roll(dst, src, t, false, true);
}
void CSideRollEffect::RollFromRight(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double t) {
  Roll(dst, src, t, true, false);
}
void CSideRollEffect::RollFromBottom(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double t) {
  Roll(dst, src, t, false, false);
}

// Along the unrolling axis, p counts output pixels from the roll's (moving)
// edge and q source pixels from the same side. The flat part maps
// q = (size - D) + p, so the far edge of the picture stays in place. The roll
// of radius r touches the floor at p = r; seen from above, output position p
// shows the point of the roll's upper half at angle alpha (from the contact
// point, around the near side), whose sheet position lies r * alpha before
// the contact point. That layer is darkened by its distance from the axis
// and laid over the flat sheet.
void CSideRollEffect::Roll(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, double t, bool horizontal,
                           bool fromStart) {
  if (!Is32(dst) || !Is32(src)) return;
  Pixels d(dst), s(src);
  const int size = horizontal ? s.w : s.h, across = horizontal ? s.h : s.w;
  const int D = RoundInt(size * t);
  if (D <= 0) return;
  const double fraction = std::isfinite(m_radius) && m_radius > 0 ? m_radius : 0;
  const double r = std::min(size * fraction, (size - D) / 2.641592653589793);
  const int outOffset = fromStart ? size - D : 0;  // flat: source = output + offset (axis coordinate)
  auto outAxis = [&](int p) { return fromStart ? p : D - 1 - p; };
  auto srcAxis = [&](int q) { return fromStart ? q : size - 1 - q; };
  auto dstPixel = [&](int a, int j) -> BYTE* {
    const int x = horizontal ? a : j, y = horizontal ? j : a;
    return (x < d.w && y < d.h) ? d.at(x, y) : nullptr;
  };

  // Flat sheet from the contact point on.
  const int flatFrom = std::min(D, int(std::floor(r)));
  const int o0 = fromStart ? flatFrom : 0, o1 = fromStart ? D : D - flatFrom;  // output axis range
  if (horizontal) {
    for (int y = 0; y < s.h; ++y) CopyRun(d, s, o0, y, o0 + outOffset, y, o1 - o0);
  } else {
    for (int y = o0; y < o1; ++y) CopyRun(d, s, 0, y, 0, y + outOffset, s.w);
  }
  if (r <= 0) return;

  const int rollEnd = std::min(D, int(std::ceil(2 * r)));
  for (int p = 0; p < rollEnd; ++p) {
    const double u = p + 0.5 - r;
    if (std::fabs(u) > r) continue;
    const double alpha = kPi + std::asin(u / r);
    const double q = (size - D) + r - r * alpha;
    if (q < 0) continue;
    const int qi = std::min(size - 1, int(q));
    const int shade = int(4 * std::fabs(u));
    const int oa = outAxis(p), sa = srcAxis(qi);
    for (int j = 0; j < across; ++j) {
      BYTE* out = dstPixel(oa, j);
      if (!out) continue;
      const BYTE* in = horizontal ? s.at(sa, j) : s.at(j, sa);
      const BYTE aFront = in[3], aBack = out[3];
      if (aFront == 0) continue;
      const BYTE aOut = CalcuOpacity(aBack, aFront);
      for (int c = 0; c < 3; ++c) {
        const BYTE front = BYTE(std::max(0, int(in[c]) - shade));
        out[c] = CalcuRGBValue(out[c], aFront, aBack, front, aOut);
      }
      out[3] = aOut;
    }
  }
}

}  // namespace TevImgEffectLib
