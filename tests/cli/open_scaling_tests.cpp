// Limits users meet: a long animation of tiny frames opens and converts with
// memory that grows with the frame count, not with its square (the tool's
// peak resident memory, getrusage of the children, stays within a bound per
// frame); a video export clears stale temporaries of its target; an
// oversized shape names the size limit.
#include <sys/resource.h>
#include <sys/time.h>

#include "cli/cli_harness.h"

namespace {

// A GIF of frames 1 x 1 frames, frame i showing colour i % 4 of a global
// 4-colour table. Each frame: graphic control (disposal 1, delay 2), image
// descriptor, LZW data of code size 2: clear (4), the index, end (5), three
// bits each, least significant first.
std::string TinyFramesGif(int frames) {
  std::string g = "GIF89a";
  g += std::string("\x01\x00\x01\x00\xF1\x00\x00", 7);
  const unsigned char palette[12] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  g.append(reinterpret_cast<const char*>(palette), 12);
  for (int i = 0; i < frames; ++i) {
    g += std::string("\x21\xF9\x04\x04\x02\x00\x00\x00", 8);
    g += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
    const unsigned bits = 4u | (unsigned(i % 4) << 3) | (5u << 6);
    g += '\x02';  // LZW minimum code size
    g += '\x02';  // one data block of two bytes
    g += char(bits & 0xFF);
    g += char(bits >> 8);
    g += '\x00';
  }
  g += '\x3B';
  return g;
}

long PeakChildKiB() {
  struct rusage u {};
  ::getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_maxrss;
}

class OpenScaling : public CliFixture {};

TEST_F(OpenScaling, TwentyThousandTinyFramesOpenAndConvertInLinearMemory) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's quarantine and shadow memory dwarf the model and it runs
  // the tool some thirty times slower: a shorter animation keeps the check.
  constexpr int kFrames = 3000;
#else
  constexpr int kFrames = 20000;
#endif
  Write("long.gif", TinyFramesGif(kFrames));
  const RunResult r = Run("convert long.gif out.gif");
  ASSERT_EQ(r.code, 0) << r.err;
  [[maybe_unused]] const long peakKiB = PeakChildKiB();
  // Decoded, the animation is 20,000 x 4 bytes; every frame also carries its
  // own object (picture, header, shadow state) and reference. Stored as
  // frames x objects references it would need more than 20,000^2 x 8 bytes
  // (3 GB); the bound allows 2 KiB per frame over a 128 MiB base (measured:
  // about 88 MiB in all). Under the address sanitizer the tool's peak is its
  // own reservations (about 800 MiB at any frame count), so only the normal
  // build checks the bound.
#if !defined(__SANITIZE_ADDRESS__)
  const long boundKiB = 128 * 1024 + kFrames * 2;
  EXPECT_LT(peakKiB, boundKiB);
#endif
  // Nothing lost: the written GIF holds every frame.
  const RunResult info = Run("info out.gif");
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_NE(info.out.find(std::to_string(kFrames)), std::string::npos) << info.out.substr(0, 400);
}

// A video export writes through a named temporary file; one left by an
// earlier export of the same target that was killed is removed by the next,
// while a fresh one (an export still running) and other targets' stay.
TEST_F(OpenScaling, VideoExportRemovesStaleTemporariesOfItsTarget) {
  ASSERT_EQ(Run("new in.lwp --width 8 --height 6").code, 0);
  struct Case {
    const char* name;
    bool old;
    bool removed;
  } cases[] = {{".out.avi.AbC123", true, true},
               {".out.avi.XyZ789", false, false},
               {".other.avi.AbC123", true, false},
               {".out.avi.toolong1", true, false}};
  for (const Case& c : cases) {
    Write(c.name, "partial");
    if (c.old) {
      const struct timeval past[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
      ASSERT_EQ(::utimes(File(c.name).c_str(), past), 0);
    }
  }
  const RunResult r = Run("convert in.lwp out.avi");
  ASSERT_EQ(r.code, 0) << r.err;
  for (const Case& c : cases)
    EXPECT_EQ(std::filesystem::exists(File(c.name)), !c.removed) << c.name;
}

// A shape whose picture would exceed the per-picture limit is refused with
// the limit named; one that fits is drawn.
TEST_F(OpenScaling, OversizedShapeNamesTheSizeLimit) {
  struct Case {
    const char* size;
    bool fits;
  } cases[] = {{"w=65535 h=65535", false}, {"w=40000 h=20000", false}, {"w=30 h=20", true}};
  for (const Case& c : cases) {
    const RunResult r = Script(std::string("new 8 8\nadd-shape star ") + c.size + "\n");
    if (c.fits) {
      EXPECT_EQ(r.code, 0) << c.size << ": " << r.err;
      continue;
    }
    EXPECT_EQ(r.code, 1) << c.size;
    EXPECT_NE(r.err.find("too large to draw"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2048 MiB"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("nothing to draw"), std::string::npos) << r.err;
  }
}

// A failed save says so once, with the reason, whether the target is a
// project (reported by the document) or an export.
TEST_F(OpenScaling, FailedSaveReportsOnceWithTheReason) {
  ASSERT_EQ(Run("new in.lwp --width 8 --height 6").code, 0);
  for (const char* out : {"missing/x.lwp", "missing/x.gif"}) {
    const RunResult r = Run(std::string("convert in.lwp ") + out);
    EXPECT_EQ(r.code, 1) << out;
    const std::string failed = std::string("Failed to save to the file ") + out;
    const std::size_t first = r.err.find(failed);
    ASSERT_NE(first, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(failed, first + 1), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
  }
}

}  // namespace
