#include "ui/dib_image.h"

#include <cstring>

#include "app/frame_render.h"

QImage DibToImage(const BITMAPINFOHEADER* dib) {
  if (!dib || dib->biBitCount != 32 || dib->biWidth <= 0 || DibHeight(dib) <= 0) return {};
  const int width = int(dib->biWidth), height = int(DibHeight(dib));
  QImage image(width, height, QImage::Format_ARGB32);
  if (image.isNull()) return {};
  // ARGB32 is stored as B, G, R, A bytes on little-endian machines, as the DIB is.
  for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), DibRow(dib, y), std::size_t(width) * 4);
  return image;
}

QImage ComposedFrameImage(const CGifImage& model, const CGifFrame& frame) {
  DibPtr picture = RenderFrame(model, frame);
  return picture ? DibToImage(picture.get()) : QImage();
}

QString MenuTextOf(const std::string& commandText) {
  const auto newline = commandText.rfind('\n');
  return ToQt(newline == std::string::npos ? commandText : commandText.substr(newline + 1));
}
