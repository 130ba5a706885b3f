// Drop-shadow pictures for frame objects. A shadow is the object's
// silhouette (its alpha) in one colour, softened by a blur of the softness
// radius and padded by the softness on every side, so the caller places it
// with the object's placement rule.
#pragma once

#include "companions/base/dib.h"

namespace TevImageTransform {

// Parallel shadow: the silhouette scaled by ratio about its centre. Result
// size: (round(W * ratio) + 2 * softness) x (round(H * ratio) + 2 * softness).
BITMAPINFOHEADER* CreateParallelShadow(const BITMAPINFOHEADER* src, COLORREF colour, double ratio, int softness);

// Perspective shadow cast on the ground line at the object's bottom edge.
// direction 0: leans left, above the ground line; 1: leans right, above;
// 2: leans left, below (flipped); 3: leans right, below. The silhouette's
// height becomes h' = floor(sin(angle) * H * length / 100 + 0.5) and its top
// row is shifted by c = cos(angle) * H * length / 100 against the ground row,
// whose width is W * ratio. Result size:
// (floor(c + W * ratio + 0.5) + 2 * softness) x (h' + 2 * softness).
BITMAPINFOHEADER* CreatePerspectiveShadow(const BITMAPINFOHEADER* src, int direction, COLORREF colour, double ratio,
                                          int softness, int angleDegrees, int lengthPercent);

// In-place blur of the alpha channel of a 32-bit picture: three box passes
// in each direction whose radii add up to radius (close to a Gaussian that
// reaches exactly radius pixels).
void BlurAlpha(BITMAPINFOHEADER* dib, int radius);

}  // namespace TevImageTransform
