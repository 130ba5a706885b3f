// The command line for everyday work, through the built tool: standard
// input and output, types told by content, -o, several inputs, --batch, the
// one-line edits (each equal to the same edit made in a script), colours,
// name suggestions and --version.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <nlohmann/json.hpp>

#include "app/frame_render.h"

namespace fs = std::filesystem;

namespace {

struct Colour {
  BYTE r, g, b;
};
constexpr Colour kFrameColours[] = {{250, 10, 10}, {10, 240, 20}, {20, 30, 230}, {200, 200, 40}};

class WorkflowTest : public CliFixture {
 protected:
  // Four one-colour pictures f0.png..f3.png (40 x 30) and, built from
  // them by the tool, the project base.lwp.
  void SetUp() override {
    CliFixture::SetUp();
    for (int i = 0; i < 4; ++i) {
      const Colour c = kFrameColours[i];
      DibPtr pic(CDIB32::CreateSimple32BitsDIB(40, 30, RGB(c.r, c.g, c.b), 255));
      std::string name = "f";
      name += char('0' + i);
      name += ".png";
      ASSERT_TRUE(WritePngPicture(pic.get(), File(name)));
      written_.insert(File(name));
    }
    const RunResult r = Run("convert f0.png f1.png f2.png f3.png -o base.lwp");
    ASSERT_EQ(r.code, 0) << r.err;
  }

  nlohmann::json Info(const std::string& file) const {
    const RunResult r = Run("info --json '" + file + "'");
    EXPECT_EQ(r.code, 0) << file << ": " << r.err;
    return r.code == 0 ? nlohmann::json::parse(r.out) : nlohmann::json();
  }

  // Pixel (x, y) of frame n of file, composed by the tool.
  std::array<int, 4> Pixel(const std::string& file, int n, int x = 1, int y = 1) const {
    const RunResult r = Run("render --frame " + std::to_string(n) + " '" + file + "' -o px.png");
    EXPECT_EQ(r.code, 0) << r.err;
    DibPtr pic = LoadPng("px.png");
    if (!pic || x >= pic->biWidth || y >= DibHeight(pic.get())) return {-1, -1, -1, -1};
    const BYTE* p = DibRow(pic.get(), y) + 4 * x;
    return {p[2], p[1], p[0], p[3]};
  }
};

// The colour of each input frame comes out at its place.
void ExpectFrameColours(const std::array<int, 4>& got, int input) {
  const Colour c = kFrameColours[input];
  EXPECT_EQ(got[0], c.r) << "input " << input;
  EXPECT_EQ(got[1], c.g) << "input " << input;
  EXPECT_EQ(got[2], c.b) << "input " << input;
}

TEST_F(WorkflowTest, SeveralInputsAppendTheirFramesInOrderAsAddFilesDoes) {
  const nlohmann::json j = Info(File("base.lwp"));
  ASSERT_EQ(j["frames"].size(), 4u);
  for (int i = 0; i < 4; ++i) ExpectFrameColours(Pixel("base.lwp", i), i);
  // The same through the script's add-files after the last frame.
  const RunResult s = Script("open f0.png\ncurrent-frame 0\nadd-files f1.png f2.png f3.png\nsave script.lwp\n");
  ASSERT_EQ(s.code, 0) << s.err;
  EXPECT_EQ(Info(File("script.lwp")), j);
  // A missing input fails the run and writes nothing.
  EXPECT_EQ(Run("convert f0.png missing.png -o none.lwp").code, 1);
  EXPECT_FALSE(fs::exists(File("none.lwp")));
}

TEST_F(WorkflowTest, TypesAreToldByContentNotByName) {
  ASSERT_EQ(Run("convert base.lwp -o anim.gif").code, 0);
  ASSERT_EQ(Run("convert f1.png --frames pic.jpg").code, 0);
  std::string jpeg;
  for (const auto& e : fs::directory_iterator(dir_))
    if (e.path().extension() == ".jpg") jpeg = e.path().filename().string();
  ASSERT_FALSE(jpeg.empty());
  const struct {
    std::string source;
  } cases[] = {{"anim.gif"}, {"f2.png"}, {jpeg}, {"base.lwp"}};
  for (const auto& c : cases) {
    const nlohmann::json want = Info(File(c.source));
    ASSERT_FALSE(want.is_null()) << c.source;
    const std::string bytes = Slurp(File(c.source));
    for (const std::string copy : {"noext", "misnamed.png", "misnamed.gif"}) {
      if (fs::path(copy).extension() == fs::path(c.source).extension()) continue;
      Write(copy, bytes);
      EXPECT_EQ(Info(File(copy)), want) << c.source << " as " << copy;
    }
    // Standard input, without any name.
    const RunResult r = Run("info --json -", bytes);
    ASSERT_EQ(r.code, 0) << c.source << ": " << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out), want) << c.source << " on standard input";
  }
  // Bytes of no known type on standard input: a clear failure.
  const RunResult bad = Run("info -", std::string(100, 'x'));
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("standard input"), std::string::npos) << bad.err;
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
  EXPECT_EQ(DibRow(pic.get(), 0)[0], kFrameColours[2].b);
}

TEST_F(WorkflowTest, DashOTakesThePlaceOfEveryPositionalOutput) {
  const struct {
    std::string args, output;
  } cases[] = {
      {"new -o made.lwp", "made.lwp"},
      {"render base.lwp -o frame.png", "frame.png"},
      {"effect clock-wipe f0.png -o wipe.png --progress 0.5", "wipe.png"},
      {"convert base.lwp -o conv.gif", "conv.gif"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.code, 0) << c.args << ": " << r.err;
    EXPECT_TRUE(fs::exists(File(c.output))) << c.args;
  }
  EXPECT_EQ(Run("render base.lwp").code, 2);
  EXPECT_EQ(Run("new").code, 2);
}

TEST_F(WorkflowTest, BatchConvertsEachInputContinuesPastAFailureAndSaysSo) {
  Write("broken.gif", "GIF89a\x05\x00garbage");
  RunResult r = Run("convert --batch f0.png broken.gif f2.png --delay 15 -o out/");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("broken.gif"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 of 3"), std::string::npos) << r.err;
  for (const std::string name : {"out/f0.gif", "out/f2.gif"}) {
    const nlohmann::json j = Info(File(name));
    ASSERT_EQ(j["frames"].size(), 1u) << name;
    EXPECT_EQ(j["frames"][0]["delay"], 15) << name;
  }
  EXPECT_FALSE(fs::exists(File("out/broken.gif")));
  ExpectFrameColours(Pixel("out/f2.gif", 0), 2);
  // --suffix writes beside the inputs; every input good: exit 0.
  r = Run("convert --batch f1.png f3.png --suffix -small --resize 50% --format lwp");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Info(File("f1-small.lwp"))["canvas"]["width"], 20);
  EXPECT_EQ(Info(File("f3-small.lwp"))["canvas"]["height"], 15);
  EXPECT_EQ(Run("convert --batch f1.png f3.png").code, 2);  // no output rule
}

// Each one-line edit leaves the same project as the script commands that
// make it, and changes what it should.
TEST_F(WorkflowTest, EachOneLineEditEqualsTheSameEditInAScript) {
  const std::string base = Slurp(File("base.lwp"));
  const struct {
    std::string options, script;
  } cases[] = {
      {"--delay 7", "same-delay 7 all"},
      {"--delay 1-2:9", "select-frames 1,2\nsame-delay 9"},
      {"--delay 0:3,2-:11", "select-frames 0\nsame-delay 3\nselect-frames 2,3\nsame-delay 11"},
      {"--loop 3", "loop 3"},
      {"--resize 50%", "resize 20 15"},
      {"--resize 80x", "resize 80 60"},
      {"--resize 10x12", "resize 10 12"},
      {"--crop 2,3,10,8", "canvas-size 10 8 -2 -3"},
      {"--reverse", "reverse"},
      {"--pick 1-2", "select-frames 0,3\ndelete-frames"},
      {"--pick 2-", "select-frames 0,1\ndelete-frames"},
      {"--drop 0,3", "select-frames 0,3\ndelete-frames"},
      // The fixed order: pick, drop, reverse, crop, resize, delay, loop.
      {"--delay 0:5 --reverse --pick 0-2", "select-frames 3\ndelete-frames\nreverse\nselect-frames 0\nsame-delay 5"},
      {"--resize 200% --crop 0,0,20,10", "canvas-size 20 10\nresize 40 20"},
  };
  for (const auto& c : cases) {
    RunResult r = Run("convert base.lwp " + c.options + " -o conv.lwp");
    ASSERT_EQ(r.code, 0) << c.options << ": " << r.err;
    r = Script("open base.lwp\n" + c.script + "\nsave script.lwp\n");
    ASSERT_EQ(r.code, 0) << c.script << ": " << r.err;
    // Projects hold the whole model, so equal bytes mean equal animations.
    const std::string got = Slurp(File("conv.lwp"));
    EXPECT_TRUE(got != base) << c.options << " changed nothing";
    EXPECT_TRUE(got == Slurp(File("script.lwp"))) << c.options << ": " << Info(File("conv.lwp")).dump() << "\n"
                                                  << Info(File("script.lwp")).dump();
  }
  // The script's export takes the same options as convert.
  ASSERT_EQ(Run("convert base.lwp --reverse --delay 4 --colors 16 -o conv.gif").code, 0);
  ASSERT_EQ(Script("open base.lwp\nexport script.gif --reverse --delay 4 --colors 16\n").code, 0);
  EXPECT_TRUE(Slurp(File("conv.gif")) == Slurp(File("script.gif")));
  ExpectFrameColours(Pixel("conv.gif", 0), 3);
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

TEST_F(WorkflowTest, ColourFormsAreTheSameColour) {
  std::string first;
  for (const std::string form : {"0x0000FF", "'#ff0000'", "'#F00'", "'rgb(255, 0, 0)'", "red"}) {
    const RunResult r = Run("new --width 4 --height 4 --color " + form + " -o c.lwp");
    ASSERT_EQ(r.code, 0) << form << ": " << r.err;
    const RunResult p = Run("render c.lwp -o -");
    ASSERT_EQ(p.code, 0) << p.err;
    if (first.empty()) first = p.out;
    EXPECT_TRUE(p.out == first) << form;
  }
  Write("red.png", first);
  DibPtr pic = LoadPng("red.png");
  ASSERT_TRUE(pic);
  const BYTE* px = DibRow(pic.get(), 0);
  EXPECT_EQ(px[2], 255);
  EXPECT_EQ(px[1], 0);
  EXPECT_EQ(px[0], 0);
  for (const std::string bad : {"'#ff00'", "'#gg0000'", "'rgb(256,0,0)'", "reddish", "0x1000000"})
    EXPECT_EQ(Run("new --color " + bad + " -o bad.lwp").code, 2) << bad;
  // Script commands that take colours take every form too.
  const std::string scripts[] = {
      "new 8 8\nnew-object 8 8 color=%\nrender s.png 0\n",
      "new 8 8\nadd-shape rectangle x=0 y=0 w=8 h=8 fill=% outline=%\nrender s.png 0\n",
  };
  for (const std::string& script : scripts) {
    std::string want;
    for (const std::string form : {"0x0000FF", "#ff0000", "red"}) {
      std::string text = script;
      for (std::size_t at; (at = text.find('%')) != std::string::npos;) text.replace(at, 1, form);
      const RunResult r = Script(text);
      ASSERT_EQ(r.code, 0) << text << r.err;
      const std::string got = Slurp(File("s.png"));
      if (want.empty()) want = got;
      EXPECT_TRUE(got == want) << text;
    }
    DibPtr s = LoadPng("s.png");
    ASSERT_TRUE(s);
    EXPECT_EQ(DibRow(s.get(), 4)[4 * 4 + 2], 255) << script;
    EXPECT_EQ(DibRow(s.get(), 4)[4 * 4 + 0], 0) << script;
  }
  // The human summary and the JSON show colours as #RRGGBB.
  const RunResult info = Run("info c.lwp");
  EXPECT_NE(info.out.find("#FFFFFF"), std::string::npos) << info.out;
  EXPECT_EQ(Info(File("c.lwp"))["backgroundHex"], "#FFFFFF");
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
      {"run -", "open base.lwp\ntransition clock-wip\n", "'clock-wipe'"},
      {"run -", "open base.lwp\nselect-objects all\nfilter emboos\n", "'emboss'"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args, c.script);
    EXPECT_EQ(r.code, 2) << c.args << c.script;
    EXPECT_NE(r.err.find("did you mean " + c.suggestion), std::string::npos) << c.args << c.script << ": " << r.err;
  }
}

TEST_F(WorkflowTest, EffectNamesAreSharedAndOldNamesStayAliases) {
  const struct {
    std::string a, b;
  } pairs[] = {{"line-wipe", "lines-wipe"}, {"blinds", "jalousie"}, {"quarter-slider", "quaters-slider"}};
  for (const auto& p : pairs) {
    ASSERT_EQ(Run("effect " + p.a + " f0.png a.png --progress 0.4").code, 0) << p.a;
    ASSERT_EQ(Run("effect " + p.b + " f0.png b.png --progress 0.4").code, 0) << p.b;
    EXPECT_TRUE(Slurp(File("a.png")) == Slurp(File("b.png"))) << p.a;
    // The transition command takes both names too, with the same frames.
    ASSERT_EQ(Script("open f0.png\ntransition " + p.a + " frames=2\nsave a.lwp\n").code, 0) << p.a;
    ASSERT_EQ(Script("open f0.png\ntransition " + p.b + " frames=2\nsave b.lwp\n").code, 0) << p.b;
    EXPECT_EQ(Info(File("a.lwp")), Info(File("b.lwp"))) << p.a;
  }
}

TEST_F(WorkflowTest, VersionManPageAndCompletionsComeFromTheCommands) {
  RunResult r = Run("--version");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind("loopwright ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find_first_of("0123456789"), std::string::npos);
  const RunResult man = Run("man");
  const RunResult bash = Run("completion bash");
  const RunResult zsh = Run("completion zsh");
  ASSERT_EQ(man.code + bash.code + zsh.code, 0);
  EXPECT_EQ(man.out.rfind(".TH LOOPWRIGHT 1", 0), 0u);
  for (const std::string word : {"convert", "prefs", "info", "render", "run", "banner"}) {
    EXPECT_NE(man.out.find(".SS " + word), std::string::npos) << word;
    EXPECT_NE(bash.out.find(" " + word + ")"), std::string::npos) << word;
    EXPECT_NE(zsh.out.find("'" + word + ":"), std::string::npos) << word;
  }
  EXPECT_NE(bash.out.find("--reverse"), std::string::npos);
  // Every command's help has examples.
  for (const std::string command : {"convert", "info", "render", "run", "prefs", "new"}) {
    r = Run(command + " --help");
    EXPECT_EQ(r.code, 0) << command;
    EXPECT_NE(r.out.find("Examples:\n  loopwright " + command), std::string::npos) << command << r.out;
  }
}

}  // namespace

namespace {

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
