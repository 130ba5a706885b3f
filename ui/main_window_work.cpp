// The window's long work: progress on the status bar with a cancel button,
// and opening files on a worker thread.
#include <QCoreApplication>
#include <QDockWidget>
#include <QEventLoop>
#include <QListView>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/import_dispatch.h"
#include "app/layered_open.h"
#include "companions/base/tr.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"
#include "ui/frames_model.h"
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
  const std::string file = FromQt(path);
  // A layered picture's question is asked here, before the reading starts.
  const bool layers = UpperExtension(file) == "PSD" && ChooseLayersAsObjects(file, m_app, *m_prompt);
  COpenWorker worker(file, layers);
  QEventLoop loop;
  // The worker is the context of every connection: what it still has queued
  // when it goes is dropped with it.
  connect(&worker, &COpenWorker::FirstPictureReady, &worker, [this](const QImage& picture) {
    if (!m_canvas->HasPreview()) m_canvas->ShowPreview(picture);
    emit FirstPictureShown();
  });
  connect(&worker, &COpenWorker::FrameArrived, &worker,
          [this](int index, const QImage& thumbnail, int delay) { m_framesModel->AddArrival(index, thumbnail, delay); });
  connect(&worker, &COpenWorker::ProgressChanged, m_progressBar, &QProgressBar::setValue);
  connect(&worker, &COpenWorker::Finished, &loop, &QEventLoop::quit);
  // The worker polls its own cancel flag.
  connect(m_cancelButton, &QToolButton::clicked, &worker, [&worker] { worker.Cancel(); });
  m_pOpening = &worker;
  m_framesModel->BeginArrivals();
  SetBusy(true);
  // The frames list stays usable: a click shows an arrived frame. Nothing in
  // it may change the document meanwhile.
  if (QWidget* dock = m_framesView->parentWidget()) dock->setEnabled(true);
  m_deleteFrames->setEnabled(false);
  statusBar()->showMessage(QString::fromUtf8(Tr("Opening %1...")).arg(path));
  worker.Start();
  loop.exec();
  worker.Wait();
  m_pOpening = nullptr;
  SetBusy(false);
  m_framesModel->EndArrivals();
  m_canvas->ShowPreview(QImage());
  if (!worker.Succeeded()) {
    m_doc->m_strLastError = worker.Reason();
    RefreshAll();  // the document as it was
    if (worker.IsCancelled()) statusBar()->showMessage(QString::fromUtf8(Tr("Cancelled.")));
    else m_prompt->ShowMessage(FormatMessage1(Tr("Failed to load the file %s!"), file), MessageKind::Error);
    return false;
  }
  // Naming and reference normalizing follow what was opened, as the
  // document's own open does.
  m_app.m_bProjectLoaded = worker.ProjectLoaded();
  m_app.m_bLayersAsObjects = layers;
  m_doc->AdoptOpenedModel(worker.Model(), file);
  return true;
}

void CMainWindow::ShowArrivedFrame(int row) {
  if (!m_pOpening || row < 0) return;
  const QImage picture = m_pOpening->ArrivedFrame(row);
  if (!picture.isNull()) m_canvas->ShowPreview(picture);
}

COpenWorker* CMainWindow::OpeningWorker() const { return m_pOpening; }
