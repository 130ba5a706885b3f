// Fuzz target: the TIFF reader (our wrapper over the system library) through LoadImageW.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return lw_fuzz::FuzzImageReader(TevImageIO::IMAGE_FORMAT_TIFF, data, size);
}
