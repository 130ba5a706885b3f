// Fuzz target: the EMF reader through LoadImageW.
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return lw_fuzz::FuzzImageReader(TevImageIO::IMAGE_FORMAT_EMF, data, size);
}
