// The window's panes and long work: frame disposal and object properties in
// the properties pane, moving frames and objects as a drag does, files
// dropped on the frames list, the cancel button, and the first picture the
// background open shows against the document's own first frame.
#include <QComboBox>
#include <QListView>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/frame_render.h"
#include "editing/object_refs.h"
#include "ui/frames_model.h"
#include "ui/frames_view.h"
#include "ui/main_window.h"
#include "ui/objects_panel.h"
#include "ui/open_worker.h"
#include "ui/properties_panel.h"

namespace {

class CRecordingPrompt : public CPromptInterface {
 public:
  void ShowMessage(const std::string& text, MessageKind, const std::string& = {}) override { messages.push_back(text); }
  bool AskYesNo(const std::string&) override { return true; }
  std::vector<std::string> messages;
};

std::string Corpus(const char* name) {
  const char* env = std::getenv("LW_CORPUS");
  return std::string(env ? env : "/work/shared/corpus") + "/gif/" + name;
}
const char* const kMain = "gdkpb-1_partyanimsm2.gif";

std::vector<const CGifFrame*> FrameOrder(const CLoopwrightDoc& doc) {
  std::vector<const CGifFrame*> order;
  for (const auto& frame : doc.m_frames) order.push_back(frame.get());
  return order;
}

}  // namespace

class CWindowPanesTests : public QObject {
  Q_OBJECT
 private:
  QTemporaryDir m_dir;
  CLoopwrightApp m_app;
  CRecordingPrompt m_prompt;
  std::unique_ptr<CMainWindow> m_window;

  bool Open(const char* name = kMain) {
    m_prompt = CRecordingPrompt();
    m_window = std::make_unique<CMainWindow>(m_app, &m_prompt);
    m_window->resize(1280, 800);
    m_window->show();
    return m_window->OpenFile(QString::fromStdString(Corpus(name)));
  }
  void Undo() { m_window->UndoAction()->trigger(); }

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

  void disposalOfTheSelectedFrames() {
    QVERIFY(Open());
    CLoopwrightDoc& doc = m_window->Doc();
    doc.m_selectedFrames = {3, 4};
    doc.m_nCurrentFrame = 3;
    m_window->PropertiesPanel()->Reload();
    QComboBox* box = m_window->PropertiesPanel()->DisposalBox();
    const int other = doc.GetFrame(5)->GetDisposal();
    for (int disposal : {2, 3, 0, 1}) {
      const int before3 = doc.GetFrame(3)->GetDisposal(), before4 = doc.GetFrame(4)->GetDisposal();
      const BYTE control = doc.GetFrame(3)->m_byGraphicControl;
      box->setCurrentIndex(disposal);
      emit box->activated(disposal);
      QCOMPARE(doc.GetFrame(3)->GetDisposal(), disposal);
      QCOMPARE(doc.GetFrame(4)->GetDisposal(), disposal);
      QCOMPARE(doc.GetFrame(5)->GetDisposal(), other);  // not selected
      // Only the disposal bits change.
      QCOMPARE(doc.GetFrame(3)->m_byGraphicControl & 0xE3, control & 0xE3);
      if (before3 == disposal && before4 == disposal) continue;  // nothing recorded
      Undo();
      QCOMPARE(doc.GetFrame(3)->GetDisposal(), before3);
      QCOMPARE(doc.GetFrame(4)->GetDisposal(), before4);
      m_window->RedoAction()->trigger();
      QCOMPARE(doc.GetFrame(3)->GetDisposal(), disposal);
    }
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
    const QString other = QString::fromStdString(Corpus("gdkpb-dispose-keep.gif"));
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

  void objectRowsMoveThroughTheOrderCommands() {
    QVERIFY(Open());
    CLoopwrightDoc& doc = m_window->Doc();
    CObjectsPanel* panel = m_window->ObjectsPanel();
    const int rows = panel->rowCount();
    QVERIFY(rows > 6);
    struct Case { int from, to, landsAt; };
    const Case cases[] = {{5, 2, 2}, {2, 0, 0}, {0, rows, rows - 1}, {rows - 1, rows - 3, rows - 3}, {3, 3, 3}};
    for (const Case& c : cases) {
      const CDib* object = doc.m_objects[std::size_t(panel->ObjectOfRow(c.from))].get();
      doc.m_selectedObjects = {RefPtr<CDib>(const_cast<CDib*>(object))};
      QCOMPARE(panel->MoveSelectedToRow(c.to), c.from != c.landsAt);
      QCOMPARE(panel->RowOfObject(doc.IndexOfObject(object)), c.landsAt);
    }
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

  void firstPictureIsTheFirstFrame() {
    // The last one's first image lies wholly outside the canvas: nothing shows.
    struct Case { const char* name; bool shows; };
    const Case cases[] = {{kMain, true}, {"gdkpb-dispose-restore-background.gif", true},
                          {"imagers-mixed-disposal.gif", true}, {"gdkpb-images-overlap.gif", true},
                          {"gdkpb-image-outside-bg.gif", false}};
    for (const auto& [name, shows] : cases) {
      m_prompt = CRecordingPrompt();
      m_window = std::make_unique<CMainWindow>(m_app, &m_prompt);
      bool shown = false;
      connect(m_window.get(), &CMainWindow::FirstPictureShown, this, [&shown, this] {
        shown = m_window->IsBusy();  // still opening
      });
      QVERIFY2(m_window->OpenFile(QString::fromStdString(Corpus(name))), name);
      QVERIFY2(shown, name);
      CLoopwrightDoc& doc = m_window->Doc();
      const QImage first = COpenWorker::FirstPicture(Corpus(name));
      DibPtr frame = RenderFrame(doc, *doc.GetFrame(0));
      QCOMPARE(first.size(), QSize(frame->biWidth, DibHeight(frame.get())));
      int compared = 0;
      for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x) {
          const BYTE* p = DibRow(frame.get(), y) + 4 * x;
          const QRgb q = first.pixel(x, y);
          QCOMPARE(qAlpha(q) == 255, p[3] == 255);
          if (p[3] != 255) continue;
          QVERIFY2(qRed(q) == p[2] && qGreen(q) == p[1] && qBlue(q) == p[0], name);
          ++compared;
        }
      QVERIFY2((compared > 0) == shows, name);
    }
  }
};

QTEST_MAIN(CWindowPanesTests)
#include "window_panes_tests.moc"
