// Small helpers shared by the imaging tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "imaging/obj_image.h"

namespace imaging_test {

using TevImageTransform::CTevObjImage;

inline DWORD Bgra(BYTE b, BYTE g, BYTE r, BYTE a) {
  return DWORD(b) | (DWORD(g) << 8) | (DWORD(r) << 16) | (DWORD(a) << 24);
}

// A 32-bit image filled with one pixel value.
inline CTevObjImage Solid32(int w, int h, DWORD v) {
  CTevObjImage img(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.SetPixelData(x, y, v);
  return img;
}

// Deterministic pseudo-random fill of every pixel byte.
inline void FillNoise(CTevObjImage& img, std::uint32_t seed) {
  for (int y = 0; y < img.Height(); ++y) {
    BYTE* row = img.GetBits(y);
    for (int i = 0; i < img.GetPitch(); ++i) {
      seed = seed * 1664525u + 1013904223u;
      row[i] = BYTE(seed >> 24);
    }
  }
}

}  // namespace imaging_test
