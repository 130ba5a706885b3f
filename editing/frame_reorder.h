// Moving the selected frames as one block to any place in the animation
// (what dragging in the frames list does).
#pragma once

class CLoopwrightDoc;

// The selected frames, in their order, end up in front of the frame that
// was at index target (0 to the frame count; the count: at the end). A
// target inside the block or right after it changes nothing. Records one
// undoable step ("Undo Move Frames"), keeps the selection on the moved
// frames and tells the views; false when nothing moves.
bool MoveSelectedFramesBefore(CLoopwrightDoc& doc, int target);
