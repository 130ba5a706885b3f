// Selection outlines: the outline cells at a zoom factor and the
// marching-ants drawing into a 32-bit view image.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/obj_selection.h"

namespace TevImageTransform {

namespace {

// Writes one outline pixel: 4-pixel dashes alternating the two colours.
struct AntsPainter {
  CTevObjImage& view;
  RECT clip;
  COLORREF c1, c2;
  void Put(std::int64_t x, std::int64_t y) const {
    if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom) return;
    const COLORREF c = (((x + y) / 4) & 1) ? c2 : c1;
    BYTE* p = view.GetBits(int(x), int(y));
    p[0] = GetBValue(c);
    p[1] = GetGValue(c);
    p[2] = GetRValue(c);
    p[3] = 255;
  }
  void Row(std::int64_t x0, std::int64_t y, std::int64_t n) const {
    for (std::int64_t i = 0; i < n; ++i) Put(x0 + i, y);
  }
  void Column(std::int64_t x, std::int64_t y0, std::int64_t n) const {
    for (std::int64_t i = 0; i < n; ++i) Put(x, y0 + i);
  }
};

}  // namespace

bool CTevObjSelection::DelectBlockEdge(const CTevObjImage& mask, const RECT& cell) {
  if (!mask.IsValidImage() || mask.ColorBits() != 8) return false;
  RECT r = cell;
  mask.BoundRect(r);
  for (int y = r.top; y < r.bottom; ++y) {
    const BYTE* row = mask.GetBits(y);
    for (int x = r.left; x < r.right; ++x)
      if (row[x]) return true;
  }
  return false;
}

void CTevObjSelection::ZoomOutEdges(const CTevObjImage& mask, int factor) {
  if (factor < 1 || !mask.IsValidImage() || mask.ColorBits() != 8) return;
  const int cols = mask.Width() / factor, rows = mask.Height() / factor;
  for (int row = 0; row <= rows; ++row)
    for (int col = 0; col <= cols; ++col) {
      const std::int64_t x = std::int64_t(col) * factor, y = std::int64_t(row) * factor;
      RECT cell{LONG(x), LONG(y), LONG(std::min<std::int64_t>(x + factor, INT32_MAX)),
                LONG(std::min<std::int64_t>(y + factor, INT32_MAX))};
      if (DelectBlockEdge(mask, cell)) m_edgePoints.push_back(POINT{col, row});
    }
}

namespace {

std::uint64_t Load8(const BYTE* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
// True when any of the eight bytes is zero.
bool HasZeroByte(std::uint64_t v) { return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0; }

}  // namespace

void CTevObjSelection::RecalculateEdge(int zoomFactor, bool force) {
  const int key = zoomFactor <= -2 ? zoomFactor : 1;
  if (!force && key == m_edgeZoom) return;
  m_edgePoints.clear();
  m_edgeZoom = 32767;
  m_edgeCount = 0;
  if (!IsValidImage() || ColorBits() != 8) return;
  if (key <= -2) {
    ZoomOutEdges(*this, key == INT32_MIN ? INT32_MAX : -key);
  } else {
    const int w = Width(), h = Height();
    for (int y = 0; y < h; ++y) {
      const BYTE* row = GetBits(y);
      const BYTE* above = y > 0 ? GetBits(y - 1) : nullptr;
      const BYTE* below = y + 1 < h ? GetBits(y + 1) : nullptr;
      for (int x = 0; x < w;) {
        // Eight pixels at a time where they are all empty, or all inside with
        // every neighbour selected: neither holds an edge point.
        if (x > 0 && x + 8 < w) {
          const std::uint64_t r = Load8(row + x);
          if (r == 0 || (above && below && !HasZeroByte(r) && !HasZeroByte(Load8(above + x)) &&
                         !HasZeroByte(Load8(below + x)) && row[x - 1] && row[x + 8])) {
            x += 8;
            continue;
          }
        }
        if (row[x] && (x == 0 || x == w - 1 || !above || !below || !row[x - 1] || !row[x + 1] || !above[x] ||
                       !below[x]))
          m_edgePoints.push_back(POINT{x, y});
        ++x;
      }
    }
  }
  m_edgeZoom = key;
  m_edgeCount = int(m_edgePoints.size());
}

bool CTevObjSelection::DrawSelection(CTevObjImage& view, POINT origin, const CTevZoomScale& zoom, RECT clip,
                                     COLORREF colour1, COLORREF colour2) {
  if (!IsValidImage() || ColorBits() != 8 || view.ColorBits() != 32) return false;
  view.BoundRect(clip);
  if (clip.left >= clip.right || clip.top >= clip.bottom) return false;
  RecalculateEdge(zoom.GetZoomScale(), false);
  const AntsPainter ants{view, clip, colour1, colour2};
  const int factor = zoom.GetZoomScale();

  if (factor <= -2) {
    const std::int64_t f = -std::int64_t(factor);
    const int cols = int(Width() / f) + 1, rows = int(Height() / f) + 1;
    std::vector<BYTE> covered(std::size_t(cols) * std::size_t(rows), 0);
    for (const POINT& c : m_edgePoints)
      if (c.x >= 0 && c.y >= 0 && c.x < cols && c.y < rows) covered[std::size_t(c.y) * cols + std::size_t(c.x)] = 1;
    auto isCovered = [&](int cx, int cy) {
      return cx >= 0 && cy >= 0 && cx < cols && cy < rows && covered[std::size_t(cy) * cols + std::size_t(cx)];
    };
    for (const POINT& c : m_edgePoints) {
      if (!isCovered(c.x, c.y)) continue;  // stale point (the mask changed under it)
      if (isCovered(c.x - 1, c.y) && isCovered(c.x + 1, c.y) && isCovered(c.x, c.y - 1) && isCovered(c.x, c.y + 1))
        continue;
      const std::int64_t vx = (m_pos.x + c.x * f) / f - origin.x, vy = (m_pos.y + c.y * f) / f - origin.y;
      ants.Put(vx, vy);
    }
    return true;
  }

  const std::int64_t m = factor >= 2 ? factor : 1;
  for (const POINT& c : m_edgePoints) {
    if (!IsInside(c.x, c.y)) continue;  // stale point (the mask changed under it)
    const std::int64_t vx = (std::int64_t(m_pos.x) + c.x) * m - origin.x;
    const std::int64_t vy = (std::int64_t(m_pos.y) + c.y) * m - origin.y;
    if (vx + m <= clip.left || vx >= clip.right || vy + m <= clip.top || vy >= clip.bottom) continue;
    const BYTE* row = GetBits(c.y);
    if (c.x == 0 || !row[c.x - 1]) ants.Column(vx, vy, m);
    if (c.x == Width() - 1 || !row[c.x + 1]) ants.Column(vx + m - 1, vy, m);
    if (c.y == 0 || !GetBits(c.y - 1)[c.x]) ants.Row(vx, vy, m);
    if (c.y == Height() - 1 || !GetBits(c.y + 1)[c.x]) ants.Row(vx, vy + m - 1, m);
  }
  return true;
}

}  // namespace TevImageTransform
