// Preferences and language from the command line: runs read preferences and
// never write them, `prefs` changes them on purpose with the range rules.
// The tool speaks English by default and the Chinese texts exactly under
// LANGUAGE=zh_CN (with LC_ALL=C.UTF-8, the only locales a bare Debian has).
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

class PrefsCliTest : public CliFixture {
 protected:
  std::string Ini() const { return IniExists() ? Slurp(File("config/loopwright/loopwright.ini")) : std::string(); }
  bool IniExists() const { return fs::exists(File("config/loopwright/loopwright.ini")); }
  // The delay and canvas width of a new animation made by a script.
  std::pair<int, int> NewDelayAndWidth(const std::string& globalOptions = {}) const {
    const RunResult r = Run(globalOptions + " run -", "new\ninfo\n");
    EXPECT_EQ(r.code, 0) << r.err;
    if (r.code != 0) return {-1, -1};
    const nlohmann::json j = nlohmann::json::parse(r.out);
    return {j["frames"][0]["delay"].get<int>(), j["canvas"]["width"].get<int>()};
  }
  std::string Get(const std::string& key, const std::string& globalOptions = {}) const {
    const RunResult r = Run(globalOptions + " prefs get " + key);
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }
};

TEST_F(PrefsCliTest, ARunNeverChangesTheNextRunsDefaults) {
  // Commands that change preferences in memory (same-delay sets the
  // default delay) leave no trace for the next run, with or without a file.
  for (const bool withFile : {false, true}) {
    if (withFile) SetIni("NewAnimationWidth=50\n");
    const std::string before = Ini();
    ASSERT_EQ(Script("new\nsame-delay 70 all\nadd-frame\nsave a.lwp\n").code, 0);
    ASSERT_EQ(Run("new --transparent --width 9 b.lwp").code, 0);
    EXPECT_EQ(IniExists(), withFile);
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(NewDelayAndWidth(), std::make_pair(20, withFile ? 50 : 120));
  }
}

TEST_F(PrefsCliTest, SetChecksTheRangeAndSaysIt) {
  const struct {
    std::string key, value;
    int code;
    std::string shown;  // what get prints after, or the message part on refusal
  } cases[] = {
      {"DefaultDelay", "300", 0, "300\n"},
      {"DefaultDelay", "301", 2, "1 to 300"},
      {"NewAnimationWidth", "2001", 2, "1 to 2000"},
      {"HorzOffset", "-1001", 2, "-1000 to 1000"},
      {"JPGQuality", "abc", 2, "0 to 100"},
      {"InitColor", "'#00ff80'", 0, "#00FF80\n"},
      {"InitColor", "purplish", 2, "#RRGGBB"},
  };
  for (const auto& c : cases) {
    const std::string before = Ini();
    const RunResult r = Run("prefs set " + c.key + " " + c.value);
    EXPECT_EQ(r.code, c.code) << c.key << " " << c.value << ": " << r.err;
    if (c.code == 0) {
      EXPECT_EQ(Get(c.key), c.shown) << c.key;
    } else {
      EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
      EXPECT_EQ(Ini(), before) << "a refused value changed the file";
    }
  }
}

TEST_F(PrefsCliTest, SetValuesReachLaterRunsAndResetBringsDefaultsBack) {
  ASSERT_EQ(Run("prefs set DefaultDelay 45").code, 0);
  ASSERT_EQ(Run("prefs set NewAnimationWidth 64").code, 0);
  EXPECT_EQ(NewDelayAndWidth(), std::make_pair(45, 64));
  ASSERT_EQ(Run("prefs reset DefaultDelay").code, 0);
  EXPECT_EQ(NewDelayAndWidth(), std::make_pair(20, 64));
  ASSERT_EQ(Run("prefs reset").code, 0);
  EXPECT_EQ(NewDelayAndWidth(), std::make_pair(20, 120));
  // list shows the stored values.
  ASSERT_EQ(Run("prefs set Similarity 77").code, 0);
  const RunResult r = Run("prefs list");
  ASSERT_EQ(r.code, 0);
  const std::vector<std::string> lines = OutputLines(r.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Similarity=77"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "PaintForeColor=#FF9900"), lines.end());
}

// The language the tool is started with: child processes inherit it.
class LanguageEnv {
 public:
  explicit LanguageEnv(const char* language) {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("LANGUAGE", language, 1);
  }
  ~LanguageEnv() { ::setenv("LANGUAGE", "", 1); }
};

// Menu markers never reach the terminal; `undo-text --raw` shows them exactly.
TEST_F(PrefsCliTest, EnglishByDefaultChineseUnderZhCn) {
  const struct {
    const char* what;
    const char* script;
    bool onStderr;        // else stdout, compared whole
    const char* english;  // stderr: contained; stdout: equal
    const char* chinese;
  } cases[] = {
      {"message", "open missing.gif\n", true, "Failed to load the file missing.gif!", "载入 missing.gif 文件失败!"},
      {"question", "new 10 10\nadd-frame\nselect-frames 0\ndelete-frames\n", true,
       "Are you sure you want to delete all selected frames?", "你确定要删除所有选定的帧吗?"},
      {"redo texts", "new 10 10\nloop 3\nundo\nundo-text\n", false, "Cannot undo\nRedo Change Loop Count\n",
       "无法撤消\n重做 更改循环次数\n"},
      {"access key", "new 10 10\nadd-frame\nsame-delay 7 all\nundo-text\n", false,
       "Undo Make Same Delay\nCannot redo\n", "Undo Make Same Delay\n无法重做\n"},
      {"raw texts", "new 10 10\nadd-frame\nsame-delay 7 all\nundo-text --raw\n", false,
       "&Undo Make Same Delay\nCannot redo\\nCannot redo(&R)\n", "&Undo Make Same Delay\n无法重做\\n无法重做(&R)\n"},
  };
  for (const auto& c : cases) {
    for (const bool chinese : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (chinese ? " zh_CN" : " en"));
      LanguageEnv env(chinese ? "zh_CN" : "");
      const RunResult r = Script(c.script);
      ASSERT_FALSE(r.signalled) << r.err;
      const char* want = chinese ? c.chinese : c.english;
      if (c.onStderr) {
        EXPECT_NE(r.err.find(want), std::string::npos) << r.err;
      } else {
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, want);
      }
      if (std::string(c.script).find("--raw") == std::string::npos) {
        EXPECT_EQ(r.out.find('&'), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find("(&"), std::string::npos) << r.err;
      }
    }
  }
  EXPECT_EQ(Script("new 10 10\nundo-text --cooked\n").code, 2);
}

}  // namespace
