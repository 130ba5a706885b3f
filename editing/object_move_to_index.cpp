#include "editing/object_move_to_index.h"

#include <algorithm>

#include "app/frame_refs.h"
#include "editing/object_actions.h"
#include "editing/object_command_support.h"
#include "editing/object_refs.h"

using namespace objcmd;

ObjectResult MoveSelectedObjectsToIndex(CLoopwrightDoc& doc, int index) {
  const std::vector<bool> sel = SelectedMask(doc);
  std::vector<int> selected, others;
  for (int j = 0; j < int(sel.size()); ++j) (sel[std::size_t(j)] ? selected : others).push_back(j);
  if (selected.empty()) return ObjectResult::Refused("no object is selected");
  const int place = std::clamp(index, 0, int(others.size()));
  std::vector<int> order(others.begin(), others.begin() + place);
  order.insert(order.end(), selected.begin(), selected.end());
  order.insert(order.end(), others.begin() + place, others.end());
  bool same = true;
  for (std::size_t k = 0; k < order.size(); ++k) same = same && order[k] == int(k);
  if (same) {
    if (place == int(others.size())) return ObjectResult::Refused(kAlreadyAtFrontMessage);
    if (place == 0) return ObjectResult::Refused(kAlreadyAtBackMessage);
    return ObjectResult::Refused({});  // dropped where they were: nothing to say
  }
  int kind = CEditSequenceAction::FORWARD;
  if (place == int(others.size())) kind = CEditSequenceAction::TO_FRONT;
  else if (place == 0) kind = CEditSequenceAction::TO_BACK;
  else if (place < selected.front()) kind = CEditSequenceAction::BACKWARD;
  Record(doc, new CEditSequenceAction(doc, kind));
  PermuteObjects(doc, order);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}
