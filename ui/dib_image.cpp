#include "ui/dib_image.h"

#include <cstring>

#include "app/frame_render.h"
#include "companions/dibkernel/dib_kernel.h"

QImage DibToImage(const BITMAPINFOHEADER* dib) {
  if (!dib || dib->biBitCount != 32 || dib->biWidth <= 0 || DibHeight(dib) <= 0) return {};
  const int width = int(dib->biWidth), height = int(DibHeight(dib));
  QImage image(width, height, QImage::Format_ARGB32);
  if (image.isNull()) return {};
  // ARGB32 is stored as B, G, R, A bytes on little-endian machines, as the DIB is.
  for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), DibRow(dib, y), std::size_t(width) * 4);
  return image;
}

DibPtr ImageToDib(const QImage& image) {
  if (image.isNull() || image.width() <= 0 || image.height() <= 0 ||
      (long long)image.width() * image.height() > kMaxImagePixels)
    return nullptr;
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  if (argb.isNull()) return nullptr;
  DibPtr dib(CDIB32::CreateBlank32BitsDIB(argb.width(), argb.height()));
  if (!dib) return nullptr;
  for (int y = 0; y < argb.height(); ++y)
    std::memcpy(DibRow(dib.get(), y), argb.constScanLine(y), std::size_t(argb.width()) * 4);
  return dib;
}

QImage ComposedFrameImage(const CGifImage& model, const CGifFrame& frame) {
  DibPtr picture = RenderFrame(model, frame);
  return picture ? DibToImage(picture.get()) : QImage();
}

QString MenuTextOf(const std::string& commandText) {
  const auto newline = commandText.rfind('\n');
  return ToQt(newline == std::string::npos ? commandText : commandText.substr(newline + 1));
}
