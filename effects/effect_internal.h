// Internal to the effect library: argument checks, row addressing, polygon
// building and the reproducible pseudo-random sequence. Not exported.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "companions/base/dib.h"
#include "companions/vector/tev_path.h"

namespace TevImgEffectLib::detail {

constexpr double kPi = 3.14159265358979323846;

// A DIB the effects read or write: valid header, 32 bits, BI_RGB, rows
// stored bottom-up as the library's pictures are.
inline bool Is32(const BITMAPINFOHEADER* d) {
  return d && DibHeaderValid(d) && d->biBitCount == 32 && d->biCompression == BI_RGB && d->biSize == 40 &&
         d->biHeight > 0;
}

// Rows from the top, fixed once per call.
struct Pixels {
  BYTE* top = nullptr;
  std::ptrdiff_t step = 0;
  int w = 0, h = 0;
  explicit Pixels(BITMAPINFOHEADER* d)
      : top(DibRow(d, 0)),
        step(DibTopDown(d) ? std::ptrdiff_t(DibStride(d)) : -std::ptrdiff_t(DibStride(d))),
        w(DibWidth(d)),
        h(DibHeight(d)) {}
  BYTE* row(int y) const { return top + std::ptrdiff_t(y) * step; }
  BYTE* at(int x, int y) const { return row(y) + std::ptrdiff_t(x) * 4; }
};

// The classic C library rand(): a 32-bit linear congruential state
// (x * 214013 + 2531011) whose bits 16..30 are the result (0..32767). Kept
// per call so that every render reproduces the same sequence.
class CrtRandom {
 public:
  explicit CrtRandom(unsigned seed) : m_state(seed) {}
  int Next() {
    m_state = m_state * 214013u + 2531011u;
    return int((m_state >> 16) & 0x7FFFu);
  }

 private:
  std::uint32_t m_state;
};

// Adds one closed polygon: move to the first point, line to the others and
// back to the first, close.
void AddPolygon(TevVecLib::CTevPath& path, const double* xs, const double* ys, int count);

inline int RoundCount(double count, double t) {
  double v = count * t + 0.5;
  if (!(v > 0)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  return int(v);
}

// Progress limited to 0..1; not-a-number counts as 0.
inline double Clamp01(double t) { return !(t > 0) ? 0 : (t > 1 ? 1 : t); }

}  // namespace TevImgEffectLib::detail

namespace TevImgEffectLib::detail {

// Copies len pixels from src (sx, sy) to dst (dx, dy), clipped to both.
inline void CopyRun(const Pixels& d, const Pixels& s, int dx, int dy, int sx, int sy, int len) {
  if (dy < 0 || dy >= d.h || sy < 0 || sy >= s.h) return;
  if (dx < 0) sx -= dx, len += dx, dx = 0;
  if (sx < 0) dx -= sx, len += sx, sx = 0;
  if (len > d.w - dx) len = d.w - dx;
  if (len > s.w - sx) len = s.w - sx;
  if (len <= 0) return;
  std::memmove(d.at(dx, dy), s.at(sx, sy), std::size_t(len) * 4);
}

}  // namespace TevImgEffectLib::detail

namespace TevImgEffectLib::detail {

// Positions 0..n-1 in a fixed order from which the k-th still present one is
// picked and removed, keeping the order of the rest (a Fenwick tree of
// presence counts).
class OrderedPicker {
 public:
  bool Init(int n) {
    m_n = n;
    m_tree.reset(new (std::nothrow) int[std::size_t(n) + 1]);
    if (!m_tree) return false;
    for (int i = 1; i <= n; ++i) m_tree[i] = 0;
    for (int i = 1; i <= n; ++i) {
      m_tree[i] += 1;
      int j = i + (i & -i);
      if (j <= n) m_tree[j] += m_tree[i];
    }
    m_top = 1;
    while (m_top * 2 <= n) m_top *= 2;
    return true;
  }
  // Removes and returns the position of the k-th (from 0) present item.
  int Take(int k) {
    int pos = 0;
    for (int step = m_top; step; step >>= 1)
      if (pos + step <= m_n && m_tree[pos + step] <= k) {
        pos += step;
        k -= m_tree[pos];
      }
    for (int i = pos + 1; i <= m_n; i += i & -i) m_tree[i] -= 1;
    return pos;
  }

 private:
  int m_n = 0, m_top = 1;
  std::unique_ptr<int[]> m_tree;
};


}  // namespace TevImgEffectLib::detail

namespace TevImgEffectLib::detail {

// The light's line at progress t (0..1) over a W x H picture: the line at
// `angle` degrees through a point that crosses the picture from one corner
// to the opposite one. False when it misses the picture.
inline bool LightLine(double W, double H, int angle, double t, double& x1, double& y1, double& x2, double& y2) {
  const int a = angle;
  double sx, sy, vx, vy;
  if (a >= 0 && a < 90) sx = W, sy = 0, vx = -W, vy = H;
  else if (a >= 90 && a < 180) sx = 0, sy = 0, vx = W, vy = H;
  else if (a >= 180 && a < 270) sx = 0, sy = H, vx = W, vy = -H;
  else sx = W, sy = H, vx = -W, vy = -H;
  const double px = sx + t * vx, py = sy + t * vy;
  if (a == 0 || a == 180) {
    x1 = px, y1 = 0, x2 = px, y2 = H;
    return true;
  }
  if (a == 90 || a == 270) {
    x1 = 0, y1 = py, x2 = W, y2 = py;
    return true;
  }
  const double m = 1 / std::tan(a * kPi / 180), b = py - px * m;
  double xs[4], ys[4];
  int n = 0;
  if (b > 0 && b <= H) xs[n] = 0, ys[n++] = b;
  if (W * m + b >= 0 && W * m + b <= H) xs[n] = W, ys[n++] = W * m + b;
  if (n < 2 && -b / m >= 0 && -b / m <= W) xs[n] = -b / m, ys[n++] = 0;
  if (n < 2 && (H - b) / m >= 0 && (H - b) / m <= W) xs[n] = (H - b) / m, ys[n++] = H;
  if (n < 2) return false;
  x1 = xs[0], y1 = ys[0], x2 = xs[1], y2 = ys[1];
  return true;
}

}  // namespace TevImgEffectLib::detail
