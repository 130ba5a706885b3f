#include "ui/qt_prompt.h"

#include <QMessageBox>

#include "ui/dib_image.h"

void CQtPrompt::ShowMessage(const std::string& text, MessageKind kind, const std::string& caption) {
  const QString title = caption.empty() ? QStringLiteral("Loopwright") : ToQt(caption);
  switch (kind) {
    case MessageKind::Info: QMessageBox::information(m_parent, title, ToQt(text)); break;
    case MessageKind::Warning: QMessageBox::warning(m_parent, title, ToQt(text)); break;
    case MessageKind::Error: QMessageBox::critical(m_parent, title, ToQt(text)); break;
  }
}

bool CQtPrompt::AskYesNo(const std::string& question) {
  return QMessageBox::question(m_parent, QStringLiteral("Loopwright"), ToQt(question),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

CPromptInterface::Answer CQtPrompt::AskYesNoCancel(const std::string& question) {
  const auto button = QMessageBox::question(m_parent, QStringLiteral("Loopwright"), ToQt(question),
                                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (button == QMessageBox::Yes) return Answer::Yes;
  return button == QMessageBox::No ? Answer::No : Answer::Cancel;
}

void CQtPrompt::SetStatusCaption(const std::string& caption) {
  if (m_statusBar) m_statusBar->showMessage(ToQt(caption));
}
