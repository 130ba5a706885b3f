// DibKernel effects: the ripple animation and the diamond mosaic.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "companions/dibkernel/dib_effects.h"

namespace {

DibPtr Gradient(int w, int h) {
  DibPtr d(DibAlloc(w, h, 32));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const BYTE px[4] = {BYTE(x * 4), BYTE(y * 4), BYTE(x + y), 255};
      std::memcpy(DibRow(d.get(), y) + x * 4, px, 4);
    }
  return d;
}

int Changed(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  int n = 0;
  for (int y = 0; y < DibHeight(a); ++y) n += std::memcmp(DibRow(a, y), DibRow(b, y), DibStride(a)) != 0;
  return n;
}

}  // namespace

TEST(DibEffects, RippleSpreadsAndFades) {
  DibPtr pic = Gradient(48, 40);
  CRippleEffect r;
  ASSERT_TRUE(r.InitializeParams(pic.get()));
  DibPtr calm(r.NextToRipple());  // still water shows the picture as it is
  ASSERT_TRUE(calm);
  EXPECT_EQ(Changed(calm.get(), pic.get()), 0);
  ASSERT_TRUE(r.StartToRipple());
  DibPtr first(r.NextToRipple());
  EXPECT_GT(Changed(first.get(), pic.get()), 0);
  DibPtr last;
  for (int i = 0; i < 600; ++i) last.reset(r.NextToRipple());
  EXPECT_EQ(Changed(last.get(), pic.get()), 0);  // damped out
  r.EndToRipple();
  EXPECT_EQ(r.NextToRipple(), nullptr);
  DibPtr tiny = Gradient(1, 1);
  ASSERT_TRUE(r.InitializeParams(tiny.get()));
  EXPECT_TRUE(r.StartToRipple(0, 0, 5, 100));
  DibPtr t1(r.NextToRipple());
  EXPECT_EQ(Changed(t1.get(), tiny.get()), 0);
}

TEST(DibEffects, DiamondCellsAreUniform) {
  DibPtr pic = Gradient(40, 30);
  DibPtr d(DiamondEffectDIB(pic.get(), 8));
  ASSERT_TRUE(d);
  // Pixels in the same turned cell share one colour; the picture changed.
  auto px = [&](int x, int y) {
    std::uint32_t v;
    std::memcpy(&v, DibRow(d.get(), y) + x * 4, 4);
    return v;
  };
  std::map<std::pair<int, int>, std::uint32_t> cells;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const std::pair<int, int> cell{int(std::floor((x + y + 1) / 8.0)), int(std::floor((x - y) / 8.0))};
      auto [it, fresh] = cells.emplace(cell, px(x, y));
      if (!fresh) {
        ASSERT_EQ(it->second, px(x, y)) << x << "," << y;
      }
    }
  EXPECT_LT(cells.size(), 60u);
  EXPECT_GT(Changed(d.get(), pic.get()), 0);
  DibPtr one(DiamondEffectDIB(pic.get(), 1));
  ASSERT_TRUE(one);
}
