// Moving the selected objects to a list place in one step (the objects
// list's drag): the resulting order in the list and in every frame, the
// recorded step's text, undo and redo, and the refusals that record nothing.
#include <gtest/gtest.h>

#include "editing/object_move_to_index.h"
#include "editing/object_scene.h"

namespace {

// The scene's objects bottom to top: raster, picture, text, shape.
struct MoveCase {
  const char* name;
  std::vector<int> selected;
  int index;
  std::vector<std::string> order;  // names bottom to top after the move
  const char* undoText;
};

const MoveCase kMoves[] = {
    {"one to the top", {1}, 3, {"raster", "text", "shape", "picture"}, "Undo move to front"},
    {"far past the top", {1}, 99, {"raster", "text", "shape", "picture"}, "Undo move to front"},
    {"two to the bottom", {2, 3}, 0, {"text", "shape", "raster", "picture"}, "Undo move to back"},
    {"bottom one up two", {0}, 2, {"picture", "text", "raster", "shape"}, "Undo move forward"},
    {"top one down two", {3}, 1, {"raster", "shape", "picture", "text"}, "Undo move backward"},
    {"apart ones gathered", {0, 2}, 1, {"picture", "raster", "text", "shape"}, "Undo move forward"},
};

class MoveToIndexTest : public ObjectScene, public ::testing::WithParamInterface<MoveCase> {};

std::vector<std::string> Names(const CLoopwrightDoc& doc) {
  std::vector<std::string> names;
  for (const auto& object : doc.m_objects) names.push_back(object->m_strName);
  return names;
}

}  // namespace

TEST_P(MoveToIndexTest, OneStepMovesListAndFramesAndUndoes) {
  const MoveCase& c = GetParam();
  // Each frame's place of every object, by name, before the move.
  std::map<std::string, std::vector<std::pair<int, int>>> places;
  for (std::size_t j = 0; j < m_doc.m_objects.size(); ++j)
    for (int f = 0; f < m_doc.GetFrameCount(); ++f)
      places[m_doc.m_objects[j]->m_strName].push_back({Ref(f, int(j)).m_nX, Ref(f, int(j)).m_nY});
  const std::string before = State();
  const std::size_t steps = Recorded();
  Select(c.selected);

  const ObjectResult result = MoveSelectedObjectsToIndex(m_doc, c.index);
  ASSERT_TRUE(result.ok) << result.message;
  EXPECT_EQ(Names(m_doc), c.order);
  EXPECT_EQ(Recorded(), steps + 1);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, std::string(c.undoText));
  EXPECT_TRUE(m_doc.IsModified());
  // Every frame's references moved with their objects.
  for (std::size_t j = 0; j < m_doc.m_objects.size(); ++j)
    for (int f = 0; f < m_doc.GetFrameCount(); ++f)
      EXPECT_EQ(std::make_pair(Ref(f, int(j)).m_nX, Ref(f, int(j)).m_nY),
                places[m_doc.m_objects[j]->m_strName][std::size_t(f)])
          << "object " << j << " frame " << f;
  const std::string after = State();

  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(State(), before);
  ASSERT_TRUE(m_doc.OnEditRedo());
  EXPECT_EQ(State(), after);
}

INSTANTIATE_TEST_SUITE_P(Cases, MoveToIndexTest, ::testing::ValuesIn(kMoves),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) if (ch == ' ') ch = '_';
                           return name;
                         });

TEST_F(ObjectScene, MoveToIndexRefusalsRecordNothing) {
  struct Case {
    std::vector<int> selected;
    int index;
    std::string message;
  };
  const Case cases[] = {
      {{}, 2, "no object is selected"},
      {{3}, 3, "already at the front"},
      {{0}, 0, "already at the back"},
      {{1, 2}, 1, ""},
  };
  const std::string before = State();
  for (const Case& c : cases) {
    Select(c.selected);
    const std::size_t steps = Recorded();
    const ObjectResult result = MoveSelectedObjectsToIndex(m_doc, c.index);
    EXPECT_FALSE(result.ok) << c.message;
    if (c.message.empty()) EXPECT_EQ(result.message, "");
    else EXPECT_NE(result.message.find(c.message), std::string::npos) << result.message;
    EXPECT_EQ(Recorded(), steps);
    EXPECT_EQ(State(), before);
  }
}
