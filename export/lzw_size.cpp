#include "export/lzw_size.h"

#include <algorithm>

namespace {
constexpr int kHashSize = 5003;
constexpr int kHashShift = 4;  // spreads (pixel << shift) over the 5003 slots
constexpr int kMaxBits = 12;
constexpr int kMaxMaxCode = 1 << kMaxBits;
}  // namespace

CFrameSizeCaculater::CFrameSizeCaculater(int tableSize)
    : m_hashCode(kHashSize, -1), m_hashEntry(kHashSize, 0) {
  int bits = 1;
  while ((1 << bits) < std::clamp(tableSize, 2, 256)) ++bits;
  m_codeSize = std::max(bits, 2);
}

void CFrameSizeCaculater::Begin() {
  std::fill(m_hashCode.begin(), m_hashCode.end(), -1);
  m_clear = 1 << m_codeSize;
  m_freeEntry = m_clear + 2;
  m_bits = m_codeSize + 1;
  m_maxCode = (1 << m_bits) - 1;
  m_clearFlag = false;
  m_totalBits = 0;
  m_ent = -1;
  Output(m_clear);
}

// Counts one code at the current width, then widens or resets the width the
// way the decoder will.
void CFrameSizeCaculater::Output(int) {
  m_totalBits += m_bits;
  if (m_clearFlag) {
    m_bits = m_codeSize + 1;
    m_maxCode = (1 << m_bits) - 1;
    m_clearFlag = false;
  } else if (m_freeEntry > m_maxCode) {
    ++m_bits;
    m_maxCode = m_bits == kMaxBits ? kMaxMaxCode : (1 << m_bits) - 1;
  }
}

void CFrameSizeCaculater::Add(int c) {
  if (m_ent < 0) {
    m_ent = c;
    return;
  }
  const int fcode = (c << kMaxBits) + m_ent;
  int i = (c << kHashShift) ^ m_ent;
  if (m_hashCode[std::size_t(i)] == fcode) {
    m_ent = m_hashEntry[std::size_t(i)];
    return;
  }
  if (m_hashCode[std::size_t(i)] >= 0) {
    const int disp = i == 0 ? 1 : kHashSize - i;
    do {
      i -= disp;
      if (i < 0) i += kHashSize;
      if (m_hashCode[std::size_t(i)] == fcode) {
        m_ent = m_hashEntry[std::size_t(i)];
        return;
      }
    } while (m_hashCode[std::size_t(i)] >= 0);
  }
  Output(m_ent);
  m_ent = c;
  if (m_freeEntry < kMaxMaxCode) {
    m_hashEntry[std::size_t(i)] = m_freeEntry++;
    m_hashCode[std::size_t(i)] = fcode;
  } else {
    std::fill(m_hashCode.begin(), m_hashCode.end(), -1);
    m_freeEntry = m_clear + 2;
    m_clearFlag = true;
    Output(m_clear);
  }
}

long CFrameSizeCaculater::End() {
  if (m_ent >= 0) Output(m_ent);
  Output(m_clear + 1);
  const long long data = (m_totalBits + 7) / 8;
  // Minimum code size byte, length byte per sub-block, terminator.
  return long(1 + data + (data + 254) / 255 + 1);
}

long CFrameSizeCaculater::CalculateIndexes(const BYTE* indexes, std::size_t count) {
  Begin();
  const int limit = (1 << m_codeSize) - 1;
  for (std::size_t i = 0; i < count; ++i) Add(std::min<int>(indexes[i], limit));
  return End();
}

long CFrameSizeCaculater::Calculate(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, int transparentIndex,
                                    bool interlaced) {
  if (!image || !DibHeaderValid(image) || image->biBitCount != 8) return -1;
  const LONG w = DibWidth(image), h = DibHeight(image);
  if (mask && (!DibHeaderValid(mask) || mask->biBitCount != 1 || DibWidth(mask) != w || DibHeight(mask) != h))
    return -1;
  const int limit = (1 << m_codeSize) - 1;
  const int t = std::clamp(transparentIndex, 0, limit);
  Begin();
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  const int passes = interlaced ? 4 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (LONG y = interlaced ? kStart[pass] : 0; y < h; y += interlaced ? kStep[pass] : 1) {
      const BYTE* row = DibRow(image, y);
      const BYTE* m = mask ? DibRow(mask, y) : nullptr;
      for (LONG x = 0; x < w; ++x) {
        const bool opaque = !m || ((m[x >> 3] >> (7 - (x & 7))) & 1);
        Add(opaque ? std::min<int>(row[x], limit) : t);
      }
    }
  }
  return End();
}
