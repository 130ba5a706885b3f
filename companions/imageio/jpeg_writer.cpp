// JPEG writer on libjpeg-turbo: the picture as 8-bit RGB (alpha dropped;
// callers compose over a matte), quality from the record, progressive when
// its flag is set, chroma 4:2:0, 4:2:2 or 4:4:4 by the subsampling flags.
// Encoded in memory, then written atomically. The function that calls
// setjmp holds only plain pointers and integers.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegFail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegSilence(j_common_ptr, int) {}

struct JpegJob {
  const BITMAPINFOHEADER* pic;
  int quality;
  bool progressive;
  int hSample, vSample;
};

// Compresses into a malloc'ed buffer; false on failure.
bool Encode(const JpegJob* job, unsigned char** buffer, unsigned long* size) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegSilence;
  BYTE* volatile row = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(row);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, buffer, size);
  const LONG w = DibWidth(job->pic), h = DibHeight(job->pic);
  cinfo.image_width = JDIMENSION(w);
  cinfo.image_height = JDIMENSION(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, job->quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = job->hSample;
  cinfo.comp_info[0].v_samp_factor = job->vSample;
  if (job->progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  row = static_cast<BYTE*>(std::malloc(std::size_t(w) * 4));
  if (!row) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
  while (cinfo.next_scanline < cinfo.image_height) {
    DibRowToBgra(job->pic, LONG(cinfo.next_scanline), row);
    for (LONG x = 0; x < w; ++x) {  // BGRA to packed RGB in place
      const BYTE b = row[x * 4], g = row[x * 4 + 1], r = row[x * 4 + 2];
      row[x * 3] = r;
      row[x * 3 + 1] = g;
      row[x * 3 + 2] = b;
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::free(row);
  return true;
}

}  // namespace

int WriteJpeg(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress*) {
  const BITMAPINFOHEADER* pic = pack.picture.get();
  if (!DibReadable(pic)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "JPEG: picture is not a valid uncompressed DIB");
  const CTevJpegExportOptions* o = options ? options->As<CTevJpegExportOptions>() : nullptr;
  JpegJob job{pic, 75, false, 2, 2};
  if (o) {
    job.quality = o->quality < 1 ? 1 : o->quality > 100 ? 100 : o->quality;
    job.progressive = (o->flags & kJpegFlagProgressive) != 0;
    if (o->flags & kJpegFlagSubsample420) job.vSample = 2;
    else if (o->flags & kJpegFlagSubsample422) job.vSample = 1;
    else job.hSample = job.vSample = 1;
  }
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = Encode(&job, &buffer, &size);
  std::vector<BYTE> bytes;
  if (ok && buffer) bytes.assign(buffer, buffer + size);
  std::free(buffer);
  if (!ok) return Fail(pack, IMAGEIO_ERR_WRITE, "JPEG: encoding failed");
  return WriteWholeFile(pack, bytes);
}

}  // namespace TevImageIO
