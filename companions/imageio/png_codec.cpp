// PNG reader and writer on libpng.
//
// libpng reports errors by longjmp. The functions that call setjmp
// (DecodePng, EncodePng) hold only plain pointers and integers, no objects
// with destructors, and release everything they allocated on the error path.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

namespace {

struct PngState {
  const BYTE* data;  // reading: the file bytes
  std::size_t size;
  std::size_t pos;
  png_uint_32 height;  // rows per pass, for progress
  int passes;
  int code;  // IMAGEIO_RESULT to return when libpng fails
  CTevCommonProgress* progress;
  std::uint64_t maxPixels;  // 0: no pixel budget
  char message[200];
};

void PngError(png_structp png, png_const_charp msg) {
  auto* st = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(st->message, sizeof st->message, "%s", msg ? msg : "PNG error");
  if (msg && std::strstr(msg, "user limit")) st->code = IMAGEIO_ERR_TOO_LARGE;
  png_longjmp(png, 1);
}

// libpng checks IHDR by warning about each bad field, then fails with a
// general message; remember that a size limit was the reason.
void PngWarning(png_structp png, png_const_charp msg) {
  auto* st = static_cast<PngState*>(png_get_error_ptr(png));
  if (msg && std::strstr(msg, "user limit")) st->code = IMAGEIO_ERR_TOO_LARGE;
}

void PngRead(png_structp png, png_bytep out, std::size_t n) {
  auto* st = static_cast<PngState*>(png_get_io_ptr(png));
  if (n > st->size - st->pos) png_error(png, "file is truncated");
  std::memcpy(out, st->data + st->pos, n);
  st->pos += n;
}

// Row callback for both directions: reports progress and stops on cancel.
void PngRowDone(PngState* st, png_structp png, png_uint_32 row, int pass) {
  if (!st->progress || st->height == 0) return;
  long long total = (long long)st->height * (st->passes > 0 ? st->passes : 1);
  long long done = (long long)pass * st->height + row;
  if (!ReportProgressStep(st->progress, done, total)) {
    st->code = IMAGEIO_ERR_CANCELLED;
    png_error(png, "cancelled");
  }
}

void PngReadRowDone(png_structp png, png_uint_32 row, int pass) {
  PngRowDone(static_cast<PngState*>(png_get_io_ptr(png)), png, row, pass);
}

void PngWriteRowDone(png_structp png, png_uint_32 row, int pass) {
  PngRowDone(static_cast<PngState*>(png_get_error_ptr(png)), png, row, pass);
}

// Decodes st->data into a new 32-bit BGRA DIB (straight alpha, 255 where
// the file has none). Null on failure with st->code and st->message set.
BITMAPINFOHEADER* DecodePng(PngState* st, bool* hasAlpha) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, st, PngError, PngWarning);
  if (!png) {
    st->code = IMAGEIO_ERR_MEMORY;
    return nullptr;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    st->code = IMAGEIO_ERR_MEMORY;
    return nullptr;
  }
  BITMAPINFOHEADER* volatile dib = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(const_cast<png_bytep*>(rows));
    DibFree(dib);
    return nullptr;
  }
  png_set_read_fn(png, st, PngRead);
  png_set_user_limits(png, png_uint_32(kMaxDibDimension), png_uint_32(kMaxDibDimension));
  png_set_read_status_fn(png, PngReadRowDone);
  png_read_info(png, info);

  png_uint_32 w = 0, h = 0;
  int depth = 0, ctype = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &ctype, &interlace, nullptr, nullptr);
  if (!DimensionsAllowed(w, h, 32)) {
    st->code = IMAGEIO_ERR_TOO_LARGE;
    png_error(png, "picture dimensions exceed the limits");
  }
  if (!WithinPixelBudget(st->maxPixels, w, h)) {
    st->code = IMAGEIO_ERR_TOO_LARGE;
    png_error(png, "picture larger than the pixel budget");
  }
  *hasAlpha = (ctype & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);

  png_set_expand(png);  // palette and low grey depths to 8 bits, tRNS to alpha
  png_set_scale_16(png);
  if (!(ctype & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  st->passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t(w) * 4) png_error(png, "unexpected row layout");

  st->height = h;
  dib = DibAlloc(LONG(w), LONG(h), 32);
  if (!dib) {
    st->code = IMAGEIO_ERR_MEMORY;
    png_error(png, "out of memory");
  }
  rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
  if (!rows) {
    st->code = IMAGEIO_ERR_MEMORY;
    png_error(png, "out of memory");
  }
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = DibRow(dib, LONG(y));
  png_read_image(png, rows);
  png_read_end(png, nullptr);

  png_destroy_read_struct(&png, &info, nullptr);
  std::free(const_cast<png_bytep*>(rows));
  return dib;
}

struct PngWriteJob {
  png_uint_32 width;
  png_uint_32 height;
  int depth;
  int colorType;
  bool bgr;  // rows hold B, G, R(, A)
  png_bytep* rows;
  const png_color* palette;
  int paletteCount;
  const png_byte* trans;
  int transCount;
  int interlace;
  int level;
  bool noFilter;
};

// Encodes the job into f. False with st->message set on failure.
bool EncodePng(FILE* f, const PngWriteJob* job, PngState* st) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, st, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_write_status_fn(png, PngWriteRowDone);
  png_set_compression_level(png, job->level);
  if (job->noFilter) png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, job->width, job->height, job->depth, job->colorType,
               job->interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (job->palette) png_set_PLTE(png, info, job->palette, job->paletteCount);
  if (job->trans) png_set_tRNS(png, info, job->trans, job->transCount, nullptr);
  png_write_info(png, info);
  if (job->bgr) png_set_bgr(png);
  st->passes = png_set_interlace_handling(png);
  st->height = job->height;
  png_write_image(png, job->rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool SniffPng(const BYTE* head, std::size_t size) {
  static const BYTE kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return size >= 8 && std::memcmp(head, kSig, 8) == 0;
}

int DecodePngMemory(const BYTE* data, std::size_t size, DibPtr& picture, bool& hasAlpha, std::string& reason,
                    CTevCommonProgress* progress, std::uint64_t maxPixels) {
  if (!SniffPng(data, size)) {
    reason = "not a PNG stream";
    return IMAGEIO_ERR_FORMAT;
  }
  PngState st{};
  st.data = data;
  st.size = size;
  st.code = IMAGEIO_ERR_FORMAT;
  st.progress = progress;
  st.maxPixels = maxPixels;
  hasAlpha = false;
  picture.reset(DecodePng(&st, &hasAlpha));
  if (!picture) {
    reason = std::string("PNG: ") + st.message;
    return st.code;
  }
  return IMAGEIO_OK;
}

int ReadPng(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffPng(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not a PNG file: " + pack.path);
  DibPtr dib;
  bool hasAlpha = false;
  rc = DecodePngMemory(bytes.data(), bytes.size(), dib, hasAlpha, reason, progress, options ? options->maxPixels : 0);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);

  pack.width = DibWidth(dib.get());
  pack.height = DibHeight(dib.get());
  pack.transparencyMode = hasAlpha ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE;
  pack.picture = std::move(dib);
  if (progress) progress->SetProgress(1.0f);
  return IMAGEIO_OK;
}

int WritePng(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress* progress) {
  const BITMAPINFOHEADER* pic = pack.picture.get();
  if (!DibReadable(pic)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "PNG: picture is not a valid uncompressed DIB");
  const CTevPngExportOptions* png = options ? options->As<CTevPngExportOptions>() : nullptr;
  const BITMAPINFOHEADER* mask = pack.mask.get();
  if (mask && (mask->biBitCount != 1 || DibWidth(mask) != DibWidth(pic) || DibHeight(mask) != DibHeight(pic)))
    mask = nullptr;

  const LONG w = DibWidth(pic), h = DibHeight(pic);
  PngWriteJob job{};
  job.width = png_uint_32(w);
  job.height = png_uint_32(h);
  job.interlace = png && png->interlaced;
  job.level = png ? (png->compression > 9 ? 9 : png->compression) : 9;
  job.noFilter = png && png->filter == 1;

  std::vector<png_bytep> rows(static_cast<std::size_t>(h));
  std::vector<BYTE> buffer;
  std::vector<png_color> palette;
  std::vector<png_byte> trans;
  const int bits = pic->biBitCount;
  if (bits <= 8 && !mask) {
    // Palette rows are already packed most significant bit first, as PNG wants.
    const std::size_t entries = DibPaletteEntries(pic);
    const std::size_t slots = std::size_t(1) << bits;
    palette.assign(slots, png_color{0, 0, 0});
    for (std::size_t i = 0; i < entries && i < slots; ++i)
      palette[i] = png_color{DibPalette(pic)[i].rgbRed, DibPalette(pic)[i].rgbGreen, DibPalette(pic)[i].rgbBlue};
    job.depth = bits;
    job.colorType = PNG_COLOR_TYPE_PALETTE;
    job.palette = palette.data();
    job.paletteCount = int(slots);
    if (pack.transparentIndex >= 0 && std::size_t(pack.transparentIndex) < slots) {
      trans.assign(std::size_t(pack.transparentIndex) + 1, 255);
      trans.back() = 0;
      job.trans = trans.data();
      job.transCount = int(trans.size());
    }
    for (LONG y = 0; y < h; ++y) rows[std::size_t(y)] = const_cast<png_bytep>(DibRow(pic, y));
  } else if (bits == 24 && !mask) {
    job.depth = 8;
    job.colorType = PNG_COLOR_TYPE_RGB;
    job.bgr = true;
    for (LONG y = 0; y < h; ++y) rows[std::size_t(y)] = const_cast<png_bytep>(DibRow(pic, y));
  } else {
    job.depth = 8;
    job.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    job.bgr = true;
    const std::size_t stride = std::size_t(w) * 4;
    buffer.resize(stride * std::size_t(h));
    for (LONG y = 0; y < h; ++y) {
      BYTE* row = buffer.data() + stride * std::size_t(y);
      DibRowToBgra(pic, y, row);
      ApplyTransparentIndexRow(pic, y, pack.transparentIndex, row);
      ApplyMaskRow(mask, y, row, w);
      rows[std::size_t(y)] = row;
    }
  }
  job.rows = rows.data();

  CAtomicFileWriter writer(pack.path);
  std::string reason;
  FILE* f = writer.Open(reason);
  if (!f) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  PngState st{};
  st.code = IMAGEIO_ERR_WRITE;
  st.progress = progress;
  if (!EncodePng(f, &job, &st)) {
    const int err = errno;
    if (std::ferror(f)) return Fail(pack, st.code, "cannot write " + pack.path + ": " + WriteErrorText(err));
    return Fail(pack, st.code, std::string("PNG: ") + st.message);
  }
  if (!writer.Commit(reason)) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  if (progress) progress->SetProgress(1.0f);
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
