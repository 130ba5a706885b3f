// DibKernel combining routines on 32-bit BGRA DIBs (CopyBlock also on 8, 16
// and 24 bits). Blending follows the "over" rule of dib_kernel.h. Rectangles
// are in picture coordinates from the top-left, right and bottom exclusive,
// and are clipped to the pictures; a block that ends up empty is a successful
// no-op. BOOL routines return FALSE on null, invalid or wrong-depth DIBs.
#pragma once

#include "companions/base/dib.h"

namespace DibKernel {

// Linear mix of two same-size 32-bit DIBs into dst, every channel including
// alpha: dst = (dst * (255 - factor) + src * factor + 127) / 255. factor 0
// keeps dst, 255 copies src. FALSE when the sizes differ.
BOOL Mix32BitsDIBMMX(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, BYTE factor);

// Blends the block srcRect of src over dst with the block's top-left at `at`,
// with the blend blits' transparency byte (0 full strength, 255 no change).
BOOL CombineBlock(BITMAPINFOHEADER* dst, POINT at, const BITMAPINFOHEADER* src, const RECT& srcRect,
                  BYTE transparency = 0);

// Copies the block srcRect of src into dst at `at`, replacing the pixels
// (alpha included). Both DIBs must have the same depth: 8, 16, 24 or 32 bits.
// dst and src may be the same DIB, with overlapping blocks.
BOOL CopyBlock(BITMAPINFOHEADER* dst, POINT at, const BITMAPINFOHEADER* src, const RECT& srcRect);

// Clears rect of a 32-bit DIB to transparent black (all bytes 0).
BOOL Erase32BitsBlock(BITMAPINFOHEADER* dib, const RECT& rect);

// Blends the whole of src over dst with src's top-left at pos.
BOOL CombineDIBs(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, POINT pos = {0, 0});

// A new 32-bit DIB covering the union of a's rectangle (at posA, a's size)
// and b's (at posB): transparent where neither lies, a copied in, then b
// blended over it. *rect (when given) receives the union rectangle in the
// positions' coordinates. Null on invalid input, when the union exceeds the
// DIB size limit, or when memory runs out.
BITMAPINFOHEADER* Merge32BitsDIB(const BITMAPINFOHEADER* a, POINT posA, const BITMAPINFOHEADER* b, POINT posB,
                                 RECT* rect);

// Merge32BitsDIB(a, posA, b, posB) done in b itself, without a new picture,
// for the common case where b's rectangle covers a's: a is put under b's
// pixels that are not opaque, and b's pixels outside a are blended over
// transparency, so that b ends with the bytes the merge would return. FALSE
// (b unchanged) on invalid input or when b does not cover a.
BOOL Underlay32BitsDIB(const BITMAPINFOHEADER* a, POINT posA, BITMAPINFOHEADER* b, POINT posB);

}  // namespace DibKernel
