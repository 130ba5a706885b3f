// Video export checked by ffprobe and ffmpeg: the rate rule, AVI, MP4 and
// WebM frames against frames painted here, sound, and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "export/avi_export.h"
#include "export/video_export.h"
#include "export/video_test_util.h"

namespace fs = std::filesystem;
using namespace export_test;
using namespace video_test;

namespace {

struct RateCase {
  const char* name;
  std::vector<int> delays;
  std::uint32_t scale, rate;
};

TEST(AviRate, ChoosesThePairClosestToThePlayTime) {
  const RateCase cases[] = {
      {"ten frames of 10", std::vector<int>(10, 10), 1, 10},
      // Errors 3, 6, 9, 12, 15, 15, 12, 9, 6, 3: the tie at scale 10 keeps scale 1.
      {"10, 10, 13", {10, 10, 13}, 1, 9},
      {"three of 15: 20/3 exactly", {15, 15, 15}, 3, 20},
      {"zero delays play as 10", {0, 0, 0}, 1, 10},
      {"one frame of 30 s: the rate never drops to 0", {3000}, 30, 1},
      {"two frames of 10 s", {1000, 1000}, 10, 1},
  };
  for (const auto& c : cases) {
    const CAviRate r = ChooseAviRate(c.delays);
    EXPECT_EQ(r.scale, c.scale) << c.name;
    EXPECT_EQ(r.rate, c.rate) << c.name;
  }
}

// One frame per delay, each with its own picture: a moving pattern of
// `colours` colours, or (0) a smooth full-canvas picture for lossy codecs.
void BuildModel(CGifImage& model, const std::vector<int>& delays, int colours, LONG w = 32, LONG h = 24) {
  ModelBuilder b(model, w, h);
  model.m_clrBackground = 0x00336699;
  for (std::size_t i = 0; i < delays.size(); ++i)
    b.AddObject(colours > 0 ? Pattern(w - 8, h - 6, colours, int(i)) : Smooth(w, h, int(i)));
  for (std::size_t i = 0; i < delays.size(); ++i)
    b.AddFrame(std::uint16_t(delays[i]), {{int(i), colours > 0 ? POINT{LONG(i % 8), LONG(i % 5)} : POINT{0, 0}}});
}

class VideoExport : public ::testing::Test {
 protected:
  TempDir dir;
};

struct AviCase {
  const char* name;
  int codec;
  int colours;  // distinct colours of the pictures (0: smooth pictures)
  const char* codecName;
  const char* handler;
  double minPsnr;  // 0: exact
};

TEST_F(VideoExport, AviStreamsReadBackAsWritten) {
  SKIP_WITHOUT_FFMPEG();
  const AviCase cases[] = {
      {"DIB, 8 bits", AVI_CODEC_DIB, 40, "rawvideo", "DIB ", 0},
      {"DIB, 24 bits", AVI_CODEC_DIB, 400, "rawvideo", "DIB ", 0},
      {"RLE", AVI_CODEC_RLE, 40, "msrle", "mrle", 0},
      {"RLE, reduced to 256", AVI_CODEC_RLE, 400, "msrle", "mrle", 30},
      {"MJPEG", AVI_CODEC_MJPEG, 0, "mjpeg", nullptr, 30},
  };
  for (const auto& c : cases) {
    CGifImage model;
    BuildModel(model, std::vector<int>(31, 5), c.colours);
    CVideoExportOptions options;
    options.codec = c.codec;
    options.background = 0x00FF8040;
    const std::string file = dir.File(std::string("a") + std::to_string(c.codec) + ".avi");
    std::string reason;
    ASSERT_TRUE(ExportAviFile(model, file, options, nullptr, &reason)) << c.name << ": " << reason;
    const std::string v = Probe(file, "v:0", "stream=codec_name,width,height,r_frame_rate:packet=flags");
    EXPECT_EQ(Field(v, "codec_name"), c.codecName) << c.name;
    EXPECT_EQ(Field(v, "width"), "32") << c.name;
    EXPECT_EQ(Field(v, "height"), "24") << c.name;
    EXPECT_EQ(Field(v, "r_frame_rate"), "20/1") << c.name;
    // RLE frames 0, 15, 30 are key frames; uncompressed and JPEG frames
    // each stand alone, and the muxer flags every one.
    std::vector<int> keys;
    for (int i = 0; i < 31; ++i)
      if (c.codec != AVI_CODEC_RLE || i % 15 == 0) keys.push_back(i);
    EXPECT_EQ(KeyPackets(v), keys) << c.name;
    if (c.handler) {
      const auto bytes = ReadBytes(file);
      ASSERT_GT(bytes.size(), 116u) << c.name;
      EXPECT_EQ(std::string(bytes.begin() + 108, bytes.begin() + 116), std::string("vids") + c.handler) << c.name;
    }
    const auto want = PaintedFrames(model, 0x00FF8040);
    const auto got = DecodeRgb(file, 32, 24);
    ASSERT_EQ(got.size(), want.size()) << c.name;
    for (std::size_t i = 0; i < want.size(); ++i) {
      if (c.minPsnr == 0)
        EXPECT_TRUE(got[i] == want[i]) << c.name << " frame " << i;
      else
        EXPECT_GE(Psnr(got[i], want[i]), c.minPsnr) << c.name << " frame " << i;
    }
  }
}

TEST_F(VideoExport, Mp4AndWebmKeepEveryDelay) {
  SKIP_WITHOUT_FFMPEG();
  const std::vector<int> delays = {10, 25, 0, 40, 7};
  const char* wantTimes[] = {"0.000000", "0.100000", "0.350000", "0.450000", "0.850000"};
  for (const char* ext : {"mp4", "webm"}) {
    CGifImage model;
    BuildModel(model, delays, 0);
    CVideoExportOptions options;
    options.crf = 18;
    const std::string file = dir.File(std::string("v.") + ext);
    std::string reason;
    ASSERT_TRUE(ExportStreamingVideo(model, file, options, nullptr, &reason)) << ext << ": " << reason;
    const std::string v = Probe(file, "v:0", "stream=codec_name,width,height");
    EXPECT_EQ(Field(v, "codec_name"), std::string(ext) == "mp4" ? "h264" : "vp9") << ext;
    EXPECT_EQ(Field(v, "width"), "32") << ext;
    EXPECT_EQ(Field(v, "height"), "24") << ext;
    const auto times = Fields(Probe(file, "v:0", "frame=best_effort_timestamp_time"), "best_effort_timestamp_time");
    ASSERT_EQ(times.size(), delays.size()) << ext;
    for (std::size_t i = 0; i < times.size(); ++i) EXPECT_NEAR(std::stod(times[i]), std::stod(wantTimes[i]), 0.0015) << ext << " " << i;
    const auto want = PaintedFrames(model, model.m_clrBackground);
    const auto got = DecodeRgb(file, 32, 24);
    ASSERT_EQ(got.size(), want.size()) << ext;
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_GE(Psnr(got[i], want[i]), 30.0) << ext << " frame " << i;
  }
}

TEST_F(VideoExport, OddCanvasIsPaddedForH264) {
  SKIP_WITHOUT_FFMPEG();
  CGifImage model;
  BuildModel(model, {10, 10}, 0, 33, 25);
  std::string reason;
  ASSERT_TRUE(ExportStreamingVideo(model, dir.File("odd.mp4"), {}, nullptr, &reason)) << reason;
  const std::string v = Probe(dir.File("odd.mp4"), "v:0", "stream=width,height");
  EXPECT_EQ(Field(v, "width"), VideoEncoderFor("MP4") == "libx264" || VideoEncoderFor("MP4") == "mpeg4" ? "34" : "33");
  EXPECT_EQ(Field(v, "height"), "26");
}

struct SoundCase {
  const char* source;
  const char* target;
  int codec;
  const char* soundCodec;
  double tolerance;  // seconds: encoders add priming and padding
};

TEST_F(VideoExport, SoundIsAddedWhole) {
  SKIP_WITHOUT_FFMPEG();
  WriteWav(dir.File("s.wav"), 8000, 6000);  // 0.75 s, longer than the 0.3 s video
  const SoundCase cases[] = {
      {"s.wav", "s.avi", AVI_CODEC_RLE, "pcm_s16le", 0.001},  // copied
      {"s.wav", "s.mp4", 0, "aac", 0.08},                     // encoded again
      {"s.wav", "s.webm", 0, "opus", 0.03},                   // encoded again
  };
  for (const auto& c : cases) {
    CGifImage model;
    BuildModel(model, {10, 10, 10}, 0);
    CVideoExportOptions options;
    options.codec = c.codec;
    options.soundPath = dir.File(c.source);
    const std::string file = dir.File(c.target);
    std::string reason;
    const bool ok = std::string(c.target).ends_with(".avi") ? ExportAviFile(model, file, options, nullptr, &reason)
                                                  : ExportStreamingVideo(model, file, options, nullptr, &reason);
    ASSERT_TRUE(ok) << c.target << ": " << reason;
    const std::string a = Probe(file, "a:0", "stream=codec_name:packet=pts_time,duration_time");
    EXPECT_EQ(Field(a, "codec_name"), c.soundCodec) << c.target;
    // Every sample is kept: the stream ends where the source's ends.
    const double sourceEnd = StreamEnd(Probe(dir.File(c.source), "a:0", "packet=pts_time,duration_time"));
    EXPECT_GE(sourceEnd, 0.75) << c.source;
    EXPECT_NEAR(StreamEnd(a), sourceEnd, c.tolerance) << c.target;
    EXPECT_EQ(DecodeRgb(file, 32, 24).size(), 3u) << c.target;
  }
}

// Runs an export that must fail and checks that the target keeps its bytes
// and that no temporary file is left beside it.
void ExpectFailureLeavesTarget(const std::string& dirPath, const std::string& target, const std::string& what,
                               const std::function<bool(std::string*)>& exportCall) {
  std::string reason;
  EXPECT_FALSE(exportCall(&reason)) << what;
  EXPECT_FALSE(reason.empty()) << what;
  if (fs::is_regular_file(target)) {
    EXPECT_EQ(ReadBytes(target), std::vector<unsigned char>({'o', 'l', 'd'})) << what;
  }
  int files = 0;
  for (const auto& e : fs::directory_iterator(dirPath)) files += e.path().filename().string().rfind(".", 0) == 0;
  EXPECT_EQ(files, 0) << what << ": temporary file left";
}

TEST_F(VideoExport, FailuresLeaveTheTargetAlone) {
  CGifImage model;
  BuildModel(model, std::vector<int>(20, 10), 40);
  CGifImage empty;
  empty.m_nWidth = 8;
  empty.m_nHeight = 8;
  WriteWav(dir.File("s.wav"), 8000, 800);
  const std::string target = dir.File("old.avi");
  { std::ofstream(target) << "old"; }
  CTevCommonProgress cancelling([&](float f, const std::string& caption) {
    if (caption == "保存帧..." && f >= 0.5f) cancelling.Cancel();
  });
  ExpectFailureLeavesTarget(dir.Path(), target, "no frames", [&](std::string* r) {
    return ExportAviFile(empty, target, {}, nullptr, r);
  });
  ExpectFailureLeavesTarget(dir.Path(), target, "cancelled while saving", [&](std::string* r) {
    CVideoExportOptions withSound;
    withSound.soundPath = dir.File("s.wav");
    return ExportAviFile(model, target, withSound, &cancelling, r);
  });
  fs::create_directory(dir.File("busy.avi"));
  { std::ofstream(dir.File("busy.avi/keep")) << "x"; }
  ExpectFailureLeavesTarget(dir.Path(), target, "target is a folder", [&](std::string* r) {
    return ExportAviFile(model, dir.File("busy.avi"), {}, nullptr, r);
  });
  EXPECT_TRUE(fs::exists(dir.File("busy.avi/keep")));
  EXPECT_TRUE(cancelling.IsCancelled());
}

}  // namespace
