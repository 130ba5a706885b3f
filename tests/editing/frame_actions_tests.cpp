// Frame-level actions: each command changes the document, undo brings back
// exactly the state before (model, frame identities, composed pixels,
// selection) and redo exactly the state after, with the menu texts.
#include <gtest/gtest.h>

#include <functional>

#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"
#include "editing/frame_actions.h"
#include "editing/frame_commands.h"

namespace {

// Scales a solid picture by its parameters.
class CSolidFactory : public CDibFactory {
 public:
  BITMAPINFOHEADER* Build() override {
    return CDIB32::CreateSimple32BitsDIB(int(m_w * m_sx + 0.5), int(m_h * m_sy + 0.5), 0x3366CC, 255);
  }
  void GetNaturalSize(double& w, double& h) const override { w = m_w * m_sx; h = m_h * m_sy; }
  BITMAPINFOHEADER* Transform(double sx, double sy, double) override {
    m_sx *= sx;
    m_sy *= sy;
    return Build();
  }
  long Save(std::FILE*, const char*, const char*) override { return 0; }
  bool Load(std::FILE*, int, const char*, const char*) override { return false; }
  double GetAngle() const override { return 0; }
  double m_w = 6, m_h = 4, m_sx = 1, m_sy = 1;
};

class FrameActions : public ::testing::Test {
 protected:
  // Six frames with delays 1..6 over two objects: a gradient picture and a
  // generator object; frame i shows the picture at (i, 2i).
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 24, 16));
    auto raster = MakeRef<CDib>(PatternPicture(8, 6, [](int x, int y) {
      return std::array<BYTE, 4>{BYTE(30 * x), BYTE(40 * y), 200, BYTE(255 - 10 * x)};
    }));
    raster->m_strName = "raster";
    auto factory = MakeRef<CSolidFactory>();
    auto generated = MakeRef<CDib>(DibPtr(factory->Build()), OBJECT_SHAPE);
    generated->m_pFactory = factory;
    generated->m_strName = "shape";
    m_doc.m_objects = {raster, generated};
    AddFrames(m_doc, 6, [](int i) { return i + 1; }, [](int i, int j, CRefImageObject& r) {
      r.m_nX = j == 0 ? i : 10;
      r.m_nY = j == 0 ? 2 * i : 3;
      r.m_bVisible = j == 0 || i % 2 == 0;
    });
    m_doc.SelectSingleFrame(0);
  }

  // Runs the command, then checks undo and redo restore the states exactly.
  void CheckUndoRedo(const std::function<bool()>& command, const std::string& undoText, const std::string& redoText) {
    const std::string before = Snapshot(m_doc);
    ASSERT_TRUE(command());
    ASSERT_TRUE(m_doc.CheckInvariant());
    const std::string after = Snapshot(m_doc);
    ASSERT_NE(before, after);
    EXPECT_EQ(m_doc.GetUndoCommandState().text, undoText);
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(Snapshot(m_doc), before);
    EXPECT_EQ(m_doc.GetRedoCommandState().text, redoText);
    ASSERT_TRUE(m_doc.OnEditRedo());
    EXPECT_EQ(Snapshot(m_doc), after);
    EXPECT_EQ(m_doc.GetUndoCommandState().text, undoText);
  }

  void Select(std::vector<int> frames) {
    m_doc.m_selectedFrames = frames;
    m_doc.m_nCurrentFrame = frames.front();
  }

  CLoopwrightApp m_app;
  CScriptedPrompt m_prompt{true};
  CLoopwrightDoc m_doc{m_app, m_prompt};
};

}  // namespace

TEST_F(FrameActions, EveryActionUndoesAndRedoesExactly) {
  Select({2, 4});
  CheckUndoRedo([&] { return AddBlankFrame(m_doc); }, "Undo Add Frame", "Redo Add Frame");
  CheckUndoRedo([&] { return DeleteSelectedFrames(m_doc); }, "Undo Delete Frame", "Redo Delete Frame");
  Select({1, 3});
  CheckUndoRedo([&] { return DuplicateSelectedFrames(m_doc); }, "Undo Duplicate Frame", "Redo Duplicate Frame");
  CheckUndoRedo([&] { return ReverseFrames(m_doc, false); }, "Undo Reverse Order", "Redo Reverse Order");
  Select({0, 2, 5});
  CheckUndoRedo([&] { return ReverseFrames(m_doc, true); }, "Undo Reverse Order", "Redo Reverse Order");
  Select({3, 4});
  CheckUndoRedo([&] { return MoveSelectedFrames(m_doc, 0); }, "Undo Move To First Frame", "Redo Move To First Frame");
  Select({1});
  CheckUndoRedo([&] { return MoveSelectedFrames(m_doc, 1); }, "Undo Move To Last Frame", "Redo Move To Last Frame");
  Select({2, 5});
  CheckUndoRedo([&] { return MoveSelectedFrames(m_doc, 2); }, "Undo Move To Previous Frame",
                "Redo Move To Previous Frame");
  CheckUndoRedo([&] { return MoveSelectedFrames(m_doc, 3); }, "Undo Move To Next Frame", "Redo Move To Next Frame");
  CheckUndoRedo([&] { return MakeSameDelay(m_doc, 4, true); }, "&Undo Make Same Delay", "&Redo Make Same Delay");
  CheckUndoRedo([&] { return ModifyFrameProperties(m_doc, 77, true); }, "撤消 修改帧属性", "重做 修改帧属性");
  CheckUndoRedo([&] { return SetLoopTimes(m_doc, 0, 9); }, "撤消 更改循环次数", "重做 更改循环次数");
  CheckUndoRedo([&] { return ResizeCanvas(m_doc, 30, 10, 3, -2); }, "Undo Resize canvas", "重做调整画布");
  CheckUndoRedo([&] { return ResizeAnimation(m_doc, 48, 8); }, "撤消调整动画", "重做调整动画");
}

TEST_F(FrameActions, DeleteThenUndoBringsBackTheSameFrameObjects) {
  CGifFrame* third = m_doc.m_frames[2].get();
  Select({2, 3});
  ASSERT_TRUE(DeleteSelectedFrames(m_doc));
  EXPECT_EQ(m_prompt.m_strLastQuestion, "你确定要删除所有选定的帧吗?");
  EXPECT_EQ(m_doc.GetFrameCount(), 4);
  EXPECT_EQ(third->GetRefCount(), 1);  // only the action keeps it
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(m_doc.m_frames[2].get(), third);
  EXPECT_EQ(m_doc.m_selectedFrames, (std::vector<int>{2, 3}));

  m_prompt.m_bAnswer = false;
  EXPECT_FALSE(DeleteSelectedFrames(m_doc));
  EXPECT_EQ(m_doc.GetFrameCount(), 6);
}

TEST_F(FrameActions, BlankFrameCopiesPlacementHiddenAndDuplicatesAreCopies) {
  Select({3});
  ASSERT_TRUE(AddBlankFrame(m_doc));
  const CGifFrame& blank = *m_doc.m_frames[4];
  EXPECT_EQ(blank.m_refs[0]->m_nX, 3);
  EXPECT_EQ(blank.m_refs[0]->m_nY, 6);
  EXPECT_FALSE(blank.m_refs[0]->m_bVisible);
  EXPECT_FALSE(blank.m_refs[1]->m_bVisible);
  EXPECT_EQ(m_doc.m_selectedFrames, (std::vector<int>{3, 4}));

  Select({0, 2});
  CGifFrame* first = m_doc.m_frames[0].get();
  ASSERT_TRUE(DuplicateSelectedFrames(m_doc));
  ASSERT_EQ(m_doc.GetFrameCount(), 9);
  EXPECT_EQ(m_doc.m_frames[0].get(), first);
  EXPECT_NE(m_doc.m_frames[1].get(), first);
  EXPECT_EQ(m_doc.m_frames[1]->m_nDelay, 1);
  // The copy's references are its own: changing one leaves the original's.
  const int x = first->m_refs[0]->m_nX;
  m_doc.m_frames[1]->m_refs.Edit(0)->m_nX = x + 7;
  EXPECT_EQ(first->m_refs[0]->m_nX, x);
  EXPECT_EQ(m_doc.m_selectedFrames, (std::vector<int>{1, 4}));
}

TEST_F(FrameActions, FramesDibActionsRestoreFramesObjectsAndKeyFrameDelay) {
  const std::string before = Snapshot(m_doc);
  RefPtr<CGifFrame> key = m_doc.m_frames[1];
  m_doc.EditManager().AddAction(new CBuldingFramesDIBAction(m_doc, 1, key, key->m_nDelay));
  key->m_nDelay = 99;
  auto object = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(3, 3, 0xFF, 255)));
  m_doc.InsertObject(2, object);
  m_doc.InsertFrame(2, m_doc.CreateBlankFrame(key.get()));
  const std::string after = Snapshot(m_doc);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Fade");
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(m_doc.GetRedoCommandState().text, "Redo Fade");
  // The kept frames get their reference lists back with the frame array and
  // the object list, so the one-reference-per-object invariant holds again.
  EXPECT_EQ(m_doc.GetFrameCount(), 6);
  EXPECT_EQ(m_doc.GetObjectCount(), 2);
  EXPECT_EQ(key->m_nDelay, 2);
  EXPECT_TRUE(m_doc.CheckInvariant());
  EXPECT_EQ(Snapshot(m_doc), before);
  ASSERT_TRUE(m_doc.OnEditRedo());
  EXPECT_EQ(Snapshot(m_doc), after);
  EXPECT_TRUE(m_doc.CheckInvariant());
}
