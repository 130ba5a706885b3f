// Helpers for the image codec tests: a private temporary folder, running the
// independent decoders (Debian's python3 with PIL, ImageMagick), files one
// script writes for a whole suite, and pixel comparison of decoded blocks.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "companions/base/dib.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/dib_pixels.h"
#include "companions/imageio/tev_image_io.h"

namespace imageio_test {

inline bool HavePil() {
  static int have = -1;
  if (have < 0) have = std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
  return have == 1;
}

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "lw-imageio-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data())) path_ = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  std::size_t EntryCount() const {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }

 private:
  std::string path_;
};

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Runs a Python script (PIL available) with the given arguments; returns its exit status.
inline int RunPython(const std::string& dir, const std::string& script, const std::string& args = "") {
  std::string file = dir + "/script.py";
  {
    std::ofstream out(file);
    out << script;
  }
  std::string cmd = "/usr/bin/python3 " + file + " " + args;
  return std::system(cmd.c_str());
}

// RGBA bytes, top row first, of a 32-bit DIB.
inline std::vector<unsigned char> DibToRgba(const BITMAPINFOHEADER* dib) {
  std::vector<unsigned char> out;
  for (LONG y = 0; y < DibHeight(dib); ++y) {
    const BYTE* row = DibRow(dib, y);
    for (LONG x = 0; x < DibWidth(dib); ++x) {
      out.push_back(row[x * 4 + 2]);
      out.push_back(row[x * 4 + 1]);
      out.push_back(row[x * 4]);
      out.push_back(row[x * 4 + 3]);
    }
  }
  return out;
}

// Loads path with default options of format; fails the test on error.
inline int Load(TevImageIO::CTevImageInfoPack& pack, const std::string& path, int format) {
  pack.path = path;
  auto options = TevImageIO::CTevImgImportOptions::NewImportOptions(format);
  return TevImageIO::LoadImageW(pack, options.get(), nullptr);
}

// Loads dir/name as format and expects a refusal with a reason, no picture
// and no frames; a non-zero code is the error it must be.
inline void ExpectRefused(const TempDir& dir, const std::string& name, int format, int code = 0) {
  SCOPED_TRACE(name);
  TevImageIO::CTevImageInfoPack pack;
  const int rc = Load(pack, dir.File(name), format);
  EXPECT_NE(rc, 0);
  if (code) {
    EXPECT_EQ(rc, code);
  }
  EXPECT_FALSE(pack.errorText.empty());
  EXPECT_FALSE(pack.picture);
  EXPECT_EQ(pack.next, nullptr);
}

// The same after writing bytes to dir/name.
inline void ExpectRefused(const TempDir& dir, const std::string& name, const std::vector<unsigned char>& bytes,
                          int format, int code = 0) {
  WriteBytes(dir.File(name), bytes);
  ExpectRefused(dir, name, format, code);
}

// A copy of bytes with the given (offset, value) bytes replaced.
inline std::vector<unsigned char> Patched(std::vector<unsigned char> bytes,
                                          std::initializer_list<std::pair<std::size_t, unsigned char>> changes) {
  for (auto [at, v] : changes)
    if (at < bytes.size()) bytes[at] = v;
  return bytes;
}

// The first n bytes (fewer when there are fewer).
inline std::vector<unsigned char> Head(const std::vector<unsigned char>& bytes, std::size_t n) {
  return std::vector<unsigned char>(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(n, bytes.size())));
}

// Index of the first differing byte, or -1.
inline long FirstDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return long(i);
  return -1;
}

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

// A suite whose files one Python script (PIL available) writes once into a
// folder shared by the suite's tests; skipped without PIL.
template <const char** Script>
class ScriptFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    made_ = HavePil() && RunPython(dir_->path(), *Script, dir_->path()) == 0;
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
