#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>

#include "companions/imageio/gif_lzw.h"
#include "companions/imageio/tev_image_io.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

long PeakKiB() {
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

struct TestFrame {
  int x, y, w, h;
  bool interlace;
  bool localMap;  // 4-entry local table instead of the global one
  int transparent;
  int delay;
  int disposal;
};

// Index of pixel (x, y) of frame f.
BYTE FramePixel(int f, int x, int y) { return BYTE((x * 3 + y * 5 + f) % 4); }

// Writes a GIF with giflib: an 8-entry global table, the frames given, and a
// NETSCAPE loop count unless loop < 0.
void WriteGif(const std::string& path, int width, int height, int loop, const std::vector<TestFrame>& frames) {
  int err = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
  ASSERT_NE(gif, nullptr);
  EGifSetGifVersion(gif, true);
  GifColorType global[8];
  for (int i = 0; i < 8; ++i) global[i] = GifColorType{BYTE(i * 30), BYTE(200 - i * 20), BYTE(i * 7)};
  ColorMapObject* gmap = GifMakeMapObject(8, global);
  ASSERT_EQ(EGifPutScreenDesc(gif, width, height, 3, 2, gmap), GIF_OK);
  if (loop >= 0) {
    unsigned char app[] = "NETSCAPE2.0";
    unsigned char sub[3] = {1, BYTE(loop & 0xFF), BYTE(loop >> 8)};
    EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
    EGifPutExtensionBlock(gif, 11, app);
    EGifPutExtensionBlock(gif, 3, sub);
    EGifPutExtensionTrailer(gif);
  }
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const TestFrame& fr = frames[f];
    GraphicsControlBlock gcb{fr.disposal, false, fr.delay, fr.transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    ColorMapObject* local = nullptr;
    if (fr.localMap) {
      GifColorType colors[4] = {{1, 2, 3}, {250, 0, 0}, {0, 250, 0}, {0, 0, 250}};
      local = GifMakeMapObject(4, colors);
    }
    // giflib drops the previous image's local table without freeing it.
    if (gif->Image.ColorMap) {
      GifFreeMapObject(gif->Image.ColorMap);
      gif->Image.ColorMap = nullptr;
    }
    ASSERT_EQ(EGifPutImageDesc(gif, fr.x, fr.y, fr.w, fr.h, fr.interlace, local), GIF_OK);
    std::vector<GifPixelType> row(std::size_t(fr.w));
    std::vector<int> order;
    if (fr.interlace) {
      for (int pass : {0, 1, 2, 3}) {
        static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
        for (int y = start[pass]; y < fr.h; y += step[pass]) order.push_back(y);
      }
    } else {
      for (int y = 0; y < fr.h; ++y) order.push_back(y);
    }
    for (int y : order) {
      for (int x = 0; x < fr.w; ++x) row[std::size_t(x)] = FramePixel(int(f), x, y);
      ASSERT_EQ(EGifPutLine(gif, row.data(), fr.w), GIF_OK);
    }
    if (local) GifFreeMapObject(local);
  }
  GifFreeMapObject(gmap);
  ASSERT_EQ(EGifCloseFile(gif, &err), GIF_OK);
}

const std::vector<TestFrame> kFrames = {
    {0, 0, 20, 10, false, false, -1, 10, 1},
    {3, 2, 9, 5, false, true, 2, 25, 2},
    {5, 1, 7, 9, true, false, 0, 7, 3},
};

}  // namespace

TEST(ImageIoGif, EveryFrameWithItsControlBytesPositionAndPixels) {
  TempDir dir;
  WriteGif(dir.File("a.gif"), 20, 10, 3, kFrames);
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("a.gif"), IMAGE_FORMAT_GIF), 0) << pack.errorText;
  EXPECT_EQ(pack.width, 20);
  EXPECT_EQ(pack.height, 10);
  EXPECT_EQ(pack.loopCount, 3);
  EXPECT_EQ(pack.imageColorIndex, 2);
  EXPECT_EQ(pack.backgroundColor, RGB(60, 160, 14));
  EXPECT_EQ(pack.transparencyMode, TRANSPARENCY_COLOR_INDEX);
  ASSERT_EQ(pack.BlockCount(), 3u);

  for (int f = 0; f < 3; ++f) {
    SCOPED_TRACE(f);
    const TestFrame& fr = kFrames[std::size_t(f)];
    CTevSubImageBlock* b = pack.BlockAt(std::size_t(f));
    EXPECT_EQ(b->x, fr.x);
    EXPECT_EQ(b->y, fr.y);
    EXPECT_EQ(b->delay, fr.delay);
    EXPECT_EQ(b->transparentIndex, fr.transparent);
    EXPECT_EQ((b->byteB >> 2) & 7, fr.disposal);
    EXPECT_EQ(b->byteB & 1, fr.transparent >= 0 ? 1 : 0);
    EXPECT_EQ((b->byteA & 0x40) != 0, fr.interlace);
    EXPECT_EQ((b->byteA & 0x80) != 0, fr.localMap);
    if (fr.localMap) {
      EXPECT_EQ(b->byteA & 7, 1);  // 4 entries
    }
    const BITMAPINFOHEADER* pic = b->picture.get();
    ASSERT_EQ(pic->biBitCount, 8);
    ASSERT_EQ(DibWidth(pic), fr.w);
    ASSERT_EQ(DibHeight(pic), fr.h);
    for (int y = 0; y < fr.h; ++y)
      for (int x = 0; x < fr.w; ++x) ASSERT_EQ(DibRow(pic, y)[x], FramePixel(f, x, y)) << x << "," << y;
    const RGBQUAD& c1 = DibPalette(pic)[1];
    if (fr.localMap) {
      EXPECT_EQ(c1.rgbRed, 250);
      EXPECT_EQ(c1.rgbGreen, 0);
    } else {
      EXPECT_EQ(c1.rgbRed, 30);
      EXPECT_EQ(c1.rgbGreen, 180);
      EXPECT_EQ(c1.rgbBlue, 7);
    }
    // The mask marks every pixel opaque except the transparent index.
    ASSERT_EQ(b->mask != nullptr, fr.transparent >= 0);
    if (b->mask) {
      for (int y = 0; y < fr.h; ++y)
        for (int x = 0; x < fr.w; ++x) {
          bool opaque = (DibRow(b->mask.get(), y)[x >> 3] >> (7 - (x & 7))) & 1;
          ASSERT_EQ(opaque, FramePixel(f, x, y) != fr.transparent) << x << "," << y;
        }
    }
  }
}

// A file cut inside the third image keeps the two whole ones; cut inside the
// first, or damaged at the start, it fails.
TEST(ImageIoGif, TruncatedFileKeepsWholeFramesAndBadFilesFail) {
  TempDir dir;
  WriteGif(dir.File("a.gif"), 20, 10, 0, kFrames);
  std::vector<unsigned char> bytes = ReadBytes(dir.File("a.gif"));
  ASSERT_GT(bytes.size(), 40u);
  std::vector<unsigned char> cut(bytes.begin(), bytes.end() - 8);
  WriteBytes(dir.File("cut.gif"), cut);
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("cut.gif"), IMAGE_FORMAT_GIF), 0) << pack.errorText;
  EXPECT_EQ(pack.BlockCount(), 2u);

  for (long n : {0, 13})
    ExpectRefused(dir, "short" + std::to_string(n) + ".gif",
                  std::vector<unsigned char>(bytes.begin(), bytes.begin() + n), IMAGE_FORMAT_GIF);
  // A 30000 x 20000 image in a 60-byte file fails before allocating for it
  // (600 MB of pixels would show in the peak).
  std::vector<unsigned char> huge = {'G', 'I', 'F', '8', '9', 'a', 100, 0, 100, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                                     ',', 0, 0, 0, 0, 0x30, 0x75, 0x20, 0x4E, 0};
  huge.insert(huge.end(), {2, 10, 0x84, 0x8F, 0xA9, 0xCB, 0xED, 0x0F, 0xA3, 0x9C, 0xB4, 0xDA, 0, ';'});
  const long before = PeakKiB();
  ExpectRefused(dir, "huge.gif", huge, IMAGE_FORMAT_GIF);
  EXPECT_LT(PeakKiB() - before, 64 * 1024);
}

// A real picture at the highest LZW ratio (one colour) still loads.
TEST(ImageIoGif, OneColourPictureAtTheHighestRatioStillLoads) {
  TempDir dir;
  const std::string file = dir.File("flat.gif");
  int err = 0;
  GifFileType* gif = EGifOpenFileName(file.c_str(), false, &err);
  ASSERT_NE(gif, nullptr);
  GifColorType colours[2] = {{0, 0, 0}, {255, 0, 0}};
  ColorMapObject* map = GifMakeMapObject(2, colours);
  ASSERT_EQ(EGifPutScreenDesc(gif, 3000, 2000, 1, 0, map), GIF_OK);
  ASSERT_EQ(EGifPutImageDesc(gif, 0, 0, 3000, 2000, false, nullptr), GIF_OK);
  std::vector<GifPixelType> row(3000, 1);
  for (int y = 0; y < 2000; ++y) ASSERT_EQ(EGifPutLine(gif, row.data(), 3000), GIF_OK);
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, file, IMAGE_FORMAT_GIF), IMAGEIO_OK) << pack.errorText;
  ASSERT_TRUE(pack.picture);
  EXPECT_EQ(DibRow(pack.picture.get(), 1999)[2999], 1);
}

// GIF images with every legal LZW minimum code size (2 to 11): the pixels
// come back exactly, written both by the compressing encoder (the table
// grows to 12-bit codes, cleared when full or kept full) and by a literal-
// only stream built here; literal codes past the colour table show black.
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
