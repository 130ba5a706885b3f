// Fuzz target: the PSD reader through LoadImageW, merged picture and layers.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lw_fuzz::FuzzImageReader(TevImageIO::IMAGE_FORMAT_PSD, data, size, false);
  return lw_fuzz::FuzzImageReader(TevImageIO::IMAGE_FORMAT_PSD, data, size, true);
}
