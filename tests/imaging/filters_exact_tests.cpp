// Filters whose numbers are fixed: hand-computed pixels for the tone tables,
// grey, threshold, levels, balance, emboss, kernels, box blur, halftone,
// light spot, key colour, geometry and the alpha processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;
using imaging_test::Bgra;
using imaging_test::FillNoise;
using imaging_test::Solid32;

namespace {

BYTE B(const CTevObjImage& img, int x, int y, int c) { return img.GetBits(x, y)[c]; }

}  // namespace

TEST(FilterTables, BrightnessZeroContrastZeroAndInvert) {
  CTevObjImage img = Solid32(4, 3, Bgra(10, 200, 77, 99));
  CTevPixelBrightness dark(0);
  ASSERT_EQ(img.SinglePixelProcessProc(dark, nullptr), 1);
  EXPECT_EQ(img.GetPixelData(3, 2), Bgra(0, 0, 0, 99));
  img = Solid32(4, 3, Bgra(10, 200, 77, 99));
  CTevPixelContrast flat(-5);  // below 1 becomes 0
  ASSERT_EQ(img.SinglePixelProcessProc(flat, nullptr), 1);
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(128, 128, 128, 99));
  CTevPixelBrightness half(50);
  EXPECT_EQ(half.InitLUTtable(201), 100);
  CTevPixelBrightness twice(200);
  EXPECT_EQ(twice.InitLUTtable(200), 255);
  CTevPixelContrast steep(200);
  EXPECT_EQ(steep.InitLUTtable(100), 72);  // 128 + (-28 * 200 / 100)
  EXPECT_EQ(steep.InitLUTtable(10), 0);
  CTevPixelInvert inv;
  EXPECT_EQ(inv.InitLUTtable(3), 252);
}

TEST(FilterTables, GammaOnePosterizeTwoSolarize) {
  CTevPixelGamma one(1.0);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(one.InitLUTtable(v), v);
  CTevPixelGamma two(2.0);
  EXPECT_EQ(two.InitLUTtable(64), 128);  // 255 * sqrt(64 / 255) = 127.75
  CTevPixelPosterize p2(2);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(p2.InitLUTtable(v), v < 128 ? 0 : 255) << v;
  CTevPixelPosterize p3(3);
  EXPECT_EQ(p3.InitLUTtable(64), 128);
  EXPECT_EQ(p3.InitLUTtable(63), 0);
  CTevPixelSolarize sol(100);
  EXPECT_EQ(sol.InitLUTtable(99), 99);
  EXPECT_EQ(sol.InitLUTtable(100), 155);
  // A gamma that is not above zero refuses to run and changes nothing.
  CTevObjImage img = Solid32(2, 2, Bgra(1, 2, 3, 4));
  CTevPixelGamma bad(0.0);
  EXPECT_EQ(img.SinglePixelProcessProc(bad, nullptr), 0);
  EXPECT_EQ(img.GetPixelData(1, 1), Bgra(1, 2, 3, 4));
}

TEST(FilterTables, LutWithBlueChannelOnlyChangesBlue) {
  CTevObjImage img(5, 2, 24);
  FillNoise(img, 7);
  CTevObjImage before(img);
  before.Create(img.GetImageBits());
  CTevPixelInvert inv(CHANNEL_BLUE);
  ASSERT_EQ(img.SinglePixelProcessProc(inv, nullptr), 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(B(img, x, y, 0), 255 - B(before, x, y, 0));
      EXPECT_EQ(B(img, x, y, 1), B(before, x, y, 1));
      EXPECT_EQ(B(img, x, y, 2), B(before, x, y, 2));
    }
}

TEST(FilterPixels, GreyThresholdAndRgbOffsets) {
  CTevObjImage img = Solid32(3, 1, Bgra(50, 100, 200, 7));
  CTevPixelGrayscale grey;
  ASSERT_EQ(img.SinglePixelProcessProc(grey, nullptr), 1);
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(124, 124, 124, 7));  // (550 + 6000 + 5900) / 100
  CTevObjImage white = Solid32(2, 2, Bgra(255, 255, 255, 255));
  CTevPixelThreshold all(255);
  ASSERT_EQ(white.SinglePixelProcessProc(all, nullptr), 1);
  EXPECT_EQ(white.GetPixelData(1, 1), Bgra(0, 0, 0, 255));
  CTevObjImage mid = Solid32(1, 1, Bgra(124, 124, 124, 1));
  CTevPixelThreshold t123(123);
  mid.SinglePixelProcessProc(t123, nullptr);
  EXPECT_EQ(mid.GetPixelData(0, 0), Bgra(255, 255, 255, 1));
  CTevPixelAdjustRGB rgb(100, -30, 10);
  img = Solid32(1, 1, Bgra(250, 20, 200, 9));
  img.SinglePixelProcessProc(rgb, nullptr);
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(255, 0, 255, 9));
}

// The adjustment against the HSL formulas computed here: hue and saturation
// scaled by their percents, no cap on saturation before the conversion back
// (the channels clamp), hues past one turn wrapping fully.
TEST(FilterPixels, HueSaturationFollowsTheHslFormulas) {
  auto expected = [](int r, int g, int b, int huePercent, int satPercent) {
    const double R = r / 255.0, G = g / 255.0, B = b / 255.0;
    const double mx = std::max({R, G, B}), mn = std::min({R, G, B}), l = (mx + mn) / 2;
    double h = 0, s = 0;
    if (mx > mn) {
      const double d = mx - mn;
      s = l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
      h = (mx == R ? (G - B) / d : mx == G ? 2 + (B - R) / d : 4 + (R - G) / d) / 6;
      if (h < 0) h += 1;
    }
    h = h * huePercent / 100;
    s = s * satPercent / 100;
    const double q = l <= 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
    auto channel = [&](double t) {
      t = std::fmod(t, 1.0);
      if (t < 0) t += 1;
      const double v = t < 1.0 / 6 ? p + (q - p) * 6 * t : t < 0.5 ? q : t < 2.0 / 3 ? p + (q - p) * (4 - 6 * t) : p;
      return std::clamp(int(std::lround(v * 255)), 0, 255);
    };
    const BYTE grey = BYTE(std::lround(l * 255));
    if (s < 1.1920928955078125e-7) return Bgra(grey, grey, grey, 255);
    return Bgra(BYTE(channel(h - 1.0 / 3)), BYTE(channel(h)), BYTE(channel(h + 1.0 / 3)), 255);
  };
  const int colours[][3] = {{40, 200, 60}, {200, 100, 0}, {10, 20, 250}, {250, 240, 5}, {128, 128, 128}, {90, 0, 160}};
  for (int hue : {0, 50, 100, 200, 300, 1000})
    for (int sat : {0, 50, 100, 200, 300})
      for (const auto& c : colours) {
        SCOPED_TRACE(testing::Message() << "hue " << hue << " sat " << sat << " rgb " << c[0] << "," << c[1] << "," << c[2]);
        CTevObjImage img = Solid32(1, 1, Bgra(BYTE(c[2]), BYTE(c[1]), BYTE(c[0]), 255));
        CTevPixelHueSaturation adjust(hue, sat);
        img.SinglePixelProcessProc(adjust, nullptr);
        const DWORD got = img.GetPixelData(0, 0), want = expected(c[0], c[1], c[2], hue, sat);
        for (int shift : {0, 8, 16}) EXPECT_NEAR(int((got >> shift) & 0xFF), int((want >> shift) & 0xFF), 1) << std::hex << got << " " << want;
      }
}

TEST(FilterPixels, ColorBalanceCurvesAndTone) {
  CTevObjImage img = Solid32(1, 1, Bgra(127, 127, 127, 255));
  CTevPixelColorBalance mid(false, TONE_MIDTONES, 100, 0, -100);
  img.SinglePixelProcessProc(mid, nullptr);
  // 127 + trunc(100 * 0.667) = 193; blue subtracts the same midtone curve.
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(61, 127, 193, 255));
  CTevObjImage same = Solid32(2, 1, Bgra(3, 130, 250, 255));
  CTevPixelColorBalance none(true, TONE_HIGHLIGHTS, 0, 0, 0);
  same.SinglePixelProcessProc(none, nullptr);
  EXPECT_EQ(same.GetPixelData(1, 0), Bgra(3, 130, 250, 255));
  // Tone: grey 0 is black, grey 255 the lightness-1 colour (white).
  CTevObjImage tone(2, 1, 24);
  tone.SetPixelData(0, 0, 0);
  tone.SetPixelData(1, 0, 0xFFFFFF);
  CTevPixelColorTone sepia(RGBQUAD{20, 80, 160, 0});
  tone.SinglePixelProcessProc(sepia, nullptr);
  EXPECT_EQ(tone.GetPixelData(0, 0), 0u);
  EXPECT_EQ(tone.GetPixelData(1, 0), 0xFFFFFFu);
}

TEST(FilterLevels, ManualBoundsRoundAndAutoOnUniformGrey) {
  CTevObjImage img = Solid32(2, 2, Bgra(100, 150, 49, 255));
  CTevPixelColorLevel manual(false, 50, 150);
  img.SinglePixelProcessProc(manual, nullptr);
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(128, 255, 0, 255));  // round(50 * 255 / 100)
  CTevObjImage grey = Solid32(3, 3, Bgra(90, 90, 90, 255));
  CTevPixelColorLevel autoLevels(true, 0, 255);
  ASSERT_EQ(grey.SinglePixelProcessProc(autoLevels, nullptr), 1);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(autoLevels.GetLow(c), 90);
    EXPECT_EQ(autoLevels.GetHigh(c), 90);
  }
  EXPECT_EQ(grey.GetPixelData(2, 2), Bgra(90, 90, 90, 255));
  // 1000 pixels from 0 to 249 and one bright outlier: the 0.006 clip drops
  // the outlier and a few of the darkest values.
  long long counts[256] = {};
  for (int v = 0; v < 250; ++v) counts[v] = 4;
  counts[255] = 1;
  int low, high;
  CTevPixelColorLevel::AutoBounds(counts, low, high);
  EXPECT_EQ(low, 2);    // s = 8 / 1001 first moves away from 0.006 at v = 1
  EXPECT_EQ(high, 248);
  // Half black, half white: the end bins alone exceed the clip.
  long long two[256] = {};
  two[0] = two[255] = 10;
  CTevPixelColorLevel::AutoBounds(two, low, high);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 255);
}

TEST(FilterKernels, GaussianOnConstantImageKeepsBordersAndSharpKernels) {
  for (int bits : {24, 32}) {
    CTevObjImage img(5, 4, bits);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) img.SetPixelData(x, y, bits == 32 ? Bgra(33, 66, 99, 200) : 0x635242u);
    CTevObjImage before;
    before.Create(img.GetImageBits());
    CTevPixelGaussianBlur3x3 g3;
    ASSERT_EQ(img.SinglePixelProcessProc(g3, nullptr), 1);
    CTevPixelGaussianBlur5x5 g5;
    ASSERT_EQ(img.SinglePixelProcessProc(g5, nullptr), 1);
    CTevPixelSharp sharp(5);
    ASSERT_EQ(img.SinglePixelProcessProc(sharp, nullptr), 1);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(img.GetPixelData(x, y), before.GetPixelData(x, y)) << x << "," << y;
  }
  CTevPixelSharp s1(1), s10(10);
  EXPECT_EQ(s1.Divisor(), 1);
  EXPECT_EQ(s1.Kernel()[4], 9);
  EXPECT_EQ(s10.Divisor(), 10);
  EXPECT_EQ(s10.Kernel()[4], 18);
  CTevPixelSharp a = CTevPixelSharp::Sharpen(), b = CTevPixelSharp::SharpenMore();
  EXPECT_EQ(a.Kernel()[4], 22);
  EXPECT_EQ(a.Divisor(), 14);
  EXPECT_EQ(a.Kernel()[0], -1);
  EXPECT_EQ(b.Kernel()[4], 16);
  EXPECT_EQ(b.Divisor(), 8);
  CTevPixelDetectEdges e2(2);
  EXPECT_EQ(e2.KernelSize(), 5);
  EXPECT_EQ(e2.Kernel()[12], 24);
  // Edges of a flat image are black.
  CTevObjImage flat = Solid32(3, 3, Bgra(9, 9, 9, 255));
  flat.SinglePixelProcessProc(e2, nullptr);
  EXPECT_EQ(flat.GetPixelData(1, 1), Bgra(0, 0, 0, 255));
  // A single bright pixel spreads by the 3 x 3 weights.
  CTevObjImage dot = Solid32(3, 3, Bgra(0, 0, 0, 255));
  dot.SetPixelData(1, 1, Bgra(160, 160, 160, 255));
  CTevPixelGaussianBlur3x3 g;
  dot.SinglePixelProcessProc(g, nullptr);
  EXPECT_EQ(dot.GetPixelData(1, 1), Bgra(40, 40, 40, 255));
  EXPECT_EQ(dot.GetPixelData(0, 1), Bgra(20, 20, 20, 255));
  EXPECT_EQ(dot.GetPixelData(0, 0), Bgra(10, 10, 10, 255));
}

TEST(FilterKernels, ConvoluteKernelRulesAndEmboss) {
  CTevPixelConvolute conv;
  const int k[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
  EXPECT_TRUE(conv.SetKernel(k, 3, 0, 7));
  EXPECT_EQ(conv.Divisor(), 1);
  EXPECT_FALSE(conv.SetKernel(k, 2, 1, 0));
  CTevObjImage img = Solid32(2, 2, Bgra(250, 1, 2, 3));
  img.SinglePixelProcessProc(conv, nullptr);
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(255, 8, 9, 3));
  CTevObjImage e(3, 1, 24);
  e.SetPixelData(0, 0, 0x1E140A);  // R 30, G 20, B 10
  e.SetPixelData(1, 0, 0x000000);
  e.SetPixelData(2, 0, 0x102030);
  CTevPixelEmboss emboss(3);
  e.SinglePixelProcessProc(emboss, nullptr);
  EXPECT_EQ(e.GetPixelData(0, 0), 0xBCBCBCu);  // 128 + 60 * 3 / 3
  EXPECT_EQ(e.GetPixelData(1, 0), 0x202020u);  // d = -(16 + 32 + 48): 128 - 96
  EXPECT_EQ(e.GetPixelData(2, 0), 0x808080u);  // last column
}

TEST(FilterBlur, BoxBlurHandValuesAndTransparentImage) {
  CTevObjImage row(3, 1, 24);
  row.SetPixelData(0, 0, 0);
  row.SetPixelData(1, 0, 0x5A5A5A);
  row.SetPixelData(2, 0, 0xB4B4B4);
  CTevPixelBlurBox box(3, true);
  ASSERT_EQ(row.SinglePixelProcessProc(box, nullptr), 1);
  EXPECT_EQ(row.GetPixelData(0, 0), 0x1E1E1Eu);  // (0 + 0 + 90) / 3
  EXPECT_EQ(row.GetPixelData(1, 0), 0x5A5A5Au);
  EXPECT_EQ(row.GetPixelData(2, 0), 0x969696u);  // (90 + 180 + 180) / 3
  CTevObjImage clear = Solid32(6, 5, Bgra(200, 100, 50, 0));
  for (bool replicate : {true, false}) {
    CTevPixelBlurBox b(5, replicate);
    ASSERT_EQ(clear.SinglePixelProcessProc(b, nullptr), 1);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) ASSERT_EQ(clear.GetPixelData(x, y), 0u);
  }
  // Alpha weights: a transparent neighbour lends no colour, only less alpha.
  CTevObjImage two = Solid32(2, 1, Bgra(0, 0, 0, 0));
  two.SetPixelData(1, 0, Bgra(90, 60, 30, 255));
  CTevPixelBlurBox b2(2, true);  // below 3 becomes 2: pixels x - 1 and x
  two.SinglePixelProcessProc(b2, nullptr);
  EXPECT_EQ(two.GetPixelData(1, 0), Bgra(90, 60, 30, 127));
  EXPECT_EQ(two.GetPixelData(0, 0), 0u);
  EXPECT_EQ(b2.GetSize(), 2);
}

TEST(FilterPixels, HalftoneSunspotAndNoiseConstants) {
  CTevObjImage white = Solid32(8, 8, Bgra(255, 255, 255, 255));
  CTevPixelHalftoneM3 ht;
  white.SinglePixelProcessProc(ht, nullptr);
  EXPECT_EQ(white.GetPixelData(0, 7), Bgra(0, 0, 0, 255));  // Bayer 63 is not below 63
  EXPECT_EQ(white.GetPixelData(1, 7), Bgra(255, 255, 255, 255));
  CTevObjImage grey = Solid32(8, 1, Bgra(40, 40, 40, 255));  // grey / 4 = 10
  grey.SinglePixelProcessProc(ht, nullptr);
  EXPECT_EQ(grey.GetPixelData(0, 0), Bgra(255, 255, 255, 255));  // 0
  EXPECT_EQ(grey.GetPixelData(2, 0), Bgra(255, 255, 255, 255));  // 8
  EXPECT_EQ(grey.GetPixelData(6, 0), Bgra(0, 0, 0, 255));        // 10

  CTevObjImage spot = Solid32(3, 1, Bgra(0, 0, 0, 255));
  CTevPixelSunspot sun(100, 0, 0);  // centre (0, floor(1 * 0)) = (0, 0); D^2 = 4
  spot.SinglePixelProcessProc(sun, nullptr);
  EXPECT_EQ(spot.GetPixelData(0, 0), Bgra(100, 100, 100, 255));
  EXPECT_EQ(spot.GetPixelData(1, 0), Bgra(75, 75, 75, 255));
  EXPECT_EQ(spot.GetPixelData(2, 0), Bgra(0, 0, 0, 255));
  CTevObjImage one = Solid32(1, 1, Bgra(250, 0, 0, 1));
  CTevPixelSunspot full(255, 20, 80);
  one.SinglePixelProcessProc(full, nullptr);
  EXPECT_EQ(one.GetPixelData(0, 0), Bgra(255, 255, 255, 1));

  // The same seed gives the same noise; amount or percent 0 changes nothing.
  CTevObjImage n1 = Solid32(9, 4, Bgra(128, 128, 128, 255)), n2 = Solid32(9, 4, Bgra(128, 128, 128, 255));
  CTevPixelAddRandomNoise a(60, 42), b(60, 42);
  n1.SinglePixelProcessProc(a, nullptr);
  n2.SinglePixelProcessProc(b, nullptr);
  int changed = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x) {
      ASSERT_EQ(n1.GetPixelData(x, y), n2.GetPixelData(x, y));
      const BYTE* p = n1.GetBits(x, y);
      for (int c = 0; c < 3; ++c) {
        EXPECT_LE(std::abs(p[c] - 128), 30);
        changed += p[c] != 128;
      }
    }
  EXPECT_GT(changed, 50);
  CTevObjImage quiet = Solid32(4, 4, Bgra(7, 8, 9, 10));
  CTevPixelNoisify none(0);
  CTevPixelAddRandomNoise zero(0, 1);
  quiet.SinglePixelProcessProc(none, nullptr);
  quiet.SinglePixelProcessProc(zero, nullptr);
  EXPECT_EQ(quiet.GetPixelData(3, 3), Bgra(7, 8, 9, 10));
  // Noisify's g spans +-3.46 (four rand() values of 0..32767).
  CTevObjImage loud = Solid32(64, 64, Bgra(128, 128, 128, 255));
  CTevPixelNoisify hundred(100);
  hundred.SetSeed(5);
  loud.SinglePixelProcessProc(hundred, nullptr);
  int lo = 255, hi = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const BYTE* p = loud.GetBits(x, y);
      EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
      lo = std::min<int>(lo, p[0]);
      hi = std::max<int>(hi, p[0]);
    }
  EXPECT_LT(lo, 60);
  EXPECT_GT(hi, 196);
}

TEST(FilterAnalysis, KeyColourCountAndVisibleBounds) {
  CTevObjImage img = Solid32(4, 4, Bgra(1, 1, 1, 255));
  img.SetPixelData(2, 2, Bgra(5, 0, 0, 255));
  CTevPixelGetKeyColor key;
  ASSERT_EQ(img.SinglePixelProcessProc(key, nullptr), 1);
  EXPECT_TRUE(key.IsFind());
  EXPECT_EQ(key.GetKeyColor().rgbRed | key.GetKeyColor().rgbGreen | key.GetKeyColor().rgbBlue, 0);
  EXPECT_EQ(key.GetColorsCount(), 2);
  img.SetPixelData(0, 0, Bgra(0, 0, 0, 0));
  img.SetPixelData(1, 0, Bgra(1, 0, 0, 0));  // 0x000001
  CTevPixelGetKeyColor key2;
  img.SinglePixelProcessProc(key2, nullptr);
  EXPECT_EQ(key2.GetKeyColor().rgbBlue, 2);
  EXPECT_EQ(key2.GetColorsCount(), 4);

  CTevObjImage clear = Solid32(6, 5, 0);
  CTevPixelGetOptimizedRect none;
  clear.SinglePixelProcessProc(none, nullptr);
  EXPECT_TRUE(none.IsEmpty());
  clear.SetPixelData(1, 3, Bgra(0, 0, 0, 1));
  clear.SetPixelData(4, 1, Bgra(0, 0, 0, 9));
  CTevPixelGetOptimizedRect some;
  clear.SinglePixelProcessProc(some, nullptr);
  EXPECT_EQ(some.GetOptimizedRect(), (RECT{1, 1, 5, 4}));
}

TEST(FilterGeometry, MirrorFlipTurnsAndDepthConversions) {
  CTevObjImage img(3, 7, 32);
  FillNoise(img, 11);
  CTevObjImage orig;
  orig.Create(img.GetImageBits());
  CTevPixelMirror mirror;
  ASSERT_EQ(img.SinglePixelProcessProc(mirror, nullptr), 1);
  EXPECT_EQ(img.GetPixelData(0, 4), orig.GetPixelData(2, 4));
  EXPECT_EQ(img.GetPixelData(1, 4), orig.GetPixelData(1, 4));
  ASSERT_EQ(img.SinglePixelProcessProc(mirror, nullptr), 1);
  CTevPixelFlip flip;
  ASSERT_EQ(img.SinglePixelProcessProc(flip, nullptr), 1);
  EXPECT_EQ(img.GetPixelData(2, 0), orig.GetPixelData(2, 6));
  ASSERT_EQ(img.SinglePixelProcessProc(flip, nullptr), 1);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(img.GetPixelData(x, y), orig.GetPixelData(x, y));

  CTevPixelRotate90 r90;
  ASSERT_EQ(img.SinglePixelProcessProc(r90, nullptr), 1);
  ASSERT_EQ(img.Width(), 7);
  ASSERT_EQ(img.Height(), 3);
  EXPECT_EQ(img.GetPixelData(0, 0), orig.GetPixelData(0, 6));  // (y, H - 1 - x)
  EXPECT_EQ(img.GetPixelData(6, 2), orig.GetPixelData(2, 0));
  CTevPixelRotate270 r270;
  ASSERT_EQ(img.SinglePixelProcessProc(r270, nullptr), 1);
  CTevPixelRotate180 r180;
  ASSERT_EQ(img.SinglePixelProcessProc(r180, nullptr), 1);
  EXPECT_EQ(img.GetPixelData(0, 0), orig.GetPixelData(2, 6));

  CTevObjImage c(2, 1, 24);
  c.SetPixelData(0, 0, 0xFF8040);  // R 255, G 128, B 64
  c.SetPixelData(1, 0, 0x0A141E);
  CTevPixelConvertTo16Bit to16;
  ASSERT_EQ(c.SinglePixelProcessProc(to16, nullptr), 1);
  ASSERT_EQ(c.ColorBits(), 16);
  EXPECT_EQ(c.GetPixelData(0, 0), DWORD((0xF8 << 7) | (0x80 << 2) | (64 >> 3)));
  EXPECT_EQ(c.SinglePixelProcessProc(to16, nullptr), 0);  // already 16 bits
  CTevPixelConvertTo8BitGray to8;
  ASSERT_EQ(c.SinglePixelProcessProc(to8, nullptr), 1);
  ASSERT_EQ(c.ColorBits(), 8);
  // 5-5-5 back to 24 bits gives R 248 (255 & 0xF8), G 128, B 64.
  EXPECT_EQ(int(c.GetPixelData(0, 0)), (11 * 64 + 30 * 248 + 59 * 128) / 100);
}

TEST(FilterAlpha, TransparencyKnockoutRangeAndDeinterlace) {
  CTevObjImage img = Solid32(2, 1, Bgra(1, 2, 3, 200));
  CTevPixelTransparency t(50);
  img.SinglePixelProcessProc(t, nullptr);
  EXPECT_EQ(img.GetPixelData(0, 0), Bgra(1, 2, 3, 150));
  BYTE px[4] = {1, 2, 3, 200};
  t.ProcessSelectedPixel(&img, 0, 0, px, 51);  // 200 - 51 * 50 / 255
  EXPECT_EQ(px[3], 190);

  CTevObjImage mask = Solid32(2, 1, Bgra(0, 0, 0, 0));
  mask.SetPixelData(1, 0, Bgra(0, 0, 0, 255));
  CTevPixelKnockout ko(mask);
  img = Solid32(2, 1, Bgra(9, 9, 9, 255));
  ASSERT_EQ(img.SinglePixelProcessProc(ko, nullptr), 1);
  EXPECT_EQ(img.GetBits(0, 0)[3], 255);
  EXPECT_EQ(img.GetBits(1, 0)[3], 0);
  CTevObjImage wrong = Solid32(3, 1, 0);
  EXPECT_EQ(wrong.SinglePixelProcessProc(ko, nullptr), 0);

  CTevPixelAdjustRange range(50);
  img = Solid32(1, 1, Bgra(0, 0, 0, 100));
  img.SinglePixelProcessProc(range, nullptr);
  EXPECT_EQ(img.GetBits(0, 0)[3], 200);
  CTevPixelAdjustRange bad(100);
  EXPECT_EQ(img.SinglePixelProcessProc(bad, nullptr), 0);

  CTevObjImage rows(1, 4, 32);
  rows.SetPixelData(0, 0, Bgra(100, 0, 0, 255));
  rows.SetPixelData(0, 1, Bgra(7, 7, 7, 7));
  rows.SetPixelData(0, 2, Bgra(200, 0, 0, 85));
  rows.SetPixelData(0, 3, Bgra(1, 1, 1, 1));
  CPixelDeinterlace odd(CPixelDeinterlace::FIELD_ODD);
  rows.SinglePixelProcessProc(odd, nullptr);
  // (100 * 255 + 200 * 85) / 340 = 125, alpha (255 + 85) / 2 = 170.
  EXPECT_EQ(rows.GetPixelData(0, 1), Bgra(125, 0, 0, 170));
  EXPECT_EQ(rows.GetPixelData(0, 3), Bgra(1, 1, 1, 1));  // the last row stays
}
