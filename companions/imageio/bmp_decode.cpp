#include "companions/imageio/bmp_decode.h"

#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

namespace {

constexpr DWORD kBiAlphaBitfields = 6;

int Bad(std::string& reason, const char* text, int code = IMAGEIO_ERR_FORMAT) {
  reason = std::string("BMP: ") + text;
  return code;
}

// Run-length decoding into an 8-bit index buffer (rows bottom-up as stored).
// Pixels outside the picture are dropped; a stream that ends early leaves zeros.
void DecodeRle(const BYTE* src, std::size_t len, bool rle4, LONG w, LONG h, std::vector<BYTE>& out) {
  out.assign(std::size_t(w) * std::size_t(h), 0);
  std::size_t i = 0;
  LONG x = 0, y = 0;  // y counts stored rows (bottom first)
  auto put = [&](BYTE v) {
    if (x < w && y < h) out[std::size_t(y) * std::size_t(w) + std::size_t(x)] = v;
    ++x;
  };
  while (i + 1 < len && y < h) {
    BYTE n = src[i], v = src[i + 1];
    i += 2;
    if (n > 0) {
      for (int k = 0; k < n && x < w; ++k) put(rle4 ? ((k & 1) ? (v & 0x0F) : (v >> 4)) : v);
      continue;
    }
    if (v == 0) {  // end of line
      x = 0;
      ++y;
    } else if (v == 1) {  // end of bitmap
      break;
    } else if (v == 2) {  // delta
      if (i + 1 >= len) break;
      x += src[i];
      y += src[i + 1];
      i += 2;
    } else {  // absolute run of v pixels, padded to a word
      std::size_t bytes = rle4 ? (std::size_t(v) + 1) / 2 : v;
      if (bytes > len - i) break;
      for (int k = 0; k < v; ++k) {
        BYTE b = src[i + (rle4 ? std::size_t(k / 2) : std::size_t(k))];
        put(rle4 ? ((k & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      i += (bytes + 1) & ~std::size_t(1);
    }
  }
}

}  // namespace

int DecodeBmpInfo(const BYTE* data, std::size_t size, std::size_t infoOffset, std::size_t bitsOffset,
                  bool iconEntry, DibPtr& picture, DibPtr* mask, std::string& reason, std::uint64_t maxPixels) {
  ByteReader r(data, size);
  if (!r.Seek(infoOffset)) return Bad(reason, "header outside the file");
  const DWORD headerSize = r.U32LE();
  LONG width, height;
  int bits;
  DWORD compression = BI_RGB, clrUsed = 0;
  bool core = false;
  if (headerSize == 12) {
    core = true;
    width = r.U16LE();
    height = r.U16LE();
    r.U16LE();
    bits = r.U16LE();
  } else if (headerSize >= 40 && headerSize <= 256) {
    width = LONG(r.U32LE());
    height = LONG(r.U32LE());
    r.U16LE();
    bits = r.U16LE();
    compression = r.U32LE();
    r.Skip(12);
    clrUsed = r.U32LE();
  } else {
    return Bad(reason, "unknown header size");
  }
  if (!r.ok()) return Bad(reason, "file breaks off in the header");
  const bool topDown = height < 0 && !iconEntry;
  if (height == INT32_MIN) return Bad(reason, "bad height");
  if (height < 0) height = -height;
  if (iconEntry) height /= 2;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return Bad(reason, "unsupported depth");
  if (width < 1 || height < 1) return Bad(reason, "empty picture");
  if (!DimensionsAllowed(width, height, 32)) return Bad(reason, "dimensions exceed the limits", IMAGEIO_ERR_TOO_LARGE);
  if (!WithinPixelBudget(maxPixels, width, height))
    return Bad(reason, "picture larger than the pixel budget", IMAGEIO_ERR_TOO_LARGE);
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  if (rle && (topDown || (compression == BI_RLE8 && bits != 8) || (compression == BI_RLE4 && bits != 4)))
    return Bad(reason, "bad run-length header");
  const bool fields = compression == BI_BITFIELDS || compression == kBiAlphaBitfields;
  if (!rle && !fields && compression != BI_RGB) return Bad(reason, "unsupported compression", IMAGEIO_ERR_UNSUPPORTED);
  if (fields && bits != 16 && bits != 32) return Bad(reason, "bit fields need 16 or 32 bits");

  // Bit masks: inside a long header, else right after the 40-byte one.
  DWORD masks[4] = {0, 0, 0, 0};
  std::size_t afterHeader = infoOffset + headerSize;
  if (fields) {
    std::size_t maskCount = compression == kBiAlphaBitfields ? 4 : 3;
    std::size_t at = infoOffset + 40;
    if (headerSize >= 40 + 4 * maskCount) {
      maskCount = headerSize >= 56 ? 4 : maskCount;
    } else {
      afterHeader += 4 * maskCount;
    }
    if (!r.Seek(at)) return Bad(reason, "masks outside the file");
    for (std::size_t k = 0; k < maskCount; ++k) masks[k] = r.U32LE();
    if (!r.ok()) return Bad(reason, "masks outside the file");
  }
  std::size_t entries = 0;
  if (bits <= 8) {
    entries = clrUsed ? clrUsed : (std::size_t(1) << bits);
    if (entries > (std::size_t(1) << bits)) entries = std::size_t(1) << bits;
  }
  const std::size_t entryBytes = core ? 3 : 4;
  if (!r.Seek(afterHeader) || !r.Take(entries * entryBytes)) return Bad(reason, "colour table outside the file");
  const BYTE* table = data + afterHeader;
  if (bitsOffset == 0) bitsOffset = afterHeader + entries * entryBytes;
  if (bitsOffset > size) return Bad(reason, "pixel data outside the file");
  const BYTE* bitsStart = data + bitsOffset;
  const std::size_t bitsAvail = size - bitsOffset;
  const std::size_t srcPitch = DibPitch(width, bits);

  // Output depth: palette depths and 24 stay; the rest become 32.
  const int outBits = rle ? 8 : (bits <= 8 || bits == 24) ? bits : 32;
  DibPtr dib(DibAlloc(width, height, outBits));
  if (!dib) return Bad(reason, "out of memory", IMAGEIO_ERR_MEMORY);
  if (outBits <= 8) {
    RGBQUAD* pal = DibPalette(dib.get());
    for (std::size_t k = 0; k < entries; ++k)
      pal[k] = RGBQUAD{table[k * entryBytes], table[k * entryBytes + 1], table[k * entryBytes + 2], 0};
  }

  if (rle) {
    std::vector<BYTE> idx;
    DecodeRle(bitsStart, bitsAvail, compression == BI_RLE4, width, height, idx);
    for (LONG y = 0; y < height; ++y)
      std::memcpy(DibRow(dib.get(), height - 1 - y), idx.data() + std::size_t(y) * std::size_t(width), std::size_t(width));
  } else {
    if (srcPitch * std::size_t(height) > bitsAvail) return Bad(reason, "file breaks off in the pixel data");
    // A temporary header describing the source rows lets DibRowToBgra unpack 16/32-bit fields.
    std::vector<BYTE> tmp;
    BITMAPINFOHEADER* src = nullptr;
    if (outBits == 32) {
      tmp.resize(sizeof(BITMAPINFOHEADER) + 12 + srcPitch);
      src = reinterpret_cast<BITMAPINFOHEADER*>(tmp.data());
      *src = BITMAPINFOHEADER{40, width, 1, 1, WORD(bits), fields ? BI_BITFIELDS : BI_RGB, 0, 0, 0, 0, 0};
      std::memcpy(tmp.data() + sizeof(BITMAPINFOHEADER), masks, 12);
    }
    bool anyAlpha = false;
    for (LONG y = 0; y < height; ++y) {
      const BYTE* s = bitsStart + std::size_t(topDown ? y : height - 1 - y) * srcPitch;
      BYTE* d = DibRow(dib.get(), y);
      if (!src) {
        std::memcpy(d, s, DibStride(dib.get()));
        continue;
      }
      std::memcpy(DibBits(src), s, srcPitch);
      DibRowToBgra(src, 0, d);
      if (fields && masks[3]) {
        // Alpha field from the V4/V5 header or BI_ALPHABITFIELDS.
        int shift = 0;
        DWORD m = masks[3];
        while (!(m & 1)) {
          m >>= 1;
          ++shift;
        }
        for (LONG x = 0; x < width; ++x) {
          DWORD v = bits == 16 ? DWORD(s[x * 2] | (s[x * 2 + 1] << 8))
                               : DWORD(s[x * 4]) | (DWORD(s[x * 4 + 1]) << 8) | (DWORD(s[x * 4 + 2]) << 16) |
                                     (DWORD(s[x * 4 + 3]) << 24);
          DWORD a = (v & masks[3]) >> shift;
          d[x * 4 + 3] = BYTE(a * 255 / m);
        }
      } else if (fields) {
        for (LONG x = 0; x < width; ++x) d[x * 4 + 3] = 255;
      }
      for (LONG x = 0; x < width && !anyAlpha; ++x) anyAlpha = d[x * 4 + 3] != 0;
    }
    if (outBits == 32 && !anyAlpha) {
      for (LONG y = 0; y < height; ++y) {
        BYTE* d = DibRow(dib.get(), y);
        for (LONG x = 0; x < width; ++x) d[x * 4 + 3] = 255;
      }
    }
    if (iconEntry && mask) {
      const std::size_t maskPitch = DibPitch(width, 1);
      const std::size_t maskAt = srcPitch * std::size_t(height);
      // Some icons omit the AND mask; then the picture stands alone.
      if (maskAt + maskPitch * std::size_t(height) <= bitsAvail && !(bits == 32 && anyAlpha)) {
        DibPtr m(DibAlloc(width, height, 1, 2));
        if (!m) return Bad(reason, "out of memory", IMAGEIO_ERR_MEMORY);
        DibPalette(m.get())[1] = RGBQUAD{255, 255, 255, 0};
        for (LONG y = 0; y < height; ++y) {
          const BYTE* s = bitsStart + maskAt + std::size_t(height - 1 - y) * maskPitch;
          BYTE* d = DibRow(m.get(), y);
          for (std::size_t k = 0; k < maskPitch; ++k) d[k] = BYTE(~s[k]);
        }
        *mask = std::move(m);
      }
    }
  }
  picture = std::move(dib);
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
