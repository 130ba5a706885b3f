// Packed DIB layout and ownership.
//
// A packed DIB is one allocation: a 40-byte BITMAPINFOHEADER, the colour table
// (depths 1, 4 and 8; biClrUsed entries, or 2^depth when biClrUsed is 0), the
// three DWORD masks for BI_BITFIELDS, then the pixel rows. Rows are stored
// bottom-up (positive biHeight) and each is padded to a multiple of 4 bytes.
// 32-bit pixels are B, G, R, A with alpha 255 opaque.
//
// Routines that hand out a DIB return a BITMAPINFOHEADER* allocated with
// DibAlloc; the caller owns it and frees it with DibFree (or wraps it in a
// DibPtr). Row arguments count from the top of the picture unless a name says
// otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "companions/base/win_types.h"

// Largest width or height any routine accepts, and the largest pixel payload;
// keeps size arithmetic far from overflow and bounds allocations from files.
constexpr LONG kMaxDibDimension = 65535;
constexpr std::size_t kMaxDibBytes = std::size_t(1) << 31;

// Bytes per stored row: width * bits rounded up to a multiple of 32 bits.
constexpr std::size_t DibPitch(LONG width, int bits) {
  return ((std::size_t(width < 0 ? 0 : width) * std::size_t(bits) + 31) / 32) * 4;
}

// Colour-table entries a header implies (0 for 16/24/32 bits unless biClrUsed says so).
std::size_t DibPaletteEntries(const BITMAPINFOHEADER* bih);
// Bytes between the end of the header and the first pixel row
// (colour table, or 12 bytes of masks for BI_BITFIELDS).
std::size_t DibPaletteBytes(const BITMAPINFOHEADER* bih);
inline LONG DibWidth(const BITMAPINFOHEADER* bih) { return bih->biWidth; }
inline LONG DibHeight(const BITMAPINFOHEADER* bih) { return bih->biHeight < 0 ? -bih->biHeight : bih->biHeight; }
inline bool DibTopDown(const BITMAPINFOHEADER* bih) { return bih->biHeight < 0; }
inline std::size_t DibStride(const BITMAPINFOHEADER* bih) { return DibPitch(bih->biWidth, bih->biBitCount); }
inline std::size_t DibImageBytes(const BITMAPINFOHEADER* bih) { return DibStride(bih) * std::size_t(DibHeight(bih)); }
// Total bytes of the packed DIB (header + palette + rows).
std::size_t DibTotalBytes(const BITMAPINFOHEADER* bih);

inline RGBQUAD* DibPalette(BITMAPINFOHEADER* bih) { return reinterpret_cast<RGBQUAD*>(bih + 1); }
inline const RGBQUAD* DibPalette(const BITMAPINFOHEADER* bih) { return reinterpret_cast<const RGBQUAD*>(bih + 1); }
inline BYTE* DibBits(BITMAPINFOHEADER* bih) { return reinterpret_cast<BYTE*>(bih + 1) + DibPaletteBytes(bih); }
inline const BYTE* DibBits(const BITMAPINFOHEADER* bih) {
  return reinterpret_cast<const BYTE*>(bih + 1) + DibPaletteBytes(bih);
}
// Row y counted from the top of the picture, for either storage order.
inline BYTE* DibRow(BITMAPINFOHEADER* bih, LONG y) {
  LONG stored = DibTopDown(bih) ? y : DibHeight(bih) - 1 - y;
  return DibBits(bih) + std::size_t(stored) * DibStride(bih);
}
inline const BYTE* DibRow(const BITMAPINFOHEADER* bih, LONG y) {
  LONG stored = DibTopDown(bih) ? y : DibHeight(bih) - 1 - y;
  return DibBits(bih) + std::size_t(stored) * DibStride(bih);
}

// Checks a header's fields before anything trusts them: size 40 or more,
// 1 <= width, height <= kMaxDibDimension, one plane, a depth of 1/4/8/16/24/32,
// a palette no larger than the depth allows, and a pixel payload within
// kMaxDibBytes. When available is non-zero the whole DIB must fit in it.
bool DibHeaderValid(const BITMAPINFOHEADER* bih, std::size_t available = 0);

// Allocates a zeroed packed DIB of the given size and depth (bottom-up,
// BI_RGB, biClrUsed palette entries for depths <= 8, 2^bits when clrUsed is 0).
// Returns null on invalid arguments or allocation failure.
BITMAPINFOHEADER* DibAlloc(LONG width, LONG height, int bits, DWORD clrUsed = 0);
// DibAlloc for callers that write every pixel row themselves: the header and
// palette are set (palette zeroed) but the pixel bytes are left as allocated,
// which spares a pass over large or many pictures.
BITMAPINFOHEADER* DibAllocForWrite(LONG width, LONG height, int bits, DWORD clrUsed = 0);
// Frees a DIB from DibAlloc or any routine that hands out DIBs. Null is fine.
void DibFree(const BITMAPINFOHEADER* bih);
// The memory every DIB lives in, for code that lays out a DIB itself: total
// bytes (zeroed when zero is true) that DibFree releases; null when memory
// runs out. Blocks of 1 MiB or more have their pages mapped at once, since
// they are about to be written whole.
BYTE* DibAllocBytes(std::size_t total, bool zero);
// Deep copy (same layout); null on failure.
BITMAPINFOHEADER* DibCopy(const BITMAPINFOHEADER* bih);

struct DibDeleter {
  void operator()(const BITMAPINFOHEADER* p) const { DibFree(p); }
};
using DibPtr = std::unique_ptr<BITMAPINFOHEADER, DibDeleter>;
