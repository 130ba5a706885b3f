// The tool's project commands end to end: new, convert, info of a project,
// and the frame, save and history script commands.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

using ProjectCli = CliFixture;

}  // namespace

TEST_F(ProjectCli, NewConvertAndInfo) {
  RunResult r = Run("new a.lwp --width 33 --height 21 --color 0x00FF00");
  ASSERT_EQ(r.code, 0) << r.err;
  r = Run("info a.lwp --json");
  ASSERT_EQ(r.code, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["canvas"]["width"], 33);
  EXPECT_EQ(j["objects"].size(), 1u);

  ASSERT_EQ(Run("convert a.lwp b.lwp").code, 0);
  EXPECT_EQ(Slurp(File("a.lwp")), Slurp(File("b.lwp")));

  ASSERT_EQ(Run("new t.lwp --transparent").code, 0);
  j = nlohmann::json::parse(Run("info t.lwp --json").out);
  EXPECT_EQ(j["objects"].size(), 0u);
  EXPECT_EQ(j["frames"].size(), 1u);
}

TEST_F(ProjectCli, FrameCommandsUndoRedoAndSave) {
  const std::string setup = "new 16 8\nadd-frame\nadd-frame\nselect-frames 0,1,2\nsame-delay 5\ninfo\n";
  RunResult r = Run("run -", setup +
                                 "select-frames 1\nframe-props delay=40 interlaced=1\nreverse\nmove-frames first\n"
                                 "loop 3\ncanvas-size 20 9 2 1\nresize 40 18\ninfo\nundo-text --raw\n"
                                 "undo\nundo\nundo\nundo\nundo\nundo\ninfo\nundo-text --raw\n"
                                 "redo\nredo\nredo\nredo\nredo\nredo\ninfo\nsave out.lwp\n");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = OutputLines(r.out);
  ASSERT_EQ(lines.size(), 8u) << r.out;
  const auto before = nlohmann::json::parse(lines[0]);
  const auto after = nlohmann::json::parse(lines[1]);
  EXPECT_EQ(lines[2], "撤消调整动画");
  EXPECT_EQ(lines[3], "无法重做\\n无法重做(&R)");
  EXPECT_EQ(nlohmann::json::parse(lines[4]), before);
  EXPECT_EQ(lines[5], "&Undo Make Same Delay");
  EXPECT_EQ(lines[6], "重做 修改帧属性");
  const auto redone = nlohmann::json::parse(lines[7]);
  EXPECT_EQ(redone, after);
  EXPECT_EQ(after["canvas"]["width"], 40);
  EXPECT_EQ(after["loopCount"], 3);
  EXPECT_EQ(after["frames"][0]["delay"], 40);
  EXPECT_EQ(after["frames"][0]["descriptor"], 0xC0);

  r = Run("info out.lwp --json");
  ASSERT_EQ(r.code, 0) << r.err;
  auto saved = nlohmann::json::parse(r.out);
  EXPECT_EQ(saved["frames"], after["frames"]);
  EXPECT_EQ(saved["objects"], after["objects"]);
}

TEST_F(ProjectCli, ScriptErrors) {
  EXPECT_EQ(Run("run -", "new 4 4\nundo\n").code, 1);
  EXPECT_EQ(Run("run -", "new 4 4\nmove-frames sideways\n").code, 2);
  EXPECT_EQ(Run("run -", "new 4 4\nloop 0\n").code, 2);
  EXPECT_EQ(Run("run -", "new 4 4\nsave /nonexistent/dir/x.lwp\n").code, 1);
}

// save writes only projects, and no command runs on an animation that is not
// there: neither may leave a file that cannot be opened or is misnamed.
TEST_F(ProjectCli, SaveNeedsAProjectNameAndCommandsNeedAnAnimation) {
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

// An explicit canvas size is honoured up to the model's limit; the
// preference range (1-2000, else the default) only applies to stored values.
TEST_F(ProjectCli, NewHonoursAnExplicitSizeUpToTheLimit) {
  ASSERT_EQ(Run("new wide.lwp --width 3000").code, 0);
  auto j = nlohmann::json::parse(Run("info wide.lwp --json").out);
  EXPECT_EQ(j["canvas"]["width"], 3000);
  EXPECT_EQ(j["canvas"]["height"], 120);  // the preference's default
  ASSERT_EQ(Run("new tall.lwp --height 2500").code, 0);
  j = nlohmann::json::parse(Run("info tall.lwp --json").out);
  EXPECT_EQ(j["canvas"]["width"], 120);
  EXPECT_EQ(j["canvas"]["height"], 2500);
  const RunResult r = Run("new huge.lwp --width 70000");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(std::to_string(kMaxDibDimension)), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(File("huge.lwp")));
}

// A failed open in a script is reported once, with its line number.
TEST_F(ProjectCli, FailedOpenIsReportedOnceWithItsLine) {
  const RunResult r = Script("new 4 4\nopen missing.gif\n");
  EXPECT_EQ(r.code, 1);
  const auto lines = OutputLines(r.err);
  ASSERT_EQ(lines.size(), 1u) << r.err;
  EXPECT_NE(lines[0].find("line 2: "), std::string::npos) << r.err;
  EXPECT_NE(lines[0].find("载入 missing.gif 文件失败!"), std::string::npos) << r.err;
}
