#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/dib_pixels.h"
#include "companions/imageio/tev_image_io.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using namespace imageio_test;

namespace {

// A cursor of two 4-bit bitmap entries (10 x 6 and 5 x 3) with AND masks
// and hot spots, built byte by byte.
const char* kMakeCursor = R"PY(
import sys, struct
out = sys.argv[1]

def pad(b):
    return b + b'\0' * (-len(b) % 4)

def entry(w, h, seed):
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b''.join(bytes([i * 16, 255 - i * 16, i, 0]) for i in range(16))
    xor = b''
    andm = b''
    for y in reversed(range(h)):
        vals = [(x + y * 3 + seed) % 16 for x in range(w)]
        s = ''.join(format(v, '04b') for v in vals) + '0000'
        xor += pad(bytes(int(s[i:i+8], 2) for i in range(0, len(vals) * 4, 8)))
        bits = ''.join('1' if (x + y + seed) % 3 == 0 else '0' for x in range(w))
        bits += '0' * (-len(bits) % 8)
        andm += pad(bytes(int(bits[i:i+8], 2) for i in range(0, len(bits), 8)))
    return info + pal + xor + andm

e1, e2 = entry(10, 6, 0), entry(5, 3, 1)
head = struct.pack('<HHH', 0, 2, 2)
d1 = struct.pack('<BBBBHHII', 10, 6, 16, 0, 4, 2, len(e1), 6 + 32)
d2 = struct.pack('<BBBBHHII', 5, 3, 16, 0, 1, 2, len(e2), 6 + 32 + len(e1))
open(out, 'wb').write(head + d1 + d2 + e1 + e2)
)PY";

}  // namespace

TEST(ImageIoIco, CursorEntriesWithMasksAndHotSpots) {
  if (!HavePil()) GTEST_SKIP() << "python3 not available";
  TempDir dir;
  ASSERT_EQ(RunPython(dir.path(), kMakeCursor, dir.File("a.cur")), 0);
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("a.cur"), IMAGE_FORMAT_CUR), 0) << pack.errorText;
  ASSERT_EQ(pack.BlockCount(), 2u);
  EXPECT_EQ(pack.width, 10);
  EXPECT_EQ(pack.height, 6);
  const int sizes[2][2] = {{10, 6}, {5, 3}};
  const int hot[2][2] = {{4, 2}, {1, 2}};
  for (int e = 0; e < 2; ++e) {
    SCOPED_TRACE(e);
    CTevSubImageBlock* b = pack.BlockAt(std::size_t(e));
    EXPECT_EQ(b->hotSpotX, hot[e][0]);
    EXPECT_EQ(b->hotSpotY, hot[e][1]);
    const BITMAPINFOHEADER* pic = b->picture.get();
    ASSERT_EQ(pic->biBitCount, 4);
    ASSERT_EQ(DibWidth(pic), sizes[e][0]);
    ASSERT_EQ(DibHeight(pic), sizes[e][1]);
    ASSERT_TRUE(b->mask);
    for (int y = 0; y < sizes[e][1]; ++y)
      for (int x = 0; x < sizes[e][0]; ++x) {
        ASSERT_EQ(DibIndexAt(pic, y, x), (x + y * 3 + e) % 16) << x << "," << y;
        // AND bit 1 means transparent; the mask marks opaque pixels.
        ASSERT_EQ(DibIndexAt(b->mask.get(), y, x), (x + y + e) % 3 == 0 ? 0 : 1) << x << "," << y;
      }
  }
}

TEST(ImageIoIco, PngEntriesFromPilReadAsPilDoes) {
  if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
  TempDir dir;
  const char* script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.new('RGBA', (32, 32))\n"
      "im.putdata([(x * 8, y * 8, 100, (x + y) * 4) for y in range(32) for x in range(32)])\n"
      "im.save(sys.argv[1], sizes=[(32, 32), (16, 16)])\n"
      "ico = Image.open(sys.argv[1])\n"
      "ico.size = (32, 32)\n"
      "open(sys.argv[1] + '.rgba', 'wb').write(ico.convert('RGBA').tobytes())\n";
  ASSERT_EQ(RunPython(dir.path(), script, dir.File("a.ico")), 0);
  CTevImageInfoPack pack;
  ASSERT_EQ(Load(pack, dir.File("a.ico"), IMAGE_FORMAT_ICO), 0) << pack.errorText;
  ASSERT_EQ(pack.BlockCount(), 2u);
  CTevSubImageBlock* big = DibWidth(pack.picture.get()) == 32 ? static_cast<CTevSubImageBlock*>(&pack) : pack.next;
  EXPECT_EQ(FirstDifference(DibToRgba(big->picture.get()), ReadBytes(dir.File("a.ico.rgba"))), -1);
}

TEST(ImageIoIco, BadFilesFailCleanly) {
  if (!HavePil()) GTEST_SKIP() << "python3 not available";
  TempDir dir;
  ASSERT_EQ(RunPython(dir.path(), kMakeCursor, dir.File("a.cur")), 0);
  const std::vector<unsigned char> good = ReadBytes(dir.File("a.cur"));
  ExpectRefused(dir, "cut.cur", Head(good, good.size() - 3), IMAGE_FORMAT_CUR);
  // The second entry's offset far past the end; the first bitmap's height no
  // longer fits its data.
  ExpectRefused(dir, "offset.cur", Patched(good, {{6 + 16 + 15, 0x7F}}), IMAGE_FORMAT_CUR);
  ExpectRefused(dir, "height.cur", Patched(good, {{38 + 8, 0xFF}, {38 + 9, 0x7F}}), IMAGE_FORMAT_CUR);
}

// The sub-image chain: the ICO and ANI writers and readers keep long files'
// frames in order (AppendBlock links after the last block in O(1)).
namespace {

// n pictures of 1 x 1 (a different grey each) written as format and read back.
std::vector<int> RoundTrip(int format, const char* ext, int n) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("lw-chain-" + std::to_string(::getpid()) + "." + ext)).string();
  {
    CTevImageInfoPack pack;
    pack.path = path;
    pack.format = format;
    pack.width = pack.height = 1;
    for (int i = 0; i < n; ++i) {
      DibPtr d(CDIB32::CreateSimple32BitsDIB(1, 1, RGB(i % 251, 0, 0), 255));
      if (i == 0) pack.picture = std::move(d);
      else {
        auto b = std::make_unique<CTevSubImageBlock>();
        b->picture = std::move(d);
        pack.AppendBlock(std::move(b));
      }
    }
    if (SaveImage(pack, nullptr, nullptr) != IMAGEIO_OK) return {};
  }
  CTevImageInfoPack pack;
  pack.path = path;
  auto options = CTevImgImportOptions::NewImportOptions(format);
  std::vector<int> reds;
  if (LoadImageW(pack, options.get(), nullptr) == IMAGEIO_OK)
    for (const CTevSubImageBlock* b = &pack; b; b = b->next) {
      DibPtr rgba(CDIB32::ConvertTo32BitsDIB(b->picture.get()));
      reds.push_back(rgba ? DibRow(rgba.get(), 0)[2] : -1);
    }
  std::filesystem::remove(path);
  return reds;
}

// AppendBlock links after a remembered tail: a block linked by hand after
// it, and a Reset in between, must not put the chain out of order.
TEST(BlockChain, AppendAfterHandLinksAndResets) {
  auto tagged = [](int tag) {
    auto b = std::make_unique<CTevSubImageBlock>();
    b->delay = WORD(tag);
    return b;
  };
  auto delays = [](const CTevImageInfoPack& pack) {
    std::vector<int> out;
    for (const CTevSubImageBlock* b = pack.next; b; b = b->next) {
      EXPECT_EQ(b->next ? b->next->prev : b, b);
      out.push_back(b->delay);
    }
    return out;
  };
  CTevImageInfoPack pack;
  pack.AppendBlock(tagged(1));
  pack.AppendBlock(tagged(2));
  CTevSubImageBlock* raw = tagged(500).release();
  raw->prev = pack.next->next;
  pack.next->next->next = raw;
  pack.AppendBlock(tagged(100));
  EXPECT_EQ(delays(pack), (std::vector<int>{1, 2, 500, 100}));
  pack.Reset();
  pack.AppendBlock(tagged(101));
  pack.AppendBlock(tagged(102));
  EXPECT_EQ(delays(pack), (std::vector<int>{101, 102}));
  EXPECT_EQ(pack.next->prev, &pack);
}

TEST(BlockChain, LongIconAndCursorFilesReadInOrder) {
  const struct {
    int format;
    const char* ext;
    int frames;
  } cases[] = {{IMAGE_FORMAT_ICO, "ico", 600}, {IMAGE_FORMAT_ANI, "ani", 600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ext);
    std::vector<int> want;
    for (int i = 0; i < c.frames; ++i) want.push_back(i % 251);
    EXPECT_EQ(RoundTrip(c.format, c.ext, c.frames), want);
  }
}

}  // namespace
