#include "editing/picture_resample.h"

#include "companions/vector/render_vector_obj.h"

DibPtr ResamplePicture32(const BITMAPINFOHEADER* src, int width, int height, int filter) {
  if (!src || src->biBitCount != 32 || src->biWidth < 1 || DibHeight(src) < 1) return nullptr;
  DibPtr out(CDIB32::CreateBlank32BitsDIB(width, height));
  if (!out) return nullptr;
  // The whole target rectangle takes the scaled picture; hard edges and
  // clamped sampling keep the border pixels opaque where the source is.
  TevVecLib::CTevPath rect;
  rect.move_to(0, 0);
  rect.line_to(width, 0);
  rect.line_to(width, height);
  rect.line_to(0, height);
  rect.ClosePolygon();
  TevVecLib::CTevRenderVectorObj renderer(0);
  renderer.AddShapePath(rect, TevVecLib::CTevTransMatrix(), nullptr);
  const TevVecLib::CTevTransMatrixScaling scale(double(width) / src->biWidth, double(height) / DibHeight(src));
  if (!renderer.Paint32BitsDIBWithImageX(out.get(), nullptr, src, scale, TevVecLib::kComposeCopy, 0, filter,
                                         TevVecLib::kEdgeClamp))
    return nullptr;
  return out;
}
