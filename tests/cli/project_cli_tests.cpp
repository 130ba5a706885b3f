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
  EXPECT_EQ(j["objects"][0]["name"], "Obj - 0");
  EXPECT_EQ(j["frames"][0]["refs"][0]["visible"], true);

  ASSERT_EQ(Run("convert a.lwp b.lwp").code, 0);
  EXPECT_EQ(Slurp(File("a.lwp")), Slurp(File("b.lwp")));
  r = Run("convert a.lwp b.xyz");
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(fs::exists(File("b.xyz")));

  ASSERT_EQ(Run("new t.lwp --transparent").code, 0);
  j = nlohmann::json::parse(Run("info t.lwp --json").out);
  EXPECT_EQ(j["objects"].size(), 0u);
  EXPECT_EQ(j["frames"].size(), 1u);

  std::ofstream(File("bad.lwp"), std::ios::binary) << "LWP 1999 and more bytes";
  r = Run("info bad.lwp");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("载入 bad.lwp 文件失败!"), std::string::npos) << r.err;
}

TEST_F(ProjectCli, FrameCommandsUndoRedoAndSave) {
  const std::string setup = "new 16 8\nadd-frame\nadd-frame\nselect-frames 0,1,2\nsame-delay 5\ninfo\n";
  RunResult r = Run("run -", setup +
                                 "select-frames 1\nframe-props delay=40 interlaced=1\nreverse\nmove-frames first\n"
                                 "loop 3\ncanvas-size 20 9 2 1\nresize 40 18\ninfo\nundo-text\n"
                                 "undo\nundo\nundo\nundo\nundo\nundo\ninfo\nundo-text\n"
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
