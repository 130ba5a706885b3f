// Image effects: the mosaics' block order, the pixel rules of the blends and
// adjustments, and what progress 0 and 1 give.
#include <gtest/gtest.h>

#include <cmath>

#include "effect_test_util.h"

using namespace TevImgEffectLib;
using namespace effect_test;

namespace {

DibPtr Filled(int w, int h, std::uint32_t v) {
  DibPtr d = Blank(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPx(d.get(), x, y, v);
  return d;
}

}  // namespace

// Whole cells only, round(cells * t) of them, and exact end points.
TEST(Mosaic, ShowsWholeCellsInProportion) {
  const int w = 23, h = 17, a = 5;
  DibPtr src = Pattern(w, h);
  CMosaicEffect e(a);
  for (double t : {0.37, 0.8})
    EXPECT_EQ(CellsShown(Render(e, src.get(), t).get(), src.get(), a, a).size(), std::size_t(std::lround(20 * t)));
  EXPECT_TRUE(AllTransparent(Render(e, src.get(), 0).get()));
  EXPECT_EQ(Differences(Render(e, src.get(), 1).get(), src.get()), 0);
  CMosaicEffect big(50);  // one cell
  EXPECT_EQ(Differences(Render(big, src.get(), 0.5).get(), src.get()), 0);
  EXPECT_TRUE(AllTransparent(Render(big, src.get(), 0.49).get()));
}

// The sweep draws from a window of two lines of cells, so after n cells every
// cell shown lies within the first n + window - 1 of the sweep order.
TEST(Mosaic, DirectionSweepsWithATwoLineWindow) {
  const int w = 23, h = 17, a = 4, cols = 6, rows = 5;
  DibPtr src = Pattern(w, h);
  for (int dir = 0; dir < 4; ++dir) {
    CDirectionSenseMosaicEffect e(a, dir);
    const bool byColumns = dir == 0 || dir == 2;
    const auto cells = CellsShown(Render(e, src.get(), 0.37).get(), src.get(), a, a);
    const int n = int(std::lround(cols * rows * 0.37)), window = 2 * (byColumns ? rows : cols);
    EXPECT_EQ(int(cells.size()), n) << dir;
    for (auto [c, r] : cells) {
      const int place = byColumns ? (dir == 2 ? cols - 1 - c : c) * rows + r : (dir == 3 ? rows - 1 - r : r) * cols + c;
      EXPECT_LT(place, n + window - 1) << dir << " cell " << c << "," << r;
    }
    EXPECT_EQ(Differences(Render(e, src.get(), 1).get(), src.get()), 0) << dir;
  }
}

TEST(Thawing, AveragesBlocksAndCopiesAtTheEnd) {
  DibPtr src = Pattern(5, 5);
  SetPx(src.get(), 0, 0, 0x10203040);
  CThawingEffect e(40);
  DibPtr garbage = Filled(5, 5, 0x12345678);
  e.DoRender(garbage.get(), src.get(), 1);
  EXPECT_EQ(Differences(garbage.get(), src.get()), 0);
  DibPtr d = Filled(5, 5, 0x12345678);
  e.DoRender(d.get(), src.get(), 0.95);  // blocks of 2
  for (int c = 0; c < 32; c += 8) {
    int sum = 0;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) sum += (Px(src.get(), x, y) >> c) & 0xFF;
    EXPECT_EQ(int((Px(d.get(), 1, 1) >> c) & 0xFF), sum / 4);
    EXPECT_EQ(Px(d.get(), 0, 0), Px(d.get(), 1, 1));
  }
  EXPECT_EQ(Px(d.get(), 4, 4), Px(src.get(), 4, 4));  // a 1 x 1 block at the corner
}

TEST(Blends, GrayAndEmboss) {
  DibPtr src = Pattern(7, 5);
  SetPx(src.get(), 2, 2, 0x80C86432);  // alpha 128, R 200, G 100, B 50
  CGrayEffect gray;
  DibPtr g1 = Filled(7, 5, 0xFFFFFFFF);
  gray.DoRender(g1.get(), src.get(), 1);
  EXPECT_EQ(Differences(g1.get(), src.get()), 0);
  DibPtr g0 = Filled(7, 5, 0xFFFFFFFF);
  gray.DoRender(g0.get(), src.get(), 0);
  const int gv = ((50 + 200) * 33 + 100 * 34) / 100;
  EXPECT_EQ(Px(g0.get(), 2, 2), 0x80000000u | std::uint32_t(gv * 0x010101));

  CEmbossEffect emboss;
  DibPtr e = Filled(7, 5, 0x00FFFFFF);
  emboss.DoRender(e.get(), src.get(), 0.25);
  EXPECT_EQ(Px(e.get(), 2, 2), 0x80000000u | std::uint32_t(std::floor(200 * 0.25 + 255 * 0.75 + 0.5)) << 16 |
                                   std::uint32_t(std::floor(100 * 0.25 + 255 * 0.75 + 0.5)) << 8 |
                                   std::uint32_t(std::floor(50 * 0.25 + 255 * 0.75 + 0.5)));
  DibPtr e1 = Filled(7, 5, 0x00FFFFFF);
  emboss.DoRender(e1.get(), src.get(), 1);
  EXPECT_EQ(Differences(e1.get(), src.get()), 0);
}

TEST(Adjust, BrightnessContrastTables) {
  DibPtr src = Pattern(6, 4);
  SetPx(src.get(), 1, 1, 0x7F64C832);  // A 127, R 100, G 200, B 50
  CBrightnessContrastEffect e(150, 40);
  DibPtr d = Copy(src.get());
  e.DoRender(d.get(), src.get(), 1);
  EXPECT_EQ(Differences(d.get(), src.get()), 0);

  DibPtr half = Copy(src.get());
  CBrightnessContrastEffect::DoAdjust(half.get(), 50, 100);
  EXPECT_EQ(Px(half.get(), 1, 1), 0x7F326419u);  // every channel halved, alpha kept
  DibPtr strong = Copy(src.get());
  CBrightnessContrastEffect::DoAdjust(strong.get(), 100, 200);
  // (v - 128) * 2 + 128: 100 -> 72, 200 -> 272 -> 255, 50 -> -28 -> 0.
  EXPECT_EQ(Px(strong.get(), 1, 1), 0x7F48FF00u);
  // At progress 0 the constructor's values apply.
  DibPtr start = Copy(src.get());
  CBrightnessContrastEffect dim(50, 100);
  dim.DoRender(start.get(), src.get(), 0);
  EXPECT_EQ(Px(start.get(), 1, 1), 0x7F326419u);
}

TEST(Transforms, ZoomAndLightOverlay) {
  DibPtr src = Pattern(30, 20);
  // Zoom: a plain picture stays plain, DoRender draws nothing.
  DibPtr plain = Filled(30, 20, 0xFF336699);
  CZoomEffect zoom;
  DibPtr in = Blank(30, 20);
  ASSERT_TRUE(zoom.CreateZoomInBitmap(in.get(), plain.get(), 0, 5, false));
  EXPECT_EQ(Differences(in.get(), plain.get()), 0);
  DibPtr out = Blank(15, 10);
  ASSERT_TRUE(zoom.CreateZoomOutBitmap(out.get(), plain.get(), 0, 1, true));  // half size
  EXPECT_EQ(Px(out.get(), 7, 5), 0xFF336699u);
  EXPECT_FALSE(zoom.CreateZoomOutBitmap(out.get(), plain.get(), 4, 5, false));  // nothing left
  EXPECT_TRUE(AllTransparent(Render(zoom, src.get(), 0.5).get()));

  // Overlay rule (the light effect's line and glow are checked against
  // their layers in the reference tests).
  DibPtr grey = Filled(40, 40, 0xFF404040);
  DibPtr layer(CGeneralEffect::CreateSimple32BitsDIB(40, 40, 0xFFFFFF, 51));
  DibPtr o = Copy(grey.get());
  CLightEffect::Overlay2Images(o.get(), layer.get());
  EXPECT_EQ(Px(o.get(), 0, 0), 0xFF000000u | std::uint32_t((204 * 0x40 + 51 * 255) / 255) * 0x010101u);
}

// Base class helpers: alpha combination and block copy clipping (the clip
// mechanism the wipes draw through is checked through the wipes' geometry).
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
