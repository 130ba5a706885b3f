// One brush segment as anti-aliased coverage: a pen of a given width drawn
// from one pixel to another (through the pixel centres), with round or
// square ends. A segment from a pixel to itself is a dot: a disc of the pen's
// diameter, or a square of its side.
#pragma once

#include <vector>

#include "companions/base/win_types.h"

namespace TevVecLib {

// Coverage (0 to 255, exact area from AGG's rasterizer) of the segment inside
// the block box (pixel coordinates of the picture it is painted on):
// cover[(y - box.top) * width + (x - box.left)]. Empty when the box is empty.
std::vector<BYTE> StrokeSegmentCoverage(RECT box, POINT from, POINT to, double penWidth, bool roundCap);

// The block a segment can touch: its bounding box grown by width / 2 + 1.
RECT StrokeSegmentBounds(POINT from, POINT to, int penWidth);

}  // namespace TevVecLib
