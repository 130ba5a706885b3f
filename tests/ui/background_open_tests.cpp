// Opening on the worker thread: a GIF's frames arrive in the frames list
// while it opens; a cancelled or failed open keeps the document.
#include <QListView>
#include <QToolButton>
#include <QtTest>

#include "tests/ui/window_test_support.h"
#include "ui/canvas_widget.h"
#include "ui/frames_model.h"

namespace {

// A sample of any format: the folder under the corpus names it.
std::string Corpus(const std::string& relative) {
  return (std::filesystem::path(CorpusGif()).parent_path().parent_path() / relative).string();
}

}  // namespace

class CBackgroundOpenTests : public CWindowTestBase {
  Q_OBJECT
  // A fresh window with nothing open yet.
  void NewWindow() {
    m_prompt = CRecordingPrompt();
    m_window = std::make_unique<CMainWindow>(m_app, &m_prompt);
    m_window->resize(1280, 800);
    m_window->show();
  }

 private slots:
  void initTestCase() {
    if (!InitWindowTests()) QSKIP("sample corpus not present (set LW_CORPUS)");
  }
  void cleanup() { CloseWindow(); }

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
    QVERIFY(m_window->OpenFile(QString::fromStdString(CorpusGif())));
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
    QVERIFY(!m_window->OpenFile(QString::fromStdString(CorpusGif())));
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
