// The CLI's side of the prompt interface: messages on stderr, questions
// answered from the command line, progress drawn when stderr is a terminal.
#pragma once

#include "app/prompt.h"
#include "companions/base/progress.h"

class CConsolePrompt : public CPromptInterface {
 public:
  explicit CConsolePrompt(bool answerYes = true) : m_bAnswer(answerYes) {}
  void ShowMessage(const std::string& text, MessageKind kind, const std::string& caption = {}) override;
  bool AskYesNo(const std::string& question) override;
  void SetStatusCaption(const std::string& caption) override;

 private:
  bool m_bAnswer;
};

// A progress sink that draws "caption NN%" on a terminal stderr and whose
// cancel flag Ctrl-C sets. One per process.
CTevCommonProgress& ConsoleProgress();
