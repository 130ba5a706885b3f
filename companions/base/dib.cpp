#include "companions/base/dib.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

std::size_t DibPaletteEntries(const BITMAPINFOHEADER* bih) {
  if (bih->biBitCount <= 8) {
    std::size_t full = std::size_t(1) << bih->biBitCount;
    return bih->biClrUsed ? bih->biClrUsed : full;
  }
  return bih->biClrUsed;
}

std::size_t DibPaletteBytes(const BITMAPINFOHEADER* bih) {
  std::size_t extra = bih->biSize > sizeof(BITMAPINFOHEADER) ? bih->biSize - sizeof(BITMAPINFOHEADER) : 0;
  if (bih->biCompression == BI_BITFIELDS && bih->biSize == sizeof(BITMAPINFOHEADER))
    return extra + 3 * sizeof(DWORD);
  return extra + DibPaletteEntries(bih) * sizeof(RGBQUAD);
}

std::size_t DibTotalBytes(const BITMAPINFOHEADER* bih) {
  return sizeof(BITMAPINFOHEADER) + DibPaletteBytes(bih) + DibImageBytes(bih);
}

bool DibHeaderValid(const BITMAPINFOHEADER* bih, std::size_t available) {
  if (!bih) return false;
  if (bih->biSize < sizeof(BITMAPINFOHEADER) || bih->biSize > 4096) return false;
  if (bih->biWidth < 1 || bih->biWidth > kMaxDibDimension) return false;
  LONG h = bih->biHeight;
  if (h == 0 || h < -kMaxDibDimension || h > kMaxDibDimension) return false;
  if (bih->biPlanes != 1) return false;
  switch (bih->biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (bih->biBitCount <= 8 && bih->biClrUsed > (DWORD(1) << bih->biBitCount)) return false;
  if (bih->biBitCount > 8 && bih->biClrUsed > 256) return false;
  if (DibImageBytes(bih) > kMaxDibBytes) return false;
  if (available && DibTotalBytes(bih) > available) return false;
  return true;
}

namespace {

// A large picture is about to be written whole: its pages are asked for in
// one call rather than faulted in 4 KiB at a time as the pixels are first
// written, which takes about half the time (most on virtual machines).
// Kernels without the call refuse it and nothing changes.
void PopulatePages(BYTE* mem, std::size_t size) {
#if defined(__linux__)
  constexpr std::size_t kMinSize = std::size_t(1) << 20;
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, Linux 5.14
  if (size < kMinSize) return;
  static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(mem) + page - 1) & ~(page - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(mem) + size) & ~(page - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, kPopulateWrite);
#else
  (void)mem;
  (void)size;
#endif
}

BITMAPINFOHEADER* AllocDib(LONG width, LONG height, int bits, DWORD clrUsed, bool zeroPixels) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = WORD(bits);
  h.biCompression = BI_RGB;
  h.biClrUsed = bits <= 8 ? (clrUsed ? clrUsed : (DWORD(1) << bits)) : 0;
  if (!DibHeaderValid(&h)) return nullptr;
  h.biSizeImage = DWORD(DibImageBytes(&h));
  std::size_t total = DibTotalBytes(&h);
  BYTE* mem = DibAllocBytes(total, zeroPixels);
  if (!mem) return nullptr;
  if (!zeroPixels) std::memset(mem, 0, total - h.biSizeImage);
  std::memcpy(mem, &h, sizeof h);
  return reinterpret_cast<BITMAPINFOHEADER*>(mem);
}

}  // namespace

BITMAPINFOHEADER* DibAlloc(LONG width, LONG height, int bits, DWORD clrUsed) {
  return AllocDib(width, height, bits, clrUsed, true);
}

BITMAPINFOHEADER* DibAllocForWrite(LONG width, LONG height, int bits, DWORD clrUsed) {
  return AllocDib(width, height, bits, clrUsed, false);
}

BYTE* DibAllocBytes(std::size_t total, bool zero) {
  // calloc hands out fresh pages without clearing them again, which matters
  // for the large pictures an import or an export allocates.
  auto* mem = static_cast<BYTE*>(zero ? std::calloc(total, 1) : std::malloc(total));
  if (mem) PopulatePages(mem, total);
  return mem;
}

void DibFree(const BITMAPINFOHEADER* bih) {
  std::free(const_cast<BITMAPINFOHEADER*>(bih));
}

BITMAPINFOHEADER* DibCopy(const BITMAPINFOHEADER* bih) {
  if (!DibHeaderValid(bih)) return nullptr;
  std::size_t total = DibTotalBytes(bih);
  BYTE* mem = DibAllocBytes(total, false);
  if (!mem) return nullptr;
  std::memcpy(mem, bih, total);
  return reinterpret_cast<BITMAPINFOHEADER*>(mem);
}
