// Depth conversions, opaque bounds and trimming of hand-made DIBs.
#include <gtest/gtest.h>

#include <cstring>

#include "companions/dib_test_util.h"
#include "companions/dibkernel/dib_kernel.h"

using namespace dibtest;

namespace {

const std::uint32_t kRed = Bgra(0, 0, 255, 0), kBlue = Bgra(255, 0, 0, 0), kGreen = Bgra(0, 255, 0, 0);

std::uint32_t Opaque(std::uint32_t c) { return c | 0xFF000000u; }

// (1, 8, 24 and 32 bits convert in every reader test against PIL's pixels.)
TEST(ConvertTo32, IndexPastTheTableReadsBlack) {
  for (bool topDown : {false, true}) {
    auto four = RawDib(3, 2, 4, topDown, Palette({kRed, kGreen, kBlue, Bgra(1, 2, 3, 0)}), {{0x12, 0x30}, {0x09, 0x00}},
                       BI_RGB, 4);
    DibPtr out(CDIB32::ConvertTo32BitsDIB(AsDib(four)));
    ASSERT_TRUE(out);
    EXPECT_EQ(Get32(out.get(), 0, 0), Opaque(kGreen));
    EXPECT_EQ(Get32(out.get(), 2, 0), Opaque(Bgra(1, 2, 3, 0)));
    EXPECT_EQ(Get32(out.get(), 0, 1), Opaque(kRed));
    EXPECT_EQ(Get32(out.get(), 1, 1), 0xFF000000u);
  }
}

TEST(Converter, TwentyFourToLowerBitsChoosesPalette) {
  // Three colours fit in 4 bits: exact table in order of appearance.
  auto p24 = RawDib(3, 2, 24, false, {}, {{9, 9, 9, 1, 2, 3, 9, 9, 9}, {240, 220, 200, 1, 2, 3, 240, 220, 200}});
  DibPtr out(CBitmapConverter::Convert24BitsDIBToLowerBitsDIB(AsDib(p24), 4));
  ASSERT_TRUE(out);
  EXPECT_EQ(out->biClrUsed, 3u);
  EXPECT_EQ(std::memcmp(DibPalette(out.get()), Palette({Bgra(9, 9, 9, 0), Bgra(1, 2, 3, 0), Bgra(240, 220, 200, 0)}).data(), 12), 0);
  EXPECT_EQ(DibRow(out.get(), 0)[0], 0x01);
  EXPECT_EQ(DibRow(out.get(), 0)[1], 0x00);
  EXPECT_EQ(DibRow(out.get(), 1)[0], 0x21);
  EXPECT_EQ(DibRow(out.get(), 1)[1], 0x20);
  // Too many colours for 1 bit: black and white, nearest.
  DibPtr mono(CBitmapConverter::Convert24BitsDIBToLowerBitsDIB(AsDib(p24), 1));
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->biClrUsed, 2u);
  EXPECT_EQ(DibRow(mono.get(), 0)[0], 0x00);
  EXPECT_EQ(DibRow(mono.get(), 1)[0], 0xA0);
}

}  // namespace

// Opaque bounds and trimming on hand-made pictures. (Block copies, blends and
// merges are checked through the GIF frame rebuild of the application tests;
// the kernel's stretch, 8-bit blits, mixing, ripple and diamond routines have
// no caller in the program.)
using namespace DibKernel;

namespace {

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
