// Access to the frames' object references. Object actions and commands reach
// references only through these helpers, so how a frame stores them can
// change behind this interface.
#pragma once

#include <functional>
#include <vector>

#include "app/gif_image.h"

// The reference frame holds for object j, to change it; null when there is
// none. The frame keeps its own copy of it from then on.
CRefImageObject* RefOf(const CGifFrame& frame, int objectIndex);
// The same for reading only: no copy is made.
const CRefImageObject* PeekRefOf(const CGifFrame& frame, int objectIndex);
// Every reference that shows object, in every frame.
void ForEachRefOf(const CGifImage& model, const CDib* object, const std::function<void(CRefImageObject&)>& fn);
// Moves every reference that shows object by (dx, dy).
void OffsetRefsOf(const CGifImage& model, const CDib* object, int dx, int dy);
// A frame's whole reference list, for the list actions that record it and
// exchange it back.
CRefImageObjectList& FrameRefList(CGifFrame& frame);

// One frame and a copy of its reference list.
struct ObjRefFrameRec {
  RefPtr<CGifFrame> frame;
  CRefImageObjectList refs;
};
using CFrameRefObjectList = std::vector<ObjRefFrameRec>;
