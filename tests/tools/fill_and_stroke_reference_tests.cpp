// The fills and the pen segment against references written here from their
// definitions: a breadth-first flood over "each of B, G, R, A within the
// tolerance" pixels, and stroke shapes (capsule, square-capped band, disc)
// measured by 16 x 16 supersampling of each pixel; a huge serpentine fill.
#include <gtest/gtest.h>

#include <cmath>
#include <queue>
#include <vector>

#include "editing/doc_builder.h"
#include "editing/paint_actions.h"

namespace {

constexpr int kW = 40, kH = 30;
constexpr COLORREF kFill = 0x3BD17F;  // B 0x3B, G 0xD1, R 0x7F

// Diagonal bands of grey, a wall of white at x = 20 with a gap at y = 25,
// and a transparent hole around (32, 6).
std::array<BYTE, 4> Prepared(int x, int y) {
  if (x == 20 && y != 25) return {255, 255, 255, 255};
  if (x >= 30 && x < 35 && y >= 4 && y < 9) return {0, 0, 0, 0};
  const BYTE v = BYTE((x * 7 + y * 3) % 200);
  return {v, BYTE(v / 2), BYTE(255 - v), 255};
}

// Which pixels the definition takes: similar to the seed (each byte within
// tol), or alpha 0 for the transparent forms; connected means 4-connected to
// the seed through such pixels; mask pixels with level 0 are never taken.
std::vector<bool> ReferenceChoice(const BITMAPINFOHEADER* pic, POINT seed, int tol, bool connected, bool trans,
                                  const RECT* maskRect) {
  auto px = [&](int x, int y) { return DibRow(pic, y) + 4 * x; };
  const BYTE* s = px(seed.x, seed.y);
  auto ok = [&](int x, int y) {
    if (maskRect && (x < maskRect->left || x >= maskRect->right || y < maskRect->top || y >= maskRect->bottom))
      return false;
    const BYTE* p = px(x, y);
    if (trans) return p[3] == 0;
    for (int c = 0; c < 4; ++c)
      if (std::abs(p[c] - s[c]) > tol) return false;
    return true;
  };
  std::vector<bool> take(kW * kH, false);
  if (!connected) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) take[y * kW + x] = ok(x, y);
    return take;
  }
  std::queue<POINT> q;
  if (ok(seed.x, seed.y)) {
    take[seed.y * kW + seed.x] = true;
    q.push(seed);
  }
  while (!q.empty()) {
    const POINT p = q.front();
    q.pop();
    const POINT n[4] = {{p.x + 1, p.y}, {p.x - 1, p.y}, {p.x, p.y + 1}, {p.x, p.y - 1}};
    for (const POINT& m : n)
      if (m.x >= 0 && m.y >= 0 && m.x < kW && m.y < kH && !take[m.y * kW + m.x] && ok(m.x, m.y)) {
        take[m.y * kW + m.x] = true;
        q.push(m);
      }
  }
  return take;
}

TEST(FillReference, MatchesDefinitionAtEachToleranceAndForm) {
  struct Case {
    int percent;
    bool connected, trans, masked;
    POINT seed;
  } cases[] = {
      {0, true, false, false, {5, 5}},    {32, true, false, false, {5, 5}},  {100, true, false, false, {5, 5}},
      {0, false, false, false, {5, 5}},   {32, false, false, false, {5, 5}}, {100, false, false, false, {5, 5}},
      {32, true, false, true, {5, 5}},    {32, false, false, true, {25, 12}}, {0, true, true, false, {32, 6}},
      {0, false, true, false, {32, 6}},   {0, true, true, true, {32, 6}},    {32, true, false, false, {20, 3}},
  };
  const RECT maskRect{2, 2, 33, 20};
  std::vector<BYTE> levels(kW * kH, 0);
  for (int y = maskRect.top; y < maskRect.bottom; ++y)
    for (int x = maskRect.left; x < maskRect.right; ++x) levels[y * kW + x] = 255;
  DibKernel::FillMask mask;
  mask.levels = levels.data();
  mask.width = kW;
  mask.height = kH;
  mask.stride = kW;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.percent << "% connected " << c.connected << " trans " << c.trans
                                    << " masked " << c.masked);
    DibPtr pic = PatternPicture(kW, kH, Prepared);
    DibPtr before(CBitmapCreator::Clone(pic.get()));
    const int tol = c.percent * 255 / 100;
    const std::vector<bool> take =
        ReferenceChoice(before.get(), c.seed, tol, c.connected, c.trans, c.masked ? &maskRect : nullptr);
    std::size_t n = 0;
    if (c.trans)
      n = c.connected ? (c.masked ? DibKernel::ExtFillConnectedTransPixels_Mask(pic.get(), c.seed, kFill, 0, mask)
                                  : DibKernel::ExtFillConnectedTransPixels(pic.get(), c.seed, kFill, 0))
                      : DibKernel::ExtFillTransBlock(pic.get(), kFill, 0);
    else if (c.connected)
      n = c.masked ? DibKernel::ExtFillConnectedPixels_Mask(pic.get(), c.seed, tol, kFill, 0, mask)
                   : DibKernel::ExtFillConnectedPixels(pic.get(), c.seed, tol, kFill, 0);
    else
      n = c.masked ? DibKernel::ExtFill32BitsDIB_Mask(pic.get(), c.seed, tol, kFill, 0, mask)
                   : DibKernel::ExtFill32BitsDIB(pic.get(), c.seed, tol, kFill, 0);
    std::size_t expected = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const BYTE* p = DibRow(pic.get(), y) + 4 * x;
        const BYTE* o = DibRow(before.get(), y) + 4 * x;
        if (take[y * kW + x]) {
          ++expected;
          ASSERT_EQ(p[0], 0x3B) << x << "," << y;
          ASSERT_EQ(p[1], 0xD1) << x << "," << y;
          ASSERT_EQ(p[2], 0x7F) << x << "," << y;
          ASSERT_EQ(p[3], 255) << x << "," << y;
        } else {
          ASSERT_EQ(std::memcmp(p, o, 4), 0) << "changed outside the fill at " << x << "," << y;
        }
      }
    EXPECT_EQ(n, expected);
    EXPECT_GT(expected, 0u);
  }
}

// Stroke shapes --------------------------------------------------------------

struct Shape {
  double ax, ay, bx, by, r;  // pixel-centre coordinates
  bool roundCap;
  bool Inside(double x, double y) const {
    const double dx = bx - ax, dy = by - ay, len = std::hypot(dx, dy);
    if (len == 0) {
      if (roundCap) return std::hypot(x - ax, y - ay) <= r;
      return std::abs(x - ax) <= r && std::abs(y - ay) <= r;
    }
    const double ux = dx / len, uy = dy / len;
    const double along = (x - ax) * ux + (y - ay) * uy, across = -(x - ax) * uy + (y - ay) * ux;
    if (roundCap) {
      const double t = std::clamp(along, 0.0, len);
      return std::hypot(x - (ax + t * ux), y - (ay + t * uy)) <= r;
    }
    return along >= -r && along <= len + r && std::abs(across) <= r;
  }
  // Covered fraction of pixel (x, y) in 0..255, by 16 x 16 samples.
  int Coverage(int x, int y) const {
    int n = 0;
    for (int j = 0; j < 16; ++j)
      for (int i = 0; i < 16; ++i) n += Inside(x + (i + 0.5) / 16, y + (j + 0.5) / 16);
    return n == 256 ? 255 : n * 255 / 256;
  }
};

TEST(StrokeReference, SegmentsMatchTheirShapes) {
  struct Case {
    const char* name;
    POINT a, b;
    int width;
    bool round;
  } cases[] = {
      {"1-pixel horizontal", {10, 10}, {40, 10}, 1, true},
      {"9-pixel round dot", {20, 20}, {20, 20}, 9, true},
      {"30 degrees, square ends", {6, 34}, {58, 4}, 5, false},
      {"30 degrees, round ends", {6, 34}, {58, 4}, 7, true},
  };
  const COLORREF colour = 0x2050A0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RefPtr<CDib> object = MakeRef<CDib>(DibPtr(CDIB32::CreateBlank32BitsDIB(64, 40)));
    CPenStyle pen;
    pen.width = c.width;
    pen.roundCap = c.round;
    pen.colour = colour;
    ASSERT_TRUE(PaintSegment(*object, POINT{0, 0}, c.a, c.b, pen, nullptr));
    const Shape shape{c.a.x + 0.5, c.a.y + 0.5, c.b.x + 0.5, c.b.y + 0.5, c.width / 2.0, c.round};
    int inner = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 64; ++x) {
        const BYTE* p = DibRow(object->GetImage(), y) + 4 * x;
        const int ref = shape.Coverage(x, y);
        if (ref == 0 || ref == 255) {
          // Off the edges: at most one level apart.
          ASSERT_LE(std::abs(p[3] - ref), 1) << x << "," << y;
          inner += ref == 255;
        } else {
          ASSERT_LE(std::abs(p[3] - ref), 12) << "edge " << x << "," << y;
        }
        if (p[3]) {
          ASSERT_EQ(p[0], GetBValue(colour));
          ASSERT_EQ(p[1], GetGValue(colour));
          ASSERT_EQ(p[2], GetRValue(colour));
        }
      }
    EXPECT_GT(inner, 0);
  }
}

}  // namespace

namespace {

TEST(FillReference, SerpentineOver4096SquareRunsInBoundedStack) {
  // Walls on every other row, open alternately at the right and the left
  // end: one connected path through the whole picture, the worst case for a
  // recursive fill (millions of calls deep).
  constexpr int n = 4096;
  DibPtr pic(CDIB32::CreateSimple32BitsDIB(n, n, RGB(255, 255, 255), 255));
  ASSERT_TRUE(pic);
  for (int y = 1; y < n; y += 2) {
    BYTE* row = DibRow(pic.get(), y);
    const int gap = (y / 2) % 2 == 0 ? n - 1 : 0;
    for (int x = 0; x < n; ++x)
      if (x != gap) row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0;
  }
  // Every white pixel: the even rows plus one gap per wall.
  const std::size_t white = std::size_t(n / 2) * n + std::size_t(n / 2);
  EXPECT_EQ(DibKernel::ExtFillConnectedPixels(pic.get(), POINT{0, 0}, 0, RGB(0, 0, 255), 0), white);
  // The far end was reached: blue (B 255, R 0) there.
  EXPECT_EQ(DibRow(pic.get(), n - 2)[4 * (n / 2) + 0], 255);
  EXPECT_EQ(DibRow(pic.get(), n - 2)[4 * (n / 2) + 2], 0);
}

}  // namespace
