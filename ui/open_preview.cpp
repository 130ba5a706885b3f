#include "ui/open_preview.h"

#include <QPainter>

#include "companions/base/progress.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/image_options.h"
#include "companions/imageio/tev_image_io.h"
#include "ui/dib_image.h"

using namespace TevImageIO;

QImage BlockImage(const BITMAPINFOHEADER* pic, const BITMAPINFOHEADER* mask, int transparentIndex) {
  if (!pic) return {};
  DibPtr wide(CDIB32::ConvertTo32BitsDIB(pic));
  QImage image = DibToImage(wide.get());
  if (image.isNull()) return {};
  const bool maskUsable = mask && mask->biBitCount == 1 && mask->biWidth == image.width() &&
                          DibHeight(mask) == image.height();
  const bool keyed = pic->biBitCount == 8 && transparentIndex >= 0;
  // Pictures without alpha of their own are opaque but where masked.
  const bool ownAlpha = pic->biBitCount == 32;
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const BYTE* m = maskUsable ? DibRow(mask, y) : nullptr;
    const BYTE* s = keyed ? DibRow(pic, y) : nullptr;
    for (int x = 0; x < image.width(); ++x) {
      const bool clear = (m && !(m[x >> 3] & (0x80 >> (x & 7)))) || (s && s[x] == BYTE(transparentIndex));
      if (clear) row[x] = 0;
      else if (!ownAlpha) row[x] |= 0xFF000000u;
    }
  }
  return image;
}

CGifComposer::CGifComposer(int width, int height) : m_canvas(width, height, QImage::Format_ARGB32) {
  if (!m_canvas.isNull()) m_canvas.fill(Qt::transparent);
}

const QImage& CGifComposer::Next(const CArrivedPicture& arrived) {
  if (m_canvas.isNull()) return m_canvas;
  QPainter painter(&m_canvas);
  // The previous picture's disposal happens before this one is drawn.
  if (m_nPendingDisposal == 2) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(m_pendingRect, Qt::transparent);
  } else if (m_nPendingDisposal == 3 && !m_saved.isNull()) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, m_saved);
  }
  const QImage block = BlockImage(arrived.picture.get(), nullptr, arrived.transparentIndex);
  m_nPendingDisposal = (arrived.graphicControl >> 2) & 7;
  m_pendingRect = QRect(arrived.x, arrived.y, block.width(), block.height());
  m_saved = m_nPendingDisposal == 3 ? m_canvas.copy() : QImage();
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (!block.isNull()) painter.drawImage(arrived.x, arrived.y, block);
  painter.end();
  return m_canvas;
}

void CArrivedFrames::SetCanvas(int width, int height) {
  const std::lock_guard lock(m_mutex);
  m_nWidth = width;
  m_nHeight = height;
}

int CArrivedFrames::Add(std::shared_ptr<const CArrivedPicture> picture) {
  const std::lock_guard lock(m_mutex);
  m_pictures.push_back(std::move(picture));
  return int(m_pictures.size()) - 1;
}

int CArrivedFrames::Count() const {
  const std::lock_guard lock(m_mutex);
  return int(m_pictures.size());
}

QImage CArrivedFrames::Compose(int index) const {
  std::vector<std::shared_ptr<const CArrivedPicture>> pictures;
  int width = 0, height = 0;
  {
    const std::lock_guard lock(m_mutex);
    if (index < 0 || index >= int(m_pictures.size())) return {};
    pictures.assign(m_pictures.begin(), m_pictures.begin() + index + 1);
    width = m_nWidth;
    height = m_nHeight;
  }
  if (width <= 0 || height <= 0) return {};
  // The pictures are never changed once added: replaying them needs no lock.
  CGifComposer composer(width, height);
  const QImage* canvas = nullptr;
  for (const auto& picture : pictures) canvas = &composer.Next(*picture);
  return canvas ? canvas->copy() : QImage();
}

bool DecodeArrivingFrames(const std::string& path, CArrivedFrames& frames, CTevCommonProgress& progress,
                          const std::function<void(int, const QImage&, int)>& onFrame) {
  std::unique_ptr<CTevImgImportOptions> options = CTevImgImportOptions::NewImportOptions(IMAGE_FORMAT_GIF);
  if (auto* multi = options ? options->As<CTevMultiImageImportOptions>() : nullptr) {
    multi->allImages = 1;
    multi->withMasks = 0;  // the palette index says what is transparent
  }
  CTevImageInfoPack pack;
  pack.path = path;
  CTevSubImageBlock* seen = nullptr;  // the last block taken
  std::unique_ptr<CGifComposer> composer;
  bool usable = true;
  // The reader reports after linking each block: every block linked since
  // the last report is taken (its picture moved out) and composed.
  CTevCommonProgress steps([&](float, const std::string&) {
    if (progress.IsCancelled()) steps.Cancel();
    if (!usable || steps.IsCancelled()) return;
    if (!composer) {
      if (pack.width <= 0 || pack.height <= 0 || (long long)pack.width * pack.height > kMaxImagePixels) {
        usable = false;  // no canvas to compose on
        return;
      }
      composer = std::make_unique<CGifComposer>(pack.width, pack.height);
      frames.SetCanvas(pack.width, pack.height);
    }
    for (CTevSubImageBlock* b = seen ? seen->next : &pack; b; b = b->next) {
      if (!b->picture) break;  // the first block before its picture
      seen = b;
      auto arrived = std::make_shared<CArrivedPicture>();
      arrived->picture = std::move(b->picture);
      b->mask.reset();
      arrived->x = b->x;
      arrived->y = b->y;
      arrived->transparentIndex = b->transparentIndex;
      arrived->graphicControl = b->byteB;
      arrived->delay = b->delay;
      const QImage& canvas = composer->Next(*arrived);
      if (canvas.isNull()) {
        usable = false;
        return;
      }
      const int delay = arrived->delay;
      const int index = frames.Add(std::move(arrived));
      if (onFrame) onFrame(index, canvas, delay);
    }
  });
  // The pictures were moved out of the blocks, so the reader's closing
  // check fails: what arrived is the result.
  LoadImageW(pack, options.get(), &steps);
  return usable && frames.Count() > 0;
}
