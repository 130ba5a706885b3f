// The direct image samplers (bilinear and every table filter, through affine
// and projective mappings, transparent and clamped edges) against AGG's own
// span generators on the same mapping: every pixel of every span must be
// identical once AGG's premultiplied colour is turned back into straight
// colour. Sources are opaque and translucent; mappings reach past the picture
// on every side.
#include <gtest/gtest.h>

#include <agg_image_accessors.h>
#include <agg_pixfmt_rgba.h>
#include <agg_span_image_filter_rgba.h>
#include <agg_span_interpolator_linear.h>
#include <agg_span_interpolator_trans.h>
#include <agg_trans_perspective.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "companions/vector/TevVectorRender.h"
#include "companions/vector/bilinear_runs.h"
#include "companions/vector/span_render.h"
#include "vector_test_util.h"

using namespace TevVecLib;
using lwtest::MakeNoiseDib;

namespace {

using PixFmt = agg::pixfmt_bgra32_pre;
constexpr int kW = 48, kH = 36;  // destination spans

// The source as AGG reads it: premultiplied, rows from the top.
struct AggSource {
  std::vector<BYTE> bits;
  agg::rendering_buffer rbuf;
  PixFmt pixf;
  explicit AggSource(const BITMAPINFOHEADER* src) {
    const int w = DibWidth(src), h = DibHeight(src);
    bits.resize(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const BYTE* s = DibRow(src, y) + 4 * x;
        BYTE* d = &bits[(std::size_t(y) * w + x) * 4];
        for (int c = 0; c < 3; ++c) d[c] = BYTE((s[c] * s[3] + 127) / 255);
        d[3] = s[3];
      }
    rbuf.attach(bits.data(), unsigned(w), unsigned(h), w * 4);
    pixf.attach(rbuf);
  }
};

// Compares one span of ours (straight BGRA) with AGG's premultiplied colours.
void ExpectSameSpan(const BYTE* ours, const agg::rgba8* ref, int y) {
  for (int x = 0; x < kW; ++x, ours += 4) {
    const agg::rgba8& c = ref[x];
    const unsigned a = c.a;
    auto straight = [a](unsigned v) { return a ? std::min(255u, (v * 255 + a / 2) / a) : 0u; };
    const unsigned want[4] = {straight(c.b), straight(c.g), straight(c.r), a};
    for (int ch = 0; ch < 4; ++ch) ASSERT_EQ(ours[ch], want[ch]) << "pixel " << x << "," << y << " channel " << ch;
  }
}

// Runs AGG's generator for filter (bilinear or a table) over every row.
template <class Accessor, class Interp>
void CompareRows(detail::SpanSource& ours, Accessor& accessor, Interp& interp, int filter) {
  agg::image_filter_lut lut;
  switch (filter) {
    case kFilterHanning: lut.calculate(agg::image_filter_hanning(), true); break;
    case kFilterHermite: lut.calculate(agg::image_filter_hermite(), true); break;
    case kFilterQuadric: lut.calculate(agg::image_filter_quadric(), true); break;
    case kFilterBicubic: lut.calculate(agg::image_filter_catrom(), true); break;
    case kFilterMitchell: lut.calculate(agg::image_filter_mitchell(), true); break;
    case kFilterSpline16: lut.calculate(agg::image_filter_spline16(), true); break;
    case kFilterSpline36: lut.calculate(agg::image_filter_spline36(), true); break;
    case kFilterLanczos: lut.calculate(agg::image_filter_lanczos36(), true); break;
    default: break;
  }
  std::vector<BYTE> row(std::size_t(kW) * 4);
  agg::rgba8 ref[kW];
  for (int y = 0; y < kH; ++y) {
    ours.Generate(row.data(), 0, y, kW);
    if (filter == kFilterBilinear) {
      agg::span_image_filter_rgba_bilinear<Accessor, Interp> gen(accessor, interp);
      gen.generate(ref, 0, y, kW);
    } else {
      agg::span_image_filter_rgba<Accessor, Interp> gen(accessor, interp, lut);
      gen.generate(ref, 0, y, kW);
    }
    ExpectSameSpan(row.data(), ref, y);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// One case for both edge modes through AGG's matching accessor.
template <class Interp, class MakeOurs>
void CompareEdges(const BITMAPINFOHEADER* src, Interp& interp, int filter, MakeOurs makeOurs) {
  AggSource agg(src);
  {
    SCOPED_TRACE("transparent edges");
    auto ours = makeOurs(kEdgeTransparent);
    ASSERT_TRUE(ours);
    agg::image_accessor_clip<PixFmt> clip(agg.pixf, agg::rgba8(0, 0, 0, 0));
    CompareRows(*ours, clip, interp, filter);
  }
  {
    SCOPED_TRACE("clamped edges");
    auto ours = makeOurs(kEdgeClamp);
    ASSERT_TRUE(ours);
    agg::image_accessor_clone<PixFmt> clone(agg.pixf);
    CompareRows(*ours, clone, interp, filter);
  }
}

const int kFilters[] = {kFilterBilinear, kFilterHanning, kFilterHermite, kFilterQuadric, kFilterBicubic,
                        kFilterMitchell, kFilterSpline16, kFilterSpline36, kFilterLanczos};

}  // namespace

TEST(VectorSamplers, AffineMatchesAggForEveryFilter) {
  // Destination-to-source matrices: a turn with magnification, a shear with
  // reduction, a mirror across a slanted line. None is a pure scale (that has
  // a two-pass path of its own).
  const agg::trans_affine mats[] = {
      agg::trans_affine_rotation(0.41) * agg::trans_affine_scaling(0.55) * agg::trans_affine_translation(-3.3, 2.7),
      agg::trans_affine(1.6, 0.35, -0.25, 1.3, -6.5, -4.25),
      agg::trans_affine(0.2, 0.98, 0.98, -0.2, -1, 5)};
  for (bool opaque : {true, false}) {
    auto src = MakeNoiseDib(29, 21, opaque ? 3 : 4, opaque);
    for (int mi = 0; mi < 3; ++mi)
      for (int filter : kFilters) {
        SCOPED_TRACE(::testing::Message() << (opaque ? "opaque" : "translucent") << " matrix " << mi << " filter "
                                          << filter);
        agg::trans_affine t = mats[mi];
        agg::span_interpolator_linear<agg::trans_affine> interp(t);
        CompareEdges(src.get(), interp, filter, [&](int edge) {
          return detail::MakeAffineImageSource(src.get(), mats[mi], filter, edge);
        });
        if (HasFatalFailure()) return;
      }
  }
}

TEST(VectorSamplers, PerspectiveMatchesAgg) {
  // Quads as the 3D transitions make them: a trapezoid seen tilted, one
  // reaching past the destination, a small far one.
  const double quads[][8] = {{6, 2, 40, 5, 44, 30, 2, 34}, {-20, -8, 70, 0, 56, 50, -4, 44}, {18, 14, 27, 15, 26, 22, 19, 21}};
  for (bool opaque : {true, false}) {
    auto src = MakeNoiseDib(31, 19, opaque ? 7 : 8, opaque);
    const double rect[4] = {0, 0, 31, 19};
    for (int qi = 0; qi < 3; ++qi)
      for (int filter : {kFilterBilinear, kFilterHermite, kFilterBicubic, kFilterLanczos}) {
        SCOPED_TRACE(::testing::Message() << (opaque ? "opaque" : "translucent") << " quad " << qi << " filter "
                                          << filter);
        agg::trans_perspective t(quads[qi], rect[0], rect[1], rect[2], rect[3]);
        ASSERT_TRUE(t.is_valid());
        agg::span_interpolator_trans<agg::trans_perspective> interp(t);
        CompareEdges(src.get(), interp, filter, [&](int edge) {
          return detail::MakePerspectiveImageSource(src.get(), rect, quads[qi], filter, edge);
        });
        if (HasFatalFailure()) return;
      }
  }
}

// The AVX2 bilinear kernel against the SSE2 one (which the comparisons above
// check against AGG on processors without AVX2) on random windows of a
// translucent picture, odd run lengths included.
TEST(VectorSamplers, BilinearKernelsAgree) {
  const auto avx2 = detail::BilinearRunAvx2();
  if (!avx2) GTEST_SKIP() << "this processor has no AVX2";
  auto src = MakeNoiseDib(40, 30, 21, false);
  AggSource pre(src.get());  // premultiplied rows from the top
  std::mt19937 gen(5);
  std::vector<int> xs(257), ys(257);
  for (int& v : xs) v = 128 + int(gen() % (38 * 256));  // windows inside the 40 x 30 picture
  for (int& v : ys) v = 128 + int(gen() % (28 * 256));
  for (unsigned n : {1u, 2u, 7u, 257u}) {
    std::vector<BYTE> a(std::size_t(n) * 4), b(std::size_t(n) * 4);
    detail::BilinearRunSse2()(a.data(), xs.data(), ys.data(), n, pre.bits.data(), 40 * 4);
    avx2(b.data(), xs.data(), ys.data(), n, pre.bits.data(), 40 * 4);
    ASSERT_EQ(a, b) << n << " pixels";
  }
}

// The two-pass path for axis-aligned scales must give the pictures of the
// general two-dimensional filter (which a sheared matrix takes) within three
// levels on noise, with a mean difference below 0.6 of a level (the general
// filter floors its sums and so loses up to a level on flat areas), for every
// filter, opaque and translucent sources, magnification and reduction, both
// edge modes. A flat picture stays exactly flat, whatever the filter.
using lwtest::MakeDib;
using lwtest::Rect;

namespace {

// Largest differences between two pictures (alpha, and colour weighted by
// alpha) and the mean difference of all channels.
void MaxDifference(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b, int& alpha, int& colour, double& mean) {
  alpha = colour = 0;
  long long sum = 0;
  for (int y = 0; y < DibHeight(a); ++y)
    for (int x = 0; x < a->biWidth; ++x) {
      const BYTE* p = DibRow(a, y) + 4 * x;
      const BYTE* q = DibRow(b, y) + 4 * x;
      alpha = std::max(alpha, std::abs(p[3] - q[3]));
      sum += std::abs(p[3] - q[3]);
      for (int c = 0; c < 3; ++c) {
        const int d = std::abs(p[c] * p[3] - q[c] * q[3]) / 255;
        colour = std::max(colour, d);
        sum += d;
      }
    }
  mean = double(sum) / (4.0 * a->biWidth * DibHeight(a));
}

}  // namespace

TEST(VectorScaledFilter, MatchesTheGeneralFilter) {
  for (bool opaque : {true, false}) {
    auto src = MakeNoiseDib(37, 23, opaque ? 5 : 9, opaque);
    for (int filter : {kFilterHanning, kFilterBicubic, kFilterMitchell, kFilterSpline36, kFilterLanczos})
      for (double s : {3.0, 0.6, 1.7})
        for (int edge : {kEdgeTransparent, kEdgeClamp}) {
          SCOPED_TRACE(::testing::Message() << "filter " << filter << " scale " << s << " edge " << edge
                                            << (opaque ? " opaque" : " translucent"));
          // Moved left, and (at 1.7) so far right that the whole destination
          // lies left of the picture: clamped edges repeat its first column.
          const double tx = s == 1.7 ? 80 : -7.25;
          const CTevTransMatrix scaled(s, 0, 0, s, tx, 3.5);
          // A vanishing shear sends the same mapping through the general filter.
          const CTevTransMatrix sheared(s, 1e-13, 1e-13, s, tx, 3.5);
          auto fast = MakeDib(60, 40, 0x20406080), general = MakeDib(60, 40, 0x20406080);
          CTevRenderVectorObj r1(0), r2(0);
          CTevPath p1 = Rect(0.5, 0.25, 59.5, 39), p2 = Rect(0.5, 0.25, 59.5, 39);
          r1.AddShapePath(p1, CTevTransMatrix(), nullptr);
          r2.AddShapePath(p2, CTevTransMatrix(), nullptr);
          ASSERT_TRUE(r1.Paint32BitsDIBWithImageX(fast.get(), nullptr, src.get(), scaled, kComposeCopy, 1, filter, edge));
          ASSERT_TRUE(
              r2.Paint32BitsDIBWithImageX(general.get(), nullptr, src.get(), sheared, kComposeCopy, 1, filter, edge));
          int alpha, colour;
          double mean;
          MaxDifference(fast.get(), general.get(), alpha, colour, mean);
          EXPECT_LE(alpha, 3);
          EXPECT_LE(colour, 3);
          EXPECT_LT(mean, 0.6);
        }
  }
}
