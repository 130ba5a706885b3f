// Opening a GIF without blocking the window: a worker thread first decodes
// the file's first picture (a preview the canvas shows at once), then reads
// the whole animation into a model of its own, reporting progress. The
// window's thread owns the document and touches the model only after
// Finished, when the worker has let go of it; the worker never sees the
// document.
//
// Usage: 1. construct with the path 2. connect the signals 3. Start()
// 4. on Finished: Succeeded() ? doc.AdoptOpenedModel(Model(), path) : Reason().
// Cancel() asks the reader to stop; the destructor cancels and joins.
#pragma once

#include <QImage>
#include <QObject>
#include <memory>
#include <string>
#include <thread>

#include "app/gif_image.h"
#include "companions/base/progress.h"

class COpenWorker : public QObject {
  Q_OBJECT
 public:
  explicit COpenWorker(std::string path, QObject* parent = nullptr);
  ~COpenWorker() override;

  void Start();
  // Blocks until the worker has let go of the model.
  void Wait() {
    if (m_thread.joinable()) m_thread.join();
  }
  void Cancel() { m_progress.Cancel(); }
  bool IsCancelled() const { return m_progress.IsCancelled(); }
  // Valid after Finished.
  bool Succeeded() const { return m_bOk; }
  CGifImage& Model() { return m_model; }
  const std::string& Reason() const { return m_strReason; }

  // The first picture at canvas size, transparent where it shows nothing;
  // null when the file cannot be decoded.
  static QImage FirstPicture(const std::string& path);
  // Files this worker reads (GIF); others open on the window's thread.
  static bool Handles(const std::string& path);

 signals:
  void FirstPictureReady(const QImage& picture);
  void ProgressChanged(int percent);
  void Finished();

 private:
  void Run();

  std::string m_strPath;
  CTevCommonProgress m_progress;
  CGifImage m_model;
  std::string m_strReason;
  bool m_bOk = false;
  std::thread m_thread;
};
