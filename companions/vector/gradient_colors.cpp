#include "companions/vector/gradient_colors.h"

#include <algorithm>
#include <cmath>

namespace TevVecLib {

bool CTevGradientColors::AddColorStop(double position, COLORREF colour, BYTE alpha) {
  if (!std::isfinite(position) || m_stops.size() >= kMaxStops) return false;
  position = std::clamp(position, 0.0, 1.0);
  auto at = std::upper_bound(m_stops.begin(), m_stops.end(), position,
                             [](double p, const TevColorStop& s) { return p < s.position; });
  m_stops.insert(at, TevColorStop{position, colour & 0xFFFFFF, alpha});
  return true;
}

std::array<std::uint32_t, 256> CTevGradientColors::BuildLut() const {
  std::array<std::uint32_t, 256> lut{};
  if (m_stops.empty()) return lut;
  auto pack = [](double r, double g, double b, double a) {
    auto c = [](double v) { return std::uint32_t(std::clamp(v + 0.5, 0.0, 255.0)); };
    return c(b) | (c(g) << 8) | (c(r) << 16) | (c(a) << 24);
  };
  std::size_t k = 0;
  for (int i = 0; i < 256; ++i) {
    double p = i / 255.0;
    while (k + 1 < m_stops.size() && m_stops[k + 1].position <= p) ++k;
    const TevColorStop& s0 = m_stops[k];
    const TevColorStop& s1 = k + 1 < m_stops.size() ? m_stops[k + 1] : s0;
    double t = 0;
    if (p > s0.position && s1.position > s0.position)
      t = std::min(1.0, (p - s0.position) / (s1.position - s0.position));
    auto mix = [t](int a, int b) { return a + (b - a) * t; };
    lut[i] = pack(mix(GetRValue(s0.colour), GetRValue(s1.colour)), mix(GetGValue(s0.colour), GetGValue(s1.colour)),
                  mix(GetBValue(s0.colour), GetBValue(s1.colour)), mix(s0.alpha, s1.alpha));
  }
  return lut;
}

}  // namespace TevVecLib
