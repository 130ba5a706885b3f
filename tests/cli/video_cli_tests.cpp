// Video exports from the command line: convert and the script's export with
// the video options, read back by ffprobe, and the bad inputs that must
// write nothing.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"
#include "export/video_test_util.h"

namespace fs = std::filesystem;
using namespace video_test;

namespace {

class VideoCli : public CliFixture {
 protected:
  // Three frames, 24 x 16, the first 10 hundredths, the others 20 (D = 50).
  // The canvas starts transparent, so the background colour shows.
  std::string MakeProject() const {
    SetIni("InitTransparent=1\n");
    const std::string script =
        "new 24 16\nadd-frame\nadd-frame\nselect-frames 0\nsame-delay 10\nselect-frames 1,2\nsame-delay 20\nsave " +
        File("in.lwp") + "\n";
    RunResult r = Script(script);
    EXPECT_EQ(r.code, 0) << r.err;
    return File("in.lwp");
  }
};

struct ConvertCase {
  const char* target;
  const char* options;
  const char* videoCodec;
  const char* rate;  // r_frame_rate, "" when not checked
  const char* audioCodec;  // "" without sound
};

TEST_F(VideoCli, ConvertAndScriptWriteWhatTheOptionsSay) {
  SKIP_WITHOUT_FFMPEG();
  const std::string in = MakeProject();
  WriteWav(File("s.wav"), 8000, 4000);
  const ConvertCase cases[] = {
      {"a.avi", "--codec rle --background 0x0000FF", "msrle", "6/1", ""},
      {"b.avi", "--codec dib --sound s.wav", "rawvideo", "6/1", "pcm_s16le"},
      {"c.avi", "--quality 40", "mjpeg", "6/1", ""},
      {"d.webm", "--crf 40 --sound s.wav", "vp9", "", "opus"},
      {"e.mp4", "", "h264", "", ""},
  };
  for (const auto& c : cases) {
    RunResult r = Run("convert '" + in + "' '" + File(c.target) + "' " + c.options);
    ASSERT_EQ(r.code, 0) << c.target << ": " << r.err;
    const std::string v = Probe(File(c.target), "v:0", "stream=codec_name,r_frame_rate,width,height");
    EXPECT_EQ(Field(v, "codec_name"), c.videoCodec) << c.target;
    EXPECT_EQ(Field(v, "width") + "x" + Field(v, "height"), "24x16") << c.target;
    if (*c.rate) {
      EXPECT_EQ(Field(v, "r_frame_rate"), c.rate) << c.target;
    }
    EXPECT_EQ(Field(Probe(File(c.target), "a:0", "stream=codec_name"), "codec_name"), c.audioCodec) << c.target;
  }
  // --background 0x0000FF is red.
  const auto frames = DecodeRgb(File("a.avi"), 24, 16);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(std::vector<unsigned char>(frames[0].begin(), frames[0].begin() + 3), (std::vector<unsigned char>{255, 0, 0}));

  RunResult r = Script("open " + in + "\nexport " + File("s.avi") + " --codec rle --sound " + File("s.wav") +
                       "\nexport " + File("s.mp4") + " --crf 30\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Field(Probe(File("s.avi"), "v:0", "stream=codec_name"), "codec_name"), "msrle");
  EXPECT_EQ(Field(Probe(File("s.avi"), "a:0", "stream=codec_name"), "codec_name"), "pcm_s16le");
  EXPECT_EQ(Field(Probe(File("s.mp4"), "v:0", "stream=codec_name"), "codec_name"), "h264");
}

TEST_F(VideoCli, BadOptionsAndSoundsWriteNothing) {
  const std::string in = MakeProject();
  Write("keep.avi", "old");
  Write("text.wav", "not a sound");
  struct BadCase {
    std::string args;
    int code;
    std::string message;
  };
  const BadCase cases[] = {
      {"'" + File("x.avi") + "' --codec h263", 2, "--codec"},
      {"'" + File("x.avi") + "' --quality 0", 2, "--quality"},
      {"'" + File("x.avi") + "' --background notacolour", 2, "--background"},
      {"'" + File("x.avi") + "' --sound '" + File("missing.wav") + "'", 1, "missing.wav"},
      {"'" + File("keep.avi") + "' --sound '" + File("missing.wav") + "'", 1, "missing.wav"},
      {"'" + File("x.webm") + "' --sound '" + File("text.wav") + "'", 1, "text.wav"},
      {"'" + File("x.mp4") + "' --sound '" + File("in.lwp") + "'", 1, "in.lwp"},
  };
  for (const auto& c : cases) {
    RunResult r = Run("convert '" + in + "' " + c.args);
    EXPECT_EQ(r.code, c.code) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
  for (const char* name : {"x.avi", "x.webm", "x.mp4"}) EXPECT_FALSE(fs::exists(File(name))) << name;
  EXPECT_EQ(Slurp(File("keep.avi")), "old");
  // The script refuses unknown options and an empty animation.
  RunResult r = Script("open " + in + "\nexport " + File("y.avi") + " --codec\n");
  EXPECT_EQ(r.code, 2) << r.err;
  r = Script("new 8 8\nselect-frames 0\ndelete-frames\nexport " + File("z.avi") + "\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no frames"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(File("y.avi")));
  EXPECT_FALSE(fs::exists(File("z.avi")));
}

}  // namespace
