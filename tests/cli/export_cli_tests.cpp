// Exports from the command line: convert to GIF and the other animation
// formats, the writing caption on a terminal, loop counts, few colours, and
// the failures that must leave existing files alone.
#include <gtest/gtest.h>

#include "cli/cli_harness.h"

#include <algorithm>
#include <cmath>

namespace fs = std::filesystem;
using namespace TevImageIO;

namespace {

class ExportCli : public CliFixture {
 protected:
  // A four-frame project in.lwp.
  void SetUp() override {
    CliFixture::SetUp();
    ASSERT_EQ(Script("new 40 30\nadd-frame\nadd-frame\nadd-frame\nsave in.lwp\n").code, 0);
  }

  int Frames(const std::string& name, int format) const {
    CTevImageInfoPack pack;
    pack.path = File(name);
    auto options = CTevImgImportOptions::NewImportOptions(format);
    if (LoadImageW(pack, options.get(), nullptr) != 0) return -1;
    return int(pack.BlockCount());
  }
};

TEST_F(ExportCli, ConvertWritesEachAnimationFormat) {
  const struct {
    const char* out;
    const char* options;
    int format, frames;  // 0: at least one (identical GIF frames may merge)
  } cases[] = {
      {"a.gif", "--colors 16 --dither ordered --no-prev-disposal", IMAGE_FORMAT_GIF, 0},
      {"a.ani", "--hotspot 3,4", IMAGE_FORMAT_ANI, 4},
      {"a.ico", "", IMAGE_FORMAT_ICO, 4},
      {"a.psd", "", IMAGE_FORMAT_PSD, 1},
  };
  for (const auto& c : cases) {
    const RunResult r = Run(std::string("convert in.lwp ") + c.out + " " + c.options);
    ASSERT_EQ(r.code, 0) << c.out << ": " << r.err;
    EXPECT_EQ(r.err.find("写入文件"), std::string::npos) << r.err;  // no caption when stderr is not a terminal
    EXPECT_GE(Frames(c.out, c.format), c.frames ? c.frames : 1) << c.out;
    EXPECT_LE(Frames(c.out, c.format), c.frames ? c.frames : 4) << c.out;
  }
  // A GIF converted again keeps its frame count.
  ASSERT_EQ(Run("convert a.gif b.gif").code, 0);
  EXPECT_EQ(Frames("b.gif", IMAGE_FORMAT_GIF), Frames("a.gif", IMAGE_FORMAT_GIF));
  EXPECT_EQ(Run("convert in.lwp a.gif --dither sideways").code, 2);
  EXPECT_EQ(Run("convert in.lwp a.cur --hotspot 3").code, 2);
}

// A failed save says so once (the reason: save_safety_tests), whether the
// target is a project (reported by the document) or an export.
TEST_F(ExportCli, FailedExportsSayWhyOnceAndKeepTheOldFile) {
  Write("keep.gif", "old");
  fs::create_directory(File("dir.gif"));
  for (const std::string target :
       {"dir.gif", "missing/x.lwp", "missing/x.gif", "x.xyz"}) {
    const RunResult r = Run("convert in.lwp " + target);
    EXPECT_EQ(r.code, 1) << target;
    const std::string failed = "保存到 " + target + " 文件失败!";
    const std::size_t first = r.err.find(failed);
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(failed, first + 1), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(File("x.xyz")));
  // A failed open or a failed export into an existing file leaves it as it was.
  EXPECT_EQ(Run("convert nothing.gif keep.gif").code, 1);
  const RunResult r = Script("open in.lwp\nexport keep.gif/sub.gif\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("文件失败!"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(File("keep.gif")), "old");
  EXPECT_EQ(Run("convert in.lwp").code, 2);
}

// Every animation export shows the caption "写入文件" with the file name on
// a terminal (and nothing when stderr is not one: checked above).
TEST_F(ExportCli, ExportsShowTheWritingCaptionOnATerminal) {
  for (const std::string out : {"a.gif", "a.psd"}) {
    const RunResult r = RunOnTerminal("convert in.lwp " + out);
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("写入文件 " + out), std::string::npos) << r.out;
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

int Distance2(const Rgb& a, const Rgb& b) {
  return (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]);
}

double MeanError(const std::vector<Rgb>& a, const std::vector<Rgb>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::sqrt(double(Distance2(a[i], b[i])));
  return sum / double(a.size());
}

// A median-cut palette of n colours (the box with the widest channel is
// split at its median) and the picture mapped to its nearest entries.
std::vector<Rgb> MedianCut(const std::vector<Rgb>& px, int n) {
  std::vector<std::vector<Rgb>> boxes{px};
  while (int(boxes.size()) < n) {
    std::size_t pick = 0, channel = 0;
    int widest = -1;
    for (std::size_t i = 0; i < boxes.size(); ++i)
      for (std::size_t c = 0; c < 3; ++c) {
        auto [lo, hi] = std::minmax_element(boxes[i].begin(), boxes[i].end(),
                                            [c](const Rgb& a, const Rgb& b) { return a[c] < b[c]; });
        if ((*hi)[c] - (*lo)[c] > widest) pick = i, channel = c, widest = (*hi)[c] - (*lo)[c];
      }
    std::vector<Rgb> box = std::move(boxes[pick]);
    std::sort(box.begin(), box.end(), [channel](const Rgb& a, const Rgb& b) { return a[channel] < b[channel]; });
    const auto middle = box.begin() + std::ptrdiff_t(box.size() / 2);
    boxes[pick] = std::vector<Rgb>(box.begin(), middle);
    boxes.emplace_back(middle, box.end());
  }
  std::vector<Rgb> palette;
  for (const auto& box : boxes) {
    Rgb mean{0, 0, 0};
    for (const Rgb& p : box)
      for (std::size_t c = 0; c < 3; ++c) mean[c] += p[c];
    for (int& v : mean) v = int(std::lround(double(v) / double(box.size())));
    palette.push_back(mean);
  }
  std::vector<Rgb> out;
  for (const Rgb& p : px)
    out.push_back(*std::min_element(palette.begin(), palette.end(),
                                    [&p](const Rgb& a, const Rgb& b) { return Distance2(a, p) < Distance2(b, p); }));
  return out;
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
      px.push_back(Rgb{x * 4, y * 4, (x + y) * 2});
    }
  ASSERT_TRUE(WritePngPicture(pic.get(), File("grad.png")));
  for (int n : {2, 5}) {
    SCOPED_TRACE(n);
    ASSERT_EQ(Run("convert grad.png out.gif --colors " + std::to_string(n)).code, 0);
    DibPtr got = LoadPng("out.gif");
    ASSERT_NE(got, nullptr);
    std::vector<Rgb> out;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) out.push_back(RgbAt(got.get(), x, y));
    std::vector<Rgb> distinct = out;
    std::sort(distinct.begin(), distinct.end());
    const auto used = std::unique(distinct.begin(), distinct.end()) - distinct.begin();
    EXPECT_GE(used, 2);
    EXPECT_LE(used, n);
    EXPECT_LE(MeanError(px, out), MeanError(px, MedianCut(px, n)) * 1.1);
  }
}

}  // namespace
