// Colour adjustments and fills.
#include "imaging/filters_color.h"

#include <cmath>
#include <cstring>

#include "imaging/filter_support.h"

namespace TevImageTransform {

using namespace filter_detail;

void CTevPixelGrayscale::ProcessPixel(CTevObjImage*, int, int, BYTE* p) { p[0] = p[1] = p[2] = BYTE(Grey(p)); }

CTevPixelThreshold::CTevPixelThreshold(int level) : m_level(Clamp255(level)) {}
void CTevPixelThreshold::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  p[0] = p[1] = p[2] = Grey(p) <= m_level ? 0 : 255;
}

CTevPixelAdjustRGB::CTevPixelAdjustRGB(int red, int green, int blue)
    : m_red(std::clamp(red, -255, 255)), m_green(std::clamp(green, -255, 255)), m_blue(std::clamp(blue, -255, 255)) {}
void CTevPixelAdjustRGB::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  p[0] = BYTE(Clamp255(p[0] + m_blue));
  p[1] = BYTE(Clamp255(p[1] + m_green));
  p[2] = BYTE(Clamp255(p[2] + m_red));
}

CTevPixelHueSaturation::CTevPixelHueSaturation(int huePercent, int saturationPercent)
    : m_hue(huePercent < 1 ? 0 : huePercent), m_saturation(saturationPercent < 1 ? 0 : saturationPercent) {}
void CTevPixelHueSaturation::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  double h, s, l;
  RgbToHsl(p[2], p[1], p[0], h, s, l);
  if (m_hue != 100) h = h * m_hue / 100.0;
  // Saturation above 1 is not capped here: the channels are clamped after
  // the conversion back, which drives strong colours to their extremes.
  if (m_saturation != 100) s = s * m_saturation / 100.0;
  int r, g, b;
  HslToRgb(h, s, l, r, g, b);
  p[0] = BYTE(b);
  p[1] = BYTE(g);
  p[2] = BYTE(r);
}

CTevPixelColorTone::CTevPixelColorTone(RGBQUAD tone) {
  double h, s, l;
  RgbToHsl(tone.rgbRed, tone.rgbGreen, tone.rgbBlue, h, s, l);
  for (int g = 0; g < 256; ++g) {
    int r, gg, b;
    HslToRgb(h, s, g / 255.0, r, gg, b);
    m_r[g] = BYTE(r * g / 255);
    m_g[g] = BYTE(gg * g / 255);
    m_b[g] = BYTE(b * g / 255);
  }
}
void CTevPixelColorTone::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  const int g = Grey(p);
  p[0] = m_b[g];
  p[1] = m_g[g];
  p[2] = m_r[g];
}

CTevPixelColorBalance::CTevPixelColorBalance(bool preserveLuminosity, TONE_REGION region, int cyanRed,
                                             int magentaGreen, int yellowBlue)
    : m_preserve(preserveLuminosity) {
  const int r = std::clamp(int(region), 0, 2);
  m_amount[r][0] = std::clamp(cyanRed, -100, 100);
  m_amount[r][1] = std::clamp(magentaGreen, -100, 100);
  m_amount[r][2] = std::clamp(yellowBlue, -100, 100);
}

void CTevPixelColorBalance::OnEnterProcess(CTevObjImage*) {
  double low[256], mid[256];
  for (int i = 0; i < 256; ++i) {
    low[i] = 1.075 - 1.0 / (i / 16.0 + 1.0);
    const double t = (i - 127.0) / 127.0;
    mid[i] = 0.667 * (1.0 - t * t);
  }
  // Adding and subtracting curve of each region, indexed by value.
  auto curve = [&](int region, bool add, int v) -> double {
    switch (region) {
      case TONE_SHADOWS: return add ? mid[v] : low[255 - v];
      case TONE_MIDTONES: return mid[v];
      default: return add ? low[v] : mid[v];
    }
  };
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) {
      int v = i;
      for (int region = 0; region < 3; ++region) {
        const int amount = m_amount[region][c];
        v = Clamp255(v + int(amount * curve(region, amount > 0, v)));
      }
      m_table[c][i] = BYTE(v);
    }
}

void CTevPixelColorBalance::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  int r = m_table[0][p[2]], g = m_table[1][p[1]], b = m_table[2][p[0]];
  if (m_preserve) {
    const int mx = std::max({int(p[0]), int(p[1]), int(p[2])}), mn = std::min({int(p[0]), int(p[1]), int(p[2])});
    double h, s, l;
    RgbToHsl(r, g, b, h, s, l);
    HslToRgb(h, s, (mx + mn) / 2.0 / 255.0, r, g, b);
  }
  p[0] = BYTE(b);
  p[1] = BYTE(g);
  p[2] = BYTE(r);
}

namespace {
// Per-channel histograms (B, G, R) of a 24/32-bit image.
void Histograms(const CTevObjImage* image, long long counts[3][256]) {
  std::memset(counts, 0, sizeof(long long) * 3 * 256);
  const int bpp = BytesPerPixel(image);
  if (!image || bpp < 3) return;
  for (int y = 0; y < image->Height(); ++y) {
    const BYTE* p = image->GetBits(y);
    for (int x = 0; x < image->Width(); ++x, p += bpp) {
      ++counts[0][p[0]];
      ++counts[1][p[1]];
      ++counts[2][p[2]];
    }
  }
}

void StretchTable(BYTE* table, int low, int high) {
  for (int v = 0; v < 256; ++v)
    table[v] = high > low ? BYTE(Clamp255((v - low) * 255 / (high - low))) : BYTE(v);
}
}  // namespace

void CTevPixelAutoContrast::OnEnterProcess(CTevObjImage* image) {
  long long counts[3][256];
  Histograms(image, counts);
  for (int c = 0; c < 3; ++c) {
    int mn = 0, mx = 255;
    while (mn < 255 && counts[c][mn] == 0) ++mn;
    while (mx > 0 && counts[c][mx] == 0) --mx;
    StretchTable(m_table[c], mn, mx);
  }
}
void CTevPixelAutoContrast::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  p[0] = m_table[0][p[0]];
  p[1] = m_table[1][p[1]];
  p[2] = m_table[2][p[2]];
}

void CTevPixelAutoColorEnhance::OnEnterProcess(CTevObjImage* image) {
  long long counts[3][256];
  Histograms(image, counts);
  for (int c = 0; c < 3; ++c) {
    long long total = 0;
    for (int v = 0; v < 256; ++v) total += counts[c][v];
    const long long clip = total / 200;
    int low = 0, high = 255;
    for (long long s = 0; low < 255 && s + counts[c][low] <= clip; ++low) s += counts[c][low];
    for (long long s = 0; high > 0 && s + counts[c][high] <= clip; --high) s += counts[c][high];
    StretchTable(m_table[c], low, high);
  }
}
void CTevPixelAutoColorEnhance::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  int b = m_table[0][p[0]], g = m_table[1][p[1]], r = m_table[2][p[2]];
  // A tenth more colour: each channel moves away from the grey value.
  const int grey = (11 * b + 30 * r + 59 * g) / 100;
  p[0] = BYTE(Clamp255(b + (b - grey) / 10));
  p[1] = BYTE(Clamp255(g + (g - grey) / 10));
  p[2] = BYTE(Clamp255(r + (r - grey) / 10));
}

CTevPixelColorLevel::CTevPixelColorLevel(bool autoLevels, int low, int high, IMAGE_CHANNEL channels)
    : m_auto(autoLevels), m_channels(channels & CHANNEL_RGB) {
  for (int c = 0; c < 3; ++c) {
    m_low[c] = Clamp255(low);
    m_high[c] = Clamp255(high);
  }
}

void CTevPixelColorLevel::AutoBounds(const long long* counts, int& low, int& high) {
  int first = 0, last = 255;
  while (first < 256 && counts[first] == 0) ++first;
  while (last >= 0 && counts[last] == 0) --last;
  long long total = 0;
  for (int v = first; v <= last; ++v) total += counts[v];
  low = high = 0;
  if (first > last || total == 0) return;
  const double clip = 0.006;
  // The running sum starts before value 0, so a histogram whose lowest bin
  // already holds more than the clip fraction keeps its lowest value.
  low = 0;
  double s = 0.0;
  for (int v = -1; v < 255; ++v) {
    const double next = s + double(counts[v + 1]) / double(total);
    if (std::fabs(next - clip) > std::fabs(s - clip)) {
      low = v + 1;
      break;
    }
    s = next;
  }
  high = 255;
  s = 0.0;
  for (int v = 256; v > 0; --v) {
    const double next = s + double(counts[v - 1]) / double(total);
    if (std::fabs(next - clip) > std::fabs(s - clip)) {
      high = v - 1;
      break;
    }
    s = next;
  }
}

void CTevPixelColorLevel::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  if (m_auto) {
    long long counts[3][256];
    Histograms(image, counts);
    for (int c = 0; c < 3; ++c) AutoBounds(counts[c], m_low[c], m_high[c]);
  }
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) {
      const int low = m_low[c], high = m_high[c];
      m_table[c][v] = high == low ? BYTE(v) : BYTE(Clamp255(Round(double(v - low) * 255.0 / (high - low))));
    }
}

void CTevPixelColorLevel::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  if (m_channels & CHANNEL_BLUE) p[0] = m_table[0][p[0]];
  if (m_channels & CHANNEL_GREEN) p[1] = m_table[1][p[1]];
  if (m_channels & CHANNEL_RED) p[2] = m_table[2][p[2]];
}

CTevPixelFillColor::CTevPixelFillColor(RGBQUAD colour, int alpha) : m_colour(colour), m_alpha(alpha) {}
void CTevPixelFillColor::ProcessPixel(CTevObjImage* image, int, int, BYTE* p) {
  p[0] = m_colour.rgbBlue;
  p[1] = m_colour.rgbGreen;
  p[2] = m_colour.rgbRed;
  if (m_alpha != -1 && image && image->ColorBits() == 32) p[3] = BYTE(Clamp255(m_alpha));
}

CTevPixelFillGrid::CTevPixelFillGrid(RGBQUAD c1, RGBQUAD c2, int cell) : m_c1(c1), m_c2(c2), m_cell(cell < 2 ? 1 : cell) {}
void CTevPixelFillGrid::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  const RGBQUAD& c = ((x / m_cell + y / m_cell) % 2 == 0) ? m_c1 : m_c2;
  p[0] = c.rgbBlue;
  p[1] = c.rgbGreen;
  p[2] = c.rgbRed;
}

}  // namespace TevImageTransform
