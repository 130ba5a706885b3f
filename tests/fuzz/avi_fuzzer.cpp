// Fuzz target: AVI import (our RIFF header walker, then the decoder library
// and our frame conversion) from an in-memory file. An import must fail
// with an empty model, or give one frame per object, each picture a valid
// DIB of the canvas size.
#include <cstdint>
#include <cstdlib>

#include "app/avi_import.h"
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lw_fuzz::CMemoryFile file;
  if (!file.Fill(data, size)) return 0;
  CAviMainHeader header;
  const bool headerRead = ReadAviMainHeader(file.Path(), header);
  if (headerRead && (header.width < 1 || header.height < 1 || header.width > 65535 || header.height > 65535))
    std::abort();
  CGifImage model;
  std::string reason;
  // A small decode budget keeps each run short; the resampling path still runs.
  if (!ImportAviFile(model, file.Path(), nullptr, &reason, std::size_t(1) << 20)) {
    if (model.GetFrameCount() != 0 || model.GetObjectCount() != 0 || reason.empty()) std::abort();
    return 0;
  }
  if (!headerRead || model.GetFrameCount() == 0 || model.GetFrameCount() != model.GetObjectCount()) std::abort();
  return 0;
}
