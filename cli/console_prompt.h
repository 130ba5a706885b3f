// The CLI's side of the prompt interface: messages on stderr, questions
// answered from the command line, progress drawn when stderr is a terminal.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/prompt.h"
#include "companions/base/progress.h"

class CConsolePrompt : public CPromptInterface {
 public:
  explicit CConsolePrompt(bool answerYes = true) : m_bAnswer(answerYes) {}
  void ShowMessage(const std::string& text, MessageKind kind, const std::string& caption = {}) override;
  bool AskYesNo(const std::string& question) override;
  void SetStatusCaption(const std::string& caption) override;
  // While held, error messages are kept instead of printed: a script prints
  // them with the line that caused them, once. TakeHeldErrors hands them
  // over and forgets them.
  void HoldErrors(bool hold) { m_bHoldErrors = hold; }
  std::vector<std::string> TakeHeldErrors() { return std::exchange(m_heldErrors, {}); }

 private:
  bool m_bAnswer;
  bool m_bHoldErrors = false;
  std::vector<std::string> m_heldErrors;
};

// A progress sink that draws a bar with the percentage and the time left on
// a terminal stderr (nothing otherwise) and whose cancel flag Ctrl-C sets.
// One per process.
CTevCommonProgress& ConsoleProgress();
// --quiet: no bar and no status captions.
void SetConsoleQuiet(bool quiet);
bool ConsoleQuiet();
// Routes Ctrl-C to the console progress from the start of the run.
void InstallInterruptHandler();
// After a command: when Ctrl-C stopped it (rc non-zero and the progress
// cancelled), says so and returns 130 (the shell's code for an interrupt);
// otherwise rc.
int ReportInterrupted(int rc);
