// Whole-picture operations of the renderer: perspective mapping, matrix
// transforms inside a path, and a soft blur for shadow and glow layers.
// All DIBs are packed 32-bit BGRA; other DIBs are left untouched.
#pragma once

#include "companions/base/win_types.h"
#include "companions/vector/tev_path.h"
#include "companions/vector/trans_matrix.h"

namespace TevVecLib {

// Draws src into dst so that src's top-left, top-right, bottom-right and
// bottom-left corners land on quad's four points (x, y pairs, path
// coordinates); the area between them is filled by the projective mapping with
// bilinear sampling and anti-aliased edges. Pixels outside the quad stay as
// they were. A degenerate quad (collinear points, a crossed outline) draws
// nothing. Returns false when nothing could be drawn.
bool BulidPerspective(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, const double* quad);

// Paints src, mapped through m (src coordinates to dst coordinates), into dst
// inside path (mapped through pathMatrix). filter: kFilterNearest ..
// kFilterLanczos (render_vector_obj.h); antiAlias: 1 smooth path edges, 0 hard.
// Source positions outside src are transparent. Null dst draws nothing.
bool TransformImage(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, const CTevTransMatrix& m, CTevPath& path,
                    const CTevTransMatrix& pathMatrix, int filter, int antiAlias);

// Softens dst in place with a recursive (Gaussian-like) blur of the given
// radius in pixels, on premultiplied values so that transparent pixels do not
// bleed their colour. Radii below 0.62 change nothing; the radius is limited
// to 250. Returns false for a DIB it cannot blur.
bool BlurShadowDIB(BITMAPINFOHEADER* dib, double radius);

}  // namespace TevVecLib
