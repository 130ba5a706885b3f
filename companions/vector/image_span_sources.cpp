// Image span sources: the source picture sampled through an affine or
// projective mapping for the path painter. The bilinear and table-filter
// samplers read the pixels directly and keep the arithmetic of AGG's span
// generators (same positions, weights, rounding and clamping), so their
// pictures are those of AGG's generators, several times faster.
#include "companions/vector/span_render.h"

#include "companions/vector/bilinear_runs.h"

#include <agg_image_accessors.h>
#include <agg_image_filters.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rendering_buffer.h>
#include <agg_span_image_filter_rgba.h>
#include <agg_span_interpolator_linear.h>
#include <agg_span_interpolator_trans.h>
#include <agg_trans_perspective.h>

#include <climits>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace TevVecLib::detail {
namespace {

using PixFmt = agg::pixfmt_bgra32_pre;
using Color = agg::rgba8;
using PerspectiveInterpolator = agg::span_interpolator_trans<agg::trans_perspective>;

static_assert(kSubShift == agg::image_subpixel_shift, "positions in AGG's subpixel units");
constexpr int kWeightShift = agg::image_filter_shift;

// The source as premultiplied BGRA rows from the top. An opaque source is
// read in place; otherwise a premultiplied copy is made.
class SourcePixels {
 public:
  explicit SourcePixels(const BITMAPINFOHEADER* src) {
    const int w = DibWidth(src), h = DibHeight(src);
    const std::size_t stride = DibStride(src);
    bool opaque = true;
    for (int y = 0; y < h && opaque; ++y) {
      // AND of the whole row's pixels as words (the compiler vectorizes it).
      const BYTE* row = DibRow(src, y);
      std::uint32_t all = 0xFFFFFFFFu;
      for (int x = 0; x < w; ++x) all &= Load32(row + std::size_t(x) * 4);
      opaque = (all >> 24) == 255;
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
    m_w = w;
    m_h = h;
  }
  PixFmt& Pixf() { return m_pixf; }
  int Width() const { return m_w; }
  int Height() const { return m_h; }
  // Premultiplied row y from the top.
  const BYTE* Row(int y) const { return m_rbuf.row_ptr(y); }
  // Distance from one row to the next.
  std::ptrdiff_t Step() const { return m_rbuf.stride(); }

 private:
  std::vector<BYTE> m_copy;
  agg::rendering_buffer m_rbuf;
  PixFmt m_pixf;
  int m_w = 0, m_h = 0;
};

void Demultiply(const Color* in, BYTE* out, unsigned len) {
  for (unsigned i = 0; i < len; ++i, out += 4) {
    out[0] = BYTE(in[i].b), out[1] = BYTE(in[i].g), out[2] = BYTE(in[i].r), out[3] = BYTE(in[i].a);
    Unpremultiply(out);
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
    default: return false;  // nearest and bilinear have samplers of their own
  }
}

// Source positions, in 1/256 pixel, of the len destination pixels from
// (x, y): the interpolator's own stepping.
template <class Interpolator>
void SourcePositions(const Interpolator& interp, int x, int y, unsigned len, int* xs, int* ys) {
  Interpolator it = interp;  // a local copy keeps the stepping state in registers
  it.begin(x + 0.5, y + 0.5, len);
  for (unsigned i = 0; i < len; ++i, ++it) it.coordinates(xs + i, ys + i);
}

// The projective interpolator's arithmetic (each pixel centre transformed and
// rounded to 1/256, in the same order of operations) as one loop over the
// span the compiler can vectorize. Positions far beyond any picture (near
// the horizon) are held at a bound instead of overflowing the integers.
void SourcePositions(const PerspectiveInterpolator& interp, int x, int y, unsigned len, int* xs, int* ys) {
  const agg::trans_perspective& t = interp.transformer();
  const double x0 = x + 0.5, y0 = y + 0.5, scale = kSubScale;
  const double yw = y0 * t.w1, yx = y0 * t.shx, yy = y0 * t.sy;
  // Round half away from zero as AGG's iround does; not-a-number goes to the
  // lower bound.
  auto round = [](double v) {
    v = std::min(1e9, std::max(-1e9, v));
    return int(v + std::copysign(0.5, v));
  };
  unsigned i = 0;
#ifdef __SSE2__
  // Two pixels per step; the same operations in the same order, so the same
  // roundings.
  const __m128d w0 = _mm_set1_pd(t.w0), w2 = _mm_set1_pd(t.w2), sx = _mm_set1_pd(t.sx), shy = _mm_set1_pd(t.shy);
  const __m128d tx = _mm_set1_pd(t.tx), ty = _mm_set1_pd(t.ty), vyw = _mm_set1_pd(yw), vyx = _mm_set1_pd(yx);
  const __m128d vyy = _mm_set1_pd(yy), vscale = _mm_set1_pd(scale), one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0);
  const __m128d lo = _mm_set1_pd(-1e9), hi = _mm_set1_pd(1e9), half = _mm_set1_pd(0.5), sign = _mm_set1_pd(-0.0);
  auto roundPair = [&](__m128d v) {
    v = _mm_min_pd(_mm_max_pd(v, lo), hi);  // maxpd returns its second operand for not-a-number
    return _mm_cvttpd_epi32(_mm_add_pd(v, _mm_or_pd(_mm_and_pd(v, sign), half)));
  };
  __m128d px = _mm_set_pd(x0 + 1.0, x0);
  for (; i + 2 <= len; i += 2, px = _mm_add_pd(px, two)) {
    const __m128d m = _mm_div_pd(one, _mm_add_pd(_mm_add_pd(_mm_mul_pd(px, w0), vyw), w2));
    const __m128d X = _mm_mul_pd(_mm_mul_pd(m, _mm_add_pd(_mm_add_pd(_mm_mul_pd(px, sx), vyx), tx)), vscale);
    const __m128d Y = _mm_mul_pd(_mm_mul_pd(m, _mm_add_pd(_mm_add_pd(_mm_mul_pd(px, shy), vyy), ty)), vscale);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(xs + i), roundPair(X));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(ys + i), roundPair(Y));
  }
#endif
  for (; i < len; ++i) {
    const double px1 = x0 + double(int(i));
    const double m = 1.0 / (px1 * t.w0 + yw + t.w2);
    xs[i] = round(m * (px1 * t.sx + yx + t.tx) * scale);
    ys[i] = round(m * (px1 * t.shy + yy + t.ty) * scale);
  }
}

// The number of pixels, from first in direction dir (1 or -1) and at most
// count, whose bilinear window lies wholly outside a w x h picture. Four
// pixels per test where the whole group is outside.
unsigned OutsideRun(const int* xs, const int* ys, unsigned first, unsigned count, int dir, int w, int h) {
  auto outside = [&](std::ptrdiff_t k) {
    const int xl = (xs[k] - kSubScale / 2) >> kSubShift, yl = (ys[k] - kSubScale / 2) >> kSubShift;
    return xl < -1 || yl < -1 || xl >= w || yl >= h;
  };
  unsigned n = 0;
#ifdef __SSE2__
  const __m128i half = _mm_set1_epi32(kSubScale / 2), minusOne = _mm_set1_epi32(-1);
  const __m128i lastX = _mm_set1_epi32(w - 1), lastY = _mm_set1_epi32(h - 1);
  for (; n + 4 <= count; n += 4) {
    const std::ptrdiff_t k = dir > 0 ? std::ptrdiff_t(first + n) : std::ptrdiff_t(first - n) - 3;
    const __m128i xl =
        _mm_srai_epi32(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(xs + k)), half), kSubShift);
    const __m128i yl =
        _mm_srai_epi32(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ys + k)), half), kSubShift);
    const __m128i out = _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi32(minusOne, xl), _mm_cmpgt_epi32(xl, lastX)),
                                     _mm_or_si128(_mm_cmpgt_epi32(minusOne, yl), _mm_cmpgt_epi32(yl, lastY)));
    if (_mm_movemask_epi8(out) != 0xFFFF) break;
  }
#endif
  for (; n < count && outside(dir > 0 ? std::ptrdiff_t(first + n) : std::ptrdiff_t(first - n)); ++n) {}
  return n;
}

// The number of pixels from the first, at most count, whose bilinear window
// lies wholly inside a w x h picture; four pixels per test.
unsigned InsideRun(const int* xs, const int* ys, unsigned count, int w, int h) {
  auto inside = [&](unsigned k) {
    const int xl = (xs[k] - kSubScale / 2) >> kSubShift, yl = (ys[k] - kSubScale / 2) >> kSubShift;
    return unsigned(xl) < unsigned(w - 1) && unsigned(yl) < unsigned(h - 1);
  };
  unsigned n = 0;
#ifdef __SSE2__
  const __m128i half = _mm_set1_epi32(kSubScale / 2), minusOne = _mm_set1_epi32(-1);
  const __m128i lastX = _mm_set1_epi32(w - 1), lastY = _mm_set1_epi32(h - 1);
  for (; n + 4 <= count; n += 4) {
    const __m128i xl =
        _mm_srai_epi32(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(xs + n)), half), kSubShift);
    const __m128i yl =
        _mm_srai_epi32(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ys + n)), half), kSubShift);
    // Inside: -1 < xl < w - 1 and -1 < yl < h - 1.
    const __m128i in = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(xl, minusOne), _mm_cmpgt_epi32(lastX, xl)),
                                     _mm_and_si128(_mm_cmpgt_epi32(yl, minusOne), _mm_cmpgt_epi32(lastY, yl)));
    if (_mm_movemask_epi8(in) != 0xFFFF) break;
  }
#endif
  while (n < count && inside(n)) ++n;
  return n;
}

// Bilinear sampling through any interpolator with the clip (transparent
// outside) or clone (edge repeated) accessor's edges.
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
    const unsigned spanLen = len;
    if (m_xs.size() < len) m_xs.resize(len), m_ys.resize(len);
    const int* xs = m_xs.data();
    const int* ys = m_ys.data();
    SourcePositions(m_interp, x, y, len, m_xs.data(), m_ys.data());
    // Locals: the byte stores below could otherwise alias every member.
    const int w = m_w, h = m_h;
    const bool clamp = m_clamp;
    const BYTE* const first = m_pixels.Row(0);
    const std::ptrdiff_t step = m_pixels.Step();
    auto row = [first, step](int r) { return first + std::ptrdiff_t(r) * step; };
    unsigned i = 0;
    if (!clamp) {
      // Pixels at either end of the span whose four samples all lie outside
      // the picture are transparent: cleared in one go. Rotated and 3D
      // pictures leave long such runs.
      i = OutsideRun(xs, ys, 0, len, 1, w, h);
      len -= OutsideRun(xs, ys, len - 1, len - i, -1, w, h);
      std::memset(out, 0, std::size_t(i) * 4);
      std::memset(out + std::size_t(len) * 4, 0, std::size_t(spanLen - len) * 4);
      out += std::size_t(i) * 4;
    }
    while (i < len) {
      const unsigned j = i + InsideRun(xs + i, ys + i, len - i, w, h);
      if (j > i) {  // a run of windows wholly inside the picture
        m_run(out, xs + i, ys + i, j - i, first, step);
        out += std::size_t(j - i) * 4;
        i = j;
        continue;
      }
      int xh = xs[i] - kSubScale / 2, yh = ys[i] - kSubScale / 2;
      const int xl = xh >> kSubShift, yl = yh >> kSubShift;
      xh &= kSubMask;
      yh &= kSubMask;
      const BYTE *p00, *p01, *p10, *p11;
      ++i;
      out += 4;
      BYTE* const px = out - 4;
      if (clamp) {
        const int x0 = std::clamp(xl, 0, w - 1), x1 = std::clamp(xl + 1, 0, w - 1);
        const BYTE* r0 = row(std::clamp(yl, 0, h - 1));
        const BYTE* r1 = row(std::clamp(yl + 1, 0, h - 1));
        p00 = r0 + std::size_t(x0) * 4, p01 = r0 + std::size_t(x1) * 4;
        p10 = r1 + std::size_t(x0) * 4, p11 = r1 + std::size_t(x1) * 4;
      } else {
        if (xl < -1 || yl < -1 || xl >= w || yl >= h) {  // all four outside
          std::memset(px, 0, 4);
          continue;
        }
        auto at = [&](int cx, int cy) {
          return cx >= 0 && cy >= 0 && cx < w && cy < h ? row(cy) + std::size_t(cx) * 4 : kClear;
        };
        p00 = at(xl, yl), p01 = at(xl + 1, yl), p10 = at(xl, yl + 1), p11 = at(xl + 1, yl + 1);
      }
      BilinearPixel(p00, p01, p10, p11, xh, yh, px);
      if (px[3] != 255) Unpremultiply(px);
    }
  }

 private:
  SourcePixels m_pixels;
  int m_w, m_h;
  bool m_clamp;
  Trans m_trans;
  Interpolator m_interp;
  BilinearRunFn m_run = FastBilinearRun();
  std::vector<int> m_xs, m_ys;
};

// A table filter (diameter d, always even) through any interpolator: the
// arithmetic of AGG's span_image_filter_rgba (each tap's weight is the
// rounded product of its row and column weights, the sum shifted by 14 and
// limited to 0..alpha), reading the d x d window directly.
template <class Interpolator>
class LutSpanSource : public SpanSource {
  using Trans = typename Interpolator::trans_type;

 public:
  template <class... TransArgs>
  LutSpanSource(const BITMAPINFOHEADER* src, int filter, bool clamp, TransArgs&&... args)
      : m_pixels(src), m_w(DibWidth(src)), m_h(DibHeight(src)), m_clamp(clamp),
        m_trans(std::forward<TransArgs>(args)...), m_interp(m_trans) {
    MakeFilterLut(filter, m_lut);
    m_d = int(m_lut.diameter());
    m_start = m_lut.start();
  }

  void Generate(BYTE* out, int x, int y, unsigned len) override {
    if (m_xs.size() < len) m_xs.resize(len), m_ys.resize(len);
    SourcePositions(m_interp, x, y, len, m_xs.data(), m_ys.data());
    switch (m_d) {  // the filters' diameters
      case 2: Span<2>(out, len); break;
      case 4: Span<4>(out, len); break;
      case 6: Span<6>(out, len); break;
      default: break;
    }
  }

 private:
  static int TapWeight(int wy, int wx) { return (wy * wx + agg::image_filter_scale / 2) >> kWeightShift; }

  // Locals throughout: the byte stores could otherwise alias every member.
  template <int D>
  void Span(BYTE* out, unsigned len) const {
    const std::int16_t* weights = m_lut.weight_array();
    const int *xs = m_xs.data(), *ys = m_ys.data();
    const int w = m_w, h = m_h, start = m_start;
    const bool clamp = m_clamp;
    const BYTE* const first = m_pixels.Row(0);
    const std::ptrdiff_t step = m_pixels.Step();
    for (unsigned i = 0; i < len; ++i, out += 4) {
      const int xh = xs[i] - kSubScale / 2, yh = ys[i] - kSubScale / 2;
      const int x0 = (xh >> kSubShift) + start, y0 = (yh >> kSubShift) + start;
      const int xf = kSubMask - (xh & kSubMask), yf = kSubMask - (yh & kSubMask);
      int wx[D], wy[D];
      for (int k = 0; k < D; ++k) wx[k] = weights[xf + k * kSubScale], wy[k] = weights[yf + k * kSubScale];
      if (x0 >= 0 && y0 >= 0 && x0 <= w - D && y0 <= h - D) {
        Inside<D>(out, first + std::ptrdiff_t(y0) * step + std::ptrdiff_t(x0) * 4, step, wx, wy);
      } else {
        if (!clamp && (x0 + D <= 0 || y0 + D <= 0 || x0 >= w || y0 >= h)) {  // wholly outside
          std::memset(out, 0, 4);
          continue;
        }
        AtEdge<D>(out, x0, y0, wx, wy, first, step, w, h, clamp);
      }
      // Colours are premultiplied: none may exceed alpha.
      out[0] = std::min(out[0], out[3]), out[1] = std::min(out[1], out[3]), out[2] = std::min(out[2], out[3]);
      if (out[3] != 255) Unpremultiply(out);
    }
  }

  // The sum shifted down and limited to 0..255 per channel.
  static void Store(BYTE* out, const int* fg) {
    for (int c = 0; c < 4; ++c) out[c] = BYTE(std::clamp(fg[c] >> kWeightShift, 0, 255));
  }

  template <int D>
  static void Inside(BYTE* out, const BYTE* r, std::ptrdiff_t step, const int* wx, const int* wy) {
#ifdef __SSE2__
    // Two taps per multiply-add: the pixels' bytes interleaved as 16-bit pairs.
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    for (int j = 0; j < D; ++j, r += step)
      for (int k = 0; k < D; k += 2) {
        const int w0 = TapWeight(wy[j], wx[k]), w1 = TapWeight(wy[j], wx[k + 1]);
        const __m128i px = _mm_unpacklo_epi8(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(Load32(r + 4 * k))), _mm_cvtsi32_si128(int(Load32(r + 4 * k + 4)))),
            zero);
        acc = _mm_add_epi32(acc,
                            _mm_madd_epi16(px, _mm_set1_epi32(int((unsigned(w1) << 16) | (unsigned(w0) & 0xFFFFu)))));
      }
    __m128i v = _mm_packs_epi32(_mm_srai_epi32(acc, kWeightShift), zero);
    v = _mm_packus_epi16(_mm_max_epi16(v, zero), zero);
    const std::uint32_t px = std::uint32_t(_mm_cvtsi128_si32(v));
    std::memcpy(out, &px, 4);
#else
    int fg[4] = {0, 0, 0, 0};
    for (int j = 0; j < D; ++j, r += step)
      for (int k = 0; k < D; ++k) {
        const int w = TapWeight(wy[j], wx[k]);
        for (int c = 0; c < 4; ++c) fg[c] += w * r[4 * k + c];
      }
    Store(out, fg);
#endif
  }

  // A window reaching past the picture: outside taps are transparent (clip)
  // or repeat the nearest edge pixel (clamp).
  template <int D>
  static void AtEdge(BYTE* out, int x0, int y0, const int* wx, const int* wy, const BYTE* first,
                     std::ptrdiff_t step, int w, int h, bool clamp) {
    int fg[4] = {0, 0, 0, 0};
    for (int j = 0; j < D; ++j) {
      int row = y0 + j;
      if (clamp) row = std::clamp(row, 0, h - 1);
      else if (row < 0 || row >= h) continue;
      const BYTE* r = first + std::ptrdiff_t(row) * step;
      for (int k = 0; k < D; ++k) {
        int col = x0 + k;
        if (clamp) col = std::clamp(col, 0, w - 1);
        else if (col < 0 || col >= w) continue;
        const int weight = TapWeight(wy[j], wx[k]);
        const BYTE* p = r + std::size_t(col) * 4;
        for (int c = 0; c < 4; ++c) fg[c] += weight * p[c];
      }
    }
    Store(out, fg);
  }

  SourcePixels m_pixels;
  int m_w, m_h;
  bool m_clamp;
  Trans m_trans;
  Interpolator m_interp;
  agg::image_filter_lut m_lut;
  int m_d = 0, m_start = 0;
  std::vector<int> m_xs, m_ys;
};

// Nearest-pixel sampling through AGG's generator.
template <class Accessor, class Interpolator>
class NearestSpanSource : public SpanSource {
 public:
  template <class... TransArgs>
  explicit NearestSpanSource(const BITMAPINFOHEADER* src, TransArgs&&... args)
      : m_pixels(src), m_accessor(MakeAccessor(m_pixels.Pixf())), m_trans(std::forward<TransArgs>(args)...),
        m_interp(m_trans) {}

  void Generate(BYTE* out, int x, int y, unsigned len) override {
    if (m_colors.size() < len) m_colors.resize(len);
    agg::span_image_filter_rgba_nn<Accessor, Interpolator> gen(m_accessor, m_interp);
    gen.generate(m_colors.data(), x, y, len);
    Demultiply(m_colors.data(), out, len);
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
    // The d sample rows; a row outside the picture (transparent edges) weighs
    // nothing.
    m_rowPtr.resize(std::size_t(d));
    m_rowW.resize(std::size_t(d));
    for (int j = 0; j < d; ++j) {
      int row = top + j;
      int w = weights[yfract + j * agg::image_subpixel_scale];
      if (m_clamp) row = std::clamp(row, 0, m_h - 1);
      else if (row < 0 || row >= m_h) row = 0, w = 0;
      m_rowPtr[j] = m_pixels.Row(row);
      m_rowW[j] = w;
    }
    m_column.resize(std::size_t(n) * 4);
    int* acc = m_column.data();
    // Columns inside the picture in one run; those beyond its edges are
    // transparent or repeat the edge column.
    const int inLo = std::clamp(lo, 0, m_w), inHi = std::clamp(hi + 1, inLo, m_w);
    auto edge = [&](int c) {
      int* a = acc + std::size_t(c - lo) * 4;
      if (m_clamp) VerticalSums(std::size_t(std::clamp(c, 0, m_w - 1)) * 4, 1, a);
      else a[0] = a[1] = a[2] = a[3] = 0;
    };
    for (int c = lo; c < std::min(inLo, hi + 1); ++c) edge(c);
    VerticalSums(std::size_t(inLo) * 4, inHi - inLo, acc + std::size_t(inLo - lo) * 4);
    for (int c = std::max(inHi, lo); c <= hi; ++c) edge(c);
#ifdef __SSE2__
    if (d % 2 == 0 && d <= 8) {
      HorizontalPassPairs(out, len, lo, n);
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
  // The weighted sums over the sample rows of count columns from the byte
  // offset, rounded to kExtraBits of fraction, into acc (four per column).
  void VerticalSums(std::size_t offset, int count, int* acc) const {
    constexpr int kRound = 1 << (kVerticalShift - 1);
    const int d = m_diameter;
    const BYTE* const* rows = m_rowPtr.data();
    const int* w = m_rowW.data();
#ifdef __SSE2__
    // Two rows per multiply-add: their bytes interleaved as 16-bit pairs.
    const __m128i zero = _mm_setzero_si128();
    __m128i pairW[4];  // diameters are at most 8
    for (int j = 0; j < d; j += 2)
      pairW[j / 2] = _mm_set1_epi32(int((unsigned(w[j + 1]) << 16) | (unsigned(w[j]) & 0xFFFFu)));
    for (int c = 0; c < count; ++c, offset += 4, acc += 4) {
      __m128i sum = _mm_set1_epi32(kRound);
      for (int j = 0; j < d; j += 2) {
        const __m128i px = _mm_unpacklo_epi8(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(Load32(rows[j] + offset))),
                              _mm_cvtsi32_si128(int(Load32(rows[j + 1] + offset)))),
            zero);
        sum = _mm_add_epi32(sum, _mm_madd_epi16(px, pairW[j / 2]));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(acc), _mm_srai_epi32(sum, kVerticalShift));
    }
#else
    for (int c = 0; c < count; ++c, offset += 4, acc += 4) {
      int sum[4] = {kRound, kRound, kRound, kRound};
      for (int j = 0; j < d; ++j)
        for (int k = 0; k < 4; ++k) sum[k] += w[j] * rows[j][offset + k];
      for (int k = 0; k < 4; ++k) acc[k] = sum[k] >> kVerticalShift;
    }
#endif
  }

#ifdef __SSE2__
  // The horizontal pass of an even-diameter filter: each column sum is
  // interleaved with its right neighbour as 16-bit values, so one
  // multiply-add per pair of taps gives the four channels of a pixel.
  void HorizontalPassPairs(BYTE* out, unsigned len, int lo, int n) {
    m_pairs.resize(std::size_t(n + 2) * 8);
    std::int16_t* pr = m_pairs.data();
    const int* v = m_column.data();
    const __m128i zero = _mm_setzero_si128();
    auto column = [&](int c) {
      return c < n ? _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + std::size_t(c) * 4)), zero)
                   : zero;
    };
    for (int c = 0; c < n + 2; ++c, pr += 8)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(pr), _mm_unpacklo_epi16(column(c), column(c + 1)));
    const __m128i round = _mm_set1_epi32(1 << (kHorizontalShift - 1));
    // Locals: the byte stores below could otherwise alias the members.
    const std::int16_t* const pairs = m_pairs.data();
    const std::int16_t* weights = m_pairW.data();
    const int* colLo = m_colLo.data();
    const int taps = m_diameter / 2;  // pairs of taps per pixel
    auto sum = [&](unsigned i) {
      const std::int16_t* p = pairs + std::size_t(colLo[i] - lo) * 8;
      const std::int16_t* w = weights + std::size_t(i) * 8 * std::size_t(taps);
      __m128i acc = round;
      for (int k = 0; k < taps; ++k, p += 16, w += 8)
        acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(w))));
      return _mm_srai_epi32(acc, kHorizontalShift);
    };
    // Straight colour of a premultiplied result (colours limited to alpha).
    auto finish = [](BYTE* px) {
      const BYTE a = px[3];
      if (a == 255) return;
      px[0] = std::min(px[0], a), px[1] = std::min(px[1], a), px[2] = std::min(px[2], a);
      Unpremultiply(px);
    };
    unsigned i = 0;
    for (; i + 2 <= len; i += 2, out += 8) {  // two pixels per store; b, g, r, a limited to 0..255
      const __m128i words = _mm_packs_epi32(sum(i), sum(i + 1));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
      finish(out);
      finish(out + 4);
    }
    if (i < len) {
      const __m128i words = _mm_packs_epi32(sum(i), sum(i));
      const std::uint32_t bgra = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
      std::memcpy(out, &bgra, 4);
      finish(out);
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
    if (d % 2 == 0) {  // the weight pairs of the paired pass: (w0, w1) x 4, (w2, w3) x 4, ...
      m_pairW.resize(std::size_t(len) * 4 * std::size_t(d));
      std::int16_t* pw = m_pairW.data();
      for (unsigned i = 0; i < len; ++i)
        for (int k = 0; k < d; k += 2)
          for (int ch = 0; ch < 4; ++ch, pw += 2)
            pw[0] = m_colW[std::size_t(i) * d + k], pw[1] = m_colW[std::size_t(i) * d + k + 1];
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
  std::vector<const BYTE*> m_rowPtr;
  std::vector<int> m_rowW;
  std::vector<std::int16_t> m_pairs, m_pairW;
};

template <class Interpolator, class... TransArgs>
std::unique_ptr<SpanSource> MakeSource(const BITMAPINFOHEADER* src, int filter, int edgeMode, TransArgs&&... args) {
  const bool clamp = edgeMode == kEdgeClamp;
  if (filter >= kFilterHanning && filter <= kFilterLanczos)
    return std::make_unique<LutSpanSource<Interpolator>>(src, filter, clamp, std::forward<TransArgs>(args)...);
  if (filter != kFilterNearest)  // bilinear, and any unknown filter
    return std::make_unique<BilinearSpanSource<Interpolator>>(src, clamp, std::forward<TransArgs>(args)...);
  if (clamp)
    return std::make_unique<NearestSpanSource<agg::image_accessor_clone<PixFmt>, Interpolator>>(
        src, std::forward<TransArgs>(args)...);
  return std::make_unique<NearestSpanSource<agg::image_accessor_clip<PixFmt>, Interpolator>>(
      src, std::forward<TransArgs>(args)...);
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
