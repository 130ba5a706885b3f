// The two-pass path for axis-aligned scales must give the pictures of the
// general two-dimensional filter (which a sheared matrix takes) within three
// levels on noise, with a mean difference below 0.6 of a level (the general
// filter floors its sums and so loses up to a level on flat areas), for every
// filter, opaque and translucent sources, magnification and reduction, both
// edge modes. A flat picture stays exactly flat, whatever the filter.
#include <gtest/gtest.h>

#include <agg_image_accessors.h>
#include <agg_pixfmt_rgba.h>
#include <agg_span_image_filter_rgba.h>
#include <agg_span_interpolator_linear.h>

#include <cstdlib>

#include "companions/vector/TevVectorRender.h"
#include "vector_test_util.h"

using namespace TevVecLib;
using lwtest::MakeDib;
using lwtest::Rect;
using lwtest::MakeNoiseDib;

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

TEST(VectorScaledFilter, FlatPictureStaysExact) {
  auto src = MakeDib(19, 11, 0xFF3C7AB4);
  for (int filter : {kFilterHanning, kFilterBicubic, kFilterMitchell, kFilterSpline36, kFilterLanczos})
    for (double s : {4.0, 0.7}) {
      SCOPED_TRACE(::testing::Message() << "filter " << filter << " scale " << s);
      auto dst = MakeDib(30, 20, 0);
      CTevRenderVectorObj r(0);
      CTevPath p = Rect(0, 0, 30, 20);
      r.AddShapePath(p, CTevTransMatrix(), nullptr);
      ASSERT_TRUE(r.Paint32BitsDIBWithImageX(dst.get(), nullptr, src.get(), CTevTransMatrix(s, 0, 0, s, 0, 0),
                                             kComposeCopy, 1, filter, kEdgeClamp));
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(lwtest::PxU(dst.get(), x, y), 0xFF3C7AB4u) << x << "," << y;
    }
}
