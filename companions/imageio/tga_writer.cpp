// TGA writer: true colour, top-left origin, 32 bits with 8 alpha bits or 24
// bits (bytesPerPixel 3), run-length encoded by default (packets never
// cross a row).
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

int WriteTga(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress*) {
  const BITMAPINFOHEADER* pic = pack.picture.get();
  if (!DibReadable(pic)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "TGA: picture is not a valid uncompressed DIB");
  const CTevTgaExportOptions* tga = options ? options->As<CTevTgaExportOptions>() : nullptr;
  const int bpp = tga && tga->bytesPerPixel == 3 ? 3 : 4;
  const bool rle = !tga || tga->rle;
  const LONG w = DibWidth(pic), h = DibHeight(pic);
  if (w > 0xFFFF || h > 0xFFFF) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "TGA: picture too large");
  const BITMAPINFOHEADER* mask = pack.mask.get();
  if (mask && (mask->biBitCount != 1 || DibWidth(mask) != w || DibHeight(mask) != h)) mask = nullptr;
  std::vector<BYTE> out = {0, 0, BYTE(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           BYTE(w), BYTE(w >> 8), BYTE(h), BYTE(h >> 8), BYTE(bpp * 8),
                           BYTE(0x20 | (bpp == 4 ? 8 : 0))};
  std::vector<BYTE> row(std::size_t(w) * 4);
  for (LONG y = 0; y < h; ++y) {
    DibRowToBgra(pic, y, row.data());
    ApplyTransparentIndexRow(pic, y, pack.transparentIndex, row.data());
    ApplyMaskRow(mask, y, row.data(), w);
    auto px = [&](LONG x) { return &row[std::size_t(x) * 4]; };
    if (!rle) {
      for (LONG x = 0; x < w; ++x) out.insert(out.end(), px(x), px(x) + bpp);
      continue;
    }
    LONG x = 0;
    while (x < w) {
      LONG run = 1;
      while (x + run < w && run < 128 && std::memcmp(px(x), px(x + run), std::size_t(bpp)) == 0) ++run;
      if (run > 1) {
        out.push_back(BYTE(0x80 | (run - 1)));
        out.insert(out.end(), px(x), px(x) + bpp);
        x += run;
        continue;
      }
      LONG lit = 1;
      while (x + lit < w && lit < 128 &&
             !(x + lit + 1 < w && std::memcmp(px(x + lit), px(x + lit + 1), std::size_t(bpp)) == 0))
        ++lit;
      out.push_back(BYTE(lit - 1));
      for (LONG k = 0; k < lit; ++k) out.insert(out.end(), px(x + k), px(x + k) + bpp);
      x += lit;
    }
  }
  return WriteWholeFile(pack, out);
}

}  // namespace TevImageIO
