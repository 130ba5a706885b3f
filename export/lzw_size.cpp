#include "export/lzw_size.h"

#include <algorithm>

#include "companions/imageio/gif_lzw.h"

// The count runs the writer's own LZW encoder (table cleared when full) and
// frames its code stream the way the file does.

CFrameSizeCaculater::CFrameSizeCaculater(int tableSize) {
  int bits = 1;
  while ((1 << bits) < std::clamp(tableSize, 2, 256)) ++bits;
  m_codeSize = std::max(bits, 2);
}

long CFrameSizeCaculater::Framed(std::size_t data) {
  // Minimum code size byte, length byte per sub-block, terminator.
  return long(1 + data + (data + 254) / 255 + 1);
}

long CFrameSizeCaculater::CalculateIndexes(const BYTE* indexes, std::size_t count) {
  const int limit = (1 << m_codeSize) - 1;
  m_indexes.resize(count);
  for (std::size_t i = 0; i < count; ++i) m_indexes[i] = BYTE(std::min<int>(indexes[i], limit));
  return Framed(TevImageIO::EncodeGifLzw(m_indexes.data(), count, m_codeSize, TevImageIO::LzwClear::WhenFull).size());
}

long CFrameSizeCaculater::Calculate(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, int transparentIndex,
                                    bool interlaced) {
  if (!image || !DibHeaderValid(image) || image->biBitCount != 8) return -1;
  const LONG w = DibWidth(image), h = DibHeight(image);
  if (mask && (!DibHeaderValid(mask) || mask->biBitCount != 1 || DibWidth(mask) != w || DibHeight(mask) != h))
    return -1;
  const int limit = (1 << m_codeSize) - 1;
  const BYTE t = BYTE(std::clamp(transparentIndex, 0, limit));
  m_indexes.resize(std::size_t(w) * std::size_t(h));
  std::size_t at = 0;
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  const int passes = interlaced ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (LONG y = interlaced ? kStart[pass] : 0; y < h; y += interlaced ? kStep[pass] : 1) {
      const BYTE* row = DibRow(image, y);
      const BYTE* m = mask ? DibRow(mask, y) : nullptr;
      for (LONG x = 0; x < w; ++x) {
        const bool opaque = !m || ((m[x >> 3] >> (7 - (x & 7))) & 1);
        m_indexes[at++] = opaque ? BYTE(std::min<int>(row[x], limit)) : t;
      }
    }
  }
  return Framed(TevImageIO::EncodeGifLzw(m_indexes.data(), at, m_codeSize, TevImageIO::LzwClear::WhenFull).size());
}
