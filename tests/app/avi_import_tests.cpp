// Opening AVI videos: uncompressed frames come back pixel for pixel with the
// stream's delay; the memory fallback keeps a third of what fitted, spread
// over the video; damaged headers fail; the corpus's compressed streams decode.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/avi_import.h"
#include "app/avi_test_util.h"
#include "app/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class AviImport : public ::testing::Test {
 protected:
  std::string File(const std::string& name) const { return dir_.File(name); }
  TempDir dir_;
};

// Frame f of the test pattern, checked at every pixel, opaque.
void ExpectFrame(const CGifImage& m, std::size_t index, int f) {
  SCOPED_TRACE("frame " + std::to_string(index) + " = video frame " + std::to_string(f));
  ASSERT_LT(index, m.m_frames.size());
  const CGifFrame& frame = *m.m_frames[index];
  ASSERT_EQ(frame.m_refs.size(), 1u);
  const BITMAPINFOHEADER* pic = frame.m_refs[0]->m_pObject->GetImage();
  ASSERT_NE(pic, nullptr);
  ASSERT_EQ(pic->biWidth, m.m_nWidth);
  ASSERT_EQ(DibHeight(pic), m.m_nHeight);
  for (LONG y = 0; y < DibHeight(pic); ++y)
    for (LONG x = 0; x < pic->biWidth; ++x) {
      const BYTE* p = DibRow(pic, y) + 4 * x;
      const AviRgb want = AviPixel(f, x, y);
      ASSERT_EQ(std::vector<BYTE>(p, p + 4), (std::vector<BYTE>{want.b, want.g, want.r, 255})) << x << "," << y;
    }
}

// Imports path into m and checks the canvas size, frame count and first delay.
void ExpectImport(CGifImage& m, const std::string& path, int w, int h, int frames, int delay) {
  std::string reason;
  ASSERT_TRUE(ImportAviFile(m, path, nullptr, &reason)) << reason;
  EXPECT_EQ(m.m_nWidth, w);
  EXPECT_EQ(m.m_nHeight, h);
  ASSERT_EQ(m.GetFrameCount(), frames);
  EXPECT_EQ(m.m_frames[0]->m_nDelay, delay);
}

}  // namespace

TEST_F(AviImport, UncompressedFramesComeBackExactlyWithTheStreamDelay) {
  ASSERT_TRUE(WriteAvi(File("v.avi"), AviLayout{}));  // 5 x 3 (padded rows), 30 frames at 15 per second
  CGifImage m;
  ASSERT_NO_FATAL_FAILURE(ExpectImport(m, File("v.avi"), 5, 3, 30, 7));
  ASSERT_EQ(m.GetObjectCount(), 30);
  for (int f = 0; f < 30; ++f) {
    EXPECT_EQ(m.m_frames[std::size_t(f)]->m_nDelay, 7);  // 6.67 rounded
    EXPECT_EQ(m.m_frames[std::size_t(f)]->m_refs[0]->m_pObject, m.m_objects[std::size_t(f)]);
    ExpectFrame(m, std::size_t(f), f);
  }
}

TEST_F(AviImport, MemoryCapKeepsAThirdOfTheFramesSpreadOverTheVideo) {
  ASSERT_TRUE(WriteAvi(File("v.avi"), AviLayout{}));
  const std::size_t frameBytes = 40 + 5 * 3 * 4;
  CGifImage m;
  std::string reason;
  // 14 fit: n = 4, every 7th from 30 mod 4 = 2; the delay covers 7.5 frames each.
  ASSERT_TRUE(ImportAviFile(m, File("v.avi"), nullptr, &reason, 14 * frameBytes)) << reason;
  ASSERT_EQ(m.GetFrameCount(), 4);
  for (int i = 0; i < 4; ++i) ExpectFrame(m, std::size_t(i), 2 + 7 * i);
  EXPECT_EQ(m.m_frames[0]->m_nDelay, 50);  // 100 x 30 / 15 / 4

  // Two frames are too few to sample from.
  EXPECT_FALSE(ImportAviFile(m, File("v.avi"), nullptr, &reason, 2 * frameBytes + 1));
  EXPECT_EQ(m.GetFrameCount(), 0);
  EXPECT_EQ(m.GetObjectCount(), 0);
}

TEST_F(AviImport, DamagedFilesFailWithAnEmptyModel) {
  AviLayout cut, wide, empty, negative;
  cut.truncateTo = 40;  // inside the main header
  wide.headerWidth = 65535;  // each side allowed, the picture too large
  wide.headerHeight = 65535;
  empty.frames = 0;
  negative.headerHeight = 0x80000000LL;
  for (const AviLayout& avi : {cut, wide, empty, negative}) {
    ASSERT_TRUE(WriteAvi(File("bad.avi"), avi));
    CGifImage m;
    std::string reason;
    EXPECT_FALSE(ImportAviFile(m, File("bad.avi"), nullptr, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(m.GetFrameCount(), 0);
  }
  // The frames are cut off but the header is whole: what was stored decodes.
  AviLayout partial;
  partial.truncateTo = MakeAvi(AviLayout{}).size() / 2;
  ASSERT_TRUE(WriteAvi(File("partial.avi"), partial));
  CGifImage m;
  ASSERT_TRUE(ImportAviFile(m, File("partial.avi"), nullptr));
  EXPECT_GT(m.GetFrameCount(), 5);
  EXPECT_LT(m.GetFrameCount(), 30);
  ExpectFrame(m, 5, 5);
}

TEST_F(AviImport, CorpusVideos) {
  const fs::path corpus = "/work/shared/corpus";
  if (!fs::exists(corpus / "avi")) GTEST_SKIP() << "sample corpus not present";
  struct Expect {
    const char* file;
    int w, h, frames, delay;
  } good[] = {{"avi/win32xx-upload.avi", 272, 60, 34, 10}, {"avi/riffparse-test.avi", 32, 24, 20, 5}};
  for (const Expect& e : good) {
    SCOPED_TRACE(e.file);
    CGifImage m;
    ExpectImport(m, (corpus / e.file).string(), e.w, e.h, e.frames, e.delay);
  }
  CGifImage m;
  EXPECT_FALSE(ImportAviFile(m, (corpus / "avi/riffparse-mp3.avi").string(), nullptr));  // audio only
}
