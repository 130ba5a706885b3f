// JPEG reader on libjpeg-turbo: colour pictures become 24-bit DIBs, greyscale
// pictures 8-bit DIBs with a grey ramp, CMYK/YCCK pictures 24-bit DIBs (Adobe
// files store CMYK inverted, which libjpeg reports through its Adobe marker).
// The EXIF orientation tag is ignored: pixels come out in stored order.
// A stream that breaks off fails instead of being padded with grey.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool truncated;
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings are silent; a premature end of data is remembered as a failure.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  if (level < 0) {
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) err->truncated = true;
    ++cinfo->err->num_warnings;
  }
}

void JpegOutputMessage(j_common_ptr) {}

// Decodes into picture; every libjpeg object lives inside this function so
// that a longjmp from the error handler only skips trivially destructible frames.
int DecodeJpeg(const BYTE* data, std::size_t size, int scale, std::uint64_t maxPixels, DibPtr& picture,
               std::string& reason, CTevCommonProgress* progress) {
  jpeg_decompress_struct cinfo;
  JpegError err{};
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegEmitMessage;
  err.mgr.output_message = JpegOutputMessage;
  // Raw pointers only between setjmp and longjmp; released on both paths.
  BITMAPINFOHEADER* volatile dib = nullptr;
  BYTE* volatile line = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    DibFree(dib);
    std::free(line);
    reason = std::string("JPEG: ") + err.message;
    return IMAGEIO_ERR_FORMAT;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 14, 0);
  jpeg_read_header(&cinfo, TRUE);
  if (!DimensionsAllowed(cinfo.image_width, cinfo.image_height, 32)) {
    jpeg_destroy_decompress(&cinfo);
    reason = "JPEG: image dimensions exceed the limits";
    return IMAGEIO_ERR_TOO_LARGE;
  }
  if (!WithinPixelBudget(maxPixels, cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    reason = "JPEG: picture larger than the pixel budget";
    return IMAGEIO_ERR_TOO_LARGE;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  cinfo.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  if (scale == 2 || scale == 4 || scale == 8) {
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(scale);
  }
  jpeg_start_decompress(&cinfo);
  const LONG w = LONG(cinfo.output_width), h = LONG(cinfo.output_height);
  const int comps = cinfo.output_components;
  dib = DibAlloc(w, h, grey ? 8 : 24, grey ? 256 : 0);
  line = static_cast<BYTE*>(std::malloc(std::size_t(w) * std::size_t(comps)));
  if (!dib || !line) {
    jpeg_destroy_decompress(&cinfo);
    DibFree(dib);
    std::free(line);
    reason = "JPEG: out of memory";
    return IMAGEIO_ERR_MEMORY;
  }
  if (grey) {
    RGBQUAD* pal = DibPalette(dib);
    for (int i = 0; i < 256; ++i) pal[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
  }
  // Adobe writes CMYK with every value inverted; plain CMYK files store ink amounts.
  const bool inverted = cmyk && cinfo.saw_Adobe_marker;
  bool cancelled = false;
  while (cinfo.output_scanline < cinfo.output_height) {
    const LONG y = LONG(cinfo.output_scanline);
    BYTE* row = DibRow(dib, y);
    JSAMPROW target = cmyk ? line : row;
    jpeg_read_scanlines(&cinfo, &target, 1);
    if (cmyk) {
      for (LONG x = 0; x < w; ++x) {
        int c = line[x * 4], m = line[x * 4 + 1], ye = line[x * 4 + 2], k = line[x * 4 + 3];
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          ye = 255 - ye;
          k = 255 - k;
        }
        // Inverted values: c is the remaining cyan light, so R = c * k / 255.
        row[x * 3] = BYTE((ye * k + 127) / 255);
        row[x * 3 + 1] = BYTE((m * k + 127) / 255);
        row[x * 3 + 2] = BYTE((c * k + 127) / 255);
      }
    }
    if (!Step(progress, y + 1, h)) {
      cancelled = true;
      break;
    }
  }
  std::free(line);
  line = nullptr;
  if (cancelled) {
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    DibFree(dib);
    reason = "cancelled";
    return IMAGEIO_ERR_CANCELLED;
  }
  if (!err.truncated) jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  if (err.truncated) {
    DibFree(dib);
    reason = "JPEG: image data breaks off";
    return IMAGEIO_ERR_FORMAT;
  }
  picture.reset(dib);
  return IMAGEIO_OK;
}

}  // namespace

bool SniffJpeg(const BYTE* head, std::size_t size) {
  return size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

int ReadJpeg(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffJpeg(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not a JPEG file: " + pack.path);
  const CTevJpegImportOptions* jpeg = options ? options->As<CTevJpegImportOptions>() : nullptr;
  DibPtr picture;
  rc = DecodeJpeg(bytes.data(), bytes.size(), jpeg ? jpeg->scaleDenominator : 0, options ? options->maxPixels : 0, picture,
                  reason, progress);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  pack.width = DibWidth(picture.get());
  pack.height = DibHeight(picture.get());
  pack.transparencyMode = TRANSPARENCY_NONE;
  pack.picture = std::move(picture);
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
