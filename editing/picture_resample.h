// Resampling a 32-bit picture to a new size with one of the ten filters of
// the resize preference (ResizeFilter: 0 nearest .. 9 Lanczos).
#pragma once

#include "companions/dibkernel/dib_kernel.h"

// A new width x height picture of src scaled with filter (values outside
// 0-9 mean bilinear). Null when src is not 32-bit or memory runs out.
DibPtr ResamplePicture32(const BITMAPINFOHEADER* src, int width, int height, int filter);
