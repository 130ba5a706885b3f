// The frame generators from the command line: the banner subcommand and
// script command, and the transition script command. The frames they leave
// in the model, preferences as defaults, undo, and the exit codes of the
// refusals.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

namespace {

using GeneratorCli = CliFixture;

TEST_F(GeneratorCli, BannerWritesOnlyItsFramesByExtension) {
  RunResult r = Run("banner out.lwp Hello --enter fade --leave 7 --enter-frames 3 --leave-frames 4 --delay 6 "
                    "--size 160x50 --color 0x0000FF");
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json j = Info("out.lwp");
  EXPECT_EQ(j["canvas"]["width"], 160);
  EXPECT_EQ(j["canvas"]["height"], 50);
  ASSERT_EQ(j["frames"].size(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(j["frames"][i]["delay"], 6);
  // A GIF of the same banner holds one picture per frame.
  r = Run("banner out.gif Hello --enter slide-up --leave none --enter-frames 5");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Info("out.gif")["frames"].size(), 5u);
}

TEST_F(GeneratorCli, BannerPreferencesGiveTheDefaultsAndTheScriptAddsUndoableFrames) {
  SetIni("EnterEffect=6\nExitEffect=4\nEnterFrames=4\nExitFrames=2\nExitScene=1\n");
  const RunResult r = Script("new 120 40\nbanner \"Hi there\" rect=0,10,120,20\ninfo\nundo-text\nundo\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  const auto docs = JsonLines(r.out);
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(docs[0]["frames"].size(), 7u);  // 1 + 4 entering + 2 leaving
  EXPECT_NE(r.out.find("Undo Add banner text"), std::string::npos);
  EXPECT_EQ(docs[1]["frames"].size(), 1u);
  EXPECT_EQ(docs[1]["objects"].size(), 1u);
}

TEST_F(GeneratorCli, BannerRefusalsExitWithTheirCodeAndMessage) {
  const struct {
    const char* args;
    const char* script;
    int code;
    const char* message;
  } cases[] = {
      {"banner out.gif ''", "", 1, "请输入文本内容！"},
      {"banner out.gif Hi --enter none --leave none", "", 1, "请至少启用一个效果！"},
      {"banner out.gif Hi --enter sideways", "", 2, "unknown kind"},
      {"banner out.gif Hi --enter-frames 0", "", 2, "enter-frames"},
      {"banner out.gif Hi --rect 500,500,10,10", "", 1, "生成横幅失败！"},
      {"banner out.txt Hi", "", 1, "保存到"},
      {"run -", "new 50 50\nbanner Hi bogus=1\n", 2, "unknown option 'bogus'"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args, c.script);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists(File("out.gif"))) << c.args;
  }
}

TEST_F(GeneratorCli, TransitionBadUsageAndNothingToGenerateFrom) {
  for (const char* line : {"transition", "transition 34", "transition fade frames=0", "transition zoom magnify=x"}) {
    const RunResult r = Script(std::string("new 20 20\n") + line + "\n");
    EXPECT_EQ(r.code, 2) << line << "\n" << r.err;
  }
  const RunResult empty = Script("new 20 20\nadd-frame\ncurrent-frame 1\ntransition fade\n");
  EXPECT_EQ(empty.code, 1);
  EXPECT_NE(empty.err.find("当前编辑帧没有对象包含，所以无法创建新的帧与效果。"), std::string::npos) << empty.err;
  EXPECT_EQ(Script("new 20 20\ntransition fade object=1\n").code, 1);
}

}  // namespace
