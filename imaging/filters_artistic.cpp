// Noise and artistic effects.
#include "imaging/filters_artistic.h"

#include <cmath>
#include <cstring>

#include "imaging/obj_selection.h"

namespace TevImageTransform {

using namespace filter_detail;

CTevPixelAddRandomNoise::CTevPixelAddRandomNoise(int amount)
    : m_amount(std::clamp(amount, 0, 510)), m_random(CRandom::ClockSeed()) {}
CTevPixelAddRandomNoise::CTevPixelAddRandomNoise(int amount, int seed)
    : m_amount(std::clamp(amount, 0, 510)), m_random(std::uint32_t(seed)) {}
void CTevPixelAddRandomNoise::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  for (int c = 0; c < 3; ++c) p[c] = BYTE(Clamp255(p[c] + Round((m_random.Next() / 32767.0 - 0.5) * m_amount)));
}

CTevPixelNoisify::CTevPixelNoisify(int percent) : m_percent(std::clamp(percent, 0, 100)), m_random(CRandom::ClockSeed()) {}
void CTevPixelNoisify::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  const int sum = m_random.Next() + m_random.Next() + m_random.Next() + m_random.Next();
  const double g = sum * 5.28596089837e-5 - 3.46410161514;
  const int offset = int(g * m_percent * 127 / 100);
  for (int c = 0; c < 3; ++c) p[c] = BYTE(Clamp255(p[c] + offset));
}

CTevPixel3DGrid::CTevPixel3DGrid(int cell, int depth)
    : m_cell(cell < 2 ? 1 : std::min(cell, 65535)), m_depth(std::clamp(depth, -255, 255)) {}
void CTevPixel3DGrid::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  int shift = 0;
  if (x % m_cell == 0 || y % m_cell == 0) shift += m_depth;
  if ((x + 1) % m_cell == 0 || (y + 1) % m_cell == 0) shift -= m_depth;
  if (shift == 0) return;
  for (int c = 0; c < 3; ++c) p[c] = BYTE(Clamp255(p[c] + shift));
}

const BYTE CTevPixelHalftoneM3::kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};
void CTevPixelHalftoneM3::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  p[0] = p[1] = p[2] = kBayer[y & 7][x & 7] < Grey(p) / 4 ? 255 : 0;
}

namespace {
// Video patterns: width, height and per cell the lit channels (bit 1 red,
// 2 green, 4 blue, as IMAGE_CHANNEL).
struct VideoPattern {
  int width, height;
  BYTE cells[12];
};
const VideoPattern kVideoPatterns[CTevPixelVideo::VIDEO_TYPE_COUNT] = {
    {3, 1, {1, 2, 4}},
    {3, 2, {1, 2, 4, 2, 4, 1}},
    {6, 1, {1, 1, 2, 2, 4, 4}},
    {1, 2, {7, 0}},
    {3, 3, {1, 2, 4, 4, 1, 2, 2, 4, 1}},
};
}  // namespace

CTevPixelVideo::CTevPixelVideo(VIDEO_TYPE type) : m_type(std::clamp(int(type), 0, int(VIDEO_TYPE_COUNT) - 1)) {}
void CTevPixelVideo::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  const VideoPattern& pat = kVideoPatterns[m_type];
  const int lit = pat.cells[(y % pat.height) * pat.width + x % pat.width];
  if (!(lit & CHANNEL_BLUE)) p[0] = BYTE(p[0] / 3);
  if (!(lit & CHANNEL_GREEN)) p[1] = BYTE(p[1] / 3);
  if (!(lit & CHANNEL_RED)) p[2] = BYTE(p[2] / 3);
}

CTevPixelShift::CTevPixelShift(int amount)
    : m_amount(amount < 1 ? 0 : std::min(amount, 65535)), m_random(CRandom::ClockSeed()) {}
void CTevPixelShift::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  const int bpp = BytesPerPixel(image), w = image->Width();
  if (x == 0) {
    // A copy of the row as it was, then this row's distance.
    const BYTE* row = image->GetBits(y);
    m_row.assign(row, row + std::size_t(w) * bpp);
    m_offset = m_amount ? m_random.Next() % (2 * m_amount + 1) - m_amount : 0;
  }
  if (m_row.size() != std::size_t(w) * bpp) return;
  const int sx = std::clamp(x - m_offset, 0, w - 1);
  std::memcpy(p, m_row.data() + std::size_t(sx) * bpp, std::size_t(std::min(bpp, 3)));
}

CTevPixelIllusion::CTevPixelIllusion(int divisions) : m_divisions(std::clamp(divisions, 1, 64)) {}
void CTevPixelIllusion::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  if (!m_backup.IsValidImage()) return;
  const int w = m_backup.Width(), h = m_backup.Height(), bpp = BytesPerPixel(image);
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
  const double reach = std::hypot(cx, cy), offset = reach / 4.0;
  const double dx = x - cx, dy = y - cy, radius = std::hypot(dx, dy);
  if (reach <= 0) return;
  const double step = 2 * M_PI / m_divisions;
  const double angle = std::floor((std::atan2(dy, dx) + M_PI) / step) * step + step / 2;
  const int sx = std::clamp(Round(x - offset * std::cos(angle)), 0, w - 1);
  const int sy = std::clamp(Round(y - offset * std::sin(angle)), 0, h - 1);
  const BYTE* a = m_backup.GetBits(x, y);
  const BYTE* b = m_backup.GetBits(sx, sy);
  const double mix = std::min(1.0, radius / reach);
  for (int c = 0; c < std::min(bpp, 3); ++c) p[c] = BYTE(Clamp255(Round(a[c] * (1 - mix) + b[c] * mix)));
}

CTevPixelMosaic::CTevPixelMosaic(int block) : m_block(block < 3 ? 2 : std::min(block, 65535)) {}
bool CTevPixelMosaic::ValidateColorBits(const CTevObjImage* image) {
  return image && image->IsValidImage() && image->ColorBits() == 32;
}
void CTevPixelMosaic::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  m_cachedX = m_cachedY = -1;
}
void CTevPixelMosaic::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  if (!m_backup.IsValidImage()) return;
  const int bx = x / m_block, by = y / m_block;
  if (bx != m_cachedX || by != m_cachedY) {
    // The block's mean from the entry copy (so every pixel of the block,
    // covered by a selection or not, sees the same value).
    const int x0 = bx * m_block, y0 = by * m_block;
    const int x1 = std::min(x0 + m_block, m_backup.Width()), y1 = std::min(y0 + m_block, m_backup.Height());
    std::uint64_t sum[4] = {};
    for (int j = y0; j < y1; ++j) {
      const BYTE* s = m_backup.GetBits(x0, j);
      for (int i = x0; i < x1; ++i, s += 4)
        for (int c = 0; c < 4; ++c) sum[c] += s[c];
    }
    const std::uint64_t n = std::uint64_t(x1 - x0) * std::uint64_t(y1 - y0);
    for (int c = 0; c < 4; ++c) m_mean[c] = BYTE(sum[c] / n);
    m_cachedX = bx;
    m_cachedY = by;
  }
  std::memcpy(p, m_mean, 4);
}

CTevPixelFill3DSolidFrame::CTevPixelFill3DSolidFrame(int width) : m_width(width < 4 ? 3 : std::min(width, 65535)) {}
void CTevPixelFill3DSolidFrame::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  const int w = image->Width(), h = image->Height();
  const int d = std::min({x, y, w - 1 - x, h - 1 - y});
  if (d >= m_width) return;
  const int band = d * 3 / m_width;  // 0 outer, 1 middle, 2 inner
  // Upper-left side: the nearer edge is the top or the left one.
  const bool upperLeft = std::min(x, y) <= std::min(w - 1 - x, h - 1 - y) && (x < w - 1 - x || y < h - 1 - y);
  BYTE v = kMain;
  if (band == 0) v = upperLeft ? kHighlight : kShadow;
  if (band == 2) v = upperLeft ? kShadow : kHighlight;
  p[0] = p[1] = p[2] = v;
}

CTevPixelOilPaint::CTevPixelOilPaint(int radius) : m_radius(radius < 2 ? 1 : std::min(radius, 16)) {}
void CTevPixelOilPaint::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  if (!m_backup.IsValidImage()) return;
  const int w = m_backup.Width(), h = m_backup.Height(), bpp = BytesPerPixel(image);
  int count[32] = {};
  int sum[32][3] = {};
  for (int j = std::max(0, y - m_radius); j <= std::min(h - 1, y + m_radius); ++j) {
    const int i0 = std::max(0, x - m_radius), i1 = std::min(w - 1, x + m_radius);
    const BYTE* s = m_backup.GetBits(i0, j);
    for (int i = i0; i <= i1; ++i, s += bpp) {
      const int bin = Grey(s) >> 3;
      ++count[bin];
      sum[bin][0] += s[0];
      sum[bin][1] += s[1];
      sum[bin][2] += s[2];
    }
  }
  int best = 0;
  for (int b = 1; b < 32; ++b)
    if (count[b] > count[best]) best = b;
  if (!count[best]) return;
  for (int c = 0; c < 3; ++c) p[c] = BYTE(sum[best][c] / count[best]);
}

CTevPixelSplash::CTevPixelSplash(int size)
    : m_size(size < 4 ? 3 : std::min(size, 64)), m_random(CRandom::ClockSeed()) {}
void CTevPixelSplash::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  if (!m_backup.IsValidImage()) return;
  const int half = m_size / 2, span = 2 * half + 1, bpp = BytesPerPixel(image);
  const int sx = std::clamp(x + m_random.Next() % span - half, 0, m_backup.Width() - 1);
  const int sy = std::clamp(y + m_random.Next() % span - half, 0, m_backup.Height() - 1);
  std::memcpy(p, m_backup.GetBits(sx, sy), std::size_t(bpp));
}

CTevPixelSunspot::CTevPixelSunspot(int intensity, int horizontalPercent, int verticalPercent)
    : m_intensity(std::clamp(intensity, 0, 255)),
      m_horizontal(std::clamp(horizontalPercent, 0, 100)),
      m_vertical(std::clamp(verticalPercent, 0, 100)) {}
void CTevPixelSunspot::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  const int w = image->Width(), h = image->Height();
  m_cx = (w - 1) * double(m_horizontal) / 100.0;
  m_cy = std::floor((1.0 - m_vertical / 100.0) * (h - 1));
  m_d2 = 0;
  for (double cx : {0.0, double(w - 1)})
    for (double cy : {0.0, double(h - 1)})
      m_d2 = std::max(m_d2, (cx - m_cx) * (cx - m_cx) + (cy - m_cy) * (cy - m_cy));
}
void CTevPixelSunspot::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  const double d2 = (x - m_cx) * (x - m_cx) + (y - m_cy) * (y - m_cy);
  const int gain = int((1.0 - (m_d2 > 0 ? d2 / m_d2 : 0.0)) * m_intensity);
  for (int c = 0; c < 3; ++c) p[c] = BYTE(Clamp255(p[c] + gain));
}

CTevPixelGlasstile::CTevPixelGlasstile(int tileWidth, int tileHeight)
    : m_tileWidth(std::clamp(tileWidth, 2, 256)), m_tileHeight(std::clamp(tileHeight, 2, 256)) {}
int CTevPixelGlasstile::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!image || !m_backup.IsValidImage() || image->ColorBits() < 24) return 0;
  const int w = image->Width(), h = image->Height(), bpp = image->ColorBits() / 8;
  for (int y = 0; y < h; ++y) {
    const int oy = y % m_tileHeight;
    const int sy = std::clamp(y - oy + (m_tileHeight - 1 - oy), 0, h - 1);
    BYTE* d = image->GetBits(y);
    for (int x = 0; x < w; ++x, d += bpp) {
      const int ox = x % m_tileWidth;
      const int sx = std::clamp(x - ox + (m_tileWidth - 1 - ox), 0, w - 1);
      std::memcpy(d, m_backup.GetBits(sx, sy), std::size_t(bpp));
    }
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}
int CTevPixelGlasstile::ProcessSelectionImage(CTevObjImage* image, const POINT& pos,
                                              const CTevObjSelection& selection, CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

}  // namespace TevImageTransform
