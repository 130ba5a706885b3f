// Selection masks: shapes at odd positions, combinations, magic wand,
// outline cells, drawing and the selection walker.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include <cmath>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;
using imaging_test::Bgra;
using imaging_test::Solid32;

namespace {

int CountSelected(const CTevObjSelection& s) {
  int n = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) n += s.GetBits(x, y)[0] != 0;
  return n;
}

class Invert : public CTevSinglePixelProcessBase {
 public:
  void ProcessPixel(CTevObjImage*, int, int, BYTE* p) override {
    for (int i = 0; i < 3; ++i) p[i] = BYTE(255 - p[i]);
  }
};

}  // namespace

TEST(SelectionShapes, RectangleAtOddPositions) {
  CTevObjSelection s;
  ASSERT_NE(s.CreateRectanleSelection(10, 10, 4, 2, 0), 0);
  EXPECT_EQ(s.GetRect(), (RECT{4, 2, 10, 10}));
  // One pixel outside on each side of the corners, then inside.
  const int levels[][3] = {{3, 5, 0}, {4, 2, 255}, {9, 9, 255}, {10, 9, 0}};
  for (auto [x, y, level] : levels) EXPECT_EQ(s.GetPosLevel(x, y), level) << x << "," << y;
  // Half-covered pixels get half levels.
  ASSERT_NE(s.CreateRectanleSelection(1.5, 3, 4.5, 5, 0), 0);
  EXPECT_EQ(s.GetRect(), (RECT{1, 3, 5, 5}));
  EXPECT_NEAR(s.GetPosLevel(1, 3), 128, 2);
  EXPECT_EQ(s.GetPosLevel(2, 4), 255);
  EXPECT_NEAR(s.GetPosLevel(4, 4), 128, 2);
}

TEST(SelectionShapes, EllipseAndPolygonAreAntiAliased) {
  CTevObjSelection e;
  ASSERT_NE(e.CreateEllipseSelection(3, 5, 23, 17, 0), 0);
  EXPECT_EQ(e.GetRect(), (RECT{3, 5, 23, 17}));
  EXPECT_EQ(e.GetPosLevel(13, 11), 255);  // centre
  EXPECT_EQ(e.GetPosLevel(3, 5), 0);      // bounding-box corner is outside the ellipse
  int partial = 0;
  for (int x = 3; x < 23; ++x) partial += e.GetPosLevel(x, 7) > 0 && e.GetPosLevel(x, 7) < 255;
  EXPECT_GE(partial, 2);
  // Area close to pi * 10 * 6.
  double area = 0;
  for (int y = 0; y < e.Height(); ++y)
    for (int x = 0; x < e.Width(); ++x) area += e.GetBits(x, y)[0] / 255.0;
  EXPECT_NEAR(area, M_PI * 60, 1.0);

  const double tri[] = {5, 5, 25, 5, 5, 15};
  CTevObjSelection p;
  ASSERT_NE(p.CreatePolygonSelection(tri, 3, 0), 0);
  EXPECT_EQ(p.GetRect(), (RECT{5, 5, 25, 15}));
  EXPECT_EQ(p.GetPosLevel(6, 6), 255);
  EXPECT_EQ(p.GetPosLevel(23, 13), 0);
  EXPECT_NEAR(CountSelected(p), 100 + 10, 25);
}

TEST(SelectionCombine, AddSubtractCropAndQueries) {
  CTevObjSelection a, b;
  a.CreateRectanleSelection(0, 0, 4, 4, 0);
  b.CreateRectanleSelection(6, 1, 9, 3, 0);
  ASSERT_TRUE(a.AddSelection(b));
  EXPECT_EQ(a.GetRect(), (RECT{0, 0, 9, 4}));
  EXPECT_EQ(a.GetPosLevel(5, 2), 0);
  EXPECT_EQ(a.GetPosLevel(7, 2), 255);
  EXPECT_EQ(a.GetPosLevel(3, 3), 255);
  EXPECT_TRUE(a.IsRectInSelection(RECT{5, 0, 7, 2}));
  EXPECT_FALSE(a.IsRectInSelection(RECT{4, 0, 6, 4}));

  CTevObjSelection cut;
  cut.CreateRectanleSelection(2, -5, 20, 20, 0);
  ASSERT_TRUE(a.SubSelection(cut));
  EXPECT_EQ(a.GetRect(), (RECT{0, 0, 2, 4}));
  EXPECT_EQ(CountSelected(a), 8);

  EXPECT_FALSE(a.SubSelection(a));  // subtracting itself leaves nothing
  EXPECT_TRUE(a.IsSelectionEmpty());

  CTevObjSelection c;
  c.CreateRectanleSelection(0, 0, 10, 10, 0);
  ASSERT_TRUE(c.CropSelection(RECT{3, 4, 5, 100}));
  EXPECT_EQ(c.GetRect(), (RECT{3, 4, 5, 10}));
  CTevObjSelection i;
  i.CreateRectanleSelection(4, 0, 8, 8, 0);
  ASSERT_TRUE(c.CombineSelection(i, SELECTION_INTERSECT));
  EXPECT_EQ(c.GetRect(), (RECT{4, 4, 5, 8}));
}

TEST(SelectionMagicWand, ConnectedAndGlobalPicks) {
  // White picture with two black squares of one colour and a near-black one.
  CTevObjImage img = Solid32(12, 6, Bgra(255, 255, 255, 255));
  for (int y = 1; y < 3; ++y)
    for (int x = 1; x < 3; ++x) img.SetPixelData(x, y, Bgra(0, 0, 0, 255));
  for (int y = 3; y < 5; ++y)
    for (int x = 8; x < 11; ++x) img.SetPixelData(x, y, Bgra(0, 0, 0, 255));
  img.SetPixelData(5, 5, Bgra(10, 0, 0, 255));
  img.SetPixelData(6, 5, Bgra(0, 0, 0, 254));  // other alpha: never matches

  CTevObjSelection s;
  ASSERT_NE(s.CreateMagicWandSeleciton(img.GetImageBits(), POINT{2, 2}, POINT{100, 50}, 0, 1), 0);
  EXPECT_EQ(s.GetRect(), (RECT{101, 51, 103, 53}));
  EXPECT_EQ(CountSelected(s), 4);

  ASSERT_NE(s.CreateMagicWandSeleciton(img.GetImageBits(), POINT{2, 2}, POINT{0, 0}, 0, 0), 0);
  EXPECT_EQ(s.GetRect(), (RECT{1, 1, 11, 5}));
  EXPECT_EQ(CountSelected(s), 10);
  EXPECT_EQ(s.GetPosLevel(5, 5), 0);

  ASSERT_NE(s.CreateMagicWandSeleciton(img.GetImageBits(), POINT{2, 2}, POINT{0, 0}, 10, 0), 0);
  EXPECT_EQ(CountSelected(s), 11);
  EXPECT_EQ(s.GetPosLevel(5, 5), 255);
  EXPECT_EQ(s.GetPosLevel(6, 5), 0);
}

// The outline at zoom 1 is every selected pixel on the mask's border or next
// to an unselected one, in row order; blocky random masks reach both the
// eight-at-a-time skips and the pixel-by-pixel path.
TEST(SelectionEdges, OutlineMatchesItsDefinitionOnRandomMasks) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 80; ++trial) {
    const int w = 1 + int(rng() % 70), h = 1 + int(rng() % 12);
    CTevObjImage mask(w, h, 8);
    for (int r = 0; r < 3; ++r) {
      const int x0 = int(rng() % w), y0 = int(rng() % h), x1 = x0 + int(rng() % (w - x0 + 1)),
                y1 = y0 + int(rng() % (h - y0 + 1));
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) mask.SetPixelData(x, y, 255);
    }
    for (int k = 0; k < 3; ++k) mask.SetPixelData(int(rng() % w), int(rng() % h), 0);
    CTevObjSelection s;
    if (!s.CreateSelectionFromMask(mask, POINT{0, 0})) continue;
    s.RecalculateEdge(1, true);
    std::deque<POINT> expected;
    const int sw = s.Width(), sh = s.Height();
    auto on = [&](int x, int y) { return x >= 0 && y >= 0 && x < sw && y < sh && s.GetBits(x, y)[0] != 0; };
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x)
        if (on(x, y) && (x == 0 || y == 0 || x == sw - 1 || y == sh - 1 || !on(x - 1, y) || !on(x + 1, y) ||
                         !on(x, y - 1) || !on(x, y + 1)))
          expected.push_back(POINT{x, y});
    EXPECT_EQ(s.GetEdgePoints(), expected) << w << " x " << h << ", trial " << trial;
  }
}

TEST(SelectionWalker, ProcessesCoveredPixelsByLevel) {
  CTevObjImage img = Solid32(4, 4, Bgra(0, 0, 0, 255));
  CTevObjImage mask(3, 3, 8);
  mask.SetPixelData(1, 1, 255);
  mask.SetPixelData(2, 1, 128);
  mask.SetPixelData(1, 2, 255);
  CTevObjSelection s;
  ASSERT_TRUE(s.CreateSelectionFromMask(mask, POINT{0, 0}));
  Invert inv;
  CTevCommonProgress progress;
  // Placed one pixel up and left: mask (1, 1) covers image (0, 0).
  EXPECT_EQ(s.SinglePixelProcessProc(inv, img, POINT{-1, -1}, &progress), 1);
  EXPECT_FLOAT_EQ(progress.Fraction(), 1.0f);
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(255, 255, 255, 255));
  EXPECT_EQ(img.GetPixelData(1, 0), Bgra(128, 128, 128, 255));
  EXPECT_EQ(img.GetPixelData(0, 1), Bgra(255, 255, 255, 255));
  EXPECT_EQ(img.GetPixelData(1, 1), Bgra(0, 0, 0, 255));
  EXPECT_EQ(img.GetPixelData(3, 3), Bgra(0, 0, 0, 255));

  CTevCommonProgress cancel;
  cancel.Cancel();
  CTevObjImage before(img);
  EXPECT_EQ(s.SinglePixelProcessProc(inv, img, POINT{0, 0}, &cancel), 0);
  EXPECT_EQ(img.GetPixelData(1, 2), before.GetPixelData(1, 2));  // second mask row not reached
}

// Selections placed at the far end of the coordinate range.
TEST(SelectionBadArgs, FarPositionsNeitherOverflowNorGrowHuge) {
  CTevObjSelection far1, far2;
  far1.CreateRectanleSelection(0, 0, 2, 2, 0);
  far2.CreateRectanleSelection(0, 0, 2, 2, 0);
  far2.SetSelectionPos(INT32_MAX - 1, INT32_MAX - 1);
  EXPECT_FALSE(far1.AddSelection(far2));  // the union would be far too large
  EXPECT_EQ(far1.GetRect(), (RECT{0, 0, 2, 2}));
  EXPECT_EQ(far2.GetPosLevel(INT32_MIN, 0), 0);
  CTevObjImage view32 = Solid32(4, 4, 0);
  EXPECT_TRUE(far2.DrawSelection(view32, POINT{INT32_MIN, INT32_MIN}, CTevZoomScale(INT32_MIN), RECT{0, 0, 4, 4},
                                 0, 0));
}
