#include "cli/console_prompt.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

void CConsolePrompt::ShowMessage(const std::string& text, MessageKind kind, const std::string& caption) {
  if (kind == MessageKind::Error && m_bHoldErrors) {
    m_heldErrors.push_back(caption.empty() ? text : caption + ": " + text);
    return;
  }
  const char* level = kind == MessageKind::Error ? "error" : kind == MessageKind::Warning ? "warning" : "note";
  if (caption.empty())
    std::fprintf(stderr, "loopwright: %s: %s\n", level, text.c_str());
  else
    std::fprintf(stderr, "loopwright: %s: %s: %s\n", level, caption.c_str(), text.c_str());
}

bool CConsolePrompt::AskYesNo(const std::string& question) {
  std::fprintf(stderr, "loopwright: %s -> %s\n", question.c_str(), m_bAnswer ? "yes" : "no");
  return m_bAnswer;
}

void CConsolePrompt::SetStatusCaption(const std::string& caption) {
  if (::isatty(2)) std::fprintf(stderr, "\r%s\033[K", caption.c_str());
}

namespace {
CTevCommonProgress* g_progress = nullptr;

extern "C" void OnInterrupt(int) {
  if (g_progress) g_progress->Cancel();
}
}  // namespace

CTevCommonProgress& ConsoleProgress() {
  static CTevCommonProgress progress([](float fraction, const std::string& caption) {
    if (::isatty(2)) std::fprintf(stderr, "\r%s %3d%%\033[K", caption.c_str(), int(fraction * 100 + 0.5f));
  });
  if (!g_progress) {
    g_progress = &progress;
    std::signal(SIGINT, OnInterrupt);
  }
  return progress;
}
