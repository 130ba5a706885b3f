// Core pictures as Qt images.
#pragma once

#include <QImage>
#include <QString>
#include <string>

#include "app/gif_image.h"
#include "companions/base/dib.h"

// A copy of a 32-bit DIB (BGRA, either row order) as an ARGB32 image; a null
// image for other depths or a bad header.
QImage DibToImage(const BITMAPINFOHEADER* dib);
// A 32-bit DIB of an image (alpha kept, not premultiplied); null for a
// null image or one larger than kMaxImagePixels.
constexpr long long kMaxImagePixels = 1LL << 26;
DibPtr ImageToDib(const QImage& image);
// The frame composed at canvas size; null when it cannot be composed.
QImage ComposedFrameImage(const CGifImage& model, const CGifFrame& frame);

// Core texts are UTF-8.
inline QString ToQt(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
inline std::string FromQt(const QString& s) { return s.toUtf8().toStdString(); }
// A command text "status\nmenu" gives the menu part; its "&U" markers are
// Qt mnemonics as they stand.
QString MenuTextOf(const std::string& commandText);
