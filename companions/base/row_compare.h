// Comparing two rows of pixels or indexes for where they differ.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "companions/base/win_types.h"

// The first and last positions in [0, n) where rows a and b differ; false
// when they are equal. Equal stretches are skipped a 64-bit word at a time.
template <class T>
bool MismatchSpan(const T* a, const T* b, LONG n, LONG& first, LONG& last) {
  static_assert(std::is_integral_v<T> && 8 % sizeof(T) == 0);
  if (n <= 0 || std::memcmp(a, b, std::size_t(n) * sizeof(T)) == 0) return false;
  constexpr LONG kStep = LONG(8 / sizeof(T));  // elements per word
  const auto word = [](const T* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  LONG i = 0;
  while (i + kStep <= n && word(a + i) == word(b + i)) i += kStep;
  while (a[i] == b[i]) ++i;
  LONG j = n;
  while (j - kStep >= i && word(a + j - kStep) == word(b + j - kStep)) j -= kStep;
  while (a[j - 1] == b[j - 1]) --j;
  first = i;
  last = j - 1;
  return true;
}
