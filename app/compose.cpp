#include "app/compose.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "companions/dibkernel/dib_kernel.h"

namespace {
std::atomic<bool> g_allowFast{true};

using Blit = BOOL (*)(BITMAPINFOHEADER*, POINT, const BITMAPINFOHEADER*, POINT, BYTE);
using ZoomBlit = BOOL (*)(BITMAPINFOHEADER*, POINT, const BITMAPINFOHEADER*, POINT, int, BYTE);

void Draw(BITMAPINFOHEADER* target, POINT origin, const BITMAPINFOHEADER* src, POINT pos, BYTE t, int zoomMode,
          int zoomFactor, bool fast) {
  if (zoomMode == 1 || zoomFactor <= 1) {
    Blit blit = fast ? &CDIB32::BitBlt32DIBMMX : &CDIB32::BitBlt32DIB;
    blit(target, origin, src, pos, t);
  } else if (zoomMode < 1) {
    ZoomBlit blit = fast ? &CDIB32::ZoomOut32DIBMMX : &CDIB32::ZoomOut32DIB;
    blit(target, origin, src, pos, zoomFactor, t);
  } else {
    ZoomBlit blit = fast ? &CDIB32::ZoomIn32DIBMMX : &CDIB32::ZoomIn32DIB;
    blit(target, origin, src, pos, zoomFactor, t);
  }
}
}  // namespace

void SetComposeUsesFastBlit(bool on) { g_allowFast = on; }
bool GetComposeUsesFastBlit() { return g_allowFast && DibKernel::HasFastBlit(); }

void ComposeFrame(BITMAPINFOHEADER* target, POINT origin, const CGifFrame& frame, int zoomMode, int zoomFactor) {
  if (!target || target->biBitCount != 32) return;
  const bool fast = GetComposeUsesFastBlit();
  // Only visible references draw; the sparse list visits just those.
  frame.m_refs.ForEachShown([&](std::size_t, const CRefImageObject& ref) {
    if (!ref.m_pObject) return;
    const CDib& obj = *ref.m_pObject;
    if (!obj.GetImage()) return;
    const int t = std::clamp(ref.m_nTransparency, 0, 255);
    if (const BITMAPINFOHEADER* shadow = obj.GetShadowImage()) {
      const int s = obj.m_byShadowTransparency;
      const BYTE st = BYTE(255 - ((255 - t) * (255 - s)) / 255);
      Draw(target, origin, shadow, POINT{ref.m_nX + obj.m_nShadowPosX, ref.m_nY + obj.m_nShadowPosY}, st, zoomMode,
           zoomFactor, fast);
    }
    Draw(target, origin, obj.GetImage(), POINT{ref.m_nX, ref.m_nY}, BYTE(t), zoomMode, zoomFactor, fast);
  });
}

bool ComposeFrameWithMask(const CGifFrame& frame, LONG width, LONG height, DibPtr& image, DibPtr& mask,
                          BYTE alphaThreshold, COLORREF matte) {
  DibPtr img(CDIB32::CreateBlank32BitsDIB(width, height));
  DibPtr msk(CBitmapCreator::CreateDibImage(width, height, 1, 2));
  if (!img || !msk) return false;
  RGBQUAD* pal = DibPalette(msk.get());
  pal[1] = RGBQUAD{255, 255, 255, 0};
  ComposeFrame(img.get(), POINT{0, 0}, frame);
  const bool blendMatte = (matte >> 24) == 0;
  const int mr = GetRValue(matte), mg = GetGValue(matte), mb = GetBValue(matte);
  for (LONG y = 0; y < height; ++y) {
    BYTE* p = DibRow(img.get(), y);
    BYTE* m = DibRow(msk.get(), y);
    for (LONG x = 0; x < width; ++x, p += 4) {
      const int a = p[3];
      if (a >= alphaThreshold) m[x >> 3] |= BYTE(0x80 >> (x & 7));
      if (blendMatte && a > 0 && a < 255) {
        p[0] = BYTE((p[0] * a + mb * (255 - a) + 127) / 255);
        p[1] = BYTE((p[1] * a + mg * (255 - a) + 127) / 255);
        p[2] = BYTE((p[2] * a + mr * (255 - a) + 127) / 255);
        p[3] = 255;
      }
    }
  }
  image = std::move(img);
  mask = std::move(msk);
  return true;
}
