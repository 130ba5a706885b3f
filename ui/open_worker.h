// Opening a file without blocking the window: a worker thread reads the
// whole file into a model of its own, reporting progress; for a GIF a second
// thread decodes it as well and hands over each frame as it arrives (its
// thumbnail by signal, its picture on request), so the frames list fills
// and the canvas shows the first frame long before the model is complete.
// The window's thread owns the document and touches the model only after
// Finished, when the worker has let go of it; the worker never sees the
// document.
//
// Usage: 1. construct with the path (and, for a layered picture, how to
// open its layers: the question is the window's) 2. connect the signals,
// with the worker as the context object so that signals still queued when
// it is destroyed are dropped 3. Start() 4. on Finished: Succeeded() ?
// doc.AdoptOpenedModel(Model(), path) : Reason(). Cancel() asks the readers
// to stop; the destructor cancels and joins.
#pragma once

#include <QImage>
#include <QObject>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/gif_image.h"
#include "companions/base/progress.h"
#include "ui/open_preview.h"

class COpenWorker : public QObject {
  Q_OBJECT
 public:
  explicit COpenWorker(std::string path, bool layersAsObjects = false, QObject* parent = nullptr);
  ~COpenWorker() override;

  void Start();
  // Blocks until the worker has let go of the model.
  void Wait();
  void Cancel() {
    m_progress.Cancel();
    m_previewProgress.Cancel();
  }
  bool IsCancelled() const { return m_progress.IsCancelled(); }
  // Valid after Finished.
  bool Succeeded() const { return m_bOk; }
  CGifImage& Model() { return m_model; }
  const std::string& Reason() const { return m_strReason; }
  // A project file that carries its own object names (after Finished).
  bool ProjectLoaded() const { return m_bProjectLoaded; }

  // Frames that have arrived so far (any thread).
  int ArrivedCount() const { return m_arrived.Count(); }
  // Arrived frame index composed at canvas size; null when it has not arrived.
  QImage ArrivedFrame(int index) const { return m_arrived.Compose(index); }

  // The first picture at canvas size, transparent where it shows nothing;
  // null when the file cannot be decoded.
  static QImage FirstPicture(const std::string& path);
  // Files whose frames arrive one by one while the file opens (GIF).
  static bool Handles(const std::string& path);

 signals:
  void FirstPictureReady(const QImage& picture);
  // Frame index has arrived: its thumbnail (at most thumbnailSize square)
  // and its delay in hundredths of a second.
  void FrameArrived(int index, const QImage& thumbnail, int delay);
  void ProgressChanged(int percent);
  void Finished();

 public:
  static constexpr int kThumbnailSize = 72;

 private:
  void Run();
  void RunPreview();

  std::string m_strPath;
  bool m_bLayersAsObjects;
  CTevCommonProgress m_progress;
  CTevCommonProgress m_previewProgress;
  CGifImage m_model;
  std::string m_strReason;
  bool m_bOk = false;
  bool m_bProjectLoaded = false;
  std::thread m_thread;
  std::thread m_previewThread;

  CArrivedFrames m_arrived;
};
