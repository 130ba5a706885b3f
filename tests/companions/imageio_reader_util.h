// Helpers for the picture reader tests: any block decoded to RGBA bytes
// (mask applied), and RGBA dumps written by the Python scripts.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/dib_pixels.h"
#include "imageio_test_util.h"

namespace imageio_test {

// The block's picture as RGBA bytes, top row first; the mask's clear bits give alpha 0.
inline std::vector<unsigned char> BlockRgba(const TevImageIO::CTevSubImageBlock& b) {
  DibPtr dib(CDIB32::ConvertTo32BitsDIB(b.picture.get()));
  if (!dib) return {};
  if (b.mask)
    for (LONG y = 0; y < DibHeight(dib.get()); ++y)
      TevImageIO::ApplyMaskRow(b.mask.get(), y, DibRow(dib.get(), y), DibWidth(dib.get()));
  return DibToRgba(dib.get());
}

// Largest difference of any byte; a size mismatch counts as 256.
inline int MaxDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
  return worst;
}

// Writes script to dir and runs it with dir as its argument; true on exit status 0.
inline bool MakeFiles(const TempDir& dir, const std::string& script) {
  return RunPython(dir.path(), script, dir.path()) == 0;
}

// A suite whose files one Python script (PIL available) writes once into a
// folder shared by the suite's tests; skipped without PIL.
template <const char** Script>
class ScriptFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    made_ = HavePil() && MakeFiles(*dir_, *Script);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!HavePil()) GTEST_SKIP() << "python3-pil not installed";
    ASSERT_TRUE(made_) << "the script that writes the test files failed";
  }
  const TempDir& dir = *dir_;

 private:
  static inline TempDir* dir_ = nullptr;
  static inline bool made_ = false;
};

}  // namespace imageio_test
