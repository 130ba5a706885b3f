// Internal to the renderer: pixel helpers shared by the image samplers, and
// bilinear sampling of runs of pixels whose 2 x 2 windows lie wholly inside
// the source, with AGG's integer weights. A plain SSE2 kernel and an AVX2
// twin (two pixels per step) give identical bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "companions/base/win_types.h"

namespace TevVecLib::detail {

// Positions are in 1/256 pixel, as AGG's interpolators give them.
constexpr int kSubShift = 8;
constexpr int kSubScale = 1 << kSubShift;
constexpr int kSubMask = kSubScale - 1;

inline std::uint32_t Load32(const BYTE* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}


// A premultiplied BGRA pixel to straight colour, in place.
inline void Unpremultiply(BYTE* p) {
  const unsigned a = p[3];
  if (a == 255) return;  // (v * 255 + 127) / 255 == v
  if (a == 0) {
    std::memset(p, 0, 4);
    return;
  }
  for (int c = 0; c < 3; ++c) p[c] = BYTE(std::min(255u, (p[c] * 255u + a / 2) / a));
}


// Bilinear blend of four premultiplied pixels with AGG's integer weights
// ((256 - fx)(256 - fy) and so on, plus half, shifted by 16).
inline void BilinearPixel(const BYTE* p00, const BYTE* p01, const BYTE* p10, const BYTE* p11, int fx, int fy,
                          BYTE* out) {
#ifdef __SSE2__
  // Each row's horizontal blend by one multiply-add of byte pairs; the
  // vertical blend in single precision, exact because every partial sum is
  // an integer below 2^24.
  const __m128i zero = _mm_setzero_si128();
  const __m128i wx = _mm_set1_epi32(int((unsigned(fx) << 16) | unsigned(kSubScale - fx)));
  const __m128i top = _mm_unpacklo_epi8(
      _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(Load32(p00))), _mm_cvtsi32_si128(int(Load32(p01)))), zero);
  const __m128i bottom = _mm_unpacklo_epi8(
      _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(Load32(p10))), _mm_cvtsi32_si128(int(Load32(p11)))), zero);
  const __m128 t = _mm_cvtepi32_ps(_mm_madd_epi16(top, wx)), b = _mm_cvtepi32_ps(_mm_madd_epi16(bottom, wx));
  const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_mul_ps(t, _mm_set1_ps(float(kSubScale - fy))),
                                           _mm_mul_ps(b, _mm_set1_ps(float(fy)))),
                                _mm_set1_ps(float(kSubScale * kSubScale / 2)));
  __m128i v = _mm_srli_epi32(_mm_cvttps_epi32(sum), 2 * kSubShift);
  v = _mm_packs_epi32(v, v);
  v = _mm_packus_epi16(v, v);
  const std::uint32_t px = std::uint32_t(_mm_cvtsi128_si32(v));
  std::memcpy(out, &px, 4);
#else
  const unsigned w00 = unsigned(kSubScale - fx) * unsigned(kSubScale - fy), w01 = unsigned(fx) * unsigned(kSubScale - fy);
  const unsigned w10 = unsigned(kSubScale - fx) * unsigned(fy), w11 = unsigned(fx) * unsigned(fy);
  for (int c = 0; c < 4; ++c)
    out[c] = BYTE((kSubScale * kSubScale / 2 + w00 * p00[c] + w01 * p01[c] + w10 * p10[c] + w11 * p11[c]) >>
                  (2 * kSubShift));
#endif
}

// n pixels: source positions xs/ys in 1/256 pixel (pixel centres, as the
// interpolators give them), premultiplied source rows from `first`, `step`
// bytes apart; every 2 x 2 window must lie inside the source. Writes
// straight-colour BGRA.
using BilinearRunFn = void (*)(BYTE* out, const int* xs, const int* ys, unsigned n, const BYTE* first,
                               std::ptrdiff_t step);

// The fastest kernel this processor runs (chosen once).
BilinearRunFn FastBilinearRun();

// Both kernels, for tests that compare them (the AVX2 one is null where the
// processor or the compiler lacks it).
BilinearRunFn BilinearRunSse2();
BilinearRunFn BilinearRunAvx2();

}  // namespace TevVecLib::detail
