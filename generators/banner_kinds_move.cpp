// The banner generators that move, fade or blink the text picture itself
// (slider, still, fade, flash) or two half-tone parts of it (merge), and the
// parts every generator shares.
#include <algorithm>

#include "companions/dibkernel/dib_kernel.h"
#include "generators/banner_generators.h"

namespace {

// product / count in single precision, truncated toward zero.
int TruncDiv(long long product, int count) { return int(float(product) / float(count)); }

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

CGenEffectBanner::CGenEffectBanner(const BannerSettings& settings) : m_settings(settings) {
  if (settings.text && settings.text->GetImage()) {
    m_w = DibWidth(settings.text->GetImage());
    m_h = DibHeight(settings.text->GetImage());
  }
}

void CGenEffectBanner::ShiftLeave(int& i, int& count, bool enter) const {
  if (enter || m_settings.enterEnabled) return;
  --i;
  if (count > 1) --count;
}

CTextDibFactory* CGenEffectBanner::TextFactory() const {
  return m_settings.text ? dynamic_cast<CTextDibFactory*>(m_settings.text->m_pFactory.get()) : nullptr;
}

bool CGenEffectBanner::CheckPixels(double w, double h) {
  if (w * h > double(kMaxBannerPicturePixels)) m_bTooLarge = true;
  return !m_bTooLarge;
}

RefPtr<CDib> CGenEffectBanner::WrapPicture(DibPtr picture, RefPtr<CDibFactory> factory) {
  if (!picture) return nullptr;
  auto object = MakeRef<CDib>(std::move(picture), factory ? OBJECT_TEXT : OBJECT_RASTER);
  if (!object->GetImage()) return nullptr;
  object->m_pFactory = std::move(factory);
  const CDib& text = *m_settings.text;
  object->m_nShadowKind = text.m_nShadowKind;
  object->m_nShadowDistX = text.m_nShadowDistX;
  object->m_nShadowDistY = text.m_nShadowDistY;
  object->m_byShadowRatio = text.m_byShadowRatio;
  object->m_byShadowTransparency = text.m_byShadowTransparency;
  object->m_byShadowSoftness = text.m_byShadowSoftness;
  object->m_clrShadow = text.m_clrShadow;
  object->m_nPerspectiveAngle = text.m_nPerspectiveAngle;
  object->m_nPerspectiveLength = text.m_nPerspectiveLength;
  if (text.HasShadow()) object->BuildShadow();
  m_nBytes += (long long)DibImageBytes(object->GetImage());
  if (object->GetShadowImage()) m_nBytes += (long long)DibImageBytes(object->GetShadowImage());
  if (m_nBytes > kMaxBannerTotalBytes) m_bTooLarge = true;
  return object;
}

void CGenEffectBanner::CutToBanner(CBannerClip& clip) {
  const RECT canvas{0, 0, m_settings.canvasWidth, m_settings.canvasHeight};
  const RECT area = Intersect(m_settings.bannerRect, canvas);
  if (area == canvas) return;
  for (CBannerSlot* slot : {&clip.first, &clip.second}) {
    if (!slot->picture || !slot->picture->GetImage()) continue;
    const CDib& pic = *slot->picture;
    const auto key = std::make_tuple(slot->picture.get(), slot->x, slot->y);
    auto found = m_cut.find(key);
    if (found == m_cut.end()) {
      // The box of the picture and its shadow, cut to the banner area.
      const BITMAPINFOHEADER* image = pic.GetImage();
      const BITMAPINFOHEADER* shadow = pic.GetShadowImage();
      RECT box{slot->x, slot->y, slot->x + DibWidth(image), slot->y + DibHeight(image)};
      const POINT shadowAt{slot->x + pic.m_nShadowPosX, slot->y + pic.m_nShadowPosY};
      if (shadow)
        box = RECT{std::min(box.left, shadowAt.x), std::min(box.top, shadowAt.y),
                   std::max(box.right, shadowAt.x + DibWidth(shadow)),
                   std::max(box.bottom, shadowAt.y + DibHeight(shadow))};
      const RECT cut = Intersect(box, area);
      CBannerSlot result;
      if (!IsEmpty(cut)) {
        DibPtr merged(CDIB32::CreateBlank32BitsDIB(cut.right - cut.left, cut.bottom - cut.top));
        if (merged) {
          const POINT origin{-cut.left, -cut.top};
          if (shadow) CDIB32::BitBlt32DIB(merged.get(), origin, shadow, shadowAt, pic.m_byShadowTransparency);
          CDIB32::BitBlt32DIB(merged.get(), origin, image, POINT{slot->x, slot->y}, 0);
          m_nBytes += (long long)DibImageBytes(merged.get());
          if (m_nBytes > kMaxBannerTotalBytes) m_bTooLarge = true;
          result.picture = MakeRef<CDib>(std::move(merged), OBJECT_RASTER);
          result.x = cut.left;
          result.y = cut.top;
        }
      }
      // The source stays referenced so that its address is not reused while cached.
      found = m_cut.emplace(key, std::make_pair(slot->picture, result)).first;
    }
    const int transparency = slot->transparency;
    *slot = found->second.second;
    slot->transparency = transparency;
  }
}

void CGenSliderBanner::GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) {
  ShiftLeave(i, count, enter);
  const BannerSettings& s = m_settings;
  const int W = s.canvasWidth, H = s.canvasHeight, x0 = s.x0, y0 = s.y0;
  int x = x0, y = y0;
  switch (variant) {
    case 0: x = enter ? W - TruncDiv((long long)(W - x0) * i, count) : x0 - TruncDiv((long long)(x0 + m_w) * i, count); break;
    case 1: x = enter ? TruncDiv((long long)(x0 + m_w) * i, count) - m_w : x0 + TruncDiv((long long)(W - x0) * i, count); break;
    case 2: y = enter ? H - TruncDiv((long long)(H - y0) * i, count) : y0 - TruncDiv((long long)(y0 + m_h) * i, count); break;
    default: y = enter ? TruncDiv((long long)(y0 + m_h) * i, count) - m_h : y0 + TruncDiv((long long)(H - y0) * i, count); break;
  }
  out.delay = s.frameDelay;
  out.first = CBannerSlot{s.text, x, y, 0};
  CutToBanner(out);
}

void CGenStillBanner::GenerateClip(int, int, bool, int, CBannerClip& out) {
  out.delay = m_settings.frameDelay;
  out.first = CBannerSlot{m_settings.text, m_settings.x0, m_settings.y0, 0};
  CutToBanner(out);
}

void CGenFadeBanner::GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) {
  ShiftLeave(i, count, enter);
  CGenStillBanner::GenerateClip(i, count, enter, variant, out);
  out.first.transparency = enter ? (count - i) * 255 / count : i * 255 / count;
}

void CGenFlashBanner::GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) {
  // Entering, the last frame always shows the text; leaving after an enter
  // phase, the first frame is empty.
  const bool shown = enter ? (i % 2) == (count % 2) : (i % 2) == (m_settings.enterEnabled ? 0 : 1);
  if (shown) {
    CGenStillBanner::GenerateClip(i, count, enter, variant, out);
  } else {
    out.delay = m_settings.frameDelay;
  }
}

bool CGenMergeBanner::Prepare() {
  CTextDibFactory* factory = TextFactory();
  if (!factory) return false;
  TevCustomPathLibV::CTevTextObj text = factory->Text();
  if (!text.BuildGlyphPath() || !text.RebuildPaths()) return false;
  DibPtr a, b;
  POINT aAt{0, 0}, bAt{0, 0};
  if (!text.RenderHalftoneParts(m_bVertical, &a, &aAt, &b, &bAt)) return false;
  auto make = [&](DibPtr picture, POINT at, Part& part) {
    if (!picture) return;
    part.w = DibWidth(picture.get());
    part.h = DibHeight(picture.get());
    part.x0 = m_settings.x0 + at.x;
    part.y0 = m_settings.y0 + at.y;
    part.picture = WrapPicture(std::move(picture));
  };
  make(std::move(a), aAt, m_a);
  make(std::move(b), bAt, m_b);
  return (m_a.picture || m_b.picture) && !m_bTooLarge;
}

void CGenMergeBanner::GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) {
  ShiftLeave(i, count, enter);
  const BannerSettings& s = m_settings;
  out.delay = s.frameDelay;
  if (enter && i == count) {
    out.first = CBannerSlot{s.text, s.x0, s.y0, 0};
  } else {
    const int m = enter ? count - i : i;
    CBannerSlot a{m_a.picture, m_a.x0, m_a.y0, 0}, b{m_b.picture, m_b.x0, m_b.y0, 0};
    if (variant == 1) {
      a.y = m_a.y0 - TruncDiv((long long)(m_a.h + m_a.y0) * m, count);
      b.y = m_b.y0 + TruncDiv((long long)(s.canvasHeight - m_b.y0) * m, count);
    } else {
      a.x = m_a.x0 - TruncDiv((long long)(m_a.w + m_a.x0) * m, count);
      b.x = m_b.x0 + TruncDiv((long long)(s.canvasWidth - m_b.x0) * m, count);
    }
    if (a.picture) out.first = a;
    if (b.picture) out.second = b;
  }
  CutToBanner(out);
}
