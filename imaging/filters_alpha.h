// Processes on the alpha channel and compositing: transparency, colour and
// pattern overlays, edge alpha, alpha range, knockout, drop shadow, smooth
// edge and inner bevel.
#pragma once

#include <deque>

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// alpha = clamp(alpha - amount); on a selection amount x level / 255.
class CTevPixelTransparency : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelTransparency(int amount);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  void ProcessSelectedPixel(CTevObjImage* image, int x, int y, BYTE* pixel, BYTE level) override;

 private:
  int m_amount;
};

// Composites a colour (its fourth byte is the alpha) over every pixel by the
// CombineImage rule. 32 bits.
class CTevPixelCombineColor : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelCombineColor(RGBQUAD colour);
  bool ValidateColorBits(const CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  RGBQUAD m_colour;
};

// Tiles a pattern (24/32 bits, must outlive the walk) over a 32-bit image:
// composited with alpha level, or as relief: each channel -= (B' + G' + R'
// - 384) x level / 765.
class CTevPixelFillPattern : public CTevSinglePixelProcessBase {
 public:
  CTevPixelFillPattern(const CTevObjImage* pattern, int level, bool relief);
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  const CTevObjImage* m_pattern;
  int m_level;
  bool m_relief;
};

// Alpha below 24 becomes alpha x 10 when soften is set; every other alpha
// becomes 255 (24-bit images have no alpha and stay as they are).
class CTevPixelFindEdge : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelFindEdge(bool soften);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  bool m_soften;
};

// alpha = min(255, alpha x 100 / percent), 1 <= percent < 100. 32 bits.
class CTevPixelAdjustRange : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelAdjustRange(int percent);
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_percent;
  BYTE m_table[256] = {};
};

// alpha = (255 - mask alpha) x alpha / 255 (an empty mask keeps every
// alpha, a full one clears it); the mask is 32-bit of the
// image's size and must outlive the walk. 32 bits.
class CTevPixelKnockout : public CTevPixelWholeImageBase {
 public:
  explicit CTevPixelKnockout(const CTevObjImage& mask);
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 private:
  const CTevObjImage* m_mask;
};

// Parameters of a drop shadow.
struct SHADOWDATA {
  int dx = 4, dy = 4;         // offset of the shadow
  int softness = 3;           // blur radius, 0..64
  int transparency = 50;      // percent, 0 opaque .. 100 invisible
  COLORREF colour = 0;        // 0x00BBGGRR
};

// Puts a soft shadow of the picture's silhouette behind it, inside the
// picture's own rectangle. 32 bits.
class CTevPixelAddShadow : public CTevPixelWholeImageBase {
 public:
  explicit CTevPixelAddShadow(const SHADOWDATA& shadow);
  bool ValidateColorBits(const CTevObjImage* image) override;
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 private:
  SHADOWDATA m_shadow;
};

// Softens the alpha outline: every pixel on the edge between opaque (alpha
// >= 128) and transparent pixels is recorded as a halo point, then takes
// the mean alpha of its (2 radius + 1)^2 window (radius 1..16).
class CTevPixelSmoothEdge : public CTevPixelWholeImageBase {
 public:
  explicit CTevPixelSmoothEdge(int radius);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 protected:
  void RecordHaloPoint(int x, int y) { m_halo.push_back(POINT{x, y}); }
  void DrawHalo(CTevObjImage& image);

 private:
  static bool StageRow(CTevCommonProgress* progress, int y, int h);
  int m_radius;
  std::deque<POINT> m_halo;
};

// Lights the inside of the alpha outline (or of the border of a 24-bit
// picture) from the top left over width pixels (1..64): the upper-left side
// brightens and the lower-right side darkens by up to depth (0..255).
class CTevPixelInnerBevel : public CTevPixelWholeImageBase {
 public:
  CTevPixelInnerBevel(int width, int depth);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 private:
  int m_width, m_depth;
};

}  // namespace TevImageTransform
