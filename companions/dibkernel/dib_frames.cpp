#include "companions/dibkernel/dib_frames.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "companions/base/row_compare.h"
#include "companions/dibkernel/dib_internal.h"

namespace {

using DibKernel::detail::IsDepth;

bool Is8(const BITMAPINFOHEADER* d) { return IsDepth(d, 8); }

// A 1-bit mask of exactly w x h, or null (all opaque). ok is false for a
// mask that is present but unusable.
bool MaskFits(const BITMAPINFOHEADER* mask, LONG w, LONG h) {
  return !mask || (IsDepth(mask, 1) && DibWidth(mask) == w && DibHeight(mask) == h);
}

inline bool Bit(const BYTE* row, LONG x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
inline void SetBit(BYTE* row, LONG x) { row[x >> 3] |= BYTE(0x80 >> (x & 7)); }

// Index of pixel x in a row of a 1/4/8-bit picture.
inline int IndexAt(const BYTE* row, LONG x, int bits) {
  switch (bits) {
    case 8: return row[x];
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    default: return Bit(row, x);
  }
}

// The colour a palette index stands for (reserved byte ignored; indexes past the table read black).
inline DWORD PaletteColour(const BITMAPINFOHEADER* d, int index) {
  if (std::size_t(index) >= DibPaletteEntries(d)) return 0;
  const RGBQUAD q = DibPalette(d)[index];
  return DWORD(q.rgbBlue) | (DWORD(q.rgbGreen) << 8) | (DWORD(q.rgbRed) << 16);
}

bool DepthSupported(const BITMAPINFOHEADER* d) {
  if (!DibHeaderValid(d) || d->biCompression != BI_RGB) return DibKernel::detail::Is32(d);
  const int b = d->biBitCount;
  return b == 1 || b == 4 || b == 8 || b == 24 || b == 32;
}

}  // namespace

BOOL CompareFrame(const BITMAPINFOHEADER* imageA, const BITMAPINFOHEADER* maskA, const BITMAPINFOHEADER* imageB,
                  const BITMAPINFOHEADER* maskB) {
  if (!DepthSupported(imageA) || !DepthSupported(imageB)) return FALSE;
  const LONG w = DibWidth(imageA), h = DibHeight(imageA);
  if (DibWidth(imageB) != w || DibHeight(imageB) != h || imageA->biBitCount != imageB->biBitCount) return FALSE;
  if (!MaskFits(maskA, w, h) || !MaskFits(maskB, w, h)) return FALSE;
  const int bits = imageA->biBitCount;
  const int bytes = bits / 8;
  for (LONG y = 0; y < h; ++y) {
    const BYTE* ra = DibRow(imageA, y);
    const BYTE* rb = DibRow(imageB, y);
    const BYTE* ma = maskA ? DibRow(maskA, y) : nullptr;
    const BYTE* mb = maskB ? DibRow(maskB, y) : nullptr;
    // Fast path: identical rows with identical (or absent) masks.
    const bool sameMask = (!ma && !mb) || (ma && mb && std::memcmp(ma, mb, DibStride(maskA)) == 0);
    if (bits >= 8 && sameMask && std::memcmp(ra, rb, std::size_t(w) * bytes) == 0 &&
        (bits > 8 || std::memcmp(DibPalette(imageA), DibPalette(imageB),
                                 std::min(DibPaletteEntries(imageA), DibPaletteEntries(imageB)) * 4) == 0))
      continue;
    for (LONG x = 0; x < w; ++x) {
      const bool oa = !ma || Bit(ma, x), ob = !mb || Bit(mb, x);
      if (oa != ob) return FALSE;
      if (!oa) continue;
      if (bits <= 8) {
        if (PaletteColour(imageA, IndexAt(ra, x, bits)) != PaletteColour(imageB, IndexAt(rb, x, bits))) return FALSE;
      } else if (std::memcmp(ra + std::size_t(x) * bytes, rb + std::size_t(x) * bytes, std::size_t(bytes)) != 0) {
        return FALSE;
      }
    }
  }
  return TRUE;
}

namespace {

// Copies region r of src into a new DIB of the same depth and colour table.
BITMAPINFOHEADER* CutRegion(const BITMAPINFOHEADER* src, const RECT& r) {
  const int bits = src->biBitCount;
  const LONG w = r.right - r.left, h = r.bottom - r.top;
  const DWORD entries = bits <= 8 ? DWORD(DibPaletteEntries(src)) : 0;
  BITMAPINFOHEADER* out = DibAlloc(w, h, bits, entries);
  if (!out) return nullptr;
  if (entries) std::memcpy(DibPalette(out), DibPalette(src), entries * sizeof(RGBQUAD));
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = DibRow(src, r.top + y);
    BYTE* d = DibRow(out, y);
    if (bits >= 8) {
      std::memcpy(d, s + std::size_t(r.left) * (bits / 8), std::size_t(w) * (bits / 8));
    } else {
      for (LONG x = 0; x < w; ++x) {
        const int v = IndexAt(s, r.left + x, bits);
        if (bits == 4)
          d[x >> 1] |= BYTE(v << ((x & 1) ? 0 : 4));
        else if (v)
          SetBit(d, x);
      }
    }
  }
  return out;
}

}  // namespace

BOOL CropFrame(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, const RECT& region,
               BITMAPINFOHEADER** newImage, BITMAPINFOHEADER** newMask) {
  if (!newImage || !DepthSupported(image) || (image->biBitCount == 32 && image->biCompression != BI_RGB)) return FALSE;
  const LONG w = DibWidth(image), h = DibHeight(image);
  if (!MaskFits(mask, w, h) || (mask && !newMask)) return FALSE;
  RECT r{std::max<LONG>(region.left, 0), std::max<LONG>(region.top, 0), std::min<LONG>(region.right, w),
         std::min<LONG>(region.bottom, h)};
  if (r.right <= r.left || r.bottom <= r.top) return FALSE;
  DibPtr img(CutRegion(image, r));
  DibPtr msk(mask ? CutRegion(mask, r) : nullptr);
  if (!img || (mask && !msk)) return FALSE;
  *newImage = img.release();
  if (newMask) *newMask = msk.release();
  return TRUE;
}

BOOL CMaskedBitmapTransform::IsMaskRowFull(const BYTE* row, LONG width) {
  const LONG whole = width >> 3;  // bytes whose eight bits are all pixels
  for (LONG i = 0; i < whole; ++i)
    if (row[i] != 0xFF) return FALSE;
  const BYTE tail = BYTE(0xFF00 >> (width & 7));
  return !(width & 7) || (row[whole] & tail) == tail;
}

BOOL CMaskedBitmapTransform::IsMaskFull(const BITMAPINFOHEADER* mask) {
  if (!mask) return TRUE;
  for (LONG y = 0; y < DibHeight(mask); ++y)
    if (!IsMaskRowFull(DibRow(mask, y), DibWidth(mask))) return FALSE;
  return TRUE;
}

BOOL CMaskedBitmapTransform::FillMaskDIBBits(BITMAPINFOHEADER* mask, const RECT& rect, bool set) {
  if (!IsDepth(mask, 1)) return FALSE;
  const LONG w = DibWidth(mask), h = DibHeight(mask);
  const LONG l = std::max<LONG>(rect.left, 0), t = std::max<LONG>(rect.top, 0);
  const LONG r = std::min<LONG>(rect.right, w), b = std::min<LONG>(rect.bottom, h);
  if (l >= r) return TRUE;
  // Whole bytes at once; the partial bytes at either end bit by bit.
  const LONG firstWhole = (l + 7) & ~LONG(7), endWhole = r & ~LONG(7);
  for (LONG y = t; y < b; ++y) {
    BYTE* row = DibRow(mask, y);
    const auto put = [&](LONG x) {
      const BYTE bit = BYTE(0x80 >> (x & 7));
      row[x >> 3] = set ? BYTE(row[x >> 3] | bit) : BYTE(row[x >> 3] & ~bit);
    };
    if (firstWhole >= endWhole) {
      for (LONG x = l; x < r; ++x) put(x);
      continue;
    }
    for (LONG x = l; x < firstWhole; ++x) put(x);
    std::memset(row + (firstWhole >> 3), set ? 0xFF : 0x00, std::size_t((endWhole - firstWhole) >> 3));
    for (LONG x = endWhole; x < r; ++x) put(x);
  }
  return TRUE;
}

namespace {

inline std::uint64_t Word(const BYTE* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Bits of the eight pixels from x of a mask row, pixel x in bit 7 (the mask's
// own order); x + 8 must not pass the row's width.
inline unsigned MaskBits8(const BYTE* row, LONG x) {
  const unsigned hi = row[x >> 3];
  if ((x & 7) == 0) return hi;
  return (((hi << 8) | row[(x >> 3) + 1]) >> (8 - (x & 7))) & 0xFFu;
}

// Which of eight index pairs are equal, pixel 0 in bit 7: a zero byte of the
// difference sets its top bit, and the multiply gathers those bits into the
// top byte in reverse order (every partial product lands on its own bit).
inline unsigned EqualBits8(const BYTE* a, const BYTE* b) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full, kHigh = 0x8080808080808080ull;
  const std::uint64_t d = Word(a) ^ Word(b);
  const std::uint64_t zero = ~(((d & kLow7) + kLow7) | d) & kHigh;
  return unsigned(((zero >> 7) * 0x8040201008040201ull) >> 56);
}

// One row of B against the row of A at the same canvas height, eight pixels
// at a time: which pixels of B differ (opaque in B, not shown by A with the
// same index) and which are unchanged (opaque in both, same index).
struct RowPair {
  const BYTE *pa, *ma, *pb, *mb;  // pa null when the row lies outside A
  LONG dx, wa, wb;                // A's column of B's pixel x is x + dx

  void Group(LONG x, unsigned& differ, unsigned& same) const {
    const LONG ax = x + dx;
    if (pa && ax >= 0 && ax + 8 <= wa && x + 8 <= wb) {
      const unsigned opB = mb ? mb[x >> 3] : 0xFFu;
      const unsigned opA = ma ? MaskBits8(ma, ax) : 0xFFu;
      same = opB & opA & EqualBits8(pa + ax, pb + x);
      differ = opB & ~same & 0xFFu;
      return;
    }
    differ = same = 0;
    for (LONG k = 0; k < 8 && x + k < wb; ++k) {
      if (mb && !Bit(mb, x + k)) continue;
      const LONG a = ax + k;
      const bool eq = pa && a >= 0 && a < wa && (!ma || Bit(ma, a)) && pa[a] == pb[x + k];
      (eq ? same : differ) |= 0x80u >> k;
    }
  }

  // The first and last differing pixel of the row; false when none differs.
  bool DifferSpan(LONG& first, LONG& last) const {
    unsigned differ = 0, same = 0;
    LONG x = 0;
    for (; x < wb; x += 8) {
      Group(x, differ, same);
      if (differ) break;
    }
    if (x >= wb) return false;
    first = x + std::countl_zero(differ) - 24;
    for (LONG y = (wb - 1) & ~LONG(7);; y -= 8) {
      Group(y, differ, same);
      if (differ) {
        last = y + 7 - std::countr_zero(differ);
        return true;
      }
    }
  }

  // Whether pixels [l, r] hold an unchanged one.
  bool AnySame(LONG l, LONG r) const {
    unsigned differ = 0, same = 0;
    for (LONG x = l & ~LONG(7); x <= r; x += 8) {
      Group(x, differ, same);
      const unsigned lo = x < l ? 0xFFu >> (l - x) : 0xFFu;
      const unsigned hi = r - x < 7 ? (0xFF00u >> (r - x + 1)) & 0xFFu : 0xFFu;
      if (same & lo & hi) return true;
    }
    return false;
  }
};

}  // namespace

// The splitter walks B's rectangle once for the differing box and A's opaque
// pixels once for the cover test. Masks with every bit set count as absent,
// so opaque frames compare whole rows at once.
BOOL CSpiltEmbededDIB::Reset(const BITMAPINFOHEADER* imageA, const BITMAPINFOHEADER* maskA, POINT posA,
                             const BITMAPINFOHEADER* imageB, const BITMAPINFOHEADER* maskB, POINT posB) {
  m_valid = false;
  m_canSplit = false;
  m_empty = true;
  m_unchangedInBox = false;
  m_diff = RECT{0, 0, 0, 0};
  if (!Is8(imageA) || !Is8(imageB)) return FALSE;
  const LONG wa = DibWidth(imageA), ha = DibHeight(imageA), wb = DibWidth(imageB), hb = DibHeight(imageB);
  if (!MaskFits(maskA, wa, ha) || !MaskFits(maskB, wb, hb)) return FALSE;
  m_imageA = imageA;
  m_maskA = maskA;
  m_imageB = imageB;
  m_maskB = maskB;
  m_posA = posA;
  m_posB = posB;
  m_valid = true;
  if (CMaskedBitmapTransform::IsMaskFull(maskA)) maskA = nullptr;
  if (CMaskedBitmapTransform::IsMaskFull(maskB)) maskB = nullptr;
  m_opaqueB = !maskB;

  // Cover test: every opaque pixel of A must be opaque in B.
  const bool inside = posA.x >= posB.x && posA.y >= posB.y &&
                      std::int64_t(posA.x) + wa <= std::int64_t(posB.x) + wb &&
                      std::int64_t(posA.y) + ha <= std::int64_t(posB.y) + hb;
  m_canSplit = inside || maskA;
  for (LONG y = 0; y < ha && m_canSplit && maskB; ++y) {
    const BYTE* ma = maskA ? DibRow(maskA, y) : nullptr;
    const LONG by = posA.y + y - posB.y;
    const BYTE* mb = by >= 0 && by < hb ? DibRow(maskB, by) : nullptr;
    LONG x = 0;
    if (inside) {
      // Eight pixels of A at a time against B's mask bits at the same place.
      for (const LONG bx0 = posA.x - posB.x; x + 8 <= wa; x += 8) {
        const unsigned opA = ma ? ma[x >> 3] : 0xFFu;
        if (opA & ~MaskBits8(mb, bx0 + x)) {
          m_canSplit = false;
          break;
        }
      }
    }
    for (; x < wa && m_canSplit; ++x) {
      if (ma && !Bit(ma, x)) continue;
      const LONG bx = posA.x + x - posB.x;
      if (!mb || bx < 0 || bx >= wb || !Bit(mb, bx)) m_canSplit = false;
    }
  }
  // Without B's mask only A's opaque pixels outside B's rectangle fail.
  for (LONG y = 0; y < ha && m_canSplit && !maskB && !inside; ++y) {
    const BYTE* ma = DibRow(maskA, y);
    const LONG by = posA.y + y - posB.y;
    for (LONG x = 0; x < wa; ++x) {
      const LONG bx = posA.x + x - posB.x;
      if (Bit(ma, x) && (by < 0 || by >= hb || bx < 0 || bx >= wb)) {
        m_canSplit = false;
        break;
      }
    }
  }
  if (!m_canSplit) return TRUE;

  // Differing box: B's opaque pixels that A does not show with the same index.
  LONG l = wb, t = hb, r = -1, b = -1;
  // B's columns that lie over A.
  const LONG x0 = std::clamp<LONG>(posA.x - posB.x, 0, wb), x1 = std::clamp<LONG>(posA.x + wa - posB.x, x0, wb);
  for (LONG y = 0; y < hb; ++y) {
    const BYTE* pb = DibRow(imageB, y);
    const BYTE* mb = maskB ? DibRow(maskB, y) : nullptr;
    const LONG ay = posB.y + y - posA.y;
    const bool rowInA = ay >= 0 && ay < ha;
    const BYTE* pa = rowInA ? DibRow(imageA, ay) : nullptr;
    const BYTE* ma = rowInA && maskA ? DibRow(maskA, ay) : nullptr;
    if (!mb && !ma) {
      // Opaque rows: outside A every pixel differs; over A, the first and last mismatch.
      LONG first = -1, last = -1;
      if (!rowInA || x0 >= x1) {
        first = 0, last = wb - 1;
      } else {
        LONG f = 0, e = 0;
        const bool mismatch = MismatchSpan(pa + (x0 + posB.x - posA.x), pb + x0, x1 - x0, f, e);
        first = x0 > 0 ? 0 : mismatch ? x0 + f : -1;
        last = x1 < wb ? wb - 1 : mismatch ? x0 + e : -1;
      }
      if (first < 0) continue;
      l = std::min(l, first);
      r = std::max(r, last);
      t = std::min(t, y);
      b = std::max(b, y);
      continue;
    }
    const RowPair row{pa, ma, pb, mb, posB.x - posA.x, wa, wb};
    LONG first = 0, last = 0;
    if (!row.DifferSpan(first, last)) continue;
    l = std::min(l, first);
    r = std::max(r, last);
    t = std::min(t, y);
    b = std::max(b, y);
  }
  if (r < 0) return TRUE;
  m_empty = false;
  m_diff = RECT{posB.x + l, posB.y + t, posB.x + r + 1, posB.y + b + 1};

  for (LONG y = t; y <= b && !m_unchangedInBox; ++y) {
    const LONG ay = posB.y + y - posA.y;
    if (ay < 0 || ay >= ha) continue;
    const RowPair row{DibRow(imageA, ay), maskA ? DibRow(maskA, ay) : nullptr, DibRow(imageB, y),
                      maskB ? DibRow(maskB, y) : nullptr, posB.x - posA.x, wa, wb};
    m_unchangedInBox = row.AnySame(l, r);
  }
  return TRUE;
}

BOOL CSpiltEmbededDIB::SplitOpacity(BITMAPINFOHEADER** image, BITMAPINFOHEADER** mask, POINT* pos,
                                    bool* transparencyPossible) const {
  if (transparencyPossible) *transparencyPossible = false;
  if (!Split(image, mask, pos, -1)) return FALSE;
  if (transparencyPossible) *transparencyPossible = m_unchangedInBox;
  return TRUE;
}

BOOL CSpiltEmbededDIB::SplitTransparency(BITMAPINFOHEADER** image, BITMAPINFOHEADER** mask, POINT* pos,
                                         const SPLIT_STYLE* style) const {
  return Split(image, mask, pos, style ? int(*style) : int(SPLIT_ALL_TRANSPARENT));
}

// style -1: opaque split; otherwise a SPLIT_STYLE for unchanged pixels.
BOOL CSpiltEmbededDIB::Split(BITMAPINFOHEADER** image, BITMAPINFOHEADER** mask, POINT* pos, int style) const {
  if (!image || !mask || !pos || !IsCanSpilt() || m_empty) return FALSE;
  const LONG w = m_diff.right - m_diff.left, h = m_diff.bottom - m_diff.top;
  const DWORD entries = DWORD(DibPaletteEntries(m_imageB));
  DibPtr out(DibAlloc(w, h, 8, entries));
  DibPtr msk(DibAlloc(w, h, 1, 2));
  if (!out || !msk) return FALSE;
  std::memcpy(DibPalette(out.get()), DibPalette(m_imageB), entries * sizeof(RGBQUAD));
  DibPalette(msk.get())[1] = RGBQUAD{255, 255, 255, 0};
  const LONG wa = DibWidth(m_imageA), ha = DibHeight(m_imageA);
  const LONG ox = m_diff.left - m_posB.x, oy = m_diff.top - m_posB.y;
  constexpr int kClear = -1;  // the stored value of a transparent pixel
  for (LONG y = 0; y < h; ++y) {
    const BYTE* pb = DibRow(m_imageB, oy + y);
    const BYTE* mb = m_maskB ? DibRow(m_maskB, oy + y) : nullptr;
    const LONG ay = m_diff.top + y - m_posA.y;
    const bool rowInA = ay >= 0 && ay < ha;
    const BYTE* pa = rowInA ? DibRow(m_imageA, ay) : nullptr;
    const BYTE* ma = rowInA && m_maskA ? DibRow(m_maskA, ay) : nullptr;
    BYTE* po = DibRow(out.get(), y);
    BYTE* mo = DibRow(msk.get(), y);
    if (style < 0 && m_opaqueB) {
      // An opaque B: the box's row of B as it is, every mask bit set.
      std::memcpy(po, pb + ox, std::size_t(w));
      std::memset(mo, 0xFF, std::size_t(w >> 3));
      if (w & 7) mo[w >> 3] = BYTE(0xFF00 >> (w & 7));
      continue;
    }
    int previous = kClear;
    for (LONG x = 0; x < w; ++x) {
      const LONG bx = ox + x;
      if (mb && !Bit(mb, bx)) {
        previous = kClear;
        continue;
      }
      const BYTE v = pb[bx];
      po[x] = v;
      if (style >= 0) {
        const LONG ax = m_diff.left + x - m_posA.x;
        const bool unchanged = rowInA && ax >= 0 && ax < wa && (!ma || Bit(ma, ax)) && pa[ax] == v;
        if (unchanged && !(style == SPLIT_RUNS && previous == v)) {
          previous = kClear;
          continue;
        }
      }
      SetBit(mo, x);
      previous = v;
    }
  }
  *image = out.release();
  *mask = msk.release();
  *pos = POINT{m_diff.left, m_diff.top};
  return TRUE;
}
