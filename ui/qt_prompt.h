// The core's questions and messages as dialogs, its captions on the status bar.
#pragma once

#include <QPointer>
#include <QStatusBar>
#include <QWidget>

#include "app/prompt.h"

class CQtPrompt : public CPromptInterface {
 public:
  explicit CQtPrompt(QWidget* parent) : m_parent(parent) {}
  void SetStatusBar(QStatusBar* bar) { m_statusBar = bar; }

  void ShowMessage(const std::string& text, MessageKind kind, const std::string& caption = {}) override;
  bool AskYesNo(const std::string& question) override;
  Answer AskYesNoCancel(const std::string& question) override;
  void SetStatusCaption(const std::string& caption) override;

 private:
  QPointer<QWidget> m_parent;
  QPointer<QStatusBar> m_statusBar;
};
