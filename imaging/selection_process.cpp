// The selection walker: runs a pixel process on the pixels of an image that
// lie under a selection, each weighted by its selection level.
#include <algorithm>
#include <cstdint>

#include "imaging/obj_selection.h"

namespace TevImageTransform {

int CTevObjSelection::SinglePixelProcessProc(CTevInterfacePixelProcess& process, CTevObjImage& image,
                                             const POINT& selectionPos, CTevCommonProgress* progress) const {
  if (!IsValidImage() || ColorBits() != 8) return 0;
  if (!process.ValidateColorBits_Selection(&image)) return 0;
  process.OnEnterProcess(&image);
  const PROCESS_TYPE type = process.QueryProcessType();
  if (type == PROCESS_WHOLE_IMAGE) {
    const int r = process.ProcessSelectionImage(&image, selectionPos, *this, progress);
    process.OnLeaveProcess(&image);
    return r;
  }
  if (type != PROCESS_PER_PIXEL || image.ColorBits() != 32) {
    process.OnLeaveProcess(&image);
    return 1;
  }
  // The mask rows that overlap the image (geometry after OnEnterProcess).
  const std::int64_t l = std::max<std::int64_t>(0, selectionPos.x);
  const std::int64_t t = std::max<std::int64_t>(0, selectionPos.y);
  const std::int64_t r = std::min<std::int64_t>(image.Width(), std::int64_t(selectionPos.x) + Width());
  const std::int64_t b = std::min<std::int64_t>(image.Height(), std::int64_t(selectionPos.y) + Height());
  int result = 1;
  for (std::int64_t y = t; y < b; ++y) {
    const BYTE* levels = GetBits(int(l - selectionPos.x), int(y - selectionPos.y));
    BYTE* p = image.GetBits(int(l), int(y));
    for (std::int64_t x = l; x < r; ++x, p += 4, ++levels)
      if (*levels) process.ProcessSelectedPixel(&image, int(x), int(y), p, *levels);
    if (!ReportProgressStep(progress, y - t + 1, b - t)) {
      result = 0;
      break;
    }
  }
  process.OnLeaveProcess(&image);
  return result;
}

}  // namespace TevImageTransform
