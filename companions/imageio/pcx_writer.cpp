// PCX writer: version 5, run-length encoded, 8 bits in three colour planes.
// PCX has no transparency: alpha is dropped (callers compose over a matte).
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

namespace {
// One plane row; bytes of 0xC0 and up always go as a counted run.
void EncodeRow(const BYTE* p, std::size_t n, std::vector<BYTE>& out) {
  std::size_t i = 0;
  while (i < n) {
    std::size_t run = 1;
    while (i + run < n && run < 63 && p[i + run] == p[i]) ++run;
    if (run > 1 || p[i] >= 0xC0) out.push_back(BYTE(0xC0 | run));
    out.push_back(p[i]);
    i += run;
  }
}
}  // namespace

int WritePcx(CTevImageInfoPack& pack, const CTevImgExportOptions*, CTevCommonProgress*) {
  const BITMAPINFOHEADER* pic = pack.picture.get();
  if (!DibReadable(pic)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "PCX: picture is not a valid uncompressed DIB");
  const LONG w = DibWidth(pic), h = DibHeight(pic);
  const std::size_t bytesPerLine = (std::size_t(w) + 1) & ~std::size_t(1);
  std::vector<BYTE> out = {10, 5, 1, 8};
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, unsigned(w - 1));
  Put16(out, unsigned(h - 1));
  Put16(out, 96);
  Put16(out, 96);
  out.resize(out.size() + 48, 0);
  out.push_back(0);
  out.push_back(3);
  Put16(out, unsigned(bytesPerLine));
  Put16(out, 1);
  Put16(out, 0);
  Put16(out, 0);
  out.resize(128, 0);
  std::vector<BYTE> row(std::size_t(w) * 4), plane(bytesPerLine, 0);
  for (LONG y = 0; y < h; ++y) {
    DibRowToBgra(pic, y, row.data());
    for (int c = 2; c >= 0; --c) {  // R, G, B
      for (LONG x = 0; x < w; ++x) plane[std::size_t(x)] = row[std::size_t(x) * 4 + std::size_t(c)];
      EncodeRow(plane.data(), bytesPerLine, out);
    }
  }
  return WriteWholeFile(pack, out);
}

}  // namespace TevImageIO
