// The 32-bit blend blits. Each call clips once, then runs one row kernel per
// destination row: the plain kernel for BitBlt32DIB/ZoomIn32DIB/ZoomOut32DIB,
// the vector kernel for their fast twins. Zoomed source rows are first
// expanded or sampled into a scratch row so both paths blend the same pixels.
#include <algorithm>
#include <vector>

#include "companions/dibkernel/dib_internal.h"
#include "companions/dibkernel/dib_kernel.h"

namespace DibKernel::detail {

bool MakeBlitMap(BlitKind kind, const BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos,
                 int zoom, BlitMap& m) {
  if (kind != BlitKind::kPlain && zoom < 1) return false;
  const std::int64_t dw = DibWidth(dst), dh = DibHeight(dst), sw = DibWidth(src), sh = DibHeight(src);
  const std::int64_t z = kind == BlitKind::kPlain ? 1 : zoom;
  if (kind == BlitKind::kZoomOut) {
    // Offsets X (from the origin) with 0 <= X * z - pos.x < sw.
    m.x0 = origin.x;
    m.y0 = origin.y;
    m.mul = z;
    m.offX = pos.x;
    m.offY = pos.y;
    m.left = origin.x + CeilDiv(pos.x, z);
    m.right = origin.x + CeilDiv(std::int64_t(pos.x) + sw, z);
    m.top = origin.y + CeilDiv(pos.y, z);
    m.bottom = origin.y + CeilDiv(std::int64_t(pos.y) + sh, z);
  } else {
    m.x0 = origin.x + std::int64_t(pos.x) * z;
    m.y0 = origin.y + std::int64_t(pos.y) * z;
    m.div = z;
    m.left = m.x0;
    m.right = m.x0 + sw * z;
    m.top = m.y0;
    m.bottom = m.y0 + sh * z;
  }
  m.left = std::max<std::int64_t>(m.left, 0);
  m.top = std::max<std::int64_t>(m.top, 0);
  m.right = std::min(m.right, dw);
  m.bottom = std::min(m.bottom, dh);
  return true;
}

}  // namespace DibKernel::detail

using namespace DibKernel::detail;

namespace {

BOOL Blend32(BlitKind kind, BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
             BYTE t, BlendRowFn blend) {
  BlitMap m;
  if (!Is32(dst) || !Is32(src) || !MakeBlitMap(kind, dst, origin, src, pos, zoom, m)) return FALSE;
  if (t == 255 || m.empty()) return TRUE;
  auto dr = RowsOf(dst);
  auto sr = RowsOf(src);
  const int n = int(m.right - m.left);
  const unsigned inv = 255u - t;
  if (kind == BlitKind::kPlain) {
    for (std::int64_t y = m.top; y < m.bottom; ++y) blend(dr.row(y) + m.left * 4, sr.row(m.sy(y)) + m.sx(m.left) * 4, n, inv);
    return TRUE;
  }
  // Source x of every destination column, then one gathered row per source row.
  std::vector<std::uint32_t> cols(static_cast<std::size_t>(n)), line(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) cols[std::size_t(i)] = std::uint32_t(m.sx(m.left + i) * 4);
  std::int64_t gathered = -1;
  for (std::int64_t y = m.top; y < m.bottom; ++y) {
    const std::int64_t sy = m.sy(y);
    if (sy != gathered) {
      const BYTE* s = sr.row(sy);
      for (int i = 0; i < n; ++i) line[std::size_t(i)] = Load32(s + cols[std::size_t(i)]);
      gathered = sy;
    }
    blend(dr.row(y) + m.left * 4, reinterpret_cast<const BYTE*>(line.data()), n, inv);
  }
  return TRUE;
}

}  // namespace

BOOL CDIB32::BitBlt32DIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, BYTE t) {
  return Blend32(BlitKind::kPlain, dst, origin, src, pos, 1, t, &BlendRowPlain);
}
BOOL CDIB32::BitBlt32DIBMMX(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, BYTE t) {
  return Blend32(BlitKind::kPlain, dst, origin, src, pos, 1, t, FastBlendRow());
}
BOOL CDIB32::ZoomIn32DIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                         BYTE t) {
  return Blend32(BlitKind::kZoomIn, dst, origin, src, pos, zoom, t, &BlendRowPlain);
}
BOOL CDIB32::ZoomIn32DIBMMX(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                            BYTE t) {
  return Blend32(BlitKind::kZoomIn, dst, origin, src, pos, zoom, t, FastBlendRow());
}
BOOL CDIB32::ZoomOut32DIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                          BYTE t) {
  return Blend32(BlitKind::kZoomOut, dst, origin, src, pos, zoom, t, &BlendRowPlain);
}
BOOL CDIB32::ZoomOut32DIBMMX(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                             BYTE t) {
  return Blend32(BlitKind::kZoomOut, dst, origin, src, pos, zoom, t, FastBlendRow());
}
