// Helpers for the effect library tests: pictures with a known pattern, pixel
// access from the top, and an independent copy of the C library generator.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "companions/base/dib.h"
#include "effects/TevImgEffect.h"

namespace effect_test {

inline DibPtr Blank(int w, int h) { return DibPtr(DibAlloc(w, h, 32)); }

// Opaque picture whose every pixel differs from its neighbours.
inline std::uint32_t PatternPixel(int x, int y) {
  return std::uint32_t((x * 7 + 3) & 0xFF) | (std::uint32_t((y * 13 + 5) & 0xFF) << 8) |
         (std::uint32_t((x * 3 + y * 5 + 11) & 0xFF) << 16) | 0xFF000000u;
}

inline std::uint32_t Px(const BITMAPINFOHEADER* d, int x, int y) {
  std::uint32_t v;
  std::memcpy(&v, DibRow(d, y) + std::size_t(x) * 4, 4);
  return v;
}
inline void SetPx(BITMAPINFOHEADER* d, int x, int y, std::uint32_t v) {
  std::memcpy(DibRow(d, y) + std::size_t(x) * 4, &v, 4);
}
inline int Alpha(const BITMAPINFOHEADER* d, int x, int y) { return int(Px(d, x, y) >> 24); }

inline DibPtr Pattern(int w, int h) {
  DibPtr d = Blank(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPx(d.get(), x, y, PatternPixel(x, y));
  return d;
}

inline DibPtr Copy(const BITMAPINFOHEADER* d) { return DibPtr(DibCopy(d)); }

inline bool AllTransparent(const BITMAPINFOHEADER* d) {
  for (int y = 0; y < DibHeight(d); ++y)
    for (int x = 0; x < DibWidth(d); ++x)
      if (Px(d, x, y) != 0) return false;
  return true;
}

// Number of pixels where a and b differ (a and b of the same size).
inline int Differences(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  int n = 0;
  for (int y = 0; y < DibHeight(a); ++y)
    for (int x = 0; x < DibWidth(a); ++x) n += Px(a, x, y) != Px(b, x, y);
  return n;
}

// Renders effect at progress into a fresh transparent picture of src's size.
inline DibPtr Render(TevImgEffectLib::CGeneralEffect& effect, BITMAPINFOHEADER* src, double t) {
  DibPtr dst = Blank(DibWidth(src), DibHeight(src));
  effect.DoRender(dst.get(), src, t);
  return dst;
}

// The classic rand(): state * 214013 + 2531011, bits 16..30.
struct ClassicRand {
  std::uint64_t state;
  int operator()() {
    state = (state * 214013 + 2531011) % 4294967296ull;
    return int((state / 65536) % 32768);
  }
};

// Cuts dst into cw x ch cells and returns the cells (column, row) that show
// src whole. Fails where a pixel is neither transparent nor src's, or where a
// cell is only partly shown.
inline std::vector<std::pair<int, int>> CellsShown(const BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, int cw,
                                                   int ch) {
  std::vector<std::pair<int, int>> shown;
  for (int cy = 0; cy < DibHeight(dst); cy += ch)
    for (int cx = 0; cx < DibWidth(dst); cx += cw) {
      int on = 0, all = 0;
      for (int y = cy; y < std::min(cy + ch, DibHeight(dst)); ++y)
        for (int x = cx; x < std::min(cx + cw, DibWidth(dst)); ++x, ++all) {
          EXPECT_TRUE(Px(dst, x, y) == 0 || Px(dst, x, y) == Px(src, x, y)) << x << "," << y;
          on += Px(dst, x, y) != 0;
        }
      EXPECT_TRUE(on == 0 || on == all) << "cell at " << cx << "," << cy;
      if (on == all) shown.push_back({cx / cw, cy / ch});
    }
  return shown;
}

}  // namespace effect_test
