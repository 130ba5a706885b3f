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
// shows, the differing box is the bounding box of the changed pixels, and
// whichever split is used, drawing it over A shows B. Widths pass several
// mask bytes at offsets off the byte grid; masks are holed, full or absent.
TEST(SpiltEmbededDIB, EverySplitDrawnOverTheFirstFrameGivesTheSecond) {
  std::mt19937 rng(7);
  int splits = 0;
  for (int round = 0; round < 400; ++round) {
    const LONG W = 60, H = 20;
    const LONG wa = 1 + LONG(rng() % 40), ha = 1 + LONG(rng() % 14);
    const POINT pa{LONG(rng() % (W - wa + 1)), LONG(rng() % (H - ha + 1))};
    // Every fourth pair: B in A's place, as a frame over the one before it.
    const bool samePlace = round % 4 == 3;
    const LONG wb = samePlace ? wa : 1 + LONG(rng() % W), hb = samePlace ? ha : 1 + LONG(rng() % H);
    const POINT pb = samePlace ? pa : POINT{LONG(rng() % (W - wb + 1)), LONG(rng() % (H - hb + 1))};
    DibPtr a = Make8(wa, ha), b = Make8(wb, hb);
    DibPtr ma = MakeMask(wa, ha, true), mb = MakeMask(wb, hb, true);
    const unsigned holes = round % 3 == 0 ? 0 : round % 3 == 1 ? 5 : 60;  // opaque, holed or nearly opaque
    const unsigned changeOdds = round % 5 < 2 ? 150 : 6;  // few or many changed pixels
    for (LONG y = 0; y < ha; ++y)
      for (LONG x = 0; x < wa; ++x) {
        DibRow(a.get(), y)[x] = BYTE(rng() % 3);
        if (holes && rng() % holes == 0) CMaskedBitmapTransform::FillMaskDIBBits(ma.get(), RECT{x, y, x + 1, y + 1}, false);
      }
    Screen before(W, H), target(W, H);
    before.Draw(a.get(), ma.get(), pa);
    // B copies A where they overlap, with changes and holes mostly where A is transparent.
    for (LONG y = 0; y < hb; ++y)
      for (LONG x = 0; x < wb; ++x) {
        const int under = before.at(pb.x + x, pb.y + y);
        BYTE v = under >= 0 ? BYTE(under) : BYTE(rng() % 3);
        if (rng() % changeOdds == 0) v = BYTE(rng() % 3);
        DibRow(b.get(), y)[x] = v;
        // A rare hole over a pixel A shows: no split can reach B then.
        if (holes && ((under < 0 && (holes > 5 || rng() % 4 == 0)) || rng() % 400 == 0))
          CMaskedBitmapTransform::FillMaskDIBBits(mb.get(), RECT{x, y, x + 1, y + 1}, false);
      }
    target.Draw(b.get(), mb.get(), pb);
    if (!holes && round % 2) ma.reset(), mb.reset();  // opaque frames passed without masks
    CSpiltEmbededDIB s;
    ASSERT_TRUE(s.Reset(a.get(), ma.get(), pa, b.get(), mb.get(), pb));
    bool covers = true;
    for (LONG i = 0; i < W * H; ++i)
      if (before.px[std::size_t(i)] >= 0 && target.px[std::size_t(i)] < 0) covers = false;
    ASSERT_EQ(bool(s.IsCanSpilt()), covers) << round;
    if (!covers) continue;
    ASSERT_EQ(bool(s.IsEqual()), before.px == target.px) << round;
    if (s.IsEqual()) continue;
    RECT box{W, H, -1, -1};
    for (LONG y = 0; y < H; ++y)
      for (LONG x = 0; x < W; ++x)
        if (before.at(x, y) != target.at(x, y))
          box = RECT{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    const RECT diff = s.DiffRect();
    ASSERT_EQ(std::vector<LONG>({diff.left, diff.top, diff.right, diff.bottom}),
              std::vector<LONG>({box.left, box.top, box.right, box.bottom}))
        << round;
    bool unchangedInBox = false;
    for (LONG y = box.top; y < box.bottom; ++y)
      for (LONG x = box.left; x < box.right; ++x) unchangedInBox |= before.at(x, y) >= 0 && before.at(x, y) == target.at(x, y);
    for (int kind = 0; kind < 3; ++kind) {
      BITMAPINFOHEADER *img = nullptr, *mask = nullptr;
      POINT pos{};
      const SPLIT_STYLE style = kind == 1 ? SPLIT_ALL_TRANSPARENT : SPLIT_RUNS;
      bool possible = false;
      const BOOL ok = kind == 0 ? s.SplitOpacity(&img, &mask, &pos, &possible) : s.SplitTransparency(&img, &mask, &pos, &style);
      ASSERT_TRUE(ok);
      if (kind == 0) {
        ASSERT_EQ(possible, unchangedInBox) << round;
      }
      DibPtr oi(img), om(mask);
      Screen shown = before;
      shown.Draw(oi.get(), om.get(), pos);
      ASSERT_EQ(shown.px, target.px) << "round " << round << " kind " << kind;
      ++splits;
    }
  }
  EXPECT_GT(splits, 120);
}

}  // namespace

namespace {

// Filling a rectangle of a mask sets or clears exactly its bits, whatever
// the rectangle's edges within the mask bytes.
TEST(FillMaskDIBBits, ChangesExactlyTheRectangle) {
  std::mt19937 rng(3);
  const LONG w = 37, h = 5;
  DibPtr mask = MakeMask(w, h, false);
  std::vector<bool> expect(std::size_t(w * h), false);
  for (int round = 0; round < 300; ++round) {
    const LONG l = LONG(rng() % (w + 4)) - 2, r = l + LONG(rng() % 30), t = LONG(rng() % h), b = t + 1 + LONG(rng() % 3);
    const bool set = rng() % 2;
    CMaskedBitmapTransform::FillMaskDIBBits(mask.get(), RECT{l, t, r, b}, set);
    for (LONG y = std::max<LONG>(t, 0); y < std::min(b, h); ++y)
      for (LONG x = std::max<LONG>(l, 0); x < std::min(r, w); ++x) expect[std::size_t(y * w + x)] = set;
    for (LONG y = 0; y < h; ++y)
      for (LONG x = 0; x < w; ++x) ASSERT_EQ(MaskAt(mask.get(), x, y), expect[std::size_t(y * w + x)]) << round;
  }
}

}  // namespace
