// Removing a chosen set of frames in one step, without the question the
// delete command asks (the caller named the frames explicitly).
#pragma once

#include <vector>

class CLoopwrightDoc;

// Removes the frames at the positions (any order, repeats ignored) as one
// undoable frame-delete action. Returns false, recording nothing, when a
// position names no frame, none is given, or every frame would go (an
// animation keeps at least one frame).
bool RemoveFramesAt(CLoopwrightDoc& doc, const std::vector<int>& positions);
