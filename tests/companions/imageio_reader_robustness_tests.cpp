// The JPEG and TIFF readers (the other readers have fuzz targets) against
// damaged copies of a good file: random byte changes and cuts (fixed seed, so
// a failure repeats). A reader may accept or refuse a damaged file, but must
// not crash, and what it accepts must be a whole, valid picture. Run under the
// sanitizers this finds unchecked sizes.
#include <gtest/gtest.h>

#include <random>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

const char* kMakeSeeds = R"PY(
import sys, struct, io
from PIL import Image
d = sys.argv[1]
im = Image.new('RGB', (23, 17))
im.putdata([(x * 11, y * 15, (x ^ y) * 9 % 256) for y in range(17) for x in range(23)])
im.save(d + '/seed.jpg', quality=80)
im.save(d + '/seed.tif', save_all=True, append_images=[im.convert('L'), im.convert('P')], compression='tiff_lzw')
)PY";

struct Seed {
  const char* file;
  int format;
};

}  // namespace

TEST(ImageIoRobustness, DamagedCopiesNeverCrashAndGiveWholePictures) {
  if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
  TempDir dir;
  ASSERT_TRUE(MakeFiles(dir, kMakeSeeds));
  const Seed seeds[] = {{"seed.jpg", IMAGE_FORMAT_JPEG}, {"seed.tif", IMAGE_FORMAT_TIFF}};
  std::mt19937 rng(20261206);
  for (const Seed& s : seeds) {
    SCOPED_TRACE(s.file);
    const std::vector<unsigned char> good = ReadBytes(dir.File(s.file));
    ASSERT_GT(good.size(), 32u);
    // The seed itself reads.
    CTevImageInfoPack first;
    ASSERT_EQ(Load(first, dir.File(s.file), s.format), 0) << first.errorText;
    int accepted = 0;
    for (int round = 0; round < 150; ++round) {
      std::vector<unsigned char> bytes = good;
      const int kind = round % 3;
      if (kind == 0) {
        bytes.resize(std::uniform_int_distribution<std::size_t>(1, good.size() - 1)(rng));
      } else {
        const int changes = kind == 1 ? 1 : 8;
        for (int c = 0; c < changes; ++c) {
          const std::size_t at = std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng);
          bytes[at] = kind == 1 ? BYTE(0xFF) : BYTE(rng());
        }
      }
      const std::string path = dir.File("damaged");
      WriteBytes(path, bytes);
      {
        CTevImageInfoPack pack;
        pack.path = path;
        auto options = CTevImgImportOptions::NewImportOptions(s.format);
        const int rc = LoadImageW(pack, options.get(), nullptr);
        if (rc != 0) {
          ASSERT_FALSE(pack.picture) << "round " << round;
          ASSERT_FALSE(pack.errorText.empty()) << "round " << round;
          continue;
        }
        ++accepted;
        ASSERT_GT(pack.width, 0) << "round " << round;
        ASSERT_GT(pack.height, 0) << "round " << round;
        for (const CTevSubImageBlock* b = &pack; b; b = b->next) {
          ASSERT_TRUE(b->picture) << "round " << round;
          ASSERT_TRUE(DibHeaderValid(b->picture.get())) << "round " << round;
          if (b->mask) {
            ASSERT_TRUE(DibHeaderValid(b->mask.get())) << "round " << round;
          }
        }
      }
    }
    // Damage is mostly caught, but some copies stay readable (a changed pixel byte).
    EXPECT_GT(accepted, 0);
  }
}
