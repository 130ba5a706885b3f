#include "companions/imageio/metafile_canvas.h"

#include <algorithm>
#include <cmath>

#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/bmp_decode.h"
#include "companions/shapes/font_outline.h"
#include "companions/vector/render_vector_obj.h"

namespace TevImageIO {

MetafileFit FitMetafile(double width, double height, double maxSide, std::uint64_t maxPixels) {
  double shrink = std::min(1.0, maxSide / std::max(width, height));
  if (maxPixels && width * height * shrink * shrink > double(maxPixels)) shrink = std::sqrt(double(maxPixels) / (width * height));
  int w = std::max(1, int(std::lround(width * shrink))), h = std::max(1, int(std::lround(height * shrink)));
  // Rounding may overshoot the budget by a row or column.
  while (maxPixels && std::uint64_t(w) * std::uint64_t(h) > maxPixels && (w > 1 || h > 1)) (w >= h ? w : h) -= 1;
  return {shrink, w, h};
}

using TevVecLib::CTevPath;
using TevVecLib::CTevRenderVectorObj;
using TevVecLib::CTevTransMatrix;

namespace {

constexpr double kPi = 3.14159265358979323846;
// Vertices of one flattened ellipse or curve; bounds the work a record can cause.
constexpr int kMaxCurveSteps = 720;

// n rounded toward zero and held to [lo, hi]; NaN gives lo. Coordinates from
// a file can be anything, and a double beyond int's range must not reach a cast.
int ClampedSteps(double n, int lo, int hi) { return n >= hi ? hi : n > lo ? int(n) : lo; }

int StepsFor(double radiusPx) {
  return ClampedSteps(std::ceil(std::sqrt(std::max(radiusPx, 1.0)) * 8), 16, kMaxCurveSteps);
}

}  // namespace

bool CMetafileCanvas::Create(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) return false;
  if (DibPitch(width, 32) * std::size_t(height) > kMaxDibBytes) return false;
  m_picture.reset(DibAlloc(width, height, 32));
  m_state = State{};
  m_state.winExt = {double(width), double(height)};
  m_state.vpExt = {double(width), double(height)};
  return m_picture != nullptr;
}

void CMetafileCanvas::SetDeviceToPicture(double scale, double dx, double dy) {
  m_devScale = scale;
  m_devDx = dx;
  m_devDy = dy;
}

void CMetafileCanvas::SetPixelsPerMillimetre(double x, double y) {
  if (x > 0 && std::isfinite(x)) m_pxPerMmX = x;
  if (y > 0 && std::isfinite(y)) m_pxPerMmY = y;
}

void CMetafileCanvas::SetWindowExt(double x, double y) {
  if (x != 0 && y != 0) m_state.winExt = {x, y};
}

void CMetafileCanvas::SetViewportExt(double x, double y) {
  if (x != 0 && y != 0) m_state.vpExt = {x, y};
}

void CMetafileCanvas::ModifyWorldTransform(const CTevTransMatrix& m, int mode) {
  if (!std::isfinite(m.sx) || !std::isfinite(m.shy) || !std::isfinite(m.shx) || !std::isfinite(m.sy) ||
      !std::isfinite(m.tx) || !std::isfinite(m.ty))
    return;
  switch (mode) {
    case 1: m_state.world = CTevTransMatrix(); break;
    case 2: {
      CTevTransMatrix t = m;
      t.Multiply(m_state.world);
      m_state.world = t;
      break;
    }
    case 3: m_state.world.Multiply(m); break;
    case 4: m_state.world = m; break;
    default: break;
  }
}

CTevTransMatrix CMetafileCanvas::LogicalToPicture() const {
  const State& s = m_state;
  CTevTransMatrix m = s.world;
  double sx = 1, sy = 1;
  if (m_fitWindow) {
    sx = DibWidth(m_picture.get()) / s.winExt.x;
    sy = DibHeight(m_picture.get()) / s.winExt.y;
    m.Multiply(CTevTransMatrix(sx, 0, 0, sy, -s.winOrg.x * sx, -s.winOrg.y * sy));
    return m;
  }
  switch (s.mapMode) {
    case 7:  // isotropic: equal scales, the smaller one
    case 8:
      sx = s.vpExt.x / s.winExt.x;
      sy = s.vpExt.y / s.winExt.y;
      if (s.mapMode == 7) {
        const double k = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(k, sx);
        sy = std::copysign(k, sy);
      }
      break;
    case 2: sx = 0.1 * m_pxPerMmX, sy = -0.1 * m_pxPerMmY; break;
    case 3: sx = 0.01 * m_pxPerMmX, sy = -0.01 * m_pxPerMmY; break;
    case 4: sx = 0.254 * m_pxPerMmX, sy = -0.254 * m_pxPerMmY; break;
    case 5: sx = 0.0254 * m_pxPerMmX, sy = -0.0254 * m_pxPerMmY; break;
    case 6: sx = 25.4 / 1440 * m_pxPerMmX, sy = -25.4 / 1440 * m_pxPerMmY; break;
    default: break;
  }
  m.Multiply(CTevTransMatrix(sx, 0, 0, sy, s.vpOrg.x - s.winOrg.x * sx, s.vpOrg.y - s.winOrg.y * sy));
  m.Multiply(CTevTransMatrix(m_devScale, 0, 0, m_devScale, m_devDx, m_devDy));
  return m;
}

MetaPoint CMetafileCanvas::Map(MetaPoint p) const {
  LogicalToPicture().Transform(&p.x, &p.y);
  return p;
}

double CMetafileCanvas::PenWidth() const {
  const CTevTransMatrix m = LogicalToPicture();
  const double scale = std::sqrt(std::fabs(m.sx * m.sy - m.shy * m.shx));
  const double w = m_state.pen.width * (std::isfinite(scale) ? scale : 1);
  return std::clamp(w, 1.0, 1000.0);
}

void CMetafileCanvas::Save() {
  if (m_saved.size() < 1024) m_saved.push_back(m_state);
}

void CMetafileCanvas::Restore(int n) {
  if (m_saved.empty() || n == 0) return;
  std::size_t keep;
  if (n < 0) {
    const std::size_t back = std::size_t(-(long long)n);
    if (back > m_saved.size()) return;
    keep = m_saved.size() - back;
  } else {
    if (std::size_t(n) > m_saved.size()) return;
    keep = std::size_t(n) - 1;
  }
  m_state = m_saved[keep];
  m_saved.resize(keep);
}

int CMetafileCanvas::AddObject(MetaObject object) {
  for (std::size_t i = 0; i < m_objects.size(); ++i)
    if (std::holds_alternative<std::monostate>(m_objects[i])) {
      m_objects[i] = std::move(object);
      return int(i);
    }
  if (m_objects.size() >= 65535) return -1;
  m_objects.push_back(std::move(object));
  return int(m_objects.size() - 1);
}

void CMetafileCanvas::PutObject(std::size_t index, MetaObject object) {
  if (index >= 65536) return;
  if (index >= m_objects.size()) m_objects.resize(index + 1);
  m_objects[index] = std::move(object);
}

void CMetafileCanvas::SelectObject(std::size_t index) {
  if (index >= m_objects.size()) return;
  const MetaObject& o = m_objects[index];
  if (auto* pen = std::get_if<MetaPen>(&o)) m_state.pen = *pen;
  else if (auto* brush = std::get_if<MetaBrush>(&o)) m_state.brush = *brush;
  else if (auto* font = std::get_if<MetaFont>(&o)) m_state.font = *font;
}

void CMetafileCanvas::DeleteObject(std::size_t index) {
  if (index < m_objects.size()) m_objects[index] = std::monostate{};
}

void CMetafileCanvas::SelectStockObject(int n) {
  switch (n) {
    case 0: m_state.brush = MetaBrush{0, 0xFFFFFF}; break;
    case 1: m_state.brush = MetaBrush{0, 0xC0C0C0}; break;
    case 2: m_state.brush = MetaBrush{0, 0x808080}; break;
    case 3: m_state.brush = MetaBrush{0, 0x404040}; break;
    case 4: m_state.brush = MetaBrush{0, 0}; break;
    case 5: m_state.brush = MetaBrush{1, 0}; break;
    case 6: m_state.pen = MetaPen{0, 0, 0xFFFFFF}; break;
    case 7: m_state.pen = MetaPen{0, 0, 0}; break;
    case 8: m_state.pen = MetaPen{5, 0, 0}; break;
    case 10: case 11: case 12: case 13: case 14: case 16: case 17:
      m_state.font = MetaFont{};
      m_state.font.height = -12;
      break;
    case 18: m_state.brush = MetaBrush{0, 0xFFFFFF}; break;  // DC brush
    default: break;
  }
}

void CMetafileCanvas::IntersectClipRect(double l, double t, double r, double b) {
  MetaPoint corners[4] = {Map({l, t}), Map({r, t}), Map({r, b}), Map({l, b})};
  double x1 = corners[0].x, y1 = corners[0].y, x2 = x1, y2 = y1;
  for (const MetaPoint& c : corners) {
    x1 = std::min(x1, c.x), y1 = std::min(y1, c.y);
    x2 = std::max(x2, c.x), y2 = std::max(y2, c.y);
  }
  if (m_state.clipped) {
    x1 = std::max(x1, m_state.clip[0]), y1 = std::max(y1, m_state.clip[1]);
    x2 = std::min(x2, m_state.clip[2]), y2 = std::min(y2, m_state.clip[3]);
  }
  m_state.clipped = true;
  m_state.clip[0] = x1, m_state.clip[1] = y1, m_state.clip[2] = std::max(x1, x2), m_state.clip[3] = std::max(y1, y2);
}

void CMetafileCanvas::ResetClip() { m_state.clipped = false; }

void CMetafileCanvas::PaintFigures(const std::vector<Figure>& figures, bool fill, bool stroke) {
  if (!m_picture || figures.empty()) return;
  TevVecLib::rect_base<double> clip(m_state.clip[0], m_state.clip[1], m_state.clip[2], m_state.clip[3]);
  TevVecLib::rect_base<double>* clipPtr = m_state.clipped ? &clip : nullptr;
  const CTevTransMatrix identity;
  auto build = [&](bool closeAll) {
    CTevPath path;
    for (const Figure& f : figures) {
      if (f.pts.empty()) continue;
      path.move_to(f.pts[0].x, f.pts[0].y);
      for (std::size_t i = 1; i < f.pts.size(); ++i) path.line_to(f.pts[i].x, f.pts[i].y);
      if (f.closed || closeAll) path.ClosePolygon();
    }
    return path;
  };
  if (fill && m_state.brush.style != 1) {
    CTevPath path = build(true);
    CTevRenderVectorObj r(m_state.polyFillMode == 2 ? 0 : 1);
    r.AddShapePath(path, identity, clipPtr);
    r.Paint32BitsDIBWithColorAlphaX(m_picture.get(), nullptr, m_state.brush.colour & 0xFFFFFF, 255,
                                    TevVecLib::kComposeOver, 1);
  }
  const int style = m_state.pen.style & 0xF;
  if (stroke && style != 5) {
    CTevPath path = build(false);
    TevVecLib::TevStrokeStyle s;
    s.width = PenWidth();
    const int cap = m_state.pen.style & 0xF00, join = m_state.pen.style & 0xF000;
    s.cap = cap == 0x100 ? TevVecLib::TevLineCap::Square : cap == 0x200 ? TevVecLib::TevLineCap::Butt
                                                                        : TevVecLib::TevLineCap::Round;
    s.join = join == 0x1000 ? TevVecLib::TevLineJoin::Bevel : join == 0x2000 ? TevVecLib::TevLineJoin::Miter
                                                                             : TevVecLib::TevLineJoin::Round;
    if (s.width <= 1.5) s.cap = TevVecLib::TevLineCap::Butt, s.join = TevVecLib::TevLineJoin::Miter;
    const double u = std::max(1.0, s.width);
    switch (style) {
      case 1: s.dashes = {6 * u, 2 * u}; break;
      case 2: s.dashes = {u, u}; break;
      case 3: s.dashes = {3 * u, u, u, u}; break;
      case 4: s.dashes = {3 * u, u, u, u, u, u}; break;
      default: break;
    }
    CTevRenderVectorObj r(0);
    r.AddShapeStrokenPath(path, identity, s, clipPtr);
    r.Paint32BitsDIBWithColorAlphaX(m_picture.get(), nullptr, m_state.pen.colour & 0xFFFFFF, 255,
                                    TevVecLib::kComposeOver, 1);
  }
}

void CMetafileCanvas::Emit(std::vector<Figure> figures, bool fill) {
  if (m_inPath) {
    for (Figure& f : figures) m_path.push_back(std::move(f));
    m_figureOpen = false;
    return;
  }
  PaintFigures(figures, fill, true);
}

void CMetafileCanvas::BeginPath() {
  m_inPath = true;
  m_figureOpen = false;
  m_path.clear();
}

void CMetafileCanvas::AbortPath() {
  m_inPath = false;
  m_figureOpen = false;
  m_path.clear();
}

void CMetafileCanvas::CloseFigure() {
  if (m_inPath && m_figureOpen && !m_path.empty()) m_path.back().closed = true;
  m_figureOpen = false;
}

void CMetafileCanvas::PaintPath(bool fill, bool stroke) {
  m_inPath = false;
  m_figureOpen = false;
  std::vector<Figure> path;
  path.swap(m_path);
  PaintFigures(path, fill, stroke);
}

void CMetafileCanvas::MoveTo(MetaPoint p) {
  m_state.pos = p;
  if (m_inPath) m_figureOpen = false;
}

// Appends picture points to the open figure of the path (starting one at the
// current position), or strokes the segment chain at once.
void CMetafileCanvas::AppendToFigure(const std::vector<MetaPoint>& mapped) {
  if (m_inPath) {
    if (!m_figureOpen) {
      m_path.push_back(Figure{{Map(m_state.pos)}, false});
      m_figureOpen = true;
    }
    m_path.back().pts.insert(m_path.back().pts.end(), mapped.begin(), mapped.end());
    return;
  }
  std::vector<MetaPoint> pts{Map(m_state.pos)};
  pts.insert(pts.end(), mapped.begin(), mapped.end());
  PaintFigures({Figure{std::move(pts), false}}, false, true);
}

void CMetafileCanvas::LineTo(MetaPoint p) {
  AppendToFigure({Map(p)});
  m_state.pos = p;
}

void CMetafileCanvas::Polyline(const std::vector<MetaPoint>& pts) {
  if (pts.size() < 2) return;
  Figure f;
  for (const MetaPoint& p : pts) f.pts.push_back(Map(p));
  if (m_inPath) {
    m_path.push_back(std::move(f));
    m_figureOpen = false;
    return;
  }
  PaintFigures({f}, false, true);
}

void CMetafileCanvas::PolylineTo(const std::vector<MetaPoint>& pts) {
  if (pts.empty()) return;
  std::vector<MetaPoint> mapped;
  for (const MetaPoint& p : pts) mapped.push_back(Map(p));
  AppendToFigure(mapped);
  m_state.pos = pts.back();
}

void CMetafileCanvas::PolyBezier(const std::vector<MetaPoint>& pts, bool fromCurrent) {
  std::vector<MetaPoint> ctl;
  if (fromCurrent) ctl.push_back(m_state.pos);
  ctl.insert(ctl.end(), pts.begin(), pts.end());
  if (ctl.size() < 4) return;
  std::vector<MetaPoint> out;
  for (std::size_t i = 0; i + 3 < ctl.size(); i += 3) {
    const MetaPoint a = Map(ctl[i]), b = Map(ctl[i + 1]), c = Map(ctl[i + 2]), d = Map(ctl[i + 3]);
    const double len = std::hypot(b.x - a.x, b.y - a.y) + std::hypot(c.x - b.x, c.y - b.y) + std::hypot(d.x - c.x, d.y - c.y);
    const int n = ClampedSteps(len / 4, 4, 64);
    for (int k = (out.empty() ? 0 : 1); k <= n; ++k) {
      const double t = double(k) / n, u = 1 - t;
      out.push_back({u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
                     u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y});
    }
  }
  if (fromCurrent) {
    out.erase(out.begin());  // the current position is already where the figure stands
    AppendToFigure(out);
    m_state.pos = ctl[((ctl.size() - 1) / 3) * 3];
    return;
  }
  if (m_inPath) {
    m_path.push_back(Figure{std::move(out), false});
    m_figureOpen = false;
    return;
  }
  PaintFigures({Figure{std::move(out), false}}, false, true);
}

void CMetafileCanvas::PolyPolygon(const std::vector<std::vector<MetaPoint>>& polys) {
  std::vector<Figure> figures;
  for (const auto& poly : polys) {
    if (poly.size() < 2) continue;
    Figure f{{}, true};
    for (const MetaPoint& p : poly) f.pts.push_back(Map(p));
    figures.push_back(std::move(f));
  }
  Emit(std::move(figures), true);
}

void CMetafileCanvas::PolyPolyline(const std::vector<std::vector<MetaPoint>>& lines) {
  for (const auto& line : lines) Polyline(line);
}

void CMetafileCanvas::Rectangle(double l, double t, double r, double b) {
  PolyPolygon({{{l, t}, {r, t}, {r, b}, {l, b}}});
}

std::vector<MetaPoint> CMetafileCanvas::EllipsePoints(double l, double t, double r, double b) const {
  const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
  const MetaPoint a = Map({l, t}), c = Map({r, b});
  const int n = StepsFor(std::max(std::fabs(c.x - a.x), std::fabs(c.y - a.y)) / 2);
  std::vector<MetaPoint> pts;
  for (int k = 0; k < n; ++k) {
    const double ang = 2 * kPi * k / n;
    pts.push_back(Map({cx + rx * std::cos(ang), cy + ry * std::sin(ang)}));
  }
  return pts;
}

void CMetafileCanvas::Ellipse(double l, double t, double r, double b) {
  if (l == r || t == b) return;
  Emit({Figure{EllipsePoints(l, t, r, b), true}}, true);
}

void CMetafileCanvas::RoundRect(double l, double t, double r, double b, double w, double h) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  const double rx = std::min(std::fabs(w) / 2, (r - l) / 2), ry = std::min(std::fabs(h) / 2, (b - t) / 2);
  if (rx <= 0 || ry <= 0) {
    Rectangle(l, t, r, b);
    return;
  }
  const MetaPoint a = Map({l, t}), c = Map({l + 2 * rx, t + 2 * ry});
  const int n = std::max(4, StepsFor(std::max(std::fabs(c.x - a.x), std::fabs(c.y - a.y)) / 2) / 4);
  const double centres[4][2] = {{r - rx, t + ry}, {l + rx, t + ry}, {l + rx, b - ry}, {r - rx, b - ry}};
  Figure f{{}, true};
  for (int q = 0; q < 4; ++q)
    for (int k = 0; k <= n; ++k) {
      const double ang = -kPi / 2 * q - kPi / 2 * k / n;
      f.pts.push_back(Map({centres[q][0] + rx * std::cos(ang), centres[q][1] + ry * std::sin(ang)}));
    }
  Emit({std::move(f)}, true);
}

void CMetafileCanvas::Arc(MetaArcKind kind, double l, double t, double r, double b, MetaPoint start, MetaPoint end) {
  const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::fabs(r - l) / 2, ry = std::fabs(b - t) / 2;
  if (rx <= 0 || ry <= 0) return;
  const double a1 = std::atan2((start.y - cy) / ry, (start.x - cx) / rx);
  const double a2 = std::atan2((end.y - cy) / ry, (end.x - cx) / rx);
  // Arcs run counter-clockwise on the output: with logical y down that is
  // decreasing angles, unless the mapping mirrors the picture.
  const CTevTransMatrix m = LogicalToPicture();
  const double dir = (m.sx * m.sy - m.shy * m.shx) > 0 ? -1.0 : 1.0;
  double sweep = dir < 0 ? a1 - a2 : a2 - a1;
  while (sweep <= 1e-12) sweep += 2 * kPi;
  const MetaPoint pa = Map({l, t}), pc = Map({r, b});
  const int n = ClampedSteps(StepsFor(std::max(std::fabs(pc.x - pa.x), std::fabs(pc.y - pa.y)) / 2) * sweep / (2 * kPi), 2,
                             kMaxCurveSteps);
  Figure f{{}, kind != kMetaArc};
  if (kind == kMetaPie) f.pts.push_back(Map({cx, cy}));
  for (int k = 0; k <= n; ++k) {
    const double ang = a1 + dir * sweep * k / n;
    f.pts.push_back(Map({cx + rx * std::cos(ang), cy + ry * std::sin(ang)}));
  }
  Emit({std::move(f)}, kind != kMetaArc);
}

void CMetafileCanvas::SetPixel(MetaPoint p, COLORREF colour) {
  const MetaPoint q = Map(p);
  const LONG x = LONG(std::floor(q.x)), y = LONG(std::floor(q.y));
  if (!m_picture || x < 0 || y < 0 || x >= DibWidth(m_picture.get()) || y >= DibHeight(m_picture.get())) return;
  BYTE* px = DibRow(m_picture.get(), y) + x * 4;
  px[0] = GetBValue(colour), px[1] = GetGValue(colour), px[2] = GetRValue(colour), px[3] = 255;
}

void CMetafileCanvas::FillRect(double l, double t, double r, double b, const COLORREF* colour) {
  const MetaBrush saved = m_state.brush;
  if (colour) m_state.brush = MetaBrush{0, *colour};
  Figure f{{Map({l, t}), Map({r, t}), Map({r, b}), Map({l, b})}, true};
  PaintFigures({f}, true, false);
  m_state.brush = saved;
}

void CMetafileCanvas::DrawPicture(const BITMAPINFOHEADER* picture, double sx, double sy, double sw, double sh,
                                  double x, double y, double w, double h) {
  if (!m_picture || !picture || sw == 0 || sh == 0 || w == 0 || h == 0) return;
  // Source blocks far outside any bitmap, or mappings that squeeze the
  // picture to nothing, would drive the resampler's fixed-point source
  // positions out of range: such blits draw nothing.
  if (std::fabs(sx) + std::fabs(sw) > 1e6 || std::fabs(sy) + std::fabs(sh) > 1e6) return;
  CTevTransMatrix m(w / sw, 0, 0, h / sh, x - sx * w / sw, y - sy * h / sh);
  m.Multiply(LogicalToPicture());
  const double det = m.sx * m.sy - m.shy * m.shx;
  const double largest = std::max({std::fabs(m.sx), std::fabs(m.shy), std::fabs(m.shx), std::fabs(m.sy)});
  if (!std::isfinite(det) || !std::isfinite(m.tx) || !std::isfinite(m.ty) || std::fabs(det) < 1e-12 ||
      largest / std::fabs(det) > 1e4 || std::fabs(m.tx) > 1e7 || std::fabs(m.ty) > 1e7)
    return;
  Figure f{{Map({x, y}), Map({x + w, y}), Map({x + w, y + h}), Map({x, y + h})}, true};
  CTevPath path;
  path.move_to(f.pts[0].x, f.pts[0].y);
  for (int i = 1; i < 4; ++i) path.line_to(f.pts[i].x, f.pts[i].y);
  path.ClosePolygon();
  TevVecLib::rect_base<double> clip(m_state.clip[0], m_state.clip[1], m_state.clip[2], m_state.clip[3]);
  CTevRenderVectorObj r(0);
  r.AddShapePath(path, CTevTransMatrix(), m_state.clipped ? &clip : nullptr);
  r.Paint32BitsDIBWithImageX(m_picture.get(), nullptr, picture, m, TevVecLib::kComposeOver, 1,
                             TevVecLib::kFilterBilinear, TevVecLib::kEdgeClamp);
}

void CMetafileCanvas::TextOut(MetaPoint p, const std::u32string& text, bool updatePosition) {
  if (!m_picture || text.empty()) return;
  const bool useCurrent = m_state.textAlign & 1;
  const MetaPoint anchorLogical = useCurrent ? m_state.pos : p;
  const CTevTransMatrix m = LogicalToPicture();
  const double scale = std::sqrt(std::fabs(m.sx * m.sy - m.shy * m.shx));
  double size = std::fabs(m_state.font.height) * (std::isfinite(scale) ? scale : 1);
  if (m_state.font.height > 0) size *= 0.85;  // cell height: leave the internal leading out
  if (m_state.font.height == 0) size = 12 * scale;
  if (!(size >= 1) || size > 2000) return;
  TevCustomPathLibV::TevFontDesc fontDesc;
  if (!m_state.font.face.empty()) fontDesc.family = m_state.font.face;
  fontDesc.size = size;
  fontDesc.bold = m_state.font.weight >= 600;
  fontDesc.italic = m_state.font.italic;
  fontDesc.underline = m_state.font.underline;
  TevCustomPathLibV::TevTextLayout layout;
  if (!TevCustomPathLibV::LayoutText(text, fontDesc, &layout)) return;
  const double baseline = layout.height * 0.8;
  double dx = 0, dy = 0;
  switch (m_state.textAlign & 6) {
    case 2: dx = -layout.width; break;
    case 6: dx = -layout.width / 2; break;
    default: break;
  }
  switch (m_state.textAlign & 24) {
    case 8: dy = -layout.height; break;
    case 24: dy = -baseline; break;
    default: break;
  }
  const MetaPoint anchor = Map(anchorLogical);
  CTevTransMatrix place = TevVecLib::CTevTransMatrixTranslation(dx, dy);
  if (m_state.font.escapement != 0)
    place.Multiply(TevVecLib::CTevTransMatrixRotation(-double(m_state.font.escapement) * kPi / 1800.0));
  place.Multiply(TevVecLib::CTevTransMatrixTranslation(anchor.x, anchor.y));
  TevVecLib::rect_base<double> clip(m_state.clip[0], m_state.clip[1], m_state.clip[2], m_state.clip[3]);
  TevVecLib::rect_base<double>* clipPtr = m_state.clipped ? &clip : nullptr;
  if (m_state.bkMode == 2) {
    CTevPath box;
    box.move_to(0, 0);
    box.line_to(layout.width, 0);
    box.line_to(layout.width, layout.height);
    box.line_to(0, layout.height);
    box.ClosePolygon();
    CTevRenderVectorObj r(0);
    r.AddShapePath(box, place, clipPtr);
    r.Paint32BitsDIBWithColorAlphaX(m_picture.get(), nullptr, m_state.bkColour & 0xFFFFFF, 255,
                                    TevVecLib::kComposeOver, 1);
  }
  CTevPath glyphs;
  for (auto& g : layout.glyphs) glyphs.concat_path(g.path);
  CTevRenderVectorObj r(0);
  r.AddShapePath(glyphs, place, clipPtr);
  r.Paint32BitsDIBWithColorAlphaX(m_picture.get(), nullptr, m_state.textColour & 0xFFFFFF, 255,
                                  TevVecLib::kComposeOver, 1);
  if (updatePosition && useCurrent) {
    // Move on by the text's width along the baseline (in logical units).
    CTevTransMatrix inv = m;
    if (inv.Invert()) {
      MetaPoint end{anchor.x + layout.width, anchor.y};
      inv.Transform(&end.x, &end.y);
      m_state.pos = end;
    }
  }
}

DibPtr DecodeMetafileBitmap(const BYTE* data, std::size_t size, std::size_t infoOffset, std::size_t bitsOffset,
                            DWORD rop) {
  DibPtr picture;
  std::string reason;
  if (DecodeBmpInfo(data, size, infoOffset, bitsOffset, false, picture, nullptr, reason) != 0) return nullptr;
  DibPtr out(CDIB32::ConvertTo32BitsDIB(picture.get()));
  if (!out) return nullptr;
  const DWORD op = rop >> 16;
  if (op != 0x88 && op != 0xEE && op != 0x66 && op != 0x33) return out;
  for (LONG y = 0; y < DibHeight(out.get()); ++y) {
    BYTE* row = DibRow(out.get(), y);
    for (LONG x = 0; x < DibWidth(out.get()); ++x) {
      BYTE* p = row + x * 4;
      const bool white = p[0] == 255 && p[1] == 255 && p[2] == 255, black = !p[0] && !p[1] && !p[2];
      if ((op == 0x88 && white) || ((op == 0xEE || op == 0x66) && black)) p[3] = 0;
      if (op == 0x33) p[0] = BYTE(~p[0]), p[1] = BYTE(~p[1]), p[2] = BYTE(~p[2]);
    }
  }
  return out;
}

}  // namespace TevImageIO
