// The editing view and its selection tools, driven by mouse events as a
// window would send them through a scrolled view: rubber band, lasso, magic
// wand, Shift/Ctrl combination, moving the selection, and undo of each.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "tool_scene.h"

using TevImageTransform::CTevObjSelection;

namespace {

// The view is scrolled and its canvas drawn at an origin, so every gesture
// goes through the full client-to-image conversion.
constexpr POINT kScroll{17, 9}, kOrigin{3, 5};

class SelectionTools : public ToolScene {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 64, 48));
    // Left half black, right half white, one grey pixel at (5, 5).
    m_doc.m_objects.push_back(MakeRef<CDib>(PatternPicture(64, 48, [](int x, int y) {
      const BYTE v = x == 5 && y == 5 ? 128 : (x < 32 ? 0 : 255);
      return std::array<BYTE, 4>{v, v, v, 255};
    })));
    AddFrames(m_doc, 1, [](int) { return 10; }, [](int, int, CRefImageObject& r) { r.m_bVisible = true; });
    m_doc.SelectSingleFrame(0);
    ASSERT_TRUE(m_view.SetScroll(kScroll.x, kScroll.y));
    m_view.SetCanvasOrigin(kOrigin);
  }
  // The client point over image point (x, y) at zoom 1.
  POINT At(int x, int y) const {
    return {x + kOrigin.x - kScroll.x, y + kOrigin.y - kScroll.y};
  }
  void Click(int x, int y) { Gesture({At(x, y)}); }
  void Drag(int x0, int y0, int x1, int y1, unsigned keys = 0) {
    Gesture({At(x0, y0), At((x0 + x1) / 2, (y0 + y1) / 2), At(x1, y1)}, keys);
  }
  std::array<LONG, 4> Box() const {
    const RECT r = m_view.Selection().GetRect();
    return {r.left, r.top, r.right, r.bottom};
  }
  // Selected pixels (level 255) counted over the canvas.
  int Selected() const {
    int n = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) n += m_view.Selection().GetPosLevel(x, y) == 255;
    return n;
  }
};

TEST_F(SelectionTools, RubberBandSelectsUnderThePointerAndClickRecordsNothing) {
  for (int tool : {TOOL_RECT_SELECTION, TOOL_ELLIPSE_SELECTION}) {
    ASSERT_TRUE(m_view.SetTool(tool));
    // A click without a drag: no selection, no action.
    Click(10, 10);
    EXPECT_FALSE(m_view.HasSelection());
    EXPECT_EQ(Actions(), 0u);
  }
  ASSERT_TRUE(m_view.SetTool(TOOL_RECT_SELECTION));
  Drag(10, 10, 40, 20);
  EXPECT_EQ(Box(), (std::array<LONG, 4>{10, 10, 40, 20}));
  EXPECT_EQ(Selected(), 300);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Rectangular Selection");
  EXPECT_FALSE(m_doc.IsModified());
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_FALSE(m_view.HasSelection());
  EXPECT_EQ(m_doc.GetRedoCommandState().text, "Redo Rectangular Selection");
}

TEST_F(SelectionTools, ShiftAddsCtrlSubtractsAndUndoRestoresEachStep) {
  ASSERT_TRUE(m_view.SetTool(TOOL_RECT_SELECTION));
  Drag(0, 0, 10, 10);
  Drag(20, 0, 30, 10, kKeyShift);
  EXPECT_EQ(Selected(), 200);
  // Started outside the selection (a press inside would move it).
  Drag(15, 15, 5, 5, kKeyCtrl);
  EXPECT_EQ(Selected(), 175);
  EXPECT_EQ(m_view.Selection().GetPosLevel(2, 2), 255);
  EXPECT_EQ(m_view.Selection().GetPosLevel(7, 7), 0);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Selected(), 200);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Selected(), 100);
  EXPECT_EQ(m_view.Selection().GetPosLevel(22, 2), 0);
  ASSERT_TRUE(m_doc.OnEditRedo());
  ASSERT_TRUE(m_doc.OnEditRedo());
  EXPECT_EQ(Selected(), 175);
  EXPECT_EQ(m_view.Selection().GetPosLevel(7, 7), 0);
}

TEST_F(SelectionTools, LassoClosesOnlyWithThreePointsAndUndoEmptiesIt) {
  ASSERT_TRUE(m_view.SetTool(TOOL_LASSO));
  // Two points and a double click: not closed, nothing recorded.
  Click(10, 10);
  Click(30, 10);
  EXPECT_TRUE(m_view.OnLButtonDblClk(1, At(30, 10)));
  m_view.OnLButtonUp(0, At(30, 10));
  EXPECT_FALSE(m_view.HasSelection());
  EXPECT_EQ(Actions(), 0u);
  // A third corner, then the double click closes the triangle.
  Click(30, 30);
  m_view.OnLButtonDblClk(1, At(30, 30));
  m_view.OnLButtonUp(0, At(30, 30));
  ASSERT_TRUE(m_view.HasSelection());
  EXPECT_EQ(m_view.Selection().GetPosLevel(25, 15), 255);
  EXPECT_EQ(m_view.Selection().GetPosLevel(12, 25), 0);
  EXPECT_FALSE(m_view.Selection().GetEdgePoints().empty());
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Lasso Selection");
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_FALSE(m_view.HasSelection());
  EXPECT_TRUE(m_view.Selection().GetEdgePoints().empty());
}

TEST_F(SelectionTools, MagicWandPicksConnectedColourAndOutsideClearsWithUndo) {
  ASSERT_TRUE(m_view.SetTool(TOOL_MAGIC_WAND));
  m_view.Tools().m_wand.m_nSimilarity = 0;
  Click(40, 20);
  EXPECT_EQ(Selected(), 32 * 48);
  EXPECT_EQ(m_view.Selection().GetPosLevel(31, 0), 0);
  // The black half without the grey pixel at tolerance 0; with a tolerance
  // above 100 % (clamped) everything.
  Click(0, 0);
  EXPECT_EQ(Selected(), 32 * 48 - 1);
  m_view.Tools().m_wand.m_nSimilarity = 255;
  ASSERT_TRUE(SelectNone(m_view).ok);  // a press inside would move it
  Click(0, 0);
  EXPECT_EQ(Selected(), 64 * 48);
  const std::size_t before = Actions();
  Click(70, 10);
  EXPECT_FALSE(m_view.HasSelection());
  EXPECT_EQ(Actions(), before + 1);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Selected(), 64 * 48);
}

TEST_F(SelectionTools, DragInsideMovesTheSelectionAndUndoMovesItBack) {
  ASSERT_TRUE(SelectRectangle(m_view, 10, 10, 8, 8, 0, SELECT_REPLACE).ok);
  for (int tool : {TOOL_RECT_SELECTION, TOOL_ELLIPSE_SELECTION, TOOL_LASSO, TOOL_MAGIC_WAND}) {
    ASSERT_TRUE(m_view.SetTool(tool));
    const std::size_t before = Actions();
    Drag(12, 12, 17, 9);
    EXPECT_EQ(Box(), (std::array<LONG, 4>{15, 7, 23, 15})) << tool;
    EXPECT_EQ(Actions(), before + 1) << tool;
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Move Selection");
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(Box(), (std::array<LONG, 4>{10, 10, 18, 18})) << tool;
    EXPECT_EQ(m_doc.GetRedoCommandState().text, "Redo Move Selection");
    m_doc.SetModifiedFlag(false);
  }
}

TEST_F(SelectionTools, BadSelectionsAreRefusedAndChangeNothing) {
  ASSERT_TRUE(SelectRectangle(m_view, 1, 1, 3, 3, 0, SELECT_REPLACE).ok);
  const std::size_t before = Actions();
  std::vector<POINT> many(1000000, POINT{5, 5});
  const ObjectResult results[] = {
      SelectRectangle(m_view, 100, 100, 10, 10, 0, SELECT_REPLACE),
      SelectRectangle(m_view, 5, 5, 0, 10, 0, SELECT_REPLACE),
      SelectRectangle(m_view, 5, 5, 10, 10, 101, SELECT_REPLACE),
      SelectLasso(m_view, many, SELECT_REPLACE),
      MoveSelection(m_view, 0x7FFFFFFF, 0),
  };
  for (const ObjectResult& r : results) {
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
  }
  EXPECT_EQ(Actions(), before);
  EXPECT_EQ(Selected(), 9);
}

}  // namespace
