// The command line for everyday work, through the built tool: standard
// input and output, several inputs, --batch, one-line edits that do not fit,
// name suggestions and the progress bar.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

namespace fs = std::filesystem;

namespace {

const Rgb kFrameColours[] = {{250, 10, 10}, {10, 240, 20}, {20, 30, 230}, {200, 200, 40}};

class WorkflowTest : public CliFixture {
 protected:
  // Four one-colour pictures f0.png..f3.png (40 x 30) and, built from
  // them by the tool, the project base.lwp.
  void SetUp() override {
    CliFixture::SetUp();
    for (int i = 0; i < 4; ++i) {
      const Rgb c = kFrameColours[i];
      WritePicture(std::string("f") + char('0' + i) + ".png", 40, 30, RGB(BYTE(c[0]), BYTE(c[1]), BYTE(c[2])));
    }
    const RunResult r = Run("convert f0.png f1.png f2.png f3.png -o base.lwp");
    ASSERT_EQ(r.code, 0) << r.err;
  }

  // Pixel (1, 1) of frame n of file, composed by the tool.
  Rgb Pixel(const std::string& file, int n) const {
    const RunResult r = Run("render --frame " + std::to_string(n) + " '" + file + "' -o px.png");
    EXPECT_EQ(r.code, 0) << r.err;
    DibPtr pic = LoadPng("px.png");
    return pic ? RgbAt(pic.get(), 1, 1) : Rgb{-1, -1, -1};
  }
};

TEST_F(WorkflowTest, SeveralInputsAppendTheirFramesInOrderAsAddFilesDoes) {
  const nlohmann::json j = Info("base.lwp");
  ASSERT_EQ(j["frames"].size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Pixel("base.lwp", i), kFrameColours[i]) << i;
  // The same through the script's add-files after the last frame.
  const RunResult s = Script("open f0.png\ncurrent-frame 0\nadd-files f1.png f2.png f3.png\nsave script.lwp\n");
  ASSERT_EQ(s.code, 0) << s.err;
  EXPECT_EQ(Info("script.lwp"), j);
  // A missing input fails the run and writes nothing.
  EXPECT_EQ(Run("convert f0.png missing.png -o none.lwp").code, 1);
  EXPECT_FALSE(fs::exists(File("none.lwp")));
}

TEST_F(WorkflowTest, PipesBothWaysGiveTheSameBytesAsFiles) {
  ASSERT_EQ(Run("convert base.lwp -o anim.gif").code, 0);
  const std::string gif = Slurp(File("anim.gif"));
  ASSERT_GT(gif.size(), 6u);
  ASSERT_EQ(Run("convert anim.gif --delay 9 -o edited.gif").code, 0);
  const std::string edited = Slurp(File("edited.gif"));
  ASSERT_NE(edited, gif);
  const struct {
    std::string args;
    bool feedStdin;
    std::string want;
  } cases[] = {
      {"convert anim.gif --delay 9 -o -", false, edited},          // format of the input
      {"convert - --delay 9 -o -", true, edited},                  // both ends piped
      {"convert - --delay 9 -o piped.gif", true, edited},          // standard input only
      {"convert base.lwp --format gif -o -", false, gif},          // --format for standard output
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args, c.feedStdin ? gif : std::string());
    ASSERT_EQ(r.code, 0) << c.args << ": " << r.err;
    const std::string got = fs::exists(File("piped.gif")) ? Slurp(File("piped.gif")) : r.out;
    EXPECT_TRUE(got == c.want) << c.args << ": " << got.size() << " bytes, want " << c.want.size();
    fs::remove(File("piped.gif"));
  }
  // An effect picture from standard input to standard output.
  RunResult r = Run("effect iris-wipe - -o - --progress 0.5", Slurp(File("f1.png")));
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Run("effect iris-wipe f1.png -o iris.png --progress 0.5").code, 0);
  EXPECT_TRUE(r.out == Slurp(File("iris.png")));
  // A PNG frame to standard output.
  r = Run("render --frame 2 base.lwp -o -");
  ASSERT_EQ(r.code, 0) << r.err;
  Write("piped.png", r.out);
  DibPtr pic = LoadPng("piped.png");
  ASSERT_TRUE(pic);
  EXPECT_EQ(RgbAt(pic.get(), 0, 0), kFrameColours[2]);
}

TEST_F(WorkflowTest, BatchConvertsEachInputContinuesPastAFailureAndSaysSo) {
  Write("broken.gif", "GIF89a\x05\x00garbage");
  RunResult r = Run("convert --batch f0.png broken.gif f2.png --delay 15 -o out/");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("broken.gif"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 of 3"), std::string::npos) << r.err;
  for (const std::string name : {"out/f0.gif", "out/f2.gif"}) {
    const nlohmann::json j = Info(name);
    ASSERT_EQ(j["frames"].size(), 1u) << name;
    EXPECT_EQ(j["frames"][0]["delay"], 15) << name;
  }
  EXPECT_FALSE(fs::exists(File("out/broken.gif")));
  EXPECT_EQ(Pixel("out/f2.gif", 0), kFrameColours[2]);
  // --suffix writes beside the inputs; every input good: exit 0.
  r = Run("convert --batch f1.png f3.png --suffix -small --resize 50% --format lwp");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Info("f1-small.lwp")["canvas"]["width"], 20);
  EXPECT_EQ(Info("f3-small.lwp")["canvas"]["height"], 15);
  // No output: -o takes the place of every positional output (used
  // throughout), so without either the run is bad usage.
  for (const std::string args : {"convert --batch f1.png f3.png", "render base.lwp", "new"})
    EXPECT_EQ(Run(args).code, 2) << args;
}

TEST_F(WorkflowTest, EditsThatDoNotFitAreRefusedAndWriteNothing) {
  const struct {
    std::string options;
    int code;
  } cases[] = {
      {"--delay x", 2},          {"--delay 1-:", 2},         {"--delay 40000", 2},   {"--loop -1", 2},
      {"--loop 70000", 2},       {"--resize 0x5", 2},        {"--resize 50", 2},     {"--crop 1,2,3", 2},
      {"--crop 0,0,0,5", 2},     {"--pick 3-1", 2},          {"--pick a", 2},        {"--pick 7", 2},
      {"--drop 0-", 2},          {"--crop 30,0,20,10", 2},   {"--delay 9:5", 2},     {"--colors 1", 2},
  };
  for (const auto& c : cases) {
    const RunResult r = Run("convert base.lwp " + c.options + " -o out.lwp");
    EXPECT_EQ(r.code, c.code) << c.options << ": " << r.err;
    EXPECT_FALSE(r.err.empty()) << c.options;
    EXPECT_FALSE(fs::exists(File("out.lwp"))) << c.options;
  }
}

TEST_F(WorkflowTest, UnknownNamesGetASuggestionAndExitCode2) {
  const struct {
    std::string args, script, suggestion;
  } cases[] = {
      {"convrt base.lwp x.gif", "", "'convert'"},
      {"convert base.lwp --revrse -o x.gif", "", "'--reverse'"},
      {"prefs get DefaultDelai", "", "'DefaultDelay'"},
      {"effect clock-wip f0.png x.png", "", "'clock-wipe'"},
      {"run -", "open base.lwp\nrevrse\n", "'reverse'"},
      {"run -", "open base.lwp\nselect-objects all\nfilter emboos\n", "'emboss'"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args, c.script);
    EXPECT_EQ(r.code, 2) << c.args << c.script;
    EXPECT_NE(r.err.find("did you mean " + c.suggestion), std::string::npos) << c.args << c.script << ": " << r.err;
  }
}

// The bar shows on a terminal only, and --quiet silences it.
TEST_F(WorkflowTest, ProgressBarOnATerminalOnlyAndQuietSilencesIt) {
  const struct {
    bool terminal;
    std::string options;
    bool wantBar;
  } cases[] = {{true, "", true}, {true, "--quiet ", false}, {false, "", false}};
  for (const auto& c : cases) {
    const std::string args = c.options + "convert base.lwp --resize 300% -o big.gif";
    const RunResult r = c.terminal ? RunOnTerminal(args) : Run(args);
    ASSERT_EQ(r.code, 0) << args << r.err << r.out;
    const std::string shown = c.terminal ? r.out : r.err;
    EXPECT_EQ(shown.find("100%") != std::string::npos && shown.find("[#") != std::string::npos, c.wantBar)
        << args << ": " << shown;
    if (!c.wantBar) {
      EXPECT_EQ(shown.find('\r'), std::string::npos) << args;
    }
  }
}

}  // namespace
