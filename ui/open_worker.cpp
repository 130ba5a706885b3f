#include "ui/open_worker.h"

#include <QPainter>
#include <cstring>

#include "app/import_dispatch.h"
#include "app/prompt.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/image_options.h"
#include "companions/imageio/tev_image_io.h"
#include "ui/dib_image.h"

using namespace TevImageIO;

namespace {

// The worker asks nobody anything: the GIF reader only sets captions.
class CSilentPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string&, MessageKind, const std::string&) override {}
  bool AskYesNo(const std::string&) override { return false; }
};

// A decoded sub-image as ARGB: the mask's clear bits and the transparent
// palette index become transparent.
QImage BlockImage(const CTevSubImageBlock& block) {
  const BITMAPINFOHEADER* pic = block.picture.get();
  if (!pic) return {};
  DibPtr wide(CDIB32::ConvertTo32BitsDIB(pic));
  QImage image = DibToImage(wide.get());
  if (image.isNull()) return {};
  const BITMAPINFOHEADER* mask = block.mask.get();
  const bool maskUsable = mask && mask->biBitCount == 1 && mask->biWidth == image.width() &&
                          DibHeight(mask) == image.height();
  const bool keyed = pic->biBitCount == 8 && block.transparentIndex >= 0;
  // Pictures without alpha of their own are opaque but where masked.
  const bool ownAlpha = pic->biBitCount == 32;
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const BYTE* m = maskUsable ? DibRow(mask, y) : nullptr;
    const BYTE* s = keyed ? DibRow(pic, y) : nullptr;
    for (int x = 0; x < image.width(); ++x) {
      const bool clear = (m && !(m[x >> 3] & (0x80 >> (x & 7)))) || (s && s[x] == BYTE(block.transparentIndex));
      if (clear) row[x] = 0;
      else if (!ownAlpha) row[x] |= 0xFF000000u;
    }
  }
  return image;
}

}  // namespace

COpenWorker::COpenWorker(std::string path, QObject* parent)
    : QObject(parent), m_strPath(std::move(path)), m_progress([this, last = -1](float fraction, const std::string&) mutable {
        const int percent = int(fraction * 100);
        if (percent == last) return;
        last = percent;
        emit ProgressChanged(percent);
      }) {}

COpenWorker::~COpenWorker() {
  Cancel();
  if (m_thread.joinable()) m_thread.join();
}

bool COpenWorker::Handles(const std::string& path) { return UpperExtension(path) == "GIF"; }

void COpenWorker::Start() {
  if (m_thread.joinable()) return;
  m_thread = std::thread([this] { Run(); });
}

void COpenWorker::Run() {
  const QImage first = FirstPicture(m_strPath);
  if (!first.isNull()) emit FirstPictureReady(first);
  CSilentPrompt prompt;
  m_bOk = !m_progress.IsCancelled() && ImportImageFile(m_model, m_strPath, false, prompt, &m_progress, &m_strReason);
  if (!m_bOk && m_strReason.empty()) m_strReason = "cancelled";
  emit Finished();
}

QImage COpenWorker::FirstPicture(const std::string& path) {
  std::unique_ptr<CTevImgImportOptions> options = CTevImgImportOptions::NewImportOptions(IMAGE_FORMAT_GIF);
  if (auto* multi = options ? options->As<CTevMultiImageImportOptions>() : nullptr) multi->allImages = 0;
  CTevImageInfoPack pack;
  pack.path = path;
  if (LoadImageW(pack, options.get(), nullptr) != IMAGEIO_OK || pack.width <= 0 || pack.height <= 0 ||
      (long long)pack.width * pack.height > kMaxImagePixels)
    return {};
  const QImage block = BlockImage(pack);
  if (block.isNull()) return {};
  QImage canvas(pack.width, pack.height, QImage::Format_ARGB32);
  if (canvas.isNull()) return {};
  canvas.fill(Qt::transparent);
  QPainter painter(&canvas);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(pack.x, pack.y, block);
  painter.end();
  return canvas;
}
