// PCX reader: 1-bit monochrome, 2/4-bit and 4-plane 16-colour pictures with
// the header palette, 8-bit pictures with the 256-colour palette at the end
// of the file (a grey ramp when it is missing), and 24/32-bit pictures of
// three or four 8-bit planes; run-length encoded or plain.
// Palette pictures come out as 8-bit DIBs, the others as 24/32-bit DIBs.
#include <algorithm>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

bool SniffPcx(const BYTE* head, std::size_t size) {
  if (size < 128 || head[0] != 0x0A || head[1] > 5 || head[2] > 1) return false;
  const int bits = head[3];
  return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

int ReadPcx(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffPcx(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not a PCX file: " + pack.path);
  ByteReader r(bytes.data(), bytes.size());
  r.Skip(2);
  const bool rle = r.U8() == 1;
  const int bits = r.U8();
  const int xmin = r.U16LE(), ymin = r.U16LE(), xmax = r.U16LE(), ymax = r.U16LE();
  r.Seek(16);
  const BYTE* headerPalette = r.Take(48);
  r.Seek(65);
  const int planes = r.U8();
  const int bytesPerLine = r.U16LE();
  if (!r.ok() || xmax < xmin || ymax < ymin) return Fail(pack, IMAGEIO_ERR_FORMAT, "PCX: bad image window");
  const LONG w = xmax - xmin + 1, h = ymax - ymin + 1;
  if (!DimensionsAllowed(w, h, 32)) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "PCX: bad image dimensions");
  if (options && !WithinPixelBudget(options->maxPixels, w, h))
    return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "PCX: picture larger than the pixel budget");

  enum class Kind { Planar16, Packed, Indexed8, TrueColour } kind;
  if (planes == 1 && bits <= 4) kind = bits == 1 ? Kind::Planar16 : Kind::Packed;
  else if (planes >= 2 && planes <= 4 && bits == 1) kind = Kind::Planar16;
  else if (planes == 1 && bits == 8) kind = Kind::Indexed8;
  else if ((planes == 3 || planes == 4) && bits == 8) kind = Kind::TrueColour;
  else return Fail(pack, IMAGEIO_ERR_UNSUPPORTED, "PCX: unsupported plane layout");
  if (bytesPerLine < 1 || std::size_t(bytesPerLine) * 8 < std::size_t(w) * bits)
    return Fail(pack, IMAGEIO_ERR_FORMAT, "PCX: bytes per line too small for the width");

  // Decode all scan lines (every plane of a line after another).
  const std::size_t lineBytes = std::size_t(bytesPerLine) * planes;
  r.Seek(128);
  // A run byte pair yields at most 63 bytes: refuse sizes the data cannot fill before allocating.
  if (lineBytes * std::size_t(h) > r.remaining() * (rle ? 63 : 1))
    return Fail(pack, IMAGEIO_ERR_FORMAT, "PCX: image data breaks off");
  std::vector<BYTE> lines(lineBytes * h);
  if (!rle) {
    const BYTE* data = r.Take(lines.size());
    if (!data) return Fail(pack, IMAGEIO_ERR_FORMAT, "PCX: image data breaks off");
    std::copy(data, data + lines.size(), lines.begin());
  } else {
    std::size_t done = 0;
    while (done < lines.size() && r.remaining() > 0) {
      BYTE b = r.U8();
      std::size_t n = 1;
      if ((b & 0xC0) == 0xC0) {
        n = b & 0x3F;
        if (r.remaining() == 0) break;
        b = r.U8();
      }
      n = std::min(n, lines.size() - done);
      std::fill_n(lines.begin() + done, n, b);
      done += n;
    }
    if (done < lines.size()) return Fail(pack, IMAGEIO_ERR_FORMAT, "PCX: run-length data breaks off");
  }

  DibPtr picture;
  if (kind == Kind::TrueColour) {
    picture.reset(DibAlloc(w, h, planes * 8));
    if (!picture) return Fail(pack, IMAGEIO_ERR_MEMORY, "PCX: out of memory");
    for (LONG y = 0; y < h; ++y) {
      BYTE* row = DibRow(picture.get(), y);
      const BYTE* src = lines.data() + lineBytes * y;
      for (LONG x = 0; x < w; ++x) {
        row[x * planes] = src[2 * bytesPerLine + x];
        row[x * planes + 1] = src[bytesPerLine + x];
        row[x * planes + 2] = src[x];
        if (planes == 4) row[x * 4 + 3] = src[3 * bytesPerLine + x];
      }
    }
  } else {
    picture.reset(DibAlloc(w, h, 8, 256));
    if (!picture) return Fail(pack, IMAGEIO_ERR_MEMORY, "PCX: out of memory");
    RGBQUAD* pal = DibPalette(picture.get());
    if (kind == Kind::Indexed8) {
      // The 256-colour palette: a 0x0C byte and 768 bytes at the end of the file.
      const bool tail = bytes.size() >= 128 + 769 && bytes[bytes.size() - 769] == 0x0C;
      for (int i = 0; i < 256; ++i) {
        const BYTE* c = tail ? bytes.data() + bytes.size() - 768 + i * 3 : nullptr;
        pal[i] = c ? RGBQUAD{c[2], c[1], c[0], 0} : RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
      }
    } else if (planes == 1 && bits == 1) {
      pal[0] = RGBQUAD{0, 0, 0, 0};
      pal[1] = RGBQUAD{255, 255, 255, 0};
    } else {
      for (int i = 0; i < 16; ++i)
        pal[i] = RGBQUAD{headerPalette[i * 3 + 2], headerPalette[i * 3 + 1], headerPalette[i * 3], 0};
    }
    for (LONG y = 0; y < h; ++y) {
      BYTE* row = DibRow(picture.get(), y);
      const BYTE* src = lines.data() + lineBytes * y;
      for (LONG x = 0; x < w; ++x) {
        int v = 0;
        if (kind == Kind::Indexed8) {
          v = src[x];
        } else if (kind == Kind::Packed) {
          const int perByte = 8 / bits;
          v = (src[x / perByte] >> ((perByte - 1 - x % perByte) * bits)) & ((1 << bits) - 1);
        } else {
          for (int p = 0; p < planes; ++p) v |= ((src[p * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
        }
        row[x] = BYTE(v);
      }
    }
  }
  pack.width = w;
  pack.height = h;
  pack.transparencyMode = kind == Kind::TrueColour && planes == 4 ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE;
  pack.picture = std::move(picture);
  if (!Step(progress, 1, 1)) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
