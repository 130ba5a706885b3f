// TIFF reader on libtiff: every page (directory) becomes one sub-image block
// with a 32-bit picture decoded through libtiff's RGBA interface, so every
// photometric kind and compression libtiff knows is read. Colour comes back
// premultiplied from that interface and is divided by alpha again. Sizes are checked
// against the DIB limits before any pixel buffer is allocated.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

namespace {

// Pages beyond this are ignored; decoded pixels of all pages together are bounded too.
constexpr int kMaxTiffPages = 4096;
constexpr unsigned long long kMaxTiffDecodedBytes = 4ull << 30;

struct TiffMemory {
  const BYTE* data;
  toff_t size;
  toff_t pos;
  std::string error;
};

tmsize_t TiffRead(thandle_t h, void* buf, tmsize_t n) {
  auto* m = static_cast<TiffMemory*>(h);
  if (n <= 0 || m->pos >= m->size) return 0;
  const toff_t take = std::min<toff_t>(toff_t(n), m->size - m->pos);
  std::memcpy(buf, m->data + m->pos, std::size_t(take));
  m->pos += take;
  return tmsize_t(take);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }

toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<TiffMemory*>(h);
  toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
  // Offsets past the end are allowed (reads there return nothing); wrap-around is not.
  if (off > ~toff_t(0) - base) return toff_t(-1);
  m->pos = base + off;
  return m->pos;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TiffMemory*>(h)->size; }

int TiffError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* m = static_cast<TiffMemory*>(user);
  if (m->error.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    m->error = std::string(module ? module : "TIFF") + ": " + text;
  }
  return 1;
}

int TiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  TIFF* tif;
  ~TiffCloser() {
    if (tif) TIFFClose(tif);
  }
};

// Decodes the current directory into a 32-bit DIB; sets anyAlpha when a pixel is not opaque.
int DecodePage(TIFF* tif, TiffMemory& mem, unsigned long long& decoded, std::uint64_t maxPixels, DibPtr& picture,
               bool& anyAlpha, std::string& reason) {
  uint32_t w = 0, h = 0;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h)) {
    reason = "TIFF: page without size";
    return IMAGEIO_ERR_FORMAT;
  }
  if (!DimensionsAllowed(w, h, 32)) {
    reason = "TIFF: image dimensions exceed the limits";
    return IMAGEIO_ERR_TOO_LARGE;
  }
  if (!WithinPixelBudget(maxPixels, w, h)) {
    reason = "TIFF: page larger than the pixel budget";
    return IMAGEIO_ERR_TOO_LARGE;
  }
  decoded += 4ull * w * h;
  if (decoded > kMaxTiffDecodedBytes) {
    reason = "TIFF: too much image data";
    return IMAGEIO_ERR_TOO_LARGE;
  }
  char emsg[1024] = "";
  if (!TIFFRGBAImageOK(tif, emsg)) {
    reason = std::string("TIFF: ") + emsg;
    return IMAGEIO_ERR_UNSUPPORTED;
  }
  std::vector<uint32_t> raster;
  try {
    raster.resize(std::size_t(w) * h);
  } catch (const std::bad_alloc&) {
    reason = "TIFF: out of memory";
    return IMAGEIO_ERR_MEMORY;
  }
  mem.error.clear();
  if (!TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
    reason = mem.error.empty() ? "TIFF: image data cannot be decoded" : "TIFF: " + mem.error;
    return IMAGEIO_ERR_FORMAT;
  }
  picture.reset(DibAlloc(LONG(w), LONG(h), 32));
  if (!picture) {
    reason = "TIFF: out of memory";
    return IMAGEIO_ERR_MEMORY;
  }
  for (uint32_t y = 0; y < h; ++y) {
    BYTE* row = DibRow(picture.get(), LONG(y));
    const uint32_t* src = raster.data() + std::size_t(y) * w;
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t p = src[x];
      const uint32_t a = TIFFGetA(p);
      row[x * 4 + 3] = BYTE(a);
      if (a == 255) {
        row[x * 4] = BYTE(TIFFGetB(p));
        row[x * 4 + 1] = BYTE(TIFFGetG(p));
        row[x * 4 + 2] = BYTE(TIFFGetR(p));
        continue;
      }
      // The RGBA interface hands out premultiplied colour; DIBs keep straight alpha.
      anyAlpha = true;
      if (a == 0) continue;
      row[x * 4] = BYTE(std::min<uint32_t>(255, (TIFFGetB(p) * 255 + a / 2) / a));
      row[x * 4 + 1] = BYTE(std::min<uint32_t>(255, (TIFFGetG(p) * 255 + a / 2) / a));
      row[x * 4 + 2] = BYTE(std::min<uint32_t>(255, (TIFFGetR(p) * 255 + a / 2) / a));
    }
  }
  return IMAGEIO_OK;
}

}  // namespace

bool SniffTiff(const BYTE* head, std::size_t size) {
  if (size < 4) return false;
  const bool le = head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0;
  const bool be = head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43);
  return le || be;
}

int ReadTiff(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffTiff(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not a TIFF file: " + pack.path);

  TiffMemory mem{bytes.data(), toff_t(bytes.size()), 0, {}};
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return Fail(pack, IMAGEIO_ERR_MEMORY, "TIFF: out of memory");
  TIFFOpenOptionsSetErrorHandlerExtR(opts, TiffError, &mem);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, TiffWarning, &mem);
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(kMaxDibBytes));
  TiffCloser closer{TIFFClientOpenExt("memory", "rm", &mem, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                      nullptr, nullptr, opts)};
  TIFFOpenOptionsFree(opts);
  if (!closer.tif)
    return Fail(pack, IMAGEIO_ERR_FORMAT, mem.error.empty() ? "TIFF: bad header" : "TIFF: " + mem.error);

  const int pages = std::min<int>(TIFFNumberOfDirectories(closer.tif), kMaxTiffPages);
  unsigned long long decoded = 0;
  bool anyAlpha = false;
  for (int page = 0; page < std::max(pages, 1); ++page) {
    if (page > 0 && !TIFFSetDirectory(closer.tif, tdir_t(page))) break;
    DibPtr picture;
    rc = DecodePage(closer.tif, mem, decoded, options ? options->maxPixels : 0, picture, anyAlpha, reason);
    if (rc != IMAGEIO_OK) {
      // A broken later page ends the file; a broken first page fails it.
      if (page == 0 || rc == IMAGEIO_ERR_TOO_LARGE) return Fail(pack, rc, reason);
      break;
    }
    CTevSubImageBlock* block = &pack;
    if (page > 0) block = pack.AppendBlock(std::make_unique<CTevSubImageBlock>());
    block->picture = std::move(picture);
    pack.width = std::max<int>(pack.width, DibWidth(block->picture.get()));
    pack.height = std::max<int>(pack.height, DibHeight(block->picture.get()));
    if (!Step(progress, page + 1, std::max(pages, 1))) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
  }
  pack.transparencyMode = anyAlpha ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE;
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
