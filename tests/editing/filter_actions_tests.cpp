// Filter commands on pictures: a pixel selection limits the change, undo
// and redo restore each picture exactly, refused processes record nothing.
#include <gtest/gtest.h>

#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"
#include "editing/filter_actions.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;

namespace {

class FilterActions : public ::testing::Test {
 protected:
  // Three frames over two raster objects; object 0 is shown in all frames
  // at (i, i), object 1 at (10, 2).
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(m_doc, 24, 16));
    for (int k = 0; k < 2; ++k)
      m_doc.m_objects.push_back(MakeRef<CDib>(PatternPicture(8, 6, [k](int x, int y) {
        return std::array<BYTE, 4>{BYTE(30 * x + k), BYTE(40 * y), BYTE(100 + 50 * k), 255};
      })));
    AddFrames(m_doc, 3, [](int) { return 10; }, [](int i, int j, CRefImageObject& r) {
      r.m_nX = j == 0 ? i : 10;
      r.m_nY = j == 0 ? i : 2;
      r.m_bVisible = true;
    });
    m_doc.SelectSingleFrame(1);
  }
  DWORD Pixel(int object, int x, int y) const {
    const BYTE* p = DibRow(m_doc.m_objects[std::size_t(object)]->GetImage(), y) + 4 * x;
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
  }

  CLoopwrightApp m_app;
  CScriptedPrompt m_prompt{true};
  CLoopwrightDoc m_doc{m_app, m_prompt};
};

TEST_F(FilterActions, SelectionMaskLimitsTheChangeInCanvasCoordinates) {
  m_doc.m_selectedObjects = m_doc.m_objects;
  // Canvas rectangle (12, 3)-(14, 5): inside object 1 (at 10, 2) only,
  // its pixels (2, 1)..(3, 2).
  TevImageTransform::CTevObjSelection selection;
  ASSERT_NE(selection.CreateRectanleSelection(12, 3, 14, 5, 0), 0);
  const DWORD inside = Pixel(1, 2, 1), outside = Pixel(1, 5, 4), other = Pixel(0, 1, 1);
  CTevPixelGrayscale gray;
  ASSERT_EQ(ApplyFilterToSelectedObjects(m_doc, CUpdateDibsAction::GRAY, gray, nullptr, {}, &selection), 1);
  const BYTE* p = DibRow(m_doc.m_objects[1]->GetImage(), 1) + 8;
  EXPECT_EQ(p[0], p[1]);
  EXPECT_EQ(p[1], p[2]);
  EXPECT_NE(Pixel(1, 2, 1), inside);
  EXPECT_EQ(Pixel(1, 5, 4), outside);
  EXPECT_EQ(Pixel(0, 1, 1), other);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Gray");
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Pixel(1, 2, 1), inside);
  // A selection that covers no selected picture records nothing.
  selection.CreateRectanleSelection(22, 14, 24, 16, 0);
  CTevPixelGrayscale again;
  EXPECT_EQ(ApplyFilterToSelectedObjects(m_doc, CUpdateDibsAction::GRAY, again, nullptr, {}, &selection), 0);
  EXPECT_FALSE(m_doc.EditManager().CanUndo());
  EXPECT_EQ(m_doc.GetRedoCommandState().text, "Redo Gray");  // the redo list is kept
}

TEST_F(FilterActions, BlurOnASelectionAndRefusedProcessesRecordNothing) {
  m_doc.m_selectedObjects = {m_doc.m_objects[0]};
  TevImageTransform::CTevObjSelection selection;
  ASSERT_NE(selection.CreateRectanleSelection(0, 0, 24, 16, 0), 0);
  CTevPixelBlurGaussIIR blur(3, 3);
  ASSERT_EQ(ApplyFilterToSelectedObjects(m_doc, CUpdateDibsAction::GAUSSIAN_BLUR, blur, nullptr, {}, &selection), 1);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Gaussian Blur");
  // Rotations cannot run on a selection; nothing changes, nothing recorded.
  CTevPixelRotate90 turn;
  const std::size_t actions = m_doc.EditManager().UndoList().size();
  EXPECT_EQ(ApplyFilterToSelectedObjects(m_doc, -1, turn, nullptr, "Rotate 90", &selection), 0);
  EXPECT_EQ(m_doc.EditManager().UndoList().size(), actions);
  // Without a selection the turn changes the picture's shape, and undo
  // brings the old shape back.
  ASSERT_EQ(ApplyFilterToSelectedObjects(m_doc, -1, turn, nullptr, "Rotate 90"), 1);
  EXPECT_EQ(m_doc.m_objects[0]->m_nWidth, 6);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Rotate 90");
  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(m_doc.m_objects[0]->m_nWidth, 8);
  EXPECT_EQ(m_doc.GetRedoCommandState().text, "Redo Rotate 90");
}

}  // namespace
