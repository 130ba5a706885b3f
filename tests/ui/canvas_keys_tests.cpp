// Keys on the canvas reach the editing view and its tools: Escape and
// Enter as the tool in use takes them.
#include <QLineEdit>
#include <QtTest>

#include "tests/ui/window_test_support.h"
#include "tools/selection_actions.h"
#include "ui/canvas_widget.h"
#include "ui/view_commands.h"

class CCanvasKeysTests : public CWindowTestBase {
  Q_OBJECT
 private:
  CCanvasWidget* Canvas() { return m_window->Canvas(); }
  CEditPictureView& View() { return Canvas()->View(); }
  CLoopwrightDoc& Doc() { return m_window->Doc(); }
  QPoint At(QPoint image) { return Canvas()->ImageToViewport(image); }
  void Press(QPoint image) { QTest::mousePress(Canvas()->viewport(), Qt::LeftButton, {}, At(image)); }
  void Release(QPoint image) { QTest::mouseRelease(Canvas()->viewport(), Qt::LeftButton, {}, At(image)); }
  void Move(QPoint image) { QTest::mouseMove(Canvas()->viewport(), At(image)); }
  void Key(Qt::Key key) { QTest::keyClick(Canvas(), key); }
  std::size_t Steps() { return Doc().EditManager().UndoList().size(); }
  // The current frame's top visible object becomes the only selected one;
  // its index.
  std::size_t SelectTopObject() {
    const CGifFrame& frame = *Doc().GetCurrentFrame();
    std::size_t top = 0;
    for (std::size_t j = 0; j < Doc().m_objects.size() && j < frame.m_refs.size(); ++j)
      if (frame.m_refs[j]->m_bVisible) top = j;
    Doc().m_selectedObjects = {Doc().m_objects[top]};
    return top;
  }

 private slots:
  void initTestCase() {
    if (!InitWindowTests()) QSKIP("sample corpus not present (set LW_CORPUS)");
    QVERIFY(Open());
    Canvas()->SetZoom(100);
    QApplication::processEvents();
  }
  void init() {
    SelectNone(View());
    Doc().m_selectedObjects.clear();
    Canvas()->setFocus();
  }
  void cleanupTestCase() { CloseWindow(); }

  // Escape and Enter as the tool in use takes them.
  void escapeAndEnterGoToTheTool() {
    struct Case {
      const char* name;
      int tool;
      std::function<void()> before;  // leaves a gesture or a selection behind
      Qt::Key key;
      bool selectionAfter;
      bool objectsSelectedAfter;
    };
    const Case cases[] = {
        {"escape mid-drag drops the band", TOOL_RECT_SELECTION,
         [this] { Press({10, 10}); Move({30, 30}); Move({60, 50}); Key(Qt::Key_Escape); Release({60, 50}); },
         Qt::Key_Escape, false, false},
        {"escape drops the selection", TOOL_RECT_SELECTION,
         [this] { Press({10, 10}); Move({30, 30}); Move({60, 50}); Release({60, 50}); }, Qt::Key_Escape, false, false},
        {"escape then drops the selected objects", TOOL_RECT_SELECTION, [this] { SelectTopObject(); }, Qt::Key_Escape,
         false, false},
        {"enter closes the lasso", TOOL_LASSO,
         [this] {
           for (QPoint p : {QPoint(20, 20), QPoint(120, 30), QPoint(60, 110)}) Press(p), Release(p);
         },
         Qt::Key_Return, true, false},
        {"escape drops the lasso corners", TOOL_LASSO,
         [this] {
           for (QPoint p : {QPoint(20, 20), QPoint(120, 30), QPoint(60, 110)}) Press(p), Release(p);
         },
         Qt::Key_Escape, false, false},
        {"enter with nothing to finish keeps the objects", TOOL_RECT_SELECTION, [this] { SelectTopObject(); },
         Qt::Key_Enter, false, true},
    };
    for (const Case& c : cases) {
      init();
      m_window->ViewCommands()->ToolAction(c.tool)->trigger();
      Canvas()->setFocus();
      const std::size_t steps = Steps();
      c.before();
      Key(c.key);
      QVERIFY2(View().HasSelection() == c.selectionAfter, c.name);
      QVERIFY2(Doc().m_selectedObjects.empty() != c.objectsSelectedAfter, c.name);
      QVERIFY2(!View().IsLButtonDown(), c.name);
      QVERIFY2(c.key != Qt::Key_Return || Steps() > steps, c.name);  // the closed lasso is a selection step
      if (c.selectionAfter) {
        // The closed triangle: its corners' box.
        const RECT box = View().Selection().GetRect();
        QVERIFY2(box.left >= 19 && box.left <= 21 && box.right >= 119 && box.right <= 122 && box.top >= 19 &&
                     box.top <= 21 && box.bottom >= 109 && box.bottom <= 112,
                 c.name);
      }
    }
  }

};

QTEST_MAIN(CCanvasKeysTests)
#include "canvas_keys_tests.moc"
