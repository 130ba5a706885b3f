// Every filter class on 8- to 32-bit images of odd sizes, through copies and
// on a selection: runs where its depth rule allows, else touches nothing.
// Then properties of the members whose formulas are open.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;
using imaging_test::Bgra;
using imaging_test::FillNoise;
using imaging_test::Solid32;

namespace {

enum class Rule { AtLeast24, Exactly32, AtLeast8, Any, Not16, Distort };

bool Allowed(Rule rule, int bits, int w, int h) {
  switch (rule) {
    case Rule::AtLeast24: return bits >= 24;
    case Rule::Exactly32: return bits == 32;
    case Rule::AtLeast8: return bits >= 8;
    case Rule::Any: return true;
    case Rule::Not16: return bits != 16;
    case Rule::Distort: return bits == 32 && w >= 2 && h >= 2;
  }
  return false;
}

// Images some processes refer to, sized for the image they run on.
struct Fixtures {
  CTevObjImage pattern{5, 3, 24};
  CTevObjImage mask, red, green, blue, splitR, splitG, splitB;
  std::string asciiPath;
  void SizeFor(int w, int h) {
    FillNoise(pattern, 3);
    mask = Solid32(w, h, Bgra(0, 0, 0, 100));
    for (CTevObjImage* c : {&red, &green, &blue}) {
      c->Create(w, h, 8);
      FillNoise(*c, 9);
    }
  }
};

using Factory = std::function<std::unique_ptr<CTevInterfacePixelProcess>(Fixtures&)>;

struct Entry {
  std::string name;
  Rule rule;
  Factory make;
};

// Builds T, copies it by construction and by assignment, and hands out the
// assigned copy, so every run also checks the copy rules.
template <class T, class... A>
Factory Copied(A... args) {
  return [=](Fixtures&) -> std::unique_ptr<CTevInterfacePixelProcess> {
    T original(args...);
    T copy(original);
    auto out = std::make_unique<T>(original);
    *out = copy;
    return out;
  };
}

std::vector<Entry> AllClasses() {
  const RGBQUAD c1{10, 20, 30, 255}, c2{200, 150, 100, 128};
  static const POINT corners[4] = {{1, 0}, {200, 5}, {250, 120}, {0, 100}};
  std::vector<Entry> e = {
      {"Grayscale", Rule::AtLeast24, Copied<CTevPixelGrayscale>()},
      {"Threshold", Rule::AtLeast24, Copied<CTevPixelThreshold>(120)},
      {"Transparency", Rule::AtLeast24, Copied<CTevPixelTransparency>(40)},
      {"AdjustRGB", Rule::AtLeast24, Copied<CTevPixelAdjustRGB>(10, -20, 30)},
      {"Mirror", Rule::AtLeast8, Copied<CTevPixelMirror>()},
      {"Flip", Rule::AtLeast8, Copied<CTevPixelFlip>()},
      {"HueSaturation", Rule::AtLeast24, Copied<CTevPixelHueSaturation>(80, 120)},
      {"ColorTone", Rule::AtLeast24, Copied<CTevPixelColorTone>(c1)},
      {"AddRandomNoise", Rule::AtLeast24, Copied<CTevPixelAddRandomNoise>(40, 3)},
      {"Noisify", Rule::AtLeast24, Copied<CTevPixelNoisify>(50)},
      {"3DGrid", Rule::AtLeast24, Copied<CTevPixel3DGrid>(4, 30)},
      {"FillColor", Rule::AtLeast24, Copied<CTevPixelFillColor>(c1, 77)},
      {"FillPattern", Rule::Exactly32,
       [](Fixtures& f) { return std::make_unique<CTevPixelFillPattern>(&f.pattern, 128, false); }},
      {"FillPatternRelief", Rule::Exactly32,
       [](Fixtures& f) { return std::make_unique<CTevPixelFillPattern>(&f.pattern, 200, true); }},
      {"CombineColor", Rule::Exactly32, Copied<CTevPixelCombineColor>(c2)},
      {"AutoContrast", Rule::AtLeast24, Copied<CTevPixelAutoContrast>()},
      {"AutoColorEnhance", Rule::AtLeast24, Copied<CTevPixelAutoColorEnhance>()},
      {"Emboss", Rule::AtLeast24, Copied<CTevPixelEmboss>(5)},
      {"HalftoneM3", Rule::AtLeast24, Copied<CTevPixelHalftoneM3>()},
      {"Deinterlace", Rule::Exactly32, Copied<CPixelDeinterlace>(CPixelDeinterlace::FIELD_EVEN)},
      {"Video", Rule::AtLeast24, Copied<CTevPixelVideo>(CTevPixelVideo::VIDEO_SHADOW_MASK)},
      {"ColorBalance", Rule::AtLeast24, Copied<CTevPixelColorBalance>(true, TONE_SHADOWS, 30, -20, 10)},
      {"FillGrid", Rule::AtLeast24, Copied<CTevPixelFillGrid>(c1, c2, 3)},
      {"SpliteChannelRGB", Rule::AtLeast24,
       [](Fixtures& f) { return std::make_unique<CTevPixelSpliteChannelRGB>(&f.splitR, &f.splitG, nullptr); }},
      {"CombineChannelRGB", Rule::AtLeast24,
       [](Fixtures& f) { return std::make_unique<CTevPixelCombineChannelRGB>(&f.red, &f.green, &f.blue); }},
      {"Shift", Rule::AtLeast24, Copied<CTevPixelShift>(5)},
      {"ColorsCount", Rule::AtLeast24, Copied<CTevPixelColorsCount>()},
      {"GetKeyColor", Rule::AtLeast24, Copied<CTevPixelGetKeyColor>()},
      {"GetOptimizedRect", Rule::Exactly32, Copied<CTevPixelGetOptimizedRect>()},
      {"FindEdge", Rule::AtLeast24, Copied<CTevPixelFindEdge>(true)},
      {"AdjustRange", Rule::Exactly32, Copied<CTevPixelAdjustRange>(60)},
      {"ConvertTo16Bit", Rule::Not16, Copied<CTevPixelConvertTo16Bit>()},
      {"ConvertTo8BitGray", Rule::Any, Copied<CTevPixelConvertTo8BitGray>()},
      {"Illusion", Rule::AtLeast24, Copied<CTevPixelIllusion>(6)},
      {"Mosaic", Rule::Exactly32, Copied<CTevPixelMosaic>(4)},
      {"Fill3DSolidFrame", Rule::AtLeast24, Copied<CTevPixelFill3DSolidFrame>(6)},
      {"ColorLevel", Rule::AtLeast24, Copied<CTevPixelColorLevel>(true, 0, 255, CHANNEL_RGB)},
      {"Rotate90", Rule::AtLeast8, Copied<CTevPixelRotate90>()},
      {"Rotate180", Rule::AtLeast8, Copied<CTevPixelRotate180>()},
      {"Rotate270", Rule::AtLeast8, Copied<CTevPixelRotate270>()},
      {"OilPaint", Rule::AtLeast24, Copied<CTevPixelOilPaint>(2)},
      {"Splash", Rule::AtLeast24, Copied<CTevPixelSplash>(5)},
      {"MedianFilter", Rule::AtLeast24, Copied<CTevPixelMedianFilter>(3)},
      {"Sunspot", Rule::AtLeast24, Copied<CTevPixelSunspot>(200, 20, 80)},
      {"Convolute", Rule::AtLeast24, Copied<CTevPixelConvolute>()},
      {"GaussianBlur3x3", Rule::AtLeast24, Copied<CTevPixelGaussianBlur3x3>()},
      {"GaussianBlur5x5", Rule::AtLeast24, Copied<CTevPixelGaussianBlur5x5>()},
      {"DetectEdges", Rule::AtLeast24, Copied<CTevPixelDetectEdges>(2)},
      {"Sharp", Rule::AtLeast24, Copied<CTevPixelSharp>(8)},
      {"Brightness", Rule::AtLeast24, Copied<CTevPixelBrightness>(120, CHANNEL_RGB)},
      {"Contrast", Rule::AtLeast24, Copied<CTevPixelContrast>(80, CHANNEL_RED)},
      {"Invert", Rule::AtLeast24, Copied<CTevPixelInvert>(CHANNEL_RGB)},
      {"Gamma", Rule::AtLeast24, Copied<CTevPixelGamma>(1.8, CHANNEL_RGB)},
      {"Solarize", Rule::AtLeast24, Copied<CTevPixelSolarize>(128, CHANNEL_RGB)},
      {"Posterize", Rule::AtLeast24, Copied<CTevPixelPosterize>(4, CHANNEL_RGB)},
      {"GradientLine", Rule::AtLeast24,
       Copied<CTevPixelGradientLine>(POINT{0, 0}, POINT{30, 10}, c1, c2, REPEAT_NONE)},
      {"GradientBiLine", Rule::AtLeast24,
       Copied<CTevPixelGradientBiLine>(POINT{5, 5}, POINT{5, 25}, c1, c2, REPEAT_SAWTOOTH)},
      {"GradientConicalSym", Rule::AtLeast24,
       Copied<CTevPixelGradientConicalSym>(POINT{1, 1}, POINT{9, 2}, c1, c2, REPEAT_TRIANGLE)},
      {"GradientConicalASym", Rule::AtLeast24,
       Copied<CTevPixelGradientConicalASym>(POINT{1, 1}, POINT{1, 1}, c1, c2, REPEAT_NONE)},
      {"GradientRect", Rule::AtLeast24, Copied<CTevPixelGradientRect>(RECT{0, 0, 40, 20}, c1, c2, REPEAT_TRIANGLE)},
      {"GradientRadial", Rule::AtLeast24, Copied<CTevPixelGradientRadial>(RECT{3, 3, 3, 9}, c1, c2, REPEAT_NONE)},
      {"Cylinder", Rule::Distort, Copied<CTevPixelCylinder>()},
      {"Wave", Rule::Distort, Copied<CTevPixelWave>(8, 3, 0.5)},
      {"WhirlPinch", Rule::Distort, Copied<CTevPixelWhirlPinch>(2.0, 0.5)},
      {"FractalTrace", Rule::Distort, Copied<CTevPixelFractalTrace>(4)},
      {"Lens", Rule::Distort, Copied<CTevPixelLens>(1.7, false)},
      {"Skew", Rule::Distort, Copied<CTevPixelSkew>(corners)},
      {"Perspective", Rule::Distort, Copied<CTevPixelPerspective>(corners)},
      {"Rotate", Rule::Distort, Copied<CTevPixelRotate>(-30)},
      {"Ribbon", Rule::Distort, Copied<CTevPixelRibbon>(60, 12)},
      {"SmallTile", Rule::Distort, Copied<CTevPixelSmallTile>(3, 2)},
      {"BlurBox", Rule::AtLeast24, Copied<CTevPixelBlurBox>(5, false)},
      {"BlurGaussIIR", Rule::AtLeast24, Copied<CTevPixelBlurGaussIIR>(3, 7)},
      {"BlurMotion", Rule::AtLeast24, Copied<CPixelBlurMotion>(9, DIRECT_DIAGONAL_UP)},
      {"BlurZoom", Rule::AtLeast24, Copied<CTevPixelBlurZoom>(30)},
      {"BlurRadial", Rule::AtLeast24, Copied<CTevPixelBlurRadial>(20)},
      {"Glasstile", Rule::AtLeast24, Copied<CTevPixelGlasstile>(6, 4)},
      {"InnerBevel", Rule::AtLeast24, Copied<CTevPixelInnerBevel>(4, 60)},
      {"SmoothEdge", Rule::AtLeast24, Copied<CTevPixelSmoothEdge>(2)},
      {"AddShadow", Rule::Exactly32, Copied<CTevPixelAddShadow>(SHADOWDATA{3, -2, 2, 40, 0x102030})},
      {"Knockout", Rule::Exactly32, [](Fixtures& f) { return std::make_unique<CTevPixelKnockout>(f.mask); }},
      {"ExportAscII", Rule::AtLeast24,
       [](Fixtures& f) { return std::make_unique<CTevPixelExportAscII>(f.asciiPath.c_str()); }},
  };
  return e;
}

class FilterFamily : public ::testing::TestWithParam<Entry> {};

CTevObjImage NoiseImage(int w, int h, int bits) {
  CTevObjImage img(w, h, bits);
  FillNoise(img, std::uint32_t(w * 31 + h * 7 + bits));
  return img;
}

bool SameBytes(const CTevObjImage& a, const CTevObjImage& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.ColorBits() != b.ColorBits()) return false;
  // Pixel bytes only: the row padding is not part of the picture.
  const std::size_t row = (std::size_t(a.Width()) * a.ColorBits() + 7) / 8;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.GetBits(y), b.GetBits(y), row) != 0) return false;
  return true;
}

TEST_P(FilterFamily, RunsOnAllowedDepthsAndRefusesOthers) {
  const Entry& entry = GetParam();
  Fixtures fx;
  fx.asciiPath = ::testing::TempDir() + "lw_filter_ascii.txt";
  const int sizes[4][2] = {{1, 1}, {2, 2}, {3, 7}, {257, 129}};
  for (const auto& s : sizes)
    for (int bits : {8, 16, 24, 32}) {
      SCOPED_TRACE(entry.name + " " + std::to_string(s[0]) + "x" + std::to_string(s[1]) + "@" +
                   std::to_string(bits));
      fx.SizeFor(s[0], s[1]);
      CTevObjImage img = NoiseImage(s[0], s[1], bits);
      CTevObjImage before;
      ASSERT_TRUE(before.Create(img.GetImageBits()));
      auto process = entry.make(fx);
      CTevCommonProgress progress;
      const int r = img.SinglePixelProcessProc(*process, &progress);
      if (Allowed(entry.rule, bits, s[0], s[1])) {
        EXPECT_NE(r, 0);
        ASSERT_TRUE(img.IsValidImage());
      } else {
        EXPECT_EQ(r, 0);
        EXPECT_TRUE(SameBytes(img, before));
      }
    }
  std::remove(fx.asciiPath.c_str());
}

TEST_P(FilterFamily, SelectionRunChangesNothingOutsideTheMask) {
  const Entry& entry = GetParam();
  Fixtures fx;
  fx.asciiPath = ::testing::TempDir() + "lw_filter_ascii_sel.txt";
  fx.SizeFor(40, 30);
  CTevObjImage img = NoiseImage(40, 30, 32);
  CTevObjImage before;
  before.Create(img.GetImageBits());
  CTevObjSelection sel;
  ASSERT_NE(sel.CreateRectanleSelection(5, 6, 25, 20, 0), 0);
  auto process = entry.make(fx);
  const int r = sel.SinglePixelProcessProc(*process, img, sel.GetSelectionPos(), nullptr);
  ASSERT_TRUE(img.IsValidImage());
  if (r == 0 || img.Width() != 40 || img.Height() != 30 || img.ColorBits() != 32) return;
  // Mirror and flip move pixels from their partner positions, which may lie
  // outside; everything else stays inside the selection.
  if (entry.name == "Mirror" || entry.name == "Flip") return;
  const RECT box = sel.GetRect();
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) continue;
      ASSERT_EQ(img.GetPixelData(x, y), before.GetPixelData(x, y)) << x << "," << y;
    }
  std::remove(fx.asciiPath.c_str());
}

INSTANTIATE_TEST_SUITE_P(AllClasses, FilterFamily, ::testing::ValuesIn(AllClasses()),
                         [](const ::testing::TestParamInfo<Entry>& info) { return info.param.name; });

// ---- Properties of the open members ------------------------------------------

void ChannelRange(const CTevObjImage& img, int c, int& lo, int& hi) {
  lo = 255;
  hi = 0;
  const int bpp = img.ColorBits() / 8;
  for (int y = 0; y < img.Height(); ++y) {
    const BYTE* p = img.GetBits(y) + c;
    for (int x = 0; x < img.Width(); ++x, p += bpp) {
      lo = std::min<int>(lo, *p);
      hi = std::max<int>(hi, *p);
    }
  }
}

// Values 60..190 with structure, opaque.
CTevObjImage Banded(int w, int h, int bits) {
  CTevObjImage img(w, h, bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      BYTE* p = img.GetBits(x, y);
      p[0] = BYTE(60 + (x * 37 + y * 11) % 131);
      p[1] = BYTE(60 + ((x / 4 + y / 3) % 2) * 130);
      p[2] = BYTE(60 + (x * y) % 131);
      if (bits == 32) p[3] = 255;
    }
  return img;
}

TEST(FilterProperties, BlursNeverWidenAChannelRange) {
  std::vector<std::function<std::unique_ptr<CTevInterfacePixelProcess>()>> blurs = {
      [] { return std::make_unique<CTevPixelBlurBox>(7, true); },
      [] { return std::make_unique<CTevPixelBlurGaussIIR>(12, 3); },
      [] { return std::make_unique<CTevPixelBlurGaussIIR>(60, 60); },
      [] { return std::make_unique<CPixelBlurMotion>(11, DIRECT_HORIZONTAL); },
      [] { return std::make_unique<CTevPixelBlurZoom>(40); },
      [] { return std::make_unique<CTevPixelBlurRadial>(30); },
      [] { return std::make_unique<CTevPixelGaussianBlur3x3>(); },
      [] { return std::make_unique<CTevPixelMedianFilter>(5); },
  };
  for (int bits : {24, 32})
    for (std::size_t i = 0; i < blurs.size(); ++i) {
      CTevObjImage img = Banded(61, 37, bits);
      int lo[3], hi[3];
      for (int c = 0; c < 3; ++c) ChannelRange(img, c, lo[c], hi[c]);
      auto blur = blurs[i]();
      ASSERT_EQ(img.SinglePixelProcessProc(*blur, nullptr), 1) << i;
      for (int c = 0; c < 3; ++c) {
        int l, h;
        ChannelRange(img, c, l, h);
        EXPECT_GE(l, lo[c]) << "blur " << i << " channel " << c << " bits " << bits;
        EXPECT_LE(h, hi[c]) << "blur " << i << " channel " << c << " bits " << bits;
      }
    }
}

TEST(FilterProperties, GaussianBlursASpikeSymmetrically) {
  // A bright line spreads symmetrically and further with a larger radius.
  auto spread = [](int radius) {
    CTevObjImage img = Solid32(101, 3, Bgra(0, 0, 0, 255));
    for (int y = 0; y < 3; ++y) img.SetPixelData(50, y, Bgra(255, 255, 255, 255));
    CTevPixelBlurGaussIIR blur(radius, 0);
    img.SinglePixelProcessProc(blur, nullptr);
    int lit = 0;
    for (int x = 0; x < 101; ++x) {
      EXPECT_EQ(img.GetBits(x, 1)[0], img.GetBits(100 - x, 1)[0]) << x;
      lit += img.GetBits(x, 1)[0] > 0;
    }
    return lit;
  };
  const int narrow = spread(2), wide = spread(10);
  EXPECT_GE(narrow, 3);
  EXPECT_GT(wide, narrow + 8);
}

TEST(FilterProperties, GradientsReachTheirEndColours) {
  const RGBQUAD a{0, 0, 0, 0}, b{200, 100, 50, 0};
  CTevObjImage img = Solid32(11, 3, Bgra(9, 9, 9, 77));
  CTevPixelGradientLine line(POINT{0, 0}, POINT{10, 0}, a, b, REPEAT_NONE);
  img.SinglePixelProcessProc(line, nullptr);
  EXPECT_EQ(img.GetPixelData(0, 2), Bgra(0, 0, 0, 77));
  EXPECT_EQ(img.GetPixelData(10, 1), Bgra(200, 100, 50, 77));
  EXPECT_EQ(img.GetPixelData(5, 0), Bgra(100, 50, 25, 77));
  // Repeated: a sawtooth restarts at each period, a triangle runs back.
  // At 1.25 periods a sawtooth stands at 0.25 of the way, a triangle at 0.75.
  for (auto [repeat, factor] : {std::pair{REPEAT_SAWTOOTH, 0.25}, {REPEAT_TRIANGLE, 0.75}}) {
    CTevPixelGradientLine g(POINT{0, 0}, POINT{4, 0}, a, b, repeat);
    CTevObjImage row = Solid32(9, 1, Bgra(9, 9, 9, 77));
    row.SinglePixelProcessProc(g, nullptr);
    EXPECT_NEAR(row.GetBits(2, 0)[0], 100, 1) << repeat;
    EXPECT_NEAR(row.GetBits(5, 0)[0], 200 * factor, 1) << repeat;
  }
}

}  // namespace
