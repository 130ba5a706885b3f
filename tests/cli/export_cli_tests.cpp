// Exports from the command line: convert to GIF and the other animation
// formats with their options, frames as pictures, the script commands, and
// the failures that must leave existing files alone.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

namespace fs = std::filesystem;
using namespace TevImageIO;

namespace {

class ExportCli : public CliFixture {
 protected:
  // A four-frame project: a moving square over a white background.
  std::string MakeProject() const {
    const std::string script = "new 40 30\nadd-frame\nadd-frame\nadd-frame\nsave " + File("in.lwp") + "\n";
    EXPECT_EQ(Script(script).code, 0);
    return File("in.lwp");
  }

  int Frames(const std::string& file, int format) const {
    CTevImageInfoPack pack;
    pack.path = file;
    auto options = CTevImgImportOptions::NewImportOptions(format);
    if (LoadImageW(pack, options.get(), nullptr) != 0) return -1;
    return int(pack.BlockCount());
  }
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
  RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_GE(Frames(File("s.gif"), IMAGE_FORMAT_GIF), 1);
  EXPECT_TRUE(fs::exists(File("f_4.bmp")));
}

TEST_F(ExportCli, FailedExportsSayWhyAndKeepTheOldFile) {
  const std::string in = MakeProject();
  Write("keep.gif", "old");
  // A directory as the target, an unwritable folder, an unsupported type.
  fs::create_directory(File("dir.gif"));
  for (const std::string& target : {File("dir.gif"), File("missing/x.gif"), File("missing/x.avi"), File("x.xyz")}) {
    RunResult r = Run("convert '" + in + "' '" + target + "'");
    EXPECT_EQ(r.code, 1) << target;
    EXPECT_NE(r.err.find("保存到 " + target + " 文件失败!"), std::string::npos) << r.err;
  }
  // A failed open or a failed export into an existing file leaves it as it was.
  EXPECT_EQ(Run("convert '" + File("nothing.gif") + "' '" + File("keep.gif") + "'").code, 1);
  RunResult r = Script("open " + in + "\nexport " + File("keep.gif/sub.gif") + "\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("文件失败!"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(File("keep.gif")), "old");
  EXPECT_EQ(Run("convert '" + in + "'").code, 2);
}

}  // namespace
