// Block copies and blends between 32-bit DIBs, the linear mix and the merge.
#include <algorithm>

#include "companions/dibkernel/dib_combine.h"
#include "companions/dibkernel/dib_internal.h"
#include "companions/dibkernel/dib_kernel.h"

using namespace DibKernel::detail;

namespace {

// A block clipped to both pictures: w x h pixels from (sx, sy) in the source
// to (dx, dy) in the destination.
struct Block {
  std::int64_t sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
};
Block ClipBlock(const BITMAPINFOHEADER* dst, POINT at, const BITMAPINFOHEADER* src, const RECT& r) {
  std::int64_t sl = std::max<std::int64_t>(r.left, 0), st = std::max<std::int64_t>(r.top, 0);
  std::int64_t sr = std::min<std::int64_t>(r.right, DibWidth(src)), sb = std::min<std::int64_t>(r.bottom, DibHeight(src));
  // Destination position of the clipped source corner.
  std::int64_t dl = std::int64_t(at.x) + (sl - r.left), dt = std::int64_t(at.y) + (st - r.top);
  if (dl < 0) sl -= dl, dl = 0;
  if (dt < 0) st -= dt, dt = 0;
  sr = std::min<std::int64_t>(sr, sl + (DibWidth(dst) - dl));
  sb = std::min<std::int64_t>(sb, st + (DibHeight(dst) - dt));
  Block b;
  if (sl >= sr || st >= sb) return b;
  b.sx = sl;
  b.sy = st;
  b.dx = dl;
  b.dy = dt;
  b.w = sr - sl;
  b.h = sb - st;
  return b;
}

}  // namespace

BOOL DibKernel::Mix32BitsDIBMMX(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, BYTE factor) {
  if (!Is32(dst) || !Is32(src) || DibWidth(dst) != DibWidth(src) || DibHeight(dst) != DibHeight(src)) return FALSE;
  auto dr = RowsOf(dst);
  auto sr = RowsOf(src);
  const std::size_t n = std::size_t(DibWidth(dst)) * 4;
  const unsigned f = factor, nf = 255u - factor;
  for (LONG y = 0; y < DibHeight(dst); ++y) {
    BYTE* d = dr.row(y);
    const BYTE* s = sr.row(y);
    for (std::size_t i = 0; i < n; ++i) d[i] = BYTE((d[i] * nf + s[i] * f + 127) / 255);
  }
  return TRUE;
}

BOOL DibKernel::CombineBlock(BITMAPINFOHEADER* dst, POINT at, const BITMAPINFOHEADER* src, const RECT& srcRect,
                             BYTE transparency) {
  if (!Is32(dst) || !Is32(src)) return FALSE;
  Block b = ClipBlock(dst, at, src, srcRect);
  if (!b.w || transparency == 255) return TRUE;
  BlendRowFn blend = FastBlendRow();
  auto dr = RowsOf(dst);
  auto sr = RowsOf(src);
  for (std::int64_t j = 0; j < b.h; ++j)
    blend(dr.row(b.dy + j) + b.dx * 4, sr.row(b.sy + j) + b.sx * 4, int(b.w), 255u - transparency);
  return TRUE;
}

BOOL DibKernel::CopyBlock(BITMAPINFOHEADER* dst, POINT at, const BITMAPINFOHEADER* src, const RECT& srcRect) {
  if (!DibHeaderValid(dst) || !DibHeaderValid(src) || dst->biBitCount != src->biBitCount) return FALSE;
  const int bits = dst->biBitCount;
  if (bits < 8) return FALSE;
  const std::int64_t bpp = bits / 8;
  Block b = ClipBlock(dst, at, src, srcRect);
  auto dr = RowsOf(dst);
  auto sr = RowsOf(src);
  // Within one DIB, copy downward moves from the last row up so no source
  // row is overwritten before it is read.
  const bool backwards = dst == src && b.dy > b.sy;
  for (std::int64_t k = 0; k < b.h; ++k) {
    const std::int64_t j = backwards ? b.h - 1 - k : k;
    std::memmove(dr.row(b.dy + j) + b.dx * bpp, sr.row(b.sy + j) + b.sx * bpp, std::size_t(b.w * bpp));
  }
  return TRUE;
}

BOOL DibKernel::Erase32BitsBlock(BITMAPINFOHEADER* dib, const RECT& rect) {
  if (!Is32(dib)) return FALSE;
  const std::int64_t l = std::max<std::int64_t>(rect.left, 0), r = std::min<std::int64_t>(rect.right, DibWidth(dib));
  const std::int64_t t = std::max<std::int64_t>(rect.top, 0), b = std::min<std::int64_t>(rect.bottom, DibHeight(dib));
  if (l >= r || t >= b) return TRUE;
  auto rows = RowsOf(dib);
  for (std::int64_t y = t; y < b; ++y) std::memset(rows.row(y) + l * 4, 0, std::size_t(r - l) * 4);
  return TRUE;
}

BOOL DibKernel::CombineDIBs(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, POINT pos) {
  return CDIB32::BitBlt32DIBMMX(dst, POINT{0, 0}, src, pos, 0);
}

BITMAPINFOHEADER* DibKernel::Merge32BitsDIB(const BITMAPINFOHEADER* a, POINT posA, const BITMAPINFOHEADER* b,
                                            POINT posB, RECT* rect) {
  if (!Is32(a) || !Is32(b)) return nullptr;
  const std::int64_t l = std::min(posA.x, posB.x), t = std::min(posA.y, posB.y);
  const std::int64_t r = std::max(std::int64_t(posA.x) + DibWidth(a), std::int64_t(posB.x) + DibWidth(b));
  const std::int64_t btm = std::max(std::int64_t(posA.y) + DibHeight(a), std::int64_t(posB.y) + DibHeight(b));
  if (r - l > kMaxDibDimension || btm - t > kMaxDibDimension || r > INT32_MAX || btm > INT32_MAX) return nullptr;
  BITMAPINFOHEADER* out = DibAlloc(LONG(r - l), LONG(btm - t), 32);
  if (!out) return nullptr;
  RECT all{0, 0, DibWidth(a), DibHeight(a)};
  CopyBlock(out, POINT{LONG(posA.x - l), LONG(posA.y - t)}, a, all);
  CDIB32::BitBlt32DIBMMX(out, POINT{0, 0}, b, POINT{LONG(posB.x - l), LONG(posB.y - t)}, 0);
  if (rect) *rect = RECT{LONG(l), LONG(t), LONG(r), LONG(btm)};
  return out;
}

BOOL DibKernel::Underlay32BitsDIB(const BITMAPINFOHEADER* a, POINT posA, BITMAPINFOHEADER* b, POINT posB) {
  if (!Is32(a) || !Is32(b) || a == b) return FALSE;
  const std::int64_t ax = std::int64_t(posA.x) - posB.x, ay = std::int64_t(posA.y) - posB.y;
  const std::int64_t aw = DibWidth(a), ah = DibHeight(a), bw = DibWidth(b), bh = DibHeight(b);
  if (ax < 0 || ay < 0 || ax + aw > bw || ay + ah > bh) return FALSE;
  // The merge's blend of b over what lies below it (a, or transparency).
  const auto under = [](BYTE* px, std::uint32_t below) {
    const std::uint32_t s = detail::Load32(px);
    if ((s >> 24) != 255) detail::Store32(px, detail::BlendPixel(below, s, 255));
  };
  for (std::int64_t y = 0; y < bh; ++y) {
    BYTE* row = DibRow(b, LONG(y));
    const bool inA = y >= ay && y < ay + ah;
    const BYTE* arow = inA ? DibRow(a, LONG(y - ay)) : nullptr;
    for (std::int64_t x = 0; x < bw; ++x) {
      if (row[4 * x + 3] == 255) continue;
      under(row + 4 * x, inA && x >= ax && x < ax + aw ? detail::Load32(arow + 4 * (x - ax)) : 0u);
    }
  }
  return TRUE;
}
