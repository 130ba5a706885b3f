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
  void SetUp() override {
    CliFixture::SetUp();
    SetIni("InitTransparent=1\n");
    const RunResult r =
        Script("new 24 16\nadd-frame\nadd-frame\nselect-frames 0\nsame-delay 10\nselect-frames 1,2\nsame-delay 20\n"
               "save in.lwp\n");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  std::string Codec(const std::string& name, const char* stream) const {
    return Field(Probe(File(name), stream, "stream=codec_name"), "codec_name");
  }
};

TEST_F(VideoCli, ConvertAndScriptWriteWhatTheOptionsSay) {
  SKIP_WITHOUT_FFMPEG();
  WriteWav(File("s.wav"), 8000, 4000);
  const struct {
    const char* target;
    const char* options;
    const char* videoCodec;
    const char* rate;        // r_frame_rate, "" when not checked
    const char* audioCodec;  // "" without sound
  } cases[] = {
      {"a.avi", "--codec rle --background 0x0000FF", "msrle", "6/1", ""},
      {"b.avi", "--codec dib --sound s.wav", "rawvideo", "6/1", "pcm_s16le"},
      {"c.avi", "--quality 40", "mjpeg", "6/1", ""},
      {"d.webm", "--crf 40 --sound s.wav", "vp9", "", "opus"},
      {"e.mp4", "", "h264", "", ""},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(std::string("convert in.lwp ") + c.target + " " + c.options);
    ASSERT_EQ(r.code, 0) << c.target << ": " << r.err;
    const std::string v = Probe(File(c.target), "v:0", "stream=codec_name,r_frame_rate,width,height");
    EXPECT_EQ(Field(v, "codec_name"), c.videoCodec) << c.target;
    EXPECT_EQ(Field(v, "width") + "x" + Field(v, "height"), "24x16") << c.target;
    if (*c.rate) {
      EXPECT_EQ(Field(v, "r_frame_rate"), c.rate) << c.target;
    }
    EXPECT_EQ(Codec(c.target, "a:0"), c.audioCodec) << c.target;
  }
  // --background 0x0000FF is red.
  const auto frames = DecodeRgb(File("a.avi"), 24, 16);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(std::vector<unsigned char>(frames[0].begin(), frames[0].begin() + 3), (std::vector<unsigned char>{255, 0, 0}));

  const RunResult r = Script("open in.lwp\nexport s.avi --codec rle --sound s.wav\nexport s.mp4 --crf 30\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Codec("s.avi", "v:0"), "msrle");
  EXPECT_EQ(Codec("s.avi", "a:0"), "pcm_s16le");
  EXPECT_EQ(Codec("s.mp4", "v:0"), "h264");
}

TEST_F(VideoCli, BadOptionsAndSoundsWriteNothing) {
  Write("keep.avi", "old");
  Write("text.wav", "not a sound");
  const struct {
    const char* args;
    int code;
    const char* message;
  } cases[] = {
      {"x.avi --codec h263", 2, "--codec"},
      {"x.avi --background notacolour", 2, "--background"},
      {"keep.avi --sound missing.wav", 1, "missing.wav"},
      {"x.webm --sound text.wav", 1, "text.wav"},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(std::string("convert in.lwp ") + c.args);
    EXPECT_EQ(r.code, c.code) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
  for (const char* name : {"x.avi", "x.webm"}) EXPECT_FALSE(fs::exists(File(name))) << name;
  EXPECT_EQ(Slurp(File("keep.avi")), "old");
  // The script refuses unknown options and an empty animation.
  RunResult r = Script("open in.lwp\nexport y.avi --codec\n");
  EXPECT_EQ(r.code, 2) << r.err;
  r = Script("new 8 8\nselect-frames 0\ndelete-frames\nexport z.avi\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no frames"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(File("y.avi")));
  EXPECT_FALSE(fs::exists(File("z.avi")));
}

}  // namespace
