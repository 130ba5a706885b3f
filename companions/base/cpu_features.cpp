#include "companions/base/cpu_features.h"

#include <cstdlib>

bool CpuHasAvx2() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  static const bool has = [] {
    const char* off = std::getenv("LOOPWRIGHT_NO_AVX2");
    if (off && off[0] == '1') return false;
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
#else
  return false;
#endif
}
