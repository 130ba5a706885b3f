// Pixel-row access used by the writers: any uncompressed DIB depth read as
// 32-bit B, G, R, A rows, and 1-bit masks applied to alpha.
#pragma once

#include "companions/base/dib.h"

namespace TevImageIO {

// True when the DIB can be read by DibRowToBgra: a valid header, BI_RGB (or
// BI_BITFIELDS at 16/32 bits).
bool DibReadable(const BITMAPINFOHEADER* dib);
// Row y (from the top) as width x 4 bytes B, G, R, A. Depths up to 24 bits
// and palette pictures come out opaque; palette indexes past the table read black.
void DibRowToBgra(const BITMAPINFOHEADER* dib, LONG y, BYTE* out);
// Clears alpha where the 1-bit mask's bit is 0 (mask row y from the top).
// A mask of another size or depth is ignored.
void ApplyMaskRow(const BITMAPINFOHEADER* mask, LONG y, BYTE* bgra, LONG width);
// Sets alpha to 0 where a palette picture's pixel equals index (8 bits or less).
void ApplyTransparentIndexRow(const BITMAPINFOHEADER* dib, LONG y, int index, BYTE* bgra);
// Palette index of pixel x in row y of a 1/4/8-bit DIB.
int DibIndexAt(const BITMAPINFOHEADER* dib, LONG y, LONG x);

}  // namespace TevImageIO
