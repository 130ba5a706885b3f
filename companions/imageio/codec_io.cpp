#include "companions/imageio/codec_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
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

namespace {

std::atomic<bool> g_replaceReadOnly{false};

// The folder and the leaf name of path.
void SplitPath(const std::string& path, std::string& dir, std::string& base) {
  std::size_t slash = path.rfind('/');
  dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  base = slash == std::string::npos ? path : path.substr(slash + 1);
}

// A target the user could not write directly. Root may write anything, so for
// root a file without any write bit counts as read-only, as for rm(1).
bool IsReadOnly(const std::string& path, const struct stat& st) {
  if (::geteuid() == 0) return (st.st_mode & 0222) == 0;
  return ::access(path.c_str(), W_OK) != 0 && errno == EACCES;
}

// Removes temporary files of earlier saves to the same target that were
// killed before they finished (".BASE.XXXXXX", older than a minute so a save
// running in another process keeps its own).
void RemoveStaleTemps(const std::string& dir, const std::string& base) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  const std::string prefix = "." + base + ".";
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string full = dir + "/" + name;
    struct stat st {};
    if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        now - st.st_mtime > 60)
      ::unlink(full.c_str());
  }
  ::closedir(d);
}

// A free ".BASE.XXXXXX" name in dir for linking the unnamed file.
std::string TempName(const std::string& dir, const std::string& base, unsigned attempt) {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned long long v = (static_cast<unsigned long long>(::getpid()) << 20) ^
                         static_cast<unsigned long long>(::time(nullptr)) ^ (attempt * 0x9E3779B97F4A7C15ull);
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    suffix.push_back(kChars[v % 62]);
    v /= 62;
  }
  return dir + "/." + base + "." + suffix;
}

}  // namespace

void SetReplaceReadOnlyFiles(bool allow) { g_replaceReadOnly = allow; }

std::string WriteErrorText(int err) {
  if (err == ENOSPC || err == EDQUOT) return "disk full";
  return std::strerror(err);
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
  std::string dir, base;
  SplitPath(path_, dir, base);
  struct stat old {};
  const bool exists = ::stat(path_.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    reason = path_ + " is a folder";
    return nullptr;
  }
  if (exists && !g_replaceReadOnly && IsReadOnly(path_, old)) {
    reason = "permission denied: " + path_ + " is read-only (use --force to replace it)";
    return nullptr;
  }
  mode_t mode;
  if (exists) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
#endif
  if (fd < 0) {
    RemoveStaleTemps(dir, base);
    std::string pattern = dir + "/." + base + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = ::mkstemp(name.data());
    if (fd < 0) {
      reason = "cannot create a file in " + dir + ": " + std::strerror(errno);
      return nullptr;
    }
    temp_ = name.data();
  }
  ::fchmod(fd, mode);
  if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not permitted: the new file stays ours.
  }
  file_ = ::fdopen(fd, "w+b");
  if (!file_) {
    ::close(fd);
    reason = "cannot open a temporary file in " + dir;
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
  int err = errno;
  std::string dir, base;
  SplitPath(path_, dir, base);
  if (ok && temp_.empty()) {
    // Give the unnamed file a name in the target's folder, then rename it.
    const std::string fdPath = "/proc/self/fd/" + std::to_string(fileno(file_));
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      std::string name = TempName(dir, base, attempt);
      if (::linkat(AT_FDCWD, fdPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temp_ = name;
        break;
      }
      if (errno != EEXIST) break;
    }
    if (temp_.empty()) {
      ok = false;
      err = errno;
    }
  }
  if (std::fclose(file_) != 0 && ok) {
    ok = false;
    err = errno;
  }
  file_ = nullptr;
  if (!ok) {
    reason = "cannot write " + path_ + ": " + WriteErrorText(err);
    return false;
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    reason = "cannot replace " + path_ + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

int WriteWholeFile(CTevImageInfoPack& pack, const std::vector<BYTE>& bytes) {
  CAtomicFileWriter writer(pack.path);
  std::string reason;
  FILE* f = writer.Open(reason);
  if (!f) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
    return Fail(pack, IMAGEIO_ERR_WRITE, "cannot write " + pack.path + ": " + WriteErrorText(errno));
  if (!writer.Commit(reason)) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  return IMAGEIO_OK;
}

void RemoveStaleTempFiles(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (!base.empty()) RemoveStaleTemps(dir, base);
}

}  // namespace TevImageIO
