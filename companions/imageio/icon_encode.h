// Icon and cursor files in memory, shared by the ICO/CUR and ANI writers.
#pragma once

#include <string>
#include <vector>

#include "companions/imageio/image_info.h"

namespace TevImageIO {

// An ICO (cursor false) or CUR file holding one entry per block. Cursor hot
// spots come from the blocks, or defaultHotSpot (x low 16 bits, y high) for a
// block whose hot spot is (0, 0). False with reason on a bad picture.
bool EncodeIconFile(const std::vector<const CTevSubImageBlock*>& blocks, bool cursor, DWORD defaultHotSpot,
                    std::vector<BYTE>& out, std::string& reason);

}  // namespace TevImageIO
