// The tool's movie and page commands: convert to .swf with its options,
// publish, preview (with a stand-in xdg-open), the script commands, and the
// exit codes of bad usage and failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "cli_harness.h"

namespace {

class FlashCli : public CliFixture {
 protected:
  // A two-frame project: delays 10 and 30.
  void MakeInput() {
    const RunResult r = Script(
        "new 40 30\nadd-shape ellipse x=2 y=2 w=20 h=20 fill=0x0000FF\nadd-frame\nselect-frames 0\n"
        "frame-props delay=10\nselect-frames 1\nadd-shape star x=10 y=5 w=20 h=20 fill=0x00FF00\n"
        "frame-props delay=30\nsave in.lwp\n");
    ASSERT_EQ(r.code, 0) << r.err;
  }
};

TEST_F(FlashCli, ConvertOptionsReachTheMovie) {
  MakeInput();
  const struct { const char* args; int rate; unsigned firstTag; int frames; } cases[] = {
      {"", 5, 0x3F, 2},                   // (10 + 30) / 2 hundredths: 200 ms
      {"--fps 12", 12, 0x3F, 2},
      {"--jpeg=80", 5, 0x7F, 2},          // DefineBitsJPEG2/3 long headers start 0x7F or 0xFF
      {"--timing=exact", 10, 0x3F, 4},    // 1 + 3 movie frames at 10 a second
  };
  for (const auto& c : cases) {
    const RunResult r = Run(std::string("convert in.lwp out.swf ") + c.args);
    ASSERT_EQ(r.code, 0) << c.args << ": " << r.err;
    const std::string movie = Slurp(File("out.swf"));
    ASSERT_GT(movie.size(), 25u);
    EXPECT_EQ(movie.substr(0, 4), std::string("FWS\x04")) << c.args;
    EXPECT_EQ(int(std::uint8_t(movie[18])), c.rate) << c.args;
    EXPECT_EQ(int(std::uint8_t(movie[19])), c.frames) << c.args;
    EXPECT_EQ(std::uint8_t(movie[21]) & 0x7F, c.firstTag & 0x7F) << c.args;
  }
  // A command-line run leaves the stored preferences alone.
  ASSERT_EQ(Run("convert in.lwp out.swf --jpeg=77").code, 0);
  EXPECT_FALSE(std::filesystem::exists(File("config/loopwright/loopwright.ini")));
}

TEST_F(FlashCli, BadUsageAndFailures) {
  MakeInput();
  const struct { const char* args; int code; } cases[] = {
      {"convert in.lwp out.swf --jpeg=101", 2},
      {"convert in.lwp out.swf --fps 0", 2},
      {"convert in.lwp out.swf --timing=fast", 2},
      {"convert missing.gif out.swf", 1},
      {"convert in.lwp nowhere/out.swf", 1},
      {"publish in.lwp nowhere/page.htm", 1},
      {"publish missing.gif page.htm", 1},
      {"publish in.lwp", 2},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.code, c.code) << c.args << ": " << r.err;
    EXPECT_FALSE(r.signalled) << c.args;
  }
  EXPECT_NE(Run("convert in.lwp nowhere/out.swf").err.find("保存到 nowhere/out.swf 文件失败!"), std::string::npos);
}

TEST_F(FlashCli, PublishAndScriptCommands) {
  MakeInput();
  ASSERT_EQ(Run("publish in.lwp 'www.site page.htm' --flash --ruffle lib/ruffle.js").code, 0);
  EXPECT_EQ(Slurp(File("www.site page.swf")).substr(0, 3), "FWS");
  const std::string page = Slurp(File("www.site page.htm"));
  EXPECT_NE(page.find("<embed src=\"www.site%20page.swf\""), std::string::npos) << page;
  EXPECT_NE(page.find("<script src=\"lib/ruffle.js\">"), std::string::npos);
  ASSERT_EQ(Run("convert in.lwp plain.htm").code, 0);
  EXPECT_NE(Slurp(File("plain.htm")).find("<img src=\"plain.gif\" width=\"40\" height=\"30\">"), std::string::npos);

  const RunResult r = Script("open in.lwp\nexport a.swf\nexport-swf b.swf jpeg=50 fps=7\npublish c.htm flash\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Slurp(File("a.swf")).substr(0, 3), "FWS");
  EXPECT_EQ(int(std::uint8_t(Slurp(File("b.swf"))[18])), 7);
  EXPECT_NE(Slurp(File("c.htm")).find(">\r\n<param name=\"movie\" value=\"c.swf\">"), std::string::npos);
  EXPECT_EQ(Script("open in.lwp\nexport-swf d.swf speed=3\n").code, 2);
  EXPECT_EQ(Script("open in.lwp\npublish e.htm gif\n").code, 2);
}

TEST_F(FlashCli, PreviewHandsThePageToXdgOpen) {
  MakeInput();
  // A stand-in xdg-open records what it was asked to open.
  std::filesystem::create_directories(File("bin"));
  Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + File("opened.txt") + "'\n");
  ::chmod(File("bin/xdg-open").c_str(), 0755);
  std::filesystem::create_directories(File("tmp"));
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  const char* oldTmp = std::getenv("TMPDIR");
  const std::string savedTmp = oldTmp ? oldTmp : "";
  ::setenv("PATH", (File("bin") + ":" + oldPath).c_str(), 1);
  ::setenv("TMPDIR", File("tmp").c_str(), 1);
  const RunResult r = Run("preview in.lwp --flash");
  ::setenv("PATH", oldPath.c_str(), 1);
  if (oldTmp) ::setenv("TMPDIR", savedTmp.c_str(), 1);
  else ::unsetenv("TMPDIR");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string folder = File("tmp/loopwright-" + std::to_string(::getuid()));
  EXPECT_EQ(Slurp(File("opened.txt")), folder + "/Flashtemp.htm");
  EXPECT_EQ(r.out, folder + "/Flashtemp.htm\n");
  EXPECT_EQ(Slurp(folder + "/FlashTemp.swf").substr(0, 3), "FWS");
}

}  // namespace
