// Select, drag, arrow keys, transform and shape tools through the editing
// view.
#include <gtest/gtest.h>

#include "app/dib_factories.h"
#include "companions/shapes/text_object.h"
#include "editing/object_property_actions.h"
#include "tool_scene.h"

namespace {

class ObjectTools : public ToolScene {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 80, 60));
    // Two opaque 10 x 10 objects: A at (5, 5), B at (30, 5); two frames.
    for (int i = 0; i < 2; ++i)
      m_doc.m_objects.push_back(MakeRef<CDib>(PatternPicture(10, 10, [i](int, int) {
        return std::array<BYTE, 4>{BYTE(i * 100), 50, 50, 255};
      })));
    AddFrames(m_doc, 2, [](int) { return 10; }, [](int, int j, CRefImageObject& r) {
      r.m_bVisible = true;
      r.m_nX = j == 0 ? 5 : 30;
      r.m_nY = 5;
    });
    m_doc.SelectSingleFrame(0);
    m_doc.EditManager().SetUndoMaxTimes(1000);
    m_view.SetTool(TOOL_SELECT);
  }
  CRefImageObject& Ref(int frame, int object) { return *m_doc.m_frames[std::size_t(frame)]->m_refs.Edit(std::size_t(object)); }
  bool Selected(int object) {
    for (const auto& o : m_doc.m_selectedObjects)
      if (o == m_doc.m_objects[std::size_t(object)]) return true;
    return false;
  }
  void Click(POINT p, unsigned keys = 0) { Gesture({p}, keys); }
  void Drag(POINT a, POINT b) { Gesture({a, POINT{(a.x + b.x) / 2, (a.y + b.y) / 2}, b}); }
};

TEST_F(ObjectTools, ClicksSelectToggleAddAndClear) {
  struct Step {
    POINT at;
    unsigned keys;
    bool a, b;  // selected after the click
  } steps[] = {
      {{8, 8}, 0, true, false},          // plain click selects A only
      {{33, 8}, kKeyShift, true, true},  // Shift adds B
      {{8, 8}, kKeyCtrl, false, true},   // Ctrl removes A
      {{8, 8}, kKeyCtrl, true, true},    // and adds it back
      {{33, 8}, 0, true, true},          // plain click on a selected one keeps both
      {{60, 50}, 0, false, false},       // empty canvas clears
  };
  for (const Step& s : steps) {
    Click(s.at, s.keys);
    EXPECT_EQ(Selected(0), s.a) << s.at.x << " keys " << s.keys;
    EXPECT_EQ(Selected(1), s.b) << s.at.x << " keys " << s.keys;
  }
  EXPECT_EQ(Actions(), 0u);
}

TEST_F(ObjectTools, DragTwoObjectsMovesCurrentFrameOnlyAsOneStep) {
  Click({8, 8});
  Click({33, 8}, kKeyShift);
  const std::string before = Snapshot(m_doc);
  // Press and release without moving records nothing.
  Drag({8, 8}, {8, 8});
  EXPECT_EQ(Actions(), 0u);
  Drag({8, 8}, {13, 5});
  EXPECT_EQ(Actions(), 1u);
  EXPECT_EQ(UndoText(), "Undo Move Objects");
  EXPECT_EQ(std::vector<int>({Ref(0, 0).m_nX, Ref(0, 0).m_nY, Ref(0, 1).m_nX, Ref(0, 1).m_nY}),
            std::vector<int>({10, 2, 35, 2}));
  EXPECT_EQ(Ref(1, 0).m_nX, 5);  // the other frame places them itself
  EXPECT_EQ(Ref(1, 1).m_nX, 30);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
}

TEST_F(ObjectTools, ArrowKeysMoveByTheOffsetsAndUndo) {
  m_view.Tools().m_settings.Set("HorizontalOffset", 5);
  m_view.Tools().m_settings.Set("VerticalOffset", 3);
  Click({8, 8});
  Click({33, 8}, kKeyShift);
  Ref(0, 1).m_bVisible = false;  // hidden references stay put
  struct Case {
    int key, dx, dy;
  } cases[] = {{CEditPictureView::KEY_RIGHT, 5, 0},
               {CEditPictureView::KEY_LEFT, -5, 0},
               {CEditPictureView::KEY_UP, 0, -3},
               {CEditPictureView::KEY_DOWN, 0, 3}};
  for (const Case& c : cases) {
    const std::string before = Snapshot(m_doc);
    EXPECT_TRUE(m_view.OnKeyDown(c.key));
    EXPECT_EQ(Ref(0, 0).m_nX, 5 + c.dx);
    EXPECT_EQ(Ref(0, 0).m_nY, 5 + c.dy);
    EXPECT_EQ(Ref(0, 1).m_nX, 30);
    EXPECT_EQ(UndoText(), "Undo Move Objects");
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(Snapshot(m_doc), before);
  }
  EXPECT_FALSE(m_view.OnKeyDown(99));
}

TEST_F(ObjectTools, ShapeToolAddsShapeFillingTheBox) {
  m_view.SetTool(TOOL_SHAPE);
  m_view.Tools().m_shape.m_nShapeKind = ShapeKindOfName("rectangle");
  m_view.Tools().m_settings.Set("PaintShapeWidth", 0);
  m_view.Tools().m_settings.Set("PaintBackgndColor", 0x00FF00);
  ASSERT_TRUE(m_view.SetScroll(10, 4));  // the box is where the pointer is
  Drag({40 - 10, 30 - 4}, {60 - 10, 50 - 4});
  ASSERT_EQ(m_doc.m_objects.size(), 3u);
  EXPECT_EQ(UndoText(), "Undo Paint Shape");
  const CRefImageObject& r = Ref(0, 2);
  EXPECT_TRUE(r.m_bVisible);
  EXPECT_FALSE(Ref(1, 2).m_bVisible);
  const BITMAPINFOHEADER* p = m_doc.m_objects[2]->GetImage();
  // The filled box covers canvas (40..60, 30..50).
  const int lx = 50 - r.m_nX, ly = 40 - r.m_nY;
  ASSERT_TRUE(lx >= 0 && ly >= 0 && lx < p->biWidth && ly < DibHeight(p));
  EXPECT_EQ(DibRow(p, ly)[4 * lx + 1], 255);
  EXPECT_NEAR(r.m_nX, 40, 1);
  EXPECT_NEAR(r.m_nY, 30, 1);
  EXPECT_NEAR(p->biWidth, 20, 2);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(m_doc.m_objects.size(), 2u);
  // A click without a box adds nothing.
  Click({20, 20});
  EXPECT_EQ(m_doc.m_objects.size(), 2u);
}

TEST_F(ObjectTools, TransformHandleResizesAndUndoRestores) {
  // A picture object (the transform tool changes generator objects).
  auto factory = MakeRef<CBitmapDibFactory>(PatternPicture(20, 10, [](int, int) {
    return std::array<BYTE, 4>{10, 20, 30, 255};
  }), 1.0, 1.0, 0.0);
  RefPtr<CDib> picture = CreateGeneratorObject(factory, OBJECT_PICTURE);
  ASSERT_TRUE(picture);
  ASSERT_TRUE(AddObjectOnTop(m_doc, picture, 20, 30, 0).ok);
  m_doc.EditManager().RemoveAll();
  m_doc.m_selectedObjects = {picture};
  m_view.Tools().m_settings.Set("PreserveRatio", 1);
  m_view.SetTool(TOOL_TRANSFORM);
  const std::string before = Snapshot(m_doc);
  struct Case {
    int handle;
    POINT to;  // where the handle is dropped
    double sx, sy;
  } cases[] = {
      {3, {60, 35}, 2.0, 1.0},  // right edge from x 40 to 60
      {5, {30, 45}, 1.0, 1.5},  // bottom edge from y 40 to 45
      {4, {50, 45}, 1.5, 1.5},  // corner, ratio kept by the larger change
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.handle);
    double hx, hy;
    ASSERT_TRUE(m_view.Tools().m_transform.HandlePoint(m_view, c.handle, hx, hy));
    Drag(POINT{LONG(hx), LONG(hy)}, c.to);
    EXPECT_EQ(UndoText(), "Undo Transform object");
    EXPECT_DOUBLE_EQ(factory->ScaleX(), c.sx);
    EXPECT_DOUBLE_EQ(factory->ScaleY(), c.sy);
    // The side opposite the handle stays put.
    EXPECT_EQ(Ref(0, 2).m_nX, 20);
    EXPECT_EQ(Ref(0, 2).m_nY, 30);
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(Snapshot(m_doc), before);
    EXPECT_DOUBLE_EQ(factory->ScaleX(), 1.0);
  }
  // The rotate handle turns it about its centre.
  double rx, ry;
  ASSERT_TRUE(m_view.Tools().m_transform.HandlePoint(m_view, CTransformTool::kRotateHandle, rx, ry));
  Drag(POINT{LONG(rx), LONG(ry)}, POINT{30 + 40, 35});
  EXPECT_NEAR(factory->GetAngle(), 90.0, 15.0);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
}

}  // namespace
