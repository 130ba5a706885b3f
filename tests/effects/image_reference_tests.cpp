// The light, noise and motion blur effects against plain per-pixel
// computations of their rules, over odd and one-pixel sizes, partial
// transparency and the extremes of their parameters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "companions/vector/image_transform.h"
#include "companions/vector/render_vector_obj.h"
#include "effect_test_util.h"
#include "effects/effect_internal.h"

using namespace TevImgEffectLib;
using namespace effect_test;

namespace {

// Colours from a fixed generator; alpha by kind: 0 opaque, 1 mixed with
// transparent pixels, 2 runs of transparent and opaque pixels.
DibPtr Picture(int w, int h, int kind, unsigned seed) {
  std::mt19937 gen(seed);
  DibPtr d = Blank(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t v = gen() & 0xFFFFFFu;
      std::uint32_t a = 255;
      if (kind == 1) a = (x + 2 * y) % 3 ? gen() & 0xFF : 0;
      if (kind == 2) a = (x / 4 + y) % 3 == 0 ? 0 : ((x / 4) % 2 ? 255 : 90);
      SetPx(d.get(), x, y, v | a << 24);
    }
  return d;
}

int Channel(std::uint32_t px, int c) { return int((px >> (8 * c)) & 0xFF); }

}  // namespace

TEST(NoiseReference, EveryPixelFollowsTheGeneratorSequence) {
  const int sizes[][2] = {{1, 1}, {3, 1}, {1, 4}, {5, 3}, {7, 9}, {37, 5}};
  for (auto [w, h] : sizes)
    for (int level : {100, 37, -50, 100000})
      for (double t : {0.0, 0.3, 0.99}) {
        DibPtr src = Picture(w, h, 1, unsigned(w * h));
        DibPtr d = Copy(src.get());
        CNoiseEffect(level).DoRender(d.get(), src.get(), t);
        const double k = std::floor((1 - t) * level + 0.5);
        ClassicRand rnd{std::uint64_t(w + h)};
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            const int sum = rnd() + rnd() + rnd() + rnd();
            const double v = (sum * 5.28596089837e-05 - 3.46410161514) * k * 127 / 100;
            const int n = int(std::clamp(std::trunc(v), -1024.0, 1024.0));
            const std::uint32_t s = Px(src.get(), x, y);
            std::uint32_t want = s & 0xFF000000u;
            for (int c = 0; c < 3; ++c) want |= std::uint32_t(std::clamp(Channel(s, c) + n, 0, 255)) << (8 * c);
            ASSERT_EQ(Px(d.get(), x, y), want) << w << "x" << h << " level " << level << " t " << t << " at " << x
                                               << "," << y;
          }
      }
}

TEST(MotionBlurReference, StreaksMatchThePlainWeightedAverage) {
  const int sizes[][2] = {{1, 1}, {2, 3}, {5, 1}, {23, 4}, {64, 2}};
  for (auto [w, h] : sizes)
    for (int kind = 0; kind < 3; ++kind)
      for (int length : {1, 2, 3, 7, 64, 1000}) {
        DibPtr src = Picture(w, h, kind, unsigned(kind * 100 + w));
        DibPtr d = Blank(w, h);
        ASSERT_TRUE(CMotionBlurEffect().BuildBlurImage(d.get(), src.get(), length));
        const int len = std::min(length, w);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            std::uint64_t sum[4] = {0, 0, 0, 0};
            const int n = std::min(x + 1, len);
            for (int i = x - n + 1; i <= x; ++i) {
              const std::uint32_t p = Px(src.get(), i, y);
              for (int c = 0; c < 3; ++c) sum[c] += std::uint64_t(Channel(p, c)) * Channel(p, 3);
              sum[3] += Channel(p, 3);
            }
            std::uint32_t want = std::uint32_t((sum[3] + n / 2) / n) << 24;
            for (int c = 0; c < 3; ++c)
              if (sum[3]) want |= std::uint32_t((sum[c] + sum[3] / 2) / sum[3]) << (8 * c);
            ASSERT_EQ(Px(d.get(), x, y), want) << w << "x" << h << " kind " << kind << " length " << length << " at "
                                               << x << "," << y;
          }
      }
}

TEST(MotionBlurReference, WholeQuotientsAreNotRoundedDown) {
  // Alpha 49 everywhere, colours alternating 0 and 1: each two-pixel window
  // sums 49 over an alpha of 98, so (49 + 49) / 98 is exactly 1, a quotient
  // a reciprocal-based division can land just below.
  const int w = 19;
  DibPtr src = Blank(w, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < w; ++x) SetPx(src.get(), x, y, (x + y) % 2 ? 0x31010101u : 0x31000000u);
  DibPtr d = Blank(w, 2);
  ASSERT_TRUE(CMotionBlurEffect().BuildBlurImage(d.get(), src.get(), 2));
  for (int y = 0; y < 2; ++y)
    for (int x = 1; x < w; ++x) ASSERT_EQ(Px(d.get(), x, y), 0x31010101u) << x << "," << y;
}

TEST(MotionBlurReference, LongStreaksOnAWideRow) {
  // Sums near the 32-bit limit: every pixel white and opaque except a few.
  const int w = 40000;
  DibPtr src = Blank(w, 1);
  for (int x = 0; x < w; ++x) SetPx(src.get(), x, 0, x % 997 ? 0xFFFFFFFFu : 0x00000000u);
  for (int length : {20000, 40000}) {
    DibPtr d = Blank(w, 1);
    ASSERT_TRUE(CMotionBlurEffect().BuildBlurImage(d.get(), src.get(), length));
    std::uint64_t count = 0;  // opaque pixels in the window
    for (int x = 0; x < w; ++x) {
      count += x % 997 ? 1 : 0;
      if (x >= length) count -= (x - length) % 997 ? 1 : 0;
      const std::uint64_t n = std::min(x + 1, length), sumA = 255 * count;
      const std::uint32_t want = std::uint32_t((sumA + n / 2) / n) << 24 |
                                 (sumA ? std::uint32_t((255 * sumA + sumA / 2) / sumA) * 0x010101u : 0u);
      ASSERT_EQ(Px(d.get(), x, 0), want) << length << " at " << x;
    }
  }
}

namespace {

// The light effect composed from the renderer's own pieces: a white line
// layer and a blurred glow layer, each laid over dst with Overlay2Images
// (the line's geometry is the effect's own).
void LightByLayers(BITMAPINFOHEADER* dst, int a, int width, int glow, double t) {
  double x1, y1, x2, y2;
  if (!detail::LightLine(DibWidth(dst), DibHeight(dst), a, t, x1, y1, x2, y2)) return;
  TevVecLib::CTevPath line;
  line.AddVertex(x1, y1, agg::path_cmd_move_to);
  line.AddVertex(x2, y2, agg::path_cmd_line_to);
  auto layer = [&](int w, unsigned long colour, int compose) {
    DibPtr l(CGeneralEffect::CreateSimple32BitsDIB(DibWidth(dst), DibHeight(dst), 0xFFFFFF, 0));
    if (w > 0) {
      TevVecLib::CTevRenderVectorObj r(0);
      r.AddShapeStrokenPath(line, TevVecLib::CTevTransMatrix(), double(w), nullptr);
      r.Paint32BitsDIBWithSoildColorX(l.get(), nullptr, colour, compose, 1);
    }
    return l;
  };
  CLightEffect::Overlay2Images(dst, layer(width, 0xFFFFFFFF, TevVecLib::kComposeCopy).get());
  DibPtr g = layer(glow, 0, TevVecLib::kComposeAlphaOnly);
  if (glow > 0) TevVecLib::BlurShadowDIB(g.get(), glow);
  CLightEffect::Overlay2Images(dst, g.get());
}

}  // namespace

TEST(LightReference, MatchesTheLineAndGlowLayers) {
  const int sizes[][2] = {{1, 1}, {2, 2}, {5, 1}, {1, 6}, {3, 3}, {41, 23}, {24, 57}};
  int drawn = 0;
  for (auto [w, h] : sizes)
    for (int angle : {0, 45, 90, 135, 200, 270, 300})
      for (auto [width, glow] : {std::pair{3, 10}, {0, 6}, {4, 0}, {50, 50}, {1, 300}})
        for (double t : {0.0, 0.37, 0.5, 1.0}) {
          DibPtr src = Picture(w, h, (w + angle) % 3, unsigned(w * 31 + h));
          DibPtr got = Copy(src.get()), want = Copy(src.get());
          CLightEffect(angle, width, glow).DoRender(got.get(), src.get(), t);
          LightByLayers(want.get(), angle, width, glow, t);
          ASSERT_EQ(Differences(got.get(), want.get()), 0)
              << w << "x" << h << " angle " << angle << " width " << width << " glow " << glow << " t " << t;
          drawn += Differences(got.get(), src.get()) > 0;
        }
  EXPECT_GT(drawn, 200);  // most cases change the picture
}
