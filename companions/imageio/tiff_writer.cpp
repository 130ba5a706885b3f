// TIFF writer on libtiff: 8-bit RGB, or RGBA with unassociated alpha when the
// picture has transparency; compression none, PackBits, LZW (default) or
// Deflate, with horizontal differencing on request. Encoded in memory, then
// written atomically.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

namespace {

struct MemFile {
  std::vector<BYTE> data;
  toff_t pos = 0;
};

tsize_t MemRead(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  if (m->pos >= m->data.size()) return 0;
  const tsize_t take = std::min<tsize_t>(n, tsize_t(m->data.size() - m->pos));
  std::memcpy(buf, m->data.data() + m->pos, std::size_t(take));
  m->pos += toff_t(take);
  return take;
}
tsize_t MemWrite(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  if (m->pos + toff_t(n) > m->data.size()) m->data.resize(std::size_t(m->pos + toff_t(n)));
  std::memcpy(m->data.data() + m->pos, buf, std::size_t(n));
  m->pos += toff_t(n);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemFile*>(h);
  toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? toff_t(m->data.size()) : 0;
  m->pos = base + off;
  return m->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return toff_t(static_cast<MemFile*>(h)->data.size()); }
int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void MemUnmap(thandle_t, tdata_t, toff_t) {}

void Quiet(const char*, const char*, va_list) {}

}  // namespace

int WriteTiff(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress* progress) {
  const BITMAPINFOHEADER* pic = pack.picture.get();
  if (!DibReadable(pic)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "TIFF: picture is not a valid uncompressed DIB");
  const CTevTiffExportOptions* t = options ? options->As<CTevTiffExportOptions>() : nullptr;
  const LONG w = DibWidth(pic), h = DibHeight(pic);
  const BITMAPINFOHEADER* mask = pack.mask.get();
  if (mask && (mask->biBitCount != 1 || DibWidth(mask) != w || DibHeight(mask) != h)) mask = nullptr;
  std::vector<BYTE> pixels(std::size_t(w) * std::size_t(h) * 4);
  bool alpha = false;
  for (LONG y = 0; y < h; ++y) {
    BYTE* row = &pixels[std::size_t(y) * std::size_t(w) * 4];
    DibRowToBgra(pic, y, row);
    ApplyTransparentIndexRow(pic, y, pack.transparentIndex, row);
    ApplyMaskRow(mask, y, row, w);
    for (LONG x = 0; x < w; ++x) {
      std::swap(row[x * 4], row[x * 4 + 2]);  // BGRA to RGBA
      alpha = alpha || row[x * 4 + 3] != 255;
    }
  }
  const int samples = alpha ? 4 : 3;
  TIFFSetWarningHandler(Quiet);
  TIFFSetErrorHandler(Quiet);
  MemFile mem;
  TIFF* tif = TIFFClientOpen("memory", "w", &mem, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
  if (!tif) return Fail(pack, IMAGEIO_ERR_MEMORY, "TIFF: cannot start the encoder");
  int compression = COMPRESSION_LZW;
  if (t) {
    switch (t->compression) {
      case 0: compression = COMPRESSION_NONE; break;
      case 1: compression = COMPRESSION_PACKBITS; break;
      case 3: compression = COMPRESSION_ADOBE_DEFLATE; break;
      default: compression = COMPRESSION_LZW; break;
    }
  }
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(w));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  if (t && t->predictor == 1 && (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE))
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  if (alpha) {
    const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  std::vector<BYTE> line(std::size_t(w) * std::size_t(samples));
  bool ok = true;
  for (LONG y = 0; y < h && ok; ++y) {
    const BYTE* src = &pixels[std::size_t(y) * std::size_t(w) * 4];
    for (LONG x = 0; x < w; ++x) std::memcpy(&line[std::size_t(x) * std::size_t(samples)], src + x * 4, std::size_t(samples));
    ok = TIFFWriteScanline(tif, line.data(), uint32_t(y), 0) >= 0;
    if (ok && !Step(progress, y + 1, h)) {
      TIFFClose(tif);
      return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
    }
  }
  TIFFClose(tif);
  if (!ok) return Fail(pack, IMAGEIO_ERR_WRITE, "TIFF: encoding failed");
  return WriteWholeFile(pack, mem.data);
}

}  // namespace TevImageIO
