// The window over a real document: opening, the frames list, the canvas
// against the core's own composition, undoable changes made through the
// lists, the Undo texts and the unsaved-changes question.
#include <QAction>
#include <QListView>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>

#include "app/frame_render.h"
#include "editing/frame_commands.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"
#include "ui/frames_model.h"
#include "ui/main_window.h"
#include "ui/objects_panel.h"
#include "ui/properties_panel.h"
#include <QCheckBox>
#include <QSpinBox>

namespace {

// Answers the unsaved-changes question from a queue and records everything.
class CTestPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string& text, MessageKind, const std::string& = {}) override { messages.push_back(text); }
  bool AskYesNo(const std::string&) override { return true; }
  Answer AskYesNoCancel(const std::string& question) override {
    questions.push_back(question);
    if (answers.empty()) return Answer::Cancel;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<std::string> messages, questions;
  std::deque<Answer> answers;
};

std::string CorpusGif() {
  const char* env = std::getenv("LW_CORPUS");
  const std::string dir = env ? env : "/work/shared/corpus";
  // 660x666, 45 frames with sub-rectangles and transparency.
  return dir + "/gif/gdkpb-1_partyanimsm2.gif";
}
constexpr int kCorpusFrames = 45;

// Pixels of a composed DIB against an image, compared where the DIB is
// opaque (the canvas draws over a chequer); returns the first difference.
QString CompareOpaque(const BITMAPINFOHEADER* dib, const QImage& image, int* compared) {
  *compared = 0;
  if (image.width() != dib->biWidth || image.height() != DibHeight(dib)) return QStringLiteral("size differs");
  const QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    const BYTE* row = DibRow(dib, y);
    for (int x = 0; x < image.width(); ++x) {
      const BYTE* p = row + 4 * x;
      if (p[3] != 255) continue;
      const QRgb q = rgb.pixel(x, y);
      ++*compared;
      if (qRed(q) != p[2] || qGreen(q) != p[1] || qBlue(q) != p[0])
        return QStringLiteral("pixel %1,%2 differs").arg(x).arg(y);
    }
  }
  return {};
}

std::vector<const CGifFrame*> FrameOrder(const CLoopwrightDoc& doc) {
  std::vector<const CGifFrame*> order;
  for (const auto& frame : doc.m_frames) order.push_back(frame.get());
  return order;
}

}  // namespace

class CMainWindowTests : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  CLoopwrightApp m_app;
  CTestPrompt m_prompt;
  std::unique_ptr<CMainWindow> m_window;

  // A fresh window on the corpus GIF, shown at the screenshot size.
  bool OpenCorpus() {
    m_prompt = CTestPrompt();
    m_window = std::make_unique<CMainWindow>(m_app, &m_prompt);
    m_window->resize(1280, 800);
    m_window->show();
    return m_window->OpenFile(QString::fromStdString(CorpusGif()));
  }

 private slots:
  void initTestCase() {
    if (!std::filesystem::exists(CorpusGif())) QSKIP("sample corpus not present (set LW_CORPUS)");
    // Recent files go to a throw-away settings folder.
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QStringLiteral("recentFiles"));
    m_app.m_bWritePrefsOnExit = false;
    m_app.InitInstance(m_dir.filePath(QStringLiteral("prefs.ini")).toStdString());
  }
  void cleanup() {
    // Closing must not ask again for the next test's sake.
    if (m_window) m_window->Doc().SetModifiedFlag(false);
    m_window.reset();
  }

  void openShowsEveryFrameWithLazyThumbnails() {
    QVERIFY(OpenCorpus());
    QCOMPARE(m_window->Doc().GetFrameCount(), kCorpusFrames);
    QCOMPARE(m_window->FramesView()->model()->rowCount(), kCorpusFrames);
    QCOMPARE(m_window->Doc().m_nCurrentFrame, 0);
    QApplication::processEvents();
    // Only the thumbnails in sight are made: 45 do not fit in 1280 pixels.
    QVERIFY(m_window->FramesModel()->ThumbnailsMade() > 0);
    QVERIFY(m_window->FramesModel()->ThumbnailsMade() < kCorpusFrames);
    // The delay shows under the thumbnail.
    const int delay = m_window->Doc().GetFrame(5)->m_nDelay;
    QCOMPARE(m_window->FramesModel()->index(5).data().toString(), QStringLiteral("%1 ms").arg(delay * 10));
  }

  void clickedFrameIsOnTheCanvas() {
    QVERIFY(OpenCorpus());
    QListView* view = m_window->FramesView();
    const QModelIndex thirdRow = view->model()->index(2, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(thirdRow).center());
    QCOMPARE(m_window->Doc().m_nCurrentFrame, 2);
    QCOMPARE(m_window->Doc().m_selectedFrames, std::vector<int>{2});

    CLoopwrightDoc& doc = m_window->Doc();
    // Frame 2 of this file repeats frame 0; frame 1 differs from it.
    DibPtr third = RenderFrame(doc, *doc.GetFrame(2)), second = RenderFrame(doc, *doc.GetFrame(1));
    QVERIFY(third && second);
    int compared = 0;
    QCOMPARE(CompareOpaque(third.get(), m_window->Canvas()->Image(), &compared), QString());
    QVERIFY(compared > 0);
    // The check can tell frames apart.
    QVERIFY(!CompareOpaque(second.get(), m_window->Canvas()->Image(), &compared).isEmpty());

    // What is painted at 100 % is the same picture at the canvas origin.
    m_window->Canvas()->SetZoom(100);
    QApplication::processEvents();
    const QImage shot = m_window->Canvas()->grab().toImage();
    const QPoint origin = m_window->Canvas()->CanvasOrigin();
    const QRect visible = QRect(origin, m_window->Canvas()->Image().size()).intersected(m_window->Canvas()->viewport()->geometry());
    QVERIFY(visible.width() > 100 && visible.height() > 100);
    int matched = 0;
    for (int y = visible.top(); y < visible.bottom(); y += 7)
      for (int x = visible.left(); x < visible.right(); x += 7) {
        const BYTE* p = DibRow(third.get(), y - origin.y()) + 4 * (x - origin.x());
        if (p[3] != 255) continue;
        const QRgb q = shot.pixel(x * shot.width() / m_window->Canvas()->width(), y * shot.height() / m_window->Canvas()->height());
        QCOMPARE(QColor(q), QColor(p[2], p[1], p[0]));
        ++matched;
      }
    QVERIFY(matched > 0);
  }

  void movingRowsRunsTheFrameCommandAndUndoes() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    CFramesModel* model = m_window->FramesModel();
    const auto before = FrameOrder(doc);
    struct Case { int row, count, dest; bool ok; int landsAt; };
    const Case cases[] = {
        {0, 1, 2, true, 1},                            // one place on
        {4, 1, 3, true, 3},                            // one place back
        {10, 2, 0, true, 0},                           // to the start
        {3, 1, kCorpusFrames, true, kCorpusFrames - 1},  // to the end
        {3, 1, 20, true, 19},                          // any place: in front of row 20
        {0, 1, 0, false, 0},                           // already first
        {kCorpusFrames - 1, 2, 0, false, 0},           // past the end
    };
    for (const Case& c : cases) {
      const auto order = FrameOrder(doc);
      const bool ok = model->moveRows({}, c.row, c.count, {}, c.dest);
      QCOMPARE(ok, c.ok);
      QCOMPARE(model->rowCount(), kCorpusFrames);
      if (!c.ok) {
        QVERIFY(FrameOrder(doc) == order);
        continue;
      }
      QCOMPARE(doc.GetFrame(c.landsAt), order[std::size_t(c.row)]);
      m_window->UndoAction()->trigger();
      QVERIFY(FrameOrder(doc) == order);
    }
    QVERIFY(FrameOrder(doc) == before);
    // The list shows the new order: the moved frame's delay moves with it.
    QVERIFY(model->moveRows({}, 0, 1, {}, 2));
    QCOMPARE(model->index(1).data().toString(), QStringLiteral("%1 ms").arg(before[0]->m_nDelay * 10));
  }

  void objectEyeHidesOnTheCurrentFrameAndUndoes() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    CObjectsPanel* panel = m_window->ObjectsPanel();
    QCOMPARE(panel->rowCount(), doc.GetObjectCount());
    int row = -1;
    for (int r = 0; r < panel->rowCount() && row < 0; ++r)
      if (panel->item(r, CObjectsPanel::VISIBLE)->checkState() == Qt::Checked) row = r;
    QVERIFY(row >= 0);
    const int object = panel->ObjectOfRow(row);
    const QImage shown = m_window->Canvas()->Image();

    panel->item(row, CObjectsPanel::VISIBLE)->setCheckState(Qt::Unchecked);
    QApplication::processEvents();
    QVERIFY(!doc.GetCurrentFrame()->m_refs[std::size_t(object)]->m_bVisible);
    QVERIFY(doc.IsModified());
    QVERIFY(m_window->Canvas()->Image() != shown);
    QCOMPARE(panel->item(row, CObjectsPanel::VISIBLE)->checkState(), Qt::Unchecked);

    m_window->UndoAction()->trigger();
    QVERIFY(doc.GetCurrentFrame()->m_refs[std::size_t(object)]->m_bVisible);
    QCOMPARE(panel->item(row, CObjectsPanel::VISIBLE)->checkState(), Qt::Checked);
    QVERIFY(m_window->Canvas()->Image() == shown);
  }

  void transparencyCellRunsTheCommandOrShowsWhy() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    CObjectsPanel* panel = m_window->ObjectsPanel();
    const int row = 0, object = panel->ObjectOfRow(row);
    struct Case { const char* text; bool accepted; int expected; };
    const Case cases[] = {{"128", true, 128}, {"300", false, 128}, {"-1", false, 128}, {"half", false, 128}, {"0", true, 0}};
    for (const Case& c : cases) {
      const std::size_t messages = m_prompt.messages.size();
      panel->item(row, CObjectsPanel::TRANSPARENCY)->setText(QString::fromLatin1(c.text));
      QApplication::processEvents();
      QCOMPARE(doc.GetCurrentFrame()->m_refs[std::size_t(object)]->m_nTransparency, c.expected);
      QCOMPARE(m_prompt.messages.size(), messages + (c.accepted ? 0 : 1));
      // The cell shows what the document holds, also after a refusal.
      QCOMPARE(panel->item(row, CObjectsPanel::TRANSPARENCY)->text(), QString::number(c.expected));
    }
    // Two accepted changes, two steps back.
    m_window->UndoAction()->trigger();
    m_window->UndoAction()->trigger();
    QCOMPARE(doc.GetCurrentFrame()->m_refs[std::size_t(object)]->m_nTransparency, 0);
    QVERIFY(!m_window->UndoAction()->isEnabled());
  }

  void propertiesPaneChangesTheSelectedFrames() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    CPropertiesPanel* pane = m_window->PropertiesPanel();
    m_window->SelectFrame(4);
    const int delay = doc.GetFrame(4)->m_nDelay, otherDelay = doc.GetFrame(5)->m_nDelay;
    QCOMPARE(pane->DelayBox()->value(), delay);

    pane->DelayBox()->setValue(delay + 7);
    emit pane->DelayBox()->editingFinished();
    QCOMPARE(int(doc.GetFrame(4)->m_nDelay), delay + 7);
    QCOMPARE(int(doc.GetFrame(5)->m_nDelay), otherDelay);  // not selected
    QCOMPARE(m_window->FramesModel()->index(4).data().toString(), QStringLiteral("%1 ms").arg((delay + 7) * 10));
    // The same value again is no change and no step.
    emit pane->DelayBox()->editingFinished();
    m_window->UndoAction()->trigger();
    QCOMPARE(int(doc.GetFrame(4)->m_nDelay), delay);
    QCOMPARE(pane->DelayBox()->value(), delay);
    QVERIFY(!m_window->UndoAction()->isEnabled());

    // The loop setting: a count of 3, then undone.
    QVERIFY(doc.m_bLoopForever);
    pane->LoopForeverBox()->setChecked(false);
    pane->LoopCountBox()->setValue(3);
    emit pane->LoopCountBox()->editingFinished();
    QVERIFY(!doc.m_bLoopForever);
    QCOMPARE(doc.m_nLoopCount, 3);
    QVERIFY(m_window->UndoAction()->isEnabled());
    QCOMPARE(m_window->UndoAction()->text(), MenuTextOf(doc.EditManager().GetUndoTail()->GetMenuText()));
  }

  void ctrlWheelZooms() {
    QVERIFY(OpenCorpus());
    CCanvasWidget* canvas = m_window->Canvas();
    canvas->SetZoom(100);
    struct Case { Qt::KeyboardModifiers modifiers; int delta, zoom; };
    const Case cases[] = {{Qt::ControlModifier, 120, 200}, {Qt::ControlModifier, 120, 400}, {Qt::NoModifier, 120, 400},
                          {Qt::ControlModifier, -120, 200}, {Qt::ControlModifier, -120, 100}, {Qt::ControlModifier, -120, 50}};
    for (const Case& c : cases) {
      const QPointF at(canvas->width() / 2.0, canvas->height() / 2.0);
      QWheelEvent wheel(at, canvas->mapToGlobal(at), {}, QPoint(0, c.delta), Qt::NoButton, c.modifiers,
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(canvas->viewport(), &wheel);
      QCOMPARE(canvas->Zoom(), c.zoom);
    }
  }

  void undoAndRedoTextsFollowTheEditManager() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    QAction* undo = m_window->UndoAction();
    QAction* redo = m_window->RedoAction();
    const QString nothing = undo->text();
    QVERIFY(!undo->isEnabled());
    // The menu part of the command text, its marker kept as the mnemonic.
    QVERIFY(!nothing.contains('\n'));
    QVERIFY(nothing.endsWith(QStringLiteral("(&U)")));

    QVERIFY(DuplicateSelectedFrames(doc));
    QVERIFY(undo->isEnabled());
    QCOMPARE(undo->text(), MenuTextOf(doc.EditManager().GetUndoTail()->GetMenuText()));
    QVERIFY(undo->text() != nothing);
    QCOMPARE(m_window->FramesView()->model()->rowCount(), kCorpusFrames + 1);

    undo->trigger();
    QCOMPARE(m_window->FramesView()->model()->rowCount(), kCorpusFrames);
    QCOMPARE(undo->text(), nothing);
    QVERIFY(redo->isEnabled());
    QCOMPARE(redo->text(), MenuTextOf(doc.EditManager().GetRedoTail()->GetMenuText()));
  }

  void unsavedChangesAskBeforeCloseAndOpen() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    QVERIFY(m_window->close());  // unmodified: closes without asking
    QVERIFY(m_prompt.questions.empty());
    m_window->show();

    QVERIFY(DuplicateSelectedFrames(doc));
    m_prompt.answers = {CPromptInterface::Answer::Cancel};
    QVERIFY(!m_window->close());
    QCOMPARE(m_prompt.questions.size(), std::size_t(1));
    QVERIFY(m_window->isVisible());
    QCOMPARE(doc.GetFrameCount(), kCorpusFrames + 1);
    QVERIFY(doc.IsModified());

    // Opening another file asks too; Cancel keeps the document.
    m_prompt.answers = {CPromptInterface::Answer::Cancel};
    QVERIFY(!m_window->OpenFile(QString::fromStdString(CorpusGif())));
    QCOMPARE(m_prompt.questions.size(), std::size_t(2));
    QCOMPARE(doc.GetFrameCount(), kCorpusFrames + 1);

    // Yes saves a project first when the document came from one.
    const QString project = m_dir.filePath(QStringLiteral("kept.lwp"));
    QVERIFY(m_window->SaveTo(project));
    QVERIFY(DuplicateSelectedFrames(doc));
    m_prompt.answers = {CPromptInterface::Answer::Yes};
    QVERIFY(m_window->OpenFile(QString::fromStdString(CorpusGif())));
    QCOMPARE(doc.GetFrameCount(), kCorpusFrames);
    QVERIFY(m_window->OpenFile(project));
    QCOMPARE(doc.GetFrameCount(), kCorpusFrames + 2);
    // Newest first, each file once.
    const QStringList recent = m_window->RecentFiles();
    QVERIFY(recent.size() >= 2);
    QCOMPARE(recent[0], QFileInfo(project).absoluteFilePath());
    QCOMPARE(recent[1], QFileInfo(QString::fromStdString(CorpusGif())).absoluteFilePath());
    QCOMPARE(recent.count(recent[0]), 1);

    QVERIFY(DuplicateSelectedFrames(doc));
    m_prompt.answers = {CPromptInterface::Answer::No};
    QVERIFY(m_window->close());
  }

  void screenshotShowsTheFrameAtItsPlace() {
    const QString out = m_dir.filePath(QStringLiteral("window.png"));
    QProcess gui;
    gui.start(QStringLiteral(LW_GUI), {QString::fromStdString(CorpusGif()), QStringLiteral("--screenshot"), out});
    QVERIFY(gui.waitForFinished(60000));
    QCOMPARE(gui.exitCode(), 0);
    const QImage shot(out);
    QVERIFY(shot.width() >= 1280 && shot.height() >= 800);

    // The same window laid out in this process tells where the canvas sits.
    QVERIFY(OpenCorpus());
    QApplication::processEvents();
    CLoopwrightDoc& doc = m_window->Doc();
    DibPtr first = RenderFrame(doc, *doc.GetFrame(0));
    QVERIFY(first);
    CCanvasWidget* canvas = m_window->Canvas();
    const QPoint origin = canvas->mapTo(m_window.get(), canvas->CanvasOrigin());
    const QRect visible = QRect(canvas->mapTo(m_window.get(), canvas->viewport()->geometry().topLeft()),
                                canvas->viewport()->size())
                              .intersected(QRect(origin, QSize(doc.m_nWidth, doc.m_nHeight)));
    QVERIFY(visible.width() > 100 && visible.height() > 100);
    const double sx = double(shot.width()) / m_window->width(), sy = double(shot.height()) / m_window->height();
    int matched = 0;
    for (int y = visible.top(); y < visible.bottom(); y += 9)
      for (int x = visible.left(); x < visible.right(); x += 9) {
        const BYTE* p = DibRow(first.get(), y - origin.y()) + 4 * (x - origin.x());
        if (p[3] != 255) continue;
        QCOMPARE(QColor(shot.pixel(int(x * sx), int(y * sy))), QColor(p[2], p[1], p[0]));
        ++matched;
      }
    QVERIFY(matched > 100);
  }

  void badFileShowsTheErrorAndKeepsTheDocument() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    const std::string path = doc.m_strPathName;
    const auto order = FrameOrder(doc);
    struct Case { const char* name; std::string bytes; };
    const Case cases[] = {
        {"garbage.gif", "not a picture at all"},
        {"empty.gif", ""},
        {"header-only.gif", std::string("GIF89a\x10\x00\x10\x00\x80\x00\x00", 13)},
        {"project.lwp", "LWP?\x01\x02\x03"},
    };
    for (const Case& c : cases) {
      const QString file = m_dir.filePath(QString::fromLatin1(c.name));
      std::ofstream(file.toStdString(), std::ios::binary) << c.bytes;
      const std::size_t messages = m_prompt.messages.size();
      QVERIFY2(!m_window->OpenFile(file), c.name);
      QCOMPARE(m_prompt.messages.size(), messages + 1);
      QVERIFY(m_prompt.messages.back().find(c.name) != std::string::npos);
      QVERIFY(FrameOrder(doc) == order);
      QCOMPARE(doc.m_strPathName, path);
      QCOMPARE(m_window->FramesView()->model()->rowCount(), kCorpusFrames);
    }
    QVERIFY(!m_window->OpenFile(m_dir.filePath(QStringLiteral("missing.gif"))));
    QVERIFY(FrameOrder(doc) == order);
  }
};

QTEST_MAIN(CMainWindowTests)
#include "main_window_tests.moc"
