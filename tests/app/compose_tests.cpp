// Composition: visibility, transparency, shadow placement and zoom sampling,
// checked pixel by pixel on the plain and the fast blits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/compose.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

struct Px {
  int b, g, r, a;
  friend bool operator==(const Px&, const Px&) = default;
};
std::ostream& operator<<(std::ostream& os, const Px& p) {
  return os << "(b" << p.b << " g" << p.g << " r" << p.r << " a" << p.a << ")";
}

Px At(const BITMAPINFOHEADER* dib, int x, int y) {
  const BYTE* p = DibRow(dib, y) + 4 * x;
  return {p[0], p[1], p[2], p[3]};
}

DibPtr Solid(int w, int h, COLORREF c, BYTE a = 255) { return DibPtr(CDIB32::CreateSimple32BitsDIB(w, h, c, a)); }

// A frame with one visible reference per object.
RefPtr<CGifFrame> FrameWith(std::initializer_list<std::pair<RefPtr<CDib>, POINT>> items) {
  auto f = MakeRef<CGifFrame>(std::uint16_t(10));
  for (auto& [obj, pos] : items) {
    auto r = MakeRef<CRefImageObject>(obj);
    r->m_nX = pos.x;
    r->m_nY = pos.y;
    r->m_bVisible = true;
    f->m_refs.push_back(r);
  }
  return f;
}

// A crisp (softness 0) parallel shadow of kind 4 at distance (3, 2).
RefPtr<CDib> ShadowedSquare(int size, COLORREF colour) {
  auto o = MakeRef<CDib>(Solid(size, size, colour));
  o->m_nShadowKind = 4;
  o->m_byShadowSoftness = 0;
  o->m_nShadowDistX = 3;
  o->m_nShadowDistY = 2;
  o->m_clrShadow = RGB(0, 0, 0);
  o->BuildShadow();
  return o;
}

class ComposeTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { SetComposeUsesFastBlit(GetParam()); }
  void TearDown() override { SetComposeUsesFastBlit(true); }
  DibPtr White(int w, int h) { return Solid(w, h, RGB(255, 255, 255)); }
};

// A hidden reference and one at transparency 255 draw neither the object
// nor its shadow.
TEST_P(ComposeTest, HiddenOrFullyTransparentObjectAddsNothingNotEvenItsShadow) {
  for (const bool hidden : {true, false}) {
    SCOPED_TRACE(hidden ? "hidden" : "transparency 255");
    auto target = White(20, 20);
    auto obj = ShadowedSquare(6, RGB(255, 0, 0));
    ASSERT_TRUE(obj->HasShadow());
    auto frame = FrameWith({{obj, {2, 2}}});
    if (hidden) frame->m_refs.Edit(0)->m_bVisible = false;
    else frame->m_refs.Edit(0)->m_nTransparency = 255;
    ComposeFrame(target.get(), {0, 0}, *frame);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 20; ++x) ASSERT_EQ(At(target.get(), x, y), (Px{255, 255, 255, 255})) << x << "," << y;
  }
}

// The shadow's own transparency 64, combined with the reference's.
TEST_P(ComposeTest, ShadowTransparency64CombinesWithTheReferenceTransparency) {
  for (const int t : {0, 128}) {
    SCOPED_TRACE(t);
    auto target = White(20, 20);
    auto obj = ShadowedSquare(6, RGB(255, 0, 0));
    auto frame = FrameWith({{obj, {2, 2}}});
    frame->m_refs.Edit(0)->m_nTransparency = t;
    ComposeFrame(target.get(), {0, 0}, *frame);
    // Object covers 2..7; shadow (same size, offset (3, 2)) covers 5..10 x 4..9.
    // Outside the object, inside the shadow: black over white (alpha 191 alone).
    const int st = 255 - ((255 - t) * (255 - 64)) / 255;
    const int sa = (255 * (255 - st) + 127) / 255;
    const int c = (255 * (255 - sa) + 127) / 255;
    EXPECT_EQ(At(target.get(), 10, 9), (Px{c, c, c, 255}));
    // Beyond the shadow.
    EXPECT_EQ(At(target.get(), 11, 9), (Px{255, 255, 255, 255}));
    EXPECT_EQ(At(target.get(), 4, 8), (Px{255, 255, 255, 255}));
  }
}

TEST_P(ComposeTest, LaterReferencesDrawOnTopAndPartsOffCanvasAreClipped) {
  auto target = White(10, 10);
  auto red = MakeRef<CDib>(Solid(4, 4, RGB(255, 0, 0)));
  auto blue = MakeRef<CDib>(Solid(4, 4, RGB(0, 0, 255)));
  auto hanging = MakeRef<CDib>(Solid(5, 5, RGB(255, 0, 0)));
  ComposeFrame(target.get(), {0, 0}, *FrameWith({{red, {0, 0}}, {blue, {2, 2}}, {hanging, {-3, 8}}}));
  const Px r{0, 0, 255, 255}, b{255, 0, 0, 255}, w{255, 255, 255, 255};
  const std::pair<POINT, Px> probes[] = {{{1, 1}, r}, {{3, 3}, b}, {{5, 5}, b}, {{6, 6}, w},
                                         {{0, 8}, r}, {{1, 9}, r}, {{2, 9}, w}, {{0, 7}, w}};
  for (const auto& [at, want] : probes) EXPECT_EQ(At(target.get(), at.x, at.y), want) << at.x << "," << at.y;
}

// A 4 x 4 picture whose pixel (x, y) has red 10x + y so samples name their source.
RefPtr<CDib> Numbered() {
  DibPtr d(CDIB32::CreateBlank32BitsDIB(4, 4));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[2] = BYTE(10 * x + y);
      p[3] = 255;
    }
  return MakeRef<CDib>(std::move(d));
}

TEST_P(ComposeTest, ZoomInMagnifiesEachPixelIntoABlock) {
  DibPtr target(CDIB32::CreateBlank32BitsDIB(20, 20));
  auto frame = FrameWith({{Numbered(), {1, 0}}});
  ComposeFrame(target.get(), {2, 1}, *frame, 3, 3);
  // Source (i, j) fills the block at origin + ((1 + i) * 3, j * 3).
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i)
      for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx) {
          const int X = 2 + (1 + i) * 3 + dx, Y = 1 + j * 3 + dy;
          if (X >= 20 || Y >= 20) continue;
          ASSERT_EQ(At(target.get(), X, Y).r, 10 * i + j) << X << "," << Y;
        }
  EXPECT_EQ(At(target.get(), 4, 1).a, 0);  // left of the object
}

TEST_P(ComposeTest, ZoomOutSamplesEveryFactorthPixel) {
  DibPtr target(CDIB32::CreateBlank32BitsDIB(5, 5));
  auto frame = FrameWith({{Numbered(), {0, 0}}});
  ComposeFrame(target.get(), {1, 0}, *frame, -2, 2);
  // Target (1 + X, Y) shows canvas (2X, 2Y).
  EXPECT_EQ(At(target.get(), 1, 0).r, 0);
  EXPECT_EQ(At(target.get(), 2, 0).r, 20);
  EXPECT_EQ(At(target.get(), 2, 1).r, 22);
  EXPECT_EQ(At(target.get(), 3, 0).a, 0);  // canvas x 4 is outside the 4-wide object
  EXPECT_EQ(At(target.get(), 0, 0).a, 0);  // left of the origin
}

INSTANTIATE_TEST_SUITE_P(PlainAndFast, ComposeTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Fast" : "Plain"; });

TEST(ComposeWithMask, MaskMarksOpaquePixelsAndMatteBlendsEdges) {
  auto half = MakeRef<CDib>(Solid(2, 1, RGB(255, 0, 0), 128));
  auto full = MakeRef<CDib>(Solid(1, 1, RGB(0, 255, 0), 255));
  auto frame = FrameWith({{half, {0, 0}}, {full, {9, 1}}});
  DibPtr image, mask;
  ASSERT_TRUE(ComposeFrameWithMask(*frame, 10, 2, image, mask, 128, RGB(0, 0, 255)));
  ASSERT_EQ(mask->biBitCount, 1);
  const BYTE* m0 = DibRow(mask.get(), 0);
  const BYTE* m1 = DibRow(mask.get(), 1);
  EXPECT_EQ(m0[0] & 0xC0, 0xC0);  // alpha 128 reaches the threshold
  EXPECT_EQ(m0[0] & 0x20, 0);
  EXPECT_EQ(m1[1] & 0x40, 0x40);  // x = 9
  EXPECT_EQ(m1[0], 0);
  // Red at alpha 128 over the blue matte.
  EXPECT_EQ(At(image.get(), 0, 0), (Px{(255 * 127 + 127) / 255, 0, (255 * 128 + 127) / 255, 255}));
}

// Every pixel's mask bit is alpha >= threshold, over the whole-byte part and
// the tail alike, and only partly transparent pixels take the matte.
TEST(ComposeWithMask, MaskBitPerPixelAtEveryThreshold) {
  constexpr int kWidth = 21;
  const BYTE alphas[kWidth] = {0, 255, 1, 254, 127, 128, 129, 255, 0, 0, 200, 255, 255, 255, 255, 255, 64, 255, 0, 128, 255};
  // Rows 1 and 2 are opaque but for one pixel: in the second half of a
  // whole byte, and in the tail.
  const auto alphaAt = [&](int x, int y) { return y == 0 ? alphas[x] : x == (y == 1 ? 13 : 17) ? BYTE(100) : BYTE(255); };
  DibPtr picture(CDIB32::CreateBlank32BitsDIB(kWidth, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const BYTE a = alphaAt(x, y);
      BYTE* p = DibRow(picture.get(), y) + 4 * x;
      p[0] = p[1] = p[2] = a;  // premultiplied grey
      p[3] = a;
    }
  auto frame = FrameWith({{MakeRef<CDib>(std::move(picture)), {0, 0}}});
  for (const int threshold : {0, 1, 128, 255}) {
    DibPtr image, mask;
    ASSERT_TRUE(ComposeFrameWithMask(*frame, kWidth, 3, image, mask, BYTE(threshold), RGB(0, 0, 255)));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const int a = alphaAt(x, y);
        const bool bit = (DibRow(mask.get(), y)[x >> 3] >> (7 - (x & 7))) & 1;
        EXPECT_EQ(bit, a >= threshold) << "threshold " << threshold << " x " << x << " y " << y;
        EXPECT_EQ(At(image.get(), x, y).a, a > 0 ? 255 : 0) << x << "," << y;
      }
  }
}

}  // namespace
