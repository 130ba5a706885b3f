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

  // Every arrived frame, composed from the decoder's pictures, is the frame
  // the opened document renders: same transparency, same opaque pixels;
  // composed again later it is the same.
  void arrivedFramesAreTheDocumentsFrames() {
    for (const char* name : {kMain, "gif/gdkpb-dispose-restore-background.gif", "gif/imagers-mixed-disposal.gif",
                             "gif/gdkpb-images-overlap.gif"}) {
      CLoopwrightDoc doc(m_app, m_prompt);
      QVERIFY2(doc.OnOpenDocument(Corpus(name)), name);
      CArrivedFrames frames;
      CTevCommonProgress progress;
      int reported = 0;
      QString difference;
      const auto check = [&](int index, const QImage& arrived) {
        const CGifFrame* frame = doc.GetFrame(index);
        if (!frame) return QStringLiteral("frame %1 too many").arg(index);
        DibPtr rendered = RenderFrame(doc, *frame);
        if (arrived.size() != QSize(rendered->biWidth, DibHeight(rendered.get())))
          return QStringLiteral("frame %1 size").arg(index);
        for (int y = 0; y < arrived.height(); ++y) {
          const BYTE* p = DibRow(rendered.get(), y);
          const QRgb* q = reinterpret_cast<const QRgb*>(arrived.constScanLine(y));
          for (int x = 0; x < arrived.width(); ++x, p += 4, ++q)
            if ((qAlpha(*q) == 255) != (p[3] == 255) ||
                (p[3] == 255 && (qRed(*q) != p[2] || qGreen(*q) != p[1] || qBlue(*q) != p[0])))
              return QStringLiteral("frame %1 pixel %2,%3").arg(index).arg(x).arg(y);
        }
        return QString();
      };
      QVERIFY2(DecodeArrivingFrames(Corpus(name), frames, progress,
                                    [&](int index, const QImage& canvas, int) {
                                      if (index != reported++) difference = QStringLiteral("out of order");
                                      if (difference.isEmpty()) difference = check(index, canvas);
                                    }),
               name);
      QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(name, difference)));
      QCOMPARE(frames.Count(), doc.GetFrameCount());
      QCOMPARE(reported, doc.GetFrameCount());
      const int last = doc.GetFrameCount() - 1;
      for (int index : {last / 2, last}) QVERIFY2(check(index, frames.Compose(index)).isEmpty(), name);
      QVERIFY(frames.Compose(last + 1).isNull());
    }
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

  // Every format goes through the worker (busy, with the Cancel button) and
  // ends as the document's own open of the file does.
  void everyFormatOpensOnTheWorker() {
    NewWindow();
    QVERIFY(m_window->OpenFile(QString::fromStdString(Corpus("gif/gdkpb-images-overlap.gif"))));
    const QString project = m_dir.filePath(QStringLiteral("saved.lwp"));
    QVERIFY(m_window->SaveTo(project));
    const std::string files[] = {Corpus("png/pillow-blend_op_over.png"), Corpus("jpg/wuffs-hat.jpeg"),
                                 Corpus("ico/gdkpb-squares.ico"), Corpus("ani/gdkpb-test-animation.ani"),
                                 Corpus("avi/riffparse-test.avi"), Corpus("psd/psdtools-2layers.psd"),
                                 project.toStdString()};
    for (const std::string& file : files) {
      if (!std::filesystem::exists(file)) QFAIL(file.c_str());
      bool cancelShown = false;
      const auto watch = connect(m_window->statusBar(), &QStatusBar::messageChanged, m_window.get(),
                                 [&] { cancelShown |= m_window->IsBusy() && m_window->CancelButton()->isVisible(); });
      m_prompt.messages.clear();
      const bool opened = m_window->OpenFile(QString::fromStdString(file));
      disconnect(watch);
      CLoopwrightDoc reference(m_app, m_prompt);
      QCOMPARE(opened, reference.OnOpenDocument(file));
      QVERIFY2(opened, file.c_str());
      QVERIFY2(cancelShown, file.c_str());
      QCOMPARE(m_window->Doc().GetFrameCount(), reference.GetFrameCount());
      QCOMPARE(m_window->Doc().GetObjectCount(), reference.GetObjectCount());
      QCOMPARE(QSize(m_window->Doc().m_nWidth, m_window->Doc().m_nHeight), QSize(reference.m_nWidth, reference.m_nHeight));
      QCOMPARE(m_window->FramesModel()->rowCount(), reference.GetFrameCount());
      QVERIFY(!m_window->Doc().IsModified());
    }
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
