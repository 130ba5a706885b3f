// CTevObjImage: ownership, creation, accessors, pixel and palette access,
// depth conversions and alpha channel operations.
#include "imaging/obj_image.h"

#include <cstring>
#include <new>
#include <vector>

namespace TevImageTransform {

namespace {

constexpr DWORD kMaxHeaderSize = 4096;

BITMAPINFOHEADER* AllocZeroed(std::size_t total) {
  return reinterpret_cast<BITMAPINFOHEADER*>(DibAllocBytes(total, true));
}

std::size_t PixelBytes(const BITMAPINFOHEADER* h) {
  return DibPitch(h->biWidth, h->biBitCount) * std::size_t(h->biHeight);
}

}  // namespace

bool CTevObjImage::IsUsableHeader(const BITMAPINFOHEADER* h) {
  if (!h) return false;
  if (h->biSize < sizeof(BITMAPINFOHEADER) || h->biSize > kMaxHeaderSize) return false;
  if (h->biWidth < 1 || h->biWidth > kMaxDibDimension) return false;
  if (h->biHeight < 1 || h->biHeight > kMaxDibDimension) return false;
  if (h->biCompression != BI_RGB && h->biCompression != BI_BITFIELDS) return false;
  switch (h->biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (h->biBitCount <= 8 && h->biClrUsed > (DWORD(1) << h->biBitCount)) return false;
  if (h->biBitCount > 8 && h->biClrUsed > 256) return false;
  return PixelBytes(h) <= kMaxDibBytes;
}

CTevObjImage::CTevObjImage(int width, int height, int bits) { Create(width, height, bits, 0); }

CTevObjImage::CTevObjImage(const CTevObjImage& other) { *this = other; }

CTevObjImage& CTevObjImage::operator=(const CTevObjImage& other) {
  if (&other == this) return *this;
  if (!other.dib_) {
    Destroy();
  } else if (other.attached_) {
    Attach(other.dib_);
  } else {
    Create(other.dib_);
  }
  return *this;
}

CTevObjImage::~CTevObjImage() { Destroy(); }

void CTevObjImage::Adopt(BITMAPINFOHEADER* dib, int attached) {
  Destroy();
  dib_ = dib;
  attached_ = attached;
}

bool CTevObjImage::Attach(BITMAPINFOHEADER* dib) {
  if (dib == dib_ && dib) return true;  // already ours: keep the ownership as it is
  Destroy();
  if (!IsUsableHeader(dib)) return false;
  dib_ = dib;
  attached_ = 1;
  return true;
}

BITMAPINFOHEADER* CTevObjImage::Detch() {
  BITMAPINFOHEADER* dib = dib_;
  dib_ = nullptr;
  attached_ = 0;
  return dib;
}

void CTevObjImage::Destroy() {
  if (dib_ && !attached_) DibFree(dib_);
  dib_ = nullptr;
  attached_ = 0;
}

bool CTevObjImage::Create(int width, int height, int bits, int clrUsed) {
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) return false;
  switch (bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  std::size_t entries = 0;
  if (bits <= 8) {
    if (clrUsed < 0 || clrUsed > (1 << bits)) return false;
    entries = clrUsed ? std::size_t(clrUsed) : (std::size_t(1) << bits);
  }
  std::size_t pixels = DibPitch(width, bits) * std::size_t(height);
  if (pixels > kMaxDibBytes) return false;
  BITMAPINFOHEADER* dib = AllocZeroed(sizeof(BITMAPINFOHEADER) + entries * 4 + pixels);
  if (!dib) return false;
  dib->biSize = sizeof(BITMAPINFOHEADER);
  dib->biWidth = width;
  dib->biHeight = height;
  dib->biPlanes = 1;
  dib->biBitCount = WORD(bits);
  dib->biCompression = BI_RGB;
  dib->biClrUsed = bits <= 8 ? DWORD(clrUsed) : 0;
  Adopt(dib, 0);
  return true;
}

bool CTevObjImage::Create(const BITMAPINFOHEADER* src) {
  if (!IsUsableHeader(src)) return false;
  std::size_t total = src->biSize + std::size_t(CalcuPaletteSize(src)) + PixelBytes(src);
  BYTE* mem = DibAllocBytes(total, false);
  if (!mem) return false;
  std::memcpy(mem, src, total);  // before Adopt: src may be our own DIB
  Adopt(reinterpret_cast<BITMAPINFOHEADER*>(mem), 0);
  return true;
}

bool CTevObjImage::CreateLike(const BITMAPINFOHEADER* model, int width, int height) {
  if (!model) return false;
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = model->biBitCount;
  h.biCompression = model->biCompression;
  h.biClrUsed = model->biBitCount <= 8 ? model->biClrUsed : 0;
  if (!IsUsableHeader(&h)) return false;
  std::size_t palette = std::size_t(CalcuPaletteSize(&h));
  BITMAPINFOHEADER* dib = AllocZeroed(sizeof h + palette + PixelBytes(&h));
  if (!dib) return false;
  std::memcpy(dib, &h, sizeof h);
  // Masks sit right after the first 40 header bytes whatever the header size.
  if (h.biCompression == BI_BITFIELDS)
    std::memcpy(reinterpret_cast<BYTE*>(dib) + sizeof h, reinterpret_cast<const BYTE*>(model) + sizeof h, 12);
  Adopt(dib, 0);
  return true;
}

int CTevObjImage::GetPitch() const { return dib_ ? int(DibPitch(dib_->biWidth, dib_->biBitCount)) : 0; }

int CTevObjImage::GetPaletteEntryCount(const BITMAPINFOHEADER* dib) {
  if (!dib || dib->biBitCount > 8) return 0;
  return dib->biClrUsed ? int(dib->biClrUsed) : (1 << dib->biBitCount);
}

int CTevObjImage::CalcuPaletteSize(const BITMAPINFOHEADER* dib) {
  if (!dib) return 0;
  if (dib->biBitCount <= 8) return GetPaletteEntryCount(dib) * 4;
  // Masks: inside a larger header they are already counted by biSize.
  if (dib->biCompression == BI_BITFIELDS) return dib->biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
  return int(dib->biClrUsed) * 4;  // optional colour table of a true-colour DIB
}

DWORD CTevObjImage::GetBitField() const {
  if (!dib_ || dib_->biBitCount != 16) return 0;
  if (dib_->biCompression != BI_BITFIELDS) return 0x3E0;
  DWORD green;
  std::memcpy(&green, reinterpret_cast<const BYTE*>(dib_) + sizeof(BITMAPINFOHEADER) + 4, 4);
  return green;
}

BYTE* CTevObjImage::GetMemStart() const {
  if (!dib_) return nullptr;
  return reinterpret_cast<BYTE*>(dib_) + dib_->biSize + CalcuPaletteSize();
}

BYTE* CTevObjImage::GetBits(int row) const {
  if (!dib_ || row < 0 || row >= dib_->biHeight) return nullptr;
  return GetMemStart() + std::size_t(dib_->biHeight - 1 - row) * std::size_t(GetPitch());
}

BYTE* CTevObjImage::GetBits(int x, int row) const {
  if (!IsInside(x, row)) return nullptr;
  BYTE* p = GetBits(row);
  switch (dib_->biBitCount) {
    case 32: return p + std::size_t(x) * 4;
    case 8: return p + x;
    default: return p + (std::size_t(dib_->biBitCount) * std::size_t(x)) / 8;
  }
}

void CTevObjImage::BoundRect(RECT& r) const {
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > Width()) r.right = Width();
  if (r.bottom > Height()) r.bottom = Height();
}

DWORD CTevObjImage::GetPixelData(int x, int y) const {
  const BYTE* p = GetBits(x, y);
  if (!p) return 0;
  switch (dib_->biBitCount) {
    case 1: return (*p >> (7 - x % 8)) & 1;
    case 4: return (x % 2 == 0) ? (*p >> 4) : (*p & 0x0F);
    case 8: return *p;
    case 16: return DWORD(p[0]) | (DWORD(p[1]) << 8);
    case 24: return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16);
    case 32: {
      DWORD v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
  return 0;
}

void CTevObjImage::SetPixelData(int x, int y, DWORD v) {
  BYTE* p = GetBits(x, y);
  if (!p) return;
  switch (dib_->biBitCount) {
    case 1: {
      BYTE bit = BYTE(0x80 >> (x % 8));
      *p = (v & 1) ? BYTE(*p | bit) : BYTE(*p & ~bit);
      break;
    }
    case 4:
      *p = (x % 2 == 0) ? BYTE((*p & 0x0F) | ((v & 0x0F) << 4)) : BYTE((*p & 0xF0) | (v & 0x0F));
      break;
    case 8: *p = BYTE(v); break;
    case 16: p[0] = BYTE(v); p[1] = BYTE(v >> 8); break;
    case 24: p[0] = BYTE(v); p[1] = BYTE(v >> 8); p[2] = BYTE(v >> 16); break;
    case 32: std::memcpy(p, &v, 4); break;
  }
}

bool CTevObjImage::GetColorTable(int first, int count, RGBQUAD* out) const {
  if (!dib_ || dib_->biBitCount > 8 || first < 0 || !out) return false;
  if (count < 1) return true;
  const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(dib_) + dib_->biSize);
  int entries = GetPaletteEntryCount();
  for (int i = 0; i < count && first + i < entries; ++i) out[i] = table[first + i];
  return true;
}

bool CTevObjImage::SetColorTable(int first, int count, const RGBQUAD* in) {
  if (!dib_ || dib_->biBitCount > 8 || first < 0 || !in) return false;
  if (count < 1) return true;
  auto* table = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(dib_) + dib_->biSize);
  int entries = GetPaletteEntryCount();
  for (int i = 0; i < count && first + i < entries; ++i) table[first + i] = in[i];
  return true;
}

void CTevObjImage::CopyPalette(const CTevObjImage& other) {
  if (!dib_ || !other.dib_ || &other == this) return;
  if (ColorBits() != other.ColorBits() || ColorBits() > 8) return;
  std::vector<RGBQUAD> table(std::size_t(1) << ColorBits(), RGBQUAD{});
  other.GetColorTable(0, int(table.size()), table.data());
  SetColorTable(0, int(table.size()), table.data());
}

void CTevObjImage::__SetGrayPalette() {
  int entries = GetPaletteEntryCount();
  if (!dib_ || ColorBits() > 8 || entries < 1) return;
  int step = entries > 1 ? 255 / (entries - 1) : 0;
  std::vector<RGBQUAD> table(static_cast<std::size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    BYTE v = BYTE(i * step);
    table[std::size_t(i)] = RGBQUAD{v, v, v, 0};
  }
  SetColorTable(0, entries, table.data());
}

RGBQUAD CTevObjImage::__Split16Bit_555(unsigned short v) {
  return RGBQUAD{BYTE((v << 3) & 0xF8), BYTE((v >> 2) & 0xF8), BYTE((v >> 7) & 0xF8), 0};
}

RGBQUAD CTevObjImage::__Split16Bit_565(unsigned short v) {
  return RGBQUAD{BYTE((v << 3) & 0xF8), BYTE((v >> 3) & 0xFC), BYTE((v >> 8) & 0xF8), 0};
}

void CTevObjImage::ConvertTo24Bit() { __ConvertToTrueColor(24); }

void CTevObjImage::ConvertTo32Bit() {
  __ConvertToTrueColor(32);
  SetAlphaChannelValue(255);
}

void CTevObjImage::__ConvertToTrueColor(int bits) {
  if (!dib_ || (bits != 24 && bits != 32) || ColorBits() == bits) return;
  CTevObjImage old;
  old.dib_ = dib_;
  old.attached_ = attached_;
  dib_ = nullptr;
  attached_ = 0;
  const int w = old.Width(), h = old.Height(), srcBits = old.ColorBits();
  if (!Create(w, h, bits, 0)) return;  // object stays empty; old frees its own memory

  RGBQUAD table[256] = {};
  if (srcBits <= 8) old.GetColorTable(0, 1 << srcBits, table);
  const bool is565 = old.GetBitField() == 0x7E0;
  const int outStep = bits / 8;
  for (int y = 0; y < h; ++y) {
    const BYTE* s = old.GetBits(y);
    BYTE* d = GetBits(y);
    for (int x = 0; x < w; ++x, d += outStep) {
      RGBQUAD c{};
      switch (srcBits) {
        case 1: c = table[(s[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: c = table[(x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4)]; break;
        case 8: c = table[s[x]]; break;
        case 16: {
          unsigned short v = (unsigned short)(s[2 * x] | (s[2 * x + 1] << 8));
          c = is565 ? __Split16Bit_565(v) : __Split16Bit_555(v);
          break;
        }
        case 24: c = RGBQUAD{s[3 * x], s[3 * x + 1], s[3 * x + 2], 0}; break;
        case 32: c = RGBQUAD{s[4 * x], s[4 * x + 1], s[4 * x + 2], 0}; break;
      }
      d[0] = c.rgbBlue;
      d[1] = c.rgbGreen;
      d[2] = c.rgbRed;
    }
  }
}

bool CTevObjImage::GetAlphaChannel(CTevObjImage* out) const {
  if (!dib_ || ColorBits() != 32 || !out || out == this) return false;
  if (!out->Create(Width(), Height(), 8, 0)) return false;
  for (int y = 0; y < Height(); ++y) {
    const BYTE* s = GetBits(y);
    BYTE* d = out->GetBits(y);
    for (int x = 0; x < Width(); ++x) d[x] = s[4 * x + 3];
  }
  return true;
}

bool CTevObjImage::AppendAlphaChannel(const CTevObjImage& mask) {
  if (!dib_ || ColorBits() != 32 || mask.ColorBits() != 8) return false;
  if (mask.Width() != Width() || mask.Height() != Height()) return false;
  for (int y = 0; y < Height(); ++y) {
    const BYTE* s = mask.GetBits(y);
    BYTE* d = GetBits(y);
    for (int x = 0; x < Width(); ++x) d[4 * x + 3] = s[x];
  }
  return true;
}

void CTevObjImage::SetAlphaChannelValue(int alpha) {
  if (!dib_ || ColorBits() != 32) return;
  const BYTE a = BYTE(alpha);
  for (int y = 0; y < Height(); ++y) {
    BYTE* d = GetBits(y);
    for (int x = 0; x < Width(); ++x) d[4 * x + 3] = a;
  }
}

}  // namespace TevImageTransform
