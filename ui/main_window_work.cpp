// The window's long work: progress on the status bar with a cancel button,
// and opening a GIF on a worker thread.
#include <QCoreApplication>
#include <QDockWidget>
#include <QEventLoop>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "companions/base/tr.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"
#include "ui/main_window.h"
#include "ui/open_worker.h"

void CMainWindow::SetBusy(bool busy) {
  m_bBusy = busy;
  menuBar()->setEnabled(!busy);
  m_canvas->setEnabled(!busy);
  for (QToolBar* bar : findChildren<QToolBar*>()) bar->setEnabled(!busy);
  for (QDockWidget* dock : findChildren<QDockWidget*>()) dock->setEnabled(!busy);
  m_progressBar->setValue(0);
  m_progressBar->setVisible(busy);
  m_cancelButton->setVisible(busy);
  m_cancelButton->setEnabled(busy);
}

bool CMainWindow::RunWithProgress(const std::function<bool(CTevCommonProgress*)>& work) {
  if (m_bBusy) return false;
  // The caption of the running work and its fraction on the status bar; the
  // cancel button's click gets through while the rest is disabled.
  CTevCommonProgress progress([this](float fraction, const std::string& caption) {
    m_progressBar->setValue(int(fraction * 100));
    if (!caption.empty()) statusBar()->showMessage(ToQt(caption));
    QCoreApplication::processEvents();
  });
  m_pRunning = &progress;
  SetBusy(true);
  const bool ok = work(&progress);
  SetBusy(false);
  m_pRunning = nullptr;
  if (!ok && progress.IsCancelled()) statusBar()->showMessage(QString::fromUtf8(Tr("Cancelled.")));
  return ok;
}

bool CMainWindow::OpenInBackground(const QString& path) {
  COpenWorker worker(FromQt(path));
  QEventLoop loop;
  connect(&worker, &COpenWorker::FirstPictureReady, this, [this](const QImage& picture) {
    m_canvas->ShowPreview(picture);
    emit FirstPictureShown();
  });
  connect(&worker, &COpenWorker::ProgressChanged, m_progressBar, &QProgressBar::setValue);
  connect(&worker, &COpenWorker::Finished, &loop, &QEventLoop::quit);
  // The worker polls its own cancel flag.
  connect(m_cancelButton, &QToolButton::clicked, &worker, [&worker] { worker.Cancel(); });
  SetBusy(true);
  statusBar()->showMessage(QString::fromUtf8(Tr("Opening %1...")).arg(path));
  worker.Start();
  loop.exec();
  worker.Wait();
  SetBusy(false);
  m_canvas->ShowPreview(QImage());
  if (!worker.Succeeded()) {
    m_doc->m_strLastError = worker.Reason();
    if (worker.IsCancelled()) statusBar()->showMessage(QString::fromUtf8(Tr("Cancelled.")));
    else m_prompt->ShowMessage(FormatMessage1(Tr("Failed to load the file %s!"), FromQt(path)), MessageKind::Error);
    return false;
  }
  // A GIF is neither a project nor layers: its objects are named and its
  // references normalized as the document's open does for such files.
  m_app.m_bProjectLoaded = false;
  m_app.m_bLayersAsObjects = false;
  m_doc->AdoptOpenedModel(worker.Model(), FromQt(path));
  return true;
}
