// DibKernel: static routines on packed DIBs (see companions/base/dib.h for the
// layout). Returned DIBs are new allocations owned by the caller (DibFree).
//
// Coordinates: x grows right, y grows down from the top row of the picture,
// whatever the storage order. Every routine clips to both pictures and is a
// no-op (or returns null/FALSE) on null, empty or wrong-depth arguments.
//
// Blend blits (BitBlt32DIB, ZoomIn32DIB, ZoomOut32DIB and their fast twins):
//   destination, origin, source, position, [zoom factor,] transparency t.
//   The source's top-left pixel lands on destination pixel
//   origin + position (position scaled by the zoom, see below).
//   Effective source alpha a = (srcA * (255 - t) + 127) / 255, so t = 0 draws
//   the source at full strength and t = 255 leaves the destination unchanged.
//   Straight-alpha "over": a == 0 keeps the destination pixel; a == 255 copies
//   the source colour with alpha 255; over an opaque destination
//   c = (sc * a + dc * (255 - a) + 127) / 255 and alpha stays 255; otherwise
//   outA = a + (dA * (255 - a) + 127) / 255 and
//   c = (sc * a * 255 + dc * dA * (255 - a) + outA * 127) / (outA * 255).
//   The fast twins (SSE2/AVX2 when the CPU has them) give bit-identical results.
//   Source and destination must be different DIBs.
// ZoomIn32DIB (factor z >= 1): source pixel (i, j) fills the z x z block whose
//   top-left is origin + ((pos.x + i) * z, (pos.y + j) * z).
// ZoomOut32DIB (factor f >= 1): destination pixel origin + (X, Y) shows canvas
//   pixel (X * f, Y * f), i.e. source pixel (X * f - pos.x, Y * f - pos.y)
//   when that lies inside the source.
//
// The other families live in their own headers, included here:
// dib_convert.h (CBitmapConverter), dib_blit.h (stretch and 8-bit blits),
// dib_combine.h (mix, block copy/blend, merge), dib_geometry.h (borders, trim).
#pragma once

#include "companions/base/dib.h"
#include "companions/dibkernel/dib_blit.h"
#include "companions/dibkernel/dib_combine.h"
#include "companions/dibkernel/dib_convert.h"
#include "companions/dibkernel/dib_geometry.h"

namespace DibKernel {
// True when the processor has the vector units the fast twins use. Detected
// once; LOOPWRIGHT_NO_SIMD=1 in the environment forces the plain paths.
bool HasFastBlit();
}  // namespace DibKernel

class CBitmapCreator {
 public:
  // Zeroed bottom-up DIB (depth 1/4/8/16/24/32; clrUsed colour-table entries
  // for depths <= 8, 2^bits when 0); callers building a 1-bit mask set
  // palette entry 1 white themselves. Null on bad arguments or no memory.
  static BITMAPINFOHEADER* CreateDibImage(LONG width, LONG height, int bits, DWORD clrUsed);
  // Deep copy of a valid DIB of any depth, same layout and row order.
  static BITMAPINFOHEADER* Clone(const BITMAPINFOHEADER* dib);
  // Deep copy of a 32-bit DIB; null for other depths (convert those with
  // CDIB32::ConvertTo32BitsDIB).
  static BITMAPINFOHEADER* Clone32BitsDIB(const BITMAPINFOHEADER* dib);
};

class CDIB32 {
 public:
  // Creation returns null on bad sizes or no memory; the fills do nothing on
  // null, invalid or non-32-bit DIBs.
  // All pixels 0 (transparent black).
  static BITMAPINFOHEADER* CreateBlank32BitsDIB(LONG width, LONG height);
  // Every pixel the COLORREF colour with the given alpha.
  static BITMAPINFOHEADER* CreateSimple32BitsDIB(LONG width, LONG height, COLORREF colour, BYTE alpha);
  // Sets every pixel to the colour with the given alpha.
  static void Init32DIBBackground(BITMAPINFOHEADER* dib, COLORREF colour, BYTE alpha);
  // Composes the picture over an opaque colour with the blend rule above
  // (t = 0): every pixel ends opaque.
  static void Fill32DIBBackground(BITMAPINFOHEADER* dib, COLORREF colour);
  // Sets the colour and alpha of the pixels inside rect (clipped).
  static void Fill32DIBOpacityArea(BITMAPINFOHEADER* dib, const RECT& rect, COLORREF colour, BYTE alpha);
  // Any depth (1/4/8/16/24/32, bit fields, either row order) to bottom-up
  // 32-bit BGRA; pictures without alpha become opaque. 16-bit BI_RGB is
  // 5-5-5; BI_BITFIELDS masks (after a 40-byte header, or inside a larger
  // one, alpha from 56 bytes on) are scaled to 8 bits. 32-bit BI_RGB keeps
  // its alpha bytes as stored. Indices past the colour table read as opaque
  // black. Null on invalid or RLE-compressed input.
  static BITMAPINFOHEADER* ConvertTo32BitsDIB(const BITMAPINFOHEADER* dib);

  // Blend blits: FALSE on null, invalid or non-32-bit DIBs or zoom < 1;
  // TRUE otherwise, also when nothing is visible.
  static BOOL BitBlt32DIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, BYTE transparency);
  static BOOL BitBlt32DIBMMX(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, BYTE transparency);
  static BOOL ZoomIn32DIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom, BYTE transparency);
  static BOOL ZoomIn32DIBMMX(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom, BYTE transparency);
  static BOOL ZoomOut32DIB(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom, BYTE transparency);
  static BOOL ZoomOut32DIBMMX(BITMAPINFOHEADER* dst, POINT origin, const BITMAPINFOHEADER* src, POINT pos, int zoom, BYTE transparency);
};
