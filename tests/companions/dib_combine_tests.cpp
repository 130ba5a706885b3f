// Combining, geometry, stretch and 8-bit blits on hand-made pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "companions/dib_test_util.h"
#include "companions/dibkernel/dib_effects.h"
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

TEST(Combine, MixByFactor) {
  DibPtr a = Make32(3, 2, Bgra(0, 100, 255, 0));
  DibPtr b = Make32(3, 2, Bgra(255, 200, 0, 255), true);
  ASSERT_TRUE(Mix32BitsDIBMMX(a.get(), b.get(), 0));
  EXPECT_EQ(Get32(a.get(), 2, 1), Bgra(0, 100, 255, 0));
  ASSERT_TRUE(Mix32BitsDIBMMX(a.get(), b.get(), 128));
  // (0*127 + 255*128 + 127)/255 = 128; (100*127 + 200*128 + 127)/255 = 150; (255*127 + 127)/255 = 127.
  EXPECT_EQ(Get32(a.get(), 1, 0), Bgra(128, 150, 127, 128));
  ASSERT_TRUE(Mix32BitsDIBMMX(a.get(), b.get(), 255));
  EXPECT_EQ(Get32(a.get(), 0, 1), Bgra(255, 200, 0, 255));
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

TEST(Stretch, NearestPixelCentres) {
  DibPtr src = Coords(2, 2, 7);
  DibPtr dst = Make32(5, 5, Bgra(1, 1, 1, 255));
  ASSERT_TRUE(Stretch32DIB(dst.get(), RECT{-1, 0, 3, 4}, src.get(), RECT{0, 0, 2, 2}));
  // Destination column x maps to (2 (x + 1) + 1) * 2 / 8, row y to (2y + 1) * 2 / 8.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      std::uint32_t want = (x < 3 && y < 4) ? Bgra((2 * (x + 1) + 1) * 2 / 8, (2 * y + 1) * 2 / 8, 7, 255)
                                            : Bgra(1, 1, 1, 255);
      ASSERT_EQ(Get32(dst.get(), x, y), want) << x << "," << y;
    }
  DibPtr big = Coords(4, 4, 3, true);
  DibPtr half = Make32(2, 2);
  ASSERT_TRUE(Stretch32DIB(half.get(), RECT{0, 0, 2, 2}, big.get(), RECT{0, 0, 4, 4}));
  EXPECT_EQ(Get32(half.get(), 0, 0), Bgra(1, 1, 3, 255));
  EXPECT_EQ(Get32(half.get(), 1, 1), Bgra(3, 3, 3, 255));
  // Samples outside the source leave the destination alone.
  DibPtr keep = Make32(2, 1, Bgra(5, 5, 5, 5));
  ASSERT_TRUE(Stretch32DIB(keep.get(), RECT{0, 0, 2, 1}, big.get(), RECT{3, 0, 5, 1}));
  EXPECT_EQ(Get32(keep.get(), 0, 0), Bgra(3, 0, 3, 255));
  EXPECT_EQ(Get32(keep.get(), 1, 0), Bgra(5, 5, 5, 5));
  EXPECT_FALSE(Stretch32DIB(keep.get(), RECT{-2147483647, 0, 2147483647, 1}, big.get(), RECT{0, 0, 2147483647, 1}));
  EXPECT_EQ(Get32(keep.get(), 1, 0), Bgra(5, 5, 5, 5));
  // Far-off rectangles clip to nothing.
  ASSERT_TRUE(Stretch32DIB(keep.get(), RECT{-1000000, 0, -999998, 1}, big.get(), RECT{0, 0, 4, 4}));
  EXPECT_EQ(Get32(keep.get(), 1, 0), Bgra(5, 5, 5, 5));
}

TEST(Blit8, IndicesWithTransparentIndex) {
  auto make8 = [](int w, int h, BYTE fill) {
    DibPtr d(DibAlloc(w, h, 8));
    for (int y = 0; y < h; ++y) std::memset(DibRow(d.get(), y), fill, std::size_t(w));
    return d;
  };
  DibPtr src = make8(3, 2, 0);
  const BYTE top[3] = {1, 2, 3}, bottom[3] = {4, 5, 6};
  std::memcpy(DibRow(src.get(), 0), top, 3);
  std::memcpy(DibRow(src.get(), 1), bottom, 3);
  DibPtr dst = make8(4, 3, 9);
  ASSERT_TRUE(BitBlt8BitsDIB(dst.get(), POINT{0, 0}, src.get(), POINT{-1, 2}, 5));
  const BYTE want2[4] = {2, 3, 9, 9};
  EXPECT_EQ(std::memcmp(DibRow(dst.get(), 2), want2, 4), 0);
  ASSERT_TRUE(BitBlt8BitsDIB(dst.get(), POINT{2, 0}, src.get(), POINT{0, 0}, 1));
  const BYTE want0[4] = {9, 9, 9, 2}, want1[4] = {9, 9, 4, 5};
  EXPECT_EQ(std::memcmp(DibRow(dst.get(), 0), want0, 4), 0);
  EXPECT_EQ(std::memcmp(DibRow(dst.get(), 1), want1, 4), 0);

  DibPtr zin = make8(5, 4, 9);
  ASSERT_TRUE(ZoomIn8BitsDIB(zin.get(), POINT{1, 0}, src.get(), POINT{0, 0}, 2));
  const BYTE zrow0[5] = {9, 1, 1, 2, 2}, zrow3[5] = {9, 4, 4, 5, 5};
  EXPECT_EQ(std::memcmp(DibRow(zin.get(), 0), zrow0, 5), 0);
  EXPECT_EQ(std::memcmp(DibRow(zin.get(), 3), zrow3, 5), 0);
  DibPtr zout = make8(2, 1, 9);
  ASSERT_TRUE(ZoomOut8BitsDIB(zout.get(), POINT{0, 0}, src.get(), POINT{0, 0}, 2));
  EXPECT_EQ(DibRow(zout.get(), 0)[0], 1);
  EXPECT_EQ(DibRow(zout.get(), 0)[1], 3);
}

}  // namespace

// DibKernel effects: the ripple animation and the diamond mosaic.
namespace {

DibPtr Gradient(int w, int h) {
  DibPtr d(DibAlloc(w, h, 32));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const BYTE px[4] = {BYTE(x * 4), BYTE(y * 4), BYTE(x + y), 255};
      std::memcpy(DibRow(d.get(), y) + x * 4, px, 4);
    }
  return d;
}

int Changed(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  int n = 0;
  for (int y = 0; y < DibHeight(a); ++y) n += std::memcmp(DibRow(a, y), DibRow(b, y), DibStride(a)) != 0;
  return n;
}

}  // namespace

TEST(DibEffects, RippleSpreadsAndFades) {
  DibPtr pic = Gradient(48, 40);
  CRippleEffect r;
  ASSERT_TRUE(r.InitializeParams(pic.get()));
  DibPtr calm(r.NextToRipple());  // still water shows the picture as it is
  ASSERT_TRUE(calm);
  EXPECT_EQ(Changed(calm.get(), pic.get()), 0);
  ASSERT_TRUE(r.StartToRipple());
  DibPtr first(r.NextToRipple());
  EXPECT_GT(Changed(first.get(), pic.get()), 0);
  DibPtr last;
  for (int i = 0; i < 600; ++i) last.reset(r.NextToRipple());
  EXPECT_EQ(Changed(last.get(), pic.get()), 0);  // damped out
  r.EndToRipple();
  EXPECT_EQ(r.NextToRipple(), nullptr);
  DibPtr tiny = Gradient(1, 1);
  ASSERT_TRUE(r.InitializeParams(tiny.get()));
  EXPECT_TRUE(r.StartToRipple(0, 0, 5, 100));
  DibPtr t1(r.NextToRipple());
  EXPECT_EQ(Changed(t1.get(), tiny.get()), 0);
}

TEST(DibEffects, DiamondCellsAreUniform) {
  DibPtr pic = Gradient(40, 30);
  DibPtr d(DiamondEffectDIB(pic.get(), 8));
  ASSERT_TRUE(d);
  // Pixels in the same turned cell share one colour; the picture changed.
  auto px = [&](int x, int y) {
    std::uint32_t v;
    std::memcpy(&v, DibRow(d.get(), y) + x * 4, 4);
    return v;
  };
  std::map<std::pair<int, int>, std::uint32_t> cells;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const std::pair<int, int> cell{int(std::floor((x + y + 1) / 8.0)), int(std::floor((x - y) / 8.0))};
      auto [it, fresh] = cells.emplace(cell, px(x, y));
      if (!fresh) {
        ASSERT_EQ(it->second, px(x, y)) << x << "," << y;
      }
    }
  EXPECT_LT(cells.size(), 60u);
  EXPECT_GT(Changed(d.get(), pic.get()), 0);
  DibPtr one(DiamondEffectDIB(pic.get(), 1));
  ASSERT_TRUE(one);
}
