#include "cli/console_prompt.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "companions/base/tr.h"

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
  if (!ConsoleQuiet() && ::isatty(2)) std::fprintf(stderr, "\r%s\033[K", caption.c_str());
}

namespace {
CTevCommonProgress* g_progress = nullptr;

// The first Ctrl-C asks the running operation to stop (it returns failure
// and the writers leave their targets as they were); a second one ends the
// process at once.
extern "C" void OnInterrupt(int) {
  if (g_progress) g_progress->Cancel();
  std::signal(SIGINT, SIG_DFL);
}

// "caption [#####     ]  42%  ETA 0:12" redrawn in place on a terminal
// stderr; the time left is estimated from the time since the bar started
// (a new caption or a fraction going back starts it again).
class CConsoleProgressBar : public CTevCommonProgress {
 public:
  CConsoleProgressBar() : CTevCommonProgress([this](float f, const std::string& c) { Draw(f, c); }) {}
  void EndProgress() override {
    CTevCommonProgress::EndProgress();
    if (m_drawn) std::fprintf(stderr, "\r\033[K");
    m_drawn = false;
    m_last = -1;
  }
  bool m_quiet = false;

 private:
  void Draw(float fraction, const std::string& caption) {
    if (m_quiet || !::isatty(2)) return;
    const auto now = std::chrono::steady_clock::now();
    if (caption != m_caption || fraction < m_lastFraction || m_last < 0) {
      m_start = now;
      m_caption = caption;
    }
    m_lastFraction = fraction;
    const int percent = int(fraction * 100 + 0.5f);
    if (percent == m_last) return;
    m_last = percent;
    constexpr int kWidth = 24;
    const int filled = percent * kWidth / 100;
    std::string bar(std::size_t(filled), '#');
    bar.append(std::size_t(kWidth - filled), ' ');
    std::string eta;
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    if (fraction > 0.01f && fraction < 1.0f && elapsed > 0.5) {
      const long left = long(elapsed * (1.0 - fraction) / fraction + 0.5);
      char buf[32];
      std::snprintf(buf, sizeof buf, "  ETA %ld:%02ld", left / 60, left % 60);
      eta = buf;
    }
    std::fprintf(stderr, "\r%s%s[%s] %3d%%%s\033[K", caption.c_str(), caption.empty() ? "" : " ", bar.c_str(), percent,
                 eta.c_str());
    m_drawn = true;
  }
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  std::string m_caption;
  float m_lastFraction = 0;
  int m_last = -1;
  bool m_drawn = false;
};

CConsoleProgressBar& Bar() {
  static CConsoleProgressBar bar;
  return bar;
}
}  // namespace

void SetConsoleQuiet(bool quiet) { Bar().m_quiet = quiet; }
bool ConsoleQuiet() { return Bar().m_quiet; }

CTevCommonProgress& ConsoleProgress() {
  CConsoleProgressBar& progress = Bar();
  if (!g_progress) {
    g_progress = &progress;
    std::signal(SIGINT, OnInterrupt);
  }
  return progress;
}

void InstallInterruptHandler() { ConsoleProgress(); }

int ReportInterrupted(int rc) {
  if (rc == 0 || !ConsoleProgress().IsCancelled()) return rc;
  std::fprintf(stderr, "loopwright: %s\n", Tr("interrupted: the command was cancelled and the file it was writing left as it was"));
  return 130;
}
