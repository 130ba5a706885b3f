// Internal to the renderer: the recursive (Young - van Vliet) Gaussian blur of
// AGG's recursive_blur, computed in single precision with four channels per
// vector and the vertical pass running down the rows instead of over a
// transposed picture. Borders repeat the edge pixel, as in AGG.
#pragma once

#include <cstddef>

#include "companions/base/win_types.h"

namespace TevVecLib::detail {

// Blurs w x h four-byte pixels in place (rows `stride` bytes apart, any sign)
// by radius; radii below 0.62 and pictures narrower or lower than 3 pixels
// are left alone in that direction, as AGG does.
void RecursiveBlur4(BYTE* first, int w, int h, std::ptrdiff_t stride, double radius);

// Blurs a plane of w x h one-byte values in place (rows `stride` bytes
// apart, any sign) with the same result RecursiveBlur4 gives each channel:
// the same coefficients and float steps, the same truncation to bytes
// between the passes. Several rows or columns run side by side in vectors.
void RecursiveBlur1(BYTE* first, int w, int h, std::ptrdiff_t stride, double radius);

}  // namespace TevVecLib::detail
