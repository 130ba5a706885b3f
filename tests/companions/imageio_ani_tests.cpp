#include <gtest/gtest.h>

#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// Three 8 x 8 icons (one BMP entry with an AND mask, two PNG entries) saved
// by PIL as frameN.ico, and animated cursors built around them chunk by chunk.
const char* kMakeAni = R"PY(
import sys, struct, io
from PIL import Image
d = sys.argv[1]
icons = []
for i in range(3):
    im = Image.new('RGBA', (8, 8))
    im.putdata([(60 * i + x * 10, 200 - y * 20, 40 * i, 0 if (x + y + i) % 4 == 0 else 255) for y in range(8) for x in range(8)])
    buf = io.BytesIO()
    im.save(buf, format='ICO', sizes=[(8, 8)], bitmap_format='bmp' if i == 0 else 'png')
    icons.append(buf.getvalue())
    open(d + '/frame%d.ico' % i, 'wb').write(buf.getvalue())

def chunk(cid, data):
    return cid + struct.pack('<I', len(data)) + data + (b'\0' if len(data) % 2 else b'')
def anih(frames, steps, rate, flags):
    return chunk(b'anih', struct.pack('<9I', 36, frames, steps, 0, 0, 0, 0, rate, flags))
def fram(icon_list):
    return chunk(b'LIST', b'fram' + b''.join(chunk(b'icon', ic) for ic in icon_list))
def riff(body, size=None):
    return b'RIFF' + struct.pack('<I', len(body) + 4 if size is None else size) + b'ACON' + body
def put(name, data):
    open(d + '/' + name, 'wb').write(data)
info = chunk(b'LIST', b'INFO' + chunk(b'INAM', b'test cursor\0'))
rate = chunk(b'rate', struct.pack('<5I', 1, 2, 3, 5, 7))
seq = chunk(b'seq ', struct.pack('<5I', 0, 2, 1, 2, 0))
put('seq.ani', riff(info + anih(3, 5, 10, 3) + rate + seq + fram(icons), size=0))
put('plain.ani', riff(anih(3, 3, 6, 1) + fram(icons)))
# The list's size leaves out its last icon (seen in the wild): still read.
short = fram(icons)
short = short[:4] + struct.pack('<I', len(short) - 8 - 40) + short[8:]
put('shortlist.ani', riff(anih(3, 3, 6, 1) + short))
# Damaged files.
cut = riff(anih(3, 3, 6, 1) + fram(icons))
put('cut.ani', cut[:-30])
put('badseq.ani', riff(anih(3, 2, 6, 3) + chunk(b'seq ', struct.pack('<2I', 0, 7)) + fram(icons)))
# A chunk size that would wrap the offset back to the start (an endless walk if trusted).
put('loop.ani', riff(b'junk' + struct.pack('<I', 0xFFFFFFF4) + anih(3, 3, 6, 1) + fram(icons)))
put('badicon.ani', riff(anih(1, 1, 6, 1) + fram([b'\0\0\1\0\1\0' + b'\xff' * 16])))
)PY";

using ImageIoAni = ScriptFiles<&kMakeAni>;

std::vector<unsigned char> IconPixels(const std::string& path) {
  CTevImageInfoPack ico;
  if (Load(ico, path, IMAGE_FORMAT_ICO) != 0) return {};
  return BlockRgba(ico);
}

}  // namespace

TEST_F(ImageIoAni, StepsFollowTheSequenceWithRoundedDelays) {
  std::vector<std::vector<unsigned char>> frames;
  for (int i = 0; i < 3; ++i) frames.push_back(IconPixels(dir.File("frame" + std::to_string(i) + ".ico")));
  ASSERT_EQ(frames[0].size(), 8u * 8 * 4);
  ASSERT_NE(frames[0], frames[1]);

  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("seq.ani"), IMAGE_FORMAT_ANI), 0) << pack.errorText;
  ASSERT_EQ(pack.BlockCount(), 5u);
  EXPECT_EQ(pack.width, 8);
  EXPECT_EQ(pack.height, 8);
  const int sequence[5] = {0, 2, 1, 2, 0};
  // round(jiffies * 100 / 60) for rates 1, 2, 3, 5, 7.
  const int delays[5] = {2, 3, 5, 8, 12};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const CTevSubImageBlock* b = pack.BlockAt(std::size_t(i));
    EXPECT_EQ(b->delay, delays[i]);
    EXPECT_EQ(FirstDifference(BlockRgba(*b), frames[std::size_t(sequence[i])]), -1);
  }

  for (const char* name : {"plain.ani", "shortlist.ani"}) {
    SCOPED_TRACE(name);
    CTevImageInfoPack plain;
    ASSERT_EQ(Load(plain, dir.File(name), IMAGE_FORMAT_ANI), 0) << plain.errorText;
    ASSERT_EQ(plain.BlockCount(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(plain.BlockAt(std::size_t(i))->delay, 10);  // 6 jiffies
      EXPECT_EQ(FirstDifference(BlockRgba(*plain.BlockAt(std::size_t(i))), frames[std::size_t(i)]), -1);
    }
  }
}

TEST_F(ImageIoAni, DamagedFilesFail) {
  for (const char* name : {"cut.ani", "badseq.ani", "loop.ani", "badicon.ani"})
    ExpectRefused(dir, name, IMAGE_FORMAT_ANI);
}
