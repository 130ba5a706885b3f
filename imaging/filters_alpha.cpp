// Alpha-channel processes and compositing.
#include "imaging/filters_alpha.h"

#include <cstring>
#include <vector>

#include "imaging/filter_support.h"
#include "imaging/obj_selection.h"
#include "imaging/shadow_builder.h"

namespace TevImageTransform {

using namespace filter_detail;

namespace {
bool Is32(const CTevObjImage* image) { return image && image->IsValidImage() && image->ColorBits() == 32; }
}  // namespace

CTevPixelTransparency::CTevPixelTransparency(int amount) : m_amount(std::clamp(amount, -255, 255)) {}
void CTevPixelTransparency::ProcessPixel(CTevObjImage* image, int, int, BYTE* p) {
  if (image->ColorBits() == 32) p[3] = BYTE(Clamp255(p[3] - m_amount));
}
void CTevPixelTransparency::ProcessSelectedPixel(CTevObjImage* image, int, int, BYTE* p, BYTE level) {
  if (image->ColorBits() == 32) p[3] = BYTE(Clamp255(p[3] - level * m_amount / 255));
}

CTevPixelCombineColor::CTevPixelCombineColor(RGBQUAD colour) : m_colour(colour) {}
bool CTevPixelCombineColor::ValidateColorBits(const CTevObjImage* image) { return Is32(image); }
void CTevPixelCombineColor::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  const BYTE s[3] = {m_colour.rgbBlue, m_colour.rgbGreen, m_colour.rgbRed};
  CombinePixel(p, s, m_colour.rgbReserved);
}

CTevPixelFillPattern::CTevPixelFillPattern(const CTevObjImage* pattern, int level, bool relief)
    : m_pattern(pattern), m_level(Clamp255(level)), m_relief(relief) {}
bool CTevPixelFillPattern::ValidateColorBits(const CTevObjImage* image) {
  return Is32(image) && m_pattern && m_pattern->IsValidImage() && m_pattern->ColorBits() >= 24;
}
bool CTevPixelFillPattern::ValidateColorBits_Selection(const CTevObjImage* image) { return ValidateColorBits(image); }
void CTevPixelFillPattern::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  const BYTE* s = m_pattern->GetBits(x % m_pattern->Width(), y % m_pattern->Height());
  if (!s) return;
  if (!m_relief) {
    CombinePixel(p, s, m_level);
    return;
  }
  const int shift = (s[0] + s[1] + s[2] - 384) * m_level / 765;
  for (int c = 0; c < 3; ++c) p[c] = BYTE(Clamp255(p[c] - shift));
}

CTevPixelFindEdge::CTevPixelFindEdge(bool soften) : m_soften(soften) {}
void CTevPixelFindEdge::ProcessPixel(CTevObjImage* image, int, int, BYTE* p) {
  if (image->ColorBits() != 32) return;
  p[3] = (m_soften && p[3] < 24) ? BYTE(p[3] * 10) : 255;
}

CTevPixelAdjustRange::CTevPixelAdjustRange(int percent) : m_percent(percent) {}
bool CTevPixelAdjustRange::ValidateColorBits(const CTevObjImage* image) {
  return Is32(image) && m_percent >= 1 && m_percent < 100;
}
bool CTevPixelAdjustRange::ValidateColorBits_Selection(const CTevObjImage* image) { return ValidateColorBits(image); }
void CTevPixelAdjustRange::OnEnterProcess(CTevObjImage*) {
  const int percent = std::clamp(m_percent, 1, 100);
  for (int v = 0; v < 256; ++v) m_table[v] = BYTE(std::min(255, v * 100 / percent));
}
void CTevPixelAdjustRange::ProcessPixel(CTevObjImage*, int, int, BYTE* p) { p[3] = m_table[p[3]]; }

CTevPixelKnockout::CTevPixelKnockout(const CTevObjImage& mask) : m_mask(&mask) {}
bool CTevPixelKnockout::ValidateColorBits(const CTevObjImage* image) {
  return Is32(image) && Is32(m_mask) && m_mask->Width() == image->Width() && m_mask->Height() == image->Height();
}
bool CTevPixelKnockout::ValidateColorBits_Selection(const CTevObjImage* image) { return ValidateColorBits(image); }
int CTevPixelKnockout::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!ValidateColorBits(image)) return 0;
  const int w = image->Width(), h = image->Height();
  for (int y = 0; y < h; ++y) {
    BYTE* d = image->GetBits(y);
    const BYTE* m = m_mask->GetBits(y);
    for (int x = 0; x < w; ++x, d += 4, m += 4) d[3] = BYTE((255 - m[3]) * d[3] / 255);
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}
int CTevPixelKnockout::ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                                             CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

CTevPixelAddShadow::CTevPixelAddShadow(const SHADOWDATA& shadow) : m_shadow(shadow) {
  m_shadow.softness = std::clamp(m_shadow.softness, 0, 64);
  m_shadow.transparency = std::clamp(m_shadow.transparency, 0, 100);
  m_shadow.dx = std::clamp(m_shadow.dx, -kMaxDibDimension, kMaxDibDimension);
  m_shadow.dy = std::clamp(m_shadow.dy, -kMaxDibDimension, kMaxDibDimension);
}
bool CTevPixelAddShadow::ValidateColorBits(const CTevObjImage* image) { return Is32(image); }
int CTevPixelAddShadow::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!Is32(image) || !m_backup.IsValidImage()) return 0;
  const int w = image->Width(), h = image->Height(), soft = m_shadow.softness;
  DibPtr shadowDib(CreateParallelShadow(m_backup.GetImageBits(), m_shadow.colour, 1.0, soft));
  CTevObjImage shadow;
  if (!shadowDib || !shadow.Attach(shadowDib.get())) return 0;
  const int opacity = 100 - m_shadow.transparency;
  const int ox = m_shadow.dx - soft, oy = m_shadow.dy - soft;
  for (int y = 0; y < h; ++y) {
    BYTE* d = image->GetBits(y);
    for (int x = 0; x < w; ++x, d += 4) {
      const BYTE* s = shadow.GetBits(x - ox, y - oy);
      const BYTE* o = m_backup.GetBits(x, y);
      if (s) {
        std::memcpy(d, s, 3);
        d[3] = BYTE(s[3] * opacity / 100);
      } else {
        std::memset(d, 0, 4);
      }
      CombinePixel(d, o, o[3]);
    }
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}
int CTevPixelAddShadow::ProcessSelectionImage(CTevObjImage* image, const POINT& pos,
                                              const CTevObjSelection& selection, CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

CTevPixelSmoothEdge::CTevPixelSmoothEdge(int radius) : m_radius(std::clamp(radius, 1, 16)) {}
int CTevPixelSmoothEdge::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!image || !m_backup.IsValidImage()) return 0;
  if (image->ColorBits() != 32) return 1;  // no alpha outline to smooth
  const int w = image->Width(), h = image->Height();
  m_halo.clear();
  auto opaque = [&](int x, int y) { return m_backup.GetBits(x, y)[3] >= 128; };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool o = opaque(x, y);
      if ((x > 0 && opaque(x - 1, y) != o) || (x + 1 < w && opaque(x + 1, y) != o) ||
          (y > 0 && opaque(x, y - 1) != o) || (y + 1 < h && opaque(x, y + 1) != o))
        RecordHaloPoint(x, y);
    }
    if (!StageRow(progress, y, h)) return 0;
  }
  DrawHalo(*image);
  if (progress) progress->SetProgress(1.0f);
  return progress && progress->IsCancelled() ? 0 : 1;
}
bool CTevPixelSmoothEdge::StageRow(CTevCommonProgress* progress, int y, int h) {
  // The scan is the long part; the halo drawing reports the last percent.
  return ReportProgressStep(progress, (long long)(y + 1) * 99, (long long)h * 100);
}
void CTevPixelSmoothEdge::DrawHalo(CTevObjImage& image) {
  const int w = image.Width(), h = image.Height(), r = m_radius;
  while (!m_halo.empty()) {
    const POINT pt = m_halo.front();
    m_halo.pop_front();
    int sum = 0, n = 0;
    for (int j = std::max(0, int(pt.y) - r); j <= std::min(h - 1, int(pt.y) + r); ++j)
      for (int i = std::max(0, int(pt.x) - r); i <= std::min(w - 1, int(pt.x) + r); ++i, ++n)
        sum += m_backup.GetBits(i, j)[3];
    if (BYTE* d = image.GetBits(pt.x, pt.y)) d[3] = BYTE(n ? sum / n : d[3]);
  }
}
int CTevPixelSmoothEdge::ProcessSelectionImage(CTevObjImage* image, const POINT& pos,
                                               const CTevObjSelection& selection, CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

CTevPixelInnerBevel::CTevPixelInnerBevel(int width, int depth)
    : m_width(std::clamp(width, 1, 64)), m_depth(std::clamp(depth, 0, 255)) {}
int CTevPixelInnerBevel::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!image || !m_backup.IsValidImage() || image->ColorBits() < 24) return 0;
  const int w = image->Width(), h = image->Height(), bpp = image->ColorBits() / 8, cap = m_width * 3;
  // Chamfer distance (3 per step, 4 per diagonal) to the nearest transparent
  // pixel, counting everything outside the picture as transparent.
  std::vector<int> dist(std::size_t(w) * h);
  auto at = [&](int x, int y) -> int {
    if (x < 0 || y < 0 || x >= w || y >= h) return 0;
    return dist[std::size_t(y) * w + x];
  };
  for (int y = 0; y < h; ++y) {
    const BYTE* p = m_backup.GetBits(y);
    for (int x = 0; x < w; ++x, p += bpp) {
      const bool solid = bpp < 4 || p[3] >= 128;
      int d = solid ? cap : 0;
      if (solid) d = std::min({d, at(x - 1, y) + 3, at(x, y - 1) + 3, at(x - 1, y - 1) + 4, at(x + 1, y - 1) + 4});
      dist[std::size_t(y) * w + x] = d;
    }
  }
  for (int y = h - 1; y >= 0; --y)
    for (int x = w - 1; x >= 0; --x) {
      int& d = dist[std::size_t(y) * w + x];
      if (d) d = std::min({d, at(x + 1, y) + 3, at(x, y + 1) + 3, at(x + 1, y + 1) + 4, at(x - 1, y + 1) + 4});
    }
  for (int y = 0; y < h; ++y) {
    BYTE* p = image->GetBits(y);
    for (int x = 0; x < w; ++x, p += bpp) {
      const int d = at(x, y);
      if (d == 0 || d >= cap) continue;
      // The distance grows inwards; its slope towards the lower right is
      // positive on the upper-left rim, which faces the light.
      const int slope = (at(x + 1, y) - at(x - 1, y)) + (at(x, y + 1) - at(x, y - 1));
      const int sign = slope > 0 ? 1 : (slope < 0 ? -1 : 0);
      const int shade = sign * m_depth * (cap - d) / cap;
      for (int c = 0; c < 3; ++c) p[c] = BYTE(Clamp255(p[c] + shade));
    }
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}
int CTevPixelInnerBevel::ProcessSelectionImage(CTevObjImage* image, const POINT& pos,
                                               const CTevObjSelection& selection, CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

}  // namespace TevImageTransform
