// Transparent-border measurement and trimming.
#include <algorithm>

#include "companions/dibkernel/dib_geometry.h"
#include "companions/dibkernel/dib_internal.h"

using namespace DibKernel::detail;

namespace {

// Bounding box [l, r) x [t, b) of the opaque pixels, scanning each row once.
template <int Bits>
bool OpaqueBox(const BITMAPINFOHEADER* dib, LONG& l, LONG& t, LONG& r, LONG& b) {
  const LONG w = DibWidth(dib), h = DibHeight(dib);
  auto rows = RowsOf(dib);
  l = w, t = h, r = 0, b = 0;
  for (LONG y = 0; y < h; ++y) {
    const BYTE* p = rows.row(y);
    LONG first = -1, last = -1;
    for (LONG x = 0; x < w; ++x) {
      bool opaque;
      if constexpr (Bits == 32) opaque = p[4 * x + 3] != 0;
      else opaque = (p[x >> 3] >> (7 - (x & 7))) & 1;
      if (opaque) {
        if (first < 0) first = x;
        last = x;
      }
    }
    if (first < 0) continue;
    l = std::min(l, first);
    r = std::max(r, last + 1);
    if (t == h) t = y;
    b = y + 1;
  }
  return t < h;
}

}  // namespace

BITMAPINFOHEADER* DibKernel::Trim32BitsDIB(const BITMAPINFOHEADER* dib, LONG l, LONG t, LONG r, LONG b) {
  if (!Is32(dib) || l < 0 || t < 0 || r < 0 || b < 0) return nullptr;
  const std::int64_t w = std::int64_t(DibWidth(dib)) - l - r, h = std::int64_t(DibHeight(dib)) - t - b;
  if (w < 1 || h < 1) return nullptr;
  BITMAPINFOHEADER* out = DibAlloc(LONG(w), LONG(h), 32);
  if (!out) return nullptr;
  auto sr = RowsOf(dib);
  auto dr = RowsOf(out);
  for (std::int64_t y = 0; y < h; ++y) std::memcpy(dr.row(y), sr.row(y + t) + std::int64_t(l) * 4, std::size_t(w) * 4);
  return out;
}

BOOL DibKernel::CaclOpaqueBoundary(const BITMAPINFOHEADER* dib, LONG* l, LONG* t, LONG* r, LONG* b) {
  if (!l || !t || !r || !b) return FALSE;
  LONG bl, bt, br, bb;
  if (Is32(dib)) {
    OpaqueBox<32>(dib, bl, bt, br, bb);
  } else if (IsDepth(dib, 1)) {
    OpaqueBox<1>(dib, bl, bt, br, bb);
  } else {
    return FALSE;
  }
  if (bt == DibHeight(dib)) {  // nothing opaque
    *l = DibWidth(dib), *t = DibHeight(dib), *r = 0, *b = 0;
  } else {
    *l = bl, *t = bt, *r = DibWidth(dib) - br, *b = DibHeight(dib) - bb;
  }
  return TRUE;
}

BOOL DibKernel::CheckBlankBorder(const BITMAPINFOHEADER* dib, LONG* l, LONG* t, LONG* r, LONG* b) {
  if (!Is32(dib) || !CaclOpaqueBoundary(dib, l, t, r, b)) return FALSE;
  return *t < DibHeight(dib) ? TRUE : FALSE;
}
