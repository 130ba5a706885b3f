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
  for (auto [w, h] : {std::pair{17, 9}, {40, 40}, {2, 3}, {64, 21}, {200, 40}}) {  // 200 x 40: the star's waist spans it
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

// The stated geometry: at the given progress the picture shows at the `shown`
// points and is transparent at the `clear` points.
TEST(Wipes, GeometryAtChosenProgress) {
  struct Case {
    const char* what;
    int w, h;
    std::function<std::unique_ptr<CGeneralEffect>()> make;
    double progress;
    std::vector<POINT> shown, clear;
  };
  auto clock = [](bool up) { return [up] { return std::make_unique<CClockWipeEffect>(up, 1, 1); }; };
  auto lines = [](int angle, int strips) {
    return [=] { return std::make_unique<CLinesWipeEffect>(angle, strips); };
  };
  const Case cases[] = {
      // Inner corners at (25, 20), (75, 20), (75, 60), (25, 60).
      {"iris", 100, 80, [] { return std::make_unique<CIrisWipeEffect>(); }, 0.5,
       {{50, 40}, {30, 40}, {40, 15}, {90, 40}}, {{20, 15}, {5, 5}, {90, 70}}},
      {"clock mirrored: the bottom-right quarter", 100, 100, clock(false), 0.25, {{75, 75}}, {{75, 25}}},
      // 225 degrees: the top half and the triangle left of the line to (0, 100).
      {"clock at 225 degrees", 100, 100, clock(true), 0.625, {{10, 80}, {20, 10}}, {{40, 90}, {80, 80}}},
      {"two strips, each half filled", 100, 50, lines(0, 2), 0.5, {{85, 25}, {35, 25}}, {{60, 25}, {10, 25}}},
      // Sectors centred on 45, 135, 225, 315 degrees.
      {"arcs", 100, 100, [] { return std::make_unique<CArcsWipeEffect>(4); }, 0.5, {{85, 15}, {15, 85}},
       {{95, 50}, {50, 5}}},
      // One sector close to a full turn: both border hits on the right edge.
      {"one arc nearly whole", 100, 100, [] { return std::make_unique<CArcsWipeEffect>(1); }, 0.9,
       {{5, 50}, {50, 5}}, {{99, 50}}},
      {"disc of radius about 35", 100, 100, [] { return std::make_unique<CCirclesWipeEffect>(1); }, 0.5,
       {{50, 50}, {75, 50}}, {{90, 50}, {2, 2}}},
      // Ring 0 up to 25, ring 1 from 50 to 75 (|dx| + |dy|).
      {"diamond rings", 100, 100, [] { return std::make_unique<CDiamondWipeEffect>(2); }, 0.5,
       {{50, 50}, {10, 30}}, {{15, 40}, {3, 3}}},
      {"sweep: a quarter around the downward direction", 100, 100,
       [] { return std::make_unique<CSweepWipeEffect>(270); }, 0.25, {{50, 90}}, {{50, 10}, {90, 50}}},
      {"star", 100, 100, [] { return std::make_unique<CStarWipeEffect>(); }, 0.3, {{50, 50}}, {{2, 2}, {97, 97}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DibPtr src = Pattern(c.w, c.h);
    auto e = c.make();
    DibPtr d = Render(*e, src.get(), c.progress);
    for (POINT p : c.shown) EXPECT_TRUE(Shows(d.get(), src.get(), p.x, p.y)) << p.x << "," << p.y;
    for (POINT p : c.clear) EXPECT_EQ(Px(d.get(), p.x, p.y), 0u) << p.x << "," << p.y;
  }
  DibPtr src = Pattern(100, 100);
  CArcsWipeEffect one(1);
  EXPECT_EQ(Differences(Render(one, src.get(), 1 - 1e-13).get(), src.get()), 0);
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
  const std::pair<int, int> sizes[] = {{1, 1}, {3, 1}, {1, 37}, {16, 9}, {300, 7}, {7, 300}, {97, 89}};
  for (auto [w, h] : sizes) {
    DibPtr src = Pattern(w, h);
    const double n = double(w) * h;
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

// Frames come in any order of sizes and progress, from two effect objects
// and from two threads at once, with a picture of over two million pixels
// (its order computed per render) in between: each frame must show its own
// size's pixels for its own progress.
TEST(Wipes, RandomWipeAnyRenderOrderAndThread) {
  DibPtr a = Pattern(37, 23), b = Pattern(23, 37), big = Pattern(2049, 1025);
  const std::pair<BITMAPINFOHEADER*, double> frames[] = {{a.get(), 0.9}, {b.get(), 0.2}, {a.get(), 0.3},
                                                         {big.get(), 0.3}, {b.get(), 0.99}, {a.get(), 0.31}};
  std::atomic<long long> errors{0};
  auto run = [&](int seed) {
    CRandomWipeEffect e;
    for (int i = 0; i < 3; ++i)
      for (const auto& [src, t] : frames) {
        if ((seed || i) && src == big.get()) continue;
        const double u = seed ? 1 - t : t;
        errors += RandomWipeErrors(Render(e, src, u).get(), DibWidth(src), DibHeight(src), u);
      }
  };
  std::thread one(run, 0), two(run, 1);
  one.join();
  two.join();
  EXPECT_EQ(errors.load(), 0);
}
