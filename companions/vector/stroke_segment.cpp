#include "companions/vector/stroke_segment.h"

#include <agg_conv_stroke.h>
#include <agg_path_storage.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_scanline_u.h>

#include <algorithm>
#include <cmath>

namespace TevVecLib {

RECT StrokeSegmentBounds(POINT from, POINT to, int penWidth) {
  const LONG grow = LONG(std::max(penWidth, 0) / 2 + 1);
  return RECT{std::min(from.x, to.x) - grow, std::min(from.y, to.y) - grow, std::max(from.x, to.x) + 1 + grow,
              std::max(from.y, to.y) + 1 + grow};
}

std::vector<BYTE> StrokeSegmentCoverage(RECT box, POINT from, POINT to, double penWidth, bool roundCap) {
  const long long w = (long long)box.right - box.left, h = (long long)box.bottom - box.top;
  if (w <= 0 || h <= 0 || penWidth <= 0) return {};
  std::vector<BYTE> cover(std::size_t(w) * std::size_t(h), 0);
  // Block coordinates, through the pixel centres.
  const double x0 = double(from.x - box.left) + 0.5, y0 = double(from.y - box.top) + 0.5;
  const double x1 = double(to.x - box.left) + 0.5, y1 = double(to.y - box.top) + 0.5;
  const double r = penWidth / 2.0;
  agg::rasterizer_scanline_aa<> ras;
  ras.clip_box(-1, -1, double(w) + 1, double(h) + 1);
  if (from.x == to.x && from.y == to.y) {
    if (roundCap) {
      // A disc as a fine polygon (at most a hundredth of a pixel off).
      const int steps = std::clamp(int(penWidth * 8), 32, 1024);
      agg::path_storage dot;
      dot.move_to(x0 + r, y0);
      for (int i = 1; i < steps; ++i) {
        const double t = 2 * 3.14159265358979323846 * i / steps;
        dot.line_to(x0 + r * std::cos(t), y0 + r * std::sin(t));
      }
      dot.close_polygon();
      ras.add_path(dot);
    } else {
      agg::path_storage sq;
      sq.move_to(x0 - r, y0 - r);
      sq.line_to(x0 + r, y0 - r);
      sq.line_to(x0 + r, y0 + r);
      sq.line_to(x0 - r, y0 + r);
      sq.close_polygon();
      ras.add_path(sq);
    }
  } else {
    agg::path_storage line;
    line.move_to(x0, y0);
    line.line_to(x1, y1);
    agg::conv_stroke<agg::path_storage> stroke(line);
    stroke.width(penWidth);
    stroke.line_cap(roundCap ? agg::round_cap : agg::square_cap);
    stroke.approximation_scale(4.0);
    ras.add_path(stroke);
  }
  if (!ras.rewind_scanlines()) return cover;
  agg::scanline_u8 sl;
  sl.reset(ras.min_x(), ras.max_x());
  while (ras.sweep_scanline(sl)) {
    const int y = sl.y();
    if (y < 0 || y >= h) continue;
    BYTE* row = cover.data() + std::size_t(y) * std::size_t(w);
    auto span = sl.begin();
    for (unsigned n = sl.num_spans(); n; --n, ++span)
      for (int i = 0; i < span->len; ++i) {
        const int x = span->x + i;
        if (x >= 0 && x < w) row[x] = span->covers[i];
      }
  }
  return cover;
}

}  // namespace TevVecLib
