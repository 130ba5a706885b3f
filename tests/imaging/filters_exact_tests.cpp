// Filters whose numbers are fixed: hand-computed pixels for the tone tables,
// grey, threshold, levels, balance, emboss, kernels, box blur, halftone,
// light spot, key colour, geometry and the alpha processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;
using imaging_test::Bgra;
using imaging_test::FillNoise;
using imaging_test::Solid32;

// Tone table entries: brightness and contrast percents (below 1 become 0),
// invert, gamma (255 * (v / 255)^(1 / g), rounded), posterize and solarize.
TEST(FilterTables, EntriesFollowTheirFormulas) {
  using Make = std::function<std::unique_ptr<CTevPixelLUTRoutine>()>;
  const struct {
    const char* what;
    Make make;
    int in, out;
  } cases[] = {
      {"brightness 50", [] { return std::make_unique<CTevPixelBrightness>(50); }, 201, 100},
      {"contrast 200", [] { return std::make_unique<CTevPixelContrast>(200); }, 100, 72},  // 128 + (-28 * 200 / 100)
      {"invert", [] { return std::make_unique<CTevPixelInvert>(); }, 3, 252},
      {"gamma 2", [] { return std::make_unique<CTevPixelGamma>(2.0); }, 64, 128},  // 255 * sqrt(64 / 255) = 127.75
      {"posterize 3", [] { return std::make_unique<CTevPixelPosterize>(3); }, 64, 128},
      {"posterize 3 below", [] { return std::make_unique<CTevPixelPosterize>(3); }, 63, 0},
      {"solarize at", [] { return std::make_unique<CTevPixelSolarize>(100); }, 100, 155},
  };
  for (const auto& c : cases) EXPECT_EQ(c.make()->InitLUTtable(c.in), c.out) << c.what;
}

// One process on a one-colour 32-bit picture, pixels checked against values
// worked out from the filter's rule (the comments give the arithmetic).
TEST(FilterPixels, OneColourPicturesGiveTheRulesPixels) {
  using Make = std::function<std::unique_ptr<CTevInterfacePixelProcess>()>;
  struct Want {
    int x, y;
    DWORD v;
  };
  const struct {
    const char* what;
    int w, h;
    DWORD fill;
    Make make;
    std::vector<Want> want;
  } cases[] = {
      {"brightness 0", 4, 3, Bgra(10, 200, 77, 99), [] { return std::make_unique<CTevPixelBrightness>(0); },
       {{3, 2, Bgra(0, 0, 0, 99)}}},
      {"contrast below 1 is 0", 4, 3, Bgra(10, 200, 77, 99), [] { return std::make_unique<CTevPixelContrast>(-5); },
       {{0, 0, Bgra(128, 128, 128, 99)}}},
      // (550 + 6000 + 5900) / 100
      {"grey", 3, 1, Bgra(50, 100, 200, 7), [] { return std::make_unique<CTevPixelGrayscale>(); },
       {{0, 0, Bgra(124, 124, 124, 7)}}},
      {"threshold 123", 1, 1, Bgra(124, 124, 124, 1), [] { return std::make_unique<CTevPixelThreshold>(123); },
       {{0, 0, Bgra(255, 255, 255, 1)}}},
      {"rgb offsets clamp", 1, 1, Bgra(250, 20, 200, 9), [] { return std::make_unique<CTevPixelAdjustRGB>(100, -30, 10); },
       {{0, 0, Bgra(255, 0, 255, 9)}}},
      // 127 + trunc(100 * 0.667) = 193; blue subtracts the same midtone curve.
      {"balance midtones", 1, 1, Bgra(127, 127, 127, 255),
       [] { return std::make_unique<CTevPixelColorBalance>(false, TONE_MIDTONES, 100, 0, -100); },
       {{0, 0, Bgra(61, 127, 193, 255)}}},
      // round(50 * 255 / 100)
      {"manual levels", 2, 2, Bgra(100, 150, 49, 255), [] { return std::make_unique<CTevPixelColorLevel>(false, 50, 150); },
       {{0, 0, Bgra(128, 255, 0, 255)}}},
      {"edges of a flat picture", 3, 3, Bgra(9, 9, 9, 255), [] { return std::make_unique<CTevPixelDetectEdges>(2); },
       {{1, 1, Bgra(0, 0, 0, 255)}}},
      // Bayer entry 63 is not below 63; grey / 4 = 10 against entries 0, 8, 10.
      {"halftone white", 8, 8, Bgra(255, 255, 255, 255), [] { return std::make_unique<CTevPixelHalftoneM3>(); },
       {{0, 7, Bgra(0, 0, 0, 255)}, {1, 7, Bgra(255, 255, 255, 255)}}},
      // Centre (0, floor(1 * 0)) = (0, 0); D^2 = 4.
      {"sunspot", 3, 1, Bgra(0, 0, 0, 255), [] { return std::make_unique<CTevPixelSunspot>(100, 0, 0); },
       {{0, 0, Bgra(100, 100, 100, 255)}, {1, 0, Bgra(75, 75, 75, 255)}, {2, 0, Bgra(0, 0, 0, 255)}}},
      {"transparency 50", 2, 1, Bgra(1, 2, 3, 200), [] { return std::make_unique<CTevPixelTransparency>(50); },
       {{0, 0, Bgra(1, 2, 3, 150)}}},
      {"alpha range 50", 1, 1, Bgra(0, 0, 0, 100), [] { return std::make_unique<CTevPixelAdjustRange>(50); },
       {{0, 0, Bgra(0, 0, 0, 200)}}},
  };
  for (const auto& c : cases) {
    CTevObjImage img = Solid32(c.w, c.h, c.fill);
    auto process = c.make();
    ASSERT_EQ(img.SinglePixelProcessProc(*process, nullptr), 1) << c.what;
    for (const Want& w : c.want) EXPECT_EQ(img.GetPixelData(w.x, w.y), w.v) << c.what << " at " << w.x << "," << w.y;
  }
  // Tone: grey 0 is black, grey 255 the lightness-1 colour (white).
  CTevObjImage tone(2, 1, 24);
  tone.SetPixelData(0, 0, 0);
  tone.SetPixelData(1, 0, 0xFFFFFF);
  CTevPixelColorTone sepia(RGBQUAD{20, 80, 160, 0});
  tone.SinglePixelProcessProc(sepia, nullptr);
  EXPECT_EQ(tone.GetPixelData(0, 0), 0u);
  EXPECT_EQ(tone.GetPixelData(1, 0), 0xFFFFFFu);
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
  for (int hue : {0, 50, 200, 1000})
    for (int sat : {0, 50, 300})
      for (const auto& c : colours) {
        SCOPED_TRACE(testing::Message() << "hue " << hue << " sat " << sat << " rgb " << c[0] << "," << c[1] << "," << c[2]);
        CTevObjImage img = Solid32(1, 1, Bgra(BYTE(c[2]), BYTE(c[1]), BYTE(c[0]), 255));
        CTevPixelHueSaturation adjust(hue, sat);
        img.SinglePixelProcessProc(adjust, nullptr);
        const DWORD got = img.GetPixelData(0, 0), want = expected(c[0], c[1], c[2], hue, sat);
        for (int shift : {0, 8, 16}) EXPECT_NEAR(int((got >> shift) & 0xFF), int((want >> shift) & 0xFF), 1) << std::hex << got << " " << want;
      }
}

TEST(FilterLevels, AutoBoundsOnUniformGreyAndClippedHistograms) {
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
}

TEST(FilterKernels, GaussianSpreadsABrightPixelByItsWeights) {
  // A single bright pixel spreads by the 3 x 3 weights.
  CTevObjImage dot = Solid32(3, 3, Bgra(0, 0, 0, 255));
  dot.SetPixelData(1, 1, Bgra(160, 160, 160, 255));
  CTevPixelGaussianBlur3x3 g;
  dot.SinglePixelProcessProc(g, nullptr);
  EXPECT_EQ(dot.GetPixelData(1, 1), Bgra(40, 40, 40, 255));
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
}

TEST(FilterBlur, BoxBlurHandValuesAndTransparentImage) {
  CTevObjImage row(3, 1, 24);
  row.SetPixelData(0, 0, 0);
  row.SetPixelData(1, 0, 0x5A5A5A);
  row.SetPixelData(2, 0, 0xB4B4B4);
  CTevPixelBlurBox box(3, true);
  ASSERT_EQ(row.SinglePixelProcessProc(box, nullptr), 1);
  EXPECT_EQ(row.GetPixelData(0, 0), 0x1E1E1Eu);  // (0 + 0 + 90) / 3
  EXPECT_EQ(row.GetPixelData(2, 0), 0x969696u);  // (90 + 180 + 180) / 3
  // Alpha weights: a transparent neighbour lends no colour, only less alpha.
  CTevObjImage two = Solid32(2, 1, Bgra(0, 0, 0, 0));
  two.SetPixelData(1, 0, Bgra(90, 60, 30, 255));
  CTevPixelBlurBox b2(2, true);  // below 3 becomes 2: pixels x - 1 and x
  two.SinglePixelProcessProc(b2, nullptr);
  EXPECT_EQ(two.GetPixelData(1, 0), Bgra(90, 60, 30, 127));
}

TEST(FilterAnalysis, KeyColourCountAndVisibleBounds) {
  CTevObjImage img = Solid32(4, 4, Bgra(1, 1, 1, 255));
  img.SetPixelData(2, 2, Bgra(5, 0, 0, 255));
  CTevPixelGetKeyColor key;
  ASSERT_EQ(img.SinglePixelProcessProc(key, nullptr), 1);
  EXPECT_TRUE(key.IsFind());
  EXPECT_EQ(key.GetKeyColor().rgbRed | key.GetKeyColor().rgbGreen | key.GetKeyColor().rgbBlue, 0);
  EXPECT_EQ(key.GetColorsCount(), 2);

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

// Each turn or reflection against its coordinate map: new (x, y) shows the
// old pixel at src(x, y) of the W x H original.
TEST(FilterGeometry, MirrorFlipTurnsAndDepthConversions) {
  using Make = std::function<std::unique_ptr<CTevInterfacePixelProcess>()>;
  using Src = std::function<POINT(int, int, int, int)>;
  const struct {
    const char* what;
    Make make;
    bool swaps;
    Src src;
  } cases[] = {
      {"mirror", [] { return std::make_unique<CTevPixelMirror>(); }, false,
       [](int x, int y, int w, int) { return POINT{w - 1 - x, y}; }},
      {"flip", [] { return std::make_unique<CTevPixelFlip>(); }, false,
       [](int x, int y, int, int h) { return POINT{x, h - 1 - y}; }},
      {"turn 90", [] { return std::make_unique<CTevPixelRotate90>(); }, true,
       [](int x, int y, int, int h) { return POINT{y, h - 1 - x}; }},
      {"turn 180", [] { return std::make_unique<CTevPixelRotate180>(); }, false,
       [](int x, int y, int w, int h) { return POINT{w - 1 - x, h - 1 - y}; }},
      {"turn 270", [] { return std::make_unique<CTevPixelRotate270>(); }, true,
       [](int x, int y, int w, int) { return POINT{w - 1 - y, x}; }},
  };
  for (const auto& c : cases)
    for (int bits : {8, 32}) {
      CTevObjImage orig(3, 7, bits);
      FillNoise(orig, 11);
      CTevObjImage img(orig);
      auto process = c.make();
      ASSERT_EQ(img.SinglePixelProcessProc(*process, nullptr), 1) << c.what;
      ASSERT_EQ(img.Width(), c.swaps ? 7 : 3) << c.what;
      for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
          const POINT s = c.src(x, y, 3, 7);
          ASSERT_EQ(img.GetPixelData(x, y), orig.GetPixelData(s.x, s.y)) << c.what << " " << bits << " " << x << "," << y;
        }
    }
  // Depth conversions: 5-5-5 packing, then the grey of the packed colour.
  CTevObjImage c(2, 1, 24);
  c.SetPixelData(0, 0, 0xFF8040);  // R 255, G 128, B 64
  c.SetPixelData(1, 0, 0x0A141E);
  CTevPixelConvertTo16Bit to16;
  ASSERT_EQ(c.SinglePixelProcessProc(to16, nullptr), 1);
  ASSERT_EQ(c.ColorBits(), 16);
  EXPECT_EQ(c.GetPixelData(0, 0), DWORD((0xF8 << 7) | (0x80 << 2) | (64 >> 3)));
  CTevPixelConvertTo8BitGray to8;
  ASSERT_EQ(c.SinglePixelProcessProc(to8, nullptr), 1);
  ASSERT_EQ(c.ColorBits(), 8);
  // 5-5-5 back to 24 bits gives R 248 (255 & 0xF8), G 128, B 64.
  EXPECT_EQ(int(c.GetPixelData(0, 0)), (11 * 64 + 30 * 248 + 59 * 128) / 100);
}

TEST(FilterAlpha, TransparencyKnockoutRangeAndDeinterlace) {
  CTevObjImage mask = Solid32(2, 1, Bgra(0, 0, 0, 0));
  mask.SetPixelData(1, 0, Bgra(0, 0, 0, 255));
  CTevPixelKnockout ko(mask);
  CTevObjImage img = Solid32(2, 1, Bgra(9, 9, 9, 255));
  ASSERT_EQ(img.SinglePixelProcessProc(ko, nullptr), 1);
  EXPECT_EQ(img.GetBits(0, 0)[3], 255);
  EXPECT_EQ(img.GetBits(1, 0)[3], 0);

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
