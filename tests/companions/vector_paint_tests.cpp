// Clipping, image transforms and blur of the vector renderer: golden pixels
// inside, outside and on the edges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "companions/vector/TevVectorRender.h"
#include "companions/vector/recursive_blur.h"
#include "vector_test_util.h"

using namespace TevVecLib;
using lwtest::MakeDib;
using lwtest::Rect;
using lwtest::MakeNoiseDib;
using lwtest::Px;
using lwtest::PxU;

namespace {
constexpr double kPi = 3.14159265358979323846;


// The clip mechanism as the effects use it.
void Clip(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, CTevPath& path) {
  CTevRenderVectorObj r(0);
  r.AddShapePath(path, CTevTransMatrix(), nullptr);
  ASSERT_TRUE(r.Paint32BitsDIBWithImageX(dst, nullptr, src, CTevTransMatrix(), 0, 1, 0, 1));
}
}  // namespace

TEST(VectorClip, CopiesInsideLeavesOutsideAndBlendsTheHalfPixelEdge) {
  const int W = 24, H = 16;
  auto src = MakeNoiseDib(W, H, 7);
  auto dst = MakeDib(W, H, 0xFF102030);
  auto before = MakeDib(W, H, 0xFF102030);
  CTevPath path = Rect(2, 3, 10.5, 8);
  Clip(dst.get(), src.get(), path);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      bool inside = x >= 2 && x < 10 && y >= 3 && y < 8;
      if (inside)
        EXPECT_EQ(PxU(dst.get(), x, y), PxU(src.get(), x, y)) << x << "," << y;
      else if (x == 10 && y >= 3 && y < 8) {
        // Half covered: each channel halfway between old and source.
        for (int c = 0; c < 3; ++c) {
          int expect = (Px(src.get(), x, y)[c] + Px(before.get(), x, y)[c]) / 2;
          EXPECT_NEAR(Px(dst.get(), x, y)[c], expect, 2) << x << "," << y;
        }
        EXPECT_EQ(Px(dst.get(), x, y)[3], 255);
      } else
        EXPECT_EQ(PxU(dst.get(), x, y), PxU(before.get(), x, y)) << x << "," << y;
    }
}

TEST(VectorClip, HalfPixelEdgeOnTransparentDestinationKeepsTheColour) {
  auto src = MakeDib(8, 8, 0xFF4080C0);
  auto dst = MakeDib(8, 8, 0);
  CTevPath path = Rect(0, 0, 4.5, 8);
  Clip(dst.get(), src.get(), path);
  const BYTE* e = Px(dst.get(), 4, 2);
  EXPECT_NEAR(e[3], 128, 2);
  EXPECT_EQ(e[0], 0xC0);  // colour not darkened by the partial alpha
  EXPECT_EQ(e[1], 0x80);
  EXPECT_EQ(e[2], 0x40);
  EXPECT_EQ(PxU(dst.get(), 5, 2), 0u);
}

TEST(VectorClip, RingWithOppositeInnerOutlineLeavesTheHoleUntouched) {
  const int W = 64, H = 64;
  auto src = MakeNoiseDib(W, H, 3);
  auto dst = MakeDib(W, H, 0);
  CTevPath path;
  CTevArc outer(32, 32, 30, 30, 0, 2 * kPi, true);
  CTevArc inner(32, 32, 10, 10, 2 * kPi, 0, false);
  path.Concatenate(outer);
  path.Join(inner);
  path.ClosePolygon();
  Clip(dst.get(), src.get(), path);
  EXPECT_EQ(PxU(dst.get(), 32, 32), 0u);                     // the hole
  EXPECT_EQ(PxU(dst.get(), 32, 12), PxU(src.get(), 32, 12));  // on the ring
  EXPECT_EQ(PxU(dst.get(), 1, 1), 0u);                       // outside the disc
}

TEST(VectorTransformImage, QuarterTurnPutsPixelsInPlace) {
  const int W = 7, H = 5;
  auto src = MakeNoiseDib(W, H, 5);
  // Turned a quarter clockwise about the origin, then moved right by H: the
  // source pixel (x, y) lands on (H - 1 - y, x) of an H x W picture.
  CTevTransMatrix m = CTevTransMatrixRotation(kPi / 2);
  m.Multiply(CTevTransMatrixTranslation(H, 0));
  for (int filter : {kFilterNearest, kFilterBilinear, kFilterBicubic}) {
    auto dst = MakeDib(H, W, 0);
    CTevPath path = Rect(0, 0, H, W);
    ASSERT_TRUE(TransformImage(dst.get(), src.get(), m, path, CTevTransMatrix(), filter, 1));
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        for (int c = 0; c < 4; ++c)
          ASSERT_NEAR(Px(dst.get(), H - 1 - y, x)[c], Px(src.get(), x, y)[c], filter == kFilterNearest ? 0 : 1)
              << "filter " << filter << " at " << x << "," << y;
  }
}

// The one-channel recursive blur against the four-channel one: a plane
// blurred alone must match every channel of the same plane blurred as
// four equal channels, byte for byte.
using TevVecLib::detail::RecursiveBlur1;
using TevVecLib::detail::RecursiveBlur4;

namespace {

// Blurs plane (w x h, rows from the top) both ways; returns the first
// mismatch as "x,y: got want", or "" when the results agree.
std::string Compare(const std::vector<BYTE>& plane, int w, int h, double radius, bool bottomUp) {
  std::vector<BYTE> one(plane), four(plane.size() * 4);
  for (std::size_t i = 0; i < plane.size(); ++i) std::memset(&four[i * 4], plane[i], 4);
  // Bottom-up storage: the first row is the last in memory, the stride negative.
  BYTE* first1 = bottomUp ? one.data() + std::size_t(h - 1) * w : one.data();
  BYTE* first4 = bottomUp ? four.data() + std::size_t(h - 1) * w * 4 : four.data();
  RecursiveBlur1(first1, w, h, bottomUp ? -w : w, radius);
  RecursiveBlur4(first4, w, h, bottomUp ? -4 * w : 4 * w, radius);
  for (std::size_t i = 0; i < plane.size(); ++i)
    for (int c = 0; c < 4; ++c)
      if (one[i] != four[i * 4 + c])
        return std::to_string(i % w) + "," + std::to_string(i / w) + ": " + std::to_string(one[i]) + " " +
               std::to_string(four[i * 4 + c]);
  return "";
}

}  // namespace

TEST(VectorBlurPlane, MatchesTheFourChannelBlurOnEveryShapeAndRadius) {
  std::mt19937 gen(5);
  const int sizes[][2] = {{1, 1}, {2, 7}, {7, 2}, {3, 3}, {4, 5}, {15, 17}, {16, 16}, {33, 19}, {70, 41}, {3, 90}};
  for (auto [w, h] : sizes)
    for (int kind = 0; kind < 3; ++kind) {
      std::vector<BYTE> plane(std::size_t(w) * h, 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          BYTE& v = plane[std::size_t(y) * w + x];
          if (kind == 0) v = BYTE(gen());                          // noise
          else if (kind == 1) v = std::abs(x - y) <= 1 ? 255 : 0;  // a thin diagonal
          else v = (y == h / 2 && x > w / 3) ? BYTE(200 + x % 50) : 0;  // one row, mostly zero rows
        }
      for (double radius : {0.5, 0.62, 1.0, 3.0, 10.0, 37.5, 250.0})
        for (bool bottomUp : {false, true})
          EXPECT_EQ(Compare(plane, w, h, radius, bottomUp), "")
              << w << "x" << h << " kind " << kind << " radius " << radius << " bottom-up " << bottomUp;
    }
}

// Degenerate arcs add no vertices.
TEST(VectorArc, ZeroRadiusAddsNothing) {
  CTevArc arc(50, 50, 0, 0, 2 * kPi, 0, false);
  double x, y;
  arc.rewind(0);
  EXPECT_EQ(arc.vertex(&x, &y), 0u);

  CTevPath p;
  p.move_to(0, 0);
  p.line_to(10, 0);
  p.Join(arc);
  EXPECT_EQ(p.VertexCount(), 2u);

  CTevArc bad(0, 0, 5, 5, 0, std::nan(""), true);
  bad.rewind(0);
  EXPECT_EQ(bad.vertex(&x, &y), 0u);
}
