// A seeded random sequence of gestures with every painting and object tool,
// with and without a pixel selection, at changing scroll positions; then
// everything undone (the document and selection exactly as at the start)
// and everything redone (exactly as at the end).
#include <gtest/gtest.h>

#include <random>

#include "app/dib_factories.h"
#include "companions/shapes/shape_object.h"
#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"
#include "tools/edit_view.h"
#include "tools/selection_actions.h"

namespace {

std::string State(const CLoopwrightDoc& doc, const CEditPictureView& view) {
  std::ostringstream s;
  s << Snapshot(doc);
  const auto& sel = view.Selection();
  s << "selection " << sel.IsSelectionEmpty();
  if (!sel.IsSelectionEmpty()) {
    const RECT r = sel.GetRect();
    s << " " << r.left << "," << r.top << "," << r.right << "," << r.bottom << " levels";
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) s << char('a' + sel.GetPosLevel(x, y) % 26);
  }
  return s.str();
}

TEST(ToolRoundTrip, SeededGesturesUndoAndRedoExactly) {
  CLoopwrightApp app;
  CScriptedPrompt prompt{true};
  CLoopwrightDoc doc{app, prompt};
  CEditPictureView view{doc};
  ASSERT_TRUE(ResetDocument(doc, 80, 60));
  // A raster object, a picture object and a shape object, on three frames.
  doc.m_objects.push_back(MakeRef<CDib>(PatternPicture(40, 30, [](int x, int y) {
    return std::array<BYTE, 4>{BYTE(x * 6), BYTE(y * 8), BYTE((x / 8 + y / 8) % 2 * 200), BYTE(x < 35 ? 255 : 0)};
  })));
  doc.m_objects.push_back(CreateGeneratorObject(
      MakeRef<CBitmapDibFactory>(PatternPicture(16, 12, [](int x, int) {
                                   return std::array<BYTE, 4>{BYTE(x * 15), 90, 40, 255};
                                 }),
                                 1.0, 1.0, 0.0),
      OBJECT_PICTURE));
  doc.m_objects.push_back(CreateGeneratorObject(
      MakeRef<CShapeDibFactory>(TevCustomPathLibV::CTevShapeObj(TevCustomPathLibV::kShapeEllipse, 20, 14)),
      OBJECT_SHAPE));
  for (const auto& o : doc.m_objects) ASSERT_TRUE(o && o->GetImage());
  AddFrames(doc, 3, [](int) { return 10; }, [](int f, int j, CRefImageObject& r) {
    r.m_bVisible = !(f == 1 && j == 2);
    r.m_nX = 5 + 25 * j;
    r.m_nY = 8 + 6 * j + f;
  });
  doc.SelectSingleFrame(0);
  doc.EditManager().SetUndoMaxTimes(100000);
  CPreferences& s = view.Tools().m_settings;

  std::mt19937 rng(20261207);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto point = [&] {
    const POINT scroll = view.GetScroll();
    return POINT{pick(-8, 88) - scroll.x, pick(-8, 68) - scroll.y};
  };
  const std::string initial = State(doc, view);
  for (int g = 0; g < 200; ++g) {
    SCOPED_TRACE(g);
    ASSERT_TRUE(view.SetScroll(pick(0, 6), pick(0, 6)));
    switch (pick(0, 11)) {
      case 0:  // a pixel selection, or none
        if (pick(0, 2) == 0)
          SelectNone(view);
        else
          SelectRectangle(view, pick(0, 50), pick(0, 40), pick(5, 40), pick(5, 30), 0, SELECT_REPLACE);
        continue;
      case 1: view.SetTool(TOOL_LINE); break;
      case 2: view.SetTool(TOOL_ERASE); break;
      case 3: view.SetTool(TOOL_FLOOD); break;
      case 4: view.SetTool(TOOL_PICK_COLOR); break;
      case 5: view.SetTool(TOOL_SELECT); break;
      case 6: view.SetTool(TOOL_TRANSFORM); break;
      case 7: view.SetTool(TOOL_SHAPE); view.Tools().m_shape.m_nShapeKind = pick(0, 8); break;
      case 8: view.SetTool(TOOL_TEXT); break;
      case 9: view.SetTool(TOOL_SYMBOL); break;
      case 10: view.OnKeyDown(pick(0, 3)); continue;
      default: view.SetTool(TOOL_RECT_SELECTION); break;
    }
    s.Set("PaintBeeline", pick(0, 3) == 0);
    s.Set("EraseBeeline", pick(0, 3) == 0);
    s.Set("PaintLineWidth", pick(1, 12));
    s.Set("EraseLineWidth", pick(1, 12));
    s.Set("PaintRoundCap", pick(0, 1));
    s.Set("LineOpacity", pick(0, 2) * 100);
    s.Set("AllowPaintTransparence", pick(0, 1));
    s.Set("FloodAdjacentArea", pick(0, 1));
    s.Set("FloodSimilarity", pick(0, 100));
    s.Set("FloodOpacity", pick(0, 1) * 120);
    s.Set("PaintLineColor", pick(0, 0xFFFFFF));
    s.Set("FloodSolidColor", pick(0, 0xFFFFFF));
    const unsigned keys = pick(0, 3) == 0 ? kKeyShift : (pick(0, 3) == 0 ? kKeyCtrl : 0);
    POINT p = point();
    if (view.GetToolNumber() == TOOL_TRANSFORM && pick(0, 1)) {
      double hx, hy;
      if (view.Tools().m_transform.HandlePoint(view, pick(0, 8), hx, hy)) {
        p = POINT{LONG(hx), LONG(hy)};
        if (view.Tools().m_transform.GrabbedHandle() < 0 && pick(0, 1) == 0) p = view.ClientToImage(p);
      }
    }
    if (pick(0, 4) == 0) {
      view.OnRButtonDown(2 | keys, p);
      continue;
    }
    view.OnLButtonDown(1 | keys, p);
    for (int m = pick(0, 4); m > 0; --m) view.OnMouseMove(1 | keys, point());
    view.OnLButtonUp(keys, point());
    if (view.GetToolNumber() == TOOL_TEXT && view.Tools().m_text.IsEntryOpen())
      view.Tools().m_text.Confirm(doc, pick(0, 1) ? "ab" : "xyz");
  }
  const std::string final = State(doc, view);
  const std::size_t steps = doc.EditManager().UndoList().size();
  EXPECT_GT(steps, 60u);
  while (doc.OnEditUndo()) {
  }
  EXPECT_EQ(State(doc, view), initial);
  std::size_t redone = 0;
  while (doc.OnEditRedo()) ++redone;
  EXPECT_EQ(redone, steps);
  EXPECT_EQ(State(doc, view), final);
}

}  // namespace
