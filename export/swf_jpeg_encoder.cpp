// The JPEG movie writer: DefineBitsJPEG2 for opaque pictures, DefineBitsJPEG3
// (JPEG colours plus zlib-compressed alpha bytes) for masked ones. The JPEG
// stream is built in memory, for writing and for the size measure alike.
// The function that calls setjmp holds only plain pointers and integers.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "export/swf_encoder.h"

namespace {

constexpr int kDefineBitsJpeg2 = 21;
constexpr int kDefineBitsJpeg3 = 35;

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegFail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegSilence(j_common_ptr, int) {}

struct JpegJob {
  const BITMAPINFOHEADER* image;
  const BITMAPINFOHEADER* mask;
  int quality;
};

bool Compress(const JpegJob* job, unsigned char** buffer, unsigned long* size) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegSilence;
  std::uint8_t* volatile row = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(row);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, buffer, size);
  const LONG w = DibWidth(job->image), h = DibHeight(job->image);
  cinfo.image_width = JDIMENSION(w);
  cinfo.image_height = JDIMENSION(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, job->quality, TRUE);
  // Flat-coloured frames with sharp edges lose visibly under halved chroma;
  // at high quality keep it whole.
  if (job->quality >= 90) cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
  jpeg_start_compress(&cinfo, TRUE);
  row = static_cast<std::uint8_t*>(std::malloc(std::size_t(w) * 4));
  if (!row) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
  while (cinfo.next_scanline < cinfo.image_height) {
    const LONG y = LONG(cinfo.next_scanline);
    if (!SwfRowToBgra(job->image, y, row)) JpegFail(reinterpret_cast<j_common_ptr>(&cinfo));
    for (LONG x = 0; x < w; ++x) {  // BGRA to packed RGB in place; transparent pixels black
      const bool shown = SwfMaskBit(job->mask, x, y);
      const std::uint8_t b = row[x * 4], g = row[x * 4 + 1], r = row[x * 4 + 2];
      row[x * 3] = shown ? r : 0;
      row[x * 3 + 1] = shown ? g : 0;
      row[x * 3 + 2] = shown ? b : 0;
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::free(row);
  return true;
}

bool Usable(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask) {
  if (!image || !DibHeaderValid(image) || DibWidth(image) > 0xFFFF || DibHeight(image) > 0xFFFF) return false;
  return !mask || (DibHeaderValid(mask) && mask->biBitCount == 1 && DibWidth(mask) == DibWidth(image) &&
                   DibHeight(mask) == DibHeight(image));
}

}  // namespace

bool EncodeSwfJpeg(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, int quality,
                   std::vector<std::uint8_t>& jpeg) {
  if (!Usable(image, mask)) return false;
  const JpegJob job{image, mask, quality < 1 ? 1 : quality > 100 ? 100 : quality};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = Compress(&job, &buffer, &size);
  if (ok) jpeg.assign(buffer, buffer + size);
  std::free(buffer);
  return ok;
}

bool CJPGSwfEncoder::EncodeBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask,
                                  CSwfBitmapTag& tag) const {
  std::vector<std::uint8_t> jpeg;
  if (!EncodeSwfJpeg(image, mask, quality_, jpeg)) return false;
  tag.body.clear();
  if (!mask) {
    tag.type = kDefineBitsJpeg2;
    tag.body = std::move(jpeg);
    return true;
  }
  std::vector<std::uint8_t> alpha;
  const std::vector<std::uint8_t> raw = SwfAlphaBytes(DibWidth(image), DibHeight(image), mask);
  if (!SwfCompress(raw.data(), raw.size(), alpha)) return false;
  tag.type = kDefineBitsJpeg3;
  const std::uint32_t n = std::uint32_t(jpeg.size());
  tag.body.reserve(4 + jpeg.size() + alpha.size());
  for (int b = 0; b < 4; ++b) tag.body.push_back(std::uint8_t(n >> (8 * b)));
  tag.body.insert(tag.body.end(), jpeg.begin(), jpeg.end());
  tag.body.insert(tag.body.end(), alpha.begin(), alpha.end());
  return true;
}

bool CJPGSwfEncoder::MeasureBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, long long& size,
                                   long long /*limit*/) const {
  std::vector<std::uint8_t> jpeg;
  if (!EncodeSwfJpeg(image, mask, quality_, jpeg)) return false;
  size = (long long)jpeg.size() + 8;
  if (mask) {
    std::vector<std::uint8_t> alpha;
    const std::vector<std::uint8_t> raw = SwfAlphaBytes(DibWidth(image), DibHeight(image), mask);
    if (!SwfCompress(raw.data(), raw.size(), alpha)) return false;
    size += (long long)alpha.size();
  }
  return true;
}

long long CJPGSwfEncoder::TagCost(const CSwfBitmapTag& tag) const {
  // JPEG2: the stream; JPEG3: its 4-byte length, the stream and the alpha.
  return (long long)tag.body.size() + (tag.type == kDefineBitsJpeg2 ? 8 : 4);
}
