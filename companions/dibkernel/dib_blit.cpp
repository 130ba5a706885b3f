// Copying blits: nearest-neighbour stretch and the 8-bit index blits.
#include <algorithm>
#include <vector>

#include "companions/dibkernel/dib_blit.h"
#include "companions/dibkernel/dib_internal.h"

using namespace DibKernel::detail;

namespace {

BOOL Blit8(BlitKind kind, BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
           int transparentIndex) {
  BlitMap m;
  if (!IsDepth(dst, 8) || !IsDepth(src, 8) || !MakeBlitMap(kind, dst, origin, src, pos, zoom, m)) return FALSE;
  if (m.empty()) return TRUE;
  auto dr = RowsOf(dst);
  auto sr = RowsOf(src);
  const int n = int(m.right - m.left);
  std::vector<std::uint32_t> cols(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) cols[std::size_t(i)] = std::uint32_t(m.sx(m.left + i));
  for (std::int64_t y = m.top; y < m.bottom; ++y) {
    const BYTE* s = sr.row(m.sy(y));
    BYTE* d = dr.row(y) + m.left;
    if (transparentIndex < 0 || transparentIndex > 255) {
      for (int i = 0; i < n; ++i) d[i] = s[cols[std::size_t(i)]];
    } else {
      for (int i = 0; i < n; ++i) {
        BYTE v = s[cols[std::size_t(i)]];
        if (v != transparentIndex) d[i] = v;
      }
    }
  }
  return TRUE;
}

}  // namespace

BOOL DibKernel::Stretch32DIB(BITMAPINFOHEADER* dst, const RECT& dstRect, const BITMAPINFOHEADER* src,
                             const RECT& srcRect) {
  if (!Is32(dst) || !Is32(src)) return FALSE;
  const std::int64_t dw = std::int64_t(dstRect.right) - dstRect.left, dh = std::int64_t(dstRect.bottom) - dstRect.top;
  const std::int64_t sw = std::int64_t(srcRect.right) - srcRect.left, sh = std::int64_t(srcRect.bottom) - srcRect.top;
  // Rectangles wider than 2^30 could overflow the sampling products.
  constexpr std::int64_t kMaxSpan = std::int64_t(1) << 30;
  if (dw > kMaxSpan || dh > kMaxSpan || sw > kMaxSpan || sh > kMaxSpan) return FALSE;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return TRUE;
  const std::int64_t left = std::max<std::int64_t>(dstRect.left, 0), right = std::min<std::int64_t>(dstRect.right, DibWidth(dst));
  const std::int64_t top = std::max<std::int64_t>(dstRect.top, 0), bottom = std::min<std::int64_t>(dstRect.bottom, DibHeight(dst));
  if (left >= right || top >= bottom) return TRUE;
  const std::int64_t srcW = DibWidth(src), srcH = DibHeight(src);
  // Source column of every visible destination column, -1 outside the source.
  std::vector<std::int64_t> cols(std::size_t(right - left));
  for (std::int64_t x = left; x < right; ++x) {
    std::int64_t sx = srcRect.left + (2 * (x - dstRect.left) + 1) * sw / (2 * dw);
    cols[std::size_t(x - left)] = (sx >= 0 && sx < srcW) ? sx : -1;
  }
  auto dr = RowsOf(dst);
  auto sr = RowsOf(src);
  for (std::int64_t y = top; y < bottom; ++y) {
    std::int64_t sy = srcRect.top + (2 * (y - dstRect.top) + 1) * sh / (2 * dh);
    if (sy < 0 || sy >= srcH) continue;
    const BYTE* s = sr.row(sy);
    BYTE* d = dr.row(y);
    for (std::int64_t x = left; x < right; ++x) {
      std::int64_t sx = cols[std::size_t(x - left)];
      if (sx >= 0) Store32(d + x * 4, Load32(s + sx * 4));
    }
  }
  return TRUE;
}

BOOL DibKernel::BitBlt8BitsDIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos,
                               int transparentIndex) {
  return Blit8(BlitKind::kPlain, dst, origin, src, pos, 1, transparentIndex);
}
BOOL DibKernel::ZoomIn8BitsDIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                               int transparentIndex) {
  return Blit8(BlitKind::kZoomIn, dst, origin, src, pos, zoom, transparentIndex);
}
BOOL DibKernel::ZoomOut8BitsDIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                                int transparentIndex) {
  return Blit8(BlitKind::kZoomOut, dst, origin, src, pos, zoom, transparentIndex);
}
