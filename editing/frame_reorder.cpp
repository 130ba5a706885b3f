#include "editing/frame_reorder.h"

#include <algorithm>
#include <vector>

#include "companions/base/tr.h"
#include "editing/frame_actions.h"

namespace {

// The frame order before the move, with the selection; the texts are this
// command's own.
class CMoveFramesAction : public CChangeOrderOfFramesAction {
 public:
  explicit CMoveFramesAction(CLoopwrightDoc& doc) : CChangeOrderOfFramesAction(doc, TO_NEXT) {
    m_strUndo = Tr("Undo Move Frames");
    m_strRedo = Tr("Redo Move Frames");
    SetMenuText(m_strUndo);
  }
};

}  // namespace

bool MoveSelectedFramesBefore(CLoopwrightDoc& doc, int target) {
  const int n = doc.GetFrameCount();
  if (target < 0 || target > n) return false;
  std::vector<bool> picked(std::size_t(n), false);
  for (int i : doc.m_selectedFrames)
    if (i >= 0 && i < n) picked[std::size_t(i)] = true;
  CGifFrameArray block, before, after;
  for (int i = 0; i < n; ++i) {
    const auto& frame = doc.m_frames[std::size_t(i)];
    if (picked[std::size_t(i)]) block.push_back(frame);
    else (i < target ? before : after).push_back(frame);
  }
  if (block.empty()) return false;
  CGifFrameArray frames = before;
  frames.insert(frames.end(), block.begin(), block.end());
  frames.insert(frames.end(), after.begin(), after.end());
  if (frames == doc.m_frames) return false;
  CGifFrame* current = doc.GetCurrentFrame();
  doc.EditManager().AddAction(new CMoveFramesAction(doc));
  doc.SetModifiedFlag();
  doc.m_frames.swap(frames);
  // The moved frames stay selected where they landed; the current frame
  // follows its frame.
  doc.m_selectedFrames.clear();
  for (std::size_t i = 0; i < block.size(); ++i) doc.m_selectedFrames.push_back(int(before.size() + i));
  doc.m_nCurrentFrame = current ? doc.IndexOfFrame(current) : doc.m_selectedFrames.front();
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}
