// The one-channel recursive blur against the four-channel one: a plane
// blurred alone must match every channel of the same plane blurred as
// four equal channels, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "companions/vector/recursive_blur.h"

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

TEST(VectorBlurPlane, SpreadsAPointAndLeavesZerosAlone) {
  const int w = 21, h = 21;
  std::vector<BYTE> plane(std::size_t(w) * h, 0);
  RecursiveBlur1(plane.data(), w, h, w, 5);
  for (BYTE v : plane) ASSERT_EQ(v, 0);
  plane[10 * w + 10] = 255;
  RecursiveBlur1(plane.data(), w, h, w, 3);
  const BYTE centre = plane[10 * w + 10], near = plane[10 * w + 12], far = plane[10 * w + 20];
  EXPECT_LT(centre, 255);
  EXPECT_GT(centre, near);
  EXPECT_GT(near, far);
  EXPECT_EQ(plane[10 * w + 8], near);  // symmetric about the point
}
