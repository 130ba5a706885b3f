// The document's frame-level commands. Each records its action through the
// document's edit manager, marks the document modified, makes the change and
// tells the views (hint 1). Each returns false (recording nothing) when
// there is nothing to do, the arguments are out of range or the user said No.
#pragma once

#include <cstdint>

class CLoopwrightDoc;

// A blank frame after the current one (first when there is none), added to
// the selection.
bool AddBlankFrame(CLoopwrightDoc& doc);
// Asks "你确定要删除所有选定的帧吗?" and removes the selected frames on Yes.
bool DeleteSelectedFrames(CLoopwrightDoc& doc);
// A copy of each selected frame right after it; the copies become the
// selection. Out of memory: "内存不足！" (caption "错误"), nothing changes.
bool DuplicateSelectedFrames(CLoopwrightDoc& doc);
// The whole animation, or the selected frames among themselves.
bool ReverseFrames(CLoopwrightDoc& doc, bool selectedOnly);
// kind: 0 first, 1 last, 2 previous, 3 next. The selected frames keep their
// relative order; a frame stops when the next place is the end or holds a
// selected frame that cannot move. The selection follows the frames.
bool MoveSelectedFrames(CLoopwrightDoc& doc, int kind);
// Gives every frame (all) or the selected frames the delay; only frames
// whose delay differs are recorded. The delay becomes the default delay.
bool MakeSameDelay(CLoopwrightDoc& doc, std::uint16_t delay, bool all);
// Delay (0-32767) and interlaced flag of the selected frames.
bool ModifyFrameProperties(CLoopwrightDoc& doc, int delay, bool interlaced);
// loopForever 1: endless (keeps the count); 0: count times (1-65535).
bool SetLoopTimes(CLoopwrightDoc& doc, int loopForever, int count);
// New canvas size (1-65535); every reference moves by (dx, dy).
bool ResizeCanvas(CLoopwrightDoc& doc, int width, int height, int dx = 0, int dy = 0);
// Scales every object and every reference position to the new canvas size.
bool ResizeAnimation(CLoopwrightDoc& doc, int width, int height);
