// Pixel edits inside the view's selection: delete and cut (whole objects
// removed, covered parts cleared and trimmed, references moved), filters
// limited to the selection, and a seeded random history of 200 such commands
// undone and redone byte for byte. Selections are made with the mouse in a
// scrolled, zoomed view.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "editing/filter_actions.h"
#include "editing/object_scene.h"
#include "imaging/TevImageTransform"
#include "tool_scene.h"

using namespace TevImageTransform;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSteps = 80;
#else
constexpr int kSteps = 200;
#endif

class PixelEdits : public ObjectScene {
 protected:
  void SetUp() override {
    ObjectScene::SetUp();
    ASSERT_TRUE(m_view.SetZoom(2));
    ASSERT_TRUE(m_view.SetScroll(30, 14));
    m_view.SetCanvasOrigin({4, 4});
    ASSERT_TRUE(m_view.SetTool(TOOL_RECT_SELECTION));
  }
  // A rubber band over image pixels [x0, x1) x [y0, y1) at zoom 2.
  void SelectBox(int x0, int y0, int x1, int y1) {
    auto client = [](int x, int y) { return POINT{2 * x + 4 - 30, 2 * y + 4 - 14}; };
    m_view.OnLButtonDown(1, client(x0, y0));
    m_view.OnMouseMove(1, client(x1, y1));
    m_view.OnLButtonUp(0, client(x1, y1));
  }
  CEditPictureView m_view{m_doc};
};

// A doc of its own: two opaque rasters, A at (2, 2) 6 x 6, B at (20, 10)
// 10 x 10, on two frames (B moved by one in the second frame).
class SelectionEdits : public ToolScene {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 48, 32));
    for (int k = 0; k < 2; ++k)
      m_doc.m_objects.push_back(MakeRef<CDib>(PatternPicture(k ? 10 : 6, k ? 10 : 6, [k](int x, int y) {
        return std::array<BYTE, 4>{BYTE(20 * x + k), BYTE(20 * y), BYTE(x * y * 37 + 60), 255};
      })));
    AddFrames(m_doc, 2, [](int) { return 10; }, [](int i, int j, CRefImageObject& r) {
      r.m_nX = j ? 20 + i : 2;
      r.m_nY = j ? 10 : 2;
      r.m_bVisible = true;
    });
    m_doc.SelectSingleFrame(0);
    ASSERT_TRUE(m_view.SetScroll(9, 5));
    m_view.SetCanvasOrigin({2, 1});
    ASSERT_TRUE(m_view.SetTool(TOOL_RECT_SELECTION));
  }
  void SelectBox(int x0, int y0, int x1, int y1) {
    auto client = [](int x, int y) { return POINT{x + 2 - 9, y + 1 - 5}; };
    Gesture({client(x0, y0), client(x1, y1)});
  }
};

TEST_F(SelectionEdits, DeleteRemovesTheCoveredObjectAndTrimsThePartlyCoveredOne) {
  // Covers A wholly and B's left 4 columns (canvas x 20..23).
  SelectBox(0, 0, 24, 32);
  const std::string before = Snapshot(m_doc);
  const DibPtr pictureB(DibCopy(m_doc.m_objects[1]->GetImage()));
  for (bool cut : {false, true}) {
    ASSERT_TRUE(DeleteInSelection(m_doc, m_view.Selection(), cut, &m_view.Clipboard()).ok);
    EXPECT_EQ(m_doc.GetUndoCommandState().text, cut ? "Undo Cut" : "Undo Delete");
    ASSERT_EQ(m_doc.m_objects.size(), 1u);
    const CDib& b = *m_doc.m_objects[0];
    EXPECT_EQ(b.GetImage()->biWidth, 6);
    // The kept columns 4..9 of B, moved right by 4 in both frames.
    EXPECT_EQ(std::memcmp(DibRow(b.GetImage(), 3), DibRow(pictureB.get(), 3) + 16, 24), 0);
    EXPECT_EQ(m_doc.m_frames[0]->m_refs.size(), 1u);
    EXPECT_EQ(m_doc.m_frames[0]->m_refs[0]->m_nX, 24);
    EXPECT_EQ(m_doc.m_frames[1]->m_refs[0]->m_nX, 25);
    if (cut) {
      // The clipboard holds what was under the selection: A and B's 4 columns.
      ASSERT_FALSE(m_view.Clipboard().IsEmpty());
      EXPECT_EQ(m_view.Clipboard().position.x, 2);
      EXPECT_EQ(m_view.Clipboard().picture->biWidth, 22);
    }
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(Snapshot(m_doc), before);
    ASSERT_TRUE(m_doc.OnEditRedo());
    EXPECT_EQ(m_doc.m_objects.size(), 1u);
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(Snapshot(m_doc), before);
  }
  // Pasting the cut pixels makes a new object at their place.
  ASSERT_TRUE(PasteClipboard(m_doc, m_view.Clipboard()).ok);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Paste");
  ASSERT_EQ(m_doc.m_objects.size(), 3u);
  EXPECT_EQ(m_doc.m_frames[0]->m_refs[m_doc.m_frames[0]->m_refs.size() - 1]->m_nX, 2);
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
}

TEST_F(SelectionEdits, ClearingEveryPixelRemovesTheObjectAndUndoKeepsTheOrder) {
  // B covered wholly except one fully transparent column: it goes away.
  BYTE* row = nullptr;
  for (LONG y = 0; y < 10; ++y) {
    row = DibRow(m_doc.m_objects[1]->GetImage(), y);
    row[4 * 9 + 3] = 0;
  }
  SelectBox(20, 10, 29, 20);
  const std::string before = Snapshot(m_doc);
  ASSERT_TRUE(DeleteInSelection(m_doc, m_view.Selection(), false, nullptr).ok);
  ASSERT_EQ(m_doc.m_objects.size(), 1u);
  // Removing A (index 0) then undo: A comes back first in the list and in
  // every frame.
  SelectBox(0, 0, 10, 10);
  ASSERT_TRUE(DeleteInSelection(m_doc, m_view.Selection(), false, nullptr).ok);
  // Two deletes, each after its selection.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), before);
}

TEST_F(SelectionEdits, EveryFilterKindLeavesPixelsOutsideTheSelectionAlone) {
  using Make = std::function<std::unique_ptr<CTevInterfacePixelProcess>()>;
  const Make filters[] = {
      [] { return std::make_unique<CTevPixelInvert>(); },
      [] { return std::make_unique<CTevPixelGrayscale>(); },
      [] { return std::make_unique<CTevPixelMirror>(); },
      [] { return std::make_unique<CTevPixelFlip>(); },
      [] { return std::make_unique<CTevPixelBrightness>(150); },
      [] { return std::make_unique<CTevPixelContrast>(150); },
      [] { return std::make_unique<CTevPixelAdjustRGB>(40, -40, 20); },
      [] { return std::make_unique<CTevPixelHueSaturation>(150, 50); },
      [] { return std::make_unique<CTevPixelBlurBox>(5); },
      [] { return std::make_unique<CTevPixelBlurGaussIIR>(3, 3); },
      [] { return std::make_unique<CTevPixelSharp>(4); },
      [] { return std::make_unique<CTevPixelEmboss>(3); },
      [] { return std::make_unique<CTevPixelSunspot>(255, 20, 80); },
  };
  m_doc.m_selectedObjects = {m_doc.m_objects[1]};
  SelectBox(23, 12, 27, 17);
  const DibPtr original(DibCopy(m_doc.m_objects[1]->GetImage()));
  for (int kind = 0; kind < 13; ++kind) {
    auto process = filters[kind]();
    ASSERT_EQ(ApplyFilterToSelectedObjects(m_doc, kind, *process, nullptr, {}, &m_view.Selection()), 1) << kind;
    const BITMAPINFOHEADER* now = m_doc.m_objects[1]->GetImage();
    int changedInside = 0;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) {
        const bool inside = x >= 3 && x < 7 && y >= 2 && y < 7;
        const bool same = std::memcmp(DibRow(now, y) + 4 * x, DibRow(original.get(), y) + 4 * x, 4) == 0;
        if (!inside) {
          EXPECT_TRUE(same) << "kind " << kind << " pixel " << x << "," << y;
        }
        changedInside += !same;
      }
    EXPECT_GT(changedInside, 0) << kind;
    ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_TRUE(PixelEqual(m_doc.m_objects[1]->GetImage(), original.get())) << kind;
  }
}

TEST_F(PixelEdits, SeededHistoryOfSelectionsEditsAndFiltersUndoesAndRedoesByteForByte) {
  for (unsigned seed : {3u, 11u}) {
    SetUp();
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
    auto state = [this] {
      m_doc.SelectSingleFrame(1);
      return State();
    };
    const std::string start = state();
    std::size_t recorded = 0;
    for (int i = 0; i < kSteps; ++i) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(i));
      m_doc.SelectSingleFrame(pick(m_doc.GetFrameCount()));
      m_doc.m_selectedObjects.clear();
      for (const auto& o : m_doc.m_objects)
        if (pick(2)) m_doc.m_selectedObjects.push_back(o);
      const std::size_t before = Recorded();
      const int x = pick(70) - 5, y = pick(50) - 5;
      ObjectResult r;
      switch (pick(13)) {
        case 0: SelectBox(x, y, x + 1 + pick(30), y + 1 + pick(20)); break;
        case 1: r = SelectEllipse(m_view, x, y, 1 + pick(40), 1 + pick(30), SelectionMode(pick(3))); break;
        case 2: r = SelectLasso(m_view, {{x, y}, {x + 20, y + 3}, {x + 5, y + 25}}, SelectionMode(pick(3))); break;
        case 3: r = SelectMagicWand(m_view, {x, y}, pick(60), pick(2), SelectionMode(pick(3))); break;
        case 4: r = pick(2) ? SelectAll(m_view) : SelectInvert(m_view); break;
        case 5: r = pick(3) ? MoveSelection(m_view, pick(11) - 5, pick(11) - 5) : SelectNone(m_view); break;
        case 6: r = m_view.HasSelection() ? DeleteInSelection(m_doc, m_view.Selection(), pick(2), &m_view.Clipboard())
                                          : DeleteSelectedObjectsWhole(m_doc, pick(2), &m_view.Clipboard());
                break;
        case 7: r = CopyToClipboard(m_doc, m_view.HasSelection() ? &m_view.Selection() : nullptr, m_view.Clipboard());
                break;
        case 8: r = PasteClipboard(m_doc, m_view.Clipboard()); break;
        case 9: r = CropToSelection(m_doc, m_view.Selection()); break;
        default: {
          CTevPixelInvert negative;
          CTevPixelBlurBox blur(3);
          CTevPixelEmboss emboss(2);
          CTevInterfacePixelProcess* p[] = {&negative, &blur, &emboss};
          ApplyFilterToSelectedObjects(m_doc, pick(2) ? 0 : 8, *p[pick(3)], nullptr, {},
                                       m_view.HasSelection() ? &m_view.Selection() : nullptr);
        }
      }
      ASSERT_LE(Recorded(), before + 1) << r.message;
      ASSERT_TRUE(m_doc.CheckInvariant());
    }
    const std::string end = state();
    recorded = Recorded();
    ASSERT_GT(recorded, std::size_t(kSteps) / 3);
    for (std::size_t i = 0; i < recorded; ++i) ASSERT_TRUE(m_doc.OnEditUndo());
    EXPECT_EQ(state(), start);
    EXPECT_FALSE(m_view.HasSelection());
    for (std::size_t i = 0; i < recorded; ++i) ASSERT_TRUE(m_doc.OnEditRedo());
    EXPECT_EQ(state(), end);
    m_doc.EditManager().RemoveAll();
    m_view.Selection().SetSelectionEmpty();
  }
}

}  // namespace
