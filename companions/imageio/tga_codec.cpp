// TGA reader: colour-mapped, true-colour (15, 16, 24, 32 bits) and greyscale
// (8 bits, or 16 bits grey + alpha) pictures, plain or run-length encoded,
// in any of the four origin corners. The result is a 32-bit DIB; an alpha
// channel that is zero everywhere is taken as absent (many writers leave it so).
#include <algorithm>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

namespace {

struct TgaHeader {
  BYTE idLength, mapType, imageType;
  WORD mapFirst, mapLength;
  BYTE mapEntryBits;
  WORD width, height;
  BYTE depth, descriptor;
};

// Expands a 15/16-bit 5-5-5 value (bit 15 the attribute bit) to B, G, R, A.
void From555(DWORD v, bool attribute, BYTE* out) {
  auto scale = [](DWORD c) { return BYTE((c << 3) | (c >> 2)); };
  out[0] = scale(v & 31);
  out[1] = scale((v >> 5) & 31);
  out[2] = scale((v >> 10) & 31);
  out[3] = attribute ? ((v & 0x8000) ? 255 : 0) : 255;
}

// One stored value (index or colour) of `bytes` bytes to B, G, R, A.
void ValueToBgra(DWORD v, int depth, bool alphaBits, BYTE* out) {
  switch (depth) {
    case 15: From555(v, false, out); break;
    case 16: From555(v, alphaBits, out); break;
    case 24:
      out[0] = BYTE(v);
      out[1] = BYTE(v >> 8);
      out[2] = BYTE(v >> 16);
      out[3] = 255;
      break;
    default:
      out[0] = BYTE(v);
      out[1] = BYTE(v >> 8);
      out[2] = BYTE(v >> 16);
      out[3] = alphaBits ? BYTE(v >> 24) : 255;
      break;
  }
}

DWORD ReadValue(const BYTE* p, int bytes) {
  DWORD v = 0;
  for (int i = 0; i < bytes; ++i) v |= DWORD(p[i]) << (8 * i);
  return v;
}

}  // namespace

// TGA has no signature; the header's fields must be consistent.
bool SniffTga(const BYTE* head, std::size_t size) {
  if (size < 18) return false;
  const int mapType = head[1], type = head[2], depth = head[16];
  if (mapType > 1) return false;
  const int base = type & ~8;
  if (base < 1 || base > 3 || (type & ~0x0B)) return false;
  if (base == 1) return mapType == 1 && (depth == 8 || depth == 16);
  if (base == 2) return depth == 15 || depth == 16 || depth == 24 || depth == 32;
  return depth == 8 || depth == 16;
}

int ReadTga(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  ByteReader r(bytes.data(), bytes.size());
  TgaHeader h{};
  h.idLength = r.U8();
  h.mapType = r.U8();
  h.imageType = r.U8();
  h.mapFirst = r.U16LE();
  h.mapLength = r.U16LE();
  h.mapEntryBits = r.U8();
  r.Skip(4);  // x and y origin: screen placement, not needed
  h.width = r.U16LE();
  h.height = r.U16LE();
  h.depth = r.U8();
  h.descriptor = r.U8();
  if (!r.ok() || !SniffTga(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not a TGA file: " + pack.path);
  if (!DimensionsAllowed(h.width, h.height, 32)) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "TGA: bad image dimensions");
  if (options && !WithinPixelBudget(options->maxPixels, h.width, h.height))
    return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "TGA: picture larger than the pixel budget");
  const int base = h.imageType & 3;
  const bool rle = h.imageType & 8;
  const int alphaBits = h.descriptor & 15;
  if (!r.Skip(h.idLength)) return Fail(pack, IMAGEIO_ERR_FORMAT, "TGA: file breaks off in the image id");

  // Colour map: present whenever the map type says so, used by colour-mapped pictures.
  std::vector<BYTE> palette;  // B, G, R, A per entry
  if (h.mapType == 1) {
    const int eb = h.mapEntryBits;
    if (eb != 15 && eb != 16 && eb != 24 && eb != 32) return Fail(pack, IMAGEIO_ERR_FORMAT, "TGA: bad colour map entry size");
    const int entryBytes = (eb + 7) / 8;
    const BYTE* map = r.Take(std::size_t(h.mapLength) * entryBytes);
    if (!map) return Fail(pack, IMAGEIO_ERR_FORMAT, "TGA: colour map breaks off");
    palette.resize(std::size_t(h.mapLength) * 4);
    for (int i = 0; i < h.mapLength; ++i)
      ValueToBgra(ReadValue(map + i * entryBytes, entryBytes), eb, eb == 32 || (eb == 16 && alphaBits > 0),
                  palette.data() + i * 4);
  }
  if (base == 1 && palette.empty()) return Fail(pack, IMAGEIO_ERR_FORMAT, "TGA: colour-mapped picture without a map");

  const int pixelBytes = (h.depth + 7) / 8;
  const std::size_t count = std::size_t(h.width) * h.height;
  // A run packet of 1 + pixelBytes bytes yields at most 128 pixels: refuse
  // sizes the data cannot fill before allocating.
  if (count * pixelBytes > r.remaining() * (rle ? 128 : 1))
    return Fail(pack, IMAGEIO_ERR_FORMAT, "TGA: image data breaks off");
  // Decode the stored values (RLE packets may run across rows).
  std::vector<BYTE> values(count * pixelBytes);
  if (!rle) {
    const BYTE* data = r.Take(values.size());
    if (!data) return Fail(pack, IMAGEIO_ERR_FORMAT, "TGA: image data breaks off");
    std::copy(data, data + values.size(), values.begin());
  } else {
    std::size_t done = 0;
    while (done < count) {
      const BYTE packet = r.U8();
      const std::size_t n = std::min<std::size_t>((packet & 0x7F) + 1, count - done);
      if (packet & 0x80) {
        const BYTE* v = r.Take(pixelBytes);
        if (!v) break;
        for (std::size_t i = 0; i < n; ++i) std::copy(v, v + pixelBytes, values.begin() + (done + i) * pixelBytes);
      } else {
        const BYTE* v = r.Take(n * pixelBytes);
        if (!v) break;
        std::copy(v, v + n * pixelBytes, values.begin() + done * pixelBytes);
      }
      done += n;
    }
    if (done < count) return Fail(pack, IMAGEIO_ERR_FORMAT, "TGA: run-length data breaks off");
  }

  DibPtr picture(DibAlloc(h.width, h.height, 32));
  if (!picture) return Fail(pack, IMAGEIO_ERR_MEMORY, "TGA: out of memory");
  const bool topDown = h.descriptor & 0x20, rightToLeft = h.descriptor & 0x10;
  bool anyAlpha = false, allAlphaZero = true;
  const std::size_t entries = palette.size() / 4;
  for (int sy = 0; sy < h.height; ++sy) {
    const LONG y = topDown ? sy : h.height - 1 - sy;
    BYTE* row = DibRow(picture.get(), y);
    for (int sx = 0; sx < h.width; ++sx) {
      const LONG x = rightToLeft ? h.width - 1 - sx : sx;
      const DWORD v = ReadValue(values.data() + (std::size_t(sy) * h.width + sx) * pixelBytes, pixelBytes);
      BYTE* o = row + x * 4;
      if (base == 1) {
        const std::size_t idx = v >= h.mapFirst ? v - h.mapFirst : entries;
        if (idx < entries) {
          std::copy(palette.begin() + idx * 4, palette.begin() + idx * 4 + 4, o);
        } else {
          o[0] = o[1] = o[2] = 0;
          o[3] = 255;
        }
      } else if (base == 3) {
        o[0] = o[1] = o[2] = BYTE(v);
        o[3] = pixelBytes == 2 ? BYTE(v >> 8) : 255;
      } else {
        ValueToBgra(v, h.depth, alphaBits > 0, o);
      }
      if (o[3] != 255) anyAlpha = true;
      if (o[3] != 0) allAlphaZero = false;
    }
    if (!Step(progress, sy + 1, h.height)) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
  }
  if (anyAlpha && allAlphaZero) {
    for (LONG y = 0; y < h.height; ++y) {
      BYTE* row = DibRow(picture.get(), y);
      for (LONG x = 0; x < h.width; ++x) row[x * 4 + 3] = 255;
    }
    anyAlpha = false;
  }
  pack.width = h.width;
  pack.height = h.height;
  pack.transparencyMode = anyAlpha ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE;
  pack.picture = std::move(picture);
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
