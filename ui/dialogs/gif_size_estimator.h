// The GIF export's size estimate, computed off the window's thread: the
// frames go through the same optimizer and the same LZW size measure as the
// writer, so the estimate is the size of the file the export writes.
//
// Usage: 1. Start(options) (a running estimate is cancelled) 2. wait for
// Finished(bytes) 3. Preview() holds the optimized frames as a viewer shows
// them.
//
// The worker reads a snapshot that shares the document's frames and
// objects; the document must not change while an estimate runs (the export
// dialog is modal). The snapshot is made and dropped on the window's thread
// so reference counts are only touched there.
#pragma once

#include <QImage>
#include <QObject>
#include <memory>
#include <thread>
#include <vector>

#include "export/export_dispatch.h"

class CLoopwrightDoc;

struct CGifEstimateOptions {
  CExportSettings settings;  // colours, dither, disposal rule
  bool loopForever = true;
  int loopCount = 1;
};

// One optimized frame: its sub-image with the transparent entry see-through,
// placed at pos, shown for delay, then disposed of by disposal.
struct CGifPreviewFrame {
  QImage image;
  QPoint pos;
  int delay = 0;
  int disposal = 0;
};

class CGifSizeEstimator : public QObject {
  Q_OBJECT
 public:
  explicit CGifSizeEstimator(const CLoopwrightDoc& doc, QObject* parent = nullptr);
  ~CGifSizeEstimator() override;

  void Start(const CGifEstimateOptions& options);
  // Stops a running estimate and waits for its thread.
  void Cancel();
  bool Busy() const { return m_job != nullptr; }
  // Bytes of the last finished estimate; -1 before one or after a failure.
  long long Bytes() const { return m_bytes; }
  const std::vector<CGifPreviewFrame>& Preview() const { return m_preview; }
  QSize CanvasSize() const { return m_canvas; }

  // The preview keeps at most this many pixels of sub-images; later frames
  // are left out of it (the estimate still covers them).
  static constexpr qint64 kMaxPreviewPixels = 48ll << 20;

  struct Job;  // the snapshot, options and outcome of one run

 signals:
  void Finished(long long bytes);

 private:
  void Collect(quint64 serial);

  const CLoopwrightDoc& m_doc;
  std::unique_ptr<Job> m_job;
  std::thread m_thread;
  quint64 m_serial = 0;
  long long m_bytes = -1;
  std::vector<CGifPreviewFrame> m_preview;
  QSize m_canvas;
};

// Plays the preview as a viewer does: each Advance disposes of the frame
// shown and draws the next one (after the last, the first again).
struct CGifPreviewState {
  QImage screen;
  QImage saved;   // the screen a restore-previous frame goes back to
  int index = -1; // frame on the screen
  void Advance(const std::vector<CGifPreviewFrame>& preview, QSize canvas);
};

// The screen a viewer shows after frames [0, index] of preview, on a
// transparent canvas of size canvas.
QImage GifPreviewScreen(const std::vector<CGifPreviewFrame>& preview, QSize canvas, int index);
