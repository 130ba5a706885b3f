#include "editing/frame_disposal.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "companions/base/tr.h"
#include "editing/frame_actions.h"

namespace {

// The graphic-control byte of each changed frame; Undo and Redo swap it.
class CFrameDisposalAction : public CFrameActionBase {
 public:
  explicit CFrameDisposalAction(CLoopwrightDoc& doc)
      : CFrameActionBase(doc, Tr("Undo Frame Disposal"), Tr("Redo Frame Disposal")) {}
  void Add(RefPtr<CGifFrame> frame) {
    const BYTE control = frame->m_byGraphicControl;
    m_items.emplace_back(std::move(frame), control);
  }
  bool IsEmpty() const { return m_items.empty(); }

 protected:
  void Exchange() override {
    for (auto& [frame, control] : m_items) std::swap(frame->m_byGraphicControl, control);
  }

 private:
  std::vector<std::pair<RefPtr<CGifFrame>, BYTE>> m_items;
};

}  // namespace

bool SetSelectedFramesDisposal(CLoopwrightDoc& doc, int disposal) {
  if (disposal < 0 || disposal > kMaxDisposal) return false;
  std::vector<int> positions;
  for (int i : doc.m_selectedFrames)
    if (doc.GetFrame(i) && std::find(positions.begin(), positions.end(), i) == positions.end()) positions.push_back(i);
  auto action = std::make_unique<CFrameDisposalAction>(doc);
  for (int i : positions)
    if (doc.GetFrame(i)->GetDisposal() != disposal) action->Add(RefPtr<CGifFrame>(doc.GetFrame(i)));
  if (action->IsEmpty()) return false;
  doc.EditManager().AddAction(action.release());
  doc.SetModifiedFlag();
  for (int i : positions) doc.GetFrame(i)->SetDisposal(disposal);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}
