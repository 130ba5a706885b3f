// File access shared by the format readers and writers: whole-file reads
// with a size limit, bounds-checked little/big-endian cursors, failure
// reporting into the pack, and atomic writes (temporary file, then rename).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "companions/base/progress.h"
#include "companions/base/win_types.h"
#include "companions/imageio/image_info.h"

namespace TevImageIO {

// Largest input file any reader loads into memory.
constexpr std::size_t kMaxInputFileBytes = std::size_t(1) << 30;

// Sets pack.errorText and returns code.
int Fail(CTevImageInfoPack& pack, int code, const std::string& reason);

// Reads the whole file at path. Returns IMAGEIO_OK, IMAGEIO_ERR_OPEN or
// IMAGEIO_ERR_TOO_LARGE with reason set.
int ReadWholeFile(const std::string& path, std::vector<BYTE>& out, std::string& reason);
// Reads up to max bytes from the start of the file; false when it cannot be opened.
bool ReadFileHead(const std::string& path, std::vector<BYTE>& out, std::size_t max);

// True when width x height at bits per pixel fits the DIB limits.
bool DimensionsAllowed(long long width, long long height, int bits);
// True when width x height fits a pixel budget (0: no budget).
inline bool WithinPixelBudget(std::uint64_t maxPixels, long long width, long long height) {
  return maxPixels == 0 || (width >= 0 && height >= 0 && std::uint64_t(width) * std::uint64_t(height) <= maxPixels);
}

// Appends v to out as 2 or 4 little-endian bytes (the writers' headers).
inline void Put16(std::vector<BYTE>& out, unsigned v) {
  out.push_back(BYTE(v));
  out.push_back(BYTE(v >> 8));
}
inline void Put32(std::vector<BYTE>& out, DWORD v) {
  for (int i = 0; i < 4; ++i) out.push_back(BYTE(v >> (8 * i)));
}

// A read cursor over a byte range. Every read checks the remaining length;
// a failed read sets ok() to false and yields zeros, so a parser can read a
// whole record and check once.
class ByteReader {
 public:
  ByteReader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t size() const { return size_; }
  std::size_t pos() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool ok() const { return ok_; }
  const BYTE* data() const { return data_; }
  const BYTE* here() const { return data_ + pos_; }

  bool Seek(std::size_t pos);
  bool Skip(std::size_t n);
  // Pointer to n bytes at the cursor and advances, or null when fewer remain.
  const BYTE* Take(std::size_t n);
  BYTE U8();
  WORD U16LE();
  DWORD U32LE();
  WORD U16BE();
  DWORD U32BE();

 private:
  const BYTE* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// Removes ".NAME.XXXXXX" files next to target that a save or export killed
// while writing left behind (only the user's own, older than a minute).
void RemoveStaleTempFiles(const std::string& target);

// Writes through a temporary file in the target's folder and renames it
// over the target on Commit, so a failed save leaves any old file intact.
// 1. Open() 2. write to the FILE* 3. Commit(). Without Commit the
// temporary file is removed on destruction.
//
// Where the file system allows it the temporary file is unnamed (O_TMPFILE)
// and only gets a name just before the rename, so a process killed while
// writing leaves nothing behind; elsewhere a named temporary file is used and
// stale ones of the same target are removed by the next save. The new file
// keeps the old one's mode (and owner where permitted). A target without
// write permission is refused ("permission denied") unless replacing such
// files was allowed with SetReplaceReadOnlyFiles.
class CAtomicFileWriter {
 public:
  explicit CAtomicFileWriter(std::string path) : path_(std::move(path)) {}
  CAtomicFileWriter(const CAtomicFileWriter&) = delete;
  CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;
  ~CAtomicFileWriter();

  FILE* Open(std::string& reason);
  bool Commit(std::string& reason);
  FILE* file() const { return file_; }

 private:
  std::string path_;
  std::string temp_;  // named temporary file (fallback path), else empty
  FILE* file_ = nullptr;
  bool committed_ = false;
};

// Whether saves may replace files that have no write permission (the
// command line's --force). Off by default.
void SetReplaceReadOnlyFiles(bool allow);

// A failed write's reason in words: "disk full" for ENOSPC and EDQUOT,
// otherwise the system's text.
std::string WriteErrorText(int err);

// Writes a whole buffer atomically to path.
int WriteWholeFile(CTevImageInfoPack& pack, const std::vector<BYTE>& bytes);

// Reports row/frame progress and reads the cancel flag; false when cancelled.
inline bool Step(CTevCommonProgress* progress, long long done, long long total) {
  return ReportProgressStep(progress, done, total);
}

}  // namespace TevImageIO
