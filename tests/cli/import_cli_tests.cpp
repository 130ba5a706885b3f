// Opening pictures through the loopwright tool: damaged files of every
// reader fail with the loading message and exit code 1, the --psd-layers
// option answers the layered-picture question for one run.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/cli_harness.h"

namespace fs = std::filesystem;

namespace {

using ImportCliWideGif = CliFixture;

// Builds a good and a cut layered PSD.
const char* kMakeBadFiles = R"PY(
import sys, struct
d = sys.argv[1]
def put(name, data):
    open(d + '/' + name, 'wb').write(data)
# A good layered PSD: two layers.
def layer(top, left, bottom, right, value):
    w, h = right - left, bottom - top
    chans = [(c, struct.pack('>H', 0) + bytes([value]) * (w * h)) for c in range(3)]
    rec = struct.pack('>4iH', top, left, bottom, right, 3) + b''.join(struct.pack('>hI', c, len(b)) for c, b in chans)
    extra = struct.pack('>II', 0, 0) + b'\x03abc'
    rec += b'8BIMnorm' + bytes([255, 0, 0, 0]) + struct.pack('>I', len(extra)) + extra
    return rec, b''.join(b for _, b in chans)
ls = [layer(0, 0, 4, 6, 10), layer(1, 1, 3, 3, 200)]
info = struct.pack('>h', 2) + b''.join(r for r, _ in ls) + b''.join(c for _, c in ls)
section = struct.pack('>I', len(info)) + info + struct.pack('>I', 0)
good = b'8BPS' + struct.pack('>H', 1) + b'\0' * 6 + struct.pack('>HIIHH', 3, 4, 6, 8, 3)
good += struct.pack('>II', 0, 0) + struct.pack('>I', len(section)) + section + struct.pack('>H', 0) + b'\x20' * 72
put('layers.psd', good)
put('cutlayers.psd', good[:len(good) - 72 - 30])
)PY";

class ImportCliTest : public CliFixture {
 protected:
  bool MakeFiles() const {
    Write("make.py", kMakeBadFiles);
    return std::system(("/usr/bin/python3 '" + File("make.py") + "' '" + dir_.string() + "'").c_str()) == 0;
  }
};

// A GIF with a 9-bit minimum code size (legal, written by some encoders)
// opens: its 2 x 2 pixels render in their table colours.
TEST_F(ImportCliWideGif, WideMinimumCodeSizeOpens) {
  // clear 512, literals 1 2 3 0, end 513: six 10-bit codes.
  std::uint64_t bits = 0;
  int n = 0;
  for (int code : {512, 1, 2, 3, 0, 513}) bits |= std::uint64_t(code) << (10 * n++);
  std::string gif = std::string("GIF89a\x02\x00\x02\x00\x81\x00\x00", 13);
  gif += std::string("\x00\x00\x00\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 12);  // black, red, green, blue
  gif += std::string(",\x00\x00\x00\x00\x02\x00\x02\x00\x00\x09\x08", 12);
  for (int i = 0; i < 8; ++i) gif += char((bits >> (8 * i)) & 0xFF);
  gif += std::string("\x00;", 2);
  Write("wide.gif", gif);
  const RunResult r = Run("render wide.gif out.png");
  ASSERT_EQ(r.code, 0) << r.err;
  DibPtr out = LoadPng("out.png");
  ASSERT_NE(out, nullptr);
  const BYTE* top = DibRow(out.get(), 0);
  const BYTE* bottom = DibRow(out.get(), 1);
  EXPECT_EQ(top[2], 255);      // red
  EXPECT_EQ(top[4 + 1], 255);  // green
  EXPECT_EQ(bottom[0], 255);   // blue
  EXPECT_EQ(bottom[4 + 0] | bottom[4 + 1] | bottom[4 + 2], 0);  // black
}

}  // namespace

// Layer data cut short: the merged picture is also gone, both ways fail with
// the loading message (how the readers refuse other damage is tested with
// the readers; the message for a refused file with the tool's other tests).
TEST_F(ImportCliTest, CutPsdLayersFailEitherWay) {
  ASSERT_TRUE(MakeFiles());
  for (const char* mode : {"objects", "frames"}) {
    const RunResult r = Run(std::string("--psd-layers ") + mode + " info '" + File("cutlayers.psd") + "'");
    EXPECT_EQ(r.code, 1) << mode << "\n" << r.err;
    EXPECT_NE(r.err.find("文件失败!"), std::string::npos) << r.err;
  }
}

TEST_F(ImportCliTest, PsdLayersOptionAnswersForThisRunOnly) {
  ASSERT_TRUE(MakeFiles());
  const RunResult objects = Run("--psd-layers objects info --json '" + File("layers.psd") + "'");
  ASSERT_EQ(objects.code, 0) << objects.err;
  const auto a = nlohmann::json::parse(objects.out);
  EXPECT_EQ(a["frames"].size(), 1u);
  ASSERT_EQ(a["objects"].size(), 2u);
  EXPECT_EQ(a["objects"][1]["width"], 2);
  EXPECT_EQ(a["frames"][0]["refs"][1]["x"], 1);
  EXPECT_EQ(a["frames"][0]["refs"][1]["transparency"], 0);
  EXPECT_EQ(objects.err.find("?"), std::string::npos) << "no question expected: " << objects.err;

  const RunResult frames = Run("--psd-layers frames info --json '" + File("layers.psd") + "'");
  ASSERT_EQ(frames.code, 0) << frames.err;
  const auto b = nlohmann::json::parse(frames.out);
  EXPECT_EQ(b["frames"].size(), 1u);
  EXPECT_EQ(b["objects"].size(), 1u);

  // The stored preferences are not touched.
  EXPECT_FALSE(fs::exists(File("config/loopwright/loopwright.ini")));

  EXPECT_EQ(Run("--psd-layers sideways info '" + File("layers.psd") + "'").code, 2);
}

TEST_F(ImportCliTest, CorpusDamagedFilesNeverCrash) {
  fs::path bad = "/work/shared/corpus/bad";
  if (!fs::exists(bad)) bad = (fs::path(__FILE__).parent_path() / "../../../shared/corpus/bad").lexically_normal();
  if (!fs::exists(bad)) GTEST_SKIP() << "sample corpus not present at " << bad;
  int files = 0;
  for (const auto& e : fs::directory_iterator(bad)) {
    const std::string path = e.path().string();
    const RunResult r = Run("--psd-layers objects info '" + path + "'");
    ++files;
    EXPECT_FALSE(r.signalled) << path << "\n" << r.err;
    EXPECT_TRUE(r.code == 0 || r.code == 1) << path << " exit " << r.code;
    if (r.code == 1) {
      EXPECT_NE(r.err.find("载入 " + path + " 文件失败!"), std::string::npos) << r.err;
    }
  }
  EXPECT_GT(files, 0);
}
