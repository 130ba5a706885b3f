// BI_RLE8 compression of 8-bit pictures, the "mrle" video codec's frames.
//
// Output is a complete picture (no skips), lines bottom line first as the
// format stores them: encoded runs (count 1..255, index), absolute runs
// (0, count 3..255, indices, a pad byte when count is odd), 0 0 after each
// line but the last, 0 1 after the last (twice when the data would
// otherwise be exactly as long as the uncompressed rows).
#pragma once

#include <cstdint>
#include <vector>

#include "companions/base/dib.h"

// Appends the encoded picture to out. false (out unchanged) unless picture
// is a valid 8-bit DIB.
bool EncodeRle8(const BITMAPINFOHEADER* picture, std::vector<std::uint8_t>& out);

// The same for one line of width indices (no end-of-line code).
void EncodeRle8Line(const std::uint8_t* line, int width, std::vector<std::uint8_t>& out);
