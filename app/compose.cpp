#include "app/compose.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Mask bytes of a 32-bit row for its first width & ~7 pixels (alpha at or
// above threshold sets the pixel's bit, pixel 0 in bit 7); partial tells
// whether any of them has an alpha strictly between 0 and 255. Returns the
// number of pixels done.
LONG MaskRow(const BYTE* row, LONG width, BYTE threshold, BYTE* mask, bool& partial) {
  const LONG whole = width & ~LONG(7);
#if defined(__SSE2__)
  // Bit k of a movemask is pixel k; the mask wants pixel 0 in bit 7.
  static constexpr BYTE kReverse4[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  const __m128i below = _mm_set1_epi32(int(threshold) - 1), zero = _mm_setzero_si128(),
                full = _mm_set1_epi32(255);
  __m128i seen = zero;
  for (LONG x = 0; x < whole; x += 8) {
    const __m128i a0 = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x)), 24);
    const __m128i a1 = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x + 16)), 24);
    const int lo = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(a0, below)));
    const int hi = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(a1, below)));
    mask[x >> 3] = BYTE((kReverse4[lo] << 4) | kReverse4[hi]);
    seen = _mm_or_si128(seen, _mm_and_si128(_mm_cmpgt_epi32(a0, zero), _mm_cmplt_epi32(a0, full)));
    seen = _mm_or_si128(seen, _mm_and_si128(_mm_cmpgt_epi32(a1, zero), _mm_cmplt_epi32(a1, full)));
  }
  partial = _mm_movemask_epi8(seen) != 0;
#else
  for (LONG x = 0; x < whole; x += 8) {
    unsigned bits = 0;
    for (int k = 0; k < 8; ++k) {
      const unsigned a = row[4 * (x + k) + 3];
      bits |= unsigned(a >= threshold) << (7 - k);
      partial |= a - 1u < 254u;
    }
    mask[x >> 3] = BYTE(bits);
  }
#endif
  return whole;
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
  // Mask bits eight pixels at a time; the matte blend only on rows that hold
  // partly transparent pixels (rare: most pictures are opaque or keyed).
  for (LONG y = 0; y < height; ++y) {
    BYTE* row = DibRow(img.get(), y);
    BYTE* m = DibRow(msk.get(), y);
    bool partial = false;
    const LONG whole = MaskRow(row, width, alphaThreshold, m, partial);
    for (LONG x = whole; x < width; ++x) {
      const unsigned a = row[4 * x + 3];
      if (a >= alphaThreshold) m[x >> 3] |= BYTE(0x80 >> (x & 7));
      partial |= a - 1u < 254u;
    }
    if (!blendMatte || !partial) continue;
    BYTE* p = row;
    for (LONG x = 0; x < width; ++x, p += 4) {
      const int a = p[3];
      if (a > 0 && a < 255) {
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
