// Base class helpers: DIB creation and addressing, alpha combination, block
// copy clipping and the clip mechanism the wipes draw through (the polygon
// clipping steps are checked through the wipes' geometry).
#include <gtest/gtest.h>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

namespace {

class Helpers : public CShapeWipeEffect {};

}  // namespace

TEST(EffectDib, ImageBitsSkipHeaderPaletteAndMasks) {
  DibPtr p8(reinterpret_cast<BITMAPINFOHEADER*>(CGeneralEffect::CreateDibImage(3, 2, 8, 0)));
  ASSERT_TRUE(p8);
  EXPECT_EQ(CGeneralEffect::GetDibImageBits(p8.get()) - reinterpret_cast<unsigned char*>(p8.get()), 40 + 1024);
  DibPtr p4(reinterpret_cast<BITMAPINFOHEADER*>(CGeneralEffect::CreateDibImage(3, 2, 4, 5)));
  ASSERT_TRUE(p4);
  EXPECT_EQ(p4->biClrUsed, 5u);
  EXPECT_EQ(CGeneralEffect::GetDibImageBits(p4.get()) - reinterpret_cast<unsigned char*>(p4.get()), 40 + 20);
  DibPtr p32 = Blank(2, 2);
  p32->biCompression = BI_BITFIELDS;
  EXPECT_EQ(CGeneralEffect::GetDibImageBits(p32.get()) - reinterpret_cast<unsigned char*>(p32.get()), 52);
  EXPECT_EQ(CGeneralEffect::GetDibImageBits(nullptr), nullptr);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(0, 3, 32, 0), nullptr);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(3, -1, 32, 0), nullptr);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(3, 3, 7, 0), nullptr);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(70000, 3, 32, 0), nullptr);
}

TEST(EffectAlpha, CombineAlpha) {
  DibPtr dst = Pattern(4, 3);
  SetPx(dst.get(), 1, 1, 0xC8445566);  // alpha 200
  DibPtr before = Copy(dst.get());
  DibPtr opaque(CGeneralEffect::CreateSimple32BitsDIB(4, 3, 0x123456, 255));
  CGeneralEffect::CombineAlpha(dst.get(), opaque.get());
  EXPECT_EQ(Differences(dst.get(), before.get()), 0);

  DibPtr half(CGeneralEffect::CreateSimple32BitsDIB(4, 3, 0, 128));
  CGeneralEffect::CombineAlpha(dst.get(), half.get());
  EXPECT_EQ(Px(dst.get(), 1, 1), 0x64445566u);  // 200 * 128 / 255 = 100
  EXPECT_EQ(Alpha(dst.get(), 0, 0), 128);

  DibPtr clear = Blank(4, 3);
  CGeneralEffect::CombineAlpha(dst.get(), clear.get());
  EXPECT_EQ(Px(dst.get(), 1, 1), 0x00445566u);  // colours kept
  CGeneralEffect::CombineAlpha(nullptr, clear.get());
  CGeneralEffect::CombineAlpha(dst.get(), nullptr);
}

TEST(EffectCopyBlock, ClipsToBothPictures) {
  Helpers h;
  DibPtr src = Pattern(6, 5);
  DibPtr dst = Blank(6, 5);
  h.Copy32BitsBlock(dst.get(), src.get(), -2, -1, 4, 3);  // becomes (0, 0, 2, 2)
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(Px(dst.get(), x, y), (x < 2 && y < 2) ? PatternPixel(x, y) : 0u) << x << "," << y;

  DibPtr dst2 = Blank(6, 5);
  h.Copy32BitsBlock(dst2.get(), src.get(), 4, 3, 100, 100);  // cut at the right and bottom
  EXPECT_EQ(Px(dst2.get(), 5, 4), PatternPixel(5, 4));
  EXPECT_EQ(Px(dst2.get(), 4, 3), PatternPixel(4, 3));
  EXPECT_EQ(Px(dst2.get(), 3, 3), 0u);
  h.Copy32BitsBlock(dst2.get(), src.get(), 6, 0, 3, 3);    // wholly outside
  h.Copy32BitsBlock(dst2.get(), src.get(), -10, 0, 3, 3);  // wholly outside
  h.Copy32BitsBlock(dst2.get(), src.get(), 0, 0, 2147483647, 2147483647);
  EXPECT_EQ(Differences(dst2.get(), src.get()), 0);

  // A smaller destination limits the copy.
  DibPtr small = Blank(2, 3);
  h.Copy32BitsBlock(small.get(), src.get(), 0, 0, 6, 5);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(Px(small.get(), x, y), PatternPixel(x, y));
  // Wrong depth or null: nothing.
  DibPtr p24(DibAlloc(6, 5, 24));
  h.Copy32BitsBlock(p24.get(), src.get(), 0, 0, 6, 5);
  h.Copy32BitsBlock(nullptr, src.get(), 0, 0, 6, 5);
}

TEST(EffectClip, PathCopiesSourceInsideOnly) {
  DibPtr src = Pattern(10, 8);
  DibPtr dst(CGeneralEffect::CreateSimple32BitsDIB(10, 8, 0x0000FF, 255));
  CTevPath path;
  const double xs[4] = {2, 7, 7, 2}, ys[4] = {1, 1, 5, 5};
  path.move_to(xs[0], ys[0]);
  for (int i = 1; i < 4; ++i) path.line_to(xs[i], ys[i]);
  path.ClosePolygon();
  CGeneralEffect::BuildClipDIB(dst.get(), src.get(), path, CTevTransMatrix());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x < 7 && y >= 1 && y < 5;
      EXPECT_EQ(Px(dst.get(), x, y), inside ? PatternPixel(x, y) : 0xFFFF0000u) << x << "," << y;
    }
}
