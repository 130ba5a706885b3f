#include "companions/shapes/font_outline.h"

namespace TevCustomPathLibV {

namespace {
// Decodes one sequence at s[i]; returns its length, 0 when malformed.
std::size_t DecodeOne(const std::string& s, std::size_t i, char32_t* cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t n;
  char32_t v, min;
  if (c < 0x80) return *cp = c, 1;
  if ((c & 0xE0) == 0xC0) n = 2, v = c & 0x1F, min = 0x80;
  else if ((c & 0xF0) == 0xE0) n = 3, v = c & 0x0F, min = 0x800;
  else if ((c & 0xF8) == 0xF0) n = 4, v = c & 0x07, min = 0x10000;
  else return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    v = (v << 6) | (d & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return n;
}
}  // namespace

std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp;
    std::size_t n = DecodeOne(s, i, &cp);
    if (n == 0) {
      out.push_back(0xFFFD);
      ++i;
    } else {
      out.push_back(cp);
      i += n;
    }
  }
  return out;
}

bool IsValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp;
    std::size_t n = DecodeOne(s, i, &cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string EncodeUtf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (c >> 18)));
      out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace TevCustomPathLibV
