// Helpers the performer families share.
#pragma once

#include "companions/dibkernel/dib_kernel.h"
#include "effects/TevImgEffect.h"
#include "generators/effect_performer_classes.h"

namespace performers {

// A fully transparent 32-bit picture of src's size (the reveal effects' dst).
inline DibPtr BlankLike(const BITMAPINFOHEADER* src) {
  return DibPtr(CDIB32::CreateBlank32BitsDIB(DibWidth(src), DibHeight(src)));
}
// A copy of src (the in-place effects' dst).
inline DibPtr CopyOf(const BITMAPINFOHEADER* src) { return DibPtr(CBitmapCreator::Clone32BitsDIB(src)); }

// Renders effect into dst from src; null when dst could not be made.
inline DibPtr Render(TevImgEffectLib::CGeneralEffect&& effect, DibPtr dst, BITMAPINFOHEADER* src, double progress) {
  if (dst) effect.DoRender(dst.get(), src, progress);
  return dst;
}

}  // namespace performers
