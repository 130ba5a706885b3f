#include "companions/vector/span_render.h"

#include <agg_image_accessors.h>
#include <agg_image_filters.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rendering_buffer.h>
#include <agg_span_image_filter_rgba.h>
#include <agg_span_interpolator_linear.h>
#include <agg_span_interpolator_trans.h>
#include <agg_trans_perspective.h>

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
    for (int i = 0; i < len; ++i) ComposePixel(d + i * 4, px.data() + std::size_t(i) * 4, cv[i], mode);
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
      const BYTE* row = DibRow(src, y);
      for (int x = 0; x < w; ++x)
        if (row[x * 4 + 3] != 255) {
          opaque = false;
          break;
        }
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

 private:
  std::vector<BYTE> m_copy;
  agg::rendering_buffer m_rbuf;
  PixFmt m_pixf;
};

void Demultiply(const Color* in, BYTE* out, unsigned len) {
  for (unsigned i = 0; i < len; ++i, out += 4) {
    unsigned a = in[i].a;
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

template <class Interpolator, class... TransArgs>
std::unique_ptr<SpanSource> MakeSource(const BITMAPINFOHEADER* src, int filter, int edgeMode, TransArgs&&... args) {
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
