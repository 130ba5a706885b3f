#include "app/gbk_text.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

// An iconv descriptor closed on scope exit.
class CIconv {
 public:
  CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~CIconv() {
    if (ok()) iconv_close(m_cd);
  }
  CIconv(const CIconv&) = delete;
  CIconv& operator=(const CIconv&) = delete;
  bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  // Converts in[0..inLen); advances in/inLen and out/outLen.
  std::size_t Convert(char** in, std::size_t* inLen, char** out, std::size_t* outLen) {
    return iconv(m_cd, in, inLen, out, outLen);
  }
  void Reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

 private:
  iconv_t m_cd;
};

// Length of the UTF-8 sequence starting with lead (0 when lead cannot start one).
std::size_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::string Utf8ToGbk(const std::string& text, std::size_t maxBytes) {
  std::string out;
  CIconv cd("GBK", "UTF-8");
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t len = Utf8Length(static_cast<unsigned char>(text[i]));
    bool valid = len != 0 && i + len <= text.size();
    for (std::size_t k = 1; valid && k < len; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) valid = false;
    char encoded[8];
    std::size_t encodedLen = 0;
    if (valid && len == 1) {
      encoded[0] = text[i];
      encodedLen = 1;
    } else if (valid && cd.ok()) {
      char buf[4];
      std::memcpy(buf, text.data() + i, len);
      char* in = buf;
      std::size_t inLen = len;
      char* o = encoded;
      std::size_t outLen = sizeof encoded;
      cd.Reset();
      if (cd.Convert(&in, &inLen, &o, &outLen) != static_cast<std::size_t>(-1) && inLen == 0)
        encodedLen = sizeof encoded - outLen;
    }
    if (encodedLen == 0) {
      encoded[0] = '?';
      encodedLen = 1;
    }
    if (out.size() + encodedLen > maxBytes) break;
    out.append(encoded, encodedLen);
    i += valid ? len : 1;
  }
  return out;
}

std::string GbkToUtf8(const char* data, std::size_t size) {
  const std::size_t n = ::strnlen(data, size);
  std::string out;
  CIconv cd("UTF-8", "GBK");
  if (!cd.ok()) {
    for (std::size_t i = 0; i < n; ++i) out += static_cast<unsigned char>(data[i]) < 0x80 ? data[i] : '?';
    return out;
  }
  std::string src(data, n);
  char* in = src.data();
  std::size_t inLen = n;
  while (inLen > 0) {
    char buf[256];
    char* o = buf;
    std::size_t outLen = sizeof buf;
    const std::size_t rc = cd.Convert(&in, &inLen, &o, &outLen);
    out.append(buf, sizeof buf - outLen);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += '?';  // malformed or truncated GBK: skip one byte
      ++in;
      --inLen;
      cd.Reset();
    }
  }
  return out;
}
