// Base class helpers: DIB creation and addressing, alpha helpers, block copy
// clipping and the clip mechanism the wipes draw through.
#include <gtest/gtest.h>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

namespace {

// Makes the protected clipping helpers reachable.
class ClipProbe : public CShapeWipeEffect {
 public:
  using CShapeWipeEffect::DoHClipPolygon;
  using CShapeWipeEffect::DoVClipPolygon;
  using CShapeWipeEffect::IntersectHorzLine;
  using CShapeWipeEffect::IntersectPoint;
  using CShapeWipeEffect::IntersectVertLine;
};

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
}

TEST(EffectDib, CreateDibImageHeaderAndRefusals) {
  DibPtr d(reinterpret_cast<BITMAPINFOHEADER*>(CGeneralEffect::CreateDibImage(5, 3, 24, 7)));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->biSize, 40u);
  EXPECT_EQ(d->biWidth, 5);
  EXPECT_EQ(d->biHeight, 3);
  EXPECT_EQ(d->biPlanes, 1);
  EXPECT_EQ(d->biBitCount, 24);
  EXPECT_EQ(d->biClrUsed, 0u);  // no palette above 8 bits
  EXPECT_EQ(d->biCompression, 0u);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(0, 3, 32, 0), nullptr);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(3, -1, 32, 0), nullptr);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(3, 3, 7, 0), nullptr);
  EXPECT_EQ(CGeneralEffect::CreateDibImage(70000, 3, 32, 0), nullptr);
}

TEST(EffectDib, SimpleDibStoresColourAsBgra) {
  DibPtr d(CGeneralEffect::CreateSimple32BitsDIB(3, 2, 0x00332211, 0x80));
  ASSERT_TRUE(d);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(d.get(), x, y), 0x80112233u);
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

TEST(EffectAlpha, OpacityAndColourComposition) {
  Helpers h;
  EXPECT_EQ(h.CalcuOpacity(0, 0), 0);
  EXPECT_EQ(h.CalcuOpacity(255, 0), 255);
  EXPECT_EQ(h.CalcuOpacity(128, 128), 255 - 127 * 127 / 255);
  // Opaque layer over anything gives the layer's colour.
  EXPECT_EQ(h.CalcuRGBValue(10, 255, 255, 200, 255), 200);
  // Half layer over opaque: (127 * 100 * 255 / 255 + 50 * 128) / 255.
  EXPECT_EQ(h.CalcuRGBValue(100, 128, 255, 50, 255), (127 * 100 + 50 * 128) / 255);
  // aOut 0: no division, clamped.
  EXPECT_EQ(h.CalcuRGBValue(100, 200, 255, 250, 0), 255);
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

TEST(EffectClip, ShapeWipeBaseRendersNothing) {
  DibPtr src = Pattern(5, 5);
  Helpers base;
  DibPtr dst = Render(base, src.get(), 1.0);
  EXPECT_TRUE(AllTransparent(dst.get()));
}

TEST(EffectClip, SutherlandHodgmanSteps) {
  ClipProbe p;
  double x, y;
  p.IntersectPoint(1, 0, -1, 4, &x, &y);
  EXPECT_DOUBLE_EQ(x, 2);
  EXPECT_DOUBLE_EQ(y, 2);

  double ox[2], oy[2];
  // Entering x >= 1: crossing then end point.
  ASSERT_EQ(p.IntersectHorzLine(0, 0, 2, 2, 1, true, ox, oy), 2);
  EXPECT_DOUBLE_EQ(ox[0], 1);
  EXPECT_DOUBLE_EQ(oy[0], 1);
  EXPECT_DOUBLE_EQ(ox[1], 2);
  // Leaving: the crossing alone; both out: nothing; on the line: retained.
  ASSERT_EQ(p.IntersectHorzLine(2, 2, 0, 0, 1, true, ox, oy), 1);
  EXPECT_DOUBLE_EQ(ox[0], 1);
  EXPECT_EQ(p.IntersectHorzLine(0, 0, 0.5, 3, 1, true, ox, oy), 0);
  EXPECT_EQ(p.IntersectHorzLine(1, 0, 1, 3, 1, true, ox, oy), 1);
  // Horizontal line y = 1 keeping y <= 1.
  ASSERT_EQ(p.IntersectVertLine(0, 3, 0, -1, 1, true, ox, oy), 2);
  EXPECT_DOUBLE_EQ(oy[0], 1);
  EXPECT_DOUBLE_EQ(oy[1], -1);

  // A 4 x 4 square clipped to x <= 1 and then y >= 0 leaves a 3 x 2 piece.
  const double sx[4] = {-2, 2, 2, -2}, sy[4] = {-2, -2, 2, 2};
  double ax[100], ay[100], bx[100], by[100];
  int n = p.DoHClipPolygon(sx, sy, 4, ax, ay, 1, false);
  n = p.DoVClipPolygon(ax, ay, n, bx, by, 0, false);
  ASSERT_EQ(n, 4);
  double area = 0;
  for (int i = 0; i < n; ++i) area += bx[i] * by[(i + 1) % n] - bx[(i + 1) % n] * by[i];
  EXPECT_DOUBLE_EQ(std::abs(area) / 2, 6.0);
  EXPECT_EQ(p.DoHClipPolygon(sx, sy, 0, ax, ay, 0, true), 0);
}
