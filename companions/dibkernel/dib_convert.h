// DibKernel depth conversions. Every routine checks its input header with
// DibHeaderValid and returns a new bottom-up DIB (caller frees it with
// DibFree) or null on null, invalid, compressed or wrong-depth input, or when
// memory runs out. Rows of top-down inputs are read in picture order.
#pragma once

#include "companions/base/dib.h"

class CBitmapConverter {
 public:
  // Any depth CDIB32::ConvertTo32BitsDIB reads, to 24 bits. Alpha is dropped,
  // not composed: a transparent pixel keeps its stored colour.
  static BITMAPINFOHEADER* ConvertDIBTo24Bits(const BITMAPINFOHEADER* dib);
  // 32-bit BGRA to 24-bit BGR (alpha dropped, as above).
  static BITMAPINFOHEADER* Convert32BitsTo24Bits(const BITMAPINFOHEADER* dib);
  // 24-bit to 32-bit with every alpha 255.
  static BITMAPINFOHEADER* Convert24BitsTo32Bits(const BITMAPINFOHEADER* dib);
  // 1- or 4-bit indices to 8-bit indices; the colour table (same number of
  // entries) and every index are kept.
  static BITMAPINFOHEADER* Convert1BitsDibTo8BitsDib(const BITMAPINFOHEADER* dib);
  static BITMAPINFOHEADER* Convert4BitsDibTo8BitsDib(const BITMAPINFOHEADER* dib);
  // 24- or 32-bit to bits = 1, 4 or 8 with the given palette of `colours`
  // entries (1 <= colours <= 2^bits), which becomes the result's colour
  // table. Each pixel takes the entry nearest in squared RGB distance, the
  // lowest index on ties; alpha is ignored. No dithering.
  static BITMAPINFOHEADER* ConvertTrueDibToLowBitsDib(const BITMAPINFOHEADER* dib, int bits, const RGBQUAD* palette,
                                                      int colours);
  // 24-bit to bits = 1, 4 or 8 choosing the palette itself: the picture's own
  // colours (in order of first appearance, top row first) when there are at
  // most 2^bits of them, so the conversion is lossless; otherwise a fixed
  // palette (1: black, white; 4: the 16 VGA colours; 8: a 6x6x6 cube at
  // steps of 51 followed by 40 greys) with nearest-colour mapping.
  static BITMAPINFOHEADER* Convert24BitsDIBToLowerBitsDIB(const BITMAPINFOHEADER* dib, int bits);
};
