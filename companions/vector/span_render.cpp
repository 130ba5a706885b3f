#include "companions/vector/span_render.h"

#include <agg_image_accessors.h>
#include <agg_image_filters.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rendering_buffer.h>
#include <agg_span_image_filter_rgba.h>
#include <agg_span_interpolator_linear.h>
#include <agg_span_interpolator_trans.h>
#include <agg_trans_perspective.h>

#include <climits>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>

namespace TevVecLib::detail {

void ApplyClip(Rasterizer& ras, const rect_base<double>* clip) {
  const double lo = -2.0, hi = double(kMaxDibDimension) + 2.0;
  double x1 = lo, y1 = lo, x2 = hi, y2 = hi;
  if (clip && std::isfinite(clip->x1) && std::isfinite(clip->y1) && std::isfinite(clip->x2) &&
      std::isfinite(clip->y2)) {
    x1 = std::clamp(std::min(clip->x1, clip->x2), lo, hi);
    x2 = std::clamp(std::max(clip->x1, clip->x2), lo, hi);
    y1 = std::clamp(std::min(clip->y1, clip->y2), lo, hi);
    y2 = std::clamp(std::max(clip->y1, clip->y2), lo, hi);
  }
  ras.clip_box(x1, y1, x2, y2);
}

void PaintSpans(Rasterizer& ras, BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                SpanSource& source, int mode, bool antiAlias) {
  if (!Is32BitDib(dst)) return;
  std::vector<BYTE> px(std::size_t(DibWidth(dst)) * 4);
  SweepCoverage(ras, dst, mask, antiAlias, [&](int x, int y, int len, const std::uint8_t* cv, BYTE* d) {
    source.Generate(px.data(), x, y, unsigned(len));
    for (int i = 0; i < len;) {
      if (mode == kComposeCopy && cv[i] == 255) {  // fully covered runs are plain copies
        int j = i + 1;
        while (j < len && cv[j] == 255) ++j;
        std::memcpy(d + std::size_t(i) * 4, px.data() + std::size_t(i) * 4, std::size_t(j - i) * 4);
        i = j;
        continue;
      }
      ComposePixel(d + i * 4, px.data() + std::size_t(i) * 4, cv[i], mode);
      ++i;
    }
  });
}

namespace {

using PixFmt = agg::pixfmt_bgra32_pre;
using Color = agg::rgba8;

// The source as premultiplied BGRA rows from the top. An opaque source is
// read in place; otherwise a premultiplied copy is made.
class SourcePixels {
 public:
  explicit SourcePixels(const BITMAPINFOHEADER* src) {
    const int w = DibWidth(src), h = DibHeight(src);
    const std::size_t stride = DibStride(src);
    bool opaque = true;
    for (int y = 0; y < h && opaque; ++y) {
      // AND of the whole row's alpha bytes, without a branch per pixel.
      const BYTE* row = DibRow(src, y);
      BYTE all = 255;
      for (int x = 0; x < w; ++x) all &= row[x * 4 + 3];
      opaque = all == 255;
    }
    if (opaque) {
      BYTE* bits = const_cast<BYTE*>(DibBits(src));  // read only
      int s = DibTopDown(src) ? int(stride) : -int(stride);
      m_rbuf.attach(bits, unsigned(w), unsigned(h), s);
    } else {
      m_copy.resize(std::size_t(w) * std::size_t(h) * 4);
      for (int y = 0; y < h; ++y) {
        const BYTE* s = DibRow(src, y);
        BYTE* d = m_copy.data() + std::size_t(y) * std::size_t(w) * 4;
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
          unsigned a = s[3];
          d[0] = BYTE((s[0] * a + 127) / 255);
          d[1] = BYTE((s[1] * a + 127) / 255);
          d[2] = BYTE((s[2] * a + 127) / 255);
          d[3] = BYTE(a);
        }
      }
      m_rbuf.attach(m_copy.data(), unsigned(w), unsigned(h), w * 4);
    }
    m_pixf.attach(m_rbuf);
  }
  PixFmt& Pixf() { return m_pixf; }
  // Premultiplied row y from the top.
  const BYTE* Row(int y) const { return m_rbuf.row_ptr(y); }

 private:
  std::vector<BYTE> m_copy;
  agg::rendering_buffer m_rbuf;
  PixFmt m_pixf;
};

void Demultiply(const Color* in, BYTE* out, unsigned len) {
  for (unsigned i = 0; i < len; ++i, out += 4) {
    unsigned a = in[i].a;
    if (a == 255) {  // (v * 255 + 127) / 255 == v
      out[0] = BYTE(in[i].b), out[1] = BYTE(in[i].g), out[2] = BYTE(in[i].r), out[3] = 255;
      continue;
    }
    if (a == 0) {
      std::memset(out, 0, 4);
      continue;
    }
    auto un = [a](unsigned v) { return BYTE(std::min(255u, (v * 255 + a / 2) / a)); };
    out[0] = un(in[i].b);
    out[1] = un(in[i].g);
    out[2] = un(in[i].r);
    out[3] = BYTE(a);
  }
}

bool MakeFilterLut(int filter, agg::image_filter_lut& lut) {
  switch (filter) {
    case kFilterHanning: lut.calculate(agg::image_filter_hanning(), true); return true;
    case kFilterHermite: lut.calculate(agg::image_filter_hermite(), true); return true;
    case kFilterQuadric: lut.calculate(agg::image_filter_quadric(), true); return true;
    case kFilterBicubic: lut.calculate(agg::image_filter_catrom(), true); return true;
    case kFilterMitchell: lut.calculate(agg::image_filter_mitchell(), true); return true;
    case kFilterSpline16: lut.calculate(agg::image_filter_spline16(), true); return true;
    case kFilterSpline36: lut.calculate(agg::image_filter_spline36(), true); return true;
    case kFilterLanczos: lut.calculate(agg::image_filter_lanczos36(), true); return true;
    default: return false;  // nearest and bilinear have span generators of their own
  }
}

// Owns the source pixels, the accessor, the interpolator and the span
// generator for one paint.
template <class Accessor, class Interpolator>
class ImageSpanSource : public SpanSource {
 public:
  template <class... TransArgs>
  ImageSpanSource(const BITMAPINFOHEADER* src, int filter, TransArgs&&... args)
      : m_pixels(src), m_accessor(MakeAccessor(m_pixels.Pixf())), m_trans(std::forward<TransArgs>(args)...),
        m_interp(m_trans), m_filter(filter), m_hasLut(MakeFilterLut(filter, m_lut)) {}

  void Generate(BYTE* out, int x, int y, unsigned len) override {
    if (m_colors.size() < len) m_colors.resize(len);
    Color* c = m_colors.data();
    if (m_hasLut) {
      agg::span_image_filter_rgba<Accessor, Interpolator> gen(m_accessor, m_interp, m_lut);
      gen.generate(c, x, y, len);
    } else if (m_filter == kFilterNearest) {
      agg::span_image_filter_rgba_nn<Accessor, Interpolator> gen(m_accessor, m_interp);
      gen.generate(c, x, y, len);
    } else {
      agg::span_image_filter_rgba_bilinear<Accessor, Interpolator> gen(m_accessor, m_interp);
      gen.generate(c, x, y, len);
    }
    Demultiply(c, out, len);
  }

 private:
  static Accessor MakeAccessor(PixFmt& pf) {
    if constexpr (std::is_same_v<Accessor, agg::image_accessor_clip<PixFmt>>)
      return Accessor(pf, Color(0, 0, 0, 0));
    else
      return Accessor(pf);
  }
  using Trans = typename Interpolator::trans_type;

  SourcePixels m_pixels;
  Accessor m_accessor;
  Trans m_trans;
  Interpolator m_interp;
  int m_filter;
  agg::image_filter_lut m_lut;
  bool m_hasLut;
  std::vector<Color> m_colors;
};

// A LUT filter through an axis-aligned scale and translation, computed in
// two passes: each destination row first filters the source columns it needs
// vertically, then every pixel filters that row horizontally. Sample
// positions, weights, edges (transparent or clamped) and clamping follow the
// two-dimensional AGG generator; the vertical sum is rounded once before the
// horizontal one, with four bits of fraction kept, and the result is rounded
// rather than floored: AGG rounds every product of two weights and floors
// the sum, which darkens flat areas by a level where a filter table does not
// sum to one. A channel moves by a few levels at most on noise.
class ScaledImageSpanSource : public SpanSource {
  static constexpr int kExtraBits = 4;
  static constexpr int kVerticalShift = agg::image_filter_shift - kExtraBits;
  static constexpr int kHorizontalShift = agg::image_filter_shift + kExtraBits;

 public:
  ScaledImageSpanSource(const BITMAPINFOHEADER* src, int filter, int edgeMode, const agg::trans_affine& dstToSrc)
      : m_pixels(src), m_w(DibWidth(src)), m_h(DibHeight(src)), m_clamp(edgeMode == kEdgeClamp),
        m_trans(dstToSrc) {
    MakeFilterLut(filter, m_lut);
    m_diameter = int(m_lut.diameter());
    m_start = m_lut.start();
  }

  void Generate(BYTE* out, int x, int y, unsigned len) override {
    const int16_t* weights = m_lut.weight_array();
    const int d = m_diameter;
    // Horizontal sample windows of the span's pixels; they depend only on x,
    // so consecutive rows with the same span reuse them.
    if (x != m_spanX || len != m_spanLen) ComputeColumns(x, len);
    const int lo = m_lo, hi = m_hi;
    // Vertical pass over the source columns lo..hi of the sample rows.
    int unusedX, yhr;
    agg::span_interpolator_linear<agg::trans_affine> interp(m_trans);
    interp.begin(x + 0.5, y + 0.5, 1);
    interp.coordinates(&unusedX, &yhr);
    yhr -= agg::image_subpixel_scale / 2;
    const int top = (yhr >> agg::image_subpixel_shift) + m_start;
    const int yfract = agg::image_subpixel_mask - (yhr & agg::image_subpixel_mask);
    const int n = hi - lo + 1;
    m_column.assign(std::size_t(n) * 4, 0);
    for (int j = 0; j < d; ++j) {
      int row = top + j;
      if (m_clamp) row = std::clamp(row, 0, m_h - 1);
      else if (row < 0 || row >= m_h) continue;
      const int wy = weights[yfract + j * agg::image_subpixel_scale];
      const BYTE* src = m_pixels.Row(row);
      int* acc = m_column.data();
      for (int c = lo; c <= hi; ++c, acc += 4) {
        int col = c;
        if (m_clamp) col = std::clamp(col, 0, m_w - 1);
        else if (col < 0 || col >= m_w) continue;
        const BYTE* p = src + std::size_t(col) * 4;
        acc[0] += wy * p[0], acc[1] += wy * p[1], acc[2] += wy * p[2], acc[3] += wy * p[3];
      }
    }
    // Column sums keep kExtraBits of fraction into the horizontal pass (they
    // still fit 16 bits there).
    for (int& v : m_column) v = (v + (1 << (kVerticalShift - 1))) >> kVerticalShift;
#ifdef __SSE2__
    if (d == 4) {
      HorizontalPass4(out, len, lo, n);
      return;
    }
#endif
    // Horizontal pass.
    for (unsigned i = 0; i < len; ++i, out += 4) {
      const int* v = m_column.data() + std::size_t(m_colLo[i] - lo) * 4;
      const int16_t* w = m_colW.data() + std::size_t(i) * d;
      const int round = 1 << (kHorizontalShift - 1);
      int b = round, g = round, r = round, a = round;
      for (int k = 0; k < d; ++k, v += 4) b += w[k] * v[0], g += w[k] * v[1], r += w[k] * v[2], a += w[k] * v[3];
      a = std::clamp(a >> kHorizontalShift, 0, 255);
      b = std::clamp(b >> kHorizontalShift, 0, a);
      g = std::clamp(g >> kHorizontalShift, 0, a);
      r = std::clamp(r >> kHorizontalShift, 0, a);
      const Color c{unsigned(r), unsigned(g), unsigned(b), unsigned(a)};
      Demultiply(&c, out, 1);
    }
  }

 private:
#ifdef __SSE2__
  // The horizontal pass of a four-tap filter: each column sum is interleaved
  // with its right neighbour as 16-bit values, so two multiply-adds of weight
  // pairs give the four channels of a pixel.
  void HorizontalPass4(BYTE* out, unsigned len, int lo, int n) {
    m_pairs.resize(std::size_t(n + 2) * 8);
    std::int16_t* pr = m_pairs.data();
    const int* v = m_column.data();
    for (int c = 0; c < n + 2; ++c, pr += 8)
      for (int ch = 0; ch < 4; ++ch) {
        pr[2 * ch] = c < n ? std::int16_t(v[c * 4 + ch]) : 0;
        pr[2 * ch + 1] = c + 1 < n ? std::int16_t(v[(c + 1) * 4 + ch]) : 0;
      }
    const __m128i round = _mm_set1_epi32(1 << (kHorizontalShift - 1));
    for (unsigned i = 0; i < len; ++i, out += 4) {
      const std::int16_t* p = m_pairs.data() + std::size_t(m_colLo[i] - lo) * 8;
      const __m128i w01 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_pairW.data() + std::size_t(i) * 16));
      const __m128i w23 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_pairW.data() + std::size_t(i) * 16 + 8));
      __m128i acc = _mm_add_epi32(_mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), w01),
                                  _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), w23));
      acc = _mm_srai_epi32(_mm_add_epi32(acc, round), kHorizontalShift);
      acc = _mm_packs_epi32(acc, acc);
      acc = _mm_packus_epi16(acc, acc);  // b, g, r, a limited to 0..255
      std::uint32_t bgra = std::uint32_t(_mm_cvtsi128_si32(acc));
      std::memcpy(out, &bgra, 4);
      const BYTE a = out[3];
      if (a == 255) continue;
      const Color c{std::min(out[2], a), std::min(out[1], a), std::min(out[0], a), a};
      Demultiply(&c, out, 1);
    }
  }
#endif

  void ComputeColumns(int x, unsigned len) {
    const int16_t* weights = m_lut.weight_array();
    const int d = m_diameter;
    m_colLo.resize(len);
    m_colW.resize(std::size_t(len) * d);
    m_lo = INT32_MAX;
    m_hi = INT32_MIN;
    // The same interpolation along the span as the AGG generator.
    agg::span_interpolator_linear<agg::trans_affine> interp(m_trans);
    interp.begin(x + 0.5, 0.5, len);
    for (unsigned i = 0; i < len; ++i, ++interp) {
      int hr, unusedY;
      interp.coordinates(&hr, &unusedY);
      hr -= agg::image_subpixel_scale / 2;
      const int first = (hr >> agg::image_subpixel_shift) + m_start;
      const int fract = agg::image_subpixel_mask - (hr & agg::image_subpixel_mask);
      m_colLo[i] = first;
      for (int k = 0; k < d; ++k) m_colW[std::size_t(i) * d + k] = weights[fract + k * agg::image_subpixel_scale];
      m_lo = std::min(m_lo, first);
      m_hi = std::max(m_hi, first + d - 1);
    }
    if (d == 4) {  // the weight pairs of the four-tap pass
      m_pairW.resize(std::size_t(len) * 16);
      for (unsigned i = 0; i < len; ++i)
        for (int ch = 0; ch < 4; ++ch)
          for (int k = 0; k < 2; ++k) {
            m_pairW[std::size_t(i) * 16 + 2 * ch + k] = m_colW[std::size_t(i) * 4 + k];
            m_pairW[std::size_t(i) * 16 + 8 + 2 * ch + k] = m_colW[std::size_t(i) * 4 + 2 + k];
          }
    }
    m_spanX = x;
    m_spanLen = len;
  }

  SourcePixels m_pixels;
  int m_w, m_h;
  bool m_clamp;
  int m_spanX = INT32_MIN, m_lo = 0, m_hi = -1;
  unsigned m_spanLen = 0;
  agg::trans_affine m_trans;
  agg::image_filter_lut m_lut;
  int m_diameter = 0, m_start = 0;
  std::vector<int> m_colLo;
  std::vector<int16_t> m_colW;
  std::vector<int> m_column;
  std::vector<std::int16_t> m_pairs, m_pairW;
};

// Bilinear sampling through any interpolator, the same arithmetic as AGG's
// span_image_filter_rgba_bilinear with the clip (transparent outside) or
// clone (edge repeated) accessor, reading the four pixels directly.
template <class Interpolator>
class BilinearSpanSource : public SpanSource {
  using Trans = typename Interpolator::trans_type;

 public:
  template <class... TransArgs>
  BilinearSpanSource(const BITMAPINFOHEADER* src, bool clamp, TransArgs&&... args)
      : m_pixels(src), m_w(DibWidth(src)), m_h(DibHeight(src)), m_clamp(clamp),
        m_trans(std::forward<TransArgs>(args)...), m_interp(m_trans) {}

  void Generate(BYTE* out, int x, int y, unsigned len) override {
    static const BYTE kClear[4] = {0, 0, 0, 0};
    constexpr int kScale = agg::image_subpixel_scale, kMask = agg::image_subpixel_mask;
    m_interp.begin(x + 0.5, y + 0.5, len);
    for (unsigned i = 0; i < len; ++i, ++m_interp, out += 4) {
      int xh, yh;
      m_interp.coordinates(&xh, &yh);
      xh -= kScale / 2;
      yh -= kScale / 2;
      const int xl = xh >> agg::image_subpixel_shift, yl = yh >> agg::image_subpixel_shift;
      xh &= kMask;
      yh &= kMask;
      const BYTE *p00, *p01, *p10, *p11;
      if (xl >= 0 && yl >= 0 && xl + 1 < m_w && yl + 1 < m_h) {
        p00 = m_pixels.Row(yl) + std::size_t(xl) * 4;
        p01 = p00 + 4;
        p10 = m_pixels.Row(yl + 1) + std::size_t(xl) * 4;
        p11 = p10 + 4;
      } else if (m_clamp) {
        const int x0 = std::clamp(xl, 0, m_w - 1), x1 = std::clamp(xl + 1, 0, m_w - 1);
        const BYTE* r0 = m_pixels.Row(std::clamp(yl, 0, m_h - 1));
        const BYTE* r1 = m_pixels.Row(std::clamp(yl + 1, 0, m_h - 1));
        p00 = r0 + std::size_t(x0) * 4, p01 = r0 + std::size_t(x1) * 4;
        p10 = r1 + std::size_t(x0) * 4, p11 = r1 + std::size_t(x1) * 4;
      } else {
        auto at = [&](int px, int py) {
          return px >= 0 && py >= 0 && px < m_w && py < m_h ? m_pixels.Row(py) + std::size_t(px) * 4 : kClear;
        };
        p00 = at(xl, yl), p01 = at(xl + 1, yl), p10 = at(xl, yl + 1), p11 = at(xl + 1, yl + 1);
      }
      const unsigned w00 = unsigned(kScale - xh) * unsigned(kScale - yh), w01 = unsigned(xh) * unsigned(kScale - yh);
      const unsigned w10 = unsigned(kScale - xh) * unsigned(yh), w11 = unsigned(xh) * unsigned(yh);
      for (int c = 0; c < 4; ++c)
        out[c] = BYTE((kScale * kScale / 2 + w00 * p00[c] + w01 * p01[c] + w10 * p10[c] + w11 * p11[c]) >>
                      (agg::image_subpixel_shift * 2));
      if (out[3] != 255) {
        const Color c{unsigned(out[2]), unsigned(out[1]), unsigned(out[0]), unsigned(out[3])};
        Demultiply(&c, out, 1);
      }
    }
  }

 private:
  SourcePixels m_pixels;
  int m_w, m_h;
  bool m_clamp;
  Trans m_trans;
  Interpolator m_interp;
};

template <class Interpolator, class... TransArgs>
std::unique_ptr<SpanSource> MakeSource(const BITMAPINFOHEADER* src, int filter, int edgeMode, TransArgs&&... args) {
  if (filter == kFilterBilinear)
    return std::make_unique<BilinearSpanSource<Interpolator>>(src, edgeMode == kEdgeClamp,
                                                              std::forward<TransArgs>(args)...);
  if (edgeMode == kEdgeClamp)
    return std::make_unique<ImageSpanSource<agg::image_accessor_clone<PixFmt>, Interpolator>>(
        src, filter, std::forward<TransArgs>(args)...);
  return std::make_unique<ImageSpanSource<agg::image_accessor_clip<PixFmt>, Interpolator>>(
      src, filter, std::forward<TransArgs>(args)...);
}

}  // namespace

std::unique_ptr<SpanSource> MakeAffineImageSource(const BITMAPINFOHEADER* src, const agg::trans_affine& dstToSrc,
                                                  int filter, int edgeMode) {
  if (!Is32BitDib(src) || !std::isfinite(dstToSrc.determinant())) return nullptr;
  const bool lutFilter = filter >= kFilterHanning && filter <= kFilterLanczos;
  if (lutFilter && dstToSrc.shx == 0 && dstToSrc.shy == 0 && std::isfinite(dstToSrc.tx) &&
      std::isfinite(dstToSrc.ty) && std::fabs(dstToSrc.sx) < 1e4 && std::fabs(dstToSrc.sy) < 1e4)
    return std::make_unique<ScaledImageSpanSource>(src, filter, edgeMode, dstToSrc);
  return MakeSource<agg::span_interpolator_linear<agg::trans_affine>>(src, filter, edgeMode, dstToSrc);
}

std::unique_ptr<SpanSource> MakePerspectiveImageSource(const BITMAPINFOHEADER* src, const double* srcRect,
                                                       const double* quad, int filter, int edgeMode) {
  if (!Is32BitDib(src)) return nullptr;
  agg::trans_perspective t(quad, srcRect[0], srcRect[1], srcRect[2], srcRect[3]);
  if (!t.is_valid()) return nullptr;
  return MakeSource<agg::span_interpolator_trans<agg::trans_perspective>>(src, filter, edgeMode, t);
}

}  // namespace TevVecLib::detail
