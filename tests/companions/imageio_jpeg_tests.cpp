#include <gtest/gtest.h>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// Colour, greyscale and Adobe CMYK JPEGs written by PIL, with PIL's own
// decodes of the first two as RGBA dumps.
const char* kMakeJpegs = R"PY(
import sys
from PIL import Image
d = sys.argv[1]
im = Image.new('RGB', (37, 23))
im.putdata([((x * 7) % 256, (y * 11) % 256, (x * y) % 256) for y in range(23) for x in range(37)])
im.save(d + '/rgb.jpg', quality=92)
open(d + '/rgb.rgba', 'wb').write(Image.open(d + '/rgb.jpg').convert('RGBA').tobytes())
g = Image.new('L', (19, 9))
g.putdata([(x * 13 + y * 5) % 256 for y in range(9) for x in range(19)])
g.save(d + '/grey.jpg', quality=90)
open(d + '/grey.rgba', 'wb').write(Image.open(d + '/grey.jpg').convert('RGBA').tobytes())
Image.new('CMYK', (16, 16), (255, 0, 0, 0)).save(d + '/cyan.jpg', quality=100)
Image.new('CMYK', (16, 16), (0, 0, 0, 128)).save(d + '/grey50.jpg', quality=100)
)PY";

using ImageIoJpeg = ScriptFiles<&kMakeJpegs>;

}  // namespace

TEST_F(ImageIoJpeg, ColourAndGreyMatchPil) {
  for (const char* name : {"rgb", "grey"}) {
    SCOPED_TRACE(name);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, dir.File(std::string(name) + ".jpg"), IMAGE_FORMAT_JPEG), 0) << pack.errorText;
    EXPECT_EQ(pack.picture->biBitCount, std::string(name) == "rgb" ? 24 : 8);
    EXPECT_EQ(pack.transparencyMode, TRANSPARENCY_NONE);
    // Same libjpeg decoder and settings as PIL: identical pixels.
    EXPECT_EQ(MaxDifference(BlockRgba(pack), ReadBytes(dir.File(std::string(name) + ".rgba"))), 0);
  }
}

TEST_F(ImageIoJpeg, AdobeCmykIsInvertedBack) {
  struct Case {
    const char* file;
    int r, g, b;
  } cases[] = {{"cyan.jpg", 0, 255, 255}, {"grey50.jpg", 127, 127, 127}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, dir.File(c.file), IMAGE_FORMAT_JPEG), 0) << pack.errorText;
    ASSERT_EQ(pack.picture->biBitCount, 24);
    const std::vector<unsigned char> rgba = BlockRgba(pack);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
      ASSERT_NEAR(rgba[i], c.r, 3) << i;
      ASSERT_NEAR(rgba[i + 1], c.g, 3) << i;
      ASSERT_NEAR(rgba[i + 2], c.b, 3) << i;
    }
  }
}

TEST_F(ImageIoJpeg, DamagedFilesFail) {
  std::vector<unsigned char> bytes = ReadBytes(dir.File("rgb.jpg"));
  // Cut in the middle of the entropy-coded data.
  ExpectRefused(dir, "cut.jpg", std::vector<unsigned char>(bytes.begin(), bytes.begin() + long(bytes.size() * 2 / 3)),
                IMAGE_FORMAT_JPEG);
  // Frame header claiming 65000 x 65000 pixels.
  std::vector<unsigned char> huge = bytes;
  for (std::size_t i = 2; i + 9 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xFD;
      huge[i + 6] = 0xE8;
      huge[i + 7] = 0xFD;
      huge[i + 8] = 0xE8;
      break;
    }
  ExpectRefused(dir, "huge.jpg", huge, IMAGE_FORMAT_JPEG, IMAGEIO_ERR_TOO_LARGE);
  ExpectRefused(dir, "head.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0x00}, IMAGE_FORMAT_JPEG);
}
