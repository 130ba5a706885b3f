// Internal helpers of the DIB kernel: argument checks, row addressing and the
// blend-row kernels shared by the plain and fast blits. Not for callers
// outside companions/dibkernel (tests include it to compare the kernels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "companions/base/cpu_features.h"
#include "companions/base/dib.h"

namespace DibKernel::detail {

// A valid 32-bit BGRA DIB: BI_RGB, or BI_BITFIELDS whose masks are exactly
// the BGRA ones (other masks need CDIB32::ConvertTo32BitsDIB first).
inline bool Is32(const BITMAPINFOHEADER* d) {
  if (!DibHeaderValid(d) || d->biBitCount != 32) return false;
  if (d->biCompression == BI_RGB) return true;
  if (d->biCompression != BI_BITFIELDS || (d->biSize != 40 && d->biSize < 52)) return false;
  DWORD masks[3];
  std::memcpy(masks, reinterpret_cast<const BYTE*>(d) + 40, sizeof masks);
  return masks[0] == 0x00FF0000u && masks[1] == 0x0000FF00u && masks[2] == 0x000000FFu;
}
inline bool IsDepth(const BITMAPINFOHEADER* d, int bits) {
  return DibHeaderValid(d) && d->biBitCount == bits && d->biCompression == BI_RGB;
}

// Row addressing fixed once per call: row(y) counts from the top.
template <typename Byte>
struct Rows {
  Byte* top;
  std::ptrdiff_t step;
  Byte* row(std::int64_t y) const { return top + y * step; }
};
inline Rows<BYTE> RowsOf(BITMAPINFOHEADER* d) {
  auto stride = std::ptrdiff_t(DibStride(d));
  return {DibRow(d, 0), DibTopDown(d) ? stride : -stride};
}
inline Rows<const BYTE> RowsOf(const BITMAPINFOHEADER* d) {
  auto stride = std::ptrdiff_t(DibStride(d));
  return {DibRow(d, 0), DibTopDown(d) ? stride : -stride};
}

inline std::uint32_t Load32(const BYTE* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(BYTE* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// The straight-alpha "over" of one BGRA pixel (see dib_kernel.h); inv is
// 255 - transparency.
inline std::uint32_t BlendPixel(std::uint32_t d, std::uint32_t s, unsigned inv) {
  unsigned a = ((s >> 24) * inv + 127) / 255;
  if (a == 0) return d;
  if (a == 255) return s | 0xFF000000u;
  unsigned da = d >> 24, na = 255 - a;
  std::uint32_t out;
  if (da == 255) {
    out = 0xFF000000u;
    for (int sh = 0; sh < 24; sh += 8) {
      unsigned c = (((s >> sh) & 0xFF) * a + ((d >> sh) & 0xFF) * na + 127) / 255;
      out |= c << sh;
    }
    return out;
  }
  unsigned oa = a + (da * na + 127) / 255;
  out = std::uint32_t(oa) << 24;
  for (int sh = 0; sh < 24; sh += 8) {
    unsigned c = (((s >> sh) & 0xFF) * a * 255 + ((d >> sh) & 0xFF) * da * na + oa * 127) / (oa * 255);
    out |= c << sh;
  }
  return out;
}

// Blends n source pixels over n destination pixels (both BGRA rows).
using BlendRowFn = void (*)(BYTE* dst, const BYTE* src, int n, unsigned inv);
void BlendRowPlain(BYTE* dst, const BYTE* src, int n, unsigned inv);
// Vector kernels; null when not compiled for this processor family.
extern const BlendRowFn kBlendRowSse2;
extern const BlendRowFn kBlendRowAvx2;
// The fastest kernel this machine runs (the plain one when none applies or
// LOOPWRIGHT_NO_SIMD=1).
BlendRowFn FastBlendRow();

// Integer helpers for clipping in 64 bits (no overflow on any LONG input).
inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
inline std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

// Where a blit lands: destination pixels [left, right) x [top, bottom) show
// source pixel ((x - x0) * mul / div - offX, (y - y0) * mul / div - offY),
// always inside the source. Built for the plain, zoom-in and zoom-out
// geometries documented in dib_kernel.h.
struct BlitMap {
  std::int64_t left = 0, right = 0, top = 0, bottom = 0;
  std::int64_t x0 = 0, y0 = 0, mul = 1, div = 1, offX = 0, offY = 0;
  bool empty() const { return left >= right || top >= bottom; }
  std::int64_t sx(std::int64_t x) const { return (x - x0) * mul / div - offX; }
  std::int64_t sy(std::int64_t y) const { return (y - y0) * mul / div - offY; }
};
enum class BlitKind { kPlain, kZoomIn, kZoomOut };
// Returns false for zoom < 1 (kPlain ignores zoom).
bool MakeBlitMap(BlitKind kind, const BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos,
                 int zoom, BlitMap& map);

}  // namespace DibKernel::detail
