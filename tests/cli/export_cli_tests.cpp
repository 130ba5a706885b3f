// Exports from the command line: convert to GIF and the other animation
// formats with their options, frames as pictures, the script commands, and
// the failures that must leave existing files alone.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "companions/imageio/tev_image_io.h"

namespace fs = std::filesystem;
using namespace TevImageIO;

namespace {

struct RunResult {
  int code = -1;
  std::string out, err;
};

class ExportCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lw-export-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config" / "loopwright");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  RunResult Run(const std::string& args, const std::string& input = {}) const {
    std::string cmd = "XDG_CONFIG_HOME='" + File("config") + "' '" LW_TOOL "' " + args;
    if (!input.empty()) {
      std::ofstream(File("stdin.txt")) << input;
      cmd += " < '" + File("stdin.txt") + "'";
    }
    cmd += " 2> '" + File("stderr.txt") + "'";
    RunResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(File("stderr.txt"));
    r.err.assign(std::istreambuf_iterator<char>(e), {});
    return r;
  }

  // A four-frame project: a moving square over a white background.
  std::string MakeProject() const {
    const std::string script = "new 40 30\nadd-frame\nadd-frame\nadd-frame\nsave " + File("in.lwp") + "\n";
    EXPECT_EQ(Run("run -", script).code, 0);
    return File("in.lwp");
  }

  int Frames(const std::string& file, int format) const {
    CTevImageInfoPack pack;
    pack.path = file;
    auto options = CTevImgImportOptions::NewImportOptions(format);
    if (LoadImageW(pack, options.get(), nullptr) != 0) return -1;
    return int(pack.BlockCount());
  }

  fs::path dir_;
};

TEST_F(ExportCli, ConvertWritesEachAnimationFormat) {
  const std::string in = MakeProject();
  RunResult r = Run("convert '" + in + "' '" + File("a.gif") + "' --colors 16 --dither ordered --no-prev-disposal");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_GE(Frames(File("a.gif"), IMAGE_FORMAT_GIF), 1);
  ASSERT_EQ(Run("convert '" + in + "' '" + File("a.ani") + "' --hotspot 3,4").code, 0);
  EXPECT_EQ(Frames(File("a.ani"), IMAGE_FORMAT_ANI), 4);
  ASSERT_EQ(Run("convert '" + in + "' '" + File("a.cur") + "' --hotspot 3,4").code, 0);
  EXPECT_EQ(Frames(File("a.cur"), IMAGE_FORMAT_CUR), 4);
  ASSERT_EQ(Run("convert '" + in + "' '" + File("a.ico") + "'").code, 0);
  EXPECT_EQ(Frames(File("a.ico"), IMAGE_FORMAT_ICO), 4);
  ASSERT_EQ(Run("convert '" + in + "' '" + File("a.psd") + "'").code, 0);
  EXPECT_EQ(Frames(File("a.psd"), IMAGE_FORMAT_PSD), 1);
  // A GIF converted again keeps its frame count.
  ASSERT_EQ(Run("convert '" + File("a.gif") + "' '" + File("b.gif") + "'").code, 0);
  EXPECT_EQ(Frames(File("b.gif"), IMAGE_FORMAT_GIF), Frames(File("a.gif"), IMAGE_FORMAT_GIF));
  EXPECT_EQ(Run("convert '" + in + "' '" + File("a.gif") + "' --dither sideways").code, 2);
  EXPECT_EQ(Run("convert '" + in + "' '" + File("a.cur") + "' --hotspot 3").code, 2);
}

TEST_F(ExportCli, FramesOptionAndScriptCommands) {
  const std::string in = MakeProject();
  ASSERT_EQ(Run("convert '" + in + "' --frames '" + File("shot.png") + "'").code, 0);
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(fs::exists(File("shot" + std::to_string(i) + ".png"))) << i;
  const std::string script = "open " + in + "\nexport " + File("s.gif") + "\nexport-frames " + File("f_") + " bmp\n";
  RunResult r = Run("run -", script);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_GE(Frames(File("s.gif"), IMAGE_FORMAT_GIF), 1);
  EXPECT_TRUE(fs::exists(File("f_4.bmp")));
}

TEST_F(ExportCli, FailedExportsSayWhyAndKeepTheOldFile) {
  const std::string in = MakeProject();
  std::ofstream(File("keep.gif")) << "old";
  // A directory as the target, an unwritable folder, an unsupported type.
  fs::create_directory(File("dir.gif"));
  for (const std::string& target : {File("dir.gif"), File("missing/x.gif"), File("x.avi"), File("x.xyz")}) {
    RunResult r = Run("convert '" + in + "' '" + target + "'");
    EXPECT_EQ(r.code, 1) << target;
    EXPECT_NE(r.err.find("保存到 " + target + " 文件失败!"), std::string::npos) << r.err;
  }
  // A failed open or a failed export into an existing file leaves it as it was.
  EXPECT_EQ(Run("convert '" + File("nothing.gif") + "' '" + File("keep.gif") + "'").code, 1);
  RunResult r = Run("run -", "open " + in + "\nexport " + File("keep.gif/sub.gif") + "\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("文件失败!"), std::string::npos) << r.err;
  std::ifstream kept(File("keep.gif"));
  std::string text((std::istreambuf_iterator<char>(kept)), {});
  EXPECT_EQ(text, "old");
  EXPECT_EQ(Run("convert '" + in + "'").code, 2);
}

}  // namespace
