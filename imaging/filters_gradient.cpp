// Two-colour gradients.
#include "imaging/filters_gradient.h"

#include <cmath>

#include "imaging/filter_support.h"

namespace TevImageTransform {

using namespace filter_detail;

CTevPixelGradientBase::CTevPixelGradientBase(RGBQUAD c1, RGBQUAD c2, REPEAT_MODE mode)
    : m_c1(c1), m_c2(c2), m_mode(mode) {}

double CTevPixelGradientBase::RepeatFactor(double f) const {
  if (!std::isfinite(f)) return 0.0;
  switch (m_mode) {
    case REPEAT_SAWTOOTH: return f - std::floor(f);
    case REPEAT_TRIANGLE: {
      const double t = std::fmod(std::fabs(f), 2.0);
      return t <= 1.0 ? t : 2.0 - t;
    }
    default: return std::clamp(f, 0.0, 1.0);
  }
}

void CTevPixelGradientBase::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  const double f = RepeatFactor(CalculateFactor(x, y));
  p[0] = BYTE(Clamp255(Round(m_c1.rgbBlue + (m_c2.rgbBlue - m_c1.rgbBlue) * f)));
  p[1] = BYTE(Clamp255(Round(m_c1.rgbGreen + (m_c2.rgbGreen - m_c1.rgbGreen) * f)));
  p[2] = BYTE(Clamp255(Round(m_c1.rgbRed + (m_c2.rgbRed - m_c1.rgbRed) * f)));
}

CTevPixelGradientTwoPoints::CTevPixelGradientTwoPoints(POINT start, POINT end, RGBQUAD c1, RGBQUAD c2,
                                                       REPEAT_MODE mode)
    : CTevPixelGradientBase(c1, c2, mode), m_x0(start.x), m_y0(start.y) {
  const double dx = double(end.x) - start.x, dy = double(end.y) - start.y;
  m_length = std::hypot(dx, dy);
  m_ux = m_length > 0 ? dx / m_length : 1.0;
  m_uy = m_length > 0 ? dy / m_length : 0.0;
}

double CTevPixelGradientLine::CalculateFactor(int x, int y) {
  if (m_length <= 0) return 0.0;
  return ((x - m_x0) * m_ux + (y - m_y0) * m_uy) / m_length;
}

double CTevPixelGradientBiLine::CalculateFactor(int x, int y) {
  if (m_length <= 0) return 0.0;
  return std::fabs((x - m_x0) * m_ux + (y - m_y0) * m_uy) / m_length;
}

double CTevPixelGradientConicalSym::CalculateFactor(int x, int y) {
  const double vx = x - m_x0, vy = y - m_y0;
  if (vx == 0 && vy == 0) return 0.0;
  const double along = vx * m_ux + vy * m_uy, across = vy * m_ux - vx * m_uy;
  return std::fabs(std::atan2(across, along)) / M_PI;
}

double CTevPixelGradientConicalASym::CalculateFactor(int x, int y) {
  const double vx = x - m_x0, vy = y - m_y0;
  if (vx == 0 && vy == 0) return 0.0;
  const double along = vx * m_ux + vy * m_uy, across = vy * m_ux - vx * m_uy;
  double a = std::atan2(across, along);
  if (a < 0) a += 2 * M_PI;
  return a / (2 * M_PI);
}

CTevPixelGradientBox::CTevPixelGradientBox(const RECT& rect, RGBQUAD c1, RGBQUAD c2, REPEAT_MODE mode)
    : CTevPixelGradientBase(c1, c2, mode),
      m_cx((double(rect.left) + rect.right) / 2.0),
      m_cy((double(rect.top) + rect.bottom) / 2.0),
      m_hx(std::fabs(double(rect.right) - rect.left) / 2.0),
      m_hy(std::fabs(double(rect.bottom) - rect.top) / 2.0) {}

double CTevPixelGradientRect::CalculateFactor(int x, int y) {
  const double fx = m_hx > 0 ? std::fabs(x - m_cx) / m_hx : 0.0;
  const double fy = m_hy > 0 ? std::fabs(y - m_cy) / m_hy : 0.0;
  return std::max(fx, fy);
}

double CTevPixelGradientRadial::CalculateFactor(int x, int y) {
  const double fx = m_hx > 0 ? (x - m_cx) / m_hx : 0.0;
  const double fy = m_hy > 0 ? (y - m_cy) / m_hy : 0.0;
  return std::sqrt(fx * fx + fy * fy);
}

}  // namespace TevImageTransform
