#include "ui/dialogs/gif_size_estimator.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <algorithm>

#include "app/loopwright_doc.h"
#include "export/size_estimate.h"

struct CGifSizeEstimator::Job {
  CGifImage model;  // shares the document's frames and objects
  CExportSettings settings;
  CTevCommonProgress progress;
  long long bytes = -1;
  std::vector<CGifPreviewFrame> preview;
};

namespace {

// The option set's key in the remembered sizes.
std::string OptionsKey(const CGifEstimateOptions& o) {
  const CExportSettings& s = o.settings;
  return std::to_string(s.maxColors) + '/' + std::to_string(s.ditherMode) + '/' + std::to_string(s.ditherParameter) +
         '/' + std::to_string(s.forbidRestorePrevious) + '/' + std::to_string(s.globalPalette) + '/' +
         std::to_string(s.gifLevel) + '/' + std::to_string(o.loopForever) + '/' +
         std::to_string(o.loopForever ? 0 : o.loopCount);
}

// An 8-bit entry as an indexed image whose transparent entry (and every
// pixel its mask hides) shows through.
QImage EntryImage(const CFrameOptimal& entry, int transparentIndex) {
  const BITMAPINFOHEADER* dib = entry.image.get();
  if (!dib || dib->biBitCount != 8) return {};
  const int width = int(dib->biWidth), height = int(DibHeight(dib));
  QImage image(width, height, QImage::Format_Indexed8);
  if (image.isNull()) return {};
  const std::size_t entries = std::min<std::size_t>(DibPaletteEntries(dib), 256);
  QList<QRgb> table(256, qRgba(0, 0, 0, 255));
  const RGBQUAD* palette = DibPalette(dib);
  for (std::size_t i = 0; i < entries; ++i) table[qsizetype(i)] = qRgb(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
  if (transparentIndex >= 0 && transparentIndex < 256) table[transparentIndex] = qRgba(0, 0, 0, 0);
  image.setColorTable(table);
  const BITMAPINFOHEADER* mask = entry.mask.get();
  const bool useMask = mask && transparentIndex >= 0 && mask->biWidth == dib->biWidth && DibHeight(mask) == height;
  for (int y = 0; y < height; ++y) {
    uchar* out = image.scanLine(y);
    std::copy_n(DibRow(dib, y), width, out);
    if (!useMask) continue;
    const BYTE* bits = DibRow(mask, y);
    for (int x = 0; x < width; ++x)
      if (!(bits[x >> 3] & (0x80 >> (x & 7)))) out[x] = uchar(transparentIndex);
  }
  return image;
}

void RunJob(CGifSizeEstimator::Job* job);

}  // namespace

CGifSizeEstimator::CGifSizeEstimator(const CLoopwrightDoc& doc, QObject* parent) : QObject(parent), m_doc(doc) {}

CGifSizeEstimator::~CGifSizeEstimator() { Cancel(); }

void CGifSizeEstimator::Retire() {
  if (!m_job) return;
  m_job->progress.Cancel();
  m_retired.push_back(Run{std::move(m_job), std::move(m_thread), m_serial});
}

void CGifSizeEstimator::Cancel() {
  Retire();
  ++m_serial;  // results still queued for the window are stale now
  for (Run& run : m_retired)
    if (run.thread.joinable()) run.thread.join();
  m_retired.clear();
}

long long CGifSizeEstimator::KnownBytes(const CGifEstimateOptions& options) const {
  const std::string key = OptionsKey(options);
  for (const auto& [k, bytes] : m_known)
    if (k == key) return bytes;
  return -1;
}

void CGifSizeEstimator::Start(const CGifEstimateOptions& options) {
  // The stale estimate stops at its next progress step; its thread ends
  // on its own and is joined when it reports.
  Retire();
  auto job = std::make_unique<Job>();
  CGifImage& model = job->model;
  model.m_nWidth = m_doc.m_nWidth;
  model.m_nHeight = m_doc.m_nHeight;
  model.m_nImageColorIndex = m_doc.m_nImageColorIndex;
  model.m_clrBackground = m_doc.m_clrBackground;
  model.m_nTransparencyState = m_doc.m_nTransparencyState;
  model.m_frames = m_doc.m_frames;
  model.m_objects = m_doc.m_objects;
  model.m_bLoopForever = options.loopForever ? 1 : 0;
  model.m_nLoopCount = options.loopCount;
  model.m_nOutputColors = m_doc.m_nOutputColors;
  model.m_nOutputReduction = m_doc.m_nOutputReduction;
  model.m_nOutputQuality = m_doc.m_nOutputQuality;
  model.m_clrOutputMatte = m_doc.m_clrOutputMatte;
  model.m_bOptimizeFrames = m_doc.m_bOptimizeFrames;
  job->settings = options.settings;
  m_canvas = QSize(model.m_nWidth, model.m_nHeight);
  m_job = std::move(job);
  m_key = OptionsKey(options);
  Job* running = m_job.get();
  const quint64 serial = ++m_serial;
  m_thread = std::thread([this, running, serial] {
    RunJob(running);
    // Hand the result to the window's thread; a job stopped meanwhile has
    // an older serial and is only wound down there.
    QMetaObject::invokeMethod(this, [this, serial] { Collect(serial); }, Qt::QueuedConnection);
  });
}

void CGifSizeEstimator::Collect(quint64 serial) {
  if (serial != m_serial || !m_job) {
    for (auto it = m_retired.begin(); it != m_retired.end(); ++it) {
      if (it->serial != serial) continue;
      if (it->thread.joinable()) it->thread.join();
      m_retired.erase(it);
      break;
    }
    return;
  }
  if (m_thread.joinable()) m_thread.join();
  m_bytes = m_job->bytes;
  m_preview = std::move(m_job->preview);
  m_job.reset();
  if (m_bytes >= 0) {
    m_known.erase(std::remove_if(m_known.begin(), m_known.end(), [this](const auto& e) { return e.first == m_key; }),
                  m_known.end());
    m_known.emplace_back(m_key, m_bytes);
    constexpr std::size_t kRemembered = 64;
    if (m_known.size() > kRemembered) m_known.erase(m_known.begin());
  }
  emit Finished(m_bytes);
}

namespace {

// The frames of an encoded GIF as full screens, read back as a viewer
// shows them.
void ReadBackStream(const std::vector<std::uint8_t>& stream, CGifSizeEstimator::Job* job) {
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(stream.data()), qsizetype(stream.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "gif");
  qint64 pixels = 0;
  QImage image;
  while (!job->progress.IsCancelled() && reader.read(&image)) {
    pixels += qint64(image.width()) * image.height() * 4;
    if (pixels > CGifSizeEstimator::kMaxPreviewPixels) break;
    CGifPreviewFrame frame;
    frame.image = image.convertToFormat(QImage::Format_ARGB32);
    frame.delay = (reader.nextImageDelay() + 5) / 10;
    frame.disposal = 2;  // every image is a whole screen
    job->preview.push_back(std::move(frame));
  }
}

void RunJob(CGifSizeEstimator::Job* job) {
  CGifExportMeasure measure;
  const long long bytes = MeasureGifExport(job->model, job->settings, measure, &job->progress);
  if (bytes < 0 || job->progress.IsCancelled()) return;
  if (measure.localTables) {
    ReadBackStream(measure.stream, job);
    job->bytes = bytes;
    return;
  }
  const CGifOptimizeResult& result = measure.result;
  qint64 pixels = 0;
  for (std::size_t i = 0; i < result.entries.size(); ++i) {
    const CFrameOptimal& entry = result.entries[i];
    const int transparent = i < result.entryTransparent.size() ? result.entryTransparent[i] : result.transparentIndex;
    CGifPreviewFrame frame;
    frame.image = EntryImage(entry, transparent);
    pixels += qint64(frame.image.width()) * frame.image.height();
    if (pixels > CGifSizeEstimator::kMaxPreviewPixels) break;
    frame.pos = QPoint(entry.x, entry.y);
    frame.delay = entry.delay;
    frame.disposal = entry.Disposal();
    job->preview.push_back(std::move(frame));
  }
  job->bytes = bytes;
}

}  // namespace

void CGifPreviewState::Advance(const std::vector<CGifPreviewFrame>& preview, QSize canvas) {
  if (screen.size() != canvas || preview.empty() || index + 1 >= int(preview.size())) {
    // Start (again) from the empty canvas.
    screen = QImage(canvas, QImage::Format_ARGB32);
    screen.fill(Qt::transparent);
    index = -1;
  } else {
    // What the shown frame leaves for the next one.
    const CGifPreviewFrame& shown = preview[std::size_t(index)];
    if (shown.disposal == 2) {
      QPainter p(&screen);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.fillRect(QRect(shown.pos, shown.image.size()), Qt::transparent);
    } else if (shown.disposal == 3 && !saved.isNull()) {
      screen = saved;
    }
  }
  if (preview.empty() || screen.isNull()) return;
  ++index;
  const CGifPreviewFrame& frame = preview[std::size_t(index)];
  if (frame.disposal == 3) saved = screen.copy();
  QPainter p(&screen);
  p.drawImage(frame.pos, frame.image);
}

QImage GifPreviewScreen(const std::vector<CGifPreviewFrame>& preview, QSize canvas, int index) {
  CGifPreviewState state;
  for (int i = 0; i <= index && i < int(preview.size()); ++i) state.Advance(preview, canvas);
  return state.screen;
}
