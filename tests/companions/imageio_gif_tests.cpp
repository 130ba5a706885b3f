#include <gif_lib.h>
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstring>

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

TEST(ImageIoGif, FirstImageOnlyAndNoLoopExtension) {
  TempDir dir;
  WriteGif(dir.File("a.gif"), 20, 10, -1, kFrames);
  CTevImageInfoPack pack;
  pack.path = dir.File("a.gif");
  auto options = CTevImgImportOptions::NewImportOptions(IMAGE_FORMAT_GIF);
  options->As<CTevMultiImageImportOptions>()->allImages = 0;
  ASSERT_EQ(LoadImageW(pack, options.get(), nullptr), 0) << pack.errorText;
  EXPECT_EQ(pack.BlockCount(), 1u);
  EXPECT_EQ(pack.loopCount, -1);
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
  EXPECT_EQ(DibRow(pack.picture.get(), 1999)[2999], 1);
}

TEST(ImageIoGif, CorpusFilesKeepTheirFrameCounts) {
  const std::string corpus = "/work/shared/corpus/gif";
  if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "sample corpus not present";
  struct Sample {
    const char* name;
    std::size_t frames;
    int loop;
  };
  for (const Sample& s : {Sample{"pillow-chi.gif", 31, 0}, Sample{"pillow-duplicate_number_of_loops.gif", 2, 3},
                          Sample{"gdkpb-interlace.gif", 1, -1}, Sample{"peterdn-animated_noloop.gif", 4, -1},
                          Sample{"gdkpb-1_partyanimsm2.gif", 45, 0}}) {
    SCOPED_TRACE(s.name);
    std::string path = corpus + "/" + s.name;
    if (!std::filesystem::exists(path)) continue;
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, path, IMAGE_FORMAT_GIF), 0) << pack.errorText;
    EXPECT_EQ(pack.BlockCount(), s.frames);
    EXPECT_EQ(pack.loopCount, s.loop);
  }
}
