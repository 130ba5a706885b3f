// GIF output size without writing a file.
#pragma once

#include "companions/base/progress.h"
#include "companions/imageio/image_info.h"
#include "companions/imageio/image_options.h"

namespace TevImageIO {

class CCalcuGifModule {
 public:
  // The exact byte size SaveImage would write for this pack and GIF record
  // (the same encoder runs into a counter); -1 when the pack cannot be
  // written. The pack is left as it was.
  static long long CalcuGifImgLength(CTevImageInfoPack& pack, const CTevGifExportOptions* options,
                                     CTevCommonProgress* progress);
};

}  // namespace TevImageIO
