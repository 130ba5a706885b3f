// Creation, cloning and whole-picture fills of DIBs.
#include <algorithm>

#include "companions/dibkernel/dib_internal.h"
#include "companions/dibkernel/dib_kernel.h"

using namespace DibKernel::detail;

namespace {
std::uint32_t Bgra(COLORREF colour, BYTE alpha) {
  return std::uint32_t(GetBValue(colour)) | (std::uint32_t(GetGValue(colour)) << 8) |
         (std::uint32_t(GetRValue(colour)) << 16) | (std::uint32_t(alpha) << 24);
}

void FillRect32(BITMAPINFOHEADER* dib, std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b,
                std::uint32_t px) {
  l = std::max<std::int64_t>(l, 0);
  t = std::max<std::int64_t>(t, 0);
  r = std::min<std::int64_t>(r, DibWidth(dib));
  b = std::min<std::int64_t>(b, DibHeight(dib));
  if (l >= r || t >= b) return;
  auto rows = RowsOf(dib);
  for (std::int64_t y = t; y < b; ++y) {
    auto* p = reinterpret_cast<std::uint32_t*>(rows.row(y)) + l;
    std::fill(p, p + (r - l), px);
  }
}
}  // namespace

BITMAPINFOHEADER* CBitmapCreator::CreateDibImage(LONG width, LONG height, int bits, DWORD clrUsed) {
  return DibAlloc(width, height, bits, clrUsed);
}

BITMAPINFOHEADER* CBitmapCreator::Clone(const BITMAPINFOHEADER* dib) { return DibCopy(dib); }

BITMAPINFOHEADER* CBitmapCreator::Clone32BitsDIB(const BITMAPINFOHEADER* dib) {
  return Is32(dib) ? DibCopy(dib) : nullptr;
}

BITMAPINFOHEADER* CDIB32::CreateBlank32BitsDIB(LONG width, LONG height) { return DibAlloc(width, height, 32); }

BITMAPINFOHEADER* CDIB32::CreateSimple32BitsDIB(LONG width, LONG height, COLORREF colour, BYTE alpha) {
  BITMAPINFOHEADER* dib = DibAlloc(width, height, 32);
  if (dib) Init32DIBBackground(dib, colour, alpha);
  return dib;
}

void CDIB32::Init32DIBBackground(BITMAPINFOHEADER* dib, COLORREF colour, BYTE alpha) {
  if (Is32(dib)) FillRect32(dib, 0, 0, DibWidth(dib), DibHeight(dib), Bgra(colour, alpha));
}

void CDIB32::Fill32DIBBackground(BITMAPINFOHEADER* dib, COLORREF colour) {
  if (!Is32(dib)) return;
  const std::uint32_t bg = Bgra(colour, 255);
  auto rows = RowsOf(dib);
  const LONG w = DibWidth(dib), h = DibHeight(dib);
  for (LONG y = 0; y < h; ++y) {
    BYTE* p = rows.row(y);
    for (LONG x = 0; x < w; ++x, p += 4) Store32(p, BlendPixel(bg, Load32(p), 255));
  }
}

void CDIB32::Fill32DIBOpacityArea(BITMAPINFOHEADER* dib, const RECT& rect, COLORREF colour, BYTE alpha) {
  if (Is32(dib)) FillRect32(dib, rect.left, rect.top, rect.right, rect.bottom, Bgra(colour, alpha));
}
