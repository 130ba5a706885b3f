// The window against the command line: the screenshot's canvas region shows
// what `loopwright render` writes for the first frame (a clicked frame against
// the core's composition: editing_view_tests).
#include <QProcess>
#include <QtTest>
#include <cstdlib>
#include <filesystem>

#include "ui/canvas_widget.h"
#include "ui/main_window.h"

namespace {

class CQuietPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string&, MessageKind, const std::string& = {}) override {}
  bool AskYesNo(const std::string&) override { return true; }
};

std::string CorpusGif() {
  const char* env = std::getenv("LW_CORPUS");
  return std::string(env ? env : "/work/shared/corpus") + "/gif/gdkpb-1_partyanimsm2.gif";
}

// The command-line tool beside the window program.
QString CliPath() { return QFileInfo(QStringLiteral(LW_GUI)).dir().filePath(QStringLiteral("loopwright")); }

// Where picture (in its own coordinates, offset by at) has opaque pixels,
// shot must hold the same colour; returns the first difference.
QString Compare(const QImage& rendered, const QImage& shot, QPoint at, const QRect& region, int* matched) {
  *matched = 0;
  for (int y = region.top(); y <= region.bottom(); y += 3)
    for (int x = region.left(); x <= region.right(); x += 3) {
      const QRgb p = rendered.pixel(x - at.x(), y - at.y());
      if (qAlpha(p) != 255) continue;
      if ((shot.pixel(x, y) & 0xFFFFFFu) != (p & 0xFFFFFFu)) return QStringLiteral("%1,%2").arg(x).arg(y);
      ++*matched;
    }
  return {};
}

}  // namespace

class CScreenshotRenderTests : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  CLoopwrightApp m_app;
  CQuietPrompt m_prompt;

  QImage Render(int frame) {
    const QString out = m_dir.filePath(QStringLiteral("frame%1.png").arg(frame));
    QProcess cli;
    cli.start(CliPath(), {QStringLiteral("render"), QStringLiteral("--frame"), QString::number(frame),
                          QString::fromStdString(CorpusGif()), out});
    if (!cli.waitForFinished(60000) || cli.exitCode() != 0) return {};
    return QImage(out).convertToFormat(QImage::Format_ARGB32);
  }

 private slots:
  void initTestCase() {
    if (!std::filesystem::exists(CorpusGif())) QSKIP("sample corpus not present (set LW_CORPUS)");
    QStandardPaths::setTestModeEnabled(true);
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
  }

  void canvasShowsWhatTheCommandLineRenders() {
    const QString shotPath = m_dir.filePath(QStringLiteral("window.png"));
    QProcess gui;
    gui.start(QStringLiteral(LW_GUI), {QString::fromStdString(CorpusGif()), QStringLiteral("--screenshot"), shotPath});
    QVERIFY(gui.waitForFinished(60000));
    QCOMPARE(gui.exitCode(), 0);
    const QImage shot = QImage(shotPath).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(shot.width() >= 1280 && shot.height() >= 800);

    // The same window laid out here tells where the canvas sits.
    CMainWindow window(m_app, &m_prompt);
    window.resize(1280, 800);
    window.show();
    QVERIFY(window.OpenFile(QString::fromStdString(CorpusGif())));
    window.Canvas()->SetZoom(100);
    QApplication::processEvents();
    QCOMPARE(shot.size(), window.size());
    CCanvasWidget* canvas = window.Canvas();
    const QSize size(window.Doc().m_nWidth, window.Doc().m_nHeight);
    const QPoint origin = canvas->mapTo(&window, canvas->CanvasOrigin());
    const QRect port(canvas->mapTo(&window, canvas->viewport()->geometry().topLeft()), canvas->viewport()->size());
    const QRect visible = port.intersected(QRect(origin, size));
    QVERIFY(visible.width() > 100 && visible.height() > 100);

    const QImage rendered = Render(0);
    QCOMPARE(rendered.size(), size);
    int matched = 0;
    QCOMPARE(Compare(rendered, shot, origin, visible, &matched), QString());
    QVERIFY(matched > 1000);
    window.Doc().SetModifiedFlag(false);
  }
};

QTEST_MAIN(CScreenshotRenderTests)
#include "screenshot_render_tests.moc"
