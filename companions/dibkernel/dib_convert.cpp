// Depth conversions. Every reader checks the header with DibHeaderValid and
// the compression before touching pixels; every result is a new bottom-up DIB.
#include <algorithm>
#include <array>
#include <vector>

#include "companions/dibkernel/dib_internal.h"
#include "companions/dibkernel/dib_kernel.h"

using namespace DibKernel::detail;

namespace {

// Index of pixel x in a packed row of Bits-deep indices (high bits first).
template <int Bits>
inline unsigned ReadIndex(const BYTE* row, LONG x) {
  if constexpr (Bits == 8) return row[x];
  if constexpr (Bits == 4) return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
  if constexpr (Bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 0x01;
}
// Stores index v at pixel x of a zeroed packed row.
template <int Bits>
inline void WriteIndex(BYTE* row, LONG x, unsigned v) {
  if constexpr (Bits == 8) row[x] = BYTE(v);
  if constexpr (Bits == 4) row[x >> 1] |= BYTE(v << ((x & 1) ? 0 : 4));
  if constexpr (Bits == 1) row[x >> 3] |= BYTE(v << (7 - (x & 7)));
}

template <int Bits>
void IndexedTo32(const BITMAPINFOHEADER* src, BITMAPINFOHEADER* out) {
  // Indices past the colour table read as opaque black.
  std::array<std::uint32_t, 256> lut;
  lut.fill(0xFF000000u);
  const RGBQUAD* pal = DibPalette(src);
  const std::size_t n = std::min<std::size_t>(DibPaletteEntries(src), 256);
  for (std::size_t i = 0; i < n; ++i)
    lut[i] = pal[i].rgbBlue | (pal[i].rgbGreen << 8) | (pal[i].rgbRed << 16) | 0xFF000000u;
  auto sr = RowsOf(src);
  auto dr = RowsOf(out);
  const LONG w = DibWidth(src), h = DibHeight(src);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = sr.row(y);
    BYTE* d = dr.row(y);
    for (LONG x = 0; x < w; ++x) Store32(d + 4 * x, lut[ReadIndex<Bits>(s, x)]);
  }
}

struct Channel {
  DWORD mask = 0;
  int shift = 0;
  std::uint64_t max = 0;
  explicit Channel(DWORD m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  // Scales the field to 0..255; a missing field reads as `none`.
  unsigned Get(DWORD px, unsigned none) const {
    if (!max) return none;
    return unsigned(((std::uint64_t((px & mask) >> shift)) * 255 + max / 2) / max);
  }
};

template <int Bytes>
void MaskedTo32(const BITMAPINFOHEADER* src, BITMAPINFOHEADER* out, const DWORD masks[4]) {
  const Channel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  auto sr = RowsOf(src);
  auto dr = RowsOf(out);
  const LONG w = DibWidth(src), h = DibHeight(src);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = sr.row(y);
    BYTE* d = dr.row(y);
    for (LONG x = 0; x < w; ++x, s += Bytes, d += 4) {
      DWORD px = Bytes == 2 ? DWORD(s[0] | (s[1] << 8)) : Load32(s);
      Store32(d, b.Get(px, 0) | (g.Get(px, 0) << 8) | (r.Get(px, 0) << 16) | (a.Get(px, 255) << 24));
    }
  }
}

void Rgb24To32(const BITMAPINFOHEADER* src, BITMAPINFOHEADER* out) {
  auto sr = RowsOf(src);
  auto dr = RowsOf(out);
  const LONG w = DibWidth(src), h = DibHeight(src);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = sr.row(y);
    BYTE* d = dr.row(y);
    for (LONG x = 0; x < w; ++x, s += 3, d += 4) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
      d[3] = 255;
    }
  }
}

// Reads the colour masks of a BI_BITFIELDS header (red, green, blue, alpha).
// They follow the 40-byte header, or sit inside a larger header (alpha from
// 56 bytes on). Headers of 41..51 bytes hold no defined masks.
bool ReadMasks(const BITMAPINFOHEADER* dib, DWORD masks[4]) {
  if (dib->biSize != 40 && dib->biSize < 52) return false;
  const BYTE* base = reinterpret_cast<const BYTE*>(dib) + 40;
  std::memcpy(masks, base, 12);
  masks[3] = 0;
  if (dib->biSize >= 56) std::memcpy(&masks[3], base + 12, 4);
  return true;
}

// Nearest palette entry by squared RGB distance (lowest index on ties), with
// a small exact cache since pictures repeat colours.
class NearestColour {
 public:
  NearestColour(const RGBQUAD* pal, int n) : pal_(pal), n_(n) { keys_.fill(0xFFFFFFFFu); }
  unsigned Find(BYTE b, BYTE g, BYTE r) {
    const std::uint32_t key = b | (g << 8) | (r << 16);
    const std::uint32_t slot = (key * 2654435761u) >> 20;
    if (keys_[slot] == key) return idx_[slot];
    unsigned best = 0;
    int bestD = 1 << 30;
    for (int i = 0; i < n_; ++i) {
      int db = int(b) - pal_[i].rgbBlue, dg = int(g) - pal_[i].rgbGreen, dr = int(r) - pal_[i].rgbRed;
      int dist = db * db + dg * dg + dr * dr;
      if (dist < bestD) {
        bestD = dist;
        best = unsigned(i);
        if (!dist) break;
      }
    }
    keys_[slot] = key;
    idx_[slot] = BYTE(best);
    return best;
  }

 private:
  const RGBQUAD* pal_;
  int n_;
  std::array<std::uint32_t, 4096> keys_;
  std::array<BYTE, 4096> idx_{};
};

template <int Bits>
void QuantizeRows(const BITMAPINFOHEADER* src, BITMAPINFOHEADER* out, NearestColour& nearest) {
  const int bpp = src->biBitCount / 8;
  auto sr = RowsOf(src);
  auto dr = RowsOf(out);
  const LONG w = DibWidth(src), h = DibHeight(src);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = sr.row(y);
    BYTE* d = dr.row(y);
    for (LONG x = 0; x < w; ++x, s += bpp) WriteIndex<Bits>(d, x, nearest.Find(s[0], s[1], s[2]));
  }
}

template <int Bits>
BITMAPINFOHEADER* IndexedTo8(const BITMAPINFOHEADER* src) {
  if (!IsDepth(src, Bits)) return nullptr;
  const std::size_t n = DibPaletteEntries(src);
  BITMAPINFOHEADER* out = DibAlloc(DibWidth(src), DibHeight(src), 8, DWORD(n));
  if (!out) return nullptr;
  std::memcpy(DibPalette(out), DibPalette(src), n * sizeof(RGBQUAD));
  auto sr = RowsOf(src);
  auto dr = RowsOf(out);
  const LONG w = DibWidth(src), h = DibHeight(src);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = sr.row(y);
    BYTE* d = dr.row(y);
    for (LONG x = 0; x < w; ++x) d[x] = BYTE(ReadIndex<Bits>(s, x));
  }
  return out;
}

// The palette used when a 24-bit picture has more colours than the depth
// holds: black and white; the 16 standard VGA colours; a 6x6x6 colour cube
// followed by 40 grey levels.
std::vector<RGBQUAD> FixedPalette(int bits) {
  std::vector<RGBQUAD> pal;
  auto add = [&](int r, int g, int b) { pal.push_back({BYTE(b), BYTE(g), BYTE(r), 0}); };
  if (bits == 1) {
    add(0, 0, 0);
    add(255, 255, 255);
  } else if (bits == 4) {
    static const int vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                   {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                   {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                   {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (auto& c : vga) add(c[0], c[1], c[2]);
  } else {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
    for (int i = 0; i < 40; ++i) add(i * 255 / 39, i * 255 / 39, i * 255 / 39);
  }
  return pal;
}

}  // namespace

BITMAPINFOHEADER* CDIB32::ConvertTo32BitsDIB(const BITMAPINFOHEADER* dib) {
  if (!DibHeaderValid(dib)) return nullptr;
  const int bits = dib->biBitCount;
  DWORD masks[4] = {0x7C00, 0x03E0, 0x001F, 0};
  if (dib->biCompression == BI_BITFIELDS) {
    if ((bits != 16 && bits != 32) || !ReadMasks(dib, masks)) return nullptr;
  } else if (dib->biCompression != BI_RGB) {
    return nullptr;
  }
  DibPtr out(DibAlloc(DibWidth(dib), DibHeight(dib), 32));
  if (!out) return nullptr;
  switch (bits) {
    case 1: IndexedTo32<1>(dib, out.get()); break;
    case 4: IndexedTo32<4>(dib, out.get()); break;
    case 8: IndexedTo32<8>(dib, out.get()); break;
    case 16: MaskedTo32<2>(dib, out.get(), masks); break;
    case 24: Rgb24To32(dib, out.get()); break;
    case 32:
      if (dib->biCompression == BI_BITFIELDS) {
        MaskedTo32<4>(dib, out.get(), masks);
      } else {  // already BGRA: rows copied, alpha kept as stored
        auto sr = RowsOf(dib);
        auto dr = RowsOf(out.get());
        for (LONG y = 0; y < DibHeight(dib); ++y) std::memcpy(dr.row(y), sr.row(y), DibStride(dib));
      }
      break;
    default: return nullptr;
  }
  return out.release();
}

BITMAPINFOHEADER* CBitmapConverter::ConvertDIBTo24Bits(const BITMAPINFOHEADER* dib) {
  DibPtr wide(CDIB32::ConvertTo32BitsDIB(dib));
  return wide ? Convert32BitsTo24Bits(wide.get()) : nullptr;
}

BITMAPINFOHEADER* CBitmapConverter::Convert32BitsTo24Bits(const BITMAPINFOHEADER* dib) {
  if (!Is32(dib)) return nullptr;
  BITMAPINFOHEADER* out = DibAlloc(DibWidth(dib), DibHeight(dib), 24);
  if (!out) return nullptr;
  auto sr = RowsOf(dib);
  auto dr = RowsOf(out);
  const LONG w = DibWidth(dib), h = DibHeight(dib);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = sr.row(y);
    BYTE* d = dr.row(y);
    for (LONG x = 0; x < w; ++x, s += 4, d += 3) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
  return out;
}

BITMAPINFOHEADER* CBitmapConverter::Convert24BitsTo32Bits(const BITMAPINFOHEADER* dib) {
  if (!IsDepth(dib, 24)) return nullptr;
  BITMAPINFOHEADER* out = DibAlloc(DibWidth(dib), DibHeight(dib), 32);
  if (out) Rgb24To32(dib, out);
  return out;
}

BITMAPINFOHEADER* CBitmapConverter::Convert1BitsDibTo8BitsDib(const BITMAPINFOHEADER* dib) {
  return IndexedTo8<1>(dib);
}
BITMAPINFOHEADER* CBitmapConverter::Convert4BitsDibTo8BitsDib(const BITMAPINFOHEADER* dib) {
  return IndexedTo8<4>(dib);
}

BITMAPINFOHEADER* CBitmapConverter::ConvertTrueDibToLowBitsDib(const BITMAPINFOHEADER* dib, int bits,
                                                              const RGBQUAD* palette, int colours) {
  if (!(IsDepth(dib, 24) || Is32(dib)) || !palette) return nullptr;
  if ((bits != 1 && bits != 4 && bits != 8) || colours < 1 || colours > (1 << bits)) return nullptr;
  BITMAPINFOHEADER* out = DibAlloc(DibWidth(dib), DibHeight(dib), bits, DWORD(colours));
  if (!out) return nullptr;
  std::memcpy(DibPalette(out), palette, std::size_t(colours) * sizeof(RGBQUAD));
  NearestColour nearest(DibPalette(out), colours);
  switch (bits) {
    case 1: QuantizeRows<1>(dib, out, nearest); break;
    case 4: QuantizeRows<4>(dib, out, nearest); break;
    default: QuantizeRows<8>(dib, out, nearest); break;
  }
  return out;
}

BITMAPINFOHEADER* CBitmapConverter::Convert24BitsDIBToLowerBitsDIB(const BITMAPINFOHEADER* dib, int bits) {
  if (!IsDepth(dib, 24) || (bits != 1 && bits != 4 && bits != 8)) return nullptr;
  // Exact palette (colours in order of first appearance, top row first) when
  // the picture has few enough colours.
  const std::size_t limit = std::size_t(1) << bits;
  std::vector<RGBQUAD> pal;
  std::vector<std::uint32_t> seen;
  auto sr = RowsOf(dib);
  const LONG w = DibWidth(dib), h = DibHeight(dib);
  for (LONG y = 0; y < h && pal.size() <= limit; ++y) {
    const BYTE* s = sr.row(y);
    for (LONG x = 0; x < w && pal.size() <= limit; ++x, s += 3) {
      std::uint32_t key = s[0] | (s[1] << 8) | (s[2] << 16);
      auto it = std::lower_bound(seen.begin(), seen.end(), key);
      if (it != seen.end() && *it == key) continue;
      seen.insert(it, key);
      pal.push_back({s[0], s[1], s[2], 0});
    }
  }
  if (pal.size() > limit) pal = FixedPalette(bits);
  return ConvertTrueDibToLowBitsDib(dib, bits, pal.data(), int(pal.size()));
}
