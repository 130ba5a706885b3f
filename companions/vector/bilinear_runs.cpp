#include "companions/vector/bilinear_runs.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define LW_HAVE_AVX2_KERNEL 1
#endif

namespace TevVecLib::detail {
namespace {

// Window corner and fractions of one position.
struct Window {
  const BYTE* p;  // top-left pixel
  int fx, fy;
};

inline Window At(int x, int y, const BYTE* first, std::ptrdiff_t step) {
  const int xh = x - kSubScale / 2, yh = y - kSubScale / 2;
  return {first + std::ptrdiff_t(yh >> kSubShift) * step + std::ptrdiff_t(xh >> kSubShift) * 4, xh & kSubMask,
          yh & kSubMask};
}

void RunSse2(BYTE* out, const int* xs, const int* ys, unsigned n, const BYTE* first, std::ptrdiff_t step) {
  for (unsigned i = 0; i < n; ++i, out += 4) {
    const Window w = At(xs[i], ys[i], first, step);
    BilinearPixel(w.p, w.p + 4, w.p + step, w.p + step + 4, w.fx, w.fy, out);
    if (out[3] != 255) Unpremultiply(out);
  }
}

#ifdef LW_HAVE_AVX2_KERNEL
#define LW_AVX2 __attribute__((target("avx2")))

// The 8 bytes at a in the low half, those at b in the high half.
LW_AVX2 inline __m256i Rows(const BYTE* a, const BYTE* b) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a))),
                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)), 1);
}

// a in every lane of the low half, b in every lane of the high half.
LW_AVX2 inline __m256i Both(int a, int b) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi32(a)), _mm_set1_epi32(b), 1);
}

// Two pixels per step, one in each 128-bit half: the window's two rows are
// read as 8-byte pairs and spread to 16-bit (left, right) channel pairs by
// one byte shuffle, blended across by a multiply-add and down in single
// precision, exact as in BilinearPixel.
LW_AVX2 void RunAvx2(BYTE* out, const int* xs, const int* ys, unsigned n, const BYTE* first, std::ptrdiff_t step) {
  const __m256i pairs = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                                         0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
  const __m256 half = _mm256_set1_ps(float(kSubScale * kSubScale / 2));
  const auto weight = [](int f) { return int((unsigned(f) << 16) | unsigned(kSubScale - f)); };
  unsigned i = 0;
  for (; i + 2 <= n; i += 2, out += 8) {
    const Window a = At(xs[i], ys[i], first, step), b = At(xs[i + 1], ys[i + 1], first, step);
    const __m256i top = _mm256_shuffle_epi8(Rows(a.p, b.p), pairs);
    const __m256i bottom = _mm256_shuffle_epi8(Rows(a.p + step, b.p + step), pairs);
    const __m256i wx = Both(weight(a.fx), weight(b.fx));
    const __m256 t = _mm256_cvtepi32_ps(_mm256_madd_epi16(top, wx));
    const __m256 btm = _mm256_cvtepi32_ps(_mm256_madd_epi16(bottom, wx));
    const __m256 wTop = _mm256_cvtepi32_ps(Both(kSubScale - a.fy, kSubScale - b.fy));
    const __m256 wBottom = _mm256_cvtepi32_ps(Both(a.fy, b.fy));
    const __m256 sum = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(t, wTop), _mm256_mul_ps(btm, wBottom)), half);
    const __m256i v = _mm256_srli_epi32(_mm256_cvttps_epi32(sum), 2 * kSubShift);
    __m128i px = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    px = _mm_packus_epi16(px, px);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), px);
    if (out[3] != 255) Unpremultiply(out);
    if (out[7] != 255) Unpremultiply(out + 4);
  }
  // Clear the upper halves before any legacy SSE code runs (the compiler
  // leaves them dirty on a tail call, and mixed code then stalls).
  _mm256_zeroupper();
  if (i < n) RunSse2(out, xs + i, ys + i, n - i, first, step);
}
#endif

bool HasAvx2() {
#ifdef LW_HAVE_AVX2_KERNEL
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return has;
#else
  return false;
#endif
}

}  // namespace

BilinearRunFn BilinearRunSse2() { return &RunSse2; }

BilinearRunFn BilinearRunAvx2() {
#ifdef LW_HAVE_AVX2_KERNEL
  return HasAvx2() ? &RunAvx2 : nullptr;
#else
  return nullptr;
#endif
}

BilinearRunFn FastBilinearRun() {
  static const BilinearRunFn fn = BilinearRunAvx2() ? BilinearRunAvx2() : BilinearRunSse2();
  return fn;
}

}  // namespace TevVecLib::detail
