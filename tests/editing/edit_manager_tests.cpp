// The undo history: bound, ownership of what actions keep, and undo/redo
// moving actions between the lists.
#include <gtest/gtest.h>

#include "app/loopwright_doc.h"
#include "app/edit_manager.h"
#include "editing/doc_builder.h"

namespace {

// Keeps a frame alive and logs Undo/Redo calls; texts switch like real actions.
class KeepFrameAction : public CEditAction {
 public:
  KeepFrameAction(RefPtr<CGifFrame> frame, std::string name, std::string* log)
      : m_frame(std::move(frame)), m_name(std::move(name)), m_log(log) {
    SetMenuText("Undo " + m_name);
  }
  void Undo() override {
    if (m_log) *m_log += "u" + m_name;
    SetMenuText("Redo " + m_name);
  }
  void Redo() override {
    if (m_log) *m_log += "r" + m_name;
    SetMenuText("Undo " + m_name);
  }

 private:
  RefPtr<CGifFrame> m_frame;
  std::string m_name;
  std::string* m_log;
};

}  // namespace

TEST(EditManager, BoundKeepsNewest27AndFreesWhatOnlyTheOldestHeld) {
  CEditManager manager;
  manager.SetUndoMaxTimes(26);
  int destroyed = 0;
  for (int i = 0; i < 30; ++i)
    manager.AddAction(new KeepFrameAction(RefPtr<CGifFrame>(new CountedFrame(&destroyed)), std::to_string(i), nullptr));
  ASSERT_EQ(manager.UndoList().size(), 27u);
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(manager.UndoList().front()->GetMenuText(), "Undo 3");
  EXPECT_EQ(manager.UndoList().back()->GetMenuText(), "Undo 29");
  manager.RemoveAll();
  EXPECT_EQ(destroyed, 30);
  EXPECT_FALSE(manager.CanUndo());
}

TEST(EditManager, SharedFrameOutlivesTheActionThatDropsIt) {
  int destroyed = 0;
  RefPtr<CGifFrame> frame(new CountedFrame(&destroyed));
  CEditManager manager;
  manager.SetUndoMaxTimes(1);
  manager.AddAction(new KeepFrameAction(frame, "a", nullptr));
  manager.AddAction(new KeepFrameAction(frame, "b", nullptr));
  manager.AddAction(new KeepFrameAction(nullptr, "c", nullptr));  // drops "a"
  EXPECT_EQ(frame->GetRefCount(), 2);
  manager.RemoveAll();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(frame->GetRefCount(), 1);
}

TEST(EditManager, UndoRedoMoveBetweenListsAndANewActionClearsRedo) {
  CEditManager manager;
  std::string log;
  manager.AddAction(new KeepFrameAction(nullptr, "A", &log));
  manager.AddAction(new KeepFrameAction(nullptr, "B", &log));
  EXPECT_TRUE(manager.Undo());
  EXPECT_TRUE(manager.Undo());
  EXPECT_FALSE(manager.Undo());
  EXPECT_EQ(log, "uBuA");
  EXPECT_EQ(manager.GetRedoTail()->GetMenuText(), "Redo A");
  EXPECT_TRUE(manager.Redo());
  EXPECT_EQ(log, "uBuArA");
  EXPECT_EQ(manager.GetUndoTail()->GetMenuText(), "Undo A");
  EXPECT_EQ(manager.GetRedoTail()->GetMenuText(), "Redo B");
  manager.AddAction(new KeepFrameAction(nullptr, "C", &log));
  EXPECT_FALSE(manager.CanRedo());
  EXPECT_EQ(manager.UndoList().size(), 2u);
}
