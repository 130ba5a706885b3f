// Byte layout of the movie writers: header, stage RECT, bitmap tags, the
// size measure, and refusal of bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "app/temp_dir.h"
#include "companions/dibkernel/dib_kernel.h"
#include "export/swf_encoder.h"
#include "swf_test_util.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// MSB-first reader for checking bit fields.
struct BitReader {
  const Bytes& d;
  std::size_t bit = 0;
  long long U(int n) {
    long long v = 0;
    for (int i = 0; i < n; ++i, ++bit) v = (v << 1) | ((d[bit >> 3] >> (7 - (bit & 7))) & 1);
    return v;
  }
  long long S(int n) {
    const long long v = U(n);
    return (v & (1LL << (n - 1))) ? v - (1LL << n) : v;
  }
};

DibPtr Solid32(LONG w, LONG h, COLORREF c) { return DibPtr(CDIB32::CreateSimple32BitsDIB(w, h, c, 255)); }

DibPtr Mask(LONG w, LONG h, const std::vector<bool>& opaque) {
  DibPtr m(DibAlloc(w, h, 1, 2));
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x)
      if (opaque[std::size_t(y * w + x)]) DibRow(m.get(), y)[x >> 3] |= BYTE(0x80 >> (x & 7));
  return m;
}

std::vector<CSWFFrameOptimal> OneEntry(LONG w, LONG h) {
  std::vector<CSWFFrameOptimal> entries(1);
  entries[0].image = Solid32(w, h, 0x336699);
  return entries;
}

TEST(SwfEncoder, HeaderOfAOneFrameMovie) {
  Bytes movie;
  CSwfEncoder encoder;
  ASSERT_TRUE(encoder.BuildMovie(OneEntry(100, 50), 100, 50, 10, movie, nullptr));
  ASSERT_GT(movie.size(), 25u);
  EXPECT_EQ(Bytes(movie.begin(), movie.begin() + 4), (Bytes{'F', 'W', 'S', 4}));
  const std::uint32_t length = movie[4] | (movie[5] << 8) | (movie[6] << 16) | (std::uint32_t(movie[7]) << 24);
  EXPECT_EQ(length, movie.size());
  // After the 9-byte stage RECT: 10 frames a second (8.8 fixed), one frame.
  EXPECT_EQ(Bytes(movie.begin() + 17, movie.begin() + 21), (Bytes{0x00, 0x0A, 0x01, 0x00}));
  // The movie ends with a show-frame tag and the end tag.
  EXPECT_EQ(Bytes(movie.end() - 4, movie.end()), (Bytes{0x40, 0x00, 0x00, 0x00}));
}

TEST(SwfEncoder, StageRectKeepsFifteenBitsUntilTheStageNeedsMore) {
  const struct { LONG w, h; int bits; } cases[] = {
      {100, 50, 15}, {819, 819, 15}, {820, 10, 16}, {1000, 700, 16}, {2000, 2000, 17}, {4000, 300, 18}};
  for (const auto& c : cases) {
    Bytes movie;
    ASSERT_TRUE(CSwfEncoder().BuildMovie(OneEntry(1, 1), c.w, c.h, 12, movie, nullptr));
    const Bytes rect(movie.begin() + 8, movie.end());
    BitReader r{rect};
    const int n = int(r.U(5));
    EXPECT_EQ(n, c.bits) << c.w << "x" << c.h;
    EXPECT_EQ(r.S(n), 0);
    EXPECT_EQ(r.S(n), c.w * 20LL);
    EXPECT_EQ(r.S(n), 0);
    EXPECT_EQ(r.S(n), c.h * 20LL);
  }
}

TEST(SwfEncoder, NoiseThatDoesNotCompressStillEncodes) {
  DibPtr dib = Solid32(64, 64, 0);
  std::mt19937 rng(7);
  BYTE* bits = DibBits(dib.get());
  for (std::size_t i = 0; i < DibImageBytes(dib.get()); ++i) bits[i] = BYTE(rng());
  CSwfBitmapTag tag;
  ASSERT_TRUE(CSwfEncoder().EncodeBitmap(dib.get(), nullptr, tag));
  const Bytes data = swf_test::Inflate(tag.body.data() + 5, tag.body.size() - 5, 64 * 64 * 4);
  ASSERT_EQ(data.size(), 64u * 64 * 4);
  const BYTE* top = DibRow(dib.get(), 0);
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 4), (Bytes{0, top[2], top[1], top[0]}));
}

TEST(SwfEncoder, MeasureMatchesTheTagAndStopsPastTheLimit) {
  DibPtr dib = Solid32(48, 32, 0);
  std::mt19937 rng(3);
  for (LONG y = 0; y < 32; ++y)
    for (LONG x = 0; x < 48; ++x) {
      BYTE* p = DibRow(dib.get(), y) + 4 * x;
      p[0] = BYTE(x * 5);
      p[1] = BYTE(y * 7 + (rng() & 15));
      p[2] = 90;
    }
  std::vector<bool> opaque(48 * 32, true);
  for (std::size_t i = 0; i < opaque.size(); i += 5) opaque[i] = false;
  DibPtr mask = Mask(48, 32, opaque);
  const CSwfEncoder lossless;
  const CJPGSwfEncoder jpeg(85);
  for (const CSwfEncoder* encoder : {&lossless, static_cast<const CSwfEncoder*>(&jpeg)})
    for (const BITMAPINFOHEADER* m : {static_cast<const BITMAPINFOHEADER*>(nullptr), static_cast<const BITMAPINFOHEADER*>(mask.get())}) {
      CSwfBitmapTag tag;
      long long size = 0, limited = 0;
      ASSERT_TRUE(encoder->EncodeBitmap(dib.get(), m, tag));
      ASSERT_TRUE(encoder->MeasureBitmap(dib.get(), m, size));
      EXPECT_EQ(size, encoder->TagCost(tag)) << (encoder == &lossless) << (m != nullptr);
      ASSERT_TRUE(encoder->MeasureBitmap(dib.get(), m, limited, size / 2));
      EXPECT_GT(limited, size / 2);
      ASSERT_TRUE(encoder->MeasureBitmap(dib.get(), m, limited, size));
      EXPECT_EQ(limited, size);  // not past the limit: the exact size
    }
}

TEST(SwfEncoder, BadInputFailsAndKeepsTheOldFile) {
  DibPtr dib = Solid32(4, 4, 0);
  DibPtr small = Mask(2, 2, {true, true, true, true});
  DibPtr deep(DibAlloc(4, 4, 8, 2));
  CSwfBitmapTag tag;
  CSwfEncoder encoder;
  EXPECT_FALSE(encoder.EncodeBitmap(dib.get(), small.get(), tag));
  EXPECT_FALSE(encoder.EncodeBitmap(dib.get(), deep.get(), tag));
  TempDir dir;
  const std::string path = dir.File("old.swf");
  std::ofstream(path) << "old movie";
  std::vector<CSWFFrameOptimal> broken(1);  // a picture entry without a picture
  std::string reason;
  EXPECT_FALSE(encoder.WriteMovie(path, broken, 4, 4, 10, nullptr, &reason));
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "old movie");
}

}  // namespace
