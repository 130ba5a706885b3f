// DibKernel copying blits: nearest-neighbour stretch of 32-bit DIBs and the
// 8-bit index blits. Positions and zoom geometry are those of the 32-bit
// blend blits in dib_kernel.h; everything is clipped to both pictures.
// Each returns FALSE on null, invalid or wrong-depth DIBs or a zoom below 1,
// TRUE otherwise (also when nothing is visible).
#pragma once

#include "companions/base/dib.h"

namespace DibKernel {

// Copies (no blending, alpha included) the source rectangle srcRect scaled
// onto the destination rectangle dstRect by nearest neighbour: destination
// pixel (dstRect.left + i, dstRect.top + j) takes source pixel
// (srcRect.left + (2i + 1) * sw / (2 * dw), srcRect.top + (2j + 1) * sh / (2 * dh))
// with sw, dw the rectangles' widths (pixel centres map to pixel centres).
// Destination pixels outside the destination picture, or whose sample lies
// outside the source picture, are left as they are. Empty rects do nothing;
// rects wider or taller than 2^30 are refused (FALSE).
BOOL Stretch32DIB(BITMAPINFOHEADER* dst, const RECT& dstRect, const BITMAPINFOHEADER* src, const RECT& srcRect);

// 8-bit blits: copy colour indices (the colour tables are not touched).
// A source index equal to transparentIndex (0..255) is skipped, leaving the
// destination index; pass -1 to copy every index.
BOOL BitBlt8BitsDIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos,
                    int transparentIndex = -1);
BOOL ZoomIn8BitsDIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                    int transparentIndex = -1);
BOOL ZoomOut8BitsDIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom,
                     int transparentIndex = -1);

}  // namespace DibKernel
