// Brush, eraser and fill driven through the editing view as a window drives
// them: messages, what each gesture records, enlargement and trim, the
// fill's transparent start and opacity.
#include <gtest/gtest.h>

#include "tool_scene.h"

namespace {

constexpr BYTE kWhite[4] = {255, 255, 255, 255};

class PaintTools : public ToolScene {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 64, 48));
    // Object 0: a 30 x 20 opaque white picture at (10, 10).
    m_doc.m_objects.push_back(MakeRef<CDib>(PatternPicture(30, 20, [](int, int) {
      return std::array<BYTE, 4>{255, 255, 255, 255};
    })));
    AddFrames(m_doc, 2, [](int) { return 10; }, [](int, int, CRefImageObject& r) {
      r.m_bVisible = true;
      r.m_nX = 10;
      r.m_nY = 10;
    });
    m_doc.SelectSingleFrame(0);
    m_doc.EditManager().SetUndoMaxTimes(1000);
    Settings().Set("PaintLineColor", 0x0000FF);
    Settings().Set("PaintLineWidth", 3);
  }
  CPreferences& Settings() { return m_view.Tools().m_settings; }
  CDib& Object() { return *m_doc.m_objects[0]; }
  CRefImageObject& Ref(int frame = 0) { return *m_doc.m_frames[std::size_t(frame)]->m_refs.Edit(0); }
  // Pixel of the object under image point (x, y); null off its picture.
  const BYTE* At(int x, int y) {
    const BITMAPINFOHEADER* p = Object().GetImage();
    const int lx = x - Ref().m_nX, ly = y - Ref().m_nY;
    if (lx < 0 || ly < 0 || lx >= p->biWidth || ly >= DibHeight(p)) return nullptr;
    return DibRow(p, ly) + 4 * lx;
  }
  bool IsRed(int x, int y) {
    const BYTE* p = At(x, y);
    return p && p[0] == 0 && p[1] == 0 && p[2] == 255 && p[3] == 255;
  }
};

TEST_F(PaintTools, HiddenObjectsGiveTheNoObjectMessageAndNoChange) {
  struct Case {
    int tool;
    const char* message;
  } cases[] = {
      {TOOL_LINE, "There must be an object before drawing a line!"},
      {TOOL_ERASE, "An object must be visible before erasing!"},
      {TOOL_FLOOD, "There must be an object before filling!"},
  };
  Ref().m_bVisible = false;
  const std::string before = Snapshot(m_doc);
  for (const Case& c : cases) {
    m_prompt.m_strLast.clear();
    m_view.SetTool(c.tool);
    Gesture({{20, 20}, {25, 22}});
    EXPECT_EQ(m_prompt.m_strLast, c.message);
    EXPECT_EQ(Snapshot(m_doc), before);
    EXPECT_EQ(Actions(), 0u);
  }
}

TEST_F(PaintTools, ClickPaintsOneDotAndUndoRestores) {
  Settings().Set("AllowPaintTransparence", 0);
  m_view.SetTool(TOOL_LINE);
  const std::string before = Snapshot(m_doc);
  Gesture({{20, 20}});
  EXPECT_EQ(UndoText(), "Undo paint line");
  ASSERT_EQ(Actions(), 1u);
  EXPECT_TRUE(IsRed(20, 20));
  EXPECT_FALSE(IsRed(23, 20));
  EXPECT_FALSE(IsRed(20, 23));
  // The same object shows on the other frame, changed there too.
  EXPECT_EQ(Ref(1).m_pObject.get(), &Object());
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
}

TEST_F(PaintTools, StrokeLeavingThePictureEnlargesTrimsAndMovesAndUndoRestoresBoth) {
  m_view.SetTool(TOOL_LINE);
  const std::string before = Snapshot(m_doc);
  // From inside the picture to (50, 4), outside it on the canvas.
  Gesture({{20, 20}, {35, 12}, {50, 4}});
  const BITMAPINFOHEADER* p = Object().GetImage();
  // Trimmed to picture plus stroke: left 10, top 4 - 1, right past 50, bottom 30.
  EXPECT_EQ(std::vector<LONG>({Ref().m_nX, Ref().m_nY, Ref().m_nX + p->biWidth, Ref().m_nY + DibHeight(p)}),
            std::vector<LONG>({10, 3, 52, 30}));
  EXPECT_EQ(Ref(1).m_nY, 3);  // every frame keeps the pixels in place
  EXPECT_TRUE(IsRed(50, 4));
  EXPECT_TRUE(IsRed(35, 12));
  const BYTE* corner = At(10, 10);
  ASSERT_NE(corner, nullptr);
  EXPECT_EQ(std::memcmp(corner, kWhite, 4), 0);
  EXPECT_EQ(UndoText(), "Undo paint line");
  const std::string after = Snapshot(m_doc);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
  ASSERT_TRUE(m_doc.OnEditRedo());
  EXPECT_EQ(Snapshot(m_doc), after);
}

TEST_F(PaintTools, EraserClearsAlongTheStrokeInsideTheSelectionOnly) {
  Settings().Set("EraseLineWidth", 3);
  ASSERT_TRUE(SelectRectangle(m_view, 10, 10, 15, 20, 0, SELECT_REPLACE).ok);
  m_view.SetTool(TOOL_ERASE);
  const std::string before = Snapshot(m_doc);
  Gesture({{12, 20}, {24, 20}, {36, 20}});
  EXPECT_EQ(UndoText(), "Undo erase");
  EXPECT_EQ(At(14, 20)[3], 0);
  EXPECT_EQ(At(20, 20)[3], 0);
  EXPECT_EQ(std::memcmp(At(30, 20), kWhite, 4), 0);  // outside the selection
  EXPECT_EQ(std::memcmp(At(20, 25), kWhite, 4), 0);  // off the stroke
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
}

TEST_F(PaintTools, FillOpacityTransparentStartAndMessages) {
  struct Case {
    const char* name;
    int opacity, transparence;
    POINT at;
    bool recorded;
    const char* message;
  } cases[] = {
      {"opaque fill", 0, 1, {20, 20}, true, ""},
      {"255 paints nothing", 255, 1, {20, 20}, false, ""},
      {"transparent start refused", 0, 0, {5, 5}, false,
       "To fill transparent areas, check the \"Allow painting in transparent areas\" option."},
      {"off the canvas", 0, 1, {70, 5}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_prompt.m_strLast.clear();
    Settings().Set("FloodOpacity", c.opacity);
    Settings().Set("FloodTransparence", c.transparence);
    Settings().Set("FloodSolidColor", 0x00FF00);
    m_view.SetTool(TOOL_FLOOD);
    const std::string before = Snapshot(m_doc);
    Gesture({c.at});
    EXPECT_EQ(m_prompt.m_strLast, c.message);
    EXPECT_EQ(Actions() == 1, c.recorded);
    if (c.recorded) {
      EXPECT_EQ(UndoText(), "Undo flood");
      const BYTE* p = At(c.at.x, c.at.y);
      ASSERT_NE(p, nullptr);
      EXPECT_TRUE(p[0] == 0 && p[1] == 255 && p[2] == 0 && p[3] == 255);
      ASSERT_TRUE(m_doc.OnEditUndo());
      m_doc.EditManager().RemoveAll();
    }
    EXPECT_EQ(Snapshot(m_doc), before);
  }
}

TEST_F(PaintTools, FillOnTransparentPixelKeepsThePartOutsideTheCanvas) {
  // The object hangs 6 pixels off the left edge; a fill of the transparent
  // canvas must keep those columns.
  Ref().m_nX = -6;
  Ref(1).m_nX = -6;
  Settings().Set("FloodSolidColor", 0x00FF00);
  m_view.SetTool(TOOL_FLOOD);
  const std::string before = Snapshot(m_doc);
  Gesture({{50, 40}});
  ASSERT_EQ(UndoText(), "Undo flood");
  EXPECT_EQ(Ref().m_nX, -6);
  EXPECT_EQ(Ref().m_nY, 0);
  EXPECT_EQ(Object().GetImage()->biWidth, 70);
  EXPECT_EQ(std::memcmp(At(-6, 15), kWhite, 4), 0);
  const BYTE* filled = At(60, 45);
  ASSERT_NE(filled, nullptr);
  EXPECT_EQ(filled[1], 255);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
}

}  // namespace
