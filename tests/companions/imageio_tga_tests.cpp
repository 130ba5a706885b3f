#include <gtest/gtest.h>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// PIL writes L, LA, P, RGB and RGBA TGAs, plain and run-length encoded, with
// the origin at the bottom or the top; 15/16-bit true colour, a colour map
// of 16-bit entries and a right-to-left origin are built byte by byte. Every
// file NAME.tga comes with the expected RGBA pixels in NAME.rgba.
const char* kMakeTgas = R"PY(
import sys, struct
from PIL import Image
d = sys.argv[1]
W, H = 11, 6
def pattern(mode, f):
    im = Image.new(mode, (W, H))
    im.putdata([f(x, y) for y in range(H) for x in range(W)])
    return im
ims = {
  'L': pattern('L', lambda x, y: (x * 20 + y * 3) % 256),
  'LA': pattern('LA', lambda x, y: ((x * 20) % 256, 40 * y)),
  'RGB': pattern('RGB', lambda x, y: (x * 20, y * 40, 255 - x * 10 if x % 3 else 77)),
  'RGBA': pattern('RGBA', lambda x, y: (x * 20, y * 40, 9, 255 if x < 5 else y * 50)),
  'P': pattern('P', lambda x, y: (x // 3 + y) % 5),
}
ims['P'].putpalette([10, 20, 30, 200, 0, 0, 0, 200, 0, 0, 0, 200, 250, 250, 250] + [0] * 753)
for mode, im in ims.items():
    for rle in (False, True):
        for orient in (1, -1):
            name = '%s-%s-%s' % (mode, 'rle' if rle else 'raw', 'top' if orient < 0 else 'bottom')
            im.save(d + '/' + name + '.tga', rle=rle, orientation=orient)
            open(d + '/' + name + '.rgba', 'wb').write(im.convert('RGBA').tobytes())

def head(itype, maptype, mfirst, mlen, mbits, depth, desc):
    return struct.pack('<BBBHHBHHHHBB', 0, maptype, itype, mfirst, mlen, mbits, 0, 0, W, H, depth, desc)
def c5(v):
    return (v << 3) | (v >> 2)
def write(name, data, rgba):
    open(d + '/' + name + '.tga', 'wb').write(data)
    open(d + '/' + name + '.rgba', 'wb').write(bytes(rgba))
# 16-bit with the attribute bit as 1-bit alpha, right-to-left, top-down.
vals = [[(x * 3 % 32) | ((y * 5 % 32) << 5) | ((x + y) % 32 << 10) | (0x8000 if (x + y) % 4 else 0)
         for x in range(W)] for y in range(H)]
px = b''.join(struct.pack('<H', vals[y][W - 1 - x]) for y in range(H) for x in range(W))
exp = []
for y in range(H):
    for x in range(W):
        v = vals[y][x]
        exp += [c5((v >> 10) & 31), c5((v >> 5) & 31), c5(v & 31), 255 if v & 0x8000 else 0]
write('t16', head(2, 0, 0, 0, 0, 16, 0x30 | 1) + px, exp)
# 15-bit: the top bit means nothing, bottom-up rows.
px = b''.join(struct.pack('<H', vals[y][x] & 0x7FFF) for y in reversed(range(H)) for x in range(W))
exp = []
for y in range(H):
    for x in range(W):
        v = vals[y][x]
        exp += [c5((v >> 10) & 31), c5((v >> 5) & 31), c5(v & 31), 255]
write('t15', head(2, 0, 0, 0, 0, 15, 0) + px, exp)
# Colour map of 16-bit entries starting at index 3, RLE, one run crossing rows.
cmap = [(i * 4) | ((31 - i * 3) << 10) | 0x8000 for i in range(6)]
idx = [[3 + (x // 4 + y) % 6 for x in range(W)] for y in range(H)]
flat = [idx[y][x] for y in reversed(range(H)) for x in range(W)]
data = b''
i = 0
while i < len(flat):
    n = 1
    while i + n < len(flat) and flat[i + n] == flat[i] and n < 128:
        n += 1
    if n > 1:
        data += bytes([0x80 | (n - 1), flat[i]])
    else:
        data += bytes([0, flat[i]])
    i += n
exp = []
for y in range(H):
    for x in range(W):
        v = cmap[idx[y][x] - 3]
        exp += [c5((v >> 10) & 31), c5((v >> 5) & 31), c5(v & 31), 255]
write('cmap16', head(9, 1, 3, 6, 16, 8, 0) + b''.join(struct.pack('<H', v) for v in cmap) + data, exp)
)PY";

using ImageIoTga = ScriptFiles<&kMakeTgas>;

}  // namespace

TEST_F(ImageIoTga, EveryKindAndOriginMatches) {
  std::vector<std::string> names = {"t16", "t15", "cmap16"};
  for (const char* mode : {"L", "LA", "RGB", "RGBA", "P"})
    for (const char* rle : {"raw", "rle"})
      for (const char* orient : {"top", "bottom"}) names.push_back(std::string(mode) + "-" + rle + "-" + orient);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, dir.File(name + ".tga"), IMAGE_FORMAT_TGA), 0) << pack.errorText;
    EXPECT_EQ(pack.width, 11);
    EXPECT_EQ(pack.height, 6);
    const std::vector<unsigned char> want = ReadBytes(dir.File(name + ".rgba"));
    EXPECT_EQ(FirstDifference(BlockRgba(pack), want), -1);
    bool opaque = true;
    for (std::size_t i = 3; i < want.size(); i += 4) opaque = opaque && want[i] == 255;
    EXPECT_EQ(pack.transparencyMode, opaque ? TRANSPARENCY_NONE : TRANSPARENCY_ALPHA);
  }
}

TEST_F(ImageIoTga, DamagedFilesFail) {
  const std::vector<unsigned char> raw = ReadBytes(dir.File("RGB-raw-top.tga"));
  const std::vector<unsigned char> rle = ReadBytes(dir.File("RGBA-rle-bottom.tga"));
  ExpectRefused(dir, "cut-raw.tga", Head(raw, 18 + 50), IMAGE_FORMAT_TGA);
  ExpectRefused(dir, "cut-rle.tga", Head(rle, 40), IMAGE_FORMAT_TGA);
  // 65535 x 65535, far more pixels than the file holds.
  ExpectRefused(dir, "huge.tga", Patched(raw, {{12, 0xFF}, {13, 0xFF}, {14, 0xFF}, {15, 0xFF}}), IMAGE_FORMAT_TGA);
  // 20000 x 20000 is within the limits, but a few bytes of runs cannot fill it.
  ExpectRefused(dir, "big.tga", Patched(rle, {{12, 0x20}, {14, 0x20}, {13, 0x4E}, {15, 0x4E}}), IMAGE_FORMAT_TGA);
}
