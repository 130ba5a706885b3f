// Colour adjustments and fills: grey, threshold, channel offsets, hue and
// saturation, colour tone, colour balance, automatic contrast and colour
// enhancement, colour levels, solid and checkerboard fills.
#pragma once

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// The tone range a colour balance changes.
enum TONE_REGION { TONE_SHADOWS = 0, TONE_MIDTONES = 1, TONE_HIGHLIGHTS = 2 };

// B = G = R = (11 B + 30 R + 59 G) / 100.
class CTevPixelGrayscale : public CTevSinglePixelProcessBase {
 public:
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
};

// Grey <= level: black, else white (level clamped to 0..255).
class CTevPixelThreshold : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelThreshold(int level);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_level;
};

// Adds an offset to each colour channel (clamped).
class CTevPixelAdjustRGB : public CTevSinglePixelProcessBase {
 public:
  CTevPixelAdjustRGB(int red, int green, int blue);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_red, m_green, m_blue;
};

// Scales the HSL hue and saturation by percentages (below 1 becomes 0;
// 100 keeps the component).
class CTevPixelHueSaturation : public CTevSinglePixelProcessBase {
 public:
  CTevPixelHueSaturation(int huePercent, int saturationPercent);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_hue, m_saturation;
};

// Recolours by grey value with the hue and saturation of a tone colour.
class CTevPixelColorTone : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelColorTone(RGBQUAD tone);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  BYTE m_r[256], m_g[256], m_b[256];
};

// Shifts the cyan-red, magenta-green and yellow-blue balance of one tone
// region through per-channel tables; optionally keeps each pixel's lightness.
class CTevPixelColorBalance : public CTevSinglePixelProcessBase {
 public:
  CTevPixelColorBalance(bool preserveLuminosity, TONE_REGION region, int cyanRed, int magentaGreen, int yellowBlue);
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  bool m_preserve;
  int m_amount[3][3] = {};  // [region][channel: 0 red, 1 green, 2 blue]
  BYTE m_table[3][256] = {};
};

// Stretches each channel's [min..max] to [0..255] (found on enter).
class CTevPixelAutoContrast : public CTevSinglePixelProcessBase {
 public:
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  BYTE m_table[3][256] = {};  // B, G, R
};

// Per-channel stretch that clips 0.5 % of the pixels at each end (found on
// enter), then lifts the saturation of the stretched colours by a tenth.
class CTevPixelAutoColorEnhance : public CTevSinglePixelProcessBase {
 public:
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  BYTE m_table[3][256] = {};  // B, G, R
};

// Maps [low..high] of the switched channels to [0..255]; with auto the
// bounds of each channel come from its histogram, clipping 0.006 of the
// pixels at each end. A channel whose low equals high is left unchanged.
class CTevPixelColorLevel : public CTevPixelBackupProcess {
 public:
  CTevPixelColorLevel(bool autoLevels, int low, int high, IMAGE_CHANNEL channels = CHANNEL_RGB);
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  // Bounds in use for channel 0 blue, 1 green, 2 red (after the walk).
  int GetLow(int channel) const { return channel >= 0 && channel < 3 ? m_low[channel] : 0; }
  int GetHigh(int channel) const { return channel >= 0 && channel < 3 ? m_high[channel] : 0; }
  // The histogram bounds for one channel's 256 counts.
  static void AutoBounds(const long long* counts, int& low, int& high);

 private:
  bool m_auto;
  int m_low[3], m_high[3];
  int m_channels;
  BYTE m_table[3][256] = {};
};

// Writes a colour (B, G, R); alpha too when it is not -1 and the image has
// 32 bits (clamped to 0..255).
class CTevPixelFillColor : public CTevSinglePixelProcessBase {
 public:
  CTevPixelFillColor(RGBQUAD colour, int alpha = -1);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  RGBQUAD m_colour;
  int m_alpha;
};

// Checkerboard of cells (below 2 becomes 1): even cells c1, odd cells c2.
class CTevPixelFillGrid : public CTevSinglePixelProcessBase {
 public:
  CTevPixelFillGrid(RGBQUAD c1, RGBQUAD c2, int cell);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  RGBQUAD m_c1, m_c2;
  int m_cell;
};

}  // namespace TevImageTransform
