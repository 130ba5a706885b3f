#include "companions/shapes/vector_object.h"

#include <agg_bounding_rect.h>
#include <agg_conv_curve.h>
#include <agg_conv_transform.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace TevCustomPathLibV {

using namespace TevVecLib;

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr std::uint16_t kRecordFormat = 1;
constexpr std::size_t kMaxVersionChars = 16;

void WriteGradient(CTevByteWriter& w, const CTevGradientColors& g) {
  w.U16(std::uint16_t(g.Stops().size()));
  for (const auto& s : g.Stops()) {
    w.F64(s.position);
    w.U32(s.colour);
    w.U8(s.alpha);
  }
}

bool ReadGradient(CTevByteReader& r, CTevGradientColors* g) {
  std::uint16_t n;
  if (!r.U16(&n) || n > CTevGradientColors::kMaxStops) return false;
  g->RemoveAll();
  for (unsigned i = 0; i < n; ++i) {
    double pos;
    std::uint32_t colour;
    std::uint8_t alpha;
    if (!r.F64(&pos) || !r.U32(&colour) || !r.U8(&alpha)) return false;
    if (pos < 0 || pos > 1 || colour > 0xFFFFFF) return false;
    if (!g->AddColorStop(pos, colour, alpha)) return false;
  }
  return true;
}

std::string VersionText(const char* v) { return v ? std::string(v).substr(0, kMaxVersionChars) : std::string(); }

std::vector<double> DashPattern(std::int32_t style, double width) {
  const double u = std::max(1.0, width);
  switch (style) {
    case kDashDash: return {3 * u, u};
    case kDashDot: return {u, u};
    case kDashDashDot: return {3 * u, u, u, u};
    case kDashDashDotDot: return {3 * u, u, u, u, u, u};
    default: return {};
  }
}

// Paint of one layer (fill or outline): gradient or solid colour, laid over.
void PaintLayer(CTevRenderVectorObj& r, BITMAPINFOHEADER* dib, COLORREF colour, const CTevGradientColors& gradient,
                std::int32_t mode, BYTE alpha, const rect_base<int>& box) {
  if (mode == kFillSolid || gradient.Empty()) {
    r.Paint32BitsDIBWithColorAlphaX(dib, nullptr, colour, alpha, kComposeOver, 1);
    return;
  }
  CTevGradientColors g;
  for (const auto& s : gradient.Stops()) {
    double pos = mode == kFillRadialInward ? 1 - s.position : s.position;
    g.AddColorStop(pos, s.colour, BYTE(s.alpha * alpha / 255));
  }
  TevGradientGeometry geo;
  const double x1 = box.x1, y1 = box.y1, x2 = box.x2 + 1.0, y2 = box.y2 + 1.0;
  switch (mode) {
    case kFillLinearVertical: geo.x1 = x1, geo.y1 = y1, geo.x2 = x1, geo.y2 = y2; break;
    case kFillLinearDiagonal: geo.x1 = x1, geo.y1 = y1, geo.x2 = x2, geo.y2 = y2; break;
    case kFillRadial:
    case kFillRadialInward:
      geo.kind = TevGradientGeometry::Radial;
      geo.x1 = (x1 + x2) / 2, geo.y1 = (y1 + y2) / 2;
      geo.radius = std::hypot(x2 - x1, y2 - y1) / 2;
      break;
    default: geo.x1 = x1, geo.y1 = y1, geo.x2 = x2, geo.y2 = y1; break;
  }
  r.Paint32BitsDIBWithGradientX(dib, nullptr, g, geo, kComposeOver, 1);
}
}  // namespace

void CTevVectorObject::SetScale(double sx, double sy) {
  if (std::isfinite(sx)) m_scaleX = std::clamp(sx, 1e-3, 1e3);
  if (std::isfinite(sy)) m_scaleY = std::clamp(sy, 1e-3, 1e3);
}

void CTevVectorObject::SetAngle(double degrees) {
  if (std::isfinite(degrees)) m_angle = std::fmod(degrees, 360.0);
}

void CTevVectorObject::GetNaturalSize(double* w, double* h) const {
  double sw = 0, sh = 0;
  GetSourceSize(&sw, &sh);
  *w = sw * m_scaleX;
  *h = sh * m_scaleY;
}

void CTevVectorObject::AssignBase(const CTevVectorObject& o) {
  m_props = o.m_props;
  m_scaleX = o.m_scaleX;
  m_scaleY = o.m_scaleY;
  m_angle = o.m_angle;
}

CTevTransMatrix CTevVectorObject::PlacementMatrix() const {
  double w = 0, h = 0;
  GetSourceSize(&w, &h);
  CTevTransMatrix m = CTevTransMatrixTranslation(-w / 2, -h / 2);
  m.Multiply(CTevTransMatrixScaling(m_scaleX, m_scaleY));
  m.Multiply(CTevTransMatrixRotation(m_angle * kPi / 180));
  m.Multiply(CTevTransMatrixTranslation(w * m_scaleX / 2, h * m_scaleY / 2));
  return m;
}

bool CTevVectorObject::PlacedPixelBox(CTevPath& path, int* x, int* y, int* w, int* h) const {
  agg::trans_affine m = PlacementMatrix();
  agg::conv_transform<CTevPath> moved(path, m);
  agg::conv_curve<decltype(moved)> flat(moved);
  double x1, y1, x2, y2;
  if (!agg::bounding_rect_single(flat, 0, &x1, &y1, &x2, &y2)) return false;
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
  // Room for half the outline, miter spikes (limit 4) and edge coverage.
  double pad = m_props.strokeOutline ? m_props.outlineWidth * 2 + 1 : 1;
  x1 = std::floor(x1 - pad), y1 = std::floor(y1 - pad);
  x2 = std::ceil(x2 + pad), y2 = std::ceil(y2 + pad);
  if (x2 - x1 > kMaxDibDimension || y2 - y1 > kMaxDibDimension || std::fabs(x1) > 1e7 || std::fabs(y1) > 1e7)
    return false;
  *x = int(x1), *y = int(y1), *w = int(x2 - x1), *h = int(y2 - y1);
  return *w > 0 && *h > 0;
}

BITMAPINFOHEADER* CTevVectorObject::RasterizePlaced(CTevPath& path, int originX, int originY, int width,
                                                    int height) const {
  DibPtr dib(DibAlloc(width, height, 32));
  if (!dib) return nullptr;
  CTevTransMatrix m = PlacementMatrix();
  m.Multiply(CTevTransMatrixTranslation(-originX, -originY));
  const BYTE alpha = BYTE(255 - m_props.transparency);
  if (m_props.fillInside) {
    CTevRenderVectorObj r(0);
    r.AddShapePath(path, m, nullptr);
    rect_base<int> box;
    if (r.GetBoundingBox(&box))
      PaintLayer(r, dib.get(), m_props.fillColour, m_props.fillGradient, m_props.fillMode, alpha, box);
  }
  if (m_props.strokeOutline && m_props.outlineWidth > 0) {
    CTevRenderVectorObj r(0);
    TevStrokeStyle style;
    style.width = m_props.outlineWidth;
    style.join = TevLineJoin::Miter;
    style.dashes = DashPattern(m_props.dashStyle, m_props.outlineWidth);
    r.AddShapeStrokenPath(path, m, style, nullptr);
    rect_base<int> box;
    if (r.GetBoundingBox(&box)) {
      bool gradient = m_props.outlineGradient.Stops().size() >= 2;
      PaintLayer(r, dib.get(), m_props.outlineColour, m_props.outlineGradient,
                 gradient ? kFillLinearHorizontal : kFillSolid, alpha, box);
    }
  }
  return dib.release();
}

bool CTevVectorObject::RebuildPaths() {
  CTevPath source;
  m_outline.free_all();
  if (!BuildSourcePath(source) || source.VertexCount() == 0) return false;
  int x, y, w, h;
  if (!PlacedPixelBox(source, &x, &y, &w, &h)) return false;
  CTevTransMatrix m = PlacementMatrix();
  m.Multiply(CTevTransMatrixTranslation(-x, -y));
  agg::trans_affine mm(m);
  agg::conv_transform<CTevPath> moved(source, mm);
  m_outline.concat_path(moved);
  return true;
}

BITMAPINFOHEADER* CTevVectorObject::Render(POINT* origin) {
  CTevPath source;
  if (!BuildSourcePath(source) || source.VertexCount() == 0) return nullptr;
  int x, y, w, h;
  if (!PlacedPixelBox(source, &x, &y, &w, &h)) return nullptr;
  if (origin) *origin = POINT{x, y};
  return RasterizePlaced(source, x, y, w, h);
}

std::size_t CTevVectorObject::Save(std::vector<std::uint8_t>& out, const char* version,
                                   const char* subVersion) const {
  CTevByteWriter w;
  w.Bytes(Magic(), 4);
  w.U16(kRecordFormat);
  std::string v = VersionText(version), sv = VersionText(subVersion);
  w.U8(std::uint8_t(v.size()));
  w.Bytes(v.data(), v.size());
  w.U8(std::uint8_t(sv.size()));
  w.Bytes(sv.data(), sv.size());
  const std::size_t lengthAt = w.Data().size();
  w.U32(0);
  const std::size_t bodyStart = w.Data().size();
  w.F64(m_scaleX);
  w.F64(m_scaleY);
  w.F64(m_angle);
  w.U32(m_props.fillColour);
  w.U32(m_props.outlineColour);
  w.F64(m_props.outlineWidth);
  w.I32(m_props.dashStyle);
  w.U8(m_props.fillInside);
  w.U8(m_props.strokeOutline);
  w.I32(m_props.fillMode);
  w.U8(m_props.transparency);
  WriteGradient(w, m_props.fillGradient);
  WriteGradient(w, m_props.outlineGradient);
  WriteBody(w);
  std::size_t bodyBytes = w.Data().size() - bodyStart;
  if (bodyBytes > kMaxRecordBytes) return 0;
  w.PatchU32(lengthAt, std::uint32_t(bodyBytes));
  w.U32(Crc32(w.Data().data() + bodyStart, bodyBytes));
  out.insert(out.end(), w.Data().begin(), w.Data().end());
  return w.Data().size();
}

bool CTevVectorObject::ReadRecord(CTevByteReader& r, const char* version, const char* subVersion) {
  char magic[4];
  std::uint16_t format;
  if (!r.Bytes(magic, 4) || std::memcmp(magic, Magic(), 4) != 0) return false;
  if (!r.U16(&format) || format != kRecordFormat) return false;
  for (const char* expect : {version, subVersion}) {
    std::uint8_t n;
    char text[256];
    if (!r.U8(&n) || n > kMaxVersionChars || !r.Bytes(text, n)) return false;
    if (expect && std::string(text, n) != VersionText(expect)) return false;
  }
  std::uint32_t bodyBytes;
  CTevByteReader body(nullptr, 0);
  if (!r.U32(&bodyBytes) || bodyBytes > kMaxRecordBytes) return false;
  const std::uint8_t* bodyData = r.Position();
  std::uint32_t crc;
  if (!r.Sub(bodyBytes, &body) || !r.U32(&crc) || crc != Crc32(bodyData, bodyBytes)) return false;

  TevRenderProps p;
  double sx, sy, angle;
  std::uint8_t fill, stroke;
  if (!body.F64(&sx) || !body.F64(&sy) || !body.F64(&angle)) return false;
  if (!(sx >= 1e-3 && sx <= 1e3 && sy >= 1e-3 && sy <= 1e3 && std::fabs(angle) <= 360)) return false;
  if (!body.U32(&p.fillColour) || !body.U32(&p.outlineColour) || !body.F64(&p.outlineWidth) ||
      !body.I32(&p.dashStyle) || !body.U8(&fill) || !body.U8(&stroke) || !body.I32(&p.fillMode) ||
      !body.U8(&p.transparency))
    return false;
  if (p.fillColour > 0xFFFFFF || p.outlineColour > 0xFFFFFF || !(p.outlineWidth >= 0 && p.outlineWidth <= 1000) ||
      p.dashStyle < 0 || p.dashStyle >= kDashStyleCount || fill > 1 || stroke > 1 || p.fillMode < 0 ||
      p.fillMode >= kFillModeCount)
    return false;
  p.fillInside = fill, p.strokeOutline = stroke;
  if (!ReadGradient(body, &p.fillGradient) || !ReadGradient(body, &p.outlineGradient)) return false;
  m_props = p;
  m_scaleX = sx, m_scaleY = sy, m_angle = angle;
  return ReadBody(body) && body.Left() == 0;
}

bool CTevVectorObject::Load(const std::uint8_t* data, std::size_t size, std::size_t* consumed, const char* version,
                            const char* subVersion) {
  if (!data) return false;
  std::unique_ptr<CTevVectorObject> backup(CloneEmpty());
  backup->Assign(*this);
  CTevByteReader r(data, size);
  if (!ReadRecord(r, version, subVersion)) {
    Assign(*backup);
    return false;
  }
  if (consumed) *consumed = size - r.Left();
  RebuildPaths();
  return true;
}

long CTevVectorObject::Save(std::FILE* file, const char* version, const char* subVersion) const {
  std::vector<std::uint8_t> bytes;
  std::size_t n = Save(bytes, version, subVersion);
  if (!file || n == 0 || std::fwrite(bytes.data(), 1, n, file) != n) return 0;
  return long(n);
}

bool CTevVectorObject::Load(std::FILE* file, const char* version, const char* subVersion) {
  if (!file) return false;
  // Header: magic, format, two version strings, body length; then body and checksum.
  std::vector<std::uint8_t> bytes(6);
  if (std::fread(bytes.data(), 1, 6, file) != 6) return false;
  for (int i = 0; i < 2; ++i) {
    int n = std::fgetc(file);
    if (n == EOF || std::size_t(n) > kMaxVersionChars) return false;
    bytes.push_back(std::uint8_t(n));
    std::size_t at = bytes.size();
    bytes.resize(at + std::size_t(n));
    if (std::fread(bytes.data() + at, 1, std::size_t(n), file) != std::size_t(n)) return false;
  }
  std::uint8_t len[4];
  if (std::fread(len, 1, 4, file) != 4) return false;
  bytes.insert(bytes.end(), len, len + 4);
  std::uint32_t body = std::uint32_t(len[0]) | (std::uint32_t(len[1]) << 8) | (std::uint32_t(len[2]) << 16) |
                       (std::uint32_t(len[3]) << 24);
  if (body > kMaxRecordBytes) return false;
  // Read in chunks so that a length the file cannot back costs no memory.
  body += 4;  // the checksum after the body
  while (body > 0) {
    std::size_t chunk = std::min<std::size_t>(body, 65536), at = bytes.size();
    bytes.resize(at + chunk);
    if (std::fread(bytes.data() + at, 1, chunk, file) != chunk) return false;
    body -= std::uint32_t(chunk);
  }
  return Load(bytes.data(), bytes.size(), nullptr, version, subVersion);
}

}  // namespace TevCustomPathLibV
