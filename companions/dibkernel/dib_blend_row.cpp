// Blend-row kernels: the plain loop and its SSE2/AVX2 twins.
//
// The vector kernels evaluate the opaque-destination formula
//   c = (sc * a + dc * (255 - a) + 127) / 255, alpha 255
// on 16-bit lanes, dividing exactly with (x * 0x8081) >> 23 (exact for
// x < 65536, and every numerator here stays below 65153). That formula also
// gives the a == 0 and a == 255 results over an opaque pixel, so a group of
// pixels whose destinations are all opaque needs no branch. Lanes with a
// non-opaque destination are redone with the scalar BlendPixel, which keeps
// the results bit-identical to the plain kernel.
#include <cstdlib>

#include "companions/dibkernel/dib_internal.h"
#include "companions/dibkernel/dib_kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LW_DIB_X86 1
#endif

namespace DibKernel::detail {

void BlendRowPlain(BYTE* dst, const BYTE* src, int n, unsigned inv) {
  for (int i = 0; i < n; ++i, dst += 4, src += 4) Store32(dst, BlendPixel(Load32(dst), Load32(src), inv));
}

#ifdef LW_DIB_X86
namespace {

// Redoes the lanes whose destination alpha was not 255 (bit i of mask set
// when lane i was opaque).
inline void FixLanes(BYTE* dst, const BYTE* src, const std::uint32_t* orig, int lanes, int opaqueMask, unsigned inv) {
  for (int i = 0; i < lanes; ++i)
    if (!(opaqueMask & (1 << i))) Store32(dst + 4 * i, BlendPixel(orig[i], Load32(src + 4 * i), inv));
}

__attribute__((target("sse2"))) inline __m128i BlendHalf128(__m128i s, __m128i d, __m128i inv, __m128i k127,
                                                          __m128i k255, __m128i k8081) {
  __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
  a = _mm_srli_epi16(_mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(a, inv), k127), k8081), 7);
  __m128i t = _mm_add_epi16(_mm_mullo_epi16(s, a), _mm_mullo_epi16(d, _mm_sub_epi16(k255, a)));
  return _mm_srli_epi16(_mm_mulhi_epu16(_mm_add_epi16(t, k127), k8081), 7);
}

__attribute__((target("sse2"))) void BlendRowSse2(BYTE* dst, const BYTE* src, int n, unsigned inv) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i amask = _mm_set1_epi32(int(0xFF000000u));
  const __m128i vinv = _mm_set1_epi16(short(inv)), k127 = _mm_set1_epi16(127);
  const __m128i k255 = _mm_set1_epi16(255), k8081 = _mm_set1_epi16(short(0x8081));
  int i = 0;
  for (; i + 4 <= n; i += 4, dst += 16, src += 16) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    __m128i sa = _mm_and_si128(s, amask);
    int srcOpaque = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(sa, amask)));
    if (inv == 255 && srcOpaque == 0xF) {  // a == 255 everywhere: plain copy
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
      continue;
    }
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, zero)) == 0xFFFF) continue;  // a == 0 everywhere
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    int dstOpaque = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(d, amask), amask)));
    __m128i lo = BlendHalf128(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), vinv, k127, k255, k8081);
    __m128i hi = BlendHalf128(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), vinv, k127, k255, k8081);
    __m128i r = _mm_or_si128(_mm_packus_epi16(lo, hi), amask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r);
    if (dstOpaque != 0xF) {
      alignas(16) std::uint32_t orig[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(orig), d);
      FixLanes(dst, src, orig, 4, dstOpaque, inv);
    }
  }
  BlendRowPlain(dst, src, n - i, inv);
}

// AVX2 kernel. With colours biased to signed bytes (c' = c - 128),
//   sc * a + dc * (255 - a) + 127 = (a * sc' + (255 - a) * dc') + 32767,
// and the bracket (|value| <= 255 * 128) is exactly one pmaddubsw of the
// interleaved weights (a, 255 - a) and colours (sc', dc'); the sum, read as
// an unsigned 16-bit value, is the exact numerator.
// kFull: transparency 0, where a equals the source alpha and needs no scaling.
template <bool kFull>
__attribute__((target("avx2"))) void BlendRowAvx2T(BYTE* dst, const BYTE* src, int n, unsigned inv) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i amask = _mm256_set1_epi32(int(0xFF000000u));
  const __m256i bias = _mm256_set1_epi8(char(0x80)), ones = _mm256_set1_epi8(char(0xFF));
  const __m256i vinv = _mm256_set1_epi16(short(inv)), k127 = _mm256_set1_epi16(127);
  const __m256i k32767 = _mm256_set1_epi16(32767), k8081 = _mm256_set1_epi16(short(0x8081));
  // Copies byte 3 of each pixel into its four bytes.
  const __m256i spread = _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7,
                                          7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
  int i = 0;
  for (; i + 8 <= n; i += 8, dst += 32, src += 32) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    if (kFull && _mm256_testc_si256(s, amask)) {  // a == 255 everywhere: plain copy
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), s);
      continue;
    }
    if (_mm256_testz_si256(s, amask)) continue;  // a == 0 everywhere
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    __m256i a8 = _mm256_shuffle_epi8(s, spread);
    if (!kFull) {
      __m256i lo = _mm256_unpacklo_epi8(a8, zero), hi = _mm256_unpackhi_epi8(a8, zero);
      lo = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(lo, vinv), k127), k8081), 7);
      hi = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(hi, vinv), k127), k8081), 7);
      a8 = _mm256_packus_epi16(lo, hi);
    }
    const __m256i na8 = _mm256_xor_si256(a8, ones);
    const __m256i sb = _mm256_xor_si256(s, bias), db = _mm256_xor_si256(d, bias);
    __m256i lo = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a8, na8), _mm256_unpacklo_epi8(sb, db));
    __m256i hi = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a8, na8), _mm256_unpackhi_epi8(sb, db));
    lo = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(lo, k32767), k8081), 7);
    hi = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(hi, k32767), k8081), 7);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_or_si256(_mm256_packus_epi16(lo, hi), amask));
    if (!_mm256_testc_si256(d, amask)) {
      int dstOpaque = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_and_si256(d, amask), amask)));
      alignas(32) std::uint32_t orig[8];
      _mm256_store_si256(reinterpret_cast<__m256i*>(orig), d);
      FixLanes(dst, src, orig, 8, dstOpaque, inv);
    }
  }
  BlendRowSse2(dst, src, n - i, inv);
}

void BlendRowAvx2(BYTE* dst, const BYTE* src, int n, unsigned inv) {
  if (inv == 255) BlendRowAvx2T<true>(dst, src, n, inv);
  else BlendRowAvx2T<false>(dst, src, n, inv);
}

}  // namespace

const BlendRowFn kBlendRowSse2 = &BlendRowSse2;
const BlendRowFn kBlendRowAvx2 = &BlendRowAvx2;

BlendRowFn FastBlendRow() {
  static const BlendRowFn fn = []() -> BlendRowFn {
    const char* off = std::getenv("LOOPWRIGHT_NO_SIMD");
    if (off && off[0] == '1') return &BlendRowPlain;
    if (CpuHasAvx2()) return &BlendRowAvx2;
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse2")) return &BlendRowSse2;
    return &BlendRowPlain;
  }();
  return fn;
}
#else
const BlendRowFn kBlendRowSse2 = nullptr;
const BlendRowFn kBlendRowAvx2 = nullptr;
BlendRowFn FastBlendRow() { return &BlendRowPlain; }
#endif

}  // namespace DibKernel::detail

bool DibKernel::HasFastBlit() { return detail::FastBlendRow() != &detail::BlendRowPlain; }
