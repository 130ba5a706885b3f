// GIF images with every legal LZW minimum code size (2 to 11): the pixels
// come back exactly, written both by the compressing encoder (the table
// grows to 12-bit codes, cleared when full or kept full) and by a literal-
// only stream built here; literal codes past the colour table show black.
#include <gtest/gtest.h>

#include "companions/imageio/gif_lzw.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// Literal codes only, a clear before the code width would grow: an encoder
// independent of the one under test.
std::vector<std::uint8_t> LiteralStream(const std::vector<std::uint16_t>& px, int minCodeSize) {
  const int clear = 1 << minCodeSize, width = minCodeSize + 1;
  std::vector<std::uint8_t> out;
  std::uint32_t bits = 0;
  int count = 0;
  auto put = [&](int code) {
    bits |= std::uint32_t(code) << count;
    for (count += width; count >= 8; count -= 8, bits >>= 8) out.push_back(std::uint8_t(bits));
  };
  put(clear);
  int sinceClear = 0;
  for (std::uint16_t v : px) {
    put(v);
    // The decoder's table gains an entry per code after the first.
    if (++sinceClear + clear + 1 >= (1 << width) - 1) {
      put(clear);
      sinceClear = 0;
    }
  }
  put(clear + 1);
  if (count > 0) out.push_back(std::uint8_t(bits));
  return out;
}

// One image, 8-entry global table (entry i = (i*30, 200-i*20, i*7)).
std::vector<unsigned char> GifFile(int w, int h, int minCodeSize, const std::vector<std::uint8_t>& stream,
                                   bool interlaced) {
  std::vector<unsigned char> b = {'G', 'I', 'F', '8', '9', 'a', BYTE(w), BYTE(w >> 8), BYTE(h), BYTE(h >> 8), 0x82, 0, 0};
  for (int i = 0; i < 8; ++i) b.insert(b.end(), {BYTE(i * 30), BYTE(200 - i * 20), BYTE(i * 7)});
  b.insert(b.end(), {',', 0, 0, 0, 0, BYTE(w), BYTE(w >> 8), BYTE(h), BYTE(h >> 8), BYTE(interlaced ? 0x40 : 0)});
  b.push_back(BYTE(minCodeSize));
  for (std::size_t i = 0; i < stream.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, stream.size() - i);
    b.push_back(BYTE(n));
    b.insert(b.end(), stream.begin() + std::ptrdiff_t(i), stream.begin() + std::ptrdiff_t(i + n));
  }
  b.insert(b.end(), {0, ';'});
  return b;
}

}  // namespace

TEST(GifCodeSize, EveryMinimumCodeSizeDecodesExactly) {
  struct Case {
    int minCodeSize;
    bool pastTable;  // a few literal codes beyond the 8-entry table (and past 255 when wide)
  };
  const Case cases[] = {{2, false}, {3, false}, {8, false}, {8, true}, {9, false}, {9, true}, {10, true}, {11, false}, {11, true}};
  enum Writer { Literal, ClearWhenFull, KeepFull };
  TempDir dir;
  const int w = 97, h = 61;  // 5917 pixels: the compressing encoder's table fills
  for (const Case& c : cases)
    for (Writer writer : {Literal, ClearWhenFull, KeepFull})
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE(testing::Message() << "min code size " << c.minCodeSize << ", past table " << c.pastTable
                                        << ", writer " << writer << ", interlaced " << interlaced);
        const int limit = std::min(8, 1 << c.minCodeSize);
        std::vector<std::uint16_t> px(std::size_t(w) * h);  // in stream order
        for (std::size_t i = 0; i < px.size(); ++i) px[i] = std::uint16_t((i * 7 + i / 13) % limit);
        if (c.pastTable) {
          const int top = (1 << c.minCodeSize) - 1;
          for (std::size_t i = 3; i < px.size(); i += 301) px[i] = std::uint16_t(i % 2 ? top : 8 + i % 5);
        }
        const std::vector<std::uint8_t> stream =
            writer == Literal ? LiteralStream(px, c.minCodeSize)
                              : EncodeGifLzw(px.data(), px.size(), c.minCodeSize,
                                             writer == ClearWhenFull ? LzwClear::WhenFull : LzwClear::Never);
        const std::string name = "c.gif";
        WriteBytes(dir.File(name), GifFile(w, h, c.minCodeSize, stream, interlaced));
        CTevImageInfoPack pack;
        ASSERT_EQ(Load(pack, dir.File(name), IMAGE_FORMAT_GIF), IMAGEIO_OK) << pack.errorText;
        ASSERT_NE(pack.picture, nullptr);
        ASSERT_EQ(pack.picture->biBitCount, 8);
        const RGBQUAD* pal = DibPalette(pack.picture.get());
        const int entries = int(DibPaletteEntries(pack.picture.get()));
        // Stream order to rows: interlaced images send rows 0, 8, ..; 4, 12, ..; 2, 6, ..; 1, 3, ...
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        std::vector<int> rowOrder;
        for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
          for (int y = interlaced ? kStart[pass] : 0; y < h; y += interlaced ? kStep[pass] : 1) rowOrder.push_back(y);
        int wrong = 0;
        for (int r = 0; r < h; ++r)
          for (int x = 0; x < w; ++x) {
            const int want = px[std::size_t(r) * w + x];
            const BYTE got = DibRow(pack.picture.get(), rowOrder[std::size_t(r)])[x];
            ASSERT_LT(int(got), entries);
            const RGBQUAD q = pal[got];
            const bool ok = want < 8 ? q.rgbRed == want * 30 && q.rgbGreen == 200 - want * 20 && q.rgbBlue == want * 7
                                     : q.rgbRed == 0 && q.rgbGreen == 0 && q.rgbBlue == 0;
            wrong += !ok;
          }
        EXPECT_EQ(wrong, 0);
      }
}

TEST(GifCodeSize, StreamsThatBreakTheCodeRulesAreRefused) {
  TempDir dir;
  const std::vector<std::uint16_t> px(40, 1);
  const std::vector<std::uint8_t> good = EncodeGifLzw(px.data(), px.size(), 9, LzwClear::WhenFull);
  // Minimum code size 12 would need 13-bit codes; 0 has no room for the end code.
  for (int size : {0, 12, 255}) ExpectRefused(dir, "size.gif", GifFile(8, 5, size, good, false), IMAGE_FORMAT_GIF);
  // A code not yet in the table right after the clear (9-bit code 0x1FF).
  ExpectRefused(dir, "undefined.gif", GifFile(8, 5, 8, {0x00, 0xFF, 0x03, 0x02}, false), IMAGE_FORMAT_GIF);
  // Too few pixels before the end code.
  std::vector<std::uint8_t> shortStream = EncodeGifLzw(px.data(), 20, 9, LzwClear::WhenFull);
  ExpectRefused(dir, "short.gif", GifFile(8, 5, 9, shortStream, false), IMAGE_FORMAT_GIF);
}
