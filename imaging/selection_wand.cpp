// Magic-wand selections: every pixel whose colour lies within a tolerance of
// the clicked pixel, either connected to it (4-neighbour flood) or anywhere.
#include <cstdlib>
#include <initializer_list>
#include <cstring>
#include <vector>

#include "imaging/obj_selection.h"

namespace TevImageTransform {

bool CTevObjSelection::CMagicWandSelection::IsInTolerance(const void* pixel, RGBQUAD colour, int tolerance) {
  if (!pixel) return false;
  const BYTE* p = static_cast<const BYTE*>(pixel);
  return std::abs(p[0] - colour.rgbBlue) <= tolerance && std::abs(p[1] - colour.rgbGreen) <= tolerance &&
         std::abs(p[2] - colour.rgbRed) <= tolerance && p[3] == colour.rgbReserved;
}

int CTevObjSelection::CreateMagicWandSeleciton(BITMAPINFOHEADER* image, const POINT& seed, const POINT& position,
                                               int tolerance, int connected) {
  SetSelectionEmpty();
  if (!IsUsableHeader(image)) return 0;
  // Work on 32-bit pixels whatever the depth (a copy only when needed).
  CTevObjImage pixels;
  if (image->biBitCount == 32 && image->biCompression == BI_RGB) {
    pixels.Attach(image);
  } else {
    if (!pixels.Create(image)) return 0;
    pixels.ConvertTo32Bit();
    if (pixels.ColorBits() != 32) return 0;
  }
  const int w = pixels.Width(), h = pixels.Height();
  if (!pixels.IsInside(seed.x, seed.y)) return 0;
  RGBQUAD colour;
  std::memcpy(&colour, pixels.GetBits(seed.x, seed.y), 4);
  CTevObjImage mask;
  if (!mask.Create(w, h, 8, 0)) return 0;
  // Row addresses without the per-pixel bounds checks of GetBits (the
  // flood only asks for points inside the image).
  BYTE* const row0 = pixels.GetBits(0);
  const std::ptrdiff_t step = h > 1 ? pixels.GetBits(1) - row0 : 0;
  auto matches = [&](int x, int y) {
    const BYTE* p = row0 + step * y + 4 * std::ptrdiff_t(x);
    return std::abs(p[0] - colour.rgbBlue) <= tolerance && std::abs(p[1] - colour.rgbGreen) <= tolerance &&
           std::abs(p[2] - colour.rgbRed) <= tolerance && p[3] == colour.rgbReserved;
  };

  if (!connected) {
    for (int y = 0; y < h; ++y) {
      BYTE* d = mask.GetBits(y);
      for (int x = 0; x < w; ++x)
        if (matches(x, y)) d[x] = 255;
    }
  } else {
    // Scanline flood: each popped seed fills its whole run, then pushes one
    // seed per matching run in the rows above and below.
    BYTE* const mrow0 = mask.GetBits(0);
    const std::ptrdiff_t mstep = h > 1 ? mask.GetBits(1) - mrow0 : 0;
    std::vector<POINT> stack{seed};
    while (!stack.empty()) {
      const POINT p = stack.back();
      stack.pop_back();
      BYTE* row = mrow0 + mstep * p.y;
      if (row[p.x] || !matches(p.x, p.y)) continue;
      int l = p.x, r = p.x;
      while (l > 0 && !row[l - 1] && matches(l - 1, p.y)) --l;
      while (r < w - 1 && !row[r + 1] && matches(r + 1, p.y)) ++r;
      std::memset(row + l, 255, std::size_t(r - l + 1));
      for (int ny : {p.y - 1, p.y + 1}) {
        if (ny < 0 || ny >= h) continue;
        const BYTE* nrow = mrow0 + mstep * ny;
        bool inRun = false;
        for (int x = l; x <= r; ++x) {
          const bool open = !nrow[x] && matches(x, ny);
          if (open && !inRun) stack.push_back(POINT{x, ny});
          inRun = open;
        }
      }
    }
  }
  if (!CreateSelectionFromMask(mask, position)) return 0;
  return SelectionOptimize() ? 1 : 0;
}

}  // namespace TevImageTransform
