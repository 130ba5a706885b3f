// The disposal method of the selected frames (the bits 2-4 of each frame's
// graphic-control byte): how a player leaves a frame before the next one.
#pragma once

class CLoopwrightDoc;

// 0 none, 1 keep, 2 restore to background, 3 restore to previous.
constexpr int kMaxDisposal = 3;

// Gives every selected frame the disposal; frames that already have it are
// not recorded, and nothing to change records nothing (false). One undoable
// step; the views are told (hint 1).
bool SetSelectedFramesDisposal(CLoopwrightDoc& doc, int disposal);
