// Transition generation on a document: where the frames and objects go in
// frame and object mode, the key frame's delay, one undoable action that
// brings everything back, message 145, and every effect on a small
// animation.
#include <gtest/gtest.h>

#include "companions/base/progress.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"
#include "editing/frame_actions.h"
#include "generators/effect_performer_classes.h"
#include "generators/transition_generator.h"

namespace {

class TransitionGenerator : public ::testing::Test {
 protected:
  // 24 x 16 canvas, four frames (delays 1..4) over two objects: an opaque
  // 10 x 8 picture shown at (3, 2) and a 4 x 4 one shown only on frame 2.
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 24, 16));
    m_doc.m_objects = {MakeRef<CDib>(PatternPicture(10, 8, [](int x, int y) {
                         return std::array<BYTE, 4>{BYTE(20 * x), BYTE(30 * y), 180, 255};
                       })),
                       MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(4, 4, 0x00FF00, 255)))};
    m_doc.m_objects[0]->m_strName = "picture";
    m_doc.m_objects[1]->m_strName = "square";
    AddFrames(m_doc, 4, [](int i) { return i + 1; }, [](int i, int j, CRefImageObject& r) {
      r.m_nX = j == 0 ? 3 : 15;
      r.m_nY = 2;
      r.m_bVisible = j == 0 || i == 2;
    });
    m_doc.SelectSingleFrame(1);
    m_list = CreateEffectPerformers();
    m_settings.frameCount = 3;
    m_settings.frameDelay = 7;
    m_settings.keyFrameDelay = 40;
  }

  std::vector<int> Delays() const {
    std::vector<int> out;
    for (const auto& f : m_doc.m_frames) out.push_back(f->m_nDelay);
    return out;
  }
  // Indexes of the visible references of frame i.
  std::vector<int> Visible(int i) const {
    std::vector<int> out;
    const auto& refs = m_doc.m_frames[i]->m_refs;
    for (int j = 0; j < int(refs.size()); ++j)
      if (refs[j]->m_bVisible) out.push_back(j);
    return out;
  }
  // Generates, then checks that undo restores the state exactly (the key
  // frame's delay included) and redo the generated one.
  TransitionStatus GenerateAndCheckUndo(int effect) {
    const std::string before = Snapshot(m_doc);
    const TransitionStatus status = GenerateTransition(m_doc, *m_list[effect], effect, m_settings);
    if (status != TransitionStatus::Done) {
      EXPECT_EQ(Snapshot(m_doc), before);
      return status;
    }
    EXPECT_TRUE(m_doc.CheckInvariant());
    const std::string after = Snapshot(m_doc);
    EXPECT_NE(before, after);
    EXPECT_TRUE(m_doc.IsModified());
    EXPECT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(Snapshot(m_doc), before);
    EXPECT_TRUE(m_doc.CheckInvariant());
    EXPECT_TRUE(m_doc.OnEditRedo());
    EXPECT_EQ(Snapshot(m_doc), after);
    return status;
  }

  CLoopwrightApp m_app;
  CScriptedPrompt m_prompt{true};
  CLoopwrightDoc m_doc{m_app, m_prompt};
  std::vector<std::unique_ptr<CEffectPerform>> m_list;
  CTransitionSettings m_settings;
};

TEST_F(TransitionGenerator, FrameModeAppearInsertsFadedPicturesBeforeTheKeyFrame) {
  CGifFrame* key = m_doc.GetFrame(1);
  m_list[0]->SetFlag(EFFECT_FADE, true);
  ASSERT_EQ(GenerateAndCheckUndo(0), TransitionStatus::Done);
  EXPECT_EQ(m_doc.GetFrameCount(), 7);
  EXPECT_EQ(m_doc.GetFrame(4), key);
  EXPECT_EQ(Delays(), (std::vector<int>{1, 7, 7, 7, 40, 3, 4}));
  EXPECT_EQ(m_doc.m_nCurrentFrame, 4);
  // One new object (the composed frame, shared by the static effect), shown
  // alone on each new frame with the falling transparency.
  ASSERT_EQ(m_doc.GetObjectCount(), 3);
  EXPECT_EQ(m_doc.m_objects[2]->m_nWidth, 24);
  const int fades[3] = {192, 128, 64};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Visible(1 + i), std::vector<int>{2});
    EXPECT_EQ(m_doc.m_frames[1 + i]->m_refs[2]->m_nTransparency, fades[i]);
  }
  for (int f : {0, 4, 5, 6}) EXPECT_FALSE(m_doc.m_frames[f]->m_refs[2]->m_bVisible);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Fade");
}

TEST_F(TransitionGenerator, DisappearLeavesAnEmptyLastFrameAfterTheKeyFrame) {
  m_list[21]->SetFlag(EFFECT_APPEAR, false);  // iris wipe
  ASSERT_EQ(GenerateAndCheckUndo(21), TransitionStatus::Done);
  EXPECT_EQ(Delays(), (std::vector<int>{1, 40, 7, 7, 7, 3, 4}));
  ASSERT_EQ(m_doc.GetObjectCount(), 4);  // two pictures, none for the last frame
  EXPECT_EQ(Visible(2), std::vector<int>{2});
  EXPECT_EQ(Visible(3), std::vector<int>{3});
  EXPECT_TRUE(Visible(4).empty());
}

TEST_F(TransitionGenerator, ObjectModeInsertsFramesWithTheObjectHiddenAndShadowedPictures) {
  CDib& picture = *m_doc.m_objects[0];
  picture.m_nShadowKind = 2;
  picture.m_nShadowDistY = 4;
  picture.BuildShadow();
  m_doc.m_selectedObjects = {m_doc.m_objects[0]};
  m_doc.SelectSingleFrame(2);
  CEffectPerform& blinds = *m_list[26];
  blinds.SetFlag(EFFECT_OBJECT_MODE, true);
  ASSERT_EQ(GenerateAndCheckUndo(26), TransitionStatus::Done);
  ASSERT_EQ(m_doc.GetObjectCount(), 5);
  // The pictures sit right above their source, in order.
  EXPECT_EQ(m_doc.m_objects[0].get(), &picture);
  EXPECT_EQ(m_doc.m_objects[4]->m_strName, "square");
  for (int i = 0; i < 3; ++i) {
    const CDib& made = *m_doc.m_objects[1 + i];
    EXPECT_TRUE(made.HasShadow());
    EXPECT_EQ(made.m_nShadowKind, 2);
    EXPECT_EQ(made.m_nShadowDistY, 4);
    // New frame 2 + i: the key frame without the source, plus picture i.
    EXPECT_EQ(Visible(2 + i), (std::vector<int>{1 + i, 4}));
    EXPECT_EQ(m_doc.m_frames[2 + i]->m_refs[1 + i]->m_nX, 3);
  }
  EXPECT_EQ(Visible(5), (std::vector<int>{0, 4}));  // the key frame
}

TEST_F(TransitionGenerator, ObjectModeWithoutNewFramesUsesTheFramesAroundTheKeyFrame) {
  m_doc.m_selectedObjects = {m_doc.m_objects[0]};
  m_doc.SelectSingleFrame(3);
  CEffectPerform& star = *m_list[20];
  star.SetFlag(EFFECT_OBJECT_MODE, true);
  star.SetFlag(EFFECT_INSERT_FRAMES, false);
  ASSERT_EQ(GenerateAndCheckUndo(20), TransitionStatus::Done);
  EXPECT_EQ(m_doc.GetFrameCount(), 4);  // frames 0..2 receive the pictures
  EXPECT_EQ(Delays(), (std::vector<int>{1, 2, 3, 40}));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(m_doc.m_frames[i]->m_refs[1 + i]->m_bVisible);
  ASSERT_TRUE(m_doc.OnEditUndo());

  // Two frames before the key frame, three pictures: one copy of the first
  // frame is inserted at the start.
  m_doc.SelectSingleFrame(2);
  ASSERT_EQ(GenerateAndCheckUndo(20), TransitionStatus::Done);
  EXPECT_EQ(Delays(), (std::vector<int>{7, 1, 2, 40, 4}));
  ASSERT_TRUE(m_doc.OnEditUndo());
}

TEST_F(TransitionGenerator, AFrameWithoutVisibleObjectsGivesMessage145AndChangesNothing) {
  for (std::size_t j = 0; j < m_doc.m_frames[1]->m_refs.size(); ++j) m_doc.m_frames[1]->m_refs.Edit(j)->m_bVisible = false;
  const std::string before = Snapshot(m_doc);
  EXPECT_EQ(GenerateTransition(m_doc, *m_list[13], 13, m_settings), TransitionStatus::NoVisibleObject);
  EXPECT_EQ(m_prompt.m_strLast, "当前编辑帧没有对象包含，所以无法创建新的帧与效果。");
  EXPECT_EQ(Snapshot(m_doc), before);
  // Object mode without a selected object has no source either.
  m_doc.SelectSingleFrame(0);
  const std::string onFirst = Snapshot(m_doc);
  m_list[13]->SetFlag(EFFECT_OBJECT_MODE, true);
  EXPECT_EQ(GenerateTransition(m_doc, *m_list[13], 13, m_settings), TransitionStatus::NoSource);
  m_settings.frameCount = 301;
  EXPECT_EQ(GenerateTransition(m_doc, *m_list[13], 13, m_settings), TransitionStatus::BadSettings);
  EXPECT_EQ(Snapshot(m_doc), onFirst);
}

TEST_F(TransitionGenerator, CancelLeavesTheDocumentAlone) {
  const std::string before = Snapshot(m_doc);
  CTevCommonProgress cancelled;
  cancelled.Cancel();
  EXPECT_EQ(GenerateTransition(m_doc, *m_list[23], 23, m_settings, &cancelled), TransitionStatus::Cancelled);
  EXPECT_EQ(Snapshot(m_doc), before);
}

// Every effect in both modes and directions, with undo and redo checked; the
// sanitizer build runs the same.
TEST_F(TransitionGenerator, EveryEffectGeneratesInEveryMode) {
  m_doc.m_selectedObjects = {m_doc.m_objects[0]};
  m_settings.frameCount = 2;
  for (int e = 0; e < kEffectCount; ++e)
    for (int mode = 0; mode < 4; ++mode) {
      SCOPED_TRACE(::testing::Message() << EffectScriptName(e) << " mode " << mode);
      CEffectPerform& perf = *m_list[e];
      perf.SetFlag(EFFECT_OBJECT_MODE, (mode & 1) != 0);
      perf.SetFlag(EFFECT_APPEAR, (mode & 2) == 0);
      perf.SetFlag(EFFECT_FADE, mode == 3);
      const int frames = m_doc.GetFrameCount();
      ASSERT_EQ(GenerateAndCheckUndo(e), TransitionStatus::Done);
      EXPECT_EQ(m_doc.GetFrameCount(), frames + 2);
      EXPECT_EQ(m_doc.GetUndoCommandState().text, FramesDibActionText(EffectActionKind(e), false));
      ASSERT_TRUE(m_doc.OnEditUndo());
      EXPECT_EQ(m_doc.GetFrameCount(), frames);
    }
}

}  // namespace
