// Object commands: each records one action whose undo gives back exactly
// the project and pixels before and whose redo those after, with its menu
// texts; deleted objects kept by the history, order commands, and refusals
// that change nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "editing/object_commands.h"
#include "editing/object_property_actions.h"
#include "editing/object_scene.h"

namespace {

class ObjectDocumentCommands : public ObjectScene {};

struct CommandCase {
  const char* name;
  std::function<void(ObjectScene&)> prepare;  // selection and current frame
  std::function<ObjectResult(CLoopwrightDoc&)> command;
  const char* undoText;
  const char* redoText;
};

// Selects objects before the command.
std::function<void(ObjectScene&)> Sel(std::vector<int> objects) {
  return [objects](ObjectScene& s) { s.Select(objects); };
}

const CommandCase kCases[] = {
    {"new object", Sel({0}), [](CLoopwrightDoc& d) { return NewObject(d); }, "撤消新建对象", "Redo New Object"},
    {"duplicate", Sel({1, 3}), DuplicateSelectedObjects, "Undo Duplicate Object(s)", "重做复制对象"},
    {"delete", Sel({0, 2}), DeleteSelectedObjects, "Undo Delete Object(s)", "重做删除对象"},
    {"combine", Sel({0, 1, 3}), CombineSelectedObjects, "Undo Combine as Single Object", "重做合并为单一对象"},
    {"frame to object", Sel({0}), MakeFrameSingleObject, "Undo Make Frame as Single Object",
     "Redo Make Frame as Single Object"},
    {"to front", Sel({0, 2}), [](CLoopwrightDoc& d) { return ReorderSelectedObjects(d, 0); }, "Undo move to front",
     "Redo move to front"},
    {"forward", Sel({1, 2}), [](CLoopwrightDoc& d) { return ReorderSelectedObjects(d, 2); }, "Undo move forward",
     "Redo move forward"},
    {"hide on all frames", Sel({0, 1, 2, 3}),
     [](CLoopwrightDoc& d) { return SetSelectedVisible(d, false, {CFrameTargets::ALL, {}}); }, "撤消 显示/隐藏对象",
     "重做 显示/隐藏对象"},
    {"lock frames 0 and 2", Sel({1, 2}),
     [](CLoopwrightDoc& d) { return SetSelectedLocked(d, true, {CFrameTargets::LIST, {0, 2}}); }, "撤消 锁定/解锁对象",
     "重做 锁定/解锁对象"},
    {"transparency of three objects", Sel({1, 2, 3}), [](CLoopwrightDoc& d) { return SetSelectedTransparency(d, 200); },
     "撤消 修改透明度", "重做 修改透明度"},
    {"move two objects", Sel({0, 3}), [](CLoopwrightDoc& d) { return MoveSelectedObjects(d, 5, -3); }, "撤消 移动对象",
     "重做 移动对象"},
    {"align right", Sel({0, 3}), [](CLoopwrightDoc& d) { return AlignSelectedObjects(d, AlignKind::RIGHT); },
     "撤消 Align Right", "重做 Align Right"},
    {"trim", Sel({0, 1}), TrimSelectedObjects, "Undo trim Object(s)", "重做修剪对象"},
    {"convert", Sel({1, 2, 3}), ConvertSelectedToImage, "Undo Convert to image object",
     "Redo Convert to image object(s)"},
    {"rename", Sel({}), [](CLoopwrightDoc& d) { return RenameObject(d, 2, "标题"); }, "Undo Modify Object's Name",
     "Redo Modify Object's Name"},
    {"scale picture", Sel({}), [](CLoopwrightDoc& d) { return ScaleObject(d, 1, 2, 1.5); }, "Undo Scale Object",
     "Redo Scale Object"},
    {"scale shape", Sel({}), [](CLoopwrightDoc& d) { return ScaleObject(d, 3, 1.7, 1.7); }, "Undo Scale Object",
     "Redo Scale Object"},
    {"rotate picture", Sel({}), [](CLoopwrightDoc& d) { return RotateObject(d, 1, 30); }, "Undo Rotate Object",
     "Redo Rotate Object"},
    {"transform filter", Sel({}), [](CLoopwrightDoc& d) { return SetTransformFilter(d, 1, 0); },
     "Undo Modify Transform Filter", "Redo Modify Transform Filter"},
    {"edit text", Sel({}), [](CLoopwrightDoc& d) { return EditText(d, 2, "Wide text"); }, "Undo Modify Text",
     "Redo Modify Text"},
    {"fill colour", Sel({2, 3}),
     [](CLoopwrightDoc& d) { return SetSelectedStyle(d, StyleKey::FILL, {double(0x0000FF), {}, 1}); },
     "撤消 更改填充颜色", "重做 更改填充颜色"},
    {"shadow", Sel({0, 3}), [](CLoopwrightDoc& d) { return SetSelectedStyle(d, StyleKey::SHADOW, {4, {}, 1}); },
     "撤消 Change Shadow Style", "重做 Change Shadow Style"},
};

TEST_F(ObjectDocumentCommands, UndoAndRedoRestoreExactlyWithTheirTexts) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.prepare(*this);
    const std::string before = State();
    const ObjectResult r = c.command(m_doc);
    ASSERT_TRUE(r.ok) << r.message;
    ASSERT_TRUE(m_doc.CheckInvariant());
    ASSERT_EQ(Recorded(), 1u);
    const std::string after = State();
    ASSERT_NE(before, after);
    EXPECT_EQ(m_doc.GetUndoCommandState().text, c.undoText);
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(State(), before);
    EXPECT_EQ(m_doc.GetRedoCommandState().text, c.redoText);
    ASSERT_TRUE(m_doc.OnEditRedo());
    EXPECT_EQ(State(), after);
  }
}

struct RefusalCase {
  const char* name;
  std::function<void(ObjectScene&)> prepare;
  std::function<ObjectResult(CLoopwrightDoc&)> command;
  const char* message;  // part of the message
};

const RefusalCase kRefusals[] = {
    {"index out of range", Sel({}), [](CLoopwrightDoc& d) { return RenameObject(d, 4, "x"); }, "no object 4"},
    {"empty selection", Sel({}), DeleteSelectedObjects, "no object is selected"},
    {"zero scale", Sel({}), [](CLoopwrightDoc& d) { return ScaleObject(d, 1, 0, 1); }, "scale"},
    {"NaN angle", Sel({}), [](CLoopwrightDoc& d) { return RotateObject(d, 3, std::nan("")); }, "angle"},
    {"200 KB name", Sel({}), [](CLoopwrightDoc& d) { return RenameObject(d, 0, std::string(200 * 1024, 'n')); },
     "too long"},
    {"name beyond the project field", Sel({}), [](CLoopwrightDoc& d) { return RenameObject(d, 0, std::string(49, 'n')); },
     "too long"},
    {"scale a raster object", Sel({}), [](CLoopwrightDoc& d) { return ScaleObject(d, 0, 2, 2); }, "only picture"},
    {"front when on top", Sel({1, 3}), [](CLoopwrightDoc& d) { return ReorderSelectedObjects(d, 2); },
     "您所选择对象/一直在前面！"},
    {"combine nothing visible", [](ObjectScene& s) { s.Select({2}); s.Ref(1, 2).m_bVisible = false; },
     CombineSelectedObjects, "从选定的对象，可以发现无可见的对象！"},
    {"move a locked object", [](ObjectScene& s) { s.Select({0, 1}); s.Ref(1, 1).m_bLocked = true; },
     [](CLoopwrightDoc& d) { return MoveSelectedObjects(d, 5, -3); }, "有些对象被锁定"},
    {"trim a fully transparent object",
     [](ObjectScene& s) {
       auto blank = MakeRef<CDib>(DibPtr(CDIB32::CreateBlank32BitsDIB(5, 5)));
       s.m_doc.InsertObject(4, blank);
       s.Select({4});
     },
     TrimSelectedObjects, "所选对象有/有没有多余的透明帧！"},
    {"text that draws nothing", Sel({}), [](CLoopwrightDoc& d) { return EditText(d, 2, "   "); }, "draws nothing"},
    {"frame out of range", Sel({1}), [](CLoopwrightDoc& d) { return SetSelectedVisible(d, true, {CFrameTargets::LIST, {0, 9}}); },
     "no frame 9"},
    {"transparency out of range", Sel({1}), [](CLoopwrightDoc& d) { return SetSelectedTransparency(d, 256); }, "0 to 255"},
};

TEST_F(ObjectDocumentCommands, RefusalsChangeNothingAndRecordNothing) {
  for (const auto& c : kRefusals) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.prepare(*this);
    const std::string before = State();
    const ObjectResult r = c.command(m_doc);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find(c.message), std::string::npos) << r.message;
    EXPECT_EQ(Recorded(), 0u);
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(m_doc.CheckInvariant());
  }
}

TEST_F(ObjectDocumentCommands, DeletedObjectsLiveInTheHistoryAndComeBackInOrder) {
  Select({1, 2});
  CDib* picture = m_doc.m_objects[1].get();
  const CRefImageObject* ref = &Ref(2, 2);
  ASSERT_TRUE(DeleteSelectedObjects(m_doc).ok);
  ASSERT_EQ(m_doc.GetObjectCount(), 2);
  // Only the history holds them now.
  // The action's copies of the object list and the selection, and the four
  // removed references.
  EXPECT_EQ(picture->GetRefCount(), 2 + 4);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(m_doc.m_objects[1].get(), picture);
  EXPECT_EQ(&Ref(2, 2), ref);
  EXPECT_EQ(m_doc.m_selectedObjects.size(), 2u);
}

TEST_F(ObjectDocumentCommands, OrderCommandsMoveTheSelectionAsABlock) {
  struct OrderCase {
    int kind;
    std::vector<int> selected;
    std::vector<const char*> names;
  };
  const OrderCase cases[] = {
      {0, {0, 2}, {"picture", "shape", "raster", "text"}},
      {1, {1, 3}, {"picture", "shape", "raster", "text"}},
      {2, {0, 1}, {"text", "raster", "picture", "shape"}},
      {3, {2, 3}, {"raster", "text", "shape", "picture"}},
  };
  for (const auto& c : cases) {
    SetUp();
    m_doc.m_selectedObjects.clear();
    for (int j : c.selected) m_doc.m_selectedObjects.push_back(m_doc.m_objects[std::size_t(j)]);
    ASSERT_TRUE(ReorderSelectedObjects(m_doc, c.kind).ok);
    for (std::size_t j = 0; j < 4; ++j) {
      EXPECT_EQ(m_doc.m_objects[j]->m_strName, c.names[j]) << "kind " << c.kind << " place " << j;
      EXPECT_EQ(Ref(2, int(j)).m_pObject, m_doc.m_objects[j]);
    }
  }
}


}  // namespace
