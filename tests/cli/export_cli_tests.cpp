// Exports from the command line: convert to GIF and the other animation
// formats with their options, frames as pictures, the script commands, and
// the failures that must leave existing files alone.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <nlohmann/json.hpp>

#include "app/frame_render.h"

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
  EXPECT_EQ(r.err.find("写入文件"), std::string::npos) << r.err;  // no caption when stderr is not a terminal
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
  // A directory as the target, an unwritable folder (the video path; the GIF
  // writer's own failures are tested with the library), an unsupported type.
  fs::create_directory(File("dir.gif"));
  for (const std::string& target : {File("dir.gif"), File("missing/x.avi"), File("x.xyz")}) {
    RunResult r = Run("convert '" + in + "' '" + target + "'");
    EXPECT_EQ(r.code, 1) << target;
    EXPECT_NE(r.err.find("保存到 " + target + " 文件失败!"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(File("x.xyz")));
  // A failed open or a failed export into an existing file leaves it as it was.
  EXPECT_EQ(Run("convert '" + File("nothing.gif") + "' '" + File("keep.gif") + "'").code, 1);
  RunResult r = Script("open " + in + "\nexport " + File("keep.gif/sub.gif") + "\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("文件失败!"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(File("keep.gif")), "old");
  EXPECT_EQ(Run("convert '" + in + "'").code, 2);
}

using Rgb = std::array<int, 3>;

double MeanError(const std::vector<Rgb>& a, const std::vector<Rgb>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    sum += std::sqrt(double((a[i][0] - b[i][0]) * (a[i][0] - b[i][0]) + (a[i][1] - b[i][1]) * (a[i][1] - b[i][1]) +
                            (a[i][2] - b[i][2]) * (a[i][2] - b[i][2])));
  return sum / double(a.size());
}

// A median-cut palette of n colours (the box with the widest channel is
// split at its median) and the picture mapped to its nearest entries.
std::vector<Rgb> MedianCut(const std::vector<Rgb>& px, int n) {
  std::vector<std::vector<Rgb>> boxes{px};
  while (int(boxes.size()) < n) {
    std::size_t pick = 0;
    int pickChannel = 0, pickRange = -1;
    for (std::size_t i = 0; i < boxes.size(); ++i)
      for (int c = 0; c < 3; ++c) {
        auto [lo, hi] = std::minmax_element(boxes[i].begin(), boxes[i].end(),
                                            [c](const Rgb& a, const Rgb& b) { return a[std::size_t(c)] < b[std::size_t(c)]; });
        if ((*hi)[std::size_t(c)] - (*lo)[std::size_t(c)] > pickRange)
          pick = i, pickChannel = c, pickRange = (*hi)[std::size_t(c)] - (*lo)[std::size_t(c)];
      }
    std::vector<Rgb> box = std::move(boxes[pick]);
    std::sort(box.begin(), box.end(), [&](const Rgb& a, const Rgb& b) { return a[std::size_t(pickChannel)] < b[std::size_t(pickChannel)]; });
    boxes[pick] = std::vector<Rgb>(box.begin(), box.begin() + std::ptrdiff_t(box.size() / 2));
    boxes.emplace_back(box.begin() + std::ptrdiff_t(box.size() / 2), box.end());
  }
  std::vector<Rgb> palette;
  for (const auto& box : boxes) {
    Rgb mean{0, 0, 0};
    for (const Rgb& p : box)
      for (int c = 0; c < 3; ++c) mean[std::size_t(c)] += p[std::size_t(c)];
    for (int& v : mean) v = int(std::lround(double(v) / double(box.size())));
    palette.push_back(mean);
  }
  std::vector<Rgb> out;
  for (const Rgb& p : px)
    out.push_back(*std::min_element(palette.begin(), palette.end(), [&](const Rgb& a, const Rgb& b) {
      auto d = [&](const Rgb& q) { return (q[0] - p[0]) * (q[0] - p[0]) + (q[1] - p[1]) * (q[1] - p[1]) + (q[2] - p[2]) * (q[2] - p[2]); };
      return d(a) < d(b);
    }));
  return out;
}

}  // namespace

// Every animation export shows the caption "写入文件" with the file name on
// a terminal (and nothing when stderr is not one: checked where convert runs
// without a terminal).
TEST_F(ExportCli, ExportsShowTheWritingCaptionOnATerminal) {
  const std::string in = MakeProject();
  for (const char* out : {"a.gif", "a.ico", "a.psd"}) {
    RunResult r = RunOnTerminal("convert in.lwp " + std::string(out));
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("写入文件 " + std::string(out)), std::string::npos) << r.out;
  }
}

// Loop counts through GIF and project round trips: forever is a NETSCAPE
// count of 0, a count of N plays is written as N, and one play has no loop
// extension at all (browsers would play a count of 1 twice).
TEST_F(ExportCli, LoopCountsSurviveGifAndProjectRoundTrips) {
  const std::string loops[] = {"forever", "once", "2", "256", "65535"};
  std::string script;  // one run for every count
  for (std::size_t i = 0; i < std::size(loops); ++i) {
    const std::string n = std::to_string(i);
    script += "new 8 8\nadd-frame\nadd-shape rectangle w=3 h=3\nloop " + loops[i] + "\nsave a" + n + ".lwp\nexport a" + n +
              ".gif\nopen a" + n + ".gif\nexport b" + n + ".gif\nsave c" + n + ".lwp\nopen c" + n + ".lwp\ninfo\nopen a" + n +
              ".lwp\ninfo\n";
  }
  const RunResult r = Script(script);
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<std::string> lines = OutputLines(r.out);
  ASSERT_EQ(lines.size(), 2 * std::size(loops));
  for (std::size_t i = 0; i < std::size(loops); ++i) {
    const std::string& loop = loops[i];
    SCOPED_TRACE(loop);
    const int netscape = loop == "forever" ? 0 : loop == "once" ? -1 : std::stoi(loop);
    for (const char* gif : {"a", "b"}) {
      CTevImageInfoPack pack;
      pack.path = File(gif + std::to_string(i) + ".gif");
      ASSERT_EQ(LoadImageW(pack, nullptr, nullptr), 0) << gif;
      EXPECT_EQ(pack.BlockCount(), 2u) << gif;
      EXPECT_EQ(pack.loopCount, netscape) << gif;
    }
    for (std::size_t k = 2 * i; k < 2 * i + 2; ++k) {
      const auto model = nlohmann::json::parse(lines[k]);
      EXPECT_EQ(model["loopForever"], loop == "forever");
      if (loop != "forever") {
        EXPECT_EQ(model["loopCount"], loop == "once" ? 1 : netscape);
      }
    }
  }
}

// A 64 x 64 gradient with few colours asked: the palette keeps between 2 and
// N colours and represents the picture about as well as a median cut does.
TEST_F(ExportCli, FewColoursStillRepresentTheGradient) {
  DibPtr pic(CDIB32::CreateSimple32BitsDIB(64, 64, 0, 255));
  std::vector<Rgb> px;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      BYTE* p = DibRow(pic.get(), y) + x * 4;
      p[0] = BYTE((x + y) * 2), p[1] = BYTE(y * 4), p[2] = BYTE(x * 4);
    }
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) px.push_back(Rgb{x * 4, y * 4, (x + y) * 2});
  ASSERT_TRUE(WritePngPicture(pic.get(), File("grad.png")));
  for (int n = 2; n <= 6; ++n) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Run("convert grad.png out.gif --colors " + std::to_string(n)).code, 0);
    DibPtr got = LoadPng("out.gif");
    ASSERT_NE(got, nullptr);
    std::vector<Rgb> out;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const BYTE* p = DibRow(got.get(), y) + x * 4;
        out.push_back(Rgb{p[2], p[1], p[0]});
      }
    std::vector<Rgb> distinct = out;
    std::sort(distinct.begin(), distinct.end());
    const auto used = std::unique(distinct.begin(), distinct.end()) - distinct.begin();
    EXPECT_GE(used, 2);
    EXPECT_LE(used, n);
    EXPECT_LE(MeanError(px, out), MeanError(px, MedianCut(px, n)) * 1.1);
  }
}
