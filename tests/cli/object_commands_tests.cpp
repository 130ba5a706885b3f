// The drawing script commands end to end: add-text, add-shape and
// add-picture (where the new objects draw, in which frames, through a project
// round trip), the selection commands and mouse gestures through the current
// tool at any scroll and zoom, `set`, a filter, the actions each command
// records, and the usage errors and refusals with their exit codes.
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

TEST_F(ObjectCommands, TextDrawsInsideItsBoxOnly) {
  const RunResult r = Script("new 200 120\nadd-text \"Hello\" size=32 x=10 y=10\nrender t.png\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr picture = LoadPng("t.png");
  ASSERT_TRUE(picture);
  const InkBox ink = Ink(picture.get());
  // "Hello" at 32 pixels: some 80 x 25 pixels of ink starting near (10, 10).
  EXPECT_GT(ink.count, 300);
  EXPECT_GE(ink.x1, 10);
  EXPECT_LE(ink.x1, 16);
  EXPECT_GE(ink.y1, 10);
  EXPECT_LE(ink.y1, 20);
  EXPECT_GE(ink.x2, 70);
  EXPECT_LE(ink.x2, 100);
  EXPECT_LE(ink.y2, 50);
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["objects"].size(), 2u);
  EXPECT_EQ(j["objects"][1]["kind"], 5);
  EXPECT_EQ(j["frames"][0]["refs"][1]["visible"], true);
}

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

// Each command records the action whose Undo and Redo texts undo-text shows.
TEST_F(ObjectCommands, EachCommandShowsItsUndoAndRedoTexts) {
  const struct {
    const char* command;
    const char* text;
    bool fresh;  // on a new animation with one white object
  } cases[] = {
      {"select-rect 2 2 10 8", "Rectangular Selection", false},
      {"select-ellipse 0 0 20 10 subtract", "Elliptic Selection", false},
      {"select-lasso 1,1 30,2 10,25", "Lasso Selection", false},
      {"select-all", "Select All", false},
      {"select-rect 0 0 20 20", "Rectangular Selection", false},
      {"filter gray", "Gray", false},
      {"copy", "Gray", false},  // copy records nothing
      {"cut", "Cut", false},
      {"paste", "Paste", false},
      {"crop-selection", "Crop Selection", false},
      {"new-object 10 10\nselect-objects 0\ndelete", "Delete", false},  // whole selected objects
      {"tool brush\nmouse down 10 10\nmouse move 20 12\nmouse up 20 12", "paint line", true},
      {"tool fill\nmouse down 12 12\nmouse up 12 12", "flood", true},
      {"tool shape star\nmouse down 30 5\nmouse move 40 15\nmouse up 45 20", "Paint Shape", true},
      {"tool text\nmouse down 5 30\nmouse up 5 30\ntext-input \"Hi\"", "Add Text", true},
      {"select-objects 0\nkey right", "Move Objects", true},
  };
  std::string script = "new 20 20\nrender pic.png\nnew 40 30\nnew-object 30 20 color=0x0000FF\nselect-objects 0,1\n";
  for (const auto& c : cases) {
    if (c.fresh) script += "new 64 48\nnew-object 30 20 color=0xFFFFFF\n";
    script += std::string(c.command) + "\nundo-text\nundo\nundo-text\nredo\n";
  }
  const RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = OutputLines(r.out);
  ASSERT_EQ(lines.size(), 4 * std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(lines[4 * i], "Undo " + std::string(cases[i].text)) << cases[i].command;
    EXPECT_EQ(lines[4 * i + 3].rfind("Redo " + std::string(cases[i].text), 0), 0u) << cases[i].command;
  }
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

TEST_F(ObjectCommands, MouseGesturesAtScrollAndZoomAndRenderView) {
  // At zoom 4 and scroll (40, 20), client (0, 0)..(40, 20) covers image
  // (10, 5)..(20, 10); the selection lies under the pointer.
  const RunResult r = Script(
      "new 40 30\nzoom 4\nscroll 40 20\ntool rect-select\nmouse down 0 0\nmouse move 20 10\nmouse move 40 20\n"
      "mouse up 40 20\nundo-text\nselect-objects 0\nfilter negative\nrender-view view.png\n"
      "tool lasso\nmouse down 100 100\nmouse up 100 100\nmouse down 120 100\nmouse up 120 100\n"
      "mouse dblclick 120 100\nmouse up 120 100\nundo-text\nrender frame.png\n");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = OutputLines(r.out);
  // undo-text shows the undo and the redo state.
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Undo Rectangular Selection");
  EXPECT_EQ(lines[2], "Undo Negative");  // a two-point lasso records nothing
  const std::string view = Slurp(File("view.png"));
  ASSERT_GT(view.size(), 24u);
  // The view is the whole magnified canvas: 160 x 120.
  EXPECT_EQ(std::uint8_t(view[18]) << 8 | std::uint8_t(view[19]), 160);
  EXPECT_EQ(std::uint8_t(view[22]) << 8 | std::uint8_t(view[23]), 120);
  // The negative changed only the 10 x 5 block: pixel (10, 5) black, (9, 5) white.
  DibPtr frame = LoadPng("frame.png");
  ASSERT_TRUE(frame);
  EXPECT_EQ(DibRow(frame.get(), 5)[4 * 10], 0);
  EXPECT_EQ(DibRow(frame.get(), 5)[4 * 9], 255);
  EXPECT_EQ(DibRow(frame.get(), 10)[4 * 10], 255);
  EXPECT_EQ(DibRow(frame.get(), 4)[4 * 19], 255);
  EXPECT_EQ(DibRow(frame.get(), 9)[4 * 19], 0);
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
