#include "companions/imageio/image_options.h"

namespace TevImageIO {

namespace {
bool KnownFormat(int format) {
  return format >= IMAGE_FORMAT_BMP && format <= IMAGE_FORMAT_ANI && format != 5;
}
}  // namespace

std::unique_ptr<CTevImgImportOptions> CTevImgImportOptions::NewImportOptions(int format) {
  if (!KnownFormat(format)) return nullptr;
  if (CTevJpegImportOptions::Accepts(format)) return std::make_unique<CTevJpegImportOptions>();
  if (CTevPsdImportOptions::Accepts(format)) return std::make_unique<CTevPsdImportOptions>();
  if (CTevMultiImageImportOptions::Accepts(format)) return std::make_unique<CTevMultiImageImportOptions>(format);
  return std::make_unique<CTevImgImportOptions>(format);
}

std::unique_ptr<CTevImgExportOptions> CTevImgExportOptions::NewExportOptions(int format) {
  if (!KnownFormat(format)) return nullptr;
  switch (format) {
    case IMAGE_FORMAT_GIF: return std::make_unique<CTevGifExportOptions>();
    case IMAGE_FORMAT_JPEG: return std::make_unique<CTevJpegExportOptions>();
    case IMAGE_FORMAT_PNG: return std::make_unique<CTevPngExportOptions>();
    case IMAGE_FORMAT_TGA: return std::make_unique<CTevTgaExportOptions>();
    case IMAGE_FORMAT_TIFF: return std::make_unique<CTevTiffExportOptions>();
    case IMAGE_FORMAT_PSD: return std::make_unique<CTevPsdExportOptions>();
    case IMAGE_FORMAT_CUR:
    case IMAGE_FORMAT_ANI: return std::make_unique<CTevCursorExportOptions>(format);
    default: return std::make_unique<CTevImgExportOptions>(format);
  }
}

}  // namespace TevImageIO
