#include <gtest/gtest.h>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// A 4-page TIFF of different sizes, modes and compressions, and PIL's
// decode of every page as RGBA dumps.
const char* kMakeTiff = R"PY(
import sys
from PIL import Image
d = sys.argv[1]
def pattern(mode, w, h, f):
    im = Image.new(mode, (w, h))
    im.putdata([f(x, y) for y in range(h) for x in range(w)])
    return im
pages = [
    pattern('RGB', 13, 7, lambda x, y: (x * 19 % 256, y * 31 % 256, (x + y) * 7 % 256)),
    pattern('RGBA', 9, 11, lambda x, y: (x * 25, y * 20, 100, 0 if (x + y) % 5 == 0 else (255 if x % 2 else 128 + y * 8))),
    pattern('L', 21, 3, lambda x, y: (x * 12 + y) % 256),
    pattern('P', 5, 5, lambda x, y: (x + y * 5) % 7),
]
pages[3].putpalette([i * 30 % 256 for i in range(7 * 3)] + [0] * (768 - 21))
pages[0].save(d + '/multi.tif', save_all=True, append_images=pages[1:], compression='tiff_lzw')
for i, p in enumerate(pages):
    open(d + '/page%d.rgba' % i, 'wb').write(p.convert('RGBA').tobytes())
pages[0].save(d + '/packbits.tif', compression='packbits')
)PY";

using ImageIoTiff = ScriptFiles<&kMakeTiff>;

}  // namespace

TEST_F(ImageIoTiff, EveryPageMatchesPil) {
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("multi.tif"), IMAGE_FORMAT_TIFF), 0) << pack.errorText;
  ASSERT_EQ(pack.BlockCount(), 4u);
  EXPECT_EQ(pack.width, 21);
  EXPECT_EQ(pack.height, 11);
  EXPECT_EQ(pack.transparencyMode, TRANSPARENCY_ALPHA);
  const int sizes[4][2] = {{13, 7}, {9, 11}, {21, 3}, {5, 5}};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const CTevSubImageBlock* b = pack.BlockAt(std::size_t(i));
    EXPECT_EQ(DibWidth(b->picture.get()), sizes[i][0]);
    EXPECT_EQ(DibHeight(b->picture.get()), sizes[i][1]);
    const std::vector<unsigned char> got = BlockRgba(*b), want = ReadBytes(dir.File("page" + std::to_string(i) + ".rgba"));
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t p = 0; p < got.size(); p += 4) {
      // Straight alpha comes back through libtiff's premultiplied raster:
      // exact where opaque, within rounding where half transparent.
      const int a = want[p + 3];
      ASSERT_EQ(got[p + 3], a) << p;
      if (a == 0) continue;
      const int tolerance = a == 255 ? 0 : 255 / a + 1;
      for (int c = 0; c < 3; ++c) ASSERT_NEAR(got[p + c], want[p + c], tolerance) << p << " channel " << c;
    }
  }
  CTevImageInfoPack packbits;
  ASSERT_EQ(Load(packbits, dir.File("packbits.tif"), IMAGE_FORMAT_TIFF), 0);
  EXPECT_EQ(packbits.transparencyMode, TRANSPARENCY_NONE);
  EXPECT_EQ(MaxDifference(BlockRgba(packbits), ReadBytes(dir.File("page0.rgba"))), 0);
}

TEST_F(ImageIoTiff, DamagedFilesFail) {
  const std::vector<unsigned char> bytes = ReadBytes(dir.File("packbits.tif"));
  // Header only; header pointing its first directory past the end.
  ExpectRefused(dir, "head.tif", std::vector<unsigned char>(bytes.begin(), bytes.begin() + 8), IMAGE_FORMAT_TIFF);
  std::vector<unsigned char> far = bytes;
  far[4] = far[5] = far[6] = 0x7F;
  ExpectRefused(dir, "far.tif", far, IMAGE_FORMAT_TIFF);
  // A directory announcing 70000 x 70000 pixels (little-endian II file from PIL).
  std::vector<unsigned char> huge = bytes;
  const std::size_t ifd = huge[4] | (huge[5] << 8) | (huge[6] << 16) | (std::size_t(huge[7]) << 24);
  const int entries = huge[ifd] | (huge[ifd + 1] << 8);
  for (int e = 0; e < entries; ++e) {
    const std::size_t at = ifd + 2 + std::size_t(e) * 12;
    if ((huge[at] | (huge[at + 1] << 8)) != 256 && (huge[at] | (huge[at + 1] << 8)) != 257) continue;
    huge[at + 2] = 4;  // LONG
    huge[at + 3] = 0;
    const unsigned v = 70000;
    for (int k = 0; k < 4; ++k) huge[at + 8 + k] = (v >> (8 * k)) & 0xFF;
  }
  ExpectRefused(dir, "huge.tif", huge, IMAGE_FORMAT_TIFF, IMAGEIO_ERR_TOO_LARGE);
}
