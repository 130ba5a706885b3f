// Base class helpers: alpha combination and block copy clipping (the clip
// mechanism the wipes draw through is checked through the wipes' geometry).
#include <gtest/gtest.h>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

namespace {

class Helpers : public CShapeWipeEffect {};

}  // namespace

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
  h.Copy32BitsBlock(dst2.get(), src.get(), -10, 0, 3, 3);  // wholly outside
  h.Copy32BitsBlock(dst2.get(), src.get(), 0, 0, 2147483647, 2147483647);
  EXPECT_EQ(Differences(dst2.get(), src.get()), 0);
}
