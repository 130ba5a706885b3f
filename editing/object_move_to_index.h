// Moving the selected objects to a place in the object list in one step:
// what dragging rows in the objects list does.
#pragma once

#include "editing/object_commands.h"

// The selected objects, keeping their order among themselves, move as one
// block so that the lowest of them lands at list place index (0 = back);
// the others keep their order around them. index is clamped to the places
// the block can take. Records one order action whose text names the
// direction: to front when the block ends on top, to back when it ends at
// the bottom, else forward or backward by where its lowest object went.
// Refused (nothing recorded) without a selection or when the order would
// not change (the already-at-front/back message at either end, no message
// between).
ObjectResult MoveSelectedObjectsToIndex(CLoopwrightDoc& doc, int index);
