// Small picture helpers for the vector and shape tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>

#include "companions/base/dib.h"
#include "companions/vector/TevVectorRender.h"
#include "dib_test_util.h"

namespace lwtest {

inline DibPtr MakeDib(int w, int h, std::uint32_t bgra = 0) { return dibtest::Make32(w, h, bgra); }

// Opaque pixels with distinct, reproducible colours.
inline DibPtr MakeNoiseDib(int w, int h, unsigned seed, bool opaque = true) {
  DibPtr d(DibAlloc(w, h, 32));
  std::mt19937 gen(seed);
  for (int y = 0; y < h; ++y) {
    BYTE* row = DibRow(d.get(), y);
    for (int x = 0; x < w * 4; ++x) row[x] = BYTE(gen());
    if (opaque)
      for (int x = 0; x < w; ++x) row[x * 4 + 3] = 255;
  }
  return d;
}

inline const BYTE* Px(const BITMAPINFOHEADER* d, int x, int y) { return DibRow(d, y) + x * 4; }
inline std::uint32_t PxU(const BITMAPINFOHEADER* d, int x, int y) { return dibtest::Get32(d, x, y); }

// The closed rectangle path (x1, y1)-(x2, y2).
inline TevVecLib::CTevPath Rect(double x1, double y1, double x2, double y2) {
  TevVecLib::CTevPath p;
  p.move_to(x1, y1);
  p.line_to(x2, y1);
  p.line_to(x2, y2);
  p.line_to(x1, y2);
  p.ClosePolygon();
  return p;
}

}  // namespace lwtest
