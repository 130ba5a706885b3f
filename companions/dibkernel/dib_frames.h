// DibKernel frame routines for the GIF optimizer: comparing, cropping and
// splitting positioned frames.
//
// A frame is a picture (8-bit palette indexes, or 32-bit BGRA for
// CompareFrame and CropFrame) with an optional 1-bit mask of the same size
// whose set bits mark opaque pixels; a null mask means every pixel is opaque.
// Positions are canvas coordinates of the picture's top-left pixel.
#pragma once

#include "companions/base/dib.h"

// Nonzero when both frames have the same size and depth, the same opaque
// pixels and the same value (palette index or BGRA) at every opaque pixel.
// Transparent pixels compare equal whatever they hold.
BOOL CompareFrame(const BITMAPINFOHEADER* imageA, const BITMAPINFOHEADER* maskA, const BITMAPINFOHEADER* imageB,
                  const BITMAPINFOHEADER* maskB);

// Cuts picture and mask (mask may be null) to region (clipped to the picture).
// Nonzero on success with *newImage (and *newMask when mask was given) set to
// new DIBs the caller owns; depths 1, 4, 8, 24 and 32 keep their colour table.
BOOL CropFrame(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, const RECT& region,
               BITMAPINFOHEADER** newImage, BITMAPINFOHEADER** newMask);

class CMaskedBitmapTransform {
 public:
  // Sets (opaque) or clears (transparent) the bits of rect (clipped) in a
  // 1-bit mask. FALSE on a null or non-1-bit DIB.
  static BOOL FillMaskDIBBits(BITMAPINFOHEADER* mask, const RECT& rect, bool set);
  // Nonzero when every pixel's bit of a 1-bit mask is set (all opaque); a
  // null mask counts as full. The row form takes one mask row of width pixels.
  static BOOL IsMaskFull(const BITMAPINFOHEADER* mask);
  static BOOL IsMaskRowFull(const BYTE* row, LONG width);
};

// How unchanged pixels inside the differing rectangle are stored by
// SplitTransparency.
enum SPLIT_STYLE {
  SPLIT_ALL_TRANSPARENT = 0,  // every unchanged pixel transparent
  SPLIT_RUNS = 1,             // an unchanged pixel repeats its left neighbour's stored value when it can
};

// The part of frame B that has to be drawn over frame A (already on the
// screen, everything outside A transparent) so that the screen shows B.
// Both pictures are 8-bit indexes into one shared palette.
//
// 1. Reset(A, B) 2. IsCanSpilt(): B can be reached by drawing over A, i.e.
// every opaque pixel of A is opaque in B (a GIF frame cannot erase)
// 3. IsEqual(): nothing differs 4. SplitOpacity: B's pixels over the
// bounding box of the differing pixels; SplitTransparency: the same box with
// unchanged pixels made transparent. Results are new DIBs the caller owns.
class CSpiltEmbededDIB {
 public:
  CSpiltEmbededDIB() = default;
  CSpiltEmbededDIB(const CSpiltEmbededDIB&) = delete;
  CSpiltEmbededDIB& operator=(const CSpiltEmbededDIB&) = delete;

  // Compares the two frames; FALSE on bad input (not 8-bit, mask of another size).
  BOOL Reset(const BITMAPINFOHEADER* imageA, const BITMAPINFOHEADER* maskA, POINT posA,
             const BITMAPINFOHEADER* imageB, const BITMAPINFOHEADER* maskB, POINT posB);
  BOOL IsCanSpilt() const { return m_valid && m_canSplit; }
  BOOL IsEqual() const { return m_valid && m_canSplit && m_empty; }
  // B's pixels over the differing box: B's colours where B is opaque,
  // transparent elsewhere. transparencyPossible (may be null) tells whether
  // the box holds unchanged opaque pixels that SplitTransparency would clear.
  BOOL SplitOpacity(BITMAPINFOHEADER** image, BITMAPINFOHEADER** mask, POINT* pos, bool* transparencyPossible) const;
  BOOL SplitTransparency(BITMAPINFOHEADER** image, BITMAPINFOHEADER** mask, POINT* pos,
                         const SPLIT_STYLE* style) const;
  // The differing box in canvas coordinates (empty when IsEqual).
  RECT DiffRect() const { return m_diff; }

 private:
  BOOL Split(BITMAPINFOHEADER** image, BITMAPINFOHEADER** mask, POINT* pos, int style) const;

  const BITMAPINFOHEADER* m_imageA = nullptr;
  const BITMAPINFOHEADER* m_maskA = nullptr;
  const BITMAPINFOHEADER* m_imageB = nullptr;
  const BITMAPINFOHEADER* m_maskB = nullptr;
  POINT m_posA{0, 0}, m_posB{0, 0};
  RECT m_diff{0, 0, 0, 0};
  bool m_valid = false, m_canSplit = false, m_empty = true, m_unchangedInBox = false;
  bool m_opaqueB = false;  // B has no mask or a full one
};
