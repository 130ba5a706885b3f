#include "effects/effect_wipes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "companions/vector/render_vector_obj.h"
#include "companions/vector/tev_arc.h"
#include "effects/effect_internal.h"

namespace TevImgEffectLib {

using detail::AddPolygon;
using detail::Clamp01;
using detail::Is32;
using detail::kPi;

namespace {

double Rad(double degrees) { return degrees * kPi / 180.0; }
double Deg(double radians) { return radians * 180.0 / kPi; }

SIZE SizeOf(const BITMAPINFOHEADER* dib) { return SIZE{DibWidth(dib), DibHeight(dib)}; }

}  // namespace

// ---------------------------------------------------------------- base

CShapeWipeEffect::~CShapeWipeEffect() = default;

void CShapeWipeEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  CTevPath path;
  const double t = Clamp01(progress);
  CreateWipePath(SizeOf(src), t, path);
  BuildClipDIB(dst, src, path, CTevTransMatrix());
  path.FreeAll();
}

void CShapeWipeEffect::CreateWipePath(const SIZE&, const double&, CTevPath&) {}

void CShapeWipeEffect::IntersectPoint(double a1, double b1, double a2, double b2, double* x, double* y) const {
  const double dx = a1 - a2;
  *x = dx != 0 ? (b2 - b1) / dx : 0;
  *y = a1 * *x + b1;
}

int CShapeWipeEffect::IntersectHorzLine(double x1, double y1, double x2, double y2, double c, bool keepGreater,
                                        double* outX, double* outY) const {
  const bool in1 = keepGreater ? x1 >= c : x1 <= c;
  const bool in2 = keepGreater ? x2 >= c : x2 <= c;
  if (!in1 && !in2) return 0;
  if (x1 == x2 || (in1 && in2)) {
    outX[0] = x2, outY[0] = y2;
    return 1;
  }
  const double cy = y1 + (y2 - y1) * (c - x1) / (x2 - x1);
  outX[0] = c, outY[0] = cy;
  if (in2) {
    outX[1] = x2, outY[1] = y2;
    return 2;
  }
  return 1;
}

int CShapeWipeEffect::IntersectVertLine(double x1, double y1, double x2, double y2, double c, bool keepGreater,
                                        double* outX, double* outY) const {
  // The vertical case is the horizontal one with the axes exchanged; y grows
  // upward here, so "greater" keeps the side below c.
  return IntersectHorzLine(y1, x1, y2, x2, c, !keepGreater, outY, outX);
}

int CShapeWipeEffect::DoHClipPolygon(const double* xs, const double* ys, int count, double* outXs, double* outYs,
                                     double c, bool keepGreater) const {
  if (count < 1) return 0;
  count = std::min(count, kMaxClipPoints);
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const int j = (i + 1) % count;
    double px[2], py[2];
    const int k = IntersectHorzLine(xs[i], ys[i], xs[j], ys[j], c, keepGreater, px, py);
    for (int m = 0; m < k && n < kMaxClipPoints; ++m) outXs[n] = px[m], outYs[n++] = py[m];
  }
  return n;
}

int CShapeWipeEffect::DoVClipPolygon(const double* xs, const double* ys, int count, double* outXs, double* outYs,
                                     double c, bool keepGreater) const {
  return DoHClipPolygon(ys, xs, count, outYs, outXs, c, !keepGreater);  // axes exchanged, as above
}

void CShapeWipeEffect::AddClippedCentredPolygon(const SIZE& size, const double* xs, const double* ys, int count,
                                                CTevPath& path) const {
  const double hw = size.cx / 2.0, hh = size.cy / 2.0;
  double ax[kMaxClipPoints], ay[kMaxClipPoints], bx[kMaxClipPoints], by[kMaxClipPoints];
  int n = DoHClipPolygon(xs, ys, count, ax, ay, -hw, true);
  n = DoVClipPolygon(ax, ay, n, bx, by, hh, true);
  n = DoHClipPolygon(bx, by, n, ax, ay, hw, false);
  n = DoVClipPolygon(ax, ay, n, bx, by, -hh, false);
  for (int i = 0; i < n; ++i) {
    ax[i] = hw + bx[i];
    ay[i] = hh - by[i];
  }
  AddPolygon(path, ax, ay, n);
}

// ---------------------------------------------------------------- clock

CClockWipeEffect::CClockWipeEffect(bool turnUp, int columns, int rows)
    : m_columns(columns), m_rows(rows), m_turnUp(turnUp) {}
CClockWipeEffect::~CClockWipeEffect() = default;

void CClockWipeEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  if (size.cx < 1 || size.cy < 1) return;
  // At least one cell, and no cell narrower than a pixel.
  const int columns = std::clamp(m_columns, 1, int(size.cx));
  const int rows = std::clamp(m_rows, 1, int(size.cy));
  const double w = double(size.cx) / columns, h = double(size.cy) / rows;
  const double v = 360.0 * Clamp01(progress);
  const double j = std::trunc(Deg(std::atan(h / w)));

  double px[7], py[7];
  int n = 0;
  px[n] = w / 2, py[n++] = h / 2;
  px[n] = w, py[n++] = h / 2;
  if (v <= j) {
    px[n] = w, py[n++] = h / 2 - (w / 2) * std::tan(Rad(v));
  } else if (v <= 180 - j) {
    px[n] = w, py[n++] = 0;
    px[n] = v <= 90 ? w / 2 + (h / 2) * std::tan(Rad(90 - v)) : w / 2 - (h / 2) * std::tan(Rad(v - 90));
    py[n++] = 0;
  } else if (v <= 180 + j) {
    px[n] = w, py[n++] = 0;
    px[n] = 0, py[n++] = 0;
    px[n] = 0;
    py[n++] = v <= 180 ? h / 2 - (w / 2) * std::tan(Rad(180 - v)) : h / 2 + (w / 2) * std::tan(Rad(v - 180));
  } else if (v <= 360 - j) {
    px[n] = w, py[n++] = 0;
    px[n] = 0, py[n++] = 0;
    px[n] = 0, py[n++] = h;
    px[n] = v <= 270 ? w / 2 - (h / 2) * std::tan(Rad(270 - v)) : w / 2 + (h / 2) * std::tan(Rad(v - 270));
    py[n++] = h;
  } else {
    px[n] = w, py[n++] = 0;
    px[n] = 0, py[n++] = 0;
    px[n] = 0, py[n++] = h;
    px[n] = w, py[n++] = h;
    px[n] = w, py[n++] = h / 2 + (w / 2) * std::tan(Rad(360 - v));
  }
  if (!m_turnUp)
    for (int i = 0; i < n; ++i) py[i] = h - py[i];

  double cx[7], cy[7];
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const double x0 = c * w, y0 = r * h;
      for (int i = 0; i < n; ++i) cx[i] = px[i] + x0, cy[i] = py[i] + y0;
      AddPolygon(path, cx, cy, n);
    }
}

// ---------------------------------------------------------------- star

CStarWipeEffect::~CStarWipeEffect() = default;

void CStarWipeEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  const double t = Clamp01(progress);
  const double s72 = std::sin(Rad(72)), c72 = std::cos(Rad(72));
  const double s54 = std::sin(Rad(54)), c54 = std::cos(Rad(54));
  // Tips from the top one to the left: top, left, lower-left, lower-right, right.
  const double tx[5] = {0, -s72, -c54, c54, s72};
  const double ty[5] = {1, c72, -s54, -s54, c72};
  // Star line through tips a and b as slope and offset.
  auto line = [&](int a, int b, double* k, double* o) {
    *k = (ty[b] - ty[a]) / (tx[b] - tx[a]);
    *o = ty[a] - *k * tx[a];
  };
  double k02, o02, k03, o03, k13, o13, k14, o14, k24, o24;
  line(0, 2, &k02, &o02);
  line(0, 3, &k03, &o03);
  line(1, 3, &k13, &o13);
  line(1, 4, &k14, &o14);
  line(2, 4, &k24, &o24);
  double ix[5], iy[5];  // upper-left, lower-left, bottom, lower-right, upper-right
  IntersectPoint(k02, o02, k14, o14, &ix[0], &iy[0]);
  IntersectPoint(k02, o02, k13, o13, &ix[1], &iy[1]);
  IntersectPoint(k13, o13, k24, o24, &ix[2], &iy[2]);
  IntersectPoint(k03, o03, k24, o24, &ix[3], &iy[3]);
  IntersectPoint(k03, o03, k14, o14, &ix[4], &iy[4]);

  const double s = std::max(size.cx * t / (ix[4] - ix[0]), size.cy * t / (c72 - iy[2]));
  double xs[10], ys[10];
  for (int i = 0; i < 5; ++i) {
    xs[2 * i] = tx[i] * s, ys[2 * i] = ty[i] * s;
    xs[2 * i + 1] = ix[i] * s, ys[2 * i + 1] = iy[i] * s;
  }
  AddClippedCentredPolygon(size, xs, ys, 10, path);
}

// ---------------------------------------------------------------- iris

CIrisWipeEffect::~CIrisWipeEffect() = default;

void CIrisWipeEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  const double t = Clamp01(progress);
  const double W = size.cx, H = size.cy, b = W / 2, e = H / 2, c = b * t, f = e * t;
  const double xs[8] = {b - c, 0, b - c, b, b + c, W, b + c, b};
  const double ys[8] = {e - f, e, e + f, H, e + f, e, e - f, 0};
  AddPolygon(path, xs, ys, 8);
}

// ---------------------------------------------------------------- lines

CLinesWipeEffect::CLinesWipeEffect(int angle, int strips) : m_angle(angle), m_strips(strips) {}
CLinesWipeEffect::~CLinesWipeEffect() = default;

void CLinesWipeEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  if (size.cx < 1 || size.cy < 1) return;
  const double t = Clamp01(progress);
  const double hw = size.cx / 2.0, hh = size.cy / 2.0;
  // Bands no thinner than a pixel.
  const int strips = std::clamp(m_strips, 1, int(std::min(size.cx, size.cy)));
  const int a = m_angle;
  double sx, sy, ex, ey;
  if (a >= 0 && a < 90) sx = hw, sy = hh, ex = -hw, ey = -hh;
  else if (a >= 90 && a < 180) sx = -hw, sy = hh, ex = hw, ey = -hh;
  else if (a >= 180 && a < 270) sx = -hw, sy = -hh, ex = hw, ey = hh;
  else sx = hw, sy = -hh, ex = -hw, ey = hh;
  const double dx = (ex - sx) / strips, dy = (ey - sy) / strips;

  const double k = std::tan(Rad(a));
  double b1, b2;
  if ((a >= 0 && a < 90) || (a >= 180 && a < 270)) b1 = k * hw + hh, b2 = -hh - k * hw;
  else b1 = hh - k * hw, b2 = k * hw - hh;

  for (int i = 0; i < strips; ++i) {
    const double Sx = sx + i * dx, Sy = sy + i * dy;
    const double Ex = Sx + t * dx, Ey = Sy + t * dy;
    double xs[4], ys[4];
    if (a == 0 || a == 180) {
      xs[0] = Sx, ys[0] = hh, xs[1] = Sx, ys[1] = -hh, xs[2] = Ex, ys[2] = -hh, xs[3] = Ex, ys[3] = hh;
    } else if (a == 90 || a == 270) {
      xs[0] = -hw, ys[0] = Sy, xs[1] = hw, ys[1] = Sy, xs[2] = hw, ys[2] = Ey, xs[3] = -hw, ys[3] = Ey;
    } else {
      const double m = -1 / k;
      const double so = Sy - m * Sx, eo = Ey - m * Ex;
      IntersectPoint(m, so, k, b1, &xs[0], &ys[0]);
      IntersectPoint(m, eo, k, b1, &xs[1], &ys[1]);
      IntersectPoint(m, eo, k, b2, &xs[2], &ys[2]);
      IntersectPoint(m, so, k, b2, &xs[3], &ys[3]);
    }
    AddClippedCentredPolygon(size, xs, ys, 4, path);
  }
}

// ---------------------------------------------------------------- arcs

CArcsWipeEffect::CArcsWipeEffect(int sectors) : m_startAngle(0), m_sectors(sectors) {}
CArcsWipeEffect::~CArcsWipeEffect() = default;

void CArcsWipeEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  const double W = size.cx, H = size.cy;
  const double t = Clamp01(progress);
  if (std::fabs(t - 1) <= 5e-12) {
    const double xs[4] = {0, W, W, 0}, ys[4] = {0, 0, H, H};
    AddPolygon(path, xs, ys, 4);
    return;
  }
  const int sectors = std::clamp(m_sectors, 1, 360);
  const double o = Deg(std::atan(H / W));
  // Where the ray from the centre at angle u meets the border, and on which edge.
  auto hit = [&](double u, double* x, double* y) -> int {
    u = std::fmod(u, 360.0);
    if (u < 0) u += 360.0;
    if (u < o) {
      *x = W, *y = H / 2 - (W / 2) * std::tan(Rad(u));
      return 1;
    }
    if (u < 180 - o) {
      *x = u <= 90 ? W / 2 + (H / 2) * std::tan(Rad(90 - u)) : W / 2 - (H / 2) * std::tan(Rad(u - 90));
      *y = 0;
      return 0;
    }
    if (u < 180 + o) {
      *x = 0;
      *y = u <= 180 ? H / 2 - (W / 2) * std::tan(Rad(180 - u)) : H / 2 + (W / 2) * std::tan(Rad(u - 180));
      return 3;
    }
    if (u < 360 - o) {
      *x = u <= 270 ? W / 2 - (H / 2) * std::tan(Rad(270 - u)) : W / 2 + (H / 2) * std::tan(Rad(u - 270));
      *y = H;
      return 2;
    }
    *x = W, *y = H / 2 + (W / 2) * std::tan(Rad(360 - u));
    return 1;
  };
  const double cornerX[4] = {0, W, W, 0}, cornerY[4] = {0, 0, H, H};

  for (int i = 0; i < sectors; ++i) {
    const double a = m_startAngle + (i + 0.5) * 360.0 / sectors;
    const double h = t * 180.0 / sectors;
    double xs[8], ys[8];
    int n = 0;
    xs[n] = W / 2, ys[n++] = H / 2;
    double sx, sy, ex, ey;
    const int startEdge = hit(a - h, &sx, &sy);
    const int endEdge = hit(a + h, &ex, &ey);
    xs[n] = sx, ys[n++] = sy;
    int e = startEdge;
    // Walk the border in the turning direction, corner by corner. Once a
    // corner has been passed the end point on the current edge is always
    // ahead; before that it is ahead only when it lies beyond the start.
    for (int step = 0; step < 5; ++step) {
      if (e == endEdge) {
        if (step > 0) break;
        const bool ahead = (e == 0 && ex <= sx) || (e == 1 && ey <= sy) || (e == 2 && ex >= sx) ||
                           (e == 3 && ey >= sy);
        if (ahead) break;
      }
      xs[n] = cornerX[e], ys[n++] = cornerY[e];
      e = (e + 3) % 4;
    }
    xs[n] = ex, ys[n++] = ey;
    AddPolygon(path, xs, ys, n);
  }
}

// ---------------------------------------------------------------- rotate rectangle

CRotateRectangleEffect::CRotateRectangleEffect(bool reverse) : m_reverse(reverse) {}
CRotateRectangleEffect::~CRotateRectangleEffect() = default;

void CRotateRectangleEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  const double t = Clamp01(progress);
  const double W = size.cx, H = size.cy;
  const double theta = 2 * kPi * (m_reverse ? 1 - t : t);
  CTevTransMatrix m = TevVecLib::CTevTransMatrixTranslation(-W / 2, -H / 2);
  m.Multiply(TevVecLib::CTevTransMatrixRotation(theta));
  m.Multiply(TevVecLib::CTevTransMatrixTranslation(W / 2, H / 2));
  const double hw = W * t / 2, hh = H * t / 2;
  double xs[4] = {W / 2 - hw, W / 2 + hw, W / 2 + hw, W / 2 - hw};
  double ys[4] = {H / 2 - hh, H / 2 - hh, H / 2 + hh, H / 2 + hh};
  for (int i = 0; i < 4; ++i) m.Transform(&xs[i], &ys[i]);
  AddPolygon(path, xs, ys, 4);
}

// ---------------------------------------------------------------- eye open

CEyeOpenEffect::~CEyeOpenEffect() = default;

void CEyeOpenEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  const double t = Clamp01(progress);
  const double cx = std::floor(size.cx / 2.0 + 0.5), cy = std::floor(size.cy / 2.0 + 0.5);
  const double dx = std::floor(t * size.cx / 2 + 0.5), dy = std::floor(t * size.cy / 2 + 0.5);
  const double xs[4] = {cx - dx, cx + dx, cx + dx, cx - dx};
  const double ys[4] = {cy - dy, cy - dy, cy + dy, cy + dy};
  AddPolygon(path, xs, ys, 4);
}

// ---------------------------------------------------------------- sweep

CSweepWipeEffect::CSweepWipeEffect(int angle) : m_angle(angle) {}
CSweepWipeEffect::~CSweepWipeEffect() = default;

void CSweepWipeEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  const double t = Clamp01(progress);
  // Half a pixel beyond the corners: the arc is drawn as chords, which would
  // otherwise cut the corner pixels at progress 1.
  const double cx = size.cx / 2.0, cy = size.cy / 2.0, r = std::sqrt(cx * cx + cy * cy) + 0.5;
  const double theta0 = Rad(m_angle);
  TevVecLib::CTevArc arc(cx, cy, r, r, -theta0 - kPi * t, -theta0 + kPi * t, true);
  path.AddVertex(cx, cy, agg::path_cmd_move_to);
  arc.rewind(0);
  path.Concatenate(arc);
  path.AddVertex(cx, cy, agg::path_cmd_line_to);
  path.ClosePolygon();
}

// ---------------------------------------------------------------- circles and diamonds

CCirclesWipeEffect::CCirclesWipeEffect(int rings) : m_rings(rings) {}
CCirclesWipeEffect::~CCirclesWipeEffect() = default;

// All rings go into one path: they never overlap, and one fill gives the
// seams between neighbouring rings full coverage once they meet (separate
// fills would leave each seam pixel partly transparent at progress 1).
void CCirclesWipeEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  const double cx = DibWidth(src) / 2.0, cy = DibHeight(src) / 2.0;
  const int rings = std::clamp(m_rings, 1, int(std::max(DibWidth(src), DibHeight(src))));
  // The outermost ring reaches half a pixel beyond the corners, so that its
  // chords still cover the corner pixels at progress 1.
  const double R = std::sqrt(cx * cx + cy * cy) + 0.5, r = R / rings;
  CTevPath path;
  for (int i = 0; i < rings; ++i) {
    const double outer = (i + t) * r, inner = i * r;
    if (outer > 5e-12) {
      TevVecLib::CTevArc arc(cx, cy, outer, outer, 0, 2 * kPi, true);
      path.Concatenate(arc);
    }
    TevVecLib::CTevArc hole(cx, cy, inner, inner, 2 * kPi, 0, false);
    path.Join(hole);
    path.ClosePolygon();
  }
  BuildClipDIB(dst, src, path, CTevTransMatrix());
}

CDiamondWipeEffect::CDiamondWipeEffect(int rings) : m_rings(rings) {}
CDiamondWipeEffect::~CDiamondWipeEffect() = default;

void CDiamondWipeEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  const double W = DibWidth(src), H = DibHeight(src);
  const int rings = std::clamp(m_rings, 1, int(std::max(W, H)));
  const double dx = W / rings, dy = H / rings, cx = W / 2, cy = H / 2;
  CTevPath path;  // one path for all rings, as for the circles
  for (int i = 0; i < rings; ++i) {
    const double ix = i * dx, iy = i * dy, ox = (i + t) * dx, oy = (i + t) * dy;
    const double xs[10] = {cx, cx - ix, cx, cx + ix, cx, cx, cx + ox, cx, cx - ox, cx};
    const double ys[10] = {cy + iy, cy, cy - iy, cy, cy + iy, cy + oy, cy, cy - oy, cy, cy + oy};
    AddPolygon(path, xs, ys, 10);
  }
  BuildClipDIB(dst, src, path, CTevTransMatrix());
}

// ---------------------------------------------------------------- random

namespace {

// The random wipe's order: a shuffle of the pixel indices p = y·W + x driven
// by the sequence h' = fold((32719·h + 9999) mod (2^31 − 1)), h0 = W + H.
// Step k picks table[h' mod remaining], swaps it with the last remaining
// entry and shrinks the remaining part; rank[p] records the step that chose
// pixel p, so the first c pixels are those of rank below c. The order depends
// only on W and H, and the walk can stop and go on later.
class RandomWipeOrder {
 public:
  // Allocates and fills the table for a w x h picture (w·h < 2^30).
  bool Init(int w, int h) {
    m_w = w, m_h = h;
    m_n = std::uint32_t(std::int64_t(w) * h);
    m_table.reset(new (std::nothrow) std::uint32_t[m_n]);
    m_rank.reset(new (std::nothrow) std::uint32_t[m_n]);
    if (!m_table || !m_rank) {
      m_table.reset(), m_rank.reset();
      return false;
    }
    std::uint32_t* const table = m_table.get();
    std::uint32_t* const rank = m_rank.get();
    for (std::uint32_t p = 0, n = m_n; p < n; ++p) table[p] = p, rank[p] = n;
    m_done = 0;
    m_e = std::uint32_t(w) + std::uint32_t(h);
    return true;
  }
  bool Is(int w, int h) const { return m_table && m_w == w && m_h == h; }

  // Walks the sequence until count pixels (count < n) are chosen. The walk
  // is bound by the sequence's own chain of multiplications; the modulo and
  // the swaps overlap with it.
  void Advance(std::uint32_t count) {
    std::uint32_t* const table = m_table.get();
    std::uint32_t* const rank = m_rank.get();
    std::uint32_t e = m_e;
    for (std::uint32_t k = m_done; k < count; ++k) {
      e = Next(e);
      const std::uint32_t last = m_n - 1 - k;
      const std::uint32_t index = e % (last + 1);  // h < 2^32: the 32-bit modulo is exact
      const std::uint32_t chosen = table[index];
      table[index] = table[last];
      table[last] = chosen;
      rank[chosen] = k;
    }
    if (count > m_done) m_done = count, m_e = e;
  }

  // Step at which each pixel is chosen, n for those not yet chosen.
  const std::uint32_t* Rank() const { return m_rank.get(); }

 private:
  // Every value stays below 2^47, so these integers give exactly the
  // real-number definition (fmod, the fold, rounding). The modulo by the
  // Mersenne number 2^31 − 1 folds the high bits onto the low ones. Both
  // choices are made with masks: the fold goes either way at random, and the
  // compiler turns a plain ?: back into a mispredicted branch.
  static std::uint32_t Next(std::uint32_t e) {
    constexpr std::uint64_t kM = 2147483647u;
    const std::uint64_t x = std::uint64_t(e) * 32719u + 9999u;
    std::uint64_t r = (x & kM) + (x >> 31);  // < 2^31 + 2^16, congruent to x
    r -= kM & (std::uint64_t(0) - std::uint64_t(r >= kM));
    // h <= 2^30 ? 2h : 2(2^31 − h) + 1, at most 2^31
    const std::uint64_t up = 2 * r, down = 2 * (2147483648u - r) + 1;
    const std::uint64_t takeUp = std::uint64_t(0) - std::uint64_t(r <= 1073741824u);
    return std::uint32_t(down ^ ((up ^ down) & takeUp));
  }

  int m_w = 0, m_h = 0;
  std::uint32_t m_n = 0, m_done = 0, m_e = 0;
  std::unique_ptr<std::uint32_t[]> m_table, m_rank;
};

// A transition renders many frames of one size at rising progress, so the
// order for the last size is kept process-wide and only ever extended: every
// later frame costs one pass over the picture. One size at a time bounds the
// memory (8 bytes a pixel, pictures up to kCachedPixels, 1920 x 1080 fits);
// larger pictures compute their order per call. The mutex is held for the
// whole render.
constexpr std::uint32_t kCachedPixels = std::uint32_t(1) << 21;

struct RandomWipeCache {
  std::mutex lock;
  RandomWipeOrder order;
};

RandomWipeCache& TheRandomWipeCache() {
  static RandomWipeCache cache;
  return cache;
}

// Copies from s into d the pixels of the first count chosen by order,
// within both pictures.
void CopyChosen(const detail::Pixels& d, const detail::Pixels& s, RandomWipeOrder& order, std::uint32_t count) {
  using Pixel = std::uint32_t __attribute__((may_alias));
  const int cols = std::min(d.w, s.w), rows = std::min(d.h, s.h);
  order.Advance(count);
  // Row by row with a select instead of a branch (the chosen pixels are
  // random); the loop vectorizes.
  for (int y = 0; y < rows; ++y) {
    Pixel* dp = reinterpret_cast<Pixel*>(d.row(y));
    const Pixel* sp = reinterpret_cast<const Pixel*>(s.row(y));
    const std::uint32_t* rank = order.Rank() + std::size_t(y) * std::size_t(s.w);
    for (int x = 0; x < cols; ++x) {
      const std::uint32_t keep = rank[x] < count ? 0u : ~0u;
      dp[x] = (dp[x] & keep) | (sp[x] & ~keep);
    }
  }
}

}  // namespace

CRandomWipeEffect::~CRandomWipeEffect() = default;

void CRandomWipeEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const int W = DibWidth(src), H = DibHeight(src);
  const std::int64_t n = std::int64_t(W) * H;
  if (n >= (std::int64_t(1) << 30)) return;
  const int count = detail::RoundCount(double(n), Clamp01(progress));
  if (count <= 0) return;
  const detail::Pixels d(dst), s(src);
  if (count == n) {  // every pixel, whatever the order
    for (int y = 0; y < std::min(d.h, s.h); ++y) std::memcpy(d.row(y), s.row(y), std::size_t(std::min(d.w, s.w)) * 4);
    return;
  }
  if (n <= kCachedPixels) {
    RandomWipeCache& cache = TheRandomWipeCache();
    std::unique_lock<std::mutex> guard(cache.lock, std::defer_lock);
    try {
      guard.lock();
    } catch (...) {  // the lock failed: work without the cache
    }
    if (guard.owns_lock()) {
      if (cache.order.Is(W, H) || cache.order.Init(W, H)) CopyChosen(d, s, cache.order, std::uint32_t(count));
      return;
    }
  }
  RandomWipeOrder order;
  if (order.Init(W, H)) CopyChosen(d, s, order, std::uint32_t(count));
}

}  // namespace TevImgEffectLib

namespace TevImgEffectLib {

// ---------------------------------------------------------------- turn page

CTurnPageEffect::~CTurnPageEffect() = default;

void CTurnPageEffect::CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) {
  const double t = detail::Clamp01(progress);
  const double W = size.cx, H = size.cy, d = t * W, k = std::tan(detail::kPi / 4 * (1 + t));
  double xs[5] = {0, 0, W - d}, ys[5] = {0, H, H};
  int n = 3;
  if (k * d <= H) {
    xs[n] = W, ys[n++] = H - k * d;
    xs[n] = W, ys[n++] = 0;
  } else {
    xs[n] = W - d + H / k, ys[n++] = 0;
  }
  detail::AddPolygon(path, xs, ys, n);
}

void CTurnPageEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!detail::Is32(dst) || !detail::Is32(src)) return;
  const double t = detail::Clamp01(progress);
  const SIZE size{DibWidth(src), DibHeight(src)};
  CTevPath page;
  CreateWipePath(size, t, page);
  BuildClipDIB(dst, src, page, CTevTransMatrix());

  // The flap beyond the fold line shows the page mirrored across that line.
  const double W = size.cx, H = size.cy, d = t * W, theta = detail::kPi / 4 * (1 + t), k = std::tan(theta);
  CTevPath flap;
  flap.AddVertex(W, H, agg::path_cmd_move_to);
  double foldX, foldY;
  if (k * d <= H) {
    flap.AddVertex(W - d, H, agg::path_cmd_line_to);
    flap.AddVertex(W, H - k * d, agg::path_cmd_line_to);
    foldX = W, foldY = H - k * d;
  } else {
    flap.AddVertex(W, 0, agg::path_cmd_line_to);
    flap.AddVertex(W - d + H / k, 0, agg::path_cmd_line_to);
    flap.AddVertex(W - d, H, agg::path_cmd_line_to);
    foldX = W - d + H / k, foldY = 0;
  }
  flap.AddVertex(W, H, agg::path_cmd_line_to);
  flap.ClosePolygon();

  CTevTransMatrix m = TevVecLib::CTevTransMatrixTranslation(-foldX, -foldY);
  m.Multiply(TevVecLib::CTevTransMatrixRotation(theta - detail::kPi / 2));
  m.Multiply(CTevTransMatrix(-1, 0, 0, 1, 0, 0));
  m.Multiply(TevVecLib::CTevTransMatrixRotation(detail::kPi / 2 - theta));
  m.Multiply(TevVecLib::CTevTransMatrixTranslation(foldX, foldY));
  TevVecLib::CTevRenderVectorObj renderer(0);
  renderer.AddShapePath(flap, CTevTransMatrix(), nullptr);
  renderer.Paint32BitsDIBWithImageX(dst, nullptr, src, m, TevVecLib::kComposeCopy, 1, TevVecLib::kFilterHermite,
                                    TevVecLib::kEdgeTransparent);
}

}  // namespace TevImgEffectLib
