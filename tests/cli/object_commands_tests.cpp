// The drawing script commands end to end: where new objects draw and in
// which frames, add-picture through a project round trip, a colour filter,
// `set` over the preferences, and the usage errors and refusals with their
// exit codes.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <algorithm>
#include <cstring>

namespace {

// Pixel box of everything that differs from the bottom-right corner pixel
// (the background in every scene here).
struct InkBox {
  int count = 0, x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1;
};

InkBox Ink(const BITMAPINFOHEADER* dib) {
  InkBox b;
  const BYTE* bg = DibRow(dib, DibHeight(dib) - 1) + 4 * (dib->biWidth - 1);
  for (int y = 0; y < DibHeight(dib); ++y)
    for (int x = 0; x < dib->biWidth; ++x) {
      if (std::memcmp(DibRow(dib, y) + 4 * x, bg, 4) == 0) continue;
      ++b.count;
      b.x1 = std::min(b.x1, x), b.y1 = std::min(b.y1, y);
      b.x2 = std::max(b.x2, x), b.y2 = std::max(b.y2, y);
    }
  return b;
}

using ObjectCommands = CliFixture;

TEST_F(ObjectCommands, NewObjectIsVisibleOnlyInTheCurrentFrame) {
  const RunResult r = Script(
      "new 100 80\nadd-frame\ncurrent-frame 1\nadd-shape rectangle x=5 y=6 w=10 h=10\nrender f0.png 0\n"
      "render f1.png 1\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr f0 = LoadPng("f0.png"), f1 = LoadPng("f1.png");
  ASSERT_TRUE(f0 && f1);
  EXPECT_EQ(Ink(f0.get()).count, 0);
  // The box (5, 6)-(15, 16) with its 2-pixel outline centred on the edge.
  const InkBox ink = Ink(f1.get());
  EXPECT_EQ(ink.x1, 4);
  EXPECT_EQ(ink.y1, 5);
  EXPECT_EQ(ink.x2, 15);
  EXPECT_EQ(ink.y2, 16);
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["objects"].size(), 2u);
  EXPECT_EQ(j["objects"][1]["kind"], 6);
  for (int f = 0; f < 2; ++f) {
    const auto& refs = j["frames"][f]["refs"];
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[1]["visible"], f == 1) << f;
  }
}

TEST_F(ObjectCommands, PictureIsScaledAndTurnedAndSurvivesAProjectRoundTrip) {
  WritePicture("in.png", 6, 4, RGB(200, 100, 50));
  const RunResult r = Script(
      "new 100 80\nadd-picture in.png x=20 y=30 scale=2 angle=90\nadd-text Hi size=20 x=60 y=5 outline=0x0000FF\n"
      "add-shape heart x=60 y=40 w=30 h=30 angle=30\nrender a.png\nsave p.lwp\nopen p.lwp\nrender b.png\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["objects"].size(), 4u);
  EXPECT_EQ(j["objects"][1]["kind"], 4);
  EXPECT_EQ(j["objects"][1]["width"], 8);
  EXPECT_EQ(j["objects"][1]["height"], 12);
  DibPtr a = LoadPng("a.png"), b = LoadPng("b.png");
  ASSERT_TRUE(a && b);
  // The turned picture covers (20, 30)-(28, 42) in its colour.
  EXPECT_EQ(RgbAt(a.get(), 24, 36), (Rgb{200, 100, 50}));
  EXPECT_EQ(RgbAt(a.get(), 30, 36), (Rgb{255, 255, 255}));  // right of it: background
  // The reopened project renders the same pixels.
  ASSERT_EQ(DibImageBytes(a.get()), DibImageBytes(b.get()));
  EXPECT_EQ(std::memcmp(DibBits(a.get()), DibBits(b.get()), DibImageBytes(a.get())), 0);
}

// Filters on one colour, the rendered pixel against the value worked out by
// hand: the grey conversion shows its grey levels (not an all-black table),
// saturation 300 % drives (40, 200, 60) to pure green.
TEST_F(ObjectCommands, ColourFiltersGiveTheirPixels) {
  constexpr int kGrey = (30 * 40 + 59 * 200 + 11 * 60) / 100;
  const struct {
    const char* filter;
    Rgb want;
  } cases[] = {
      {"convert-8-gray", {kGrey, kGrey, kGrey}},
      {"hue-saturation saturation=300", {0, 255, 0}},
      {"hue-saturation saturation=0", {120, 120, 120}},  // lightness (200 + 40) / 2
  };
  // One run: each filter on the filled picture, then undone for the next.
  std::string script = "new 4 3\nselect-objects all\nfilter fill-color color=0x3CC828\n";
  for (std::size_t i = 0; i < std::size(cases); ++i)
    script += "filter " + std::string(cases[i].filter) + "\nrender out" + std::to_string(i) + ".png\nundo\n";
  const RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    DibPtr out = LoadPng("out" + std::to_string(i) + ".png");
    ASSERT_NE(out, nullptr) << cases[i].filter;
    EXPECT_EQ(RgbAt(out.get(), 2, 1), cases[i].want) << cases[i].filter;
  }
}

// Tool settings come from the preferences; `set` changes one for the run
// only (the preferences file keeps its value).
TEST_F(ObjectCommands, ToolSettingsComeFromThePreferencesAndSetLastsForTheRun) {
  // Square rubber band: (10, 10) to (40, 20) selects 10 x 10 from (10, 10).
  SetIni("EqualWidthAndHeight=1\n");
  const RunResult r = Script(
      "new 40 30\ntool rect-select\nmouse down 10 10\nmouse move 40 20\nmouse up 40 20\nselect-objects 0\n"
      "filter negative\nrender frame.png\n"
      "new 32 32\nnew-object 32 32 color=0xFFFFFF\nset PaintLineWidth 1\nset PaintLineColor 0x0000FF\n"
      "tool brush\nmouse down 10 10\nmouse up 10 10\nrender dot.png\n");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr frame = LoadPng("frame.png"), dot = LoadPng("dot.png");
  ASSERT_TRUE(frame && dot);
  EXPECT_EQ(DibRow(frame.get(), 19)[4 * 19], 0);
  EXPECT_EQ(DibRow(frame.get(), 15)[4 * 25], 255);
  EXPECT_EQ(DibRow(frame.get(), 9)[4 * 15], 255);
  // A 1-pixel red brush: the dot is red, its neighbour two pixels away white.
  const Rgb at = RgbAt(dot.get(), 10, 10);
  EXPECT_GT(at[0], at[2] + 100);
  EXPECT_EQ(RgbAt(dot.get(), 12, 10), (Rgb{255, 255, 255}));
  EXPECT_EQ(Slurp(File("config/loopwright/loopwright.ini")), "[Default]\nEqualWidthAndHeight=1\n");
}

TEST_F(ObjectCommands, BadInputEndsWithAMessageAndTheRightCode) {
  std::string many = "select-lasso";
  for (int i = 0; i < 1000000; ++i) many += " 1,1";
  const struct {
    std::string line;
    int code;
    const char* says;
  } cases[] = {
      // Missing text, a number out of range or not a number, a word without
      // '=', an unknown shape (misspelt option names: cli_tests).
      {"add-text", 2, "line 2"},
      {"add-text Hi x", 2, "line 2"},
      {"add-shape blob", 2, "line 2"},
      {"add-picture in.png scale=0", 2, "line 2"},
      // Well-formed but impossible: failures reported to the user.
      {"add-picture missing.png", 1, "missing.png"},
      {"add-text \"   \"", 1, "line 2"},
      {"select-rect 100 100 10 10", 1, "outside the canvas"},
      {"select-lasso 1,1 5,5", 1, "at least 3 points"},
      {many, 1, "at most"},
      {"select-rect 1 2 3", 2, "usage"},
      {"zoom 1000", 1, "-16 to 32"},
      {"scroll -5 0", 1, "negative"},
      {"tool hammer", 2, "unknown tool"},
      {"mouse press 1 1", 2, "down, move, up"},
      {"move-selection 1 1", 1, "nothing is selected"},
      {"select-all\nnew 20 20\nmove-selection 1 1", 1, "nothing is selected"},  // new drops it
      {"paste", 1, "clipboard is empty"},
      {"render-view /nonexistent-dir/v.png", 1, "render-view"},
      {"set PaintLineWidth 60", 2, "line 2"},
      {"key sideways", 2, "line 2"},
      {"text-input \"x\"", 1, "line 2"},  // no open text entry: refused, not a usage error
      {"filter gray", 1, "no selected object"},
      {"select-objects all\nfilter sparkle", 2, "line 3"},
      {"select-objects all\nfilter brightness level=3", 2, "line 3"},
      {"select-objects all\nfilter convolute kernel=1,2", 2, "line 3"},
  };
  WritePicture("in.png", 4, 4, RGB(1, 2, 3));
  for (const auto& c : cases) {
    const RunResult r = Script("new 40 30\n" + c.line + "\n");
    EXPECT_EQ(r.code, c.code) << c.line.substr(0, 60);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.line.substr(0, 60) << ": " << r.err;
  }
}

}  // namespace
