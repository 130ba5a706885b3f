#include "companions/vector/image_transform.h"

#include <agg_pixfmt_rgba.h>
#include <agg_rendering_buffer.h>

#include "companions/vector/recursive_blur.h"
#include "companions/vector/render_vector_obj.h"
#include "companions/vector/span_render.h"

namespace TevVecLib {

using detail::Is32BitDib;

bool BulidPerspective(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, const double* quad) {
  if (!Is32BitDib(dst) || !Is32BitDib(src) || !quad) return false;
  for (int i = 0; i < 8; ++i)
    if (!std::isfinite(quad[i]) || std::fabs(quad[i]) > 1e7) return false;
  // Zero area (the picture seen edge-on) draws nothing.
  double area = 0;
  for (int i = 0; i < 4; ++i) {
    int j = (i + 1) % 4;
    area += quad[2 * i] * quad[2 * j + 1] - quad[2 * j] * quad[2 * i + 1];
  }
  if (std::fabs(area) < 1e-9) return false;

  const double rect[4] = {0, 0, double(DibWidth(src)), double(DibHeight(src))};
  auto source = detail::MakePerspectiveImageSource(src, rect, quad, kFilterBilinear, kEdgeClamp);
  if (!source) return false;
  detail::Rasterizer ras;
  detail::ApplyClip(ras, nullptr);
  ras.move_to_d(quad[0], quad[1]);
  for (int i = 1; i < 4; ++i) ras.line_to_d(quad[2 * i], quad[2 * i + 1]);
  ras.close_polygon();
  detail::PaintSpans(ras, dst, nullptr, *source, kComposeCopy, true);
  return true;
}

bool TransformImage(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, const CTevTransMatrix& m, CTevPath& path,
                    const CTevTransMatrix& pathMatrix, int filter, int antiAlias) {
  if (!Is32BitDib(dst) || !Is32BitDib(src)) return false;
  CTevRenderVectorObj r(0);
  r.AddShapePath(path, pathMatrix, nullptr);
  return r.Paint32BitsDIBWithImageX(dst, nullptr, src, m, kComposeCopy, antiAlias, filter, kEdgeTransparent);
}

bool BlurShadowDIB(BITMAPINFOHEADER* dib, double radius) {
  if (!Is32BitDib(dib) || !std::isfinite(radius)) return false;
  radius = std::min(radius, 250.0);
  if (radius < 0.62) return true;
  const int w = DibWidth(dib), h = DibHeight(dib);
  for (int y = 0; y < h; ++y) {
    BYTE* p = DibRow(dib, y);
    for (int x = 0; x < w; ++x, p += 4) {
      const unsigned a = p[3];
      if (a == 255) continue;  // (v * 255 + 127) / 255 == v
      for (int c = 0; c < 3; ++c) p[c] = BYTE((p[c] * a + 127) / 255);
    }
  }
  detail::RecursiveBlur4(DibRow(dib, 0), w, h,
                         DibTopDown(dib) ? std::ptrdiff_t(DibStride(dib)) : -std::ptrdiff_t(DibStride(dib)), radius);
  for (int y = 0; y < h; ++y) {
    BYTE* p = DibRow(dib, y);
    for (int x = 0; x < w; ++x, p += 4) {
      const unsigned a = p[3];
      if (a == 255) continue;
      for (int c = 0; c < 3; ++c) p[c] = a ? BYTE(std::min(255u, (p[c] * 255u + a / 2) / a)) : 0;
    }
  }
  return true;
}

}  // namespace TevVecLib
