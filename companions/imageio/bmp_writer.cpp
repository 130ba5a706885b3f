// BMP writer: palette pictures keep their depth and colour table, opaque
// pictures are written as 24 bits, pictures with transparency (alpha, mask
// or transparent index) as 32-bit BGRA with a version 5 header whose bit
// fields include the alpha mask.
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

int WriteBmp(CTevImageInfoPack& pack, const CTevImgExportOptions*, CTevCommonProgress*) {
  const BITMAPINFOHEADER* pic = pack.picture.get();
  if (!DibReadable(pic)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "BMP: picture is not a valid uncompressed DIB");
  const LONG w = DibWidth(pic), h = DibHeight(pic);
  const BITMAPINFOHEADER* mask = pack.mask.get();
  if (mask && (mask->biBitCount != 1 || DibWidth(mask) != w || DibHeight(mask) != h)) mask = nullptr;
  std::vector<std::vector<BYTE>> rows(std::size_t(h), std::vector<BYTE>(std::size_t(w) * 4));
  bool alpha = false;
  for (LONG y = 0; y < h; ++y) {
    BYTE* row = rows[std::size_t(y)].data();
    DibRowToBgra(pic, y, row);
    ApplyTransparentIndexRow(pic, y, pack.transparentIndex, row);
    ApplyMaskRow(mask, y, row, w);
    for (LONG x = 0; x < w && !alpha; ++x) alpha = row[x * 4 + 3] != 255;
  }
  const bool palette = pic->biBitCount <= 8 && !alpha;
  const int bits = palette ? pic->biBitCount : alpha ? 32 : 24;
  const DWORD headerSize = alpha ? 124 : 40;
  const std::size_t entries = palette ? DibPaletteEntries(pic) : 0;
  const std::size_t stride = DibPitch(w, bits);
  const DWORD offBits = DWORD(14 + headerSize + entries * 4);
  std::vector<BYTE> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, DWORD(offBits + stride * std::size_t(h)));
  Put32(out, 0);
  Put32(out, offBits);
  Put32(out, headerSize);
  Put32(out, DWORD(w));
  Put32(out, DWORD(h));
  Put16(out, 1);
  Put16(out, unsigned(bits));
  Put32(out, alpha ? BI_BITFIELDS : BI_RGB);
  Put32(out, DWORD(stride * std::size_t(h)));
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, DWORD(entries));
  Put32(out, 0);
  if (alpha) {
    Put32(out, 0x00FF0000);
    Put32(out, 0x0000FF00);
    Put32(out, 0x000000FF);
    Put32(out, 0xFF000000);
    out.insert(out.end(), {'B', 'G', 'R', 's'});  // LCS_sRGB, little-endian
    out.resize(out.size() + 124 - 60, 0);          // endpoints, gamma, intent, profile
  }
  for (std::size_t i = 0; i < entries; ++i) {
    const RGBQUAD q = DibPalette(pic)[i];
    out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
  }
  for (LONG y = h - 1; y >= 0; --y) {
    const std::size_t at = out.size();
    out.resize(at + stride, 0);
    if (palette) std::memcpy(&out[at], DibRow(pic, y), stride);
    else if (bits == 32) std::memcpy(&out[at], rows[std::size_t(y)].data(), std::size_t(w) * 4);
    else
      for (LONG x = 0; x < w; ++x) std::memcpy(&out[at + std::size_t(x) * 3], &rows[std::size_t(y)][std::size_t(x) * 4], 3);
  }
  return WriteWholeFile(pack, out);
}

}  // namespace TevImageIO
