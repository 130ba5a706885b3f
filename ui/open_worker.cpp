#include "ui/open_worker.h"

#include <QPainter>
#include <filesystem>

#include "app/avi_import.h"
#include "app/import_dispatch.h"
#include "app/project_file.h"
#include "app/prompt.h"
#include "companions/imageio/image_options.h"
#include "companions/imageio/tev_image_io.h"
#include "ui/dib_image.h"

using namespace TevImageIO;

namespace {

// The worker asks nobody anything: the readers only set captions.
class CSilentPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string&, MessageKind, const std::string&) override {}
  bool AskYesNo(const std::string&) override { return false; }
};


}  // namespace

COpenWorker::COpenWorker(std::string path, bool layersAsObjects, QObject* parent)
    : QObject(parent),
      m_strPath(std::move(path)),
      m_bLayersAsObjects(layersAsObjects),
      m_progress([this, last = -1](float fraction, const std::string&) mutable {
        const int percent = int(fraction * 100);
        if (percent == last) return;
        last = percent;
        emit ProgressChanged(percent);
      }),
      m_previewProgress() {}

COpenWorker::~COpenWorker() {
  Cancel();
  Wait();
}

void COpenWorker::Wait() {
  if (m_thread.joinable()) m_thread.join();
}

bool COpenWorker::Handles(const std::string& path) { return UpperExtension(path) == "GIF"; }

void COpenWorker::Start() {
  if (m_thread.joinable()) return;
  m_thread = std::thread([this] { Run(); });
}

void COpenWorker::Run() {
  const bool gif = Handles(m_strPath);
  if (gif) {
    // The first picture alone decodes in a moment; it is on its way to the
    // canvas before the rest of the file is read.
    const QImage first = FirstPicture(m_strPath);
    if (!first.isNull()) emit FirstPictureReady(first);
    if (!m_progress.IsCancelled()) m_previewThread = std::thread([this] { RunPreview(); });
  }
  CSilentPrompt prompt;
  const std::string ext = UpperExtension(m_strPath);
  std::error_code ec;
  if (m_progress.IsCancelled()) {
    m_bOk = false;
  } else if (!std::filesystem::is_regular_file(m_strPath, ec)) {
    m_strReason = "no such file";
  } else if (ext == "LWP") {
    CProjectReadInfo info;
    m_bOk = ReadProjectFile(m_model, m_strPath, &m_progress, &info);
    m_bProjectLoaded = m_bOk && info.projectLoaded;
    if (!m_bOk) m_strReason = info.reason;
  } else if (ext == "AVI") {
    m_bOk = ImportAviFile(m_model, m_strPath, &m_progress, &m_strReason);
  } else {
    m_bOk = ImportImageFile(m_model, m_strPath, m_bLayersAsObjects, prompt, &m_progress, &m_strReason);
  }
  if (m_progress.IsCancelled()) m_bOk = false;
  if (!m_bOk) m_model.Clear();
  if (!m_bOk && m_strReason.empty()) m_strReason = "cancelled";
  // The whole model is there: the preview has nothing more to show.
  m_previewProgress.Cancel();
  if (m_previewThread.joinable()) m_previewThread.join();
  emit Finished();
}

void COpenWorker::RunPreview() {
  DecodeArrivingFrames(m_strPath, m_arrived, m_previewProgress, [this](int index, const QImage& canvas, int delay) {
    emit FrameArrived(index, canvas.scaled(kThumbnailSize, kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation),
                      delay);
  });
}

QImage COpenWorker::FirstPicture(const std::string& path) {
  std::unique_ptr<CTevImgImportOptions> options = CTevImgImportOptions::NewImportOptions(IMAGE_FORMAT_GIF);
  if (auto* multi = options ? options->As<CTevMultiImageImportOptions>() : nullptr) multi->allImages = 0;
  CTevImageInfoPack pack;
  pack.path = path;
  if (LoadImageW(pack, options.get(), nullptr) != IMAGEIO_OK || pack.width <= 0 || pack.height <= 0 ||
      (long long)pack.width * pack.height > kMaxImagePixels)
    return {};
  const QImage block = BlockImage(pack.picture.get(), pack.mask.get(), pack.transparentIndex);
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
