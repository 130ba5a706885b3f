// The banner generators that render the text again for every frame: typing
// (the first k characters), scaling and turning (a copy of the text's
// generator at another scale and angle).
#include <algorithm>
#include <cmath>

#include "generators/banner_generators.h"

void CGenClipedEffectBanner::GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) {
  out.delay = m_settings.frameDelay;
  GenerateFullCanvasClip(i, count, enter, variant, out);
  CutToBanner(out);
}

bool CGenTypeBanner::Prepare() {
  CTextDibFactory* factory = TextFactory();
  if (!factory) return false;
  m_text = std::make_unique<TevCustomPathLibV::CTevTextObj>(factory->Text());
  if (!m_text->BuildGlyphPath() || !m_text->RebuildPaths()) return false;
  m_nCharacters = int(m_text->CharacterCount());
  return m_nCharacters > 0;
}

void CGenTypeBanner::GenerateFullCanvasClip(int i, int count, bool enter, int, CBannerClip& out) {
  ShiftLeave(i, count, enter);
  const long long n = m_nCharacters;
  const int k = int(std::floor(double(n * (enter ? i : count - i)) / count + 0.5));
  if (k <= 0) return;
  auto cached = m_cache.find(k);
  if (cached == m_cache.end()) {
    CTypeClipDib entry;
    // A part of the text is never larger than the text at rest.
    if (CheckPixels(m_w, m_h)) {
      DibPtr picture(m_text->RenderPartial(std::size_t(k), &entry.offset));
      ++m_nRenders;
      entry.picture = WrapPicture(std::move(picture));
    }
    cached = m_cache.emplace(k, entry).first;
  }
  const CTypeClipDib& part = cached->second;
  if (!part.picture) return;
  int x = m_settings.x0 + part.offset.x;
  if (m_settings.typeFromRight) x += m_w - DibWidth(part.picture->GetImage());
  out.first = CBannerSlot{part.picture, x, m_settings.y0 + part.offset.y, 0};
}

bool CGenRenderedBanner::Prepare() {
  if (!TextFactory() || m_w <= 0 || m_h <= 0) return false;
  const double W = m_settings.canvasWidth, H = m_settings.canvasHeight;
  m_m = (H / m_h + W / m_w) / 2;
  if (m_m < 1) m_m = 1.608;
  return true;
}

void CGenRenderedBanner::RenderAt(double s, double angle, CBannerClip& out) {
  CTextDibFactory* factory = TextFactory();
  if (!factory || !(s > 0) || !std::isfinite(s)) return;
  // The picture a turned text needs is at most its diagonal square, plus
  // room for the outline and edges.
  double w = 0, h = 0;
  factory->GetNaturalSize(w, h);
  const double margin = 8 + 2 * factory->Text().RenderProps().outlineWidth;
  const bool turned = std::fmod(angle, 360.0) != 0;
  const double side = std::hypot(w, h) * s + margin;
  if (!(turned ? CheckPixels(side, side) : CheckPixels(w * s + margin, h * s + margin))) return;
  auto copy = MakeRef<CTextDibFactory>(factory->Text());
  DibPtr picture(copy->Transform(s, s, angle));
  if (!picture) {
    // A text scaled past what its generator takes cannot be shown.
    if (s * std::max(copy->Text().ScaleX(), copy->Text().ScaleY()) > 1e3) m_bTooLarge = true;
    return;
  }
  const int w2 = DibWidth(picture.get()), h2 = DibHeight(picture.get());
  RefPtr<CDib> object = WrapPicture(std::move(picture), copy);
  if (!object) return;
  out.first = CBannerSlot{object, m_settings.x0 + (m_w - w2) / 2, m_settings.y0 + (m_h - h2) / 2, 0};
}

namespace {

// The scale of clip i for the grow (variant 1) and shrink kinds: growing
// enters from nothing and leaves toward m; shrinking enters from m and leaves
// toward nothing.
double GrowShrinkScale(int i, int count, bool enter, int variant, double m) {
  if (variant == 1) return enter ? double(i) / count : 1 + i * (m - 1) / count;
  return enter ? 1 + (m - 1) * (count - i) / count : double(count - i) / count;
}

}  // namespace

void CGenScaleBanner::GenerateFullCanvasClip(int i, int count, bool enter, int variant, CBannerClip& out) {
  ShiftLeave(i, count, enter);
  const double s = GrowShrinkScale(i, count, enter, variant, m_m);
  RenderAt(s, TextFactory()->GetAngle(), out);
}

void CGenTransformBanner::GenerateFullCanvasClip(int i, int count, bool enter, int variant, CBannerClip& out) {
  ShiftLeave(i, count, enter);
  const double s = GrowShrinkScale(i, count, enter, variant, m_m);
  // One full turn across the phase: entering it ends at the text's own
  // angle, leaving it starts there.
  const double a = enter ? (count > 1 ? 360.0 * (i - 1) / (count - 1) : 0.0) : 360.0 * i / count;
  double angle = TextFactory()->GetAngle() - a;
  if (angle < 0) angle += 360;
  RenderAt(s, std::trunc(angle), out);
}
