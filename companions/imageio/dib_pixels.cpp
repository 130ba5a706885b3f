#include "companions/imageio/dib_pixels.h"

#include <cstring>

namespace TevImageIO {

namespace {

// Shift and width of a contiguous bit mask; width 0 when the mask is empty.
void MaskShape(DWORD mask, int& shift, int& width) {
  shift = 0;
  width = 0;
  if (!mask) return;
  while (!(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++width;
  }
}

BYTE Expand(DWORD value, int shift, int width) {
  if (width == 0) return 0;
  DWORD v = (value >> shift) & ((width >= 32) ? 0xFFFFFFFFu : ((1u << width) - 1));
  if (width >= 8) return BYTE(v >> (width - 8));
  // Replicate the high bits into the low ones so full scale maps to 255.
  DWORD out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << width) | v;
    filled += width;
  }
  return BYTE(out >> (filled - 8));
}

}  // namespace

bool DibReadable(const BITMAPINFOHEADER* dib) {
  if (!dib || !DibHeaderValid(dib)) return false;
  if (dib->biCompression == BI_RGB) return true;
  return dib->biCompression == BI_BITFIELDS && (dib->biBitCount == 16 || dib->biBitCount == 32);
}

void DibRowToBgra(const BITMAPINFOHEADER* dib, LONG y, BYTE* out) {
  const LONG w = DibWidth(dib);
  const BYTE* row = DibRow(dib, y);
  const int bits = dib->biBitCount;
  if (bits <= 8) {
    const RGBQUAD* pal = DibPalette(dib);
    const std::size_t entries = DibPaletteEntries(dib);
    for (LONG x = 0; x < w; ++x) {
      std::size_t idx = std::size_t(DibIndexAt(dib, y, x));
      BYTE* o = out + x * 4;
      if (idx < entries) {
        o[0] = pal[idx].rgbBlue;
        o[1] = pal[idx].rgbGreen;
        o[2] = pal[idx].rgbRed;
      } else {
        o[0] = o[1] = o[2] = 0;
      }
      o[3] = 255;
    }
    return;
  }
  if (bits == 24) {
    for (LONG x = 0; x < w; ++x) {
      out[x * 4] = row[x * 3];
      out[x * 4 + 1] = row[x * 3 + 1];
      out[x * 4 + 2] = row[x * 3 + 2];
      out[x * 4 + 3] = 255;
    }
    return;
  }
  if (bits == 32 && dib->biCompression == BI_RGB) {
    std::memcpy(out, row, std::size_t(w) * 4);
    return;
  }
  DWORD rm, gm, bm, am = 0;
  if (dib->biCompression == BI_BITFIELDS) {
    const BYTE* m = reinterpret_cast<const BYTE*>(dib + 1);
    std::memcpy(&rm, m, 4);
    std::memcpy(&gm, m + 4, 4);
    std::memcpy(&bm, m + 8, 4);
  } else if (bits == 16) {
    rm = 0x7C00;
    gm = 0x03E0;
    bm = 0x001F;
  } else {
    rm = 0xFF0000;
    gm = 0xFF00;
    bm = 0xFF;
    am = 0xFF000000;
  }
  int rs, rw, gs, gw, bs, bw, as, aw;
  MaskShape(rm, rs, rw);
  MaskShape(gm, gs, gw);
  MaskShape(bm, bs, bw);
  MaskShape(am, as, aw);
  for (LONG x = 0; x < w; ++x) {
    DWORD v;
    if (bits == 16) {
      v = DWORD(row[x * 2]) | (DWORD(row[x * 2 + 1]) << 8);
    } else {
      v = DWORD(row[x * 4]) | (DWORD(row[x * 4 + 1]) << 8) | (DWORD(row[x * 4 + 2]) << 16) |
          (DWORD(row[x * 4 + 3]) << 24);
    }
    out[x * 4] = Expand(v, bs, bw);
    out[x * 4 + 1] = Expand(v, gs, gw);
    out[x * 4 + 2] = Expand(v, rs, rw);
    out[x * 4 + 3] = aw ? Expand(v, as, aw) : 255;
  }
}

int DibIndexAt(const BITMAPINFOHEADER* dib, LONG y, LONG x) {
  const BYTE* row = DibRow(dib, y);
  switch (dib->biBitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case 8: return row[x];
    default: return 0;
  }
}

void ApplyMaskRow(const BITMAPINFOHEADER* mask, LONG y, BYTE* bgra, LONG width) {
  if (!mask || mask->biBitCount != 1 || DibWidth(mask) != width || y >= DibHeight(mask)) return;
  for (LONG x = 0; x < width; ++x)
    if (!DibIndexAt(mask, y, x)) bgra[x * 4 + 3] = 0;
}

void ApplyTransparentIndexRow(const BITMAPINFOHEADER* dib, LONG y, int index, BYTE* bgra) {
  if (index < 0 || dib->biBitCount > 8) return;
  const LONG w = DibWidth(dib);
  for (LONG x = 0; x < w; ++x)
    if (DibIndexAt(dib, y, x) == index) bgra[x * 4 + 3] = 0;
}

}  // namespace TevImageIO
