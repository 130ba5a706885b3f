// JPEG streams in memory, for the JPEG writer and the movie writer.
#pragma once

#include <vector>

#include "companions/base/win_types.h"

namespace TevImageIO {

struct CJpegStreamSettings {
  int quality = 75;          // 1-100
  int hSample = 2;           // luma sampling factors: 2 x 2 is 4:2:0, 2 x 1 4:2:2, 1 x 1 4:4:4
  int vSample = 2;
  bool progressive = false;
};

// Fills row y (0 = top) as packed RGB, 3 bytes a pixel, into rgb, which has
// room for width * 4 bytes (so a row can be unpacked to BGRA in place first).
// Returning false abandons the stream.
using JpegRowSource = bool (*)(void* context, LONG y, BYTE* rgb);

// Encodes width x height pixels from source into out; false on failure.
bool EncodeJpegStream(LONG width, LONG height, const CJpegStreamSettings& settings, JpegRowSource source,
                      void* context, std::vector<BYTE>& out);

}  // namespace TevImageIO
