// Shared by the window tests: the sample GIFs, pixel comparisons against the
// core's composition, and a base for the test classes that opens a window
// with throw-away preferences and recent files.
#pragma once

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_render.h"
#include "tests/ui/dialog_test_support.h"
#include "ui/main_window.h"

// The main sample: 660 x 666, 45 frames with sub-rectangles and transparency.
constexpr const char* kMainGif = "gdkpb-1_partyanimsm2.gif";
constexpr int kCorpusFrames = 45;

inline std::string CorpusGif(const char* name = kMainGif) {
  const char* env = std::getenv("LW_CORPUS");
  return std::string(env ? env : "/work/shared/corpus") + "/gif/" + name;
}

// The composed frame's opaque pixels against a picture whose (0, 0) is the
// frame's at; only the part inside the picture counts. Returns the first
// difference, or empty; *compared counts the pixels checked.
inline QString CompareAt(const BITMAPINFOHEADER* frame, const QImage& picture, QPoint at, int* compared) {
  *compared = 0;
  for (int y = std::max(0, -at.y()); y < DibHeight(frame) && y + at.y() < picture.height(); ++y) {
    const BYTE* row = DibRow(frame, y);
    for (int x = std::max(0, -at.x()); x < frame->biWidth && x + at.x() < picture.width(); ++x) {
      const BYTE* p = row + 4 * x;
      if (p[3] != 255) continue;
      ++*compared;
      const QRgb q = picture.pixel(x + at.x(), y + at.y());
      if (qRed(q) != p[2] || qGreen(q) != p[1] || qBlue(q) != p[0])
        return QStringLiteral("pixel %1,%2 differs").arg(x).arg(y);
    }
  }
  return {};
}

// The base of the window test classes (each declares its own slots).
class CWindowTestBase : public QObject {
 protected:
  // Throw-away preferences and recent files; false without the sample corpus.
  bool InitWindowTests() {
    if (!std::filesystem::exists(CorpusGif())) return false;
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QStringLiteral("recentFiles"));
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
    return true;
  }
  // A fresh window on a sample GIF, shown at the screenshot size.
  bool Open(const char* name = kMainGif) {
    m_prompt = CRecordingPrompt();
    m_window = std::make_unique<CMainWindow>(m_app, &m_prompt);
    m_window->resize(1280, 800);
    m_window->show();
    return m_window->OpenFile(QString::fromStdString(CorpusGif(name)));
  }
  // Closing must not ask again for the next test's sake.
  void CloseWindow() {
    if (m_window) m_window->Doc().SetModifiedFlag(false);
    m_window.reset();
  }
  void Undo() { m_window->UndoAction()->trigger(); }

  QTemporaryDir m_dir;
  CLoopwrightApp m_app;
  CRecordingPrompt m_prompt;
  std::unique_ptr<CMainWindow> m_window;
};
