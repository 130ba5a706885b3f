// Wipes: empty at progress 0, the whole picture at 1, the stated geometry at
// chosen progress values, and the random wipe's order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <tuple>
#include <vector>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

namespace {

struct Named {
  const char* name;
  std::function<std::unique_ptr<CGeneralEffect>()> make;
};

std::vector<Named> Wipes() {
  return {
      {"clock", [] { return std::make_unique<CClockWipeEffect>(true, 1, 1); }},
      {"clock3x2", [] { return std::make_unique<CClockWipeEffect>(false, 3, 2); }},
      {"star", [] { return std::make_unique<CStarWipeEffect>(); }},
      {"iris", [] { return std::make_unique<CIrisWipeEffect>(); }},
      {"lines45", [] { return std::make_unique<CLinesWipeEffect>(45, 3); }},
      {"lines0", [] { return std::make_unique<CLinesWipeEffect>(0, 2); }},
      {"lines90", [] { return std::make_unique<CLinesWipeEffect>(90, 2); }},
      {"lines200", [] { return std::make_unique<CLinesWipeEffect>(200, 4); }},
      {"lines300", [] { return std::make_unique<CLinesWipeEffect>(300, 1); }},
      {"arcs", [] { return std::make_unique<CArcsWipeEffect>(4); }},
      {"circles", [] { return std::make_unique<CCirclesWipeEffect>(4); }},
      {"diamond", [] { return std::make_unique<CDiamondWipeEffect>(4); }},
      {"rotrect", [] { return std::make_unique<CRotateRectangleEffect>(true); }},
      {"eye", [] { return std::make_unique<CEyeOpenEffect>(); }},
      {"sweep", [] { return std::make_unique<CSweepWipeEffect>(270); }},
      {"random", [] { return std::make_unique<CRandomWipeEffect>(); }},
  };
}

bool Shows(const BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, int x, int y) {
  return Px(dst, x, y) == Px(src, x, y);
}

}  // namespace

TEST(Wipes, EmptyAtZeroWholeAtOne) {
  for (auto [w, h] : {std::pair{17, 9}, {40, 40}, {2, 3}, {64, 21}}) {
    DibPtr src = Pattern(w, h);
    for (auto& n : Wipes()) {
      auto e = n.make();
      EXPECT_TRUE(AllTransparent(Render(*e, src.get(), 0.0).get())) << n.name << " " << w << "x" << h;
      EXPECT_EQ(Differences(Render(*e, src.get(), 1.0).get(), src.get()), 0) << n.name << " " << w << "x" << h;
    }
  }
}

TEST(Wipes, TurnPageRunsTheOtherWay) {
  DibPtr src = Pattern(30, 20);
  CTurnPageEffect e;
  EXPECT_EQ(Differences(Render(e, src.get(), 0.0).get(), src.get()), 0);
  EXPECT_TRUE(AllTransparent(Render(e, src.get(), 1.0).get()));
  // Halfway the top-left corner still lies flat and the bottom-right corner
  // has been lifted (it shows the mirrored page or nothing).
  DibPtr half = Render(e, src.get(), 0.5);
  EXPECT_TRUE(Shows(half.get(), src.get(), 1, 1));
  EXPECT_FALSE(Shows(half.get(), src.get(), 29, 19));
}

TEST(Wipes, IrisPolygon) {
  DibPtr src = Pattern(100, 80);
  CIrisWipeEffect e;
  DibPtr d = Render(e, src.get(), 0.5);  // inner corners at (25, 20), (75, 20), (75, 60), (25, 60)
  EXPECT_TRUE(Shows(d.get(), src.get(), 50, 40));
  EXPECT_TRUE(Shows(d.get(), src.get(), 30, 40));
  EXPECT_TRUE(Shows(d.get(), src.get(), 40, 15));
  EXPECT_EQ(Px(d.get(), 20, 15), 0u);
  EXPECT_EQ(Px(d.get(), 5, 5), 0u);
  EXPECT_EQ(Px(d.get(), 90, 70), 0u);
  EXPECT_TRUE(Shows(d.get(), src.get(), 90, 40));
}

TEST(Wipes, ClockHandQuarterAndFiveEighths) {
  DibPtr src = Pattern(100, 100);
  CClockWipeEffect up(true, 1, 1), down(false, 1, 1);
  DibPtr q = Render(up, src.get(), 0.25);  // the top-right quarter
  EXPECT_TRUE(Shows(q.get(), src.get(), 75, 25));
  EXPECT_EQ(Px(q.get(), 25, 25), 0u);
  EXPECT_EQ(Px(q.get(), 75, 75), 0u);
  DibPtr qd = Render(down, src.get(), 0.25);  // mirrored: the bottom-right quarter
  EXPECT_TRUE(Shows(qd.get(), src.get(), 75, 75));
  EXPECT_EQ(Px(qd.get(), 75, 25), 0u);
  // 225 degrees: the top half and the triangle left of the line to (0, 100).
  DibPtr f = Render(up, src.get(), 0.625);
  EXPECT_TRUE(Shows(f.get(), src.get(), 10, 80));
  EXPECT_TRUE(Shows(f.get(), src.get(), 20, 10));
  EXPECT_EQ(Px(f.get(), 40, 90), 0u);
  EXPECT_EQ(Px(f.get(), 80, 80), 0u);
}

TEST(Wipes, LinesBands) {
  DibPtr src = Pattern(100, 50);
  CLinesWipeEffect vertical(0, 1), horizontal(90, 1);
  DibPtr v = Render(vertical, src.get(), 0.5);  // from the right edge to the middle
  EXPECT_TRUE(Shows(v.get(), src.get(), 75, 25));
  EXPECT_EQ(Px(v.get(), 25, 25), 0u);
  DibPtr h = Render(horizontal, src.get(), 0.5);  // from the top edge to the middle
  EXPECT_TRUE(Shows(h.get(), src.get(), 50, 10));
  EXPECT_EQ(Px(h.get(), 50, 40), 0u);

  DibPtr sq = Pattern(100, 100);
  CLinesWipeEffect diagonal(45, 1);
  DibPtr dg = Render(diagonal, sq.get(), 0.5);  // the triangle above the anti-diagonal
  EXPECT_TRUE(Shows(dg.get(), sq.get(), 80, 20));
  EXPECT_EQ(Px(dg.get(), 20, 80), 0u);
  // Two strips: each band fills its first half.
  CLinesWipeEffect two(0, 2);
  DibPtr t2 = Render(two, src.get(), 0.5);
  EXPECT_TRUE(Shows(t2.get(), src.get(), 85, 25));
  EXPECT_EQ(Px(t2.get(), 60, 25), 0u);
  EXPECT_TRUE(Shows(t2.get(), src.get(), 35, 25));
  EXPECT_EQ(Px(t2.get(), 10, 25), 0u);
}

TEST(Wipes, ArcsSectorsAndNearOne) {
  DibPtr src = Pattern(100, 100);
  CArcsWipeEffect four(4);
  DibPtr d = Render(four, src.get(), 0.5);  // sectors centred on 45, 135, 225, 315 degrees
  EXPECT_TRUE(Shows(d.get(), src.get(), 85, 15));
  EXPECT_TRUE(Shows(d.get(), src.get(), 15, 85));
  EXPECT_EQ(Px(d.get(), 95, 50), 0u);
  EXPECT_EQ(Px(d.get(), 50, 5), 0u);
  // One sector close to a full turn: both border hits on the right edge.
  CArcsWipeEffect one(1);
  DibPtr nearly = Render(one, src.get(), 0.9);
  EXPECT_TRUE(Shows(nearly.get(), src.get(), 5, 50));
  EXPECT_TRUE(Shows(nearly.get(), src.get(), 50, 5));
  EXPECT_EQ(Px(nearly.get(), 99, 50), 0u);
  EXPECT_EQ(Differences(Render(one, src.get(), 1 - 1e-13).get(), src.get()), 0);
}

TEST(Wipes, CirclesDiamondsSweepStar) {
  DibPtr src = Pattern(100, 100);
  CCirclesWipeEffect disc(1);
  DibPtr c = Render(disc, src.get(), 0.5);  // radius about 35
  EXPECT_TRUE(Shows(c.get(), src.get(), 50, 50));
  EXPECT_TRUE(Shows(c.get(), src.get(), 75, 50));
  EXPECT_EQ(Px(c.get(), 90, 50), 0u);
  EXPECT_EQ(Px(c.get(), 2, 2), 0u);

  CDiamondWipeEffect rings(2);  // ring 0 up to 25, ring 1 from 50 to 75 (|dx| + |dy|)
  DibPtr d = Render(rings, src.get(), 0.5);
  EXPECT_TRUE(Shows(d.get(), src.get(), 50, 50));
  EXPECT_EQ(Px(d.get(), 15, 40), 0u);
  EXPECT_TRUE(Shows(d.get(), src.get(), 10, 30));
  EXPECT_EQ(Px(d.get(), 3, 3), 0u);

  CSweepWipeEffect down(270);
  DibPtr s = Render(down, src.get(), 0.25);  // a quarter of the disc around the downward direction
  EXPECT_TRUE(Shows(s.get(), src.get(), 50, 90));
  EXPECT_EQ(Px(s.get(), 50, 10), 0u);
  EXPECT_EQ(Px(s.get(), 90, 50), 0u);

  CStarWipeEffect star;
  DibPtr st = Render(star, src.get(), 0.3);
  EXPECT_TRUE(Shows(st.get(), src.get(), 50, 50));
  EXPECT_EQ(Px(st.get(), 2, 2), 0u);
  EXPECT_EQ(Px(st.get(), 97, 97), 0u);
}

TEST(Wipes, StarWaistSpansAWidePicture) {
  DibPtr src = Pattern(200, 40);
  CStarWipeEffect star;
  DibPtr d = Render(star, src.get(), 1.0);
  EXPECT_EQ(Differences(d.get(), src.get()), 0);
}

TEST(Wipes, LargerProgressRevealsSuperset) {
  DibPtr src = Pattern(37, 23);
  for (auto& n : Wipes()) {
    auto e = n.make();
    auto a = Shown(Render(*e, src.get(), 0.3).get(), src.get());
    auto b = Shown(Render(*e, src.get(), 0.7).get(), src.get());
    int missing = 0, gained = 0;
    for (std::size_t i = 0; i < a.size(); ++i) missing += a[i] && !b[i], gained += b[i] && !a[i];
    // The rotating rectangle turns, so only its growth is checked.
    if (std::string(n.name) != "rotrect") {
      EXPECT_EQ(missing, 0) << n.name;
    }
    EXPECT_GT(gained, 0) << n.name;
  }
}

namespace {

// The random wipe's order computed from its definition in real numbers:
// which pixels (index y·w + x) a w x h picture shows at progress t.
std::vector<char> RandomWipePixels(int w, int h, double t) {
  const long long n = (long long)w * h;
  std::vector<long long> table(n);
  for (long long p = 0; p < n; ++p) table[p] = p;
  const long long count = (long long)std::floor(n * std::clamp(t, 0.0, 1.0) + 0.5);
  double e = w + h;
  long long remaining = n;
  std::vector<char> shown(n, 0);
  for (long long k = 0; k < count; ++k) {
    double hv = std::fmod(e * 32719 + 9999, 2147483647.0);
    hv = hv <= 1073741824.0 ? 2 * hv : 2 * (2147483648.0 - hv) + 1;
    const long long index = (long long)std::floor(hv + 0.5) % remaining;
    shown[table[index]] = 1;
    std::swap(table[index], table[remaining - 1]);
    --remaining;
    e = hv;
  }
  return shown;
}

// Pixels of dst (started transparent) that differ from a random wipe of the
// w x h pattern at t; pixels outside the pattern must stay transparent.
long long RandomWipeErrors(const BITMAPINFOHEADER* dst, int w, int h, double t) {
  const std::vector<char> shown = RandomWipePixels(w, h, t);
  long long errors = 0;
  for (int y = 0; y < DibHeight(dst); ++y)
    for (int x = 0; x < DibWidth(dst); ++x) {
      const bool on = x < w && y < h && shown[(long long)y * w + x];
      errors += Px(dst, x, y) != (on ? PatternPixel(x, y) : 0u);
    }
  return errors;
}

}  // namespace

// Sizes from one pixel to long strips, at progress values inside and around
// n·t = 0.5 and n − 0.5 (one pixel, none, all and all but one), rendered into
// a picture of the same size or of another one (only the common part changes).
TEST(Wipes, RandomWipeFollowsItsSequence) {
  const std::pair<int, int> sizes[] = {{7, 5},   {16, 9},   {3, 1},  {1, 1},   {1, 37},  {41, 1},
                                       {13, 11}, {300, 7},  {7, 300}, {64, 48}, {97, 89}, {1, 19},
                                       {23, 1},  {31, 29}};
  for (auto [w, h] : sizes) {
    DibPtr src = Pattern(w, h);
    const double n = double(w) * h;
    for (double t : {0.25, 0.37, 0.5, 0.83}) {
      // The reference's own count: the nearest whole number of pixels.
      const std::vector<char> shown = RandomWipePixels(w, h, t);
      EXPECT_EQ(std::count(shown.begin(), shown.end(), 1), (long)std::floor(n * t + 0.5)) << w << "x" << h;
    }
    for (double t : {0.25, 0.37, 0.5, 0.83, 0.4 / n, 0.6 / n, 1.6 / n, 1 - 0.6 / n, 1 - 0.4 / n, 1.0}) {
      CRandomWipeEffect e;
      EXPECT_EQ(RandomWipeErrors(Render(e, src.get(), t).get(), w, h, t), 0) << w << "x" << h << " at " << t;
    }
  }
  DibPtr src = Pattern(30, 20);
  for (auto [dw, dh] : {std::pair{12, 9}, {45, 33}, {30, 5}})
    for (double t : {0.35, 1.0}) {
      CRandomWipeEffect e;
      DibPtr dst = Blank(dw, dh);
      e.DoRender(dst.get(), src.get(), t);
      EXPECT_EQ(RandomWipeErrors(dst.get(), 30, 20, t), 0) << dw << "x" << dh << " at " << t;
    }
}

TEST(Wipes, RandomWipeAnyRenderOrder) {
  // Frames come in any order of sizes and progress, from any effect object:
  // each must show its own size's pixels for its own progress.
  DibPtr a = Pattern(37, 23), b = Pattern(23, 37), c = Pattern(40, 40), d = Pattern(80, 20);
  struct Frame {
    BITMAPINFOHEADER* src;
    double t;
  };
  const Frame frames[] = {{a.get(), 0.9},  {a.get(), 0.3}, {a.get(), 0.95}, {b.get(), 0.2}, {a.get(), 0.5},
                          {b.get(), 0.99}, {c.get(), 0.1}, {c.get(), 0.05}, {c.get(), 0.7}, {d.get(), 0.3},
                          {c.get(), 0.6}, {a.get(), 0.31}};
  CRandomWipeEffect first, second;
  int i = 0;
  for (const Frame& f : frames) {
    CRandomWipeEffect& e = i++ % 3 ? first : second;
    const int w = DibWidth(f.src), h = DibHeight(f.src);
    EXPECT_EQ(RandomWipeErrors(Render(e, f.src, f.t).get(), w, h, f.t), 0) << w << "x" << h << " at " << f.t;
  }
}

TEST(Wipes, RandomWipeLargePicture) {
  // Over two million pixels the order is computed per render; frames of a
  // small picture before and after are unaffected.
  DibPtr big = Pattern(2049, 1025), small = Pattern(33, 21);
  ASSERT_TRUE(big);
  CRandomWipeEffect e;
  EXPECT_EQ(RandomWipeErrors(Render(e, small.get(), 0.4).get(), 33, 21, 0.4), 0);
  EXPECT_EQ(RandomWipeErrors(Render(e, big.get(), 0.3).get(), 2049, 1025, 0.3), 0);
  EXPECT_EQ(RandomWipeErrors(Render(e, small.get(), 0.8).get(), 33, 21, 0.8), 0);
  EXPECT_EQ(RandomWipeErrors(Render(e, small.get(), 0.2).get(), 33, 21, 0.2), 0);
}

TEST(Wipes, RandomWipeFromSeveralThreads) {
  // Two threads alternate between two sizes; every frame must be right.
  DibPtr a = Pattern(29, 17), b = Pattern(17, 29);
  std::atomic<long long> errors{0};
  auto run = [&](int seed) {
    CRandomWipeEffect e;
    for (int i = 0; i < 40; ++i) {
      BITMAPINFOHEADER* src = (i + seed) % 2 ? a.get() : b.get();
      const double t = ((i * 7 + seed * 3) % 20 + 0.5) / 20;
      DibPtr d = Render(e, src, t);
      errors += RandomWipeErrors(d.get(), DibWidth(src), DibHeight(src), t);
    }
  };
  std::thread one(run, 0), two(run, 1);
  one.join();
  two.join();
  EXPECT_EQ(errors.load(), 0);
}
