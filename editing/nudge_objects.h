// The arrow keys of the editing view: the selected objects' visible
// references on the current frame move by (dx, dy) as one "移动对象" step,
// recorded also when nothing is selected (every press is one step). Locked
// references refuse the move (nothing recorded) with the locked message.
#pragma once

#include "app/loopwright_doc.h"
#include "editing/object_commands.h"

ObjectResult NudgeSelectedObjects(CLoopwrightDoc& doc, int dx, int dy);
