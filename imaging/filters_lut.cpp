// Tone-mapping tables.
#include "imaging/filters_lut.h"

#include <cmath>

#include "imaging/filter_support.h"

namespace TevImageTransform {

using filter_detail::Clamp255;
using filter_detail::Round;

CTevPixelBrightness::CTevPixelBrightness(int percent, IMAGE_CHANNEL channels)
    : CTevPixelLUTRoutine(channels), m_percent(percent < 1 ? 0 : percent) {}
int CTevPixelBrightness::InitLUTtable(int v) {
  const long long r = static_cast<long long>(v) * m_percent / 100;
  return r < 0 ? 0 : (r > 255 ? 255 : int(r));
}

CTevPixelContrast::CTevPixelContrast(int percent, IMAGE_CHANNEL channels)
    : CTevPixelLUTRoutine(channels), m_percent(percent < 1 ? 0 : percent) {}
int CTevPixelContrast::InitLUTtable(int v) {
  const long long r = 128 + (static_cast<long long>(v) - 128) * m_percent / 100;
  return r < 0 ? 0 : (r > 255 ? 255 : int(r));
}

CTevPixelInvert::CTevPixelInvert(IMAGE_CHANNEL channels) : CTevPixelLUTRoutine(channels) {}
int CTevPixelInvert::InitLUTtable(int v) { return 255 - Clamp255(v); }

CTevPixelGamma::CTevPixelGamma(double gamma, IMAGE_CHANNEL channels) : CTevPixelLUTRoutine(channels), m_gamma(gamma) {}
bool CTevPixelGamma::ValidateColorBits(const CTevObjImage* image) {
  return m_gamma > 0.0 && std::isfinite(m_gamma) && CTevPixelLUTRoutine::ValidateColorBits(image);
}
bool CTevPixelGamma::ValidateColorBits_Selection(const CTevObjImage* image) {
  return m_gamma > 0.0 && std::isfinite(m_gamma) && CTevPixelLUTRoutine::ValidateColorBits_Selection(image);
}
int CTevPixelGamma::InitLUTtable(int v) {
  if (!(m_gamma > 0.0)) return v;
  return Clamp255(Round(255.0 * std::pow(Clamp255(v) / 255.0, 1.0 / m_gamma)));
}

CTevPixelSolarize::CTevPixelSolarize(int threshold, IMAGE_CHANNEL channels)
    : CTevPixelLUTRoutine(channels), m_threshold(threshold) {}
int CTevPixelSolarize::InitLUTtable(int v) { return v < m_threshold ? Clamp255(v) : 255 - Clamp255(v); }

CTevPixelPosterize::CTevPixelPosterize(int levels, IMAGE_CHANNEL channels)
    : CTevPixelLUTRoutine(channels), m_levels(levels < 2 ? 2 : (levels > 256 ? 256 : levels)) {}
int CTevPixelPosterize::InitLUTtable(int v) {
  const double step = 255.0 / (m_levels - 1);
  return Clamp255(Round(Round(v / step) * step));
}

}  // namespace TevImageTransform
