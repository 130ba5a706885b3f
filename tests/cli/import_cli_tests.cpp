// Opening pictures through the loopwright tool: damaged files of every
// reader fail with the loading message and exit code 1, the --psd-layers
// option answers the layered-picture question for one run.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct RunResult {
  int code = -1;
  bool signalled = false;
  std::string out, err;
};

// Builds damaged files of every format: each one cut short, claiming a huge
// size, or with chunk offsets that would loop.
const char* kMakeBadFiles = R"PY(
import sys, struct, io
from PIL import Image
d = sys.argv[1]
def put(name, data):
    open(d + '/' + name, 'wb').write(data)
def saved(im, fmt, **kw):
    b = io.BytesIO()
    im.save(b, format=fmt, **kw)
    return b.getvalue()
rgb = Image.new('RGB', (40, 30))
rgb.putdata([(x * 6, y * 8, (x * y) % 256) for y in range(30) for x in range(40)])
gif = saved(rgb.convert('P'), 'GIF')
put('cut.gif', gif[:len(gif) // 2])
put('huge.gif', b'GIF89a' + struct.pack('<HHBBB', 65535, 65535, 0, 0, 0) + b',' + struct.pack('<HHHHB', 0, 0, 65535, 65535, 0) + b'\x08\x02\x4c\x01\x00;')
jpg = saved(rgb, 'JPEG')
put('cut.jpg', jpg[:len(jpg) * 2 // 3])
tif = saved(rgb, 'TIFF')
put('cut.tif', tif[:60])
tga = saved(rgb, 'TGA', rle=True)
put('cut.tga', tga[:100])
put('huge.tga', tga[:12] + struct.pack('<HH', 65535, 65535) + tga[16:])
pcx = saved(rgb, 'PCX')
put('cut.pcx', pcx[:200])
put('wrong.pcx', pcx[:66] + struct.pack('<H', 3) + pcx[68:])
psd = b'8BPS' + struct.pack('>H', 1) + b'\0' * 6 + struct.pack('>HIIHH', 3, 200000, 200000, 8, 3) + b'\0' * 12 + struct.pack('>H', 0)
put('huge.psd', psd)
def chunk(cid, data):
    return cid + struct.pack('<I', len(data)) + data + (b'\0' if len(data) % 2 else b'')
ico = saved(Image.new('RGBA', (16, 16), (1, 2, 3, 255)), 'ICO', sizes=[(16, 16)])
anih = chunk(b'anih', struct.pack('<9I', 36, 1, 1, 0, 0, 0, 0, 6, 1))
put('loop.ani', b'RIFF\0\0\0\0ACON' + b'LIST' + struct.pack('<I', 0xFFFFFFF0) + anih + chunk(b'LIST', b'fram' + chunk(b'icon', ico)))
put('past.ani', b'RIFF\0\0\0\0ACON' + anih + b'LIST' + struct.pack('<I', 12) + b'framicon' + struct.pack('<I', 100000) + ico[:50])
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

class ImportCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("lw-import-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config" / "loopwright");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  bool MakeFiles() const {
    std::ofstream(File("make.py")) << kMakeBadFiles;
    return std::system(("/usr/bin/python3 '" + File("make.py") + "' '" + dir_.string() + "'").c_str()) == 0;
  }
  static bool HavePil() { return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0; }

  RunResult Run(const std::string& args) const {
    const std::string cmd = "XDG_CONFIG_HOME='" + File("config") + "' '" LW_TOOL "' " + args + " 2> '" +
                            File("stderr.txt") + "' < /dev/null";
    RunResult r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    // The shell reports a child killed by a signal as 128 + the signal.
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.signalled = !WIFEXITED(status) || r.code > 128;
    std::ifstream e(File("stderr.txt"));
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
  }

  fs::path dir_;
};

}  // namespace

TEST_F(ImportCliTest, DamagedPicturesFailWithTheLoadingMessage) {
  if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
  ASSERT_TRUE(MakeFiles());
  for (const char* name : {"cut.gif", "huge.gif", "cut.jpg", "cut.tif", "cut.tga", "huge.tga", "cut.pcx", "wrong.pcx",
                           "huge.psd", "loop.ani", "past.ani"}) {
    SCOPED_TRACE(name);
    const RunResult r = Run("info '" + File(name) + "'");
    EXPECT_FALSE(r.signalled) << r.err;
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("载入 " + File(name) + " 文件失败!"), std::string::npos) << r.err;
  }
  // Layer data cut short: the merged picture is also gone, both ways fail.
  for (const char* mode : {"objects", "frames"}) {
    const RunResult r = Run(std::string("--psd-layers ") + mode + " info '" + File("cutlayers.psd") + "'");
    EXPECT_EQ(r.code, 1) << mode << "\n" << r.err;
    EXPECT_NE(r.err.find("文件失败!"), std::string::npos) << r.err;
  }
}

TEST_F(ImportCliTest, PsdLayersOptionAnswersForThisRunOnly) {
  if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
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

  // The stored preferences keep their values.
  std::ifstream ini(File("config/loopwright/loopwright.ini"));
  std::stringstream text;
  text << ini.rdbuf();
  EXPECT_NE(text.str().find("ShowPSDOpenFashionTip=1"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("PSDOpenFashion=0"), std::string::npos) << text.str();

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
