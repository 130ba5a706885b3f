// Helpers shared by the object command files (not part of the command API).
#pragma once

#include <vector>

#include "app/edit_manager.h"
#include "app/loopwright_doc.h"
#include "editing/object_commands.h"

namespace objcmd {

// Adds the action to the history and marks the document modified; the
// change follows.
inline void Record(CLoopwrightDoc& doc, CEditAction* action) {
  doc.EditManager().AddAction(action);
  doc.SetModifiedFlag();
}

// Indexes of the selected objects that are in the list, ascending.
std::vector<int> SelectedIndexes(const CLoopwrightDoc& doc);
// A flag per object: selected or not.
std::vector<bool> SelectedMask(const CLoopwrightDoc& doc);
// The frames targets names; false (and why) when one does not exist.
bool ResolveFrames(const CLoopwrightDoc& doc, const CFrameTargets& targets, std::vector<CGifFrame*>& frames,
                   std::string& why);
// "no object N" unless index names an object.
bool CheckIndex(const CLoopwrightDoc& doc, int index, std::string& why);
// Reorders the object list and every frame's references: new place k holds
// old object order[k] (order is a permutation of the object indexes).
void PermuteObjects(CLoopwrightDoc& doc, const std::vector<int>& order);

}  // namespace objcmd
