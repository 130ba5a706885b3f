// The `filter` script command end to end: a filter changes the selected
// pictures of the current frame and undo brings the same pixels back, every
// documented filter name runs, analyses print their findings, and bad names
// or parameters are usage errors.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <cstring>

namespace fs = std::filesystem;

namespace {

class FilterCommands : public CliFixture {};

// A small scene: the new animation's picture plus a rectangle shape.
const char* kScene = "new 24 16\nadd-shape rectangle\nselect-objects all\n";

TEST_F(FilterCommands, NegativeChangesPixelsAndUndoRestoresThem) {
  const RunResult r = Script(std::string(kScene) + "render " + File("a.png") + "\nfilter negative\nrender " +
                             File("b.png") + "\nundo-text\nundo\nrender " + File("c.png") + "\nundo-text\n");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr a = LoadPng("a.png"), b = LoadPng("b.png"), c = LoadPng("c.png");
  ASSERT_TRUE(a && b && c);
  const std::size_t bytes = DibImageBytes(a.get());
  EXPECT_EQ(std::memcmp(DibBits(a.get()), DibBits(c.get()), bytes), 0);
  // Every opaque pixel's colour is inverted.
  int inverted = 0;
  for (LONG y = 0; y < DibHeight(a.get()); ++y)
    for (LONG x = 0; x < a->biWidth; ++x) {
      const BYTE* p = DibRow(a.get(), y) + 4 * x;
      const BYTE* q = DibRow(b.get(), y) + 4 * x;
      if (p[3] != 255) continue;
      ASSERT_EQ(q[0], 255 - p[0]);
      ASSERT_EQ(q[2], 255 - p[2]);
      ++inverted;
    }
  EXPECT_GT(inverted, 0);
  EXPECT_NE(r.out.find("Undo Negative"), std::string::npos);
  EXPECT_NE(r.out.find("Redo Negative"), std::string::npos);
}

TEST_F(FilterCommands, EveryDocumentedNameRuns) {
  const std::string names[] = {
      "negative", "gray", "mirror-h", "mirror-v", "brightness percent=80", "contrast percent=120", "rgb red=20",
      "hue-saturation hue=50 saturation=150", "blur size=5", "gaussian-blur radius=4", "sharpness level=15",
      "emboss depth=4", "sunspot intensity=200 x=50 y=50", "threshold level=100", "color-tone color=0x4080C0",
      "color-balance tone=2 cyan-red=30", "auto-contrast", "auto-color", "levels auto=1", "gamma gamma=2.2",
      "solarize threshold=100", "posterize levels=3", "halftone", "split-channel channel=g",
      "combine-channels red=0 green=0 blue=0", "convert-16", "convert-8-gray", "fill-color color=0x112233 alpha=200",
      "fill-grid cell=4", "fill-pattern pattern=0 relief=1", "combine-color color=0xFF0000 alpha=60",
      "transparency amount=20", "find-edge soften=0", "alpha-range percent=40", "knockout mask=0",
      "add-shadow dx=2 dy=2 softness=1", "smooth-edge radius=1", "inner-bevel width=3 depth=40", "rotate-90",
      "rotate-180", "rotate-270", "deinterlace field=1", "convolute kernel=0,-1,0,-1,5,-1,0,-1,0",
      "gaussian-3x3", "gaussian-5x5", "detect-edges radius=2", "sharp amount=6", "sharpen", "sharpen-more",
      "median size=3", "motion-blur distance=5 direction=2", "zoom-blur amount=30", "radial-blur amount=15",
      "noise amount=20 seed=3", "noisify percent=10 seed=4", "shift amount=2 seed=5", "splash size=4 seed=6",
      "3d-grid cell=4 depth=20", "video type=4", "illusion divisions=4", "mosaic block=4", "solid-frame width=4",
      "oil-paint radius=1", "glass-tile width=4 height=4", "gradient-line start=0,0 end=20,0 repeat=1",
      "gradient-biline end=0,10", "gradient-conical", "gradient-conical-asym", "gradient-rect rect=0,0,20,10",
      "gradient-radial rect=0,0,20,10 repeat=2", "cylinder", "wave wavelength=6 amplitude=2", "whirl-pinch whirl=2",
      "fractal-trace depth=2", "lens refraction=2 keep=0", "skew corners=2,0,23,0,21,15,0,15",
      "perspective corners=3,0,20,0,23,15,0,15", "rotate degrees=15", "ribbon amount=40 period=8",
      "small-tile columns=2 rows=2", "export-ascii path=" + File("a.txt"), "count-colors", "key-color",
      "optimized-rect"};
  std::string script = "new 24 16\nselect-objects all\n";
  for (const std::string& n : names) script += "filter " + n + "\n";
  const RunResult r = Script(script);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(File("a.txt")));
  EXPECT_NE(r.out.find("object 0: "), std::string::npos);
  EXPECT_NE(r.out.find("visible "), std::string::npos);
  EXPECT_NE(r.out.find(" colours"), std::string::npos);
}

// Filters on one colour, the rendered pixel against the value worked out by
// hand: the grey conversion shows its grey levels (not an all-black table),
// saturation 300 % drives (40, 200, 60) to pure green.
TEST_F(FilterCommands, ColourFiltersGiveTheirPixels) {
  struct Case {
    const char* filter;
    int r, g, b;
  };
  const Case cases[] = {
      {"convert-8-gray", (30 * 40 + 59 * 200 + 11 * 60) / 100, (30 * 40 + 59 * 200 + 11 * 60) / 100,
       (30 * 40 + 59 * 200 + 11 * 60) / 100},
      {"hue-saturation saturation=300", 0, 255, 0},
      {"hue-saturation saturation=0", 120, 120, 120},  // lightness (200 + 40) / 2
  };
  // One run: each filter on the filled picture, then undone for the next.
  std::string script = "new 4 3\nselect-objects all\nfilter fill-color color=0x3CC828\n";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    script += "filter " + std::string(cases[i].filter) + "\nrender " + File("out" + std::to_string(i) + ".png") +
              "\nundo\n";
  const RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.filter);
    DibPtr out = LoadPng("out" + std::to_string(i) + ".png");
    ASSERT_NE(out, nullptr);
    const BYTE* p = DibRow(out.get(), 1) + 4 * 2;
    EXPECT_EQ(p[2], c.r);
    EXPECT_EQ(p[1], c.g);
    EXPECT_EQ(p[0], c.b);
  }
}

TEST_F(FilterCommands, BadNamesParametersAndNoSelection) {
  EXPECT_EQ(Script(std::string(kScene) + "filter sparkle\n").code, 2);
  EXPECT_EQ(Script(std::string(kScene) + "filter brightness percent=x\n").code, 2);
  EXPECT_EQ(Script(std::string(kScene) + "filter brightness level=3\n").code, 2);
  EXPECT_EQ(Script(std::string(kScene) + "filter emboss depth=11\n").code, 2);
  EXPECT_EQ(Script(std::string(kScene) + "filter knockout mask=9\n").code, 2);
  EXPECT_EQ(Script(std::string(kScene) + "filter convolute kernel=1,2\n").code, 2);
  const RunResult none = Script("new 24 16\nfilter gray\n");
  EXPECT_EQ(none.code, 1);
  EXPECT_NE(none.err.find("no selected object"), std::string::npos);
}

}  // namespace
