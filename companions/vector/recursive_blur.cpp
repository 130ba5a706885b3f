#include "companions/vector/recursive_blur.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace TevVecLib::detail {

namespace {

#ifdef __SSE2__
// Wrapped so that containers of it keep the vector's alignment.
struct F4 {
  __m128 v;
};
inline F4 Load(const BYTE* p) {
  int word;
  std::memcpy(&word, p, 4);
  const __m128i zero = _mm_setzero_si128();
  return F4{_mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero))};
}
inline void Store(BYTE* p, F4 v) {
  // Truncation toward zero, then the low byte, as AGG's conversion does.
  alignas(16) int lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_cvttps_epi32(v.v));
  p[0] = BYTE(lanes[0]), p[1] = BYTE(lanes[1]), p[2] = BYTE(lanes[2]), p[3] = BYTE(lanes[3]);
}
inline F4 Splat(float f) { return F4{_mm_set1_ps(f)}; }
// Four one-byte values (lanes in pointer order) and back, as Load and Store.
inline F4 Gather(const BYTE* a, const BYTE* b, const BYTE* c, const BYTE* d) {
  return F4{_mm_cvtepi32_ps(_mm_setr_epi32(*a, *b, *c, *d))};
}
inline void Scatter(F4 v, BYTE* a, BYTE* b, BYTE* c, BYTE* d) {
  alignas(16) int lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_cvttps_epi32(v.v));
  *a = BYTE(lanes[0]), *b = BYTE(lanes[1]), *c = BYTE(lanes[2]), *d = BYTE(lanes[3]);
}
// Four neighbouring bytes, and back (the low byte of each truncated lane).
inline F4 Load4(const BYTE* p) { return Load(p); }
inline void Store4(BYTE* p, F4 v) {
  __m128i q = _mm_and_si128(_mm_cvttps_epi32(v.v), _mm_set1_epi32(0xFF));
  q = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
  const int word = _mm_cvtsi128_si32(q);
  std::memcpy(p, &word, 4);
}
inline F4 Mul(F4 a, F4 b) { return F4{_mm_mul_ps(a.v, b.v)}; }
inline F4 Add(F4 a, F4 b) { return F4{_mm_add_ps(a.v, b.v)}; }
#else
struct F4 {
  float v[4];
};
inline F4 Load(const BYTE* p) { return F4{{float(p[0]), float(p[1]), float(p[2]), float(p[3])}}; }
inline void Store(BYTE* p, F4 v) {
  for (int i = 0; i < 4; ++i) p[i] = BYTE(int(v.v[i]));
}
inline F4 Splat(float f) { return F4{{f, f, f, f}}; }
inline F4 Gather(const BYTE* a, const BYTE* b, const BYTE* c, const BYTE* d) {
  return F4{{float(*a), float(*b), float(*c), float(*d)}};
}
inline void Scatter(F4 v, BYTE* a, BYTE* b, BYTE* c, BYTE* d) {
  *a = BYTE(int(v.v[0])), *b = BYTE(int(v.v[1])), *c = BYTE(int(v.v[2])), *d = BYTE(int(v.v[3]));
}
inline F4 Load4(const BYTE* p) { return Load(p); }
inline void Store4(BYTE* p, F4 v) { Store(p, v); }
inline F4 Mul(F4 a, F4 b) { return F4{{a.v[0] * b.v[0], a.v[1] * b.v[1], a.v[2] * b.v[2], a.v[3] * b.v[3]}}; }
inline F4 Add(F4 a, F4 b) { return F4{{a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3]}}; }
#endif

// The filter coefficients for a radius (AGG's formulas).
struct Coefficients {
  F4 b, b1, b2, b3;
  explicit Coefficients(double radius) {
    const double s = radius * 0.5;
    const double q = s < 2.5 ? 3.97156 - 4.14554 * std::sqrt(1 - 0.26891 * s) : 0.98711 * s - 0.96330;
    const double q2 = q * q, q3 = q2 * q;
    const double b0 = 1.0 / (1.578250 + 2.444130 * q + 1.428100 * q2 + 0.422205 * q3);
    double c1 = 2.44413 * q + 2.85619 * q2 + 1.26661 * q3;
    double c2 = -1.42810 * q2 + -1.26661 * q3;
    double c3 = 0.422205 * q3;
    const double c = 1 - (c1 + c2 + c3) * b0;
    c1 *= b0, c2 *= b0, c3 *= b0;
    b = Splat(float(c)), b1 = Splat(float(c1)), b2 = Splat(float(c2)), b3 = Splat(float(c3));
  }
  // b x + b1 p1 + b2 p2 + b3 p3
  F4 Step(F4 x, F4 p1, F4 p2, F4 p3) const { return Add(Add(Add(Mul(b, x), Mul(b1, p1)), Mul(b2, p2)), Mul(b3, p3)); }
};

// One line of n pixels (`step` bytes apart): forward and backward recursion.
void BlurLine(BYTE* p, int n, std::ptrdiff_t step, const Coefficients& k, std::vector<F4>& s1) {
  s1.resize(std::size_t(n));
  F4 c = Load(p);
  s1[0] = k.Step(c, c, c, c);
  s1[1] = k.Step(Load(p + step), s1[0], s1[0], s1[0]);
  s1[2] = k.Step(Load(p + 2 * step), s1[1], s1[0], s1[0]);
  for (int i = 3; i < n; ++i) s1[i] = k.Step(Load(p + i * step), s1[i - 1], s1[i - 2], s1[i - 3]);
  const int m = n - 1;
  F4 a = k.Step(s1[m], s1[m], s1[m], s1[m]);
  F4 b = k.Step(s1[m - 1], a, a, a);
  F4 d = k.Step(s1[m - 2], b, a, a);
  Store(p + m * step, a);
  Store(p + (m - 1) * step, b);
  Store(p + (m - 2) * step, d);
  for (int i = m - 3; i >= 0; --i) {
    const F4 e = k.Step(s1[i], d, b, a);
    Store(p + i * step, e);
    a = b, b = d, d = e;
  }
}

}  // namespace

namespace {

// Flushes denormals to zero while it lives: the decaying tails of the
// recursion would otherwise crawl through the denormal range, many times
// slower, for values far below one level.
class CFlushDenormals {
 public:
#ifdef __SSE2__
  CFlushDenormals() : m_csr(_mm_getcsr()) { _mm_setcsr(m_csr | 0x8040); }
  ~CFlushDenormals() { _mm_setcsr(m_csr); }

 private:
  unsigned m_csr;
#endif
};

}  // namespace

void RecursiveBlur4(BYTE* first, int w, int h, std::ptrdiff_t stride, double radius) {
  if (!first || w < 1 || h < 1 || !(radius >= 0.62)) return;
  const CFlushDenormals flush;
  const Coefficients k(radius);
  std::vector<F4> s1;
  if (w >= 3)
    for (int y = 0; y < h; ++y) BlurLine(first + y * stride, w, 4, k, s1);
  if (h < 3) return;
  // Down the columns a row at a time: the forward sums of every row are kept
  // for the backward pass, which needs only the three rows below.
  std::vector<F4> fwd(std::size_t(w) * std::size_t(h));
  auto row = [&](int y) { return first + y * stride; };
  for (int x = 0; x < w; ++x) {
    const F4 c = Load(row(0) + 4 * x);
    fwd[std::size_t(x)] = k.Step(c, c, c, c);
  }
  for (int x = 0; x < w; ++x) {
    const F4 p0 = fwd[std::size_t(x)];
    fwd[std::size_t(w) + x] = k.Step(Load(row(1) + 4 * x), p0, p0, p0);
  }
  for (int x = 0; x < w; ++x) {
    const F4 p0 = fwd[std::size_t(x)];
    fwd[2 * std::size_t(w) + x] = k.Step(Load(row(2) + 4 * x), fwd[std::size_t(w) + x], p0, p0);
  }
  for (int y = 3; y < h; ++y) {
    const BYTE* src = row(y);
    F4* out = fwd.data() + std::size_t(y) * w;
    const F4* r1 = out - w;
    const F4* r2 = r1 - w;
    const F4* r3 = r2 - w;
    for (int x = 0; x < w; ++x) out[x] = k.Step(Load(src + 4 * x), r1[x], r2[x], r3[x]);
  }
  const int m = h - 1;
  std::vector<F4> a(static_cast<std::size_t>(w)), b(a), d(a);
  const F4* last = fwd.data() + std::size_t(m) * w;
  for (int x = 0; x < w; ++x) {
    a[x] = k.Step(last[x], last[x], last[x], last[x]);
    b[x] = k.Step(last[x - w], a[x], a[x], a[x]);
    d[x] = k.Step(last[x - 2 * w], b[x], a[x], a[x]);
    Store(row(m) + 4 * x, a[x]);
    Store(row(m - 1) + 4 * x, b[x]);
    Store(row(m - 2) + 4 * x, d[x]);
  }
  for (int y = m - 3; y >= 0; --y) {
    const F4* f = fwd.data() + std::size_t(y) * w;
    BYTE* dst = row(y);
    for (int x = 0; x < w; ++x) {
      const F4 e = k.Step(f[x], d[x], b[x], a[x]);
      Store(dst + 4 * x, e);
      a[x] = b[x], b[x] = d[x], d[x] = e;
    }
  }
}

namespace {

// K vectors of four lines each, n >= 3 values long, blurred as BlurLine
// blurs one: load(i, x) fills x[0..K) with the values at position i,
// store(i, y) writes them back. Every load comes before the first store.
// s1 holds n * K vectors. The K independent recursions keep the
// multipliers busy where one would wait on its own previous result.
template <int K, class LoadFn, class StoreFn>
void BlurLanes(int n, const Coefficients& k, F4* s1, LoadFn load, StoreFn store) {
  F4 x[K];
  load(0, x);
  for (int j = 0; j < K; ++j) s1[j] = k.Step(x[j], x[j], x[j], x[j]);
  load(1, x);
  for (int j = 0; j < K; ++j) s1[K + j] = k.Step(x[j], s1[j], s1[j], s1[j]);
  load(2, x);
  for (int j = 0; j < K; ++j) s1[2 * K + j] = k.Step(x[j], s1[K + j], s1[j], s1[j]);
  for (int i = 3; i < n; ++i) {
    load(i, x);
    F4* out = s1 + std::size_t(i) * K;
    for (int j = 0; j < K; ++j) out[j] = k.Step(x[j], out[j - K], out[j - 2 * K], out[j - 3 * K]);
  }
  const int m = n - 1;
  F4 a[K], b[K], d[K], e[K];
  const F4* last = s1 + std::size_t(m) * K;
  for (int j = 0; j < K; ++j) {
    a[j] = k.Step(last[j], last[j], last[j], last[j]);
    b[j] = k.Step(last[j - K], a[j], a[j], a[j]);
    d[j] = k.Step(last[j - 2 * K], b[j], a[j], a[j]);
  }
  store(m, a);
  store(m - 1, b);
  store(m - 2, d);
  for (int i = m - 3; i >= 0; --i) {
    const F4* f = s1 + std::size_t(i) * K;
    for (int j = 0; j < K; ++j) {
      e[j] = k.Step(f[j], d[j], b[j], a[j]);
      a[j] = b[j], b[j] = d[j], d[j] = e[j];
    }
    store(i, e);
  }
}

// Lines handled together: kLanes vectors of four.
constexpr int kLanes = 4, kLines = 4 * kLanes;

bool AllZero(const BYTE* p, int n) {
  for (int i = 0; i < n; ++i)
    if (p[i]) return false;
  return true;
}

}  // namespace

void RecursiveBlur1(BYTE* first, int w, int h, std::ptrdiff_t stride, double radius) {
  if (!first || w < 1 || h < 1 || !(radius >= 0.62)) return;
  const CFlushDenormals flush;
  const Coefficients k(radius);
  std::unique_ptr<F4[]> s1(new (std::nothrow) F4[std::size_t(std::max(w, h)) * kLanes]);
  if (!s1) return;
  auto row = [&](int y) { return first + y * stride; };
  if (w >= 3) {
    // Sixteen rows at a time, one per lane; the last block repeats its last
    // row (equal results written twice). A row of zeros stays zeros.
    for (int y0 = 0; y0 < h; y0 += kLines) {
      BYTE* r[kLines];
      bool any = false;
      for (int i = 0; i < kLines; ++i) {
        r[i] = row(std::min(y0 + i, h - 1));
        if (y0 + i < h && !any) any = !AllZero(r[i], w);
      }
      if (!any) continue;
      BlurLanes<kLanes>(
          w, k, s1.get(),
          [&](int i, F4* x) {
            for (int j = 0; j < kLanes; ++j) x[j] = Gather(r[4 * j] + i, r[4 * j + 1] + i, r[4 * j + 2] + i, r[4 * j + 3] + i);
          },
          [&](int i, const F4* v) {
            for (int j = 0; j < kLanes; ++j) Scatter(v[j], r[4 * j] + i, r[4 * j + 1] + i, r[4 * j + 2] + i, r[4 * j + 3] + i);
          });
    }
  }
  if (h < 3) return;
  // Sixteen columns at a time down the rows; a last narrower group repeats
  // its last column.
  for (int x0 = 0; x0 < w; x0 += kLines) {
    if (x0 + kLines <= w) {
      BlurLanes<kLanes>(
          h, k, s1.get(),
          [&](int i, F4* x) {
            for (int j = 0; j < kLanes; ++j) x[j] = Load4(row(i) + x0 + 4 * j);
          },
          [&](int i, const F4* v) {
            for (int j = 0; j < kLanes; ++j) Store4(row(i) + x0 + 4 * j, v[j]);
          });
      continue;
    }
    int c[kLines];
    for (int i = 0; i < kLines; ++i) c[i] = std::min(x0 + i, w - 1);
    BlurLanes<kLanes>(
        h, k, s1.get(),
        [&](int i, F4* x) {
          const BYTE* p = row(i);
          for (int j = 0; j < kLanes; ++j) x[j] = Gather(p + c[4 * j], p + c[4 * j + 1], p + c[4 * j + 2], p + c[4 * j + 3]);
        },
        [&](int i, const F4* v) {
          BYTE* p = row(i);
          for (int j = 0; j < kLanes; ++j) Scatter(v[j], p + c[4 * j], p + c[4 * j + 1], p + c[4 * j + 2], p + c[4 * j + 3]);
        });
  }
}

}  // namespace TevVecLib::detail
