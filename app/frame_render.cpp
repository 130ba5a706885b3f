#include "app/frame_render.h"

#include "app/compose.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"

DibPtr RenderFrame(const CGifImage& model, const CGifFrame& frame) {
  DibPtr target(CDIB32::CreateBlank32BitsDIB(model.m_nWidth, model.m_nHeight));
  if (!target) return nullptr;
  ComposeFrame(target.get(), POINT{0, 0}, frame);
  return target;
}

bool WritePngPicture(const BITMAPINFOHEADER* picture, const std::string& path, std::string* reason) {
  using namespace TevImageIO;
  DibPtr copy(picture ? DibCopy(picture) : nullptr);
  if (!copy) {
    if (reason) *reason = "no picture to write";
    return false;
  }
  CTevImageInfoPack pack;
  pack.path = path;
  pack.width = copy->biWidth;
  pack.height = DibHeight(copy.get());
  pack.format = IMAGE_FORMAT_PNG;
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  pack.picture = std::move(copy);
  auto options = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_PNG);
  if (!options) return false;
  // Fast zlib level: the CLI writes many frames and size is secondary here.
  if (auto* png = options->As<CTevPngExportOptions>()) png->compression = 6;
  const int rc = SaveImage(pack, options.get(), nullptr);
  if (rc != IMAGEIO_OK && reason) *reason = pack.errorText;
  return rc == IMAGEIO_OK;
}
