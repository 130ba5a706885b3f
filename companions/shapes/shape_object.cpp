#include "companions/shapes/shape_object.h"

#include <agg_rounded_rect.h>

#include <cmath>
#include <sstream>

namespace TevCustomPathLibV {

using namespace TevVecLib;

namespace {
constexpr double kPi = 3.14159265358979323846;

bool ValidCommand(unsigned cmd) {
  return cmd == agg::path_cmd_move_to || cmd == agg::path_cmd_line_to || cmd == agg::path_cmd_curve3 ||
         cmd == agg::path_cmd_curve4 || cmd == (unsigned(agg::path_cmd_end_poly) | unsigned(agg::path_flags_close)) ||
         cmd == agg::path_cmd_end_poly;
}

void Regular(CTevPath& out, double w, double h, int n, double ratio, bool star) {
  const double cx = w / 2, cy = h / 2;
  const int k = star ? n * 2 : n;
  for (int i = 0; i < k; ++i) {
    double a = -kPi / 2 + i * 2 * kPi / k;
    double r = star && (i % 2) ? ratio : 1.0;
    double x = cx + std::cos(a) * cx * r, y = cy + std::sin(a) * cy * r;
    if (i == 0) out.move_to(x, y); else out.line_to(x, y);
  }
  out.ClosePolygon();
}
}  // namespace

bool BuildGalleryShapePath(std::int32_t kind, double w, double h, std::int32_t count, double ratio, CTevPath& out) {
  if (!(w > 0 && h > 0) || !std::isfinite(w) || !std::isfinite(h)) return false;
  count = std::clamp(count, 3, 256);
  ratio = std::isfinite(ratio) ? std::clamp(ratio, 0.0, 1.0) : 0.4;
  switch (kind) {
    case kShapeRectangle:
      out.move_to(0, 0), out.line_to(w, 0), out.line_to(w, h), out.line_to(0, h);
      out.ClosePolygon();
      return true;
    case kShapeRoundRect: {
      agg::rounded_rect rr(0, 0, w, h, std::min(w, h) * std::min(ratio, 0.5));
      rr.normalize_radius();
      out.concat_path(rr);
      return true;
    }
    case kShapeEllipse: {
      CTevArc arc(w / 2, h / 2, w / 2, h / 2, 0, 2 * kPi, true);
      out.concat_path(arc);
      out.ClosePolygon();
      return true;
    }
    case kShapeTriangle:
      out.move_to(w / 2, 0), out.line_to(w, h), out.line_to(0, h);
      out.ClosePolygon();
      return true;
    case kShapeDiamond:
      out.move_to(w / 2, 0), out.line_to(w, h / 2), out.line_to(w / 2, h), out.line_to(0, h / 2);
      out.ClosePolygon();
      return true;
    case kShapePolygon: Regular(out, w, h, count, 1.0, false); return true;
    case kShapeStar: Regular(out, w, h, count, ratio, true); return true;
    case kShapeArrow: {
      double head = w * std::clamp(ratio, 0.05, 1.0);
      double shaft = h / 4;
      out.move_to(0, shaft), out.line_to(w - head, shaft), out.line_to(w - head, 0), out.line_to(w, h / 2);
      out.line_to(w - head, h), out.line_to(w - head, h - shaft), out.line_to(0, h - shaft);
      out.ClosePolygon();
      return true;
    }
    case kShapeHeart:
      out.move_to(w / 2, h * 0.3);
      out.curve4(w / 2, 0, 0, 0, 0, h * 0.3);
      out.curve4(0, h * 0.6, w / 2, h * 0.8, w / 2, h);
      out.curve4(w / 2, h * 0.8, w, h * 0.6, w, h * 0.3);
      out.curve4(w, 0, w / 2, 0, w / 2, h * 0.3);
      out.ClosePolygon();
      return true;
    default: return false;
  }
}

bool ParseShapePathText(const std::string& text, CTevPath& unitPath) {
  CTevPath path;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream in(line);
    std::string op;
    if (!(in >> op)) continue;
    int n = op == "M" || op == "L" ? 2 : op == "Q" ? 4 : op == "C" ? 6 : op == "Z" ? 0 : -1;
    if (n < 0) return false;
    double v[6];
    for (int i = 0; i < n; ++i)
      if (!(in >> v[i]) || !std::isfinite(v[i]) || v[i] < -1 || v[i] > 2) return false;
    std::string rest;
    if (in >> rest) return false;
    if (path.VertexCount() + 3 > CTevShapeObj::kMaxCustomVertices) return false;
    if (op == "M") path.move_to(v[0], v[1]);
    else if (op == "L") path.line_to(v[0], v[1]);
    else if (op == "Q") path.curve3(v[0], v[1], v[2], v[3]);
    else if (op == "C") path.curve4(v[0], v[1], v[2], v[3], v[4], v[5]);
    else path.ClosePolygon();
  }
  if (path.VertexCount() == 0) return false;
  unitPath = path;
  return true;
}

void CTevShapeObj::SetSize(double w, double h) {
  if (std::isfinite(w)) m_w = std::clamp(w, 0.5, 65535.0);
  if (std::isfinite(h)) m_h = std::clamp(h, 0.5, 65535.0);
}

bool CTevShapeObj::SetCustomPath(const CTevPath& unitPath) {
  if (unitPath.total_vertices() > kMaxCustomVertices) return false;
  for (unsigned i = 0; i < unitPath.total_vertices(); ++i) {
    double x, y;
    unsigned cmd = unitPath.vertex(i, &x, &y);
    if (!ValidCommand(cmd) || !std::isfinite(x) || !std::isfinite(y)) return false;
  }
  m_custom = unitPath;
  return true;
}

bool CTevShapeObj::BuildSourcePath(CTevPath& out) {
  if (m_kind != kShapeCustom) return BuildGalleryShapePath(m_kind, m_w, m_h, m_count, m_ratio, out);
  for (unsigned i = 0; i < m_custom.total_vertices(); ++i) {
    double x, y;
    unsigned cmd = m_custom.vertex(i, &x, &y);
    out.AddVertex(x * m_w, y * m_h, cmd);
  }
  return out.VertexCount() > 0;
}

void CTevShapeObj::WriteBody(CTevByteWriter& w) const {
  w.I32(m_kind);
  w.F64(m_w);
  w.F64(m_h);
  w.I32(m_count);
  w.F64(m_ratio);
  w.U32(m_custom.total_vertices());
  for (unsigned i = 0; i < m_custom.total_vertices(); ++i) {
    double x, y;
    w.U8(std::uint8_t(m_custom.vertex(i, &x, &y)));
    w.F64(x);
    w.F64(y);
  }
}

bool CTevShapeObj::ReadBody(CTevByteReader& r) {
  std::int32_t kind, count;
  double w, h, ratio;
  std::uint32_t n;
  if (!r.I32(&kind) || !r.F64(&w) || !r.F64(&h) || !r.I32(&count) || !r.F64(&ratio) || !r.U32(&n)) return false;
  if (kind < 0 || kind >= kShapeKindCount || !(w >= 0.5 && w <= 65535) || !(h >= 0.5 && h <= 65535) ||
      count < 3 || count > 256 || !(ratio >= 0 && ratio <= 1))
    return false;
  // Each vertex takes 17 bytes; the count must fit in what is left.
  if (n > kMaxCustomVertices || std::size_t(n) * 17 > r.Left()) return false;
  CTevPath custom;
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint8_t cmd;
    double x, y;
    if (!r.U8(&cmd) || !r.F64(&x) || !r.F64(&y) || !ValidCommand(cmd)) return false;
    custom.AddVertex(x, y, cmd);
  }
  m_kind = kind, m_w = w, m_h = h, m_count = count, m_ratio = ratio;
  m_custom = custom;
  return true;
}

void CTevShapeObj::Assign(const CTevVectorObject& other) {
  const auto& o = static_cast<const CTevShapeObj&>(other);
  AssignBase(o);
  m_kind = o.m_kind, m_w = o.m_w, m_h = o.m_h, m_count = o.m_count, m_ratio = o.m_ratio;
  m_custom = o.m_custom;
}

}  // namespace TevCustomPathLibV
