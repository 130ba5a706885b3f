#include "companions/imageio/codec_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "companions/base/dib.h"

namespace TevImageIO {

int Fail(CTevImageInfoPack& pack, int code, const std::string& reason) {
  pack.errorText = reason;
  return code;
}

int ReadWholeFile(const std::string& path, std::vector<BYTE>& out, std::string& reason) {
  out.clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    reason = "cannot open " + path + ": " + std::strerror(errno);
    return IMAGEIO_ERR_OPEN;
  }
  struct stat st {};
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(f);
    reason = "not a regular file: " + path;
    return IMAGEIO_ERR_OPEN;
  }
  if (std::uint64_t(st.st_size) > kMaxInputFileBytes) {
    std::fclose(f);
    reason = "file too large: " + path;
    return IMAGEIO_ERR_TOO_LARGE;
  }
  out.resize(std::size_t(st.st_size));
  std::size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
  bool err = std::ferror(f);
  std::fclose(f);
  if (err || got != out.size()) {
    out.clear();
    reason = "cannot read " + path;
    return IMAGEIO_ERR_OPEN;
  }
  return IMAGEIO_OK;
}

bool ReadFileHead(const std::string& path, std::vector<BYTE>& out, std::size_t max) {
  out.assign(max, 0);
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::size_t got = std::fread(out.data(), 1, max, f);
  std::fclose(f);
  out.resize(got);
  return true;
}

bool DimensionsAllowed(long long width, long long height, int bits) {
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) return false;
  return DibPitch(LONG(width), bits) * std::size_t(height) <= kMaxDibBytes;
}

bool ByteReader::Seek(std::size_t pos) {
  if (pos > size_) {
    ok_ = false;
    return false;
  }
  pos_ = pos;
  return true;
}

bool ByteReader::Skip(std::size_t n) {
  if (n > remaining()) {
    pos_ = size_;
    ok_ = false;
    return false;
  }
  pos_ += n;
  return true;
}

const BYTE* ByteReader::Take(std::size_t n) {
  if (n > remaining()) {
    pos_ = size_;
    ok_ = false;
    return nullptr;
  }
  const BYTE* p = data_ + pos_;
  pos_ += n;
  return p;
}

BYTE ByteReader::U8() {
  const BYTE* p = Take(1);
  return p ? p[0] : 0;
}
WORD ByteReader::U16LE() {
  const BYTE* p = Take(2);
  return p ? WORD(p[0] | (p[1] << 8)) : 0;
}
DWORD ByteReader::U32LE() {
  const BYTE* p = Take(4);
  return p ? DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24) : 0;
}
WORD ByteReader::U16BE() {
  const BYTE* p = Take(2);
  return p ? WORD((p[0] << 8) | p[1]) : 0;
}
DWORD ByteReader::U32BE() {
  const BYTE* p = Take(4);
  return p ? (DWORD(p[0]) << 24) | (DWORD(p[1]) << 16) | (DWORD(p[2]) << 8) | DWORD(p[3]) : 0;
}

CAtomicFileWriter::~CAtomicFileWriter() {
  if (file_) std::fclose(file_);
  if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

FILE* CAtomicFileWriter::Open(std::string& reason) {
  if (path_.empty()) {
    reason = "no file name";
    return nullptr;
  }
  std::string dir = ".";
  std::size_t slash = path_.rfind('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : path_.substr(0, slash);
  std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  std::string pattern = dir + "/." + base + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    reason = "cannot create a file in " + dir + ": " + std::strerror(errno);
    return nullptr;
  }
  temp_ = name.data();
  // Keep the mode of a file being replaced; new files get the usual 0644.
  struct stat st {};
  mode_t mode = (::stat(path_.c_str(), &st) == 0) ? (st.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    ::close(fd);
    reason = "cannot open " + temp_;
    return nullptr;
  }
  return file_;
}

bool CAtomicFileWriter::Commit(std::string& reason) {
  if (!file_) {
    reason = "file not open";
    return false;
  }
  bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && ::fsync(fileno(file_)) == 0;
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (!ok) {
    reason = "cannot write " + path_ + ": " + std::strerror(errno);
    return false;
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    reason = "cannot replace " + path_ + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

int WriteWholeFile(CTevImageInfoPack& pack, const std::vector<BYTE>& bytes) {
  CAtomicFileWriter writer(pack.path);
  std::string reason;
  FILE* f = writer.Open(reason);
  if (!f) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
    return Fail(pack, IMAGEIO_ERR_WRITE, "cannot write " + pack.path);
  if (!writer.Commit(reason)) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
