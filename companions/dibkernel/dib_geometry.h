// DibKernel geometry: transparent borders and trimming.
//
// A pixel counts as opaque when it is not fully transparent: alpha != 0 in a
// 32-bit DIB, a set bit in a 1-bit mask.
#pragma once

#include "companions/base/dib.h"

namespace DibKernel {

// A new 32-bit DIB without the given border widths: the rectangle
// (l, t, width - r, height - b) of dib, alpha kept. Null on bad input,
// negative widths, or borders that leave nothing.
BITMAPINFOHEADER* Trim32BitsDIB(const BITMAPINFOHEADER* dib, LONG l, LONG t, LONG r, LONG b);

// Counts the fully transparent columns and rows on each side of a 32-bit DIB
// or a 1-bit mask. When no pixel is opaque: l = width, t = height, r = b = 0.
// FALSE (counts untouched) on null, invalid or other-depth DIBs.
BOOL CaclOpaqueBoundary(const BITMAPINFOHEADER* dib, LONG* l, LONG* t, LONG* r, LONG* b);

// The blank-border check before a trim: the same counts as
// CaclOpaqueBoundary on a 32-bit DIB, returning TRUE only when some pixel is
// opaque (so Trim32BitsDIB(dib, l, t, r, b) gives its bounding box). FALSE
// for a wholly transparent picture (counts as above) and for bad input.
BOOL CheckBlankBorder(const BITMAPINFOHEADER* dib, LONG* l, LONG* t, LONG* r, LONG* b);

}  // namespace DibKernel
