#include <gtest/gtest.h>

#include "companions/imageio/dib_pixels.h"
#include "companions/imageio/tev_image_io.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// RGBA rows of any DIB the reader returns.
std::vector<unsigned char> AnyDibToRgba(const BITMAPINFOHEADER* dib) {
  std::vector<unsigned char> out;
  std::vector<BYTE> row(std::size_t(DibWidth(dib)) * 4);
  for (LONG y = 0; y < DibHeight(dib); ++y) {
    DibRowToBgra(dib, y, row.data());
    for (LONG x = 0; x < DibWidth(dib); ++x) {
      out.push_back(row[std::size_t(x) * 4 + 2]);
      out.push_back(row[std::size_t(x) * 4 + 1]);
      out.push_back(row[std::size_t(x) * 4]);
      out.push_back(row[std::size_t(x) * 4 + 3]);
    }
  }
  return out;
}

// Builds BMP files byte by byte in every depth and compression, and asks PIL
// for the RGBA pixels of each.
const char* kMakeBmps = R"PY(
import sys, struct
from PIL import Image
out = sys.argv[1]
W, H = 13, 7

def bmp(name, bits, rows, palette=b'', compression=0, topdown=False, header=40, masks=b''):
    # rows: stored row bytes (already padded), bottom-up unless topdown
    data = b''.join(rows) if compression in (0, 3) else rows
    info = struct.pack('<IiiHHIIiiII', header, W, -H if topdown else H, 1, bits, compression, len(data), 2835, 2835,
                       len(palette) // 4, 0)
    if header > 40:
        info += masks + b'\0' * (header - 40 - len(masks))
        masks = b''
    off = 14 + len(info) + len(masks) + len(palette)
    body = info + masks + palette + data
    open(out + '/' + name + '.bmp', 'wb').write(b'BM' + struct.pack('<IHHI', 14 + len(body), 0, 0, off) + body)

def pad(b):
    return b + b'\0' * (-len(b) % 4)

def idx(x, y, n):
    return (x * 3 + y * 5) % n

def pal(n):
    return b''.join(bytes([(i * 53) % 256, (i * 101) % 256, (255 - i * 17) % 256, 0]) for i in range(n))

def packbits(vals, depth):
    s = ''.join(format(v, '0%db' % depth) for v in vals)
    s += '0' * (-len(s) % 8)
    return bytes(int(s[i:i+8], 2) for i in range(0, len(s), 8))

for depth in (1, 4, 8):
    n = 1 << depth
    rows = [pad(packbits([idx(x, y, n) for x in range(W)], depth)) for y in reversed(range(H))]
    bmp('pal%d' % depth, depth, rows, pal(n))
# RLE8: each stored row as one encoded run plus an absolute run, with EOL; a delta skips part of one row.
rle = b''
for y in range(H):
    vals = [idx(x, H - 1 - y, 256) for x in range(W)]
    rle += bytes([3, vals[0]]) if vals[0] == vals[1] == vals[2] else b''
    rle += bytes([0, W]) + bytes(vals) + (b'\0' if W % 2 else b'') + b'\0\0'
bmp('rle8', 8, rle + b'\0\1', pal(256), compression=1)
# RLE4: encoded runs alternate two indexes.
rle = b''
for y in range(H):
    rle += bytes([W, (y << 4) | (15 - y)]) + b'\0\0'
bmp('rle4', 4, rle + b'\0\1', pal(16), compression=2)
rgb = lambda x, y: (x * 19 % 256, y * 36 % 256, (x * y * 7) % 256)
rows24 = [pad(b''.join(bytes(reversed(rgb(x, y))) for x in range(W))) for y in range(H)]
bmp('rgb24', 24, list(reversed(rows24)))
bmp('topdown24', 24, rows24, topdown=True)
rows555 = [pad(b''.join(struct.pack('<H', ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)) for r, g, b in [rgb(x, y) for x in range(W)])) for y in reversed(range(H))]
bmp('rgb555', 16, rows555)
rows565 = [pad(b''.join(struct.pack('<H', ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)) for r, g, b in [rgb(x, y) for x in range(W)])) for y in reversed(range(H))]
bmp('rgb565', 16, rows565, compression=3, masks=struct.pack('<III', 0xF800, 0x07E0, 0x001F))
rows32 = [b''.join(bytes(list(reversed(rgb(x, y))) + [0]) for x in range(W)) for y in reversed(range(H))]
bmp('xrgb32', 32, rows32)
rowsA = [b''.join(bytes(list(reversed(rgb(x, y))) + [(x * 20) % 256]) for x in range(W)) for y in reversed(range(H))]
bmp('argb32v5', 32, rowsA, compression=3, header=124,
    masks=struct.pack('<IIII', 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000))

import os
for f in sorted(os.listdir(out)):
    if f.endswith('.bmp'):
        im = Image.open(out + '/' + f)
        open(out + '/' + f + '.rgba', 'wb').write(im.convert('RGBA').tobytes())
)PY";

using ImageIoBmp = ScriptFiles<&kMakeBmps>;

}  // namespace

TEST_F(ImageIoBmp, EveryDepthAndCompressionReadsAsPilDoes) {
  for (const std::string name : {"pal1", "pal4", "pal8", "rle8", "rle4", "rgb24", "topdown24", "rgb555", "rgb565",
                                 "xrgb32", "argb32v5"}) {
    SCOPED_TRACE(name);
    CTevImageInfoPack pack;
    ASSERT_EQ(Load(pack, dir.File(name + ".bmp"), IMAGE_FORMAT_BMP), 0) << pack.errorText;
    EXPECT_EQ(pack.width, 13);
    EXPECT_EQ(pack.height, 7);
    const std::vector<unsigned char> expected = ReadBytes(dir.File(name + ".bmp.rgba"));
    const std::vector<unsigned char> got = AnyDibToRgba(pack.picture.get());
    // PIL keeps 5/6-bit fields unscaled in different ways; allow its rounding.
    EXPECT_LE(MaxDifference(got, expected), name.starts_with("rgb5") ? 8 : 0);
    if (name.starts_with("pal")) {
      EXPECT_EQ(pack.picture->biBitCount, std::stoi(name.substr(3)));
    }
    EXPECT_EQ(pack.transparencyMode, name == "argb32v5" ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE);
  }
}

TEST_F(ImageIoBmp, BadFilesFailCleanly) {
  const std::vector<unsigned char> good = ReadBytes(dir.File("rgb24.bmp"));
  ExpectRefused(dir, "cut.bmp", Head(good, good.size() - 10), IMAGE_FORMAT_BMP);
  auto patch32 = [&](std::size_t at, std::uint32_t v) {
    return Patched(good, {{at, BYTE(v)}, {at + 1, BYTE(v >> 8)}, {at + 2, BYTE(v >> 16)}, {at + 3, BYTE(v >> 24)}});
  };
  ExpectRefused(dir, "offset.bmp", patch32(10, 0xFFFFFF00), IMAGE_FORMAT_BMP);
  ExpectRefused(dir, "huge.bmp", patch32(18, 0x7FFFFFFF), IMAGE_FORMAT_BMP);
  // A run-length stream that runs far past the rows and deltas off the edge.
  std::vector<unsigned char> rle = ReadBytes(dir.File("rle8.bmp"));
  std::vector<unsigned char> wild(rle.begin(), rle.begin() + long(rle.size()) - 4);
  for (int i = 0; i < 50; ++i) wild.insert(wild.end(), {0, 2, 255, 255, 255, 7});
  WriteBytes(dir.File("wild.bmp"), wild);
  CTevImageInfoPack pack;
  EXPECT_EQ(Load(pack, dir.File("wild.bmp"), IMAGE_FORMAT_BMP), 0) << pack.errorText;
}
