// The add-text, add-shape and add-picture script commands end to end: where
// the new objects draw, how they are referenced, that they survive a project
// round trip, and that bad arguments are usage errors.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <cstring>
#include <nlohmann/json.hpp>

#include "app/frame_render.h"

namespace fs = std::filesystem;

namespace {

// Pixel box of everything that differs from the bottom-right corner pixel
// (the background in every scene here).
struct InkBox {
  int count = 0, x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1;
};

class ObjectCommands : public CliFixture {
 protected:

  static InkBox Ink(const BITMAPINFOHEADER* dib) {
    InkBox b;
    const BYTE* bg = DibRow(dib, DibHeight(dib) - 1) + 4 * (dib->biWidth - 1);
    for (int y = 0; y < DibHeight(dib); ++y)
      for (int x = 0; x < dib->biWidth; ++x) {
        const BYTE* p = DibRow(dib, y) + 4 * x;
        if (std::memcmp(p, bg, 4) == 0) continue;
        ++b.count;
        b.x1 = std::min(b.x1, x), b.y1 = std::min(b.y1, y);
        b.x2 = std::max(b.x2, x), b.y2 = std::max(b.y2, y);
      }
    return b;
  }

};

}  // namespace

TEST_F(ObjectCommands, TextDrawsInsideItsBoxOnly) {
  RunResult r = Script("new 200 120\nadd-text \"Hello\" size=32 x=10 y=10\nrender \"" + File("t.png") + "\"\ninfo\n");
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
  // The default colour is black; the darkest ink is.
  int darkest = 255;
  for (int y = ink.y1; y <= ink.y2; ++y)
    for (int x = ink.x1; x <= ink.x2; ++x) darkest = std::min<int>(darkest, DibRow(picture.get(), y)[4 * x + 1]);
  EXPECT_LT(darkest, 10);

  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["objects"].size(), 2u);
  EXPECT_EQ(j["objects"][1]["kind"], 5);
  EXPECT_EQ(j["objects"][1]["name"], "Obj - 1");
  EXPECT_EQ(j["objects"][1]["shadow"]["kind"], 0);
  EXPECT_EQ(j["frames"][0]["refs"][1]["visible"], true);
}

TEST_F(ObjectCommands, StarIsFilledAndStaysInItsBoxWithOutlineAndShadow) {
  RunResult r = Script("new 240 140\nadd-shape star x=100 y=20 w=60 h=60 fill=0x00C0FF outline-width=0\nrender \"" +
                       File("s.png") + "\"\nadd-shape ellipse x=10 y=80 w=40 h=30 fill=0xFF0000 shadow=4\nrender \"" +
                       File("e.png") + "\"\n");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr star = LoadPng("s.png");
  ASSERT_TRUE(star);
  const InkBox ink = Ink(star.get());
  EXPECT_GT(ink.count, 600);
  EXPECT_GE(ink.x1, 100);
  EXPECT_GE(ink.y1, 20);
  EXPECT_LE(ink.x2, 160);
  EXPECT_LE(ink.y2, 80);
  // The centre carries the fill colour 0x00C0FF (R FF, G C0, B 00).
  const BYTE* c = DibRow(star.get(), 50) + 4 * 130;
  EXPECT_EQ(c[2], 0xFF);
  EXPECT_EQ(c[1], 0xC0);
  EXPECT_EQ(c[0], 0x00);
  // A star is not its box: the box corners stay background.
  EXPECT_EQ(DibRow(star.get(), 22)[4 * 102], 255);

  // The ellipse's shadow falls below and to the right of it.
  DibPtr ellipse = LoadPng("e.png");
  ASSERT_TRUE(ellipse);
  const InkBox both = Ink(ellipse.get());
  EXPECT_GT(both.x2, 52);
  EXPECT_GT(both.y2, 112);
  EXPECT_LT(both.x2, 240);
  const BYTE* e = DibRow(ellipse.get(), 95) + 4 * 30;
  EXPECT_EQ(e[0], 0xFF);  // blue
  EXPECT_EQ(e[2], 0x00);
}

TEST_F(ObjectCommands, NewObjectIsVisibleOnlyInTheCurrentFrame) {
  RunResult r = Script("new 100 80\nadd-frame\ncurrent-frame 1\nadd-shape rectangle x=5 y=6 w=10 h=10\nrender \"" +
                       File("f0.png") + "\" 0\nrender \"" + File("f1.png") + "\" 1\ninfo\n");
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
  ASSERT_EQ(j["frames"].size(), 2u);
  ASSERT_EQ(j["objects"].size(), 2u);
  EXPECT_EQ(j["objects"][1]["kind"], 6);
  for (int f = 0; f < 2; ++f) {
    const auto& refs = j["frames"][f]["refs"];
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[1]["visible"], f == 1) << f;
    EXPECT_EQ(refs[1]["x"], j["frames"][0]["refs"][1]["x"]);
    EXPECT_EQ(refs[1]["y"], j["frames"][0]["refs"][1]["y"]);
  }
}

TEST_F(ObjectCommands, PictureIsScaledAndTurnedAndSurvivesAProjectRoundTrip) {
  DibPtr source(CDIB32::CreateSimple32BitsDIB(6, 4, RGB(200, 100, 50), 255));
  ASSERT_TRUE(WritePngPicture(source.get(), File("in.png")));
  RunResult r = Script("new 100 80\nadd-picture \"" + File("in.png") +
                       "\" x=20 y=30 scale=2 angle=90\nadd-text Hi size=20 x=60 y=5 outline=0x0000FF\n"
                       "add-shape heart x=60 y=40 w=30 h=30 angle=30\nrender \"" + File("a.png") + "\"\nsave \"" +
                       File("p.lwp") + "\"\nopen \"" + File("p.lwp") + "\"\nrender \"" + File("b.png") +
                       "\"\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["objects"].size(), 4u);
  EXPECT_EQ(j["objects"][1]["kind"], 4);
  EXPECT_EQ(j["objects"][1]["width"], 8);
  EXPECT_EQ(j["objects"][1]["height"], 12);
  EXPECT_EQ(j["objects"][2]["kind"], 5);
  EXPECT_EQ(j["objects"][3]["kind"], 6);
  DibPtr a = LoadPng("a.png"), b = LoadPng("b.png");
  ASSERT_TRUE(a && b);
  // The turned picture covers (20, 30)-(28, 42) in its colour.
  const BYTE* p = DibRow(a.get(), 36) + 4 * 24;
  EXPECT_EQ(p[2], 200);
  EXPECT_EQ(p[1], 100);
  EXPECT_EQ(p[0], 50);
  EXPECT_EQ(DibRow(a.get(), 36)[4 * 30 + 1], 255);  // right of it: background
  // The reopened project renders the same pixels.
  ASSERT_EQ(DibImageBytes(a.get()), DibImageBytes(b.get()));
  EXPECT_EQ(std::memcmp(DibBits(a.get()), DibBits(b.get()), DibImageBytes(a.get())), 0);
}

TEST_F(ObjectCommands, BadArgumentsAreUsageErrors) {
  for (const char* line :
       // Missing text, a number out of range or not a number, a word without
       // '=', an unknown shape (misspelt option names: cli_tests).
       {"add-text", "add-text Hi size=0", "add-text Hi color=0x1000000", "add-text Hi x", "add-shape blob",
        "add-shape star angle=400", "add-shape star fill=-1", "add-picture in.png scale=0"}) {
    RunResult r = Script(std::string("new 50 50\n") + line + "\n");
    EXPECT_EQ(r.code, 2) << line << ": " << r.err;
    EXPECT_NE(r.err.find("line 2"), std::string::npos) << line;
  }
  // Well-formed but impossible: failures reported to the user.
  EXPECT_EQ(Script("new 50 50\nadd-picture \"" + File("missing.png") + "\"\n").code, 1);
  EXPECT_EQ(Script("new 50 50\nadd-text \"   \"\n").code, 1);
}
