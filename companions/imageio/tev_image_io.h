// TevImageIO: picture file codecs.
//
// Loading: 1. fill pack.path (UTF-8) 2. create import options for the
// format (CTevImgImportOptions::NewImportOptions) 3. LoadImageW returns 0 and
// fills the pack, or an IMAGEIO_RESULT code with pack.errorText set and the
// pack left empty.
// Saving: 1. fill the pack (pictures, canvas, path) 2. create export options
// (CTevImgExportOptions::NewExportOptions, As<CTevPngExportOptions>() ...)
// 3. SaveImage returns 0 once the file is written; on failure any existing
// file at the path is left as it was.
#pragma once

#include <string>

#include "companions/base/progress.h"
#include "companions/imageio/image_info.h"
#include "companions/imageio/image_options.h"

namespace TevImageIO {

// Reads pack.path. The options' format picks the reader; a file whose
// contents are plainly another known format is read as that format
// (pack.format tells which). Null options: the format is taken from the
// content. Every block of a loaded pack has a picture.
int LoadImageW(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress);

// Writes the pack to pack.path in the options' format.
int SaveImage(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress* progress);

// Format number whose signature matches the file's first bytes, or 0.
int DetectImageFormat(const std::string& path);

}  // namespace TevImageIO
