// The tool's language: English by default, the Chinese texts exactly under
// LANGUAGE=zh_CN (with LC_ALL=C.UTF-8, the only locales a bare Debian has),
// menu markers never on the terminal, `undo-text --raw` exact.
#include <cstdlib>

#include "cli/cli_harness.h"

namespace {

// The language the tool is started with: child processes inherit it.
class LanguageEnv {
 public:
  explicit LanguageEnv(const char* language) {
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("LANGUAGE", language, 1);
  }
  ~LanguageEnv() { ::setenv("LANGUAGE", "", 1); }
};

class LanguageCli : public CliFixture {};

struct TextCase {
  const char* what;
  const char* script;
  bool onStderr;       // else stdout, compared whole
  const char* english; // stderr: contained; stdout: equal
  const char* chinese;
};

const TextCase kTexts[] = {
    {"message", "open missing.gif\n", true, "Failed to load the file missing.gif!", "载入 missing.gif 文件失败!"},
    {"question", "new 10 10\nadd-frame\nselect-frames 0\ndelete-frames\n", true,
     "Are you sure you want to delete all selected frames?", "你确定要删除所有选定的帧吗?"},
    {"undo texts", "new 10 10\nloop 3\nundo-text\n", false, "Undo Change Loop Count\nCannot redo\n",
     "撤消 更改循环次数\n无法重做\n"},
    {"redo texts", "new 10 10\nloop 3\nundo\nundo-text\n", false, "Cannot undo\nRedo Change Loop Count\n",
     "无法撤消\n重做 更改循环次数\n"},
    {"access key", "new 10 10\nadd-frame\nsame-delay 7 all\nundo-text\n", false,
     "Undo Make Same Delay\nCannot redo\n", "Undo Make Same Delay\n无法重做\n"},
    {"raw texts", "new 10 10\nadd-frame\nsame-delay 7 all\nundo-text --raw\n", false,
     "&Undo Make Same Delay\nCannot redo\\nCannot redo(&R)\n", "&Undo Make Same Delay\n无法重做\\n无法重做(&R)\n"},
    {"raw redo", "new 10 10\nloop 3\nundo\nundo-text --raw\n", false,
     "Cannot undo\\nCannot undo(&U)\nRedo Change Loop Count\n", "无法撤消\\n无法撤消(&U)\n重做 更改循环次数\n"},
};

TEST_F(LanguageCli, EnglishByDefaultChineseUnderZhCn) {
  for (const auto& c : kTexts) {
    for (const bool chinese : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (chinese ? " zh_CN" : " en"));
      LanguageEnv env(chinese ? "zh_CN" : "");
      // Each run starts from the default preferences (same-delay stores
      // the delay it sets as the new default).
      std::filesystem::remove(File("config/loopwright/loopwright.ini"));
      const RunResult r = Script(c.script);
      ASSERT_FALSE(r.signalled) << r.err;
      const char* want = chinese ? c.chinese : c.english;
      if (c.onStderr) {
        EXPECT_NE(r.err.find(want), std::string::npos) << r.err;
      } else {
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, want);
      }
      // Access-key markers only where the raw form was asked for.
      if (std::string(c.script).find("--raw") == std::string::npos) {
        EXPECT_EQ(r.out.find('&'), std::string::npos) << r.out;
        EXPECT_EQ(r.err.find("(&"), std::string::npos) << r.err;
      }
    }
  }
}

TEST_F(LanguageCli, UndoTextRefusesOtherWords) {
  const RunResult r = Script("new 10 10\nundo-text --cooked\n");
  EXPECT_EQ(r.code, 2) << r.err;
}

// Status captions appear on a terminal only: the project writer's caption
// in either language.
TEST_F(LanguageCli, CaptionOnTheTerminal) {
  ASSERT_EQ(Run("new a.lwp").code, 0);
  for (const bool chinese : {false, true}) {
    LanguageEnv env(chinese ? "zh_CN" : "");
    const RunResult r = RunOnTerminal("convert a.lwp b.lwp");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find(chinese ? "载入文件 a.lwp" : "Loading file a.lwp"), std::string::npos) << r.out;
  }
}

}  // namespace
