#include "companions/vector/bilinear_runs.h"

#include "companions/base/cpu_features.h"

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

// Turned and 3D pictures walk the source across its rows, which the
// processor cannot predict: the windows some pixels ahead are fetched early.
constexpr unsigned kAhead = 12;

inline void Prefetch(const int* xs, const int* ys, unsigned i, unsigned n, const BYTE* first, std::ptrdiff_t step) {
#ifdef __SSE2__
  if (i + kAhead >= n) return;
  const BYTE* p = At(xs[i + kAhead], ys[i + kAhead], first, step).p;
  _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
  _mm_prefetch(reinterpret_cast<const char*>(p + step), _MM_HINT_T0);
#else
  (void)xs, (void)ys, (void)i, (void)n, (void)first, (void)step;
#endif
}

void RunSse2(BYTE* out, const int* xs, const int* ys, unsigned n, const BYTE* first, std::ptrdiff_t step) {
  for (unsigned i = 0; i < n; ++i, out += 4) {
    Prefetch(xs, ys, i, n, first, step);
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

// Chunks of up to 64 pixels in two passes. The first computes, eight
// pixels at a time, each window's byte offset and weights, already spread
// the way the second pass uses them; the second blends two pixels per step,
// one in each 128-bit half: the window's two rows are read as 8-byte pairs
// and spread to 16-bit (left, right) channel pairs by one byte shuffle,
// blended across by a multiply-add and down in single precision, exact as in
// BilinearPixel. Offsets are 32-bit: rows of at most 32767 bytes.
constexpr unsigned kChunk = 64;

struct alignas(32) ChunkWeights {
  std::int32_t offset[kChunk];
  std::int32_t across[kChunk * 4];  // per pixel (fx << 16 | 256 - fx) four times
  float top[kChunk * 4], bottom[kChunk * 4];  // per pixel 256 - fy, fy four times
};

LW_AVX2 void PrepareChunk(const int* xs, const int* ys, unsigned n, const BYTE* first, std::ptrdiff_t step,
                          ChunkWeights& c) {
  const __m256i half = _mm256_set1_epi32(kSubScale / 2), mask = _mm256_set1_epi32(kSubMask);
  const __m256i scale = _mm256_set1_epi32(kSubScale), vStep = _mm256_set1_epi32(std::int32_t(step));
  unsigned i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i x = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(xs + i)), half);
    const __m256i y = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ys + i)), half);
    const __m256i fx = _mm256_and_si256(x, mask), fy = _mm256_and_si256(y, mask);
    const __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(y, kSubShift), vStep),
                                            _mm256_slli_epi32(_mm256_srai_epi32(x, kSubShift), 2));
    _mm256_store_si256(reinterpret_cast<__m256i*>(c.offset + i), offset);
    // The second pass reads these windows soon; across rows the processor
    // cannot foresee them.
    for (int k : {0, 3, 7}) {
      const BYTE* p = first + c.offset[i + k];
      _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
      _mm_prefetch(reinterpret_cast<const char*>(p + step), _MM_HINT_T0);
    }
    const __m256i across = _mm256_or_si256(_mm256_slli_epi32(fx, 16), _mm256_sub_epi32(scale, fx));
    const __m256 top = _mm256_cvtepi32_ps(_mm256_sub_epi32(scale, fy)), bottom = _mm256_cvtepi32_ps(fy);
    for (int k = 0; k < 8; k += 2) {  // pixel i + k in the low half, i + k + 1 in the high half
      const __m256i spread = _mm256_setr_epi32(k, k, k, k, k + 1, k + 1, k + 1, k + 1);
      _mm256_store_si256(reinterpret_cast<__m256i*>(c.across + (i + k) * 4), _mm256_permutevar8x32_epi32(across, spread));
      _mm256_store_ps(c.top + (i + k) * 4, _mm256_permutevar8x32_ps(top, spread));
      _mm256_store_ps(c.bottom + (i + k) * 4, _mm256_permutevar8x32_ps(bottom, spread));
    }
  }
  for (; i < n; ++i) {
    const int x = xs[i] - kSubScale / 2, y = ys[i] - kSubScale / 2, fx = x & kSubMask, fy = y & kSubMask;
    c.offset[i] = std::int32_t((y >> kSubShift) * step + (x >> kSubShift) * 4);
    for (int k = 0; k < 4; ++k) {
      c.across[i * 4 + k] = std::int32_t((unsigned(fx) << 16) | unsigned(kSubScale - fx));
      c.top[i * 4 + k] = float(kSubScale - fy);
      c.bottom[i * 4 + k] = float(fy);
    }
  }
}

LW_AVX2 void RunAvx2(BYTE* out, const int* xs, const int* ys, unsigned n, const BYTE* first, std::ptrdiff_t step) {
  if (step >= 32768 || step <= -32768) {  // offsets would not fit 32 bits
    RunSse2(out, xs, ys, n, first, step);
    return;
  }
  const __m256i pairs = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                                         0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
  const __m256 half = _mm256_set1_ps(float(kSubScale * kSubScale / 2));
  const __m128i opaque = _mm_set1_epi8(char(0xFF));
  ChunkWeights c;
  for (unsigned done = 0; done < n;) {
    const unsigned m = std::min(kChunk, n - done);
    PrepareChunk(xs + done, ys + done, m, first, step, c);
    unsigned i = 0;
    for (; i + 2 <= m; i += 2, out += 8) {
      const BYTE* a = first + c.offset[i];
      const BYTE* b = first + c.offset[i + 1];
      const __m256i top = _mm256_shuffle_epi8(Rows(a, b), pairs);
      const __m256i bottom = _mm256_shuffle_epi8(Rows(a + step, b + step), pairs);
      const __m256i across = _mm256_load_si256(reinterpret_cast<const __m256i*>(c.across + i * 4));
      const __m256 t = _mm256_cvtepi32_ps(_mm256_madd_epi16(top, across));
      const __m256 btm = _mm256_cvtepi32_ps(_mm256_madd_epi16(bottom, across));
      const __m256 sum = _mm256_add_ps(
          _mm256_add_ps(_mm256_mul_ps(t, _mm256_load_ps(c.top + i * 4)), _mm256_mul_ps(btm, _mm256_load_ps(c.bottom + i * 4))),
          half);
      const __m256i v = _mm256_srli_epi32(_mm256_cvttps_epi32(sum), 2 * kSubShift);
      __m128i px = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
      px = _mm_packus_epi16(px, px);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), px);
      // Bytes 3 and 7 are the alphas; anything but opaque is made straight.
      if ((_mm_movemask_epi8(_mm_cmpeq_epi8(px, opaque)) & 0x88) != 0x88) {
        if (out[3] != 255) Unpremultiply(out);
        if (out[7] != 255) Unpremultiply(out + 4);
      }
    }
    if (i < m) {  // an odd last pixel
      const BYTE* p = first + c.offset[i];
      const int fx = c.across[i * 4] >> 16, fy = int(c.bottom[i * 4]);
      BilinearPixel(p, p + 4, p + step, p + step + 4, fx, fy, out);
      if (out[3] != 255) Unpremultiply(out);
      out += 4;
    }
    done += m;
  }
  // Clear the upper halves before any legacy SSE code runs.
  _mm256_zeroupper();
}
#endif

}  // namespace

BilinearRunFn BilinearRunSse2() { return &RunSse2; }

BilinearRunFn BilinearRunAvx2() {
#ifdef LW_HAVE_AVX2_KERNEL
  return CpuHasAvx2() ? &RunAvx2 : nullptr;
#else
  return nullptr;
#endif
}

BilinearRunFn FastBilinearRun() {
  static const BilinearRunFn fn = BilinearRunAvx2() ? BilinearRunAvx2() : BilinearRunSse2();
  return fn;
}

}  // namespace TevVecLib::detail
