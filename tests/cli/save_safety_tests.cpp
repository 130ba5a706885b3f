// Saves respect their target: a read-only file is refused unless --force, the
// old file's mode survives, a save killed mid-write leaves only the old
// target, and running out of memory is reported instead of aborting.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>

#include "cli/cli_harness.h"
#include "companions/imageio/codec_io.h"

namespace {

class SaveSafety : public CliFixture {
 protected:
  mode_t Mode(const std::string& name) const {
    struct stat st {};
    return ::stat(File(name).c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SaveSafety, ReadOnlyTargetRefusedUnlessForcedAndModeKept) {
  ASSERT_EQ(Run("new in.lwp --width 8 --height 6").code, 0);
  struct Case {
    const char* out;
    const char* args;
  } cases[] = {{"t.gif", "convert in.lwp t.gif"},
               {"t.lwp", "convert in.lwp t.lwp"},
               {"t1.png", "convert in.lwp --frames t.png"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.out);
    const std::string args = c.args;
    Write(c.out, "old");
    ::chmod(File(c.out).c_str(), 0444);
    RunResult r = Run(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("permission denied"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(File(c.out)), "old");
    r = Run("--force " + args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(Slurp(File(c.out)), "old");
    EXPECT_EQ(Mode(c.out), 0444u);
    ::chmod(File(c.out).c_str(), 0640);
    ASSERT_EQ(Run(args).code, 0);
    EXPECT_EQ(Mode(c.out), 0640u);
  }
}

TEST_F(SaveSafety, KilledSaveLeavesOnlyTheOldTarget) {
  Write("target.bin", "old");
  const std::vector<std::string> before = Entries();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TevImageIO::CAtomicFileWriter writer(File("target.bin"));
    std::string reason;
    if (FILE* f = writer.Open(reason)) {
      std::vector<char> block(1 << 20, 'x');
      std::fwrite(block.data(), 1, block.size(), f);
      std::fflush(f);
    }
    ::kill(::getpid(), SIGKILL);
    ::_exit(3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(Entries(), before);
  EXPECT_EQ(Slurp(File("target.bin")), "old");
}

TEST_F(SaveSafety, HugeCanvasSaysItIsTooLargeToRender) {
  // 65535 x 65535 screen with one 1 x 1 frame.
  const unsigned char gif[] = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0, 0, 0,
                               0xFF, 0xFF, 0xFF, ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, ';'};
  Write("huge.gif", std::string(reinterpret_cast<const char*>(gif), sizeof gif));
  Write("out.png", "old");
  const RunResult r = Run("render huge.gif out.png");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("too large to render"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(File("out.png")), "old");
}

#if !defined(__SANITIZE_ADDRESS__)
// The address-space limit makes the canvas allocation fail; the tool reports
// it and leaves the existing target alone.
TEST_F(SaveSafety, OutOfMemoryIsReported) {
  Write("out.png", "old");
  // 20000 x 20000 x 4 bytes cannot be had under a 600 MB address-space limit.
  struct rlimit old {};
  ::getrlimit(RLIMIT_AS, &old);
  struct rlimit lim = old;
  lim.rlim_cur = 600ull << 20;
  ::setrlimit(RLIMIT_AS, &lim);  // inherited by the tool through popen
  RunResult r = Script("new 20000 20000\nrender out.png 0\n");
  ::setrlimit(RLIMIT_AS, &old);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("out of memory"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(File("out.png")), "old");
}
#endif

}  // namespace
