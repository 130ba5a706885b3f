#include "editing/frame_subset_commands.h"

#include <algorithm>

#include "app/loopwright_doc.h"
#include "editing/frame_actions.h"

bool RemoveFramesAt(CLoopwrightDoc& doc, const std::vector<int>& positions) {
  std::vector<int> sorted = positions;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  if (sorted.empty() || sorted.front() < 0 || sorted.back() >= doc.GetFrameCount()) return false;
  if (int(sorted.size()) >= doc.GetFrameCount()) return false;
  doc.EditManager().AddAction(new CModifyFramesAction(doc, CModifyFramesAction::DELETE_FRAME));
  doc.SetModifiedFlag();
  for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) doc.RemoveFrame(*it);
  doc.SelectSingleFrame(std::min(sorted.front(), doc.GetFrameCount() - 1));
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}
