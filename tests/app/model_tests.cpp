// The animation model: depth conversion, shadow placement, the object/frame
// invariant and normalization.
#include <gtest/gtest.h>

#include <cmath>

#include "app/compose.h"
#include "app/gif_image.h"
#include "app/loopwright_doc.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

DibPtr Solid(int w, int h, COLORREF c = RGB(1, 2, 3), BYTE a = 255) {
  return DibPtr(CDIB32::CreateSimple32BitsDIB(w, h, c, a));
}

TEST(Objects, OtherDepthsAreConvertedTo32Bits) {
  DibPtr grey(CBitmapCreator::CreateDibImage(4, 3, 8, 256));
  for (int i = 0; i < 256; ++i) DibPalette(grey.get())[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  DibRow(grey.get(), 0)[1] = 200;
  CDib o(std::move(grey));
  ASSERT_NE(o.GetImage(), nullptr);
  EXPECT_EQ(o.GetImage()->biBitCount, 32);
  const BYTE* p = DibRow(o.GetImage(), 0) + 4;
  EXPECT_EQ(p[0], 200);
  EXPECT_EQ(p[3], 255);
}

// Kinds 1-5 (parallel) centre the grown silhouette, then offset it; 6-9
// (perspective: angle 30, length 80, ratio 100) put its ground row on the
// object's bottom edge; 0 and 10 have none.
TEST(ShadowPlacement, EveryKindPlacesItsShadow) {
  CDib o(Solid(40, 20));
  o.m_byShadowSoftness = 5;
  const int expect[9][2] = {{-10, -10}, {0, -10}, {-10, 0}, {0, 0}, {-5, -5}, {-19, 7}, {-5, 7}, {-19, 15}, {-5, 15}};
  for (int kind = 0; kind <= 10; ++kind) {
    SCOPED_TRACE(kind);
    o.m_nShadowKind = kind;
    o.BuildShadow();
    ASSERT_EQ(o.HasShadow(), kind >= 1 && kind <= 9);
    if (!o.HasShadow()) continue;
    EXPECT_EQ(o.m_nShadowPosX, expect[kind - 1][0]);
    EXPECT_EQ(o.m_nShadowPosY, expect[kind - 1][1]);
    const int w = o.GetShadowImage()->biWidth, h = DibHeight(o.GetShadowImage());
    if (kind <= 5) {
      EXPECT_EQ(w, 50);
      EXPECT_EQ(h, 30);
    } else {
      EXPECT_EQ(h, 8 + 10);
      EXPECT_EQ(kind <= 7 ? o.m_nShadowPosY + h : o.m_nShadowPosY, kind <= 7 ? 20 + 5 : 20 - 5);
    }
  }
}

TEST(ShadowPlacement, UprightShadowBelowMirrorsTheSilhouette) {
  // Only the top row is opaque: straight down (angle 90, length 100) its
  // shadow is the bottom row of the mirror image below the object.
  DibPtr d(CDIB32::CreateBlank32BitsDIB(3, 4));
  for (int x = 0; x < 3; ++x) DibRow(d.get(), 0)[4 * x + 3] = 255;
  auto o = MakeRef<CDib>(std::move(d));
  o->m_nShadowKind = 9;
  o->m_byShadowSoftness = 0;
  o->m_nPerspectiveAngle = 90;
  o->m_nPerspectiveLength = 100;
  o->m_byShadowTransparency = 0;
  o->m_clrShadow = RGB(0, 0, 0);
  o->BuildShadow();
  ASSERT_TRUE(o->HasShadow());
  EXPECT_EQ(o->m_nShadowPosX, 0);
  EXPECT_EQ(o->m_nShadowPosY, 4);
  DibPtr target(CDIB32::CreateSimple32BitsDIB(6, 12, RGB(255, 255, 255), 255));
  auto frame = MakeRef<CGifFrame>(std::uint16_t(10));
  auto ref = MakeRef<CRefImageObject>(o);
  ref->m_nX = 1;
  ref->m_nY = 2;
  ref->m_bVisible = true;
  frame->m_refs.push_back(ref);
  ComposeFrame(target.get(), {0, 0}, *frame);
  auto red = [&](int x, int y) { return DibRow(target.get(), y)[4 * x + 2]; };
  // Shadow rows 6..9: the last one (mirror of row 0) is black.
  EXPECT_EQ(red(2, 9), 0);
  EXPECT_EQ(red(2, 8), 255);
}

TEST(Invariant, ObjectOperationsApplyToEveryFrame) {
  CGifImage m;
  auto a = MakeRef<CDib>(Solid(1, 1)), b = MakeRef<CDib>(Solid(1, 1)), c = MakeRef<CDib>(Solid(1, 1));
  m.m_frames.push_back(MakeRef<CGifFrame>(std::uint16_t(5)));
  m.m_frames.push_back(MakeRef<CGifFrame>(std::uint16_t(6)));
  ASSERT_TRUE(m.InsertObject(0, a));
  ASSERT_TRUE(m.InsertObject(1, b));
  ASSERT_TRUE(m.InsertObject(1, c));
  ASSERT_TRUE(m.CheckInvariant());
  EXPECT_EQ(m.m_objects[1], c);
  m.m_frames[1]->m_refs.Edit(2)->m_nX = 42;
  ASSERT_TRUE(m.MoveObject(2, 0));
  ASSERT_TRUE(m.CheckInvariant());
  EXPECT_EQ(m.m_objects[0], b);
  EXPECT_EQ(m.m_frames[1]->m_refs[0]->m_nX, 42);
  ASSERT_TRUE(m.RemoveObject(1));
  ASSERT_TRUE(m.CheckInvariant());
  EXPECT_EQ(m.IndexOfObject(a.get()), -1);
}

}  // namespace
