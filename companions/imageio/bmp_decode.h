// Decoding of a device-independent bitmap stored in a file (BMP files, and
// the bitmap entries of icons and cursors).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "companions/base/dib.h"

namespace TevImageIO {

// Decodes the bitmap whose info header starts at infoOffset in data.
// bitsOffset: where the pixel rows start, or 0 when they follow the colour
// table. iconEntry: the height counts the XOR picture and the AND mask, and
// the AND mask follows the picture; it becomes *mask (set bits opaque) unless
// a 32-bit picture carries its own alpha.
// The result keeps depths 1, 4, 8 (RLE decoded to 8 bits) and 24; 16-bit and
// bit-field pictures become 32-bit; 32-bit pictures whose alpha is all zero
// become opaque. A picture of more than maxPixels pixels (0: no budget) is
// refused as too large before anything is allocated for it. Returns 0 or an
// IMAGEIO_RESULT with reason set.
int DecodeBmpInfo(const BYTE* data, std::size_t size, std::size_t infoOffset, std::size_t bitsOffset,
                  bool iconEntry, DibPtr& picture, DibPtr* mask, std::string& reason, std::uint64_t maxPixels = 0);

}  // namespace TevImageIO
