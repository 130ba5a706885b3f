// Internal to the renderer: coverage sweeping, pixel composition and image span
// sources shared by the path painter and the image transforms.
#pragma once

#include <agg_rasterizer_scanline_aa.h>
#include <agg_scanline_u.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "companions/base/dib.h"
#include "companions/vector/render_vector_obj.h"

namespace TevVecLib::detail {

using Rasterizer = agg::rasterizer_scanline_aa<>;

// Whether a DIB is one the painters write: a valid 32-bit BI_RGB picture.
inline bool Is32BitDib(const BITMAPINFOHEADER* d) {
  return d && DibHeaderValid(d) && d->biBitCount == 32 && d->biCompression == BI_RGB;
}

// Keeps coordinates the rasterizer can hold (its fixed point overflows far
// beyond any picture) and drops vertices that are not numbers.
template <class VS>
class SafeVertices {
 public:
  explicit SafeVertices(VS& src) : m_src(src) {}
  void rewind(unsigned id) { m_src.rewind(id); }
  unsigned vertex(double* x, double* y) {
    for (;;) {
      unsigned cmd = m_src.vertex(x, y);
      if (!agg::is_vertex(cmd)) return cmd;
      if (!std::isfinite(*x) || !std::isfinite(*y)) continue;
      *x = std::clamp(*x, -1e6, 1e6);
      *y = std::clamp(*y, -1e6, 1e6);
      return cmd;
    }
  }

 private:
  VS& m_src;
};

// Sets the clip box every path goes through: the caller's rectangle, or the
// largest picture a DIB can be.
void ApplyClip(Rasterizer& ras, const rect_base<double>* clip);

// Sweeps the rasterizer over dst and calls fn(x, y, len, covers, dstPixel) per
// span, covers already adjusted for the mask and for aliased painting.
template <class Fn>
void SweepCoverage(Rasterizer& ras, BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                   bool antiAlias, Fn&& fn) {
  if (!Is32BitDib(dst) || !ras.rewind_scanlines()) return;
  const int w = DibWidth(dst), h = DibHeight(dst);
  agg::scanline_u8 sl;
  sl.reset(ras.min_x(), ras.max_x());  // the shape may reach past either side of dst
  std::vector<std::uint8_t> covers(std::size_t(w) + 1);
  while (ras.sweep_scanline(sl)) {
    int y = sl.y();
    if (y < 0 || y >= h) continue;
    BYTE* row = DibRow(dst, y);
    auto span = sl.begin();
    for (unsigned n = sl.num_spans(); n; --n, ++span) {
      int x = span->x, len = span->len;
      const std::uint8_t* cv = span->covers;
      if (x < 0) {
        cv += -x;
        len += x;
        x = 0;
      }
      if (x + len > w) len = w - x;
      if (len <= 0) continue;
      if (mask || !antiAlias) {
        for (int i = 0; i < len; ++i) {
          unsigned c = cv[i];
          if (!antiAlias) c = c >= 128 ? 255 : 0;
          if (mask) c = c * mask->Value(x + i, y) / 255;
          covers[i] = std::uint8_t(c);
        }
        cv = covers.data();
      }
      fn(x, y, len, cv, row + std::size_t(x) * 4);
    }
  }
}

// One pixel of a non-premultiplied source s composed into d with coverage c
// (0 to 255). Copy: d moves toward s by c, interpolated on premultiplied
// values, so a full cover gives exactly s. Over: s (its alpha scaled by c)
// laid over d. Alpha only: d's alpha becomes at least s alpha * c.
inline void ComposePixel(BYTE* d, const BYTE* s, unsigned c, int mode) {
  if (c == 0) return;
  if (mode == kComposeAlphaOnly) {
    unsigned a = (unsigned(s[3]) * c + 127) / 255;
    if (a > d[3]) d[3] = BYTE(a);
    return;
  }
  unsigned sa = s[3], da = d[3];
  if (mode == kComposeCopy) {
    if (c == 255) {
      d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = s[3];
      return;
    }
    unsigned ws = sa * c, wd = da * (255 - c);
    unsigned outA = (ws + wd + 127) / 255;
    if (ws + wd == 0) {
      for (int i = 0; i < 3; ++i) d[i] = BYTE((s[i] * c + d[i] * (255 - c) + 127) / 255);
      d[3] = 0;
      return;
    }
    for (int i = 0; i < 3; ++i) d[i] = BYTE((s[i] * ws + d[i] * wd + (ws + wd) / 2) / (ws + wd));
    d[3] = BYTE(outA);
    return;
  }
  // Over.
  unsigned a = (sa * c + 127) / 255;
  if (a == 0) return;
  unsigned ws = a * 255, wd = da * (255 - a);
  unsigned outA = (ws + wd + 127) / 255;
  for (int i = 0; i < 3; ++i) d[i] = BYTE((s[i] * ws + d[i] * wd + (ws + wd) / 2) / (ws + wd));
  d[3] = BYTE(outA);
}

// Pixels of a source picture in premultiplied BGRA, rows from the top, with
// the accessor and filter state the AGG span generators need.
class SpanSource {
 public:
  virtual ~SpanSource() = default;
  // Writes len non-premultiplied BGRA pixels for destination pixels (x..x+len-1, y).
  virtual void Generate(BYTE* out, int x, int y, unsigned len) = 0;
};

// Source image through an affine destination-to-source matrix.
std::unique_ptr<SpanSource> MakeAffineImageSource(const BITMAPINFOHEADER* src, const agg::trans_affine& dstToSrc,
                                                  int filter, int edgeMode);
// Source image through a projective destination-to-source mapping.
std::unique_ptr<SpanSource> MakePerspectiveImageSource(const BITMAPINFOHEADER* src, const double* srcRect,
                                                       const double* quad, int filter, int edgeMode);

// Paints a span source into dst through the rasterizer's coverage.
void PaintSpans(Rasterizer& ras, BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                SpanSource& source, int mode, bool antiAlias);

}  // namespace TevVecLib::detail
