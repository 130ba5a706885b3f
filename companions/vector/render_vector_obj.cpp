#include "companions/vector/render_vector_obj.h"

#include <agg_conv_curve.h>
#include <agg_conv_dash.h>
#include <agg_conv_stroke.h>
#include <agg_conv_transform.h>

#include <cstring>

#include "companions/vector/span_render.h"

namespace TevVecLib {

using detail::Is32BitDib;
using detail::Rasterizer;

CTevAlphaMaskBuffer::CTevAlphaMaskBuffer(int width, int height, unsigned char fill)
    : m_width(std::max(0, width)), m_height(std::max(0, height)),
      m_data(std::size_t(m_width) * std::size_t(m_height), fill) {}

unsigned char CTevAlphaMaskBuffer::Value(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
  return m_data[std::size_t(y) * std::size_t(m_width) + std::size_t(x)];
}

void CTevAlphaMaskBuffer::Set(int x, int y, unsigned char v) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
  m_data[std::size_t(y) * std::size_t(m_width) + std::size_t(x)] = v;
}

struct CTevRenderVectorObj::Impl {
  Rasterizer ras;
  bool empty = true;
};

CTevRenderVectorObj::CTevRenderVectorObj(int fillRule) : m_impl(std::make_unique<Impl>()) {
  m_impl->ras.filling_rule(fillRule == 1 ? agg::fill_even_odd : agg::fill_non_zero);
}

CTevRenderVectorObj::~CTevRenderVectorObj() = default;

void CTevRenderVectorObj::Reset() {
  m_impl->ras.reset();
  m_impl->empty = true;
}

void CTevRenderVectorObj::AddShapePath(CTevPath& path, const CTevTransMatrix& m, rect_base<double>* clip) {
  detail::ApplyClip(m_impl->ras, clip);
  agg::trans_affine mtx(m);
  agg::conv_transform<CTevPath> moved(path, mtx);
  agg::conv_curve<decltype(moved)> flat(moved);
  detail::SafeVertices<decltype(flat)> safe(flat);
  m_impl->ras.add_path(safe);
  m_impl->empty = false;
}

void CTevRenderVectorObj::AddShapeStrokenPath(CTevPath& path, const CTevTransMatrix& m, const double& width,
                                              rect_base<double>* clip) {
  TevStrokeStyle style;
  style.width = width;
  AddShapeStrokenPath(path, m, style, clip);
}

namespace {

template <class Stroke>
void SetStroke(Stroke& s, const TevStrokeStyle& style) {
  s.width(std::clamp(std::isfinite(style.width) ? style.width : 0.0, 0.0, 1e5));
  switch (style.cap) {
    case TevLineCap::Butt: s.line_cap(agg::butt_cap); break;
    case TevLineCap::Square: s.line_cap(agg::square_cap); break;
    case TevLineCap::Round: s.line_cap(agg::round_cap); break;
  }
  switch (style.join) {
    case TevLineJoin::Miter: s.line_join(agg::miter_join); break;
    case TevLineJoin::Round: s.line_join(agg::round_join); break;
    case TevLineJoin::Bevel: s.line_join(agg::bevel_join); break;
  }
  s.miter_limit(std::clamp(std::isfinite(style.miterLimit) ? style.miterLimit : 4.0, 1.0, 100.0));
}

// Dash pattern usable by AGG: pairs of positive finite lengths whose period is
// not vanishingly small (a tiny period would emit millions of dashes).
bool UsableDashes(const std::vector<double>& d) {
  if (d.size() < 2 || d.size() > 32) return false;
  double period = 0;
  for (double v : d) {
    if (!std::isfinite(v) || v < 0) return false;
    period += v;
  }
  return period >= 0.5;
}

}  // namespace

void CTevRenderVectorObj::AddShapeStrokenPath(CTevPath& path, const CTevTransMatrix& m, const TevStrokeStyle& style,
                                              rect_base<double>* clip) {
  if (!(style.width > 0)) return;
  detail::ApplyClip(m_impl->ras, clip);
  agg::trans_affine mtx(m);
  agg::conv_transform<CTevPath> moved(path, mtx);
  agg::conv_curve<decltype(moved)> flat(moved);
  detail::SafeVertices<decltype(flat)> safe(flat);
  if (UsableDashes(style.dashes)) {
    agg::conv_dash<decltype(safe)> dash(safe);
    for (std::size_t i = 0; i + 1 < style.dashes.size(); i += 2) dash.add_dash(style.dashes[i], style.dashes[i + 1]);
    dash.dash_start(std::isfinite(style.dashStart) ? style.dashStart : 0.0);
    agg::conv_stroke<decltype(dash)> stroke(dash);
    SetStroke(stroke, style);
    m_impl->ras.add_path(stroke);
  } else {
    agg::conv_stroke<decltype(safe)> stroke(safe);
    SetStroke(stroke, style);
    m_impl->ras.add_path(stroke);
  }
  m_impl->empty = false;
}

bool CTevRenderVectorObj::GetBoundingBox(rect_base<int>* box) const {
  Rasterizer& ras = m_impl->ras;
  if (m_impl->empty || !ras.rewind_scanlines()) return false;
  box->x1 = ras.min_x();
  box->y1 = ras.min_y();
  box->x2 = ras.max_x();
  box->y2 = ras.max_y();
  return box->x1 <= box->x2 && box->y1 <= box->y2;
}

namespace {

// Copies whole covered runs of an unmoved source with memcpy; edges compose.
void PaintImageAligned(Rasterizer& ras, BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                       const BITMAPINFOHEADER* image, int dx, int dy, int mode, bool antiAlias, bool clampEdges) {
  const int iw = DibWidth(image), ih = DibHeight(image);
  static const BYTE kClear[4] = {0, 0, 0, 0};
  detail::SweepCoverage(ras, dst, mask, antiAlias, [&](int x, int y, int len, const std::uint8_t* cv, BYTE* d) {
    int sy = y - dy;
    if (sy < 0 || sy >= ih) {
      if (!clampEdges) {
        for (int i = 0; i < len; ++i) detail::ComposePixel(d + i * 4, kClear, cv[i], mode);
        return;
      }
      sy = std::clamp(sy, 0, ih - 1);
    }
    const BYTE* srow = DibRow(image, sy);
    int i = 0;
    while (i < len) {
      int sx = x + i - dx;
      bool inside = sx >= 0 && sx < iw;
      if (mode == kComposeCopy && cv[i] == 255 && inside) {
        int run = 1;
        while (i + run < len && cv[i + run] == 255 && sx + run < iw) ++run;
        std::memcpy(d + i * 4, srow + std::size_t(sx) * 4, std::size_t(run) * 4);
        i += run;
        continue;
      }
      const BYTE* s = inside ? srow + std::size_t(sx) * 4
                             : (clampEdges ? srow + std::size_t(std::clamp(sx, 0, iw - 1)) * 4 : kClear);
      detail::ComposePixel(d + i * 4, s, cv[i], mode);
      ++i;
    }
  });
}

}  // namespace

bool CTevRenderVectorObj::Paint32BitsDIBWithImageX(BITMAPINFOHEADER* dst,
                                                   const CTevAlphaMaskBase<unsigned char>* mask,
                                                   const BITMAPINFOHEADER* image, const CTevTransMatrix& m,
                                                   int compose, int antiAlias, int filter, int edgeMode) {
  if (!Is32BitDib(dst) || !Is32BitDib(image) || m_impl->empty) return false;
  int dx = 0, dy = 0;
  // An unmoved image samples whole pixels whatever the filter, so it is copied directly.
  if (m.IsIntegerTranslation(&dx, &dy)) {
    PaintImageAligned(m_impl->ras, dst, mask, image, dx, dy, compose, antiAlias != 0, edgeMode == kEdgeClamp);
    return true;
  }
  CTevTransMatrix inverse(m);
  if (!inverse.Invert()) return false;
  auto source = detail::MakeAffineImageSource(image, inverse, filter, edgeMode);
  if (!source) return false;
  detail::PaintSpans(m_impl->ras, dst, mask, *source, compose, antiAlias != 0);
  return true;
}

bool CTevRenderVectorObj::Paint32BitsDIBWithSoildColorX(BITMAPINFOHEADER* dst,
                                                        const CTevAlphaMaskBase<unsigned char>* mask,
                                                        unsigned long colour, int compose, int antiAlias) {
  return Paint32BitsDIBWithColorAlphaX(dst, mask, COLORREF(colour & 0xFFFFFF), 255, compose, antiAlias);
}

bool CTevRenderVectorObj::Paint32BitsDIBWithColorAlphaX(BITMAPINFOHEADER* dst,
                                                        const CTevAlphaMaskBase<unsigned char>* mask,
                                                        COLORREF colour, BYTE alpha, int compose, int antiAlias) {
  if (!Is32BitDib(dst) || m_impl->empty) return false;
  const BYTE px[4] = {GetBValue(colour), GetGValue(colour), GetRValue(colour), alpha};
  detail::SweepCoverage(m_impl->ras, dst, mask, antiAlias != 0,
                        [&](int, int, int len, const std::uint8_t* cv, BYTE* d) {
                          for (int i = 0; i < len; ++i) detail::ComposePixel(d + i * 4, px, cv[i], compose);
                        });
  return true;
}

bool CTevRenderVectorObj::Paint32BitsDIBWithGradientX(BITMAPINFOHEADER* dst,
                                                      const CTevAlphaMaskBase<unsigned char>* mask,
                                                      const CTevGradientColors& colours,
                                                      const TevGradientGeometry& g, int compose, int antiAlias) {
  if (!Is32BitDib(dst) || m_impl->empty) return false;
  for (double v : {g.x1, g.y1, g.x2, g.y2, g.radius})
    if (!std::isfinite(v)) return false;
  const auto lut = colours.BuildLut();
  const double vx = g.x2 - g.x1, vy = g.y2 - g.y1;
  const double len2 = vx * vx + vy * vy;
  const bool radial = g.kind == TevGradientGeometry::Radial;
  detail::SweepCoverage(m_impl->ras, dst, mask, antiAlias != 0,
                        [&](int x, int y, int len, const std::uint8_t* cv, BYTE* d) {
                          const double py = y + 0.5 - g.y1;
                          for (int i = 0; i < len; ++i) {
                            const double px = x + i + 0.5 - g.x1;
                            double t;
                            if (radial)
                              t = g.radius > 0 ? std::sqrt(px * px + py * py) / g.radius : 1.0;
                            else
                              t = len2 > 0 ? (px * vx + py * vy) / len2 : 0.0;
                            int k = int(std::clamp(t, 0.0, 1.0) * 255 + 0.5);
                            std::uint32_t c = lut[std::size_t(k)];
                            const BYTE s[4] = {BYTE(c), BYTE(c >> 8), BYTE(c >> 16), BYTE(c >> 24)};
                            detail::ComposePixel(d + i * 4, s, cv[i], compose);
                          }
                        });
  return true;
}

}  // namespace TevVecLib
