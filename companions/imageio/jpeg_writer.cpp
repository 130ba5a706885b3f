// JPEG writer on libjpeg-turbo: the picture as 8-bit RGB (alpha dropped;
// callers compose over a matte), quality from the record, progressive when
// its flag is set, chroma 4:2:0, 4:2:2 or 4:4:4 by the subsampling flags.
// Encoded in memory (EncodeJpegStream, also used by the movie writer), then
// written atomically. The function that calls setjmp holds only plain
// pointers and integers.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"
#include "companions/imageio/jpeg_stream.h"

namespace TevImageIO {

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegFail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegSilence(j_common_ptr, int) {}

}  // namespace

bool EncodeJpegStream(LONG width, LONG height, const CJpegStreamSettings& settings, JpegRowSource source,
                      void* context, std::vector<BYTE>& out) {
  if (width <= 0 || height <= 0 || !source) return false;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegSilence;
  BYTE* volatile row = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(row);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, settings.quality < 1 ? 1 : settings.quality > 100 ? 100 : settings.quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = settings.hSample;
  cinfo.comp_info[0].v_samp_factor = settings.vSample;
  if (settings.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  row = static_cast<BYTE*>(std::malloc(std::size_t(width) * 4));
  if (!row) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
  while (cinfo.next_scanline < cinfo.image_height) {
    if (!source(context, LONG(cinfo.next_scanline), row)) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::free(row);
  out.assign(buffer, buffer + size);
  std::free(buffer);
  return true;
}

namespace {

// The picture's row y as packed RGB.
bool PictureRowRgb(void* context, LONG y, BYTE* rgb) {
  const auto* pic = static_cast<const BITMAPINFOHEADER*>(context);
  DibRowToBgra(pic, y, rgb);
  for (LONG x = 0, w = DibWidth(pic); x < w; ++x) {  // BGRA to packed RGB in place
    const BYTE b = rgb[x * 4], g = rgb[x * 4 + 1], r = rgb[x * 4 + 2];
    rgb[x * 3] = r;
    rgb[x * 3 + 1] = g;
    rgb[x * 3 + 2] = b;
  }
  return true;
}

}  // namespace

int WriteJpeg(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress*) {
  const BITMAPINFOHEADER* pic = pack.picture.get();
  if (!DibReadable(pic)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "JPEG: picture is not a valid uncompressed DIB");
  const CTevJpegExportOptions* o = options ? options->As<CTevJpegExportOptions>() : nullptr;
  CJpegStreamSettings job;
  if (o) {
    job.quality = o->quality;
    job.progressive = (o->flags & kJpegFlagProgressive) != 0;
    if (o->flags & kJpegFlagSubsample420) job.vSample = 2;
    else if (o->flags & kJpegFlagSubsample422) job.vSample = 1;
    else job.hSample = job.vSample = 1;
  }
  std::vector<BYTE> bytes;
  if (!EncodeJpegStream(DibWidth(pic), DibHeight(pic), job, PictureRowRgb, const_cast<BITMAPINFOHEADER*>(pic), bytes))
    return Fail(pack, IMAGEIO_ERR_WRITE, "JPEG: encoding failed");
  return WriteWholeFile(pack, bytes);
}

}  // namespace TevImageIO
