// The GIF reader against pictures larger than the file's data can fill: a
// 60-byte file announcing a 30000 x 20000 image fails without allocating
// for it, while a real picture at the highest LZW ratio (one colour) loads.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

long PeakKiB() {
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

TEST(GifReaderLimits, ImageLargerThanItsDataIsRefusedBeforeAllocation) {
  TempDir dir;
  std::vector<unsigned char> b = {'G', 'I', 'F', '8', '9', 'a', 100, 0, 100, 0, 0x80, 0, 0};
  b.insert(b.end(), {0, 0, 0, 255, 255, 255});  // two-colour global table
  b.insert(b.end(), {',', 0, 0, 0, 0, 0x30, 0x75, 0x20, 0x4E, 0});  // 30000 x 20000
  b.insert(b.end(), {2, 10, 0x84, 0x8F, 0xA9, 0xCB, 0xED, 0x0F, 0xA3, 0x9C, 0xB4, 0xDA, 0, ';'});
  const long before = PeakKiB();
  ExpectRefused(dir, "limit.gif", b, IMAGE_FORMAT_GIF);
  // 600 MB of pixels would show in the peak.
  EXPECT_LT(PeakKiB() - before, 64 * 1024);
}

TEST(GifReaderLimits, OneColourPictureAtTheHighestRatioStillLoads) {
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
  ASSERT_EQ(Load(pack, file, IMAGE_FORMAT_GIF), IMAGEIO_OK)
      << pack.errorText << " (" << std::filesystem::file_size(file) << " bytes)";
  ASSERT_NE(pack.picture, nullptr);
  EXPECT_EQ(pack.picture->biWidth, 3000);
  EXPECT_EQ(DibRow(pack.picture.get(), 1999)[2999], 1);
}
