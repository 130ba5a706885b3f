// Shared body of the picture reader fuzz targets: the input goes into an
// in-memory file (memfd) that LoadImageW reads by its /proc path, with the
// import options of the format. A load must fail with an empty pack, or give
// blocks whose pictures and masks are valid DIBs; every pixel byte is read
// so that the sanitizers see a picture smaller than its header claims.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "companions/imageio/tev_image_io.h"

namespace lw_fuzz {

class CMemoryFile {
 public:
  CMemoryFile() : fd_(::memfd_create("lw-fuzz", 0)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
  ~CMemoryFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Fill(const std::uint8_t* data, std::size_t size) {
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return false;
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, data + done, size - done, off_t(done));
      if (n <= 0) return false;
      done += std::size_t(n);
    }
    return true;
  }
  const std::string& Path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

inline unsigned SumPixels(const BITMAPINFOHEADER* dib) {
  if (!DibHeaderValid(dib)) std::abort();
  unsigned sum = 0;
  const std::size_t stride = DibStride(dib);
  for (LONG y = 0; y < DibHeight(dib); ++y) {
    const BYTE* row = DibRow(dib, y);
    for (std::size_t i = 0; i < stride; ++i) sum += row[i];
  }
  return sum;
}

// Pictures the targets decode are held to this many pixels: larger ones run
// the same code paths, only slower. Metafiles are drawn scaled down to a
// smaller canvas, since a mutated file may repeat a full-canvas fill for every
// record.
constexpr std::uint64_t kFuzzPixelBudget = std::uint64_t(1) << 18;
constexpr std::uint64_t kFuzzMetafilePixelBudget = std::uint64_t(1) << 14;

// Loads the bytes as format (with layersAsObjects for PSD); aborts on an
// inconsistent result.
inline int FuzzImageReader(int format, const std::uint8_t* data, std::size_t size, bool layersAsObjects = false) {
  static CMemoryFile file;
  if (!file.Fill(data, size)) return 0;
  auto options = TevImageIO::CTevImgImportOptions::NewImportOptions(format);
  const bool metafile = format == TevImageIO::IMAGE_FORMAT_WMF || format == TevImageIO::IMAGE_FORMAT_EMF;
  options->maxPixels = metafile ? kFuzzMetafilePixelBudget : kFuzzPixelBudget;
  if (auto* psd = options->As<TevImageIO::CTevPsdImportOptions>()) psd->layersAsObjects = layersAsObjects ? 1 : 0;
  TevImageIO::CTevImageInfoPack pack;
  pack.path = file.Path();
  if (TevImageIO::LoadImageW(pack, options.get(), nullptr) != TevImageIO::IMAGEIO_OK) {
    if (pack.picture || pack.next || pack.errorText.empty()) std::abort();
    return 0;
  }
  volatile unsigned sink = 0;
  for (const TevImageIO::CTevSubImageBlock* b = &pack; b; b = b->next) {
    if (!b->picture) std::abort();
    sink = sink + SumPixels(b->picture.get());
    if (b->mask) sink = sink + SumPixels(b->mask.get());
  }
  return 0;
}

}  // namespace lw_fuzz
