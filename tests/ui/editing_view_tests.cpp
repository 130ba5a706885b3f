// The canvas as the editing view: what it shows against the core's own
// composition, mouse gestures reaching the current tool through the tool
// palette, delete and undo of selected pixels, the system clipboard in and
// out.
#include <QClipboard>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QToolBar>
#include <QtTest>

#include "editing/object_refs.h"
#include "tests/ui/window_test_support.h"
#include "tools/selection_actions.h"
#include "ui/canvas_widget.h"
#include "ui/dib_image.h"
#include "ui/view_commands.h"

class CEditingViewTests : public CWindowTestBase {
  Q_OBJECT

  // The sample at 100 %; questions are answered No.
  bool OpenCorpus() {
    if (!Open()) return false;
    m_prompt.yes = false;
    m_window->Canvas()->SetZoom(100);
    QApplication::processEvents();
    return true;
  }
  CCanvasWidget* Canvas() { return m_window->Canvas(); }
  CEditPictureView& View() { return m_window->Canvas()->View(); }
  DibPtr Current() { return RenderFrame(m_window->Doc(), *m_window->Doc().GetCurrentFrame()); }

  // A left-button drag on the canvas between two image points.
  void Drag(QPoint from, QPoint to) {
    QWidget* port = Canvas()->viewport();
    const QPoint a = Canvas()->ImageToViewport(from), b = Canvas()->ImageToViewport(to);
    QTest::mousePress(port, Qt::LeftButton, {}, a);
    QTest::mouseMove(port, (a + b) / 2);
    QTest::mouseMove(port, b);
    QTest::mouseRelease(port, Qt::LeftButton, {}, b);
  }

 private slots:
  void initTestCase() {
    if (!InitWindowTests()) QSKIP("sample corpus not present (set LW_CORPUS)");
  }
  void cleanup() { CloseWindow(); }

  void clickedFrameIsWhatTheViewShows() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    QListView* list = m_window->FramesView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
    QCOMPARE(doc.m_nCurrentFrame, 2);
    const QImage picture = Canvas()->ViewPicture();
    QCOMPARE(picture.size(), Canvas()->viewport()->size());
    const QPoint at = Canvas()->ImageToViewport(QPoint(0, 0));
    int compared = 0;
    DibPtr third = RenderFrame(doc, *doc.GetFrame(2)), second = RenderFrame(doc, *doc.GetFrame(1));
    QCOMPARE(CompareAt(third.get(), picture, at, &compared), QString());
    QVERIFY(compared > 10000);
    // Frame 1 differs from frame 2: the comparison tells them apart.
    QVERIFY(!CompareAt(second.get(), picture, at, &compared).isEmpty());
    // Scrolled, the frame moves with the scroll bars.
    Canvas()->SetZoom(200);
    QScrollBar* bar = Canvas()->horizontalScrollBar();
    const int scroll = bar->value();
    const QPoint unscrolled = Canvas()->ImageToViewport(QPoint(0, 0));
    bar->setValue(scroll + 40);
    QCOMPARE(bar->value(), scroll + 40);
    QCOMPARE(Canvas()->ImageToViewport(QPoint(0, 0)), unscrolled - QPoint(40, 0));
    const QImage zoomed = Canvas()->ViewPicture();
    int sampled = 0;
    for (int y = 0; y < DibHeight(third.get()); y += 13)
      for (int x = 0; x < third->biWidth; x += 11) {
        const BYTE* p = DibRow(third.get(), y) + 4 * x;
        const QPoint shownAt = Canvas()->ImageToViewport(QPoint(x, y)) + QPoint(1, 1);  // inside the 2x2 block
        if (p[3] != 255 || !zoomed.rect().contains(shownAt)) continue;
        QCOMPARE(QColor(zoomed.pixel(shownAt)), QColor(p[2], p[1], p[0]));
        ++sampled;
      }
    QVERIFY(sampled > 100);
  }

  void rectangleDragDeleteAndUndo() {
    QVERIFY(OpenCorpus());
    m_window->ViewCommands()->ToolAction(TOOL_RECT_SELECTION)->trigger();
    DibPtr before = Current();
    Drag(QPoint(10, 10), QPoint(60, 40));
    QVERIFY(View().HasSelection());
    const RECT box = View().Selection().GetRect();
    QCOMPARE(QRect(box.left, box.top, box.right - box.left, box.bottom - box.top), QRect(10, 10, 50, 30));

    Canvas()->setFocus();
    QTest::keyClick(Canvas(), Qt::Key_Delete);
    DibPtr after = Current();
    int cleared = 0;
    for (int y = 0; y < DibHeight(after.get()); ++y)
      for (int x = 0; x < after->biWidth; ++x) {
        const bool inside = x >= 10 && x < 60 && y >= 10 && y < 40;
        const BYTE* a = DibRow(after.get(), y) + 4 * x;
        const BYTE* b = DibRow(before.get(), y) + 4 * x;
        if (inside) {
          QCOMPARE(int(a[3]), 0);
          cleared += b[3] != 0;
        } else {
          QVERIFY2(std::memcmp(a, b, 4) == 0, qPrintable(QStringLiteral("%1,%2 changed").arg(x).arg(y)));
        }
      }
    QVERIFY(cleared > 0);
    QCOMPARE(m_window->Doc().GetFrameCount(), 45);  // the key deleted pixels, not frames

    QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(DibToImage(Current().get()), DibToImage(before.get()));
  }

  void paletteChoosesTheToolThatGetsTheMouse() {
    QVERIFY(OpenCorpus());
    CViewCommands* commands = m_window->ViewCommands();
    QToolBar* palette = m_window->findChild<QToolBar*>(QStringLiteral("toolPalette"));
    QVERIFY(palette);
    QCOMPARE(palette->actions().size(), int(TOOL_COUNT));
    QCOMPARE(palette->actions()[TOOL_RECT_SELECTION]->text(), QStringLiteral("Rectangular Selection"));
    // Every slot: chosen in the palette, it is the view's tool and the only one checked.
    for (int n = TOOL_COUNT - 1; n >= 0; --n) {
      palette->actions()[n]->trigger();
      QCOMPARE(View().GetToolNumber(), n);
      for (int m = 0; m < TOOL_COUNT; ++m) QCOMPARE(commands->ToolAction(m)->isChecked(), m == n);
    }
    // The same drag makes a pixel selection only with a selection tool.
    struct Case { int tool; bool selects; };
    const Case cases[] = {{TOOL_SELECT, false}, {TOOL_RECT_SELECTION, true}, {TOOL_ELLIPSE_SELECTION, true},
                          {TOOL_SYMBOL, false}};
    for (const Case& c : cases) {
      SelectNone(View());
      commands->ToolAction(c.tool)->trigger();
      Drag(QPoint(100, 100), QPoint(180, 150));
      QCOMPARE(View().HasSelection(), c.selects);
    }
    // The ellipse is inside its box: the box's corner is not selected.
    SelectNone(View());
    commands->ToolAction(TOOL_ELLIPSE_SELECTION)->trigger();
    Drag(QPoint(100, 100), QPoint(180, 150));
    QVERIFY(View().IsInSelection(POINT{140, 125}) && !View().IsInSelection(POINT{101, 101}));
  }

  void clipboardRoundTrip() {
    QVERIFY(OpenCorpus());
    CLoopwrightDoc& doc = m_window->Doc();
    QVERIFY(SelectRectangle(View(), 30, 20, 50, 40, 0, SELECT_REPLACE).ok);
    DibPtr before = Current();
    m_window->ViewCommands()->Action(CViewCommands::CMD_COPY)->trigger();
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(50, 40));
    int compared = 0;
    QCOMPARE(CompareAt(before.get(), copied, QPoint(-30, -20), &compared), QString());
    QVERIFY(compared > 0);

    // Back in: a new top object at the place it came from, the frame unchanged.
    const int objects = doc.GetObjectCount();
    m_window->ViewCommands()->Action(CViewCommands::CMD_PASTE)->trigger();
    QCOMPARE(doc.GetObjectCount(), objects + 1);
    const CRefImageObject* ref = RefOf(*doc.GetCurrentFrame(), std::size_t(doc.GetObjectCount() - 1));
    QVERIFY(ref && ref->m_bVisible);
    QCOMPARE(QPoint(ref->m_nX, ref->m_nY), QPoint(30, 20));
    DibPtr pasted = Current();
    QCOMPARE(CompareAt(before.get(), DibToImage(pasted.get()), QPoint(0, 0), &compared), QString());

    // A picture from another program lands at the top-left corner.
    QImage red(4, 3, QImage::Format_ARGB32);
    red.fill(QColor(255, 0, 0));
    QGuiApplication::clipboard()->setImage(red);
    m_window->ViewCommands()->Action(CViewCommands::CMD_PASTE)->trigger();
    QCOMPARE(doc.GetObjectCount(), objects + 2);
    DibPtr withRed = Current();
    const BYTE* corner = DibRow(withRed.get(), 2) + 4 * 3;
    QCOMPARE(QColor(corner[2], corner[1], corner[0]), QColor(255, 0, 0));
    const BYTE* outside = DibRow(withRed.get(), 3) + 4 * 4;
    QVERIFY(std::memcmp(outside, DibRow(pasted.get(), 3) + 4 * 4, 4) == 0);
    QVERIFY(m_prompt.messages.empty());
  }

};

QTEST_MAIN(CEditingViewTests)
#include "editing_view_tests.moc"
