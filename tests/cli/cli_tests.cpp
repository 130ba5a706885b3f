// The loopwright tool end to end: exit codes of scripts and command lines,
// misspelt option names, new's size limit, save's project name and the
// failed-open message. Each test runs the built tool with its own config
// folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/avi_test_util.h"
#include "cli/cli_harness.h"

namespace fs = std::filesystem;

namespace {

using CliTest = CliFixture;

TEST_F(CliTest, ScriptsAndCommandLinesEndWithTheRightCode) {
  const struct {
    std::string args, script;
    int code;
  } cases[] = {
      {"run -", "# comment\nnew 10 8\nselect-frames 0\ncurrent-frame 0\nselect-objects all\nrender \"f 0.png\" 0\n", 0},
      {"run -", "new\ncurrent-frame 3\n", 1},
      {"run -", "new\nselect-frames 0,x\n", 2},
      {"run -", "new\nfrobnicate\n", 2},
      {"run -", "new 4 4\nundo\n", 1},
      {"run -", "new 4 4\nsave /nonexistent/dir/x.lwp\n", 1},
      {"run no-such-script", "", 1},
      {"", "", 2},
      {"--help", "", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(c.args, c.script).code, c.code) << c.args << "\n" << c.script;
  EXPECT_TRUE(fs::exists(File("f 0.png")));
}

// Every command that takes name=value options refuses a misspelt name as
// bad usage and lists the names it takes.
TEST_F(CliTest, MisspeltOptionNamesAreUsageErrorsListingTheNames) {
  WritePicture("in.png", 8, 6, RGB(9, 8, 7));
  const struct {
    std::string args, script, accepted;
  } cases[] = {
      {"effect clock-wipe in.png out.png --progress 0.5 colums=3", "", "columns"},
      {"effect zoom in.png out.png --progress 0.5 apear=0", "", "appear"},
      {"run -", "new 8 8\ntransition clock-wipe colums=3\n", "frames"},
      {"run -", "new 8 8\nadd-text Hi sise=3\n", "size"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args, c.script);
    EXPECT_EQ(r.code, 2) << c.args << " " << c.script << r.err;
    EXPECT_NE(r.err.find(c.accepted), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(File("out.png")));
  // The right names still work.
  EXPECT_EQ(Run("effect clock-wipe in.png out.png --progress 0.5 columns=3").code, 0);
}

// An explicit canvas size is honoured up to the model's limit; the
// preference range (1-2000, else the default) only applies to stored values.
TEST_F(CliTest, NewHonoursAnExplicitSizeUpToTheLimit) {
  ASSERT_EQ(Run("new wide.lwp --width 3000 --color 0x00FF00").code, 0);
  auto j = Info("wide.lwp");
  EXPECT_EQ(j["canvas"]["width"], 3000);
  EXPECT_EQ(j["canvas"]["height"], 120);  // the preference's default
  ASSERT_EQ(Run("new tall.lwp --height 2500").code, 0);
  j = Info("tall.lwp");
  EXPECT_EQ(j["canvas"]["width"], 120);
  EXPECT_EQ(j["canvas"]["height"], 2500);
  const RunResult r = Run("new huge.lwp --width 70000");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(std::to_string(kMaxDibDimension)), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(File("huge.lwp")));
  // A project converted to a project is the same bytes.
  ASSERT_EQ(Run("convert wide.lwp copy.lwp").code, 0);
  EXPECT_TRUE(Slurp(File("wide.lwp")) == Slurp(File("copy.lwp")));
}

// save writes only projects, and no command runs on an animation that is not
// there: neither may leave a file that cannot be opened or is misnamed.
TEST_F(CliTest, SaveNeedsAProjectNameAndCommandsNeedAnAnimation) {
  RunResult r = Script("new 4 4\nsave x.gif\n");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("export"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(File("x.gif")));
  for (const char* command : {"save a.lwp", "export a.gif", "add-frame", "filter gray"}) {
    r = Script(std::string(command) + "\n");
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_NE(r.err.find("line 1: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no animation is open"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(File("a.lwp")));
  EXPECT_FALSE(fs::exists(File("a.gif")));
  EXPECT_EQ(Script("new 4 4\nsave A.LWP\n").code, 0);
}

// A failed open in a script is reported once, with its line number.
TEST_F(CliTest, FailedOpenIsReportedOnceWithItsLine) {
  const RunResult r = Script("new 4 4\nopen missing.gif\n");
  EXPECT_EQ(r.code, 1);
  const auto lines = OutputLines(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_NE(lines[0].find("line 2: "), std::string::npos) << r.err;
  EXPECT_NE(lines[0].find("载入 missing.gif 文件失败!"), std::string::npos) << r.err;
}

// Builds a layered PSD: two layers, the second 2 x 2 at (1, 1).
const char* kMakePsd = R"PY(
import sys, struct
d = sys.argv[1]
def layer(top, left, bottom, right, value):
    w, h = right - left, bottom - top
    chans = [(c, struct.pack('>H', 0) + bytes([value]) * (w * h)) for c in range(3)]
    rec = struct.pack('>4iH', top, left, bottom, right, 3) + b''.join(struct.pack('>hI', c, len(b)) for c, b in chans)
    extra = struct.pack('>II', 0, 0) + b'\x03abc'
    rec += b'8BIMnorm' + bytes([255, 0, 0, 0]) + struct.pack('>I', len(extra)) + extra
    return rec, b''.join(b for _, b in chans)
ls = [layer(0, 0, 4, 6, 10), layer(1, 1, 3, 3, 200)]
info = struct.pack('>h', 2) + b''.join(r for r, _ in ls) + b''.join(c for _, c in ls)
section = struct.pack('>I', len(info)) + info + struct.pack('>I', 0)
good = b'8BPS' + struct.pack('>H', 1) + b'\0' * 6 + struct.pack('>HIIHH', 3, 4, 6, 8, 3)
good += struct.pack('>II', 0, 0) + struct.pack('>I', len(section)) + section + struct.pack('>H', 0) + b'\x20' * 72
open(d + '/layers.psd', 'wb').write(good)
)PY";

// --psd-layers answers the layers question for one run (it once was read
// before the command line was parsed, and the question came anyway).
TEST_F(CliTest, PsdLayersOptionAnswersForThisRunOnly) {
  Write("make.py", kMakePsd);
  ASSERT_EQ(std::system(("/usr/bin/python3 '" + File("make.py") + "' '" + dir_.string() + "'").c_str()), 0);
  const RunResult objects = Run("--psd-layers objects info --json layers.psd");
  ASSERT_EQ(objects.code, 0) << objects.err;
  const auto a = nlohmann::json::parse(objects.out);
  EXPECT_EQ(a["frames"].size(), 1u);
  ASSERT_EQ(a["objects"].size(), 2u);
  EXPECT_EQ(a["objects"][1]["width"], 2);
  EXPECT_EQ(a["frames"][0]["refs"][1]["x"], 1);
  EXPECT_EQ(objects.err.find("?"), std::string::npos) << "no question expected: " << objects.err;
  const RunResult frames = Run("--psd-layers frames info --json layers.psd");
  ASSERT_EQ(frames.code, 0) << frames.err;
  EXPECT_EQ(nlohmann::json::parse(frames.out)["objects"].size(), 1u);
  // The stored preferences are not touched.
  EXPECT_FALSE(fs::exists(File("config/loopwright/loopwright.ini")));
  EXPECT_EQ(Run("--psd-layers sideways info layers.psd").code, 2);
}

}  // namespace
