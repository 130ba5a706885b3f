// Tone mappings as 256-entry tables (CTevPixelLUTRoutine): brightness,
// contrast, invert, gamma, solarize and posterize. Each table entry is
// clamped to 0..255; the channels switched on by IMAGE_CHANNEL are mapped.
#pragma once

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// v * percent / 100 (percent below 1 becomes 0).
class CTevPixelBrightness : public CTevPixelLUTRoutine {
 public:
  explicit CTevPixelBrightness(int percent, IMAGE_CHANNEL channels = CHANNEL_RGB);
  int InitLUTtable(int value) override;
  int GetPercent() const { return m_percent; }

 private:
  int m_percent;
};

// 128 + (v - 128) * percent / 100 (percent below 1 becomes 0).
class CTevPixelContrast : public CTevPixelLUTRoutine {
 public:
  explicit CTevPixelContrast(int percent, IMAGE_CHANNEL channels = CHANNEL_RGB);
  int InitLUTtable(int value) override;
  int GetPercent() const { return m_percent; }

 private:
  int m_percent;
};

// 255 - v.
class CTevPixelInvert : public CTevPixelLUTRoutine {
 public:
  explicit CTevPixelInvert(IMAGE_CHANNEL channels = CHANNEL_RGB);
  int InitLUTtable(int value) override;
};

// 255 * (v / 255)^(1 / gamma), rounded. A gamma that is not above 0 fails
// the depth check, so the walk changes nothing.
class CTevPixelGamma : public CTevPixelLUTRoutine {
 public:
  explicit CTevPixelGamma(double gamma, IMAGE_CHANNEL channels = CHANNEL_RGB);
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  int InitLUTtable(int value) override;

 private:
  double m_gamma;
};

// v < threshold ? v : 255 - v.
class CTevPixelSolarize : public CTevPixelLUTRoutine {
 public:
  explicit CTevPixelSolarize(int threshold, IMAGE_CHANNEL channels = CHANNEL_RGB);
  int InitLUTtable(int value) override;

 private:
  int m_threshold;
};

// levels (2..256) evenly spaced values: step = 255 / (levels - 1),
// round(round(v / step) * step).
class CTevPixelPosterize : public CTevPixelLUTRoutine {
 public:
  explicit CTevPixelPosterize(int levels, IMAGE_CHANNEL channels = CHANNEL_RGB);
  int InitLUTtable(int value) override;

 private:
  int m_levels;
};

}  // namespace TevImageTransform
