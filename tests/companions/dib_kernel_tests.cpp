// The 32-bit blend blits: arithmetic, clipping, and every vector kernel
// giving the plain kernel's bytes.
#include <gtest/gtest.h>

#include <random>

#include "companions/dibkernel/dib_internal.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/dib_test_util.h"

using namespace dibtest;

namespace {

using BlitFn = BOOL (*)(BITMAPINFOHEADER*, POINT, const BITMAPINFOHEADER*, POINT, BYTE);

// Blends one source pixel over a 19-pixel row of one destination pixel (long
// enough for the vector paths and their scalar tails) and returns the results.
std::vector<std::uint32_t> BlendRow(BlitFn blit, std::uint32_t s, std::uint32_t d, BYTE t) {
  DibPtr dst = Make32(19, 2, d);
  DibPtr src = Make32(19, 2, s);
  EXPECT_TRUE(blit(dst.get(), POINT{0, 0}, src.get(), POINT{0, 0}, t));
  std::vector<std::uint32_t> out;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 19; ++x) out.push_back(Get32(dst.get(), x, y));
  return out;
}

// The parameter selects the fast twin.
class BlendArithmetic : public ::testing::TestWithParam<bool> {};

TEST_P(BlendArithmetic, HandComputedPixels) {
  const BlitFn blit = GetParam() ? &CDIB32::BitBlt32DIBMMX : &CDIB32::BitBlt32DIB;
  const std::uint32_t src = Bgra(200, 100, 50, 128);
  struct Case {
    std::uint32_t dst;
    BYTE t;
    std::uint32_t want;
  } cases[] = {
      // Over an opaque destination: a = 128 at t = 0, 96 at t = 64.
      {Bgra(10, 20, 30, 255), 0, Bgra(105, 60, 40, 255)},
      {Bgra(10, 20, 30, 255), 64, Bgra(82, 50, 38, 255)},
      {Bgra(10, 20, 30, 255), 255, Bgra(10, 20, 30, 255)},
      // Over a fully transparent destination the source shows with alpha a.
      {Bgra(0, 0, 0, 0), 0, Bgra(200, 100, 50, 128)},
      {Bgra(0, 0, 0, 0), 64, Bgra(200, 100, 50, 96)},
      {Bgra(7, 8, 9, 0), 255, Bgra(7, 8, 9, 0)},
      // Over a half-transparent destination: outA = 128 + 50.
      {Bgra(10, 20, 30, 100), 0, Bgra(147, 78, 44, 178)},
  };
  for (const Case& c : cases) {
    for (std::uint32_t got : BlendRow(blit, src, c.dst, c.t))
      ASSERT_EQ(got, c.want) << std::hex << "dst " << c.dst << " t " << std::dec << int(c.t);
  }
  // Opaque source: copied at t = 0 over anything, a = 191 at t = 64.
  for (std::uint32_t got : BlendRow(blit, Bgra(1, 2, 3, 255), Bgra(9, 9, 9, 0), 0)) ASSERT_EQ(got, Bgra(1, 2, 3, 255));
  for (std::uint32_t got : BlendRow(blit, Bgra(255, 0, 0, 255), Bgra(0, 255, 0, 255), 64))
    ASSERT_EQ(got, Bgra(191, 64, 0, 255));
  // Fully transparent source leaves even a transparent coloured pixel alone.
  for (std::uint32_t got : BlendRow(blit, Bgra(1, 2, 3, 0), Bgra(9, 8, 7, 6), 0)) ASSERT_EQ(got, Bgra(9, 8, 7, 6));
}

INSTANTIATE_TEST_SUITE_P(PlainAndFast, BlendArithmetic, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Fast" : "Plain"; });

// Opaque 3x3 source with distinct colours over a 5x4 destination: every
// destination pixel is either its old value or the source pixel at the
// offset, for positions crossing every edge and far outside.
TEST(BitBlt32, ClipsAtEveryEdge) {
  for (BlitFn blit : {&CDIB32::BitBlt32DIB, &CDIB32::BitBlt32DIBMMX})
    for (bool topDown : {false, true})
      for (int py = -4; py <= 5; ++py)
        for (int px = -4; px <= 6; ++px) {
          DibPtr dst = Make32(5, 4, 0, topDown);
          for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) Set32(dst.get(), x, y, Bgra(x, y, 77, 255));
          DibPtr src = Make32(3, 3, 0, !topDown);
          for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) Set32(src.get(), x, y, Bgra(100 + x, 100 + y, 200, 255));
          const POINT origin{1, -1};
          ASSERT_TRUE(blit(dst.get(), origin, src.get(), POINT{px, py}, 0));
          for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) {
              int sx = x - origin.x - px, sy = y - origin.y - py;
              bool inside = sx >= 0 && sx < 3 && sy >= 0 && sy < 3;
              ASSERT_EQ(Get32(dst.get(), x, y), inside ? Bgra(100 + sx, 100 + sy, 200, 255) : Bgra(x, y, 77, 255))
                  << px << "," << py << " at " << x << "," << y;
            }
        }
}

// Every vector kernel this machine runs against the plain one: all source
// colours x destination colours x alphas over opaque destinations, and random
// rows of every short length (the scalar tails) at every transparency.
TEST(FastTwins, EveryKernelMatchesPlainExhaustively) {
  using namespace DibKernel::detail;
  std::vector<BlendRowFn> kernels;
  if (kBlendRowSse2) kernels.push_back(kBlendRowSse2);
  if (kBlendRowAvx2 && CpuHasAvx2()) kernels.push_back(kBlendRowAvx2);
  if (kernels.empty()) GTEST_SKIP() << "no vector kernel on this processor";
  std::vector<std::uint32_t> src(256), dst(256), want(256), got(256);
  // The sanitizer build checks memory, not values: every fifth alpha there.
#if defined(__SANITIZE_ADDRESS__)
  const unsigned alphaStep = 5;
#else
  const unsigned alphaStep = 1;
#endif
  for (BlendRowFn k : kernels) {
    for (unsigned alpha = 0; alpha < 256; alpha += alphaStep)
      for (unsigned sc = 0; sc < 256; ++sc) {
        for (unsigned dc = 0; dc < 256; ++dc) {
          src[dc] = Bgra(sc, 255 - sc, sc ^ 0x55, alpha);
          dst[dc] = Bgra(dc, dc ^ 0xAA, 255 - dc, 255);
        }
        want = dst;
        got = dst;
        BlendRowPlain(reinterpret_cast<BYTE*>(want.data()), reinterpret_cast<const BYTE*>(src.data()), 256, 255);
        k(reinterpret_cast<BYTE*>(got.data()), reinterpret_cast<const BYTE*>(src.data()), 256, 255);
        ASSERT_EQ(got, want) << "alpha " << alpha << " sc " << sc;
      }
    std::mt19937 rng(99);
    for (int n = 0; n <= 40; ++n)
      for (unsigned inv = 0; inv < 256; ++inv) {
        std::vector<std::uint32_t> s(std::size_t(n) + 1), d(std::size_t(n) + 1);
        for (auto* v : {&s, &d})
          for (auto& p : *v) p = rng() % 4 == 0 ? (rng() & 0xFFFFFF) : rng() % 2 ? rng() | 0xFF000000u : rng();
        auto a = d, b = d;
        BlendRowPlain(reinterpret_cast<BYTE*>(a.data()), reinterpret_cast<const BYTE*>(s.data()), n, inv);
        k(reinterpret_cast<BYTE*>(b.data()), reinterpret_cast<const BYTE*>(s.data()), n, inv);
        ASSERT_EQ(a, b) << "n " << n << " inv " << inv;
        ASSERT_EQ(b[std::size_t(n)], d[std::size_t(n)]) << "wrote past the row";
      }
  }
}

}  // namespace
