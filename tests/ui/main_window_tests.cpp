// The window over a real document: opening, the frames list and the
// objects and properties panes (undoable changes made through them, moves as
// a drag does, files dropped on the list), the Undo texts, the
// unsaved-changes question and the cancel button.
#include <QCheckBox>
#include <QComboBox>
#include <QListView>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <fstream>

#include "editing/frame_commands.h"
#include "editing/object_refs.h"
#include "tests/ui/window_test_support.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"
#include "ui/frames_model.h"
#include "ui/frames_view.h"
#include "ui/objects_panel.h"
#include "ui/open_worker.h"
#include "ui/properties_panel.h"

class CMainWindowTests : public CWindowTestBase {
  Q_OBJECT
 private slots:
  void initTestCase() {
    if (!InitWindowTests()) QSKIP("sample corpus not present (set LW_CORPUS)");
  }
  void cleanup() { CloseWindow(); }

  void openShowsEveryFrameWithLazyThumbnails() {
    QVERIFY(Open());
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

  void movingRowsRunsTheFrameCommandAndUndoes() {
    QVERIFY(Open());
    CLoopwrightDoc& doc = m_window->Doc();
    CFramesModel* model = m_window->FramesModel();
    const auto before = FrameOrder(doc);
    struct Case { int row, count, dest; bool ok; int landsAt; };
    const Case cases[] = {
        {0, 1, 2, true, 1},                            // one place on
        {10, 2, 0, true, 0},                           // to the start
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
      Undo();
      QVERIFY(FrameOrder(doc) == order);
    }
    QVERIFY(FrameOrder(doc) == before);
    // The list shows the new order: the moved frame's delay moves with it.
    QVERIFY(model->moveRows({}, 0, 1, {}, 2));
    QCOMPARE(model->index(1).data().toString(), QStringLiteral("%1 ms").arg(before[0]->m_nDelay * 10));
  }

  void objectEyeHidesOnTheCurrentFrameAndUndoes() {
    QVERIFY(Open());
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

    Undo();
    QVERIFY(doc.GetCurrentFrame()->m_refs[std::size_t(object)]->m_bVisible);
    QCOMPARE(panel->item(row, CObjectsPanel::VISIBLE)->checkState(), Qt::Checked);
    QVERIFY(m_window->Canvas()->Image() == shown);
  }

  void propertiesPaneChangesTheSelectedFrames() {
    QVERIFY(Open());
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
    Undo();
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
  }

  void undoAndRedoTextsFollowTheEditManager() {
    QVERIFY(Open());
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
    QVERIFY(Open());
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

  void objectFieldsChangeTheSelectedObjectOnTheCurrentFrame() {
    QVERIFY(Open());
    CLoopwrightDoc& doc = m_window->Doc();
    m_window->SelectFrame(2);
    CObjectsPanel* objects = m_window->ObjectsPanel();
    int row = -1;
    for (int r = 0; r < objects->rowCount() && row < 0; ++r)
      if (objects->item(r, CObjectsPanel::VISIBLE)->checkState() == Qt::Checked) row = r;
    QVERIFY(row >= 0);
    objects->selectRow(row);
    const int index = objects->ObjectOfRow(row);
    CPropertiesPanel* pane = m_window->PropertiesPanel();
    QVERIFY(pane->ObjectXBox()->isEnabled());
    const CRefImageObject* ref = RefOf(*doc.GetCurrentFrame(), index);
    const CRefImageObject* elsewhere = RefOf(*doc.GetFrame(4), index);
    const int x = ref->m_nX, y = ref->m_nY, otherX = elsewhere->m_nX;
    QCOMPARE(pane->ObjectXBox()->value(), x);

    struct Case { QSpinBox* box; int value; };
    const Case cases[] = {{pane->ObjectXBox(), x + 5}, {pane->ObjectYBox(), y - 3},
                          {pane->ObjectTransparencyBox(), 100}};
    for (const Case& c : cases) {
      c.box->setValue(c.value);
      emit c.box->editingFinished();
    }
    ref = RefOf(*doc.GetCurrentFrame(), index);
    QCOMPARE(QPoint(ref->m_nX, ref->m_nY), QPoint(x + 5, y - 3));
    QCOMPARE(ref->m_nTransparency, 100);
    QCOMPARE(RefOf(*doc.GetFrame(4), index)->m_nX, otherX);  // only the current frame's place

    QComboBox* shadow = pane->ShadowBox();
    shadow->setCurrentIndex(2);
    emit shadow->activated(2);
    const CDib& object = *doc.m_objects[std::size_t(index)];
    QVERIFY(object.HasShadow());
    QCOMPARE(object.m_nShadowKind, 2);
    // Four steps back: shadow, transparency, y, x.
    for (int i = 0; i < 4; ++i) Undo();
    ref = RefOf(*doc.GetCurrentFrame(), index);
    QCOMPARE(QPoint(ref->m_nX, ref->m_nY), QPoint(x, y));
    QCOMPARE(ref->m_nTransparency, 0);
    QCOMPARE(pane->ObjectXBox()->value(), x);
  }

  void draggedFramesLandInOneStep() {
    QVERIFY(Open());
    CLoopwrightDoc& doc = m_window->Doc();
    CFramesModel* model = m_window->FramesModel();
    const auto order = FrameOrder(doc);
    struct Case { std::vector<int> selected; int target; std::vector<int> head; };
    const Case cases[] = {
        {{1, 3}, 0, {1, 3, 0, 2, 4}},   // two apart, to the start
        {{0, 1}, 4, {2, 3, 0, 1, 4}},   // a block further on
        {{4}, 1, {0, 4, 1, 2, 3}},      // one back three places
    };
    for (const Case& c : cases) {
      doc.m_selectedFrames = c.selected;
      doc.m_nCurrentFrame = c.selected.front();
      QVERIFY(model->MoveSelectedBefore(c.target));
      for (std::size_t i = 0; i < c.head.size(); ++i)
        QCOMPARE(doc.GetFrame(int(i)), order[std::size_t(c.head[i])]);
      QCOMPARE(doc.GetCurrentFrame(), order[std::size_t(c.selected.front())]);
      Undo();
      QVERIFY(FrameOrder(doc) == order);
    }
    // In place: nothing to do, nothing recorded.
    doc.m_selectedFrames = {2};
    QVERIFY(!model->MoveSelectedBefore(3));
    QVERIFY(!m_window->UndoAction()->isEnabled());
  }

  void filesDroppedOnTheFramesListAddFrames() {
    QVERIFY(Open());
    CLoopwrightDoc& doc = m_window->Doc();
    auto* view = qobject_cast<CFramesView*>(m_window->FramesView());
    QVERIFY(view);
    const int frames = doc.GetFrameCount();
    const QString other = QString::fromStdString(CorpusGif("gdkpb-dispose-keep.gif"));
    const QString bad = m_dir.filePath(QStringLiteral("bad.gif"));
    std::ofstream(bad.toStdString()) << "GIF89a but nothing else";
    QCOMPARE(view->AddFiles({other, bad}), 1);
    QVERIFY(doc.GetFrameCount() > frames);
    QCOMPARE(m_window->FramesModel()->rowCount(), doc.GetFrameCount());
    QCOMPARE(m_prompt.messages.size(), std::size_t(1));  // the bad file's message
    Undo();
    QCOMPARE(doc.GetFrameCount(), frames);
    // Dropping past the last thumbnail goes to the end, before the first to the start.
    const QRect first = view->visualRect(m_window->FramesModel()->index(0));
    QCOMPARE(view->DropRowAt(QPoint(first.left() + 2, first.center().y())), 0);
    QCOMPARE(view->DropRowAt(QPoint(first.right() - 2, first.center().y())), 1);
  }

  void cancelStopsTheExportAndKeepsTheOldFile() {
    QVERIFY(Open());
    const QString out = m_dir.filePath(QStringLiteral("kept.gif"));
    std::ofstream(out.toStdString(), std::ios::binary) << "old contents";
    QTimer::singleShot(0, m_window->CancelButton(), &QToolButton::click);
    QVERIFY(!m_window->ExportTo(out));
    QVERIFY(!m_window->IsBusy());
    std::ifstream in(out.toStdString(), std::ios::binary);
    const std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QCOMPARE(kept, std::string("old contents"));
    // Not cancelled, the same export writes the file.
    QVERIFY(m_window->ExportTo(out));
    QVERIFY(std::filesystem::file_size(out.toStdString()) > 100);
  }

};

QTEST_MAIN(CMainWindowTests)
#include "main_window_tests.moc"
