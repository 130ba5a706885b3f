#include "companions/vector/tev_arc.h"

#include <algorithm>
#include <cmath>

namespace TevVecLib {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxRadius = 1e7;
constexpr double kMaxAngle = 1e6;
}  // namespace

void CTevArc::Init(double cx, double cy, double rx, double ry, double a1, double a2, bool ccw) {
  m_cx = cx;
  m_cy = cy;
  m_rx = std::fabs(rx);
  m_ry = std::fabs(ry);
  m_a1 = a1;
  m_a2 = a2;
  m_ccw = ccw;
  Prepare();
}

void CTevArc::SetApproximationScale(double scale) {
  if (std::isfinite(scale) && scale > 1e-6 && scale < 1e6) m_scale = scale;
  Prepare();
}

void CTevArc::Prepare() {
  m_index = 0;
  m_steps = 0;
  m_empty = true;
  for (double v : {m_cx, m_cy, m_rx, m_ry, m_a1, m_a2})
    if (!std::isfinite(v)) return;
  if (m_rx <= 0 || m_ry <= 0 || m_rx > kMaxRadius || m_ry > kMaxRadius) return;
  if (std::fabs(m_a1) > kMaxAngle || std::fabs(m_a2) > kMaxAngle) return;

  // Bring a2 on the requested side of a1, at most one full turn away.
  double span = m_ccw ? m_a2 - m_a1 : m_a1 - m_a2;
  if (span < 0) span = std::fmod(span, 2 * kPi) + 2 * kPi;
  if (span > 2 * kPi) span = 2 * kPi;
  m_a2 = m_ccw ? m_a1 + span : m_a1 - span;

  // Angular step so that the chord stays within 1/8 pixel of the curve.
  double ra = (m_rx + m_ry) / 2;
  double da = std::acos(ra / (ra + 0.125 / m_scale)) * 2;
  if (!(da > 1e-6)) da = 1e-6;
  m_steps = std::max(1u, unsigned(std::ceil(span / da)));
  m_steps = std::min(m_steps, 1u << 20);
  m_empty = false;
}

void CTevArc::rewind(unsigned) { m_index = 0; }

unsigned CTevArc::vertex(double* x, double* y) {
  if (m_empty || m_index > m_steps) return 0;
  double a = m_index == m_steps ? m_a2 : m_a1 + (m_a2 - m_a1) * double(m_index) / double(m_steps);
  *x = m_cx + std::cos(a) * m_rx;
  *y = m_cy + std::sin(a) * m_ry;
  return m_index++ == 0 ? 1u : 2u;
}

}  // namespace TevVecLib
