// The effect base class of the TevImgEffect library and the helpers every
// effect shares.
//
// Rendering contract: DoRender(dst, src, progress) draws one still picture of
// the effect into dst from the 32-bit picture src at progress 0..1. Both DIBs
// must be packed 32-bit BGRA (BI_RGB); anything else is ignored. dst is owned
// by the caller and normally has src's size; effects clip every access to
// both pictures, so a mismatched dst never makes them read or write outside.
// Reveal effects write only where the picture shows; in-place effects change
// dst (a copy of src) where they act; blend effects write every pixel.
//
// Coordinates: (x, y) with y counted from the top of the picture whatever the
// DIB's storage order; vector paths use the same axes.
#pragma once

#include "companions/base/win_types.h"
#include "companions/vector/tev_path.h"
#include "companions/vector/trans_matrix.h"

#define TEV_EFFECT_API __attribute__((visibility("default")))

namespace TevImgEffectLib {

using TevVecLib::CTevPath;
using TevVecLib::CTevTransMatrix;

class TEV_EFFECT_API CGeneralEffect {
 public:
  CGeneralEffect() = default;
  CGeneralEffect(const CGeneralEffect&) = default;
  CGeneralEffect& operator=(const CGeneralEffect&) = default;
  virtual ~CGeneralEffect();

  virtual void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) = 0;

  // Address of the first pixel byte: after the header (its biSize), the 12
  // bytes of masks for BI_BITFIELDS and the colour table of depths <= 8.
  // Null for a null DIB.
  static unsigned char* GetDibImageBits(BITMAPINFOHEADER* dib);
  // Zero-filled packed DIB (header, colour table, rows); free it with
  // DibFree. Null on bad sizes or when memory runs out.
  static unsigned char* CreateDibImage(int width, int height, int bitCount, int clrUsed);
  // 32-bit DIB of one COLORREF colour with the given alpha; null on failure.
  static BITMAPINFOHEADER* CreateSimple32BitsDIB(int width, int height, unsigned long colour, unsigned char alpha);
  // dst alpha = dst alpha * src alpha / 255 over the pixels both share;
  // colours untouched.
  static void CombineAlpha(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src);
  // Copies src into dst inside the filled path (mapped through m), with
  // anti-aliased edges; every other pixel of dst keeps its value.
  static void BuildClipDIB(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, CTevPath& path, const CTevTransMatrix& m);

  // Alpha of a layer a2 laid over a1: 255 - (255 - a1) * (255 - a2) / 255.
  unsigned char CalcuOpacity(unsigned char a1, unsigned char a2) const;
  // One colour channel of (c2, a2) composed over (c1, a1) with result alpha
  // aOut: ((255 - a2) * c1 * a1 / 255 + c2 * a2) / aOut, clamped to 0..255.
  unsigned char CalcuRGBValue(unsigned char c1, unsigned char a2, unsigned char a1, unsigned char c2,
                              unsigned char aOut) const;
  // Copies the rectangle (x, y, w, h) of src to the same place in dst,
  // clipped to both pictures (negative x or y shorten it).
  void Copy32BitsBlock(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int x, int y, int w, int h) const;
};

}  // namespace TevImgEffectLib
