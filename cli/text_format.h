// printf-style formatting into a std::string, for translated message texts.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return {};
  std::vector<char> buf(std::size_t(n) + 1);
  std::snprintf(buf.data(), buf.size(), format, args...);
  return std::string(buf.data(), std::size_t(n));
}
