// The one-line edits of `convert` and of the script's `export`, applied in
// this fixed order, each as the editor's own undoable command:
//   1. --pick LIST   keep only these frames (e.g. 0-9,20,30-)
//   2. --drop LIST   remove these frames
//   3. --reverse     reverse the frame order
//   4. --crop X,Y,W,H   canvas cut to the rectangle
//   5. --resize WxH | N% | Wx | xH   whole animation scaled
//   6. --delay D | I-J:D[,I-J:D...]   delays in 1/100 s, all frames or ranges
//   7. --loop N | forever   (0 means forever, as in GIF)
// Frame numbers count from 0 and refer to the frames as they stand when the
// edit runs (so --delay ranges see the frames after --pick and --reverse).
// --colors N is an export setting and applies when the file is written.
#pragma once

#include <string>
#include <vector>

class CLoopwrightDoc;

struct CFrameEdits {
  std::string pick, drop, crop, resize, loop;
  std::vector<std::string> delays;
  bool reverse = false;

  bool Empty() const {
    return pick.empty() && drop.empty() && crop.empty() && resize.empty() && loop.empty() && delays.empty() && !reverse;
  }
};

// Checks the syntax of every edit (before any file is opened); false with
// a usage message.
bool CheckFrameEdits(const CFrameEdits& edits, std::string& message);
// Applies the edits in order. Returns 0, or 2 with a message when an edit
// does not fit the animation (a frame or rectangle outside it, every frame
// removed), or 1 when the change failed (out of memory).
int ApplyFrameEdits(CLoopwrightDoc& doc, const CFrameEdits& edits, std::string& message);

// Frame lists "0-9,20,30-" resolved against a frame count: the positions,
// ascending without repeats. False on bad syntax or a frame past the end.
bool ResolveFrameList(const std::string& text, int frameCount, std::vector<int>& positions);
// The edits from the command table's values of convert (or the script's export).
struct CTableValues;
CFrameEdits FrameEditsFromTable(const CTableValues& values);
