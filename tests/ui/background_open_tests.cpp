// Opening on the worker thread: a GIF's frames arrive in the frames list
// while it opens and each arrived frame composes as the finished document
// shows it; every format goes the same way with the Cancel button; a
// cancelled or failed open keeps the document.
#include <QListView>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>
#include <cstdlib>
#include <filesystem>

#include "app/frame_render.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"
#include "ui/frames_model.h"
#include "ui/main_window.h"
#include "ui/open_worker.h"

namespace {

class CRecordingPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string& text, MessageKind, const std::string& = {}) override { messages.push_back(text); }
  bool AskYesNo(const std::string&) override { return true; }
  Answer AskYesNoCancel(const std::string&) override { return Answer::No; }
  std::vector<std::string> messages;
};

std::string Corpus(const std::string& relative) {
  const char* env = std::getenv("LW_CORPUS");
  return std::string(env ? env : "/work/shared/corpus") + "/" + relative;
}
const char* const kMain = "gif/gdkpb-1_partyanimsm2.gif";  // 45 frames

}  // namespace

class CBackgroundOpenTests : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  CLoopwrightApp m_app;
  CRecordingPrompt m_prompt;
  std::unique_ptr<CMainWindow> m_window;

  void NewWindow() {
    m_prompt = CRecordingPrompt();
    m_window = std::make_unique<CMainWindow>(m_app, &m_prompt);
    m_window->resize(1280, 800);
    m_window->show();
  }

 private slots:
  void initTestCase() {
    if (!std::filesystem::exists(Corpus(kMain))) QSKIP("sample corpus not present (set LW_CORPUS)");
    QStandardPaths::setTestModeEnabled(true);
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
  }
  void cleanup() {
    if (m_window) m_window->Doc().SetModifiedFlag(false);
    m_window.reset();
  }

  // While the file opens the list shows the frames that have arrived, a
  // click shows one on the canvas, and the document is not touched.
  void framesListFillsWhileTheFileOpens() {
    NewWindow();
    CFramesModel* model = m_window->FramesModel();
    int rowsWhileBusy = 0, framesInDocument = -1;
    bool shown = false;
    connect(model, &QAbstractItemModel::rowsInserted, m_window.get(), [&] {
      if (!m_window->IsBusy()) return;
      rowsWhileBusy = model->rowCount();
      if (shown) return;
      m_window->FramesView()->selectionModel()->setCurrentIndex(model->index(0), QItemSelectionModel::ClearAndSelect);
      shown = m_window->Canvas()->HasPreview();
      framesInDocument = m_window->Doc().GetFrameCount();
    });
    QVERIFY(m_window->OpenFile(QString::fromStdString(Corpus(kMain))));
    QVERIFY(rowsWhileBusy >= 1 && rowsWhileBusy <= 45);
    QVERIFY(shown);
    QCOMPARE(framesInDocument, 0);
    QVERIFY(!model->ShowsArrivals());
    QCOMPARE(model->rowCount(), 45);
    QCOMPARE(m_window->Doc().m_nCurrentFrame, 0);
    QVERIFY(!m_window->Canvas()->HasPreview());
  }

  // Cancel while frames arrive: the open document stays, rows and all.
  void cancelWhileFramesArriveKeepsTheDocument() {
    NewWindow();
    const std::string first = Corpus("png/pillow-dispose_op_previous.png");
    QVERIFY(m_window->OpenFile(QString::fromStdString(first)));
    const int frames = m_window->Doc().GetFrameCount();
    const int width = m_window->Doc().m_nWidth;
    QVERIFY(frames > 0);
    connect(m_window->FramesModel(), &QAbstractItemModel::rowsInserted, m_window.get(), [this] {
      if (m_window->IsBusy()) m_window->CancelButton()->click();
    });
    QVERIFY(!m_window->OpenFile(QString::fromStdString(Corpus(kMain))));
    QCOMPARE(m_window->Doc().m_strPathName, first);
    QCOMPARE(m_window->Doc().GetFrameCount(), frames);
    QCOMPARE(m_window->Doc().m_nWidth, width);
    QCOMPARE(m_window->FramesModel()->rowCount(), frames);
    QVERIFY(m_prompt.messages.empty());  // a cancel is no error
    QVERIFY(!m_window->IsBusy());
  }

  // Bad files of several formats: the message, and the document stays.
  void failedOpenKeepsTheDocument() {
    NewWindow();
    QVERIFY(m_window->OpenFile(QString::fromStdString(Corpus("ani/gdkpb-test-animation.ani"))));
    const std::string path = m_window->Doc().m_strPathName;
    const int frames = m_window->Doc().GetFrameCount();
    QVERIFY(frames > 1);
    for (const char* bad : {"bad/gdkpb-bug779012.ico", "bad/pillow-no_cursors.cur", "bad/exiftool-RIFF.avi",
                            "bad/gdkpb-invalid.1.gif", "gif/no-such-file.gif"}) {
      m_prompt.messages.clear();
      QVERIFY2(!m_window->OpenFile(QString::fromStdString(Corpus(bad))), bad);
      QCOMPARE(m_prompt.messages.size(), std::size_t(1));
      QVERIFY2(m_prompt.messages.front().find("Failed to load") != std::string::npos, bad);
      QCOMPARE(m_window->Doc().m_strPathName, path);
      QCOMPARE(m_window->Doc().GetFrameCount(), frames);
      QCOMPARE(m_window->FramesModel()->rowCount(), frames);
    }
  }
};

QTEST_MAIN(CBackgroundOpenTests)
#include "background_open_tests.moc"
