// DibKernel flood fills and the coverage erase of 32-bit BGRA DIBs.
//
// Similarity: a pixel is similar to the seed pixel when each of its four
// bytes (B, G, R, A) differs from the seed's by at most the tolerance
// (0 to 255). Connected fills take the 4-connected region of similar pixels
// around the seed; the others take every similar pixel of the picture. The
// "trans" fills take the fully transparent pixels (alpha 0) instead.
//
// Painting: the fill colour is laid over each chosen pixel with the blend
// blits' "over" rule (dib_kernel.h) at strength (255 - transparency), scaled
// by the mask level in the masked forms: transparency 0 paints the colour
// opaque, 255 leaves the picture as it is. The region is found on the
// picture as it was before the fill, with a span stack (no recursion), so
// any picture size runs in bounded stack.
//
// All return the number of pixels chosen (0 when the seed lies outside the
// picture or is not fillable, or on bad input).
#pragma once

#include <cstddef>

#include "companions/base/dib.h"

namespace DibKernel {

// An 8-bit mask of levels (0 nothing, 255 full strength) whose pixel (0, 0)
// lies on picture pixel pos; picture pixels outside it have level 0.
struct FillMask {
  const BYTE* levels = nullptr;  // top row first
  int width = 0, height = 0;
  std::size_t stride = 0;        // bytes per mask row
  POINT pos{0, 0};
  BYTE LevelAt(int x, int y) const {
    const int mx = x - int(pos.x), my = y - int(pos.y);
    if (!levels || mx < 0 || my < 0 || mx >= width || my >= height) return 0;
    return levels[std::size_t(my) * stride + std::size_t(mx)];
  }
};

// Every pixel similar to the seed pixel.
std::size_t ExtFill32BitsDIB(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour, BYTE transparency);
std::size_t ExtFill32BitsDIB_Mask(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour,
                                  BYTE transparency, const FillMask& mask);
// The connected region of pixels similar to the seed pixel.
std::size_t ExtFillConnectedPixels(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour,
                                   BYTE transparency);
std::size_t ExtFillConnectedPixels_Mask(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour,
                                        BYTE transparency, const FillMask& mask);
// Every fully transparent pixel.
std::size_t ExtFillTransBlock(BITMAPINFOHEADER* dib, COLORREF colour, BYTE transparency);
std::size_t ExtFillTransBlock_Mask(BITMAPINFOHEADER* dib, COLORREF colour, BYTE transparency, const FillMask& mask);
// The connected region of fully transparent pixels around a transparent seed.
std::size_t ExtFillConnectedTransPixels(BITMAPINFOHEADER* dib, POINT seed, COLORREF colour, BYTE transparency);
std::size_t ExtFillConnectedTransPixels_Mask(BITMAPINFOHEADER* dib, POINT seed, COLORREF colour, BYTE transparency,
                                             const FillMask& mask);

// Lays src's pixels over dst with src's top-left at `at`, each pixel's alpha
// first multiplied by the mask level of its dst pixel (mask may be null: full
// strength), then with the transparency byte (0 full, 255 nothing).
BOOL CombineBlockMasked(BITMAPINFOHEADER* dst, POINT at, const BITMAPINFOHEADER* src, BYTE transparency,
                        const FillMask* mask);
// Erase by coverage: every dst pixel under the coverage block (w x h bytes,
// top row first, its (0, 0) on dst pixel `at`) loses alpha in proportion to
// coverage x strength / 255 (x mask level / 255 when a mask is given); a
// pixel left with alpha 0 becomes transparent black.
BOOL EraseCoverage32(BITMAPINFOHEADER* dst, POINT at, const BYTE* coverage, int w, int h, BYTE strength,
                     const FillMask* mask);

}  // namespace DibKernel
