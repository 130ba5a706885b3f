// Combining and geometry on hand-made pictures. (The kernel's stretch, 8-bit
// blits, mixing, ripple and diamond routines have no caller in the program
// and are left untested.)
#include <gtest/gtest.h>

#include <cstring>

#include "companions/dib_test_util.h"
#include "companions/dibkernel/dib_kernel.h"

using namespace dibtest;
using namespace DibKernel;

namespace {

// Pixel colours encode coordinates and a tag.
DibPtr Coords(int w, int h, int tag, bool topDown = false) {
  DibPtr d = Make32(w, h, 0, topDown);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Set32(d.get(), x, y, Bgra(x, y, tag, 255));
  return d;
}

TEST(Combine, BlockCopyBlendAndErase) {
  const std::uint32_t back = Bgra(1, 1, 1, 255);
  // Block (1, 1)-(4, 3) of a 4x4 source, placed at (-1, 2) of a 4x4
  // destination: source (x, y) lands at (x - 2, y + 1); the block's part past
  // the source's right edge and the destination's left/bottom edges is cut.
  for (bool blend : {false, true}) {
    DibPtr dst = Make32(4, 4, back, true);
    DibPtr src = Coords(4, 4, 50);
    RECT block{1, 1, 9, 3};
    ASSERT_TRUE(blend ? CombineBlock(dst.get(), POINT{-1, 2}, src.get(), block)
                      : CopyBlock(dst.get(), POINT{-1, 2}, src.get(), block));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        int sx = x + 2, sy = y - 1;
        bool inside = sx >= 2 && sx < 4 && sy >= 1 && sy < 3;
        ASSERT_EQ(Get32(dst.get(), x, y), inside ? Bgra(sx, sy, 50, 255) : back) << x << "," << y;
      }
  }
  // CopyBlock on 24 bits; mixed depths refused.
  auto row = std::vector<BYTE>{1, 2, 3, 4, 5, 6, 7, 8, 9};
  DibPtr d24(DibAlloc(3, 1, 24));
  auto raw = RawDib(3, 1, 24, true, {}, {row});
  ASSERT_TRUE(CopyBlock(d24.get(), POINT{1, 0}, AsDib(raw), RECT{0, 0, 3, 1}));
  const BYTE want[9] = {0, 0, 0, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(std::memcmp(DibRow(d24.get(), 0), want, 9), 0);
  // Within one DIB, blocks overlapping downward and upward.
  for (int shift : {1, -1}) {
    DibPtr self = Coords(3, 4, 9);
    ASSERT_TRUE(CopyBlock(self.get(), POINT{0, 1 + shift}, self.get(), RECT{0, 1, 3, 3}));
    for (int j = 0; j < 2; ++j) ASSERT_EQ(Get32(self.get(), 2, 1 + shift + j), Bgra(2, 1 + j, 9, 255)) << shift;
  }

  DibPtr e = Make32(3, 3, back);
  ASSERT_TRUE(Erase32BitsBlock(e.get(), RECT{-1, 1, 2, 5}));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(Get32(e.get(), x, y), (x < 2 && y >= 1) ? 0u : back);
}

TEST(Combine, CombineAndMerge) {
  // a: 2x2 at (-1, 0); b: 2x1 at (0, 3), half transparent over nothing and over a.
  DibPtr a = Coords(2, 2, 1);
  DibPtr b = Make32(2, 1, Bgra(200, 100, 50, 128));
  RECT r{};
  DibPtr m(Merge32BitsDIB(a.get(), POINT{-1, 0}, b.get(), POINT{0, 1}, &r));
  ASSERT_TRUE(m);
  EXPECT_EQ(r, (RECT{-1, 0, 2, 2}));
  ASSERT_EQ(DibWidth(m.get()), 3);
  ASSERT_EQ(DibHeight(m.get()), 2);
  EXPECT_EQ(Get32(m.get(), 0, 0), Bgra(0, 0, 1, 255));
  EXPECT_EQ(Get32(m.get(), 1, 0), Bgra(1, 0, 1, 255));
  EXPECT_EQ(Get32(m.get(), 2, 0), 0u);
  EXPECT_EQ(Get32(m.get(), 0, 1), Bgra(0, 1, 1, 255));
  // b over a (1,1) = (1,1,1): (200*128 + 1*127 + 127)/255 = 101, (100*128+254)/255 = 51, (50*128+254)/255 = 26.
  EXPECT_EQ(Get32(m.get(), 1, 1), Bgra(101, 51, 26, 255));
  EXPECT_EQ(Get32(m.get(), 2, 1), Bgra(200, 100, 50, 128));
  EXPECT_EQ(Merge32BitsDIB(a.get(), POINT{0, 0}, b.get(), POINT{70000, 0}, &r), nullptr);
}

TEST(Geometry, OpaqueBoundaryAndTrim) {
  for (bool topDown : {false, true}) {
    DibPtr pic = Make32(6, 5, Bgra(9, 9, 9, 0), topDown);
    Set32(pic.get(), 2, 1, Bgra(1, 2, 3, 1));
    Set32(pic.get(), 3, 3, Bgra(4, 5, 6, 255));
    LONG l = -1, t = -1, r = -1, b = -1;
    ASSERT_TRUE(CaclOpaqueBoundary(pic.get(), &l, &t, &r, &b));
    EXPECT_EQ((RECT{l, t, r, b}), (RECT{2, 1, 2, 1}));
    ASSERT_TRUE(CheckBlankBorder(pic.get(), &l, &t, &r, &b));
    EXPECT_EQ((RECT{l, t, r, b}), (RECT{2, 1, 2, 1}));
    DibPtr cut(Trim32BitsDIB(pic.get(), l, t, r, b));
    ASSERT_TRUE(cut);
    ASSERT_EQ(DibWidth(cut.get()), 2);
    ASSERT_EQ(DibHeight(cut.get()), 3);
    EXPECT_EQ(Get32(cut.get(), 0, 0), Bgra(1, 2, 3, 1));
    EXPECT_EQ(Get32(cut.get(), 1, 2), Bgra(4, 5, 6, 255));
    EXPECT_EQ(Get32(cut.get(), 1, 0), Bgra(9, 9, 9, 0));

    DibPtr empty = Make32(6, 5, Bgra(9, 9, 9, 0), topDown);
    ASSERT_TRUE(CaclOpaqueBoundary(empty.get(), &l, &t, &r, &b));
    EXPECT_EQ((RECT{l, t, r, b}), (RECT{6, 5, 0, 0}));
    EXPECT_FALSE(CheckBlankBorder(empty.get(), &l, &t, &r, &b));
    EXPECT_EQ(Trim32BitsDIB(empty.get(), l, t, r, b), nullptr);
  }
  // 1-bit mask, 10 wide: one set bit at (9, 2).
  auto mask = RawDib(10, 3, 1, false, Palette({0, 0xFFFFFF}), {{0, 0}, {0, 0}, {0x00, 0x40}});
  LONG l, t, r, b;
  ASSERT_TRUE(CaclOpaqueBoundary(AsDib(mask), &l, &t, &r, &b));
  EXPECT_EQ((RECT{l, t, r, b}), (RECT{9, 2, 0, 0}));
  EXPECT_FALSE(CheckBlankBorder(AsDib(mask), &l, &t, &r, &b));
}

}  // namespace
