#include "ui/preview_dialog.h"

#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "app/loopwright_doc.h"
#include "ui/dib_image.h"

CPreviewDialog::CPreviewDialog(CLoopwrightDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_picture(new QLabel(this)) {
  setWindowTitle(QStringLiteral("Preview"));
  auto* layout = new QVBoxLayout(this);
  m_picture->setAlignment(Qt::AlignCenter);
  layout->addWidget(m_picture);
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &CPreviewDialog::Advance);
}

void CPreviewDialog::Start() {
  m_bFinished = false;
  m_nLoopsLeft = m_doc.m_bLoopForever ? -1 : std::max(1, int(m_doc.m_nLoopCount));
  ShowFrame(0);
}

void CPreviewDialog::ShowFrame(int index) {
  const CGifFrame* frame = m_doc.GetFrame(index);
  if (!frame) {
    m_bFinished = true;
    return;
  }
  m_nFrame = index;
  const QImage image = ComposedFrameImage(m_doc, *frame);
  m_picture->setPixmap(QPixmap::fromImage(image));
  m_timer.start(std::max(kMinDelayMs, int(frame->m_nDelay) * 10));
}

void CPreviewDialog::Advance() {
  int next = m_nFrame + 1;
  if (next >= m_doc.GetFrameCount()) {
    if (m_nLoopsLeft > 0 && --m_nLoopsLeft == 0) {
      m_bFinished = true;  // the last frame stays on show
      return;
    }
    next = 0;
  }
  ShowFrame(next);
}
