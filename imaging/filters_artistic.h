// Noise and artistic effects: random noise, noisify, raised grid, ordered
// halftone, video lines, row shift, illusion, mosaic, raised frame, oil
// paint, splash, light spot and glass tiles.
#pragma once

#include <vector>

#include "imaging/filter_support.h"
#include "imaging/pixel_process.h"

namespace TevImageTransform {

// Each channel gains its own offset round((rand / 32767 - 0.5) x amount).
// Without a seed the generator starts from the clock.
class CTevPixelAddRandomNoise : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelAddRandomNoise(int amount);
  CTevPixelAddRandomNoise(int amount, int seed);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_amount;
  filter_detail::CRandom m_random;
};

// One Gaussian-like offset per pixel, trunc(g x percent x 127 / 100), with
// g = (sum of four rand values) x 5.28596089837e-5 - 3.46410161514, added
// to B, G and R. percent is clamped to 0..100; seeded from the clock.
class CTevPixelNoisify : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelNoisify(int percent);
  void SetSeed(int seed) { m_random.Seed(std::uint32_t(seed)); }
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_percent;
  filter_detail::CRandom m_random;
};

// Raised grid lines every cell pixels (below 2 becomes 1): the first row and
// column of each cell lighten by depth, the last ones darken by depth.
class CTevPixel3DGrid : public CTevSinglePixelProcessBase {
 public:
  CTevPixel3DGrid(int cell, int depth);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_cell, m_depth;
};

// Black and white by the 8 x 8 Bayer matrix: white where
// Bayer[y mod 8][x mod 8] < grey / 4.
class CTevPixelHalftoneM3 : public CTevSinglePixelProcessBase {
 public:
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  static const BYTE kBayer[8][8];
};

// Overlays a video-line pattern: each pattern cell keeps its lit channels
// and dims the others to a third.
class CTevPixelVideo : public CTevSinglePixelProcessBase {
 public:
  enum VIDEO_TYPE {
    VIDEO_STRIPES = 0,        // R, G, B columns
    VIDEO_STAGGERED = 1,      // R, G, B cells shifted every other row
    VIDEO_WIDE_STRIPES = 2,   // double-width columns
    VIDEO_SCANLINES = 3,      // every other row dimmed
    VIDEO_SHADOW_MASK = 4,    // diagonal triads
    VIDEO_TYPE_COUNT = 5,
  };
  explicit CTevPixelVideo(VIDEO_TYPE type);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_type;
};

// Moves each row sideways by its own random distance of up to amount
// pixels (below 1 becomes 0), repeating the edge pixels; seeded from the clock.
class CTevPixelShift : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelShift(int amount);
  void SetSeed(int seed) { m_random.Seed(std::uint32_t(seed)); }
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_amount;
  int m_offset = 0;
  filter_detail::CRandom m_random;
  std::vector<BYTE> m_row;
};

// Mixes each pixel with a copy of the picture moved outwards by a quarter
// of the centre's distance, in one of divisions (1..64) directions chosen by
// the pixel's angle around the centre; the mix grows from the centre out.
class CTevPixelIllusion : public CTevPixelBackupProcess {
 public:
  explicit CTevPixelIllusion(int divisions);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_divisions;
};

// Blocks of block x block pixels (below 3 becomes 2) take their mean. 32 bits.
class CTevPixelMosaic : public CTevPixelBackupProcess {
 public:
  explicit CTevPixelMosaic(int block);
  bool ValidateColorBits(const CTevObjImage* image) override;
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_block;
  int m_cachedX = -1, m_cachedY = -1;
  BYTE m_mean[4] = {};
};

// A raised frame of width pixels (below 4 becomes 3) along the border: an
// outer third in highlight (top, left) or shadow (bottom, right), a middle
// third in the main colour and an inner third the other way round.
class CTevPixelFill3DSolidFrame : public CTevPixelBackupProcess {
 public:
  explicit CTevPixelFill3DSolidFrame(int width);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  static constexpr BYTE kHighlight = 240, kMain = 192, kShadow = 96;

 private:
  int m_width;
};

// Oil paint: the mean colour of the most frequent grey level (in 32 bins)
// of the (2 radius + 1)^2 window (radius below 2 becomes 1, at most 16).
class CTevPixelOilPaint : public CTevPixelBackupProcess {
 public:
  explicit CTevPixelOilPaint(int radius);
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_radius;
};

// Each pixel takes a random neighbour within size / 2 (size below 4 becomes
// 3, at most 64); seeded from the clock.
class CTevPixelSplash : public CTevPixelBackupProcess {
 public:
  explicit CTevPixelSplash(int size);
  void SetSeed(int seed) { m_random.Seed(std::uint32_t(seed)); }
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_size;
  filter_detail::CRandom m_random;
};

// A light spot: centre cx = (width - 1) x h% / 100, cy = floor((1 - v% /
// 100) x (height - 1)); each pixel gains trunc((1 - d^2 / D^2) x intensity)
// on R, G and B, D being the farthest corner's distance from the centre.
class CTevPixelSunspot : public CTevPixelBackupProcess {
 public:
  CTevPixelSunspot(int intensity, int horizontalPercent, int verticalPercent);
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_intensity, m_horizontal, m_vertical;
  double m_cx = 0, m_cy = 0, m_d2 = 0;
};

// Glass tiles of tileWidth x tileHeight (each 2..256): inside each tile the
// picture is mirrored about the tile's centre line, as seen through ribbed glass.
class CTevPixelGlasstile : public CTevPixelWholeImageBase {
 public:
  CTevPixelGlasstile(int tileWidth, int tileHeight);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;
  int ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                            CTevCommonProgress* progress) override;

 private:
  int m_tileWidth, m_tileHeight;
};

}  // namespace TevImageTransform
