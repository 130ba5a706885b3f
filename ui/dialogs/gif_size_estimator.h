// The GIF export's size estimate, computed off the window's thread: the
// frames go through the same optimizer and the same LZW size measure as the
// writer, so the estimate is the size of the file the export writes.
//
// Usage: 1. Start(options) (a running estimate is told to stop and left to
// wind down on its own thread: Start never waits for it) 2. wait for
// Finished(bytes) 3. Preview() holds the optimized frames as a viewer shows
// them.
//
// Sizes already computed for an option set are remembered: going back to
// one shows its figure at once (KnownBytes) while the preview is redone.
//
// The worker reads a snapshot that shares the document's frames and
// objects; the document must not change while an estimate runs (the export
// dialog is modal). Snapshots are made and dropped on the window's thread
// so reference counts are only touched there.
#pragma once

#include <QImage>
#include <QObject>
#include <memory>
#include <string>
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
  // Stops every running estimate and waits for their threads.
  void Cancel();
  bool Busy() const { return m_job != nullptr; }
  // The size of an option set estimated before; -1 when unknown.
  long long KnownBytes(const CGifEstimateOptions& options) const;
  // Threads of stopped estimates not yet wound down.
  int Stopping() const { return int(m_retired.size()); }
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
  struct Run {
    std::unique_ptr<Job> job;
    std::thread thread;
    quint64 serial = 0;
  };
  void Collect(quint64 serial);
  void Retire();

  const CLoopwrightDoc& m_doc;
  std::unique_ptr<Job> m_job;
  std::thread m_thread;
  std::vector<Run> m_retired;
  std::vector<std::pair<std::string, long long>> m_known;  // option key, bytes
  std::string m_key;  // options of the running estimate
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
