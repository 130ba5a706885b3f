// The history as a whole: a seeded random run of object commands over every
// kind of object and several frames, then undo of all of them gives back
// the starting project byte for byte (and every picture and composed frame),
// and redo of all of them the final one.
#include <gtest/gtest.h>

#include <random>

#include "editing/object_commands.h"
#include "editing/object_scene.h"

namespace {

constexpr int kSteps = 200;

class ObjectRoundTrip : public ObjectScene, public ::testing::WithParamInterface<unsigned> {
 protected:
  // One random command on a random selection and current frame; refused
  // commands are part of the run too (they must record nothing).
  void Step(std::mt19937& rng) {
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
    const int objects = m_doc.GetObjectCount();
    m_doc.m_selectedObjects.clear();
    for (int j = 0; j < objects; ++j)
      if (pick(3) == 0) m_doc.m_selectedObjects.push_back(m_doc.m_objects[std::size_t(j)]);
    m_doc.SelectSingleFrame(pick(m_doc.GetFrameCount()));
    m_doc.m_selectedFrames.push_back(pick(m_doc.GetFrameCount()));
    const int index = objects ? pick(objects) : 0;
    const CFrameTargets targets[] = {{CFrameTargets::CURRENT, {}}, {CFrameTargets::SELECTED, {}},
                                     {CFrameTargets::ALL, {}}, {CFrameTargets::LIST, {0, 2}}};
    const CFrameTargets& frames = targets[pick(4)];
    const double scales[] = {0.5, 0.8, 1.25, 2};
    const std::size_t before = Recorded();
    ObjectResult r;
    switch (pick(22)) {
      case 0: r = NewObject(m_doc, pick(2) ? 0 : 7, 5, pick(2) ? -1 : 0x336699); break;
      case 1: r = DuplicateSelectedObjects(m_doc); break;
      case 2: r = objects > 3 ? DeleteSelectedObjects(m_doc) : ObjectResult{}; break;
      case 3: r = CombineSelectedObjects(m_doc); break;
      case 4: r = pick(3) == 0 ? MakeFrameSingleObject(m_doc) : ObjectResult{}; break;
      case 5: r = ReorderSelectedObjects(m_doc, pick(4)); break;
      case 6: r = SetSelectedVisible(m_doc, pick(2), frames); break;
      case 7: r = SetSelectedLocked(m_doc, pick(4) == 0, frames); break;
      case 8: r = SetSelectedTransparency(m_doc, pick(256), frames); break;
      case 9: r = MoveSelectedObjects(m_doc, pick(21) - 10, pick(21) - 10, false, frames); break;
      case 10: r = MoveSelectedObjects(m_doc, pick(60), pick(40), true, frames); break;
      case 11: r = AlignSelectedObjects(m_doc, AlignKind(pick(7)), frames); break;
      case 12: r = TrimSelectedObjects(m_doc); break;
      case 13: r = ConvertSelectedToImage(m_doc); break;
      case 14: r = RenameObject(m_doc, index, "o" + std::to_string(pick(1000))); break;
      case 15: r = ScaleObject(m_doc, index, scales[pick(4)], scales[pick(4)]); break;
      case 16: r = RotateObject(m_doc, index, pick(721) - 360); break;
      case 17: r = SetTransformFilter(m_doc, index, pick(10)); break;
      case 18: r = EditText(m_doc, index, pick(2) ? "Hey" : "Ab\nc"); break;
      case 19: r = SetSelectedStyle(m_doc, StyleKey(pick(10)), {double(pick(5)), {}, 1}); break;
      case 20: {
        CStyleValue v;
        v.gradient.AddColorStop(0, 0x0000FF);
        v.gradient.AddColorStop(1, 0xFF0000);
        v.fillMode = 1 + pick(5);
        r = SetSelectedStyle(m_doc, pick(2) ? StyleKey::FILL_GRADIENT : StyleKey::OUTLINE_GRADIENT, v);
        break;
      }
      case 21: r = SetSelectedStyle(m_doc, StyleKey::FILL, {double(pick(0x1000000)), {}, 1}); break;
    }
    // A command records one action or, refused, none.
    ASSERT_EQ(Recorded(), before + (r.ok && Recorded() != before ? 1 : 0)) << r.message;
    ASSERT_TRUE(m_doc.CheckInvariant());
  }
};

TEST_P(ObjectRoundTrip, UndoAllAndRedoAllGiveTheSameProjects) {
  std::mt19937 rng(GetParam());
  // The frame selection is view state, outside the history: each state is
  // taken with the same one.
  auto state = [this] {
    m_doc.SelectSingleFrame(1);
    return State();
  };
  const std::string start = state();
  for (int i = 0; i < kSteps; ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    Step(rng);
    if (HasFatalFailure()) return;
  }
  const std::string end = state();
  const std::size_t recorded = Recorded();
  ASSERT_GT(recorded, std::size_t(kSteps) / 3);
  for (std::size_t i = 0; i < recorded; ++i) ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_FALSE(m_doc.OnEditUndo());
  EXPECT_EQ(state(), start);
  for (std::size_t i = 0; i < recorded; ++i) ASSERT_TRUE(m_doc.OnEditRedo());
  EXPECT_EQ(state(), end);
  EXPECT_TRUE(m_doc.CheckInvariant());
}

INSTANTIATE_TEST_SUITE_P(Seeds, ObjectRoundTrip, ::testing::Values(1u, 7u, 2024u));

}  // namespace
