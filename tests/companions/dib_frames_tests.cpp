// The frame splitter, checked the way a GIF viewer uses its output: drawing
// the split over the first frame must give the second frame exactly.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "companions/dibkernel/dib_frames.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

DibPtr Make8(LONG w, LONG h, BYTE fill = 0) {
  DibPtr d(DibAlloc(w, h, 8, 256));
  for (int i = 0; i < 256; ++i) DibPalette(d.get())[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
  for (LONG y = 0; y < h; ++y) std::fill(DibRow(d.get(), y), DibRow(d.get(), y) + w, fill);
  return d;
}

DibPtr MakeMask(LONG w, LONG h, bool opaque) {
  DibPtr m(DibAlloc(w, h, 1, 2));
  DibPalette(m.get())[1] = RGBQUAD{255, 255, 255, 0};
  CMaskedBitmapTransform::FillMaskDIBBits(m.get(), RECT{0, 0, w, h}, opaque);
  return m;
}

bool MaskAt(const BITMAPINFOHEADER* m, LONG x, LONG y) {
  return !m || ((DibRow(m, y)[x >> 3] >> (7 - (x & 7))) & 1);
}

// A screen of palette indexes, -1 for transparent.
struct Screen {
  LONG w, h;
  std::vector<int> px;
  Screen(LONG w, LONG h) : w(w), h(h), px(std::size_t(w * h), -1) {}
  int& at(LONG x, LONG y) { return px[std::size_t(y * w + x)]; }
  void Draw(const BITMAPINFOHEADER* img, const BITMAPINFOHEADER* mask, POINT pos) {
    for (LONG y = 0; y < DibHeight(img); ++y)
      for (LONG x = 0; x < DibWidth(img); ++x)
        if (MaskAt(mask, x, y)) at(pos.x + x, pos.y + y) = DibRow(img, y)[x];
  }
};

// Random frame pairs: a split exists exactly when B covers every pixel A
// shows, and whichever split is used, drawing it over A shows B.
TEST(SpiltEmbededDIB, EverySplitDrawnOverTheFirstFrameGivesTheSecond) {
  std::mt19937 rng(7);
  int splits = 0;
  for (int round = 0; round < 200; ++round) {
    const LONG W = 24, H = 20;
    const LONG wa = 1 + LONG(rng() % 16), ha = 1 + LONG(rng() % 14);
    const POINT pa{LONG(rng() % (W - wa + 1)), LONG(rng() % (H - ha + 1))};
    const LONG wb = 1 + LONG(rng() % W), hb = 1 + LONG(rng() % H);
    const POINT pb{LONG(rng() % (W - wb + 1)), LONG(rng() % (H - hb + 1))};
    DibPtr a = Make8(wa, ha), b = Make8(wb, hb);
    DibPtr ma = MakeMask(wa, ha, true), mb = MakeMask(wb, hb, true);
    for (LONG y = 0; y < ha; ++y)
      for (LONG x = 0; x < wa; ++x) {
        DibRow(a.get(), y)[x] = BYTE(rng() % 3);
        if (rng() % 5 == 0) CMaskedBitmapTransform::FillMaskDIBBits(ma.get(), RECT{x, y, x + 1, y + 1}, false);
      }
    Screen before(W, H), target(W, H);
    before.Draw(a.get(), ma.get(), pa);
    // B copies A where they overlap, with a few changes and holes only where A is transparent.
    for (LONG y = 0; y < hb; ++y)
      for (LONG x = 0; x < wb; ++x) {
        const int under = before.at(pb.x + x, pb.y + y);
        BYTE v = under >= 0 ? BYTE(under) : BYTE(rng() % 3);
        if (rng() % 6 == 0) v = BYTE(rng() % 3);
        DibRow(b.get(), y)[x] = v;
        if (under < 0 && rng() % 4 == 0) CMaskedBitmapTransform::FillMaskDIBBits(mb.get(), RECT{x, y, x + 1, y + 1}, false);
      }
    target.Draw(b.get(), mb.get(), pb);
    CSpiltEmbededDIB s;
    ASSERT_TRUE(s.Reset(a.get(), ma.get(), pa, b.get(), mb.get(), pb));
    bool covers = true;
    for (LONG i = 0; i < W * H; ++i)
      if (before.px[std::size_t(i)] >= 0 && target.px[std::size_t(i)] < 0) covers = false;
    ASSERT_EQ(bool(s.IsCanSpilt()), covers) << round;
    if (!covers) continue;
    ASSERT_EQ(bool(s.IsEqual()), before.px == target.px) << round;
    if (s.IsEqual()) continue;
    for (int kind = 0; kind < 3; ++kind) {
      BITMAPINFOHEADER *img = nullptr, *mask = nullptr;
      POINT pos{};
      const SPLIT_STYLE style = kind == 1 ? SPLIT_ALL_TRANSPARENT : SPLIT_RUNS;
      const BOOL ok = kind == 0 ? s.SplitOpacity(&img, &mask, &pos, nullptr) : s.SplitTransparency(&img, &mask, &pos, &style);
      ASSERT_TRUE(ok);
      DibPtr oi(img), om(mask);
      Screen shown = before;
      shown.Draw(oi.get(), om.get(), pos);
      ASSERT_EQ(shown.px, target.px) << "round " << round << " kind " << kind;
      ++splits;
    }
  }
  EXPECT_GT(splits, 60);
}

}  // namespace
