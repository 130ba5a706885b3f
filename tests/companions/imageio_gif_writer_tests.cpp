// GIF writer: failed saves, the extensions of a plain image, a small table
// with a transparent index past it, and long streams without a clear (frame
// fields and pixels are checked through the GIF export tests).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/gif_lzw.h"
#include "companions/imageio/gif_module.h"
#include "imageio_test_util.h"

using namespace TevImageIO;
using imageio_test::TempDir;

namespace {

DibPtr Palette8(LONG w, LONG h, int entries) {
  DibPtr d(DibAlloc(w, h, 8, DWORD(entries)));
  for (int i = 0; i < entries; ++i) DibPalette(d.get())[i] = RGBQUAD{BYTE(i * 37), BYTE(i * 91), BYTE(255 - i * 13), 0};
  return d;
}

// Frame 0: 6x4 gradient at (0,0); frame 1: 3x2 at (2,1) with one masked pixel,
// interlaced, disposal 2.
void BuildTwoFrames(CTevImageInfoPack& pack) {
  pack.width = 6;
  pack.height = 4;
  pack.picture = Palette8(6, 4, 8);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 6; ++x) DibRow(pack.picture.get(), y)[x] = BYTE((x + y) % 7);
  pack.delay = 10;
  pack.byteB = 1 << 2;
  pack.transparentIndex = 7;
  auto b = std::make_unique<CTevSubImageBlock>();
  b->x = 2;
  b->y = 1;
  b->picture = Palette8(3, 2, 8);
  for (LONG y = 0; y < 2; ++y)
    for (LONG x = 0; x < 3; ++x) DibRow(b->picture.get(), y)[x] = BYTE(6 - x);
  b->mask.reset(DibAlloc(3, 2, 1, 2));
  DibPalette(b->mask.get())[1] = RGBQUAD{255, 255, 255, 0};
  DibRow(b->mask.get(), 0)[0] = 0xE0;
  DibRow(b->mask.get(), 1)[0] = 0x60;  // pixel (0,1) transparent
  b->transparentIndex = 7;
  b->delay = 35;
  b->byteA = 0x40;
  b->byteB = 2 << 2;
  pack.AppendBlock(std::move(b));
}

std::unique_ptr<CTevGifExportOptions> GifOptions(WORD loops, int colours) {
  auto o = std::make_unique<CTevGifExportOptions>();
  o->loopCount = loops;
  o->colorCount = colours;
  return o;
}

TEST(GifWriter, AFailedSaveLeavesTheOldFileAndReportsWhy) {
  TempDir dir;
  CTevImageInfoPack pack;
  BuildTwoFrames(pack);
  const std::string target = dir.File("keep.gif");
  imageio_test::WriteBytes(target, {'o', 'l', 'd'});
  pack.path = target;
  pack.BlockAt(1)->x = 70000;  // outside any GIF screen
  auto options = GifOptions(0, 8);
  EXPECT_NE(SaveImage(pack, options.get(), nullptr), 0);
  EXPECT_FALSE(pack.errorText.empty());
  EXPECT_EQ(imageio_test::ReadBytes(target).size(), 3u);
  EXPECT_EQ(dir.EntryCount(), 1u);  // no temporary file left behind
  EXPECT_EQ(CCalcuGifModule::CalcuGifImgLength(pack, options.get(), nullptr), -1);
}

// Offsets of the blocks a GIF holds after its header and tables: returns the
// labels of the extensions in order (0x21 followed by the label), stopping at
// the first image descriptor.
std::vector<int> ExtensionsBeforeFirstImage(const std::vector<unsigned char>& f) {
  std::vector<int> labels;
  if (f.size() < 13) return labels;
  std::size_t at = 13 + ((f[10] & 0x80) ? 3u * (2u << (f[10] & 7)) : 0u);
  while (at + 1 < f.size() && f[at] == 0x21) {
    labels.push_back(f[at + 1]);
    at += 2;
    while (at < f.size() && f[at]) at += f[at] + 1u;
    ++at;
  }
  return labels;
}

TEST(GifWriter, APlainSingleImageCarriesNoLoopOrControlExtension) {
  TempDir dir;
  CTevImageInfoPack pack;
  pack.width = 4;
  pack.height = 3;
  pack.picture = Palette8(4, 3, 4);
  for (LONG y = 0; y < 3; ++y)
    for (LONG x = 0; x < 4; ++x) DibRow(pack.picture.get(), y)[x] = BYTE((x + y) & 3);
  pack.delay = 0;
  pack.byteB = 1 << 2;
  pack.transparentIndex = -1;
  pack.path = dir.File("one.gif");
  auto options = GifOptions(0, 4);
  ASSERT_EQ(SaveImage(pack, options.get(), nullptr), 0) << pack.errorText;
  EXPECT_TRUE(ExtensionsBeforeFirstImage(imageio_test::ReadBytes(pack.path)).empty());
  // A delay still needs its control block; a second image brings the loop.
  pack.delay = 5;
  ASSERT_EQ(SaveImage(pack, options.get(), nullptr), 0);
  EXPECT_EQ(ExtensionsBeforeFirstImage(imageio_test::ReadBytes(pack.path)), std::vector<int>{0xF9});
  auto second = std::make_unique<CTevSubImageBlock>();
  second->picture.reset(DibCopy(pack.picture.get()));
  pack.AppendBlock(std::move(second));
  ASSERT_EQ(SaveImage(pack, options.get(), nullptr), 0);
  EXPECT_EQ(ExtensionsBeforeFirstImage(imageio_test::ReadBytes(pack.path)), (std::vector<int>{0xFF, 0xF9}));
  CTevImageInfoPack back;
  ASSERT_EQ(imageio_test::Load(back, pack.path, IMAGE_FORMAT_GIF), 0) << back.errorText;
  EXPECT_EQ(back.loopCount, 0);
  EXPECT_EQ(back.delay, 5);
}

TEST(GifWriter, TransparentIndexPastATwoEntryTableKeepsTheTableSmall) {
  TempDir dir;
  CTevImageInfoPack pack;
  pack.width = 3;
  pack.height = 2;
  pack.picture = Palette8(3, 2, 4);
  for (LONG x = 0; x < 3; ++x) DibRow(pack.picture.get(), 0)[x] = BYTE(x & 1);
  pack.mask.reset(DibAlloc(3, 2, 1, 2));
  DibRow(pack.mask.get(), 0)[0] = 0xE0;  // bottom row transparent
  pack.transparentIndex = 2;
  pack.path = dir.File("small.gif");
  auto options = GifOptions(0, 2);
  ASSERT_EQ(SaveImage(pack, options.get(), nullptr), 0) << pack.errorText;
  const auto bytes = imageio_test::ReadBytes(pack.path);
  EXPECT_EQ(bytes[10] & 7, 0) << "a two-entry global table";
  CTevImageInfoPack back;
  ASSERT_EQ(imageio_test::Load(back, pack.path, IMAGE_FORMAT_GIF), 0) << back.errorText;
  EXPECT_EQ(back.transparentIndex, 2);
  ASSERT_NE(back.mask, nullptr);
  for (LONG x = 0; x < 3; ++x) {
    EXPECT_EQ(DibRow(back.picture.get(), 0)[x], x & 1);
    EXPECT_TRUE(DibRow(back.mask.get(), 0)[0] & (0x80 >> x));
    EXPECT_FALSE(DibRow(back.mask.get(), 1)[0] & (0x80 >> x));
  }
}

// A large picture that repeats one row: the full string table keeps
// matching, so the stream without a clear is the shorter one and must decode
// the same in giflib and ImageMagick.
TEST(GifWriter, LongRepetitivePicturesDecodeWithTheDeferredClear) {
  TempDir dir;
  CTevImageInfoPack pack;
  pack.width = 320;
  pack.height = 240;
  pack.picture = Palette8(320, 240, 16);
  // Every row the same noise: once the table is full it holds long pieces of it.
  std::uint32_t seed = 12345;
  std::vector<BYTE> row(320);
  for (BYTE& v : row) v = BYTE((seed = seed * 1103515245u + 12345u) >> 28);
  for (LONG y = 0; y < 240; ++y) std::memcpy(DibRow(pack.picture.get(), y), row.data(), 320);
  std::vector<std::uint8_t> all;
  for (LONG y = 0; y < 240; ++y) all.insert(all.end(), DibRow(pack.picture.get(), y), DibRow(pack.picture.get(), y) + 320);
  const auto cleared = EncodeGifLzw(all.data(), all.size(), 4, LzwClear::WhenFull);
  const auto deferred = EncodeGifLzw(all.data(), all.size(), 4, LzwClear::Never);
  ASSERT_LT(deferred.size(), cleared.size());
  EXPECT_EQ(EncodeGifLzwSmallest(all.data(), all.size(), 4), deferred);
  pack.path = dir.File("long.gif");
  auto options = GifOptions(0, 16);
  ASSERT_EQ(SaveImage(pack, options.get(), nullptr), 0) << pack.errorText;
  CTevImageInfoPack back;
  ASSERT_EQ(imageio_test::Load(back, pack.path, IMAGE_FORMAT_GIF), 0) << back.errorText;
  for (LONG y = 0; y < 240; ++y)
    ASSERT_EQ(std::memcmp(DibRow(back.picture.get(), y), DibRow(pack.picture.get(), y), 320), 0) << "row " << y;
  const std::string raw = dir.File("long.rgb");
  ASSERT_EQ(std::system(("/usr/bin/convert " + pack.path + " RGB:" + raw).c_str()), 0);
  const auto rgb = imageio_test::ReadBytes(raw);
  ASSERT_EQ(rgb.size(), 320u * 240 * 3);
  for (std::size_t i = 0; i < all.size(); ++i)
    ASSERT_EQ(rgb[i * 3 + 1], DibPalette(pack.picture.get())[all[i]].rgbGreen) << "pixel " << i;
}

}  // namespace
