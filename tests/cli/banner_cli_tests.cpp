// The banner subcommand and script command end to end: the frames of the
// written animation, preferences as defaults, undo, and the exit codes of
// the refusals.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <nlohmann/json.hpp>

namespace {

class BannerCli : public CliFixture {
 protected:
  nlohmann::json Info(const std::string& file) const {
    const RunResult r = Run("info --json " + file);
    EXPECT_EQ(r.code, 0) << r.err;
    return r.code == 0 ? nlohmann::json::parse(r.out) : nlohmann::json{};
  }
};

TEST_F(BannerCli, WritesOnlyTheBannerFramesByExtension) {
  RunResult r = Run("banner out.lwp Hello --enter fade --leave 7 --enter-frames 3 --leave-frames 4 --delay 6 "
                    "--size 160x50 --color 0x0000FF");
  ASSERT_EQ(r.code, 0) << r.err;
  const nlohmann::json j = Info("out.lwp");
  EXPECT_EQ(j["canvas"]["width"], 160);
  EXPECT_EQ(j["canvas"]["height"], 50);
  ASSERT_EQ(j["frames"].size(), 7u);
  const int fades[3] = {2 * 255 / 3, 255 / 3, 0};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(j["frames"][i]["delay"], 6);
    EXPECT_EQ(j["frames"][i]["refs"][0]["visible"], true);  // the background
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(j["frames"][i]["refs"][1]["transparency"], fades[i]);
  // A GIF of the same banner holds one picture per frame.
  r = Run("banner out.gif Hello --enter slide-up --leave none --enter-frames 5");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Info("out.gif")["frames"].size(), 5u);
}

TEST_F(BannerCli, PreferencesGiveTheDefaultsAndTheScriptAddsUndoableFrames) {
  SetIni("EnterEffect=6\nExitEffect=4\nEnterFrames=4\nExitFrames=2\nExitScene=1\n");
  const RunResult r = Script("new 120 40\nbanner \"Hi there\" rect=0,10,120,20\ninfo\nundo-text\nundo\ninfo\n");
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<nlohmann::json> docs;
  for (const std::string& line : OutputLines(r.out))
    if (line[0] == '{') docs.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(docs.size(), 2u);
  ASSERT_EQ(docs[0]["frames"].size(), 7u);
  // Flash over four frames shows the text on frames 2 and 4 (file frames 2 and 4 after the first).
  for (int i = 1; i <= 4; ++i) {
    const auto& refs = docs[0]["frames"][i]["refs"];
    bool shown = false;
    for (std::size_t k = 1; k < refs.size(); ++k) shown = shown || refs[k]["visible"].get<bool>();
    EXPECT_EQ(shown, i % 2 == 0) << i;
  }
  EXPECT_NE(r.out.find("Undo Add banner text"), std::string::npos);
  EXPECT_EQ(docs[1]["frames"].size(), 1u);
  EXPECT_EQ(docs[1]["objects"].size(), 1u);
}

TEST_F(BannerCli, RefusalsExitWithTheirCodeAndMessage) {
  const struct {
    const char* args;
    int code;
    const char* message;
  } cases[] = {
      {"banner out.gif ''", 1, "请输入文本内容！"},
      {"banner out.gif Hi --enter none --leave none", 1, "请至少启用一个效果！"},
      {"banner out.gif '   '", 1, "生成横幅失败！"},
      {"banner out.gif Hi --enter sideways", 2, "unknown kind"},
      {"banner out.gif Hi --leave 14", 2, "unknown kind"},
      {"banner out.gif Hi --enter-frames 0", 2, "enter-frames"},
      {"banner out.gif Hi --rect 1,2,3", 2, "rect"},
      {"banner out.gif Hi --size 10x0", 2, "--size"},
      {"banner out.gif Hi --rect 500,500,10,10", 1, "生成横幅失败！"},
      {"banner out.txt Hi", 1, "保存到"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists(File("out.gif"))) << c.args;
  }
  const RunResult r = Script("new 50 50\nbanner Hi bogus=1\n");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("unknown option 'bogus'"), std::string::npos) << r.err;
}

}  // namespace
