// CFrameSizeCaculater: the byte count of a frame's GIF LZW image data, used
// to choose between candidate sub-images without writing them.
//
// The count covers what an image's data takes in the file: the minimum code
// size byte, the LZW codes packed into sub-blocks of at most 255 bytes with
// their length bytes, and the block terminator. The codes come from the GIF
// writer's own encoder (codes growing to 12 bits, a clear code when the
// table fills).
#pragma once

#include <vector>

#include "companions/base/dib.h"

class CFrameSizeCaculater {
 public:
  // tableSize: entries of the colour table (2..256), sets the minimum code size.
  explicit CFrameSizeCaculater(int tableSize = 256);

  // Bytes of the encoded 8-bit picture; pixels whose mask bit is 0 count as
  // transparentIndex (mask may be null). Rows go in interlaced order when
  // interlaced. -1 on a picture that is not 8-bit or a mask of another size.
  long Calculate(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, int transparentIndex, bool interlaced);

  // The same count for a plain index sequence.
  long CalculateIndexes(const BYTE* indexes, std::size_t count);

 private:
  static long Framed(std::size_t dataBytes);

  int m_codeSize;
  std::vector<BYTE> m_indexes;  // the picture in file order, reused between calls
};
