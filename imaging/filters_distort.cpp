// Geometric distortions.
#include "imaging/filters_distort.h"

#include <cmath>
#include <cstring>

#include "imaging/filter_support.h"

namespace TevImageTransform {

using namespace filter_detail;

namespace {
bool DistortableImage(const CTevObjImage* image) {
  return image && image->IsValidImage() && image->ColorBits() == 32 && image->Width() >= 2 && image->Height() >= 2;
}
}  // namespace

bool CTevPixelBilinearDistord::ValidateColorBits(const CTevObjImage* image) { return DistortableImage(image); }
bool CTevPixelBilinearDistord::ValidateColorBits_Selection(const CTevObjImage* image) {
  return DistortableImage(image);
}
void CTevPixelBilinearDistord::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  m_width = image ? image->Width() : 0;
  m_height = image ? image->Height() : 0;
}
void CTevPixelBilinearDistord::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  if (!m_backup.IsValidImage()) return;
  double sx = x, sy = y;
  m_outside = false;
  if (!calc_undistorted_coord(x, y, sx, sy)) {
    if (m_outside) std::memset(p, 0, 4);
    return;
  }
  if (!std::isfinite(sx) || !std::isfinite(sy)) return;
  // The whole last row and column are reachable, so an exact mapping keeps
  // the picture's edges sharp.
  sx = std::clamp(sx, 0.0, double(m_width - 1));
  sy = std::clamp(sy, 0.0, double(m_height - 1));
  SampleBilinear(m_backup, sx, sy, p);
}

bool CTevPixelCylinder::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  const double cx = (m_width - 1) / 2.0;
  const double nx = std::clamp((x - cx) / cx, -1.0, 1.0);
  sx = cx + cx * std::asin(nx) * 2.0 / M_PI;
  sy = y;
  return true;
}

CTevPixelWave::CTevPixelWave(int wavelength, int amplitude, double phase)
    : m_wavelength((wavelength < 2 ? 1 : std::min(wavelength, 65535)) * 2),
      m_amplitude(amplitude < 2 ? 1 : std::min(amplitude, 65535)),
      m_phase(std::isfinite(phase) ? phase : 0.0) {}
bool CTevPixelWave::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  sx = x + m_amplitude * std::sin(2.0 * M_PI * y / m_wavelength + m_phase);
  sy = y + m_amplitude * std::sin(2.0 * M_PI * x / m_wavelength + m_phase);
  return true;
}

CTevPixelWhirlPinch::CTevPixelWhirlPinch(double whirl, double pinch)
    : m_whirl(std::isfinite(whirl) ? std::clamp(whirl, -2 * M_PI, 2 * M_PI) : 0.0),
      m_pinch(std::isfinite(pinch) ? std::clamp(pinch, -1.0, 1.0) : 0.0) {}
bool CTevPixelWhirlPinch::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  if (m_whirl == 0.0 && m_pinch == 0.0) return false;
  const double cx = (m_width - 1) / 2.0, cy = (m_height - 1) / 2.0;
  const double radius = std::max(cx, cy);
  // Scale the shorter axis so the effect covers the inscribed ellipse.
  const double scaleX = cx < cy ? cy / cx : 1.0, scaleY = cy < cx ? cx / cy : 1.0;
  const double dx = (x - cx) * scaleX, dy = (y - cy) * scaleY;
  const double d = std::hypot(dx, dy);
  if (d >= radius || d == 0.0) return false;
  const double factor = std::pow(std::sin(M_PI / 2.0 * d / radius), -m_pinch);
  const double px = dx * factor, py = dy * factor;
  const double angle = m_whirl * (1.0 - d / radius) * (1.0 - d / radius);
  const double c = std::cos(angle), s = std::sin(angle);
  sx = cx + (c * px - s * py) / scaleX;
  sy = cy + (s * px + c * py) / scaleY;
  return true;
}

CTevPixelFractalTrace::CTevPixelFractalTrace(int depth) : m_depth(depth < 2 ? 1 : std::min(depth, 64)) {}
bool CTevPixelFractalTrace::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  constexpr double kX0 = -2.0, kX1 = 1.0, kY0 = -1.5, kY1 = 1.5;
  const double cx = kX0 + (kX1 - kX0) * x / (m_width - 1), cy = kY0 + (kY1 - kY0) * y / (m_height - 1);
  double zx = cx, zy = cy;
  for (int i = 0; i < m_depth; ++i) {
    const double nx = zx * zx - zy * zy + cx, ny = 2 * zx * zy + cy;
    zx = nx;
    zy = ny;
    if (zx * zx + zy * zy > 1e6) break;
  }
  // Reflect the end point back into the plane's window.
  auto reflect = [](double v, double lo, double hi) {
    const double span = hi - lo;
    double t = std::fmod(std::fabs(v - lo), 2 * span);
    if (!std::isfinite(t)) t = 0;
    return t <= span ? t / span : (2 * span - t) / span;
  };
  sx = reflect(zx, kX0, kX1) * (m_width - 1);
  sy = reflect(zy, kY0, kY1) * (m_height - 1);
  return true;
}

CTevPixelLens::CTevPixelLens(double refraction, bool keepSurroundings)
    : m_refraction(std::isfinite(refraction) ? std::clamp(refraction, 1.0, 100.0) : 1.0), m_keep(keepSurroundings) {}
void CTevPixelLens::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  CTevPixelBilinearDistord::ProcessPixel(image, x, y, p);
  if (!m_keep && m_outside) std::memset(p, 0, 4);
}
bool CTevPixelLens::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  const double a = (m_width - 1) / 2.0, b = (m_height - 1) / 2.0;
  const double nx = (x - a) / a, ny = (y - b) / b, r2 = nx * nx + ny * ny;
  if (r2 >= 1.0) {
    m_outside = !m_keep;
    return false;
  }
  if (m_refraction == 1.0) return false;
  // The sphere's height z shrinks the sampled offset towards the centre.
  const double z = std::sqrt(1.0 - r2);
  const double factor = 1.0 - (1.0 - 1.0 / m_refraction) * z;
  sx = a + (x - a) * factor;
  sy = b + (y - b) * factor;
  return true;
}

CTevPixelSkew::CTevPixelSkew(const POINT corners[4]) {
  for (int i = 0; i < 4; ++i) m_corners[i] = corners ? corners[i] : POINT{0, 0};
}
bool CTevPixelSkew::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  const double ux = double(m_corners[1].x) - m_corners[0].x, uy = double(m_corners[1].y) - m_corners[0].y;
  const double vx = double(m_corners[3].x) - m_corners[0].x, vy = double(m_corners[3].y) - m_corners[0].y;
  const double det = ux * vy - uy * vx;
  if (det == 0.0) return false;
  const double px = x - double(m_corners[0].x), py = y - double(m_corners[0].y);
  const double u = (px * vy - py * vx) / det, v = (ux * py - uy * px) / det;
  constexpr double kEdge = 1e-9;
  if (u < -kEdge || v < -kEdge || u > 1 + kEdge || v > 1 + kEdge) {
    m_outside = true;
    return false;
  }
  sx = u * (m_width - 1);
  sy = v * (m_height - 1);
  return true;
}

CTevPixelPerspective::CTevPixelPerspective(const POINT corners[4]) {
  for (int i = 0; i < 4; ++i) m_corners[i] = corners ? corners[i] : POINT{0, 0};
}
void CTevPixelPerspective::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBilinearDistord::OnEnterProcess(image);
  // Unit square -> quad (projective), then its inverse by the adjugate.
  const double x0 = m_corners[0].x, y0 = m_corners[0].y, x1 = m_corners[1].x, y1 = m_corners[1].y;
  const double x2 = m_corners[2].x, y2 = m_corners[2].y, x3 = m_corners[3].x, y3 = m_corners[3].y;
  double a, b, c, d, e, f, g = 0, h = 0;
  const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
  if (sx == 0 && sy == 0) {
    a = x1 - x0, b = x3 - x0, c = x0, d = y1 - y0, e = y3 - y0, f = y0;
  } else {
    const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
    const double det = dx1 * dy2 - dx2 * dy1;
    if (det == 0) {
      m_valid = false;
      return;
    }
    g = (sx * dy2 - dx2 * sy) / det;
    h = (dx1 * sy - sx * dy1) / det;
    a = x1 - x0 + g * x1, b = x3 - x0 + h * x3, c = x0;
    d = y1 - y0 + g * y1, e = y3 - y0 + h * y3, f = y0;
  }
  const double m[9] = {a, b, c, d, e, f, g, h, 1.0};
  double* r = m_inverse;
  r[0] = m[4] * m[8] - m[5] * m[7];
  r[1] = m[2] * m[7] - m[1] * m[8];
  r[2] = m[1] * m[5] - m[2] * m[4];
  r[3] = m[5] * m[6] - m[3] * m[8];
  r[4] = m[0] * m[8] - m[2] * m[6];
  r[5] = m[2] * m[3] - m[0] * m[5];
  r[6] = m[3] * m[7] - m[4] * m[6];
  r[7] = m[1] * m[6] - m[0] * m[7];
  r[8] = m[0] * m[4] - m[1] * m[3];
  m_valid = std::fabs(m[0] * r[0] + m[1] * r[3] + m[2] * r[6]) > 1e-12;
}
bool CTevPixelPerspective::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  if (!m_valid) return false;
  const double* r = m_inverse;
  const double w = r[6] * x + r[7] * y + r[8];
  if (w == 0.0) {
    m_outside = true;
    return false;
  }
  const double u = (r[0] * x + r[1] * y + r[2]) / w, v = (r[3] * x + r[4] * y + r[5]) / w;
  constexpr double kEdge = 1e-9;
  if (!(u >= -kEdge && v >= -kEdge && u <= 1 + kEdge && v <= 1 + kEdge)) {
    m_outside = true;
    return false;
  }
  sx = u * (m_width - 1);
  sy = v * (m_height - 1);
  return true;
}

CTevPixelRotate::CTevPixelRotate(int degrees) : m_degrees(((degrees % 360) + 360) % 360) {
  m_angle = m_degrees * M_PI / 180.0;
  m_complement = (360 - m_degrees) * M_PI / 180.0;
}
bool CTevPixelRotate::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  if (m_degrees == 0) return false;
  const double cx = (m_width - 1) / 2.0, cy = (m_height - 1) / 2.0;
  // The source point is the pixel turned back by the angle (its complement).
  const double c = std::cos(m_complement), s = std::sin(m_complement);
  const double dx = x - cx, dy = y - cy;
  sx = cx + c * dx - s * dy;
  sy = cy + s * dx + c * dy;
  if (sx < -0.5 || sy < -0.5 || sx > m_width - 0.5 || sy > m_height - 0.5) {
    m_outside = true;
    return false;
  }
  return true;
}

CTevPixelRibbon::CTevPixelRibbon(int amount, int period)
    : m_amount(std::clamp(amount, 0, 100)), m_period(std::clamp(period, 2, 65535)) {}
bool CTevPixelRibbon::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  if (m_amount == 0) return false;
  sx = x + m_amount / 100.0 * m_period / 4.0 * std::sin(2.0 * M_PI * y / m_period);
  sy = y;
  return true;
}

CTevPixelSmallTile::CTevPixelSmallTile(int columns, int rows)
    : m_columns(std::clamp(columns, 1, 64)), m_rows(std::clamp(rows, 1, 64)) {}
bool CTevPixelSmallTile::calc_undistorted_coord(int x, int y, double& sx, double& sy) {
  sx = std::fmod(double(x) * m_columns, double(m_width));
  sy = std::fmod(double(y) * m_rows, double(m_height));
  return true;
}

}  // namespace TevImageTransform
