// Adding the frames of files after the current frame: placement, objects
// with default names, unreadable files reported while the others are added,
// and undo/redo restoring the document exactly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/avi_test_util.h"
#include "app/temp_dir.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"
#include "editing/add_files_action.h"
#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"
#include "editing/frame_actions.h"

namespace fs = std::filesystem;

namespace {

// A one-colour opaque PNG of w x h.
void WritePicture(const std::string& path, int w, int h, COLORREF colour) {
  DibPtr pic(CDIB32::CreateSimple32BitsDIB(w, h, colour, 255));
  ASSERT_TRUE(WritePngPicture(pic.get(), path));
}

class AddFiles : public ::testing::Test {
 protected:
  // Three frames over two objects; frame 1 is current, frames 1 and 2 selected.
  void SetUp() override {
    ASSERT_TRUE(ResetDocument(doc_, 12, 8));
    for (int j = 0; j < 2; ++j) {
      auto o = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(4 + j, 3, 0x102030 * (j + 1), 255)));
      o->m_strName = "mine " + std::to_string(j);
      doc_.m_objects.push_back(o);
    }
    AddFrames(doc_, 3, [](int i) { return 10 + i; }, [](int i, int j, CRefImageObject& r) {
      r.m_nX = i + j;
      r.m_nY = 2 * j;
      r.m_bVisible = (i + j) % 2 == 0;
    });
    doc_.SelectSingleFrame(1);
    doc_.m_selectedFrames.push_back(2);
  }
  std::string File(const std::string& name) const { return dir_.File(name); }

  TempDir dir_;
  CLoopwrightApp app_;
  CScriptedPrompt prompt_;
  CLoopwrightDoc doc_{app_, prompt_};
};

}  // namespace

TEST_F(AddFiles, TwoFilesGoAfterTheCurrentFrameAndUndoRedoRestoreExactly) {
  WritePicture(File("a.png"), 6, 5, RGB(0x33, 0x22, 0x11));
  AviLayout s;
  s.frames = 3;
  ASSERT_TRUE(WriteAvi(File("b.avi"), s));
  const std::string before = Snapshot(doc_);
  std::vector<CGifFrame*> old;
  for (auto& f : doc_.m_frames) old.push_back(f.get());
  const int counter = app_.PeekObjectCounter();

  ASSERT_EQ(AddFramesFromImageFiles(doc_, {File("a.png"), File("b.avi")}), 2);
  EXPECT_TRUE(doc_.IsModified());
  EXPECT_EQ(prompt_.m_nMessages, 0);
  ASSERT_EQ(doc_.GetFrameCount(), 7);
  ASSERT_EQ(doc_.GetObjectCount(), 6);
  ASSERT_TRUE(doc_.CheckInvariant());
  for (int j = 2; j < 6; ++j)
    EXPECT_EQ(doc_.m_objects[std::size_t(j)]->m_strName, "Obj - " + std::to_string(counter + j - 2));
  // Frames 2..5 are the new ones (the picture's at the default delay, the
  // video's at its own), each showing only its own new object; the old
  // objects are there hidden, placed as in the first frame.
  EXPECT_EQ(doc_.m_objects[2]->m_nWidth, 6);
  EXPECT_EQ(doc_.m_frames[2]->m_nDelay, GetDefaultFrameDelay());
  EXPECT_EQ(doc_.m_frames[3]->m_nDelay, 7);
  for (int i = 2; i < 6; ++i) {
    const auto& refs = doc_.m_frames[std::size_t(i)]->m_refs;
    for (int j = 0; j < 6; ++j) EXPECT_EQ(refs[std::size_t(j)]->m_bVisible, j == i) << i << " " << j;
    EXPECT_EQ(refs[1]->m_nX, 1);
    EXPECT_EQ(refs[1]->m_nY, 2);
  }
  // The old frames keep their order, fields and own references and gain hidden ones.
  for (int i : {0, 1, 6}) {
    const auto& refs = doc_.m_frames[std::size_t(i)]->m_refs;
    const int k = i == 6 ? 2 : i;
    EXPECT_EQ(doc_.m_frames[std::size_t(i)]->m_nDelay, 10 + k);
    EXPECT_EQ(refs[0]->m_nX, k);
    EXPECT_EQ(refs[1]->m_bVisible, (k + 1) % 2 == 0);
    for (int j = 2; j < 6; ++j) EXPECT_FALSE(refs[std::size_t(j)]->m_bVisible);
    // The undo snapshot still holds the untouched frames.
    EXPECT_EQ(old[std::size_t(k)]->m_refs.size(), 2u);
  }
  EXPECT_EQ(doc_.m_nCurrentFrame, 1);
  EXPECT_EQ(doc_.m_selectedFrames, (std::vector<int>{1, 6}));
  EXPECT_EQ(doc_.GetUndoCommandState().text, "Undo Add image flie(s)");

  const std::string after = Snapshot(doc_);
  ASSERT_TRUE(doc_.OnEditUndo());
  EXPECT_EQ(Snapshot(doc_), before);
  EXPECT_EQ(doc_.GetRedoCommandState().text, "Redo Add image flie(s)");
  ASSERT_TRUE(doc_.OnEditRedo());
  EXPECT_EQ(Snapshot(doc_), after);
}

TEST_F(AddFiles, UnreadableFilesAreReportedAndTheRestAdded) {
  WritePicture(File("ok.png"), 3, 3, RGB(3, 2, 1));
  std::ofstream(File("bad.bmp")) << "BM not really";
  doc_.SelectSingleFrame(2);  // the last frame: new frames are appended
  ASSERT_EQ(AddFramesFromImageFiles(doc_, {File("bad.bmp"), File("ok.png"), File("gone.gif")}), 1);
  EXPECT_EQ(prompt_.m_nMessages, 2);
  EXPECT_EQ(prompt_.m_strLast, "载入 " + File("gone.gif") + " 文件失败!");
  ASSERT_EQ(doc_.GetFrameCount(), 4);
  EXPECT_EQ(doc_.m_frames[3]->m_refs[2]->m_pObject->m_nWidth, 3);
  EXPECT_TRUE(doc_.CheckInvariant());

  // Nothing readable: nothing recorded, nothing changed.
  doc_.SetModifiedFlag(false);
  const std::string before = Snapshot(doc_);
  EXPECT_EQ(AddFramesFromImageFiles(doc_, {File("bad.bmp")}), 0);
  EXPECT_EQ(Snapshot(doc_), before);
  EXPECT_FALSE(doc_.IsModified());
  EXPECT_EQ(doc_.GetUndoCommandState().text, "Undo Add image flie(s)");
}
