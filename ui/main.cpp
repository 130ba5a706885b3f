// loopwright-gui [FILE...] [--screenshot OUT.png]: the desktop editor. With
// --screenshot it opens the first file, lays the window out at 1280x800,
// writes a picture of it and quits (no display needed with the offscreen
// platform).
#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <cstdio>

#include "app/loopwright_app.h"
#include "ui/main_window.h"
#include "ui/dialogs/dialog_screenshots.h"

namespace {

// Without a window on screen nobody can answer a dialog: messages go to
// stderr and questions get No.
class CStderrPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string& text, MessageKind, const std::string& = {}) override {
    std::fprintf(stderr, "loopwright-gui: %s\n", text.c_str());
  }
  bool AskYesNo(const std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Loopwright"));
  QApplication::setApplicationName(QStringLiteral("loopwright-gui"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Loopwright, the animated GIF editor"));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("animation or project to open"), QStringLiteral("[FILE...]"));
  QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("write a picture of the window and quit"),
                                QStringLiteral("OUT.png"));
  parser.addOption(screenshot);
  QCommandLineOption dialogShot(QStringLiteral("screenshot-dialog"),
                                QStringLiteral("write a picture of dialog NAME to OUT.png and quit (names: ") +
                                    DialogScreenshotNames().join(QStringLiteral(", ")) + QStringLiteral(")"),
                                QStringLiteral("NAME"));
  parser.addOption(dialogShot);
  parser.process(qtApp);

  CLoopwrightApp app;
  app.InitInstance();
  int rc = 0;
  {
    CStderrPrompt stderrPrompt;
    CMainWindow window(app, parser.isSet(screenshot) || parser.isSet(dialogShot) ? &stderrPrompt : nullptr);
    QStringList files = parser.positionalArguments();
    // --screenshot-dialog NAME [FILE] OUT.png: the picture's path comes last.
    const QString dialogOut = parser.isSet(dialogShot) && !files.isEmpty() ? files.takeLast() : QString();
    // One document per window: the last file that opens is the one shown.
    bool opened = files.isEmpty();
    for (const QString& file : files) opened = window.OpenFile(file) || opened;
    if (parser.isSet(dialogShot)) {
      rc = dialogOut.isEmpty() ? 2 : ScreenshotDialog(window.Doc(), parser.value(dialogShot), dialogOut);
      if (rc == 2) std::fprintf(stderr, "loopwright-gui: --screenshot-dialog NAME [FILE] OUT.png\n");
      else if (rc == 0 && !opened) rc = 1;
    } else if (parser.isSet(screenshot)) {
      window.resize(1280, 800);
      window.show();
      QApplication::processEvents();
      const QString out = parser.value(screenshot);
      if (!window.grab().save(out, "PNG")) {
        std::fprintf(stderr, "loopwright-gui: cannot write %s\n", out.toLocal8Bit().constData());
        rc = 1;
      } else if (!opened) {
        rc = 1;
      }
    } else {
      window.resize(1280, 800);
      window.show();
      rc = qtApp.exec();
    }
  }
  app.ExitInstance();
  return rc;
}
