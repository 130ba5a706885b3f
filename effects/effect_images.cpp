#include "effects/effect_images.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "companions/base/cpu_features.h"
#include "companions/base/dib.h"
#include "companions/vector/image_transform.h"
#include "companions/vector/recursive_blur.h"
#include "companions/vector/render_vector_obj.h"
#include "effects/effect_internal.h"

#ifdef __SSE2__
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace TevImgEffectLib {

using detail::Clamp01;
using detail::CopyRun;
using detail::CrtRandom;
using detail::Is32;
using detail::kPi;
using detail::Pixels;

namespace {

int RoundInt(double v) { return int(std::floor(v + 0.5)); }

// The rectangle (0, 0)-(w, h) as a path.
void RectanglePath(TevVecLib::CTevPath& path, double w, double h) {
  const double xs[4] = {0, w, w, 0}, ys[4] = {0, 0, h, h};
  detail::AddPolygon(path, xs, ys, 4);
}

}  // namespace

// ---------------------------------------------------------------- mosaics

CMosaicEffect::CMosaicEffect(int blockSize) : m_blockSize(blockSize) {}
CMosaicEffect::~CMosaicEffect() = default;

void CMosaicEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const int W = DibWidth(src), H = DibHeight(src), a = std::max(1, m_blockSize);
  const int cols = (W + a - 1) / a, rows = (H + a - 1) / a;
  const int total = cols * rows;
  std::unique_ptr<std::uint32_t[]> cells(new (std::nothrow) std::uint32_t[std::size_t(total)]);
  if (!cells) return;
  for (int i = 0; i < total; ++i) cells[i] = std::uint32_t(i);
  CrtRandom rng{unsigned(H + W)};
  const int count = detail::RoundCount(total, Clamp01(progress));
  int remaining = total;
  for (int k = 0; k < count && remaining > 0; ++k) {
    const int r = rng.Next() % remaining;
    const int cell = int(cells[r]);
    Copy32BitsBlock(dst, src, (cell % cols) * a, (cell / cols) * a, a, a);
    cells[r] = cells[remaining - 1];
    --remaining;
  }
}

CDirectionSenseMosaicEffect::CDirectionSenseMosaicEffect(int blockSize, int direction)
    : CMosaicEffect(blockSize), m_direction(direction) {}
CDirectionSenseMosaicEffect::~CDirectionSenseMosaicEffect() = default;

void CDirectionSenseMosaicEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src,
                                           const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const int W = DibWidth(src), H = DibHeight(src), a = std::max(1, m_blockSize);
  const int cols = (W + a - 1) / a, rows = (H + a - 1) / a, total = cols * rows;
  const int dir = (m_direction >= 0 && m_direction <= 3) ? m_direction : 0;
  const bool byColumns = dir == 0 || dir == 2;
  // Cell (column, row) at list position k in the sweep order.
  auto cellAt = [&](int k, int* c, int* r) {
    if (byColumns) {
      *c = k / rows, *r = k % rows;
      if (dir == 2) *c = cols - 1 - *c;
    } else {
      *r = k / cols, *c = k % cols;
      if (dir == 3) *r = rows - 1 - *r;
    }
  };
  detail::OrderedPicker picker;
  if (!picker.Init(total)) return;
  CrtRandom rng{unsigned(byColumns ? W : H)};
  const int line = byColumns ? rows : cols;
  const int count = detail::RoundCount(total, Clamp01(progress));
  int remaining = total;
  for (int k = 0; k < count && remaining > 0; ++k, --remaining) {
    const int window = std::min(2 * line, remaining);
    const int r = rng.Next() % window;
    int c, row;
    cellAt(picker.Take(r), &c, &row);
    Copy32BitsBlock(dst, src, c * a, row * a, a, a);
  }
}

// ---------------------------------------------------------------- thawing

CThawingEffect::CThawingEffect(int blockSize) : m_blockSize(blockSize) {}
CThawingEffect::~CThawingEffect() = default;

void CThawingEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const int b = RoundInt((1 - Clamp01(progress)) * std::max(0, m_blockSize));
  if (b <= 1) {
    Copy32BitsBlock(dst, src, 0, 0, DibWidth(src), DibHeight(src));
    return;
  }
  Mosaic32BitsDIB(dst, src, b);
}

void CThawingEffect::Mosaic32BitsDIB(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int block) {
  if (!Is32(dst) || !Is32(src) || block < 1) return;
  Pixels d(dst), s(src);
  const int W = s.w, H = s.h;
  block = std::min({block, W, H});
  for (int y0 = 0; y0 < H; y0 += block) {
    const int y1 = std::min(H, y0 + block);
    for (int x0 = 0; x0 < W; x0 += block) {
      const int x1 = std::min(W, x0 + block);
      std::uint64_t sum[4] = {0, 0, 0, 0};
      for (int y = y0; y < y1; ++y) {
        const BYTE* p = s.at(x0, y);
        for (int x = x0; x < x1; ++x, p += 4)
          sum[0] += p[0], sum[1] += p[1], sum[2] += p[2], sum[3] += p[3];
      }
      const std::uint64_t n = std::uint64_t(y1 - y0) * std::uint64_t(x1 - x0);
      const BYTE px[4] = {BYTE(sum[0] / n), BYTE(sum[1] / n), BYTE(sum[2] / n), BYTE(sum[3] / n)};
      for (int y = y0; y < std::min(y1, d.h); ++y)
        for (int x = x0; x < std::min(x1, d.w); ++x) std::memcpy(d.at(x, y), px, 4);
    }
  }
}

// ---------------------------------------------------------------- wave

CWaveEffect::CWaveEffect(int amplitude) : m_amplitude(amplitude) {}
CWaveEffect::~CWaveEffect() = default;

void CWaveEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  Pixels d(dst), s(src);
  const int H = s.h;
  for (int y = 0; y < H; ++y) {
    const double v = 5 * std::sin(5.0 * (H - y) / (y + 1) + 2 * kPi * t) * (double(m_amplitude) + y) / H;
    const long long shift = std::isfinite(v) ? (long long)std::trunc(v) : 0;
    const long long from = shift <= y ? y - shift : y;
    if (from >= 0 && from < H) CopyRun(d, s, 0, y, 0, int(from), s.w);
  }
}

// ---------------------------------------------------------------- gray and emboss

CGrayEffect::~CGrayEffect() = default;

void CGrayEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress), u = 1 - t;
  Pixels d(dst), s(src);
  const int W = std::min(d.w, s.w), H = std::min(d.h, s.h);
  // c * t + g * (1 - t), rounded as one real number, for every (grey, colour)
  // pair: a pixel's three channels then read one 256-byte row of the table.
  double ct[256], gt[256];
  for (int v = 0; v < 256; ++v) ct[v] = v * t, gt[v] = v * u + 0.5;
  std::vector<BYTE> blend(256 * 256);
  for (int g = 0; g < 256; ++g)
    for (int c = 0; c < 256; ++c) blend[std::size_t(g) * 256 + c] = BYTE(std::min(255, int(ct[c] + gt[g])));
  const BYTE* table = blend.data();
  std::vector<std::uint16_t> grey(std::size_t(std::max(W, 0)));
  for (int y = 0; y < H; ++y) {
    BYTE* o = d.row(y);
    const BYTE* p = s.row(y);
    std::uint16_t* gr = grey.data();
    // The row's greys first (a loop the compiler vectorizes), then the
    // lookups, each pixel written as one word.
    for (int x = 0; x < W; ++x)
      gr[x] = std::uint16_t(((p[4 * x] + p[4 * x + 2]) * 33 + p[4 * x + 1] * 34) / 100);
    for (int x = 0; x < W; ++x) {
      std::uint32_t v;
      std::memcpy(&v, p + 4 * x, 4);
      const BYTE* row = table + std::size_t(gr[x]) * 256;
      v = (v & 0xFF000000u) | row[v & 0xFF] | std::uint32_t(row[(v >> 8) & 0xFF]) << 8 |
          std::uint32_t(row[(v >> 16) & 0xFF]) << 16;
      std::memcpy(o + 4 * x, &v, 4);
    }
  }
}

CEmbossEffect::~CEmbossEffect() = default;

void CEmbossEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress), u = 1 - t;
  Pixels d(dst), s(src);
  const int W = std::min(d.w, s.w), H = std::min(d.h, s.h);
  double st[256], dt[256];
  for (int v = 0; v < 256; ++v) st[v] = v * t, dt[v] = v * u + 0.5;
  // Every (src, dst) pair of channel values looked up once: 64 KB instead of
  // a floating-point sum and conversion per channel.
  std::vector<BYTE> blend(256 * 256);
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) blend[std::size_t(a) * 256 + b] = BYTE(std::min(255, int(st[a] + dt[b])));
  for (int y = 0; y < H; ++y) {
    BYTE* o = d.row(y);
    const BYTE* p = s.row(y);
    for (int x = 0; x < W; ++x, o += 4, p += 4) {
      for (int c = 0; c < 3; ++c) o[c] = blend[std::size_t(p[c]) * 256 + o[c]];
      o[3] = p[3];
    }
  }
}

// ---------------------------------------------------------------- brightness and contrast

CBrightnessContrastEffect::CBrightnessContrastEffect(int brightness, int contrast)
    : m_brightness(brightness), m_contrast(contrast) {}
CBrightnessContrastEffect::~CBrightnessContrastEffect() = default;

void CBrightnessContrastEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src,
                                         const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  const int b = RoundInt(m_brightness * (1 - t) + 100 * t);
  const int c = RoundInt(100 * t + m_contrast * (1 - t));
  DoAdjust(dst, b, c);
}

void CBrightnessContrastEffect::DoAdjust(BITMAPINFOHEADER* dst, int brightness, int contrast) {
  if (!Is32(dst)) return;
  BYTE table[256];
  for (int v = 0; v < 256; ++v) {
    const long long cv = std::clamp<long long>((long long)(v - 128) * contrast / 100 + 128, 0, 255);
    table[v] = BYTE(std::clamp<long long>(cv * brightness / 100, 0, 255));
  }
  Pixels d(dst);
  for (int y = 0; y < d.h; ++y) {
    BYTE* p = d.row(y);
    for (int x = 0; x < d.w; ++x, p += 4) p[0] = table[p[0]], p[1] = table[p[1]], p[2] = table[p[2]];
  }
}

// ---------------------------------------------------------------- noise

namespace {
constexpr double kGaussScale = 5.28596089837e-05;  // sqrt(3) / 32767
constexpr double kGaussShift = 3.46410161514;      // 2 sqrt(3)
}  // namespace

CNoiseEffect::CNoiseEffect(int level) : m_level(level) {}
CNoiseEffect::~CNoiseEffect() = default;

double CNoiseEffect::GenGauss() {
  const int r1 = std::rand() & 0x7FFF, r2 = std::rand() & 0x7FFF, r3 = std::rand() & 0x7FFF,
            r4 = std::rand() & 0x7FFF;
  return (r1 + r2 + r3 + r4) * kGaussScale - kGaussShift;
}

namespace {

// The generator's step x -> x * 214013 + 2531011 taken n times at once:
// x -> a * x + c (mod 2^32).
struct CLcgJump {
  std::uint32_t a = 1, c = 0;
  static CLcgJump Steps(std::uint64_t n) {
    CLcgJump r, p{214013u, 2531011u};
    for (; n; n >>= 1, p = p.Then(p))
      if (n & 1) r = r.Then(p);
    return r;
  }
  // This jump followed by next.
  CLcgJump Then(const CLcgJump& next) const { return {next.a * a, next.a * c + next.c}; }
  std::uint32_t operator()(std::uint32_t x) const { return a * x + c; }
};

// The noise for one pixel from the sum of its four draws: the value of
// GenGauss times k * 127 / 100 in the same order of operations, truncated.
inline int NoiseOf(int sum, double k) {
  const double g = sum * kGaussScale - kGaussShift;
  const double v = g * k * 127 / 100;
  return std::isfinite(v) ? int(std::clamp(std::trunc(v), -1024.0, 1024.0)) : 0;
}

inline void AddNoise(BYTE* p, int n) {
  for (int c = 0; c < 3; ++c) p[c] = BYTE(std::clamp(p[c] + n, 0, 255));
}

#ifdef __SSE2__
// Lane-wise 32-bit product (the low halves), from SSE2's 32 x 32 -> 64.
inline __m128i MulLo32(__m128i a, __m128i b, __m128i bOdd) {
  const __m128i even = _mm_mul_epu32(a, b), odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), bOdd);
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// Noise for two pixels from their draw sums in lanes 0 and 1, as NoiseOf.
inline __m128i NoiseOf2(__m128i sums, __m128d k) {
  __m128d v = _mm_sub_pd(_mm_mul_pd(_mm_cvtepi32_pd(sums), _mm_set1_pd(kGaussScale)), _mm_set1_pd(kGaussShift));
  v = _mm_div_pd(_mm_mul_pd(_mm_mul_pd(v, k), _mm_set1_pd(127.0)), _mm_set1_pd(100.0));
  v = _mm_min_pd(_mm_max_pd(v, _mm_set1_pd(-1024.0)), _mm_set1_pd(1024.0));
  return _mm_cvttpd_epi32(v);
}

// One row of the noise: four pixels per step, their sixteen draws held as
// four interleaved generator streams (lane i of stream j is draw j of pixel
// i) that each jump sixteen steps per group. state: the generator before
// the row's first draw.
void NoiseRow(BYTE* p, int w, std::uint32_t state, double k) {
  alignas(16) std::uint32_t lanes[4][4];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) lanes[j][i] = CLcgJump::Steps(std::uint64_t(4 * i + j + 1))(state);
  __m128i st[4];
  for (int j = 0; j < 4; ++j) st[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes[j]));
  const CLcgJump jump = CLcgJump::Steps(16);
  const __m128i ja = _mm_set1_epi32(int(jump.a)), jaOdd = _mm_srli_epi64(ja, 32), jc = _mm_set1_epi32(int(jump.c));
  const __m128i low15 = _mm_set1_epi32(0x7FFF);
  const __m128i colourLanes = _mm_setr_epi16(-1, -1, -1, 0, -1, -1, -1, 0);
  const __m128d kd = _mm_set1_pd(k);
  const __m128i zero = _mm_setzero_si128();
  for (int x = 0; x < w; x += 4, p += 16) {
    __m128i sum = zero;
    for (int j = 0; j < 4; ++j) {
      sum = _mm_add_epi32(sum, _mm_and_si128(_mm_srli_epi32(st[j], 16), low15));
      st[j] = _mm_add_epi32(MulLo32(st[j], ja, jaOdd), jc);
    }
    const __m128i n32 = _mm_unpacklo_epi64(NoiseOf2(sum, kd), NoiseOf2(_mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)), kd));
    if (w - x < 4) {
      alignas(16) int n[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(n), n32);
      for (int i = 0; i < w - x; ++i) AddNoise(p + 4 * i, n[i]);
      break;
    }
    // Each pixel's n on its three colour channels, 0 on alpha; 16-bit sums
    // then saturate to 0..255 on the way back to bytes.
    const __m128i n16 = _mm_packs_epi32(n32, n32);
    const __m128i pairs = _mm_unpacklo_epi16(n16, n16);
    const __m128i lo = _mm_and_si128(_mm_unpacklo_epi32(pairs, pairs), colourLanes);
    const __m128i hi = _mm_and_si128(_mm_unpackhi_epi32(pairs, pairs), colourLanes);
    const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i sumLo = _mm_add_epi16(_mm_unpacklo_epi8(px, zero), lo);
    const __m128i sumHi = _mm_add_epi16(_mm_unpackhi_epi8(px, zero), hi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(sumLo, sumHi));
  }
}
#else
void NoiseRow(BYTE* p, int w, std::uint32_t state, double k) {
  const CLcgJump step = CLcgJump::Steps(1);
  for (int x = 0; x < w; ++x, p += 4) {
    int sum = 0;
    for (int j = 0; j < 4; ++j) state = step(state), sum += int((state >> 16) & 0x7FFFu);
    AddNoise(p, NoiseOf(sum, k));
  }
}
#endif

}  // namespace

void CNoiseEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const int k = RoundInt((1 - Clamp01(progress)) * m_level);
  if (k == 0) return;  // every n is 0
  Pixels d(dst);
  // The sequence is the C library's rand() seeded with W + H, four draws per
  // pixel, rows from the top; each row starts 4 w draws after the last.
  std::uint32_t state = unsigned(DibWidth(src) + DibHeight(src));
  const CLcgJump rowJump = CLcgJump::Steps(4 * std::uint64_t(d.w));
  for (int y = 0; y < d.h; ++y, state = rowJump(state)) NoiseRow(d.row(y), d.w, state, double(k));
}

// ---------------------------------------------------------------- corner rotation and zoom

CRotateEffect::CRotateEffect(int variant) : m_variant(variant) {}
CRotateEffect::~CRotateEffect() = default;

void CRotateEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress), W = DibWidth(src), H = DibHeight(src), q = (1 - t) * kPi / 2;
  double px, py, theta;
  switch (m_variant) {
    case 0: px = 0, py = H, theta = -q; break;
    case 1: px = W, py = H, theta = q; break;
    case 2: px = W, py = 0, theta = -q; break;
    default: px = 0, py = 0, theta = q; break;
  }
  CTevTransMatrix m = TevVecLib::CTevTransMatrixTranslation(-px, -py);
  m.Multiply(TevVecLib::CTevTransMatrixRotation(theta));
  m.Multiply(TevVecLib::CTevTransMatrixTranslation(px, py));
  CTevPath path;
  RectanglePath(path, DibWidth(dst), DibHeight(dst));
  TevVecLib::TransformImage(dst, src, m, path, CTevTransMatrix(), TevVecLib::kFilterBilinear, 1);
}

CZoomEffect::~CZoomEffect() = default;

void CZoomEffect::DoRender(BITMAPINFOHEADER*, BITMAPINFOHEADER* const, const double&) {}

bool CZoomEffect::CreateZoomInBitmap(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int index, int count,
                                     bool appear) {
  if (!Is32(dst) || !Is32(src)) return false;
  const double s = appear ? double(count) - index + 1 : double(index) + 2;
  if (!(s > 0) || s > 65536) return false;
  const double W = DibWidth(src), H = DibHeight(src);
  CTevTransMatrix m = TevVecLib::CTevTransMatrixScaling(s, s);
  m.Multiply(TevVecLib::CTevTransMatrixTranslation(W / 2 - W * s / 2, H / 2 - H * s / 2));
  CTevPath path;
  RectanglePath(path, DibWidth(dst), DibHeight(dst));
  return TevVecLib::TransformImage(dst, src, m, path, CTevTransMatrix(), TevVecLib::kFilterBicubic, 1);
}

bool CZoomEffect::CreateZoomOutBitmap(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int index, int count,
                                      bool appear) {
  if (!Is32(dst) || !Is32(src)) return false;
  double s;
  if (appear) s = (double(index) + 1) / (double(count) + 1);
  else s = count != 0 ? 1 - (double(index) + 1) / count : 0;
  if (!(s > 0) || !std::isfinite(s)) return false;
  CTevTransMatrix m = TevVecLib::CTevTransMatrixScaling(s, s);
  CTevPath path;
  RectanglePath(path, DibWidth(dst), DibHeight(dst));
  return TevVecLib::TransformImage(dst, src, m, path, CTevTransMatrix(), TevVecLib::kFilterBicubic, 1);
}

// ---------------------------------------------------------------- light

namespace {

// Overlay2Images' rule for a white layer pixel of alpha a (not 0).
inline void LightenTowardWhite(BYTE* o, unsigned a) {
  for (int c = 0; c < 3; ++c) o[c] = BYTE(((255 - a) * o[c] + a * 255) / 255);
}

}  // namespace

CLightEffect::CLightEffect(int angle, int width, int glow) : m_angle(angle), m_width(width), m_glow(glow) {}
CLightEffect::~CLightEffect() = default;

void CLightEffect::DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) {
  if (!Is32(dst) || !Is32(src)) return;
  const double t = Clamp01(progress);
  const int Wi = DibWidth(dst), Hi = DibHeight(dst);
  const double W = Wi, H = Hi;
  double x1, y1, x2, y2;
  if (!detail::LightLine(W, H, m_angle, t, x1, y1, x2, y2)) return;  // the line misses the picture
  CTevPath line;
  line.AddVertex(x1, y1, agg::path_cmd_move_to);
  line.AddVertex(x2, y2, agg::path_cmd_line_to);

  // Both layers are white with the stroke's coverage as alpha (the glow's
  // blurred): a blur of white premultiplied by alpha is white again wherever
  // its alpha is not 0, so only the alpha planes are kept and blurred, and
  // one pass lays the line and then the glow over dst.
  DibPtr layer(DibAlloc(Wi, Hi, 32));
  const std::size_t n = std::size_t(Wi) * std::size_t(Hi);
  std::unique_ptr<BYTE[]> strokeAlpha(new (std::nothrow) BYTE[n]), glowAlpha(new (std::nothrow) BYTE[n]);
  if (!layer || !strokeAlpha || !glowAlpha) return;
  // The coverage of the line stroked at strokeWidth into plane; the layer
  // is left transparent again. False when nothing is drawn.
  auto coverage = [&](int strokeWidth, BYTE* plane) {
    if (strokeWidth <= 0) return false;
    TevVecLib::CTevRenderVectorObj r(0);
    r.AddShapeStrokenPath(line, CTevTransMatrix(), double(strokeWidth), nullptr);
    if (!r.Paint32BitsDIBWithSoildColorX(layer.get(), nullptr, 0, TevVecLib::kComposeAlphaOnly, 1)) return false;
    for (int y = 0; y < Hi; ++y) {
      BYTE* p = DibRow(layer.get(), y);
      BYTE* a = plane + std::size_t(y) * Wi;
      for (int x = 0; x < Wi; ++x) a[x] = p[4 * x + 3];
      std::memset(p, 0, std::size_t(Wi) * 4);
    }
    return true;
  };
  const bool stroke = coverage(m_width, strokeAlpha.get());
  const bool glow = coverage(m_glow, glowAlpha.get());
  if (glow) TevVecLib::detail::RecursiveBlur1(glowAlpha.get(), Wi, Hi, Wi, std::min(double(m_glow), 250.0));
  Pixels d(dst);
  for (int y = 0; y < Hi; ++y) {
    BYTE* o = d.row(y);
    const BYTE* sa = strokeAlpha.get() + std::size_t(y) * Wi;
    const BYTE* ga = glowAlpha.get() + std::size_t(y) * Wi;
    for (int x = 0; x < Wi; ++x) {
      if (stroke && sa[x]) LightenTowardWhite(o + 4 * x, sa[x]);
      if (glow && ga[x]) LightenTowardWhite(o + 4 * x, ga[x]);
    }
  }
}

void CLightEffect::Overlay2Images(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* layer) {
  if (!Is32(dst) || !Is32(layer)) return;
  Pixels d(dst), l(layer);
  const int W = std::min(d.w, l.w), H = std::min(d.h, l.h);
  for (int y = 0; y < H; ++y) {
    BYTE* o = d.row(y);
    const BYTE* p = l.row(y);
    for (int x = 0; x < W; ++x, o += 4, p += 4) {
      const unsigned A = p[3];
      if (!A) continue;
      for (int c = 0; c < 3; ++c) o[c] = BYTE(std::min(255u, ((255 - A) * o[c] + A * p[c]) / 255));
    }
  }
}

// ---------------------------------------------------------------- motion blur

CMotionBlurEffect::~CMotionBlurEffect() = default;

void CMotionBlurEffect::DoRender(BITMAPINFOHEADER*, BITMAPINFOHEADER* const, const double&) {}

namespace {

// One row of the streak with plain integer divisions: every output pixel
// is the alpha-weighted average of the colours and the average alpha of the
// n = min(x + 1, length) pixels ending at it, each rounded to nearest.
void StreakRowPlain(BYTE* out, const BYTE* in, int w, int length) {
  // Alpha-weighted colours and alpha over at most 65535 pixels: at most
  // 65025 x 65535 < 2^32, so 32-bit sums and divisions suffice.
  std::uint32_t sum[4] = {0, 0, 0, 0};
  for (int x = 0; x < w; ++x) {
    const BYTE* p = in + std::size_t(x) * 4;
    for (int c = 0; c < 3; ++c) sum[c] += std::uint32_t(p[c]) * p[3];
    sum[3] += p[3];
    if (x >= length) {
      const BYTE* q = in + std::size_t(x - length) * 4;
      for (int c = 0; c < 3; ++c) sum[c] -= std::uint32_t(q[c]) * q[3];
      sum[3] -= q[3];
    }
    const std::uint32_t n = std::uint32_t(std::min(x + 1, length));
    BYTE* o = out + std::size_t(x) * 4;
    for (int c = 0; c < 3; ++c) o[c] = sum[3] ? BYTE((sum[c] + sum[3] / 2) / sum[3]) : 0;
    o[3] = BYTE((sum[3] + n / 2) / n);
  }
}

// Longest streak for the two-pass row: every numerator stays below 2^31
// (signed conversions) and every divisor below 2^24.
constexpr int kTwoPassStreakLength = 32768;

#ifdef __SSE2__
// A pixel's colours weighted by its alpha, and the alpha, as 32-bit lanes
// (each product at most 65025, so 16-bit products are exact).
inline __m128i Weighted(const BYTE* p) {
  int word;
  std::memcpy(&word, p, 4);
  const __m128i zero = _mm_setzero_si128();
  const __m128i px = _mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero);
  const __m128i alpha = _mm_shufflelo_epi16(px, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128i factor = _mm_or_si128(_mm_and_si128(alpha, _mm_setr_epi16(-1, -1, -1, 0, 0, 0, 0, 0)),
                                      _mm_setr_epi16(0, 0, 0, 1, 0, 0, 0, 0));
  return _mm_unpacklo_epi16(_mm_mullo_epi16(px, factor), zero);
}
#endif

#ifdef __SSE2__
// The window sums of pixels x..x+3 from the prefix sums, transposed to one
// vector per channel.
inline void WindowChannels(const std::uint32_t* sums, int x, int length, __m128i& B, __m128i& G, __m128i& R,
                           __m128i& A) {
  __m128i s[4];
  for (int k = 0; k < 4; ++k)
    s[k] = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + std::size_t(x + k + 1) * 4)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + std::size_t(x + k + 1 - length) * 4)));
  const __m128i t0 = _mm_unpacklo_epi32(s[0], s[1]), t1 = _mm_unpacklo_epi32(s[2], s[3]);
  const __m128i t2 = _mm_unpackhi_epi32(s[0], s[1]), t3 = _mm_unpackhi_epi32(s[2], s[3]);
  B = _mm_unpacklo_epi64(t0, t1), G = _mm_unpackhi_epi64(t0, t1);
  R = _mm_unpacklo_epi64(t2, t3), A = _mm_unpackhi_epi64(t2, t3);
}

// Four pixels' channel vectors (0..255 each) interleaved to b g r a and stored.
inline void StorePixels4(std::uint32_t* px, __m128i qb, __m128i qg, __m128i qr, __m128i qa) {
  const __m128i v = _mm_packus_epi16(_mm_packs_epi32(qb, qg), _mm_packs_epi32(qr, qa));  // b0..b3 g0..g3 ...
  const __m128i bg = _mm_unpacklo_epi8(v, _mm_srli_si128(v, 4));
  const __m128i ra = _mm_unpacklo_epi8(_mm_srli_si128(v, 8), _mm_srli_si128(v, 12));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi16(bg, ra));
}

// The alpha sum as a divisor: 1 where there is no weight at all (every
// colour sum is 0 too, so any divisor gives 0).
inline __m128i AlphaDivisor(__m128i A) {
  return _mm_or_si128(A, _mm_and_si128(_mm_cmpeq_epi32(A, _mm_setzero_si128()), _mm_set1_epi32(1)));
}
#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define LW_STREAK_AVX2 1
// floor(num * reciprocal + nudge) of four lanes.
__attribute__((target("avx2"))) inline __m128i Quotients4(__m128i num, __m256d reciprocal, __m256d nudge) {
  return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(num), reciprocal), nudge));
}

// The quotient pass of StreakRowTwoPass from pixel x, four pixels per step
// with four-lane doubles (the same operations, so the same results); returns
// the first pixel left.
__attribute__((target("avx2"))) int StreakQuotientsAvx2(std::uint32_t* px, const std::uint32_t* sums, int x, int w,
                                                        int length, double nudgeValue) {
  const __m128i halfCount = _mm_set1_epi32(length / 2);
  const __m256d nudge = _mm256_set1_pd(nudgeValue), perCount = _mm256_set1_pd(1.0 / length);
  const __m256d dOne = _mm256_set1_pd(1.0);
  for (; x + 4 <= w; x += 4) {
    __m128i B, G, R, A;
    WindowChannels(sums, x, length, B, G, R, A);
    const __m128i h = _mm_srli_epi32(A, 1), divisor = AlphaDivisor(A);
    const __m256d perAlpha = _mm256_div_pd(dOne, _mm256_cvtepi32_pd(divisor));
    const __m128i qb = Quotients4(_mm_add_epi32(B, h), perAlpha, nudge);
    const __m128i qg = Quotients4(_mm_add_epi32(G, h), perAlpha, nudge);
    const __m128i qr = Quotients4(_mm_add_epi32(R, h), perAlpha, nudge);
    const __m128i qa = Quotients4(_mm_add_epi32(A, halfCount), perCount, nudge);
    StorePixels4(px + x, qb, qg, qr, qa);
  }
  _mm256_zeroupper();
  return x;
}
#endif

// Working rows of the two-pass streak: prefix sums of the alpha-weighted
// colours and of alpha (four per pixel: b, g, r, a), and the packed output.
struct StreakRows {
  std::vector<std::uint32_t> sums, out;
  explicit StreakRows(int w) : sums((std::size_t(std::max(w, 0)) + 1) * 4), out(std::size_t(std::max(w, 0))) {}
};

// The same row as StreakRowPlain in two passes. First the running sums as
// prefix arrays (32-bit with wrap-around, so their differences are exact);
// then each pixel's quotients on its own, four pixels at a time.
// floor(num / den) for num < 2^31, 0 < den < 2^24 and a quotient below 256 is
// floor(num * (1 / den) + 2^-30) in double: the product is within 2^-44 of
// the true quotient, and a quotient that is not whole lies at least
// 1 / den > 2^-24 below the next integer. length <= kTwoPassStreakLength.
void StreakRowTwoPass(BYTE* out, const BYTE* in, int w, int length, StreakRows& rows) {
  std::uint32_t* const sums = rows.sums.data();
  auto sum = [sums](int i, int c) { return sums[std::size_t(i) * 4 + std::size_t(c)]; };
  int x = 0;
#ifdef __SSE2__
  {
    __m128i run = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums), run);
    for (; x < w; ++x) {
      run = _mm_add_epi32(run, Weighted(in + std::size_t(x) * 4));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + std::size_t(x + 1) * 4), run);
    }
  }
#else
  for (int c = 0; c < 4; ++c) sums[c] = 0;
  for (; x < w; ++x) {
    const BYTE* p = in + std::size_t(x) * 4;
    const std::uint32_t alpha = p[3];
    for (int c = 0; c < 3; ++c) sums[std::size_t(x + 1) * 4 + c] = sum(x, c) + p[c] * alpha;
    sums[std::size_t(x + 1) * 4 + 3] = sum(x, 3) + alpha;
  }
#endif
  constexpr double kNudge = 1.0 / (1 << 30);
  std::uint32_t* px = rows.out.data();
  // The first length - 1 pixels average fewer than length pixels.
  const int head = std::min(w, length - 1);
  for (x = 0; x < head; ++x) {
    const std::uint32_t n = std::uint32_t(x + 1), A = sum(x + 1, 3);
    const std::uint32_t h = A / 2;
    std::uint32_t v = ((A + n / 2) / n) << 24;
    if (A) v |= (sum(x + 1, 0) + h) / A | ((sum(x + 1, 1) + h) / A) << 8 | ((sum(x + 1, 2) + h) / A) << 16;
    px[x] = v;
  }
  const double perCount = 1.0 / length;
  const std::int32_t halfCount = length / 2;
#ifdef LW_STREAK_AVX2
  if (CpuHasAvx2()) x = StreakQuotientsAvx2(px, sums, x, w, length, kNudge);
#endif
#ifdef __SSE2__
  // Four pixels per step: the window sums transposed to one vector per
  // channel, quotients two at a time in double lanes, then the four channel
  // vectors interleaved back into pixels.
  {
    const __m128i vHalfCount = _mm_set1_epi32(halfCount);
    const __m128d nudge = _mm_set1_pd(kNudge), vPerCount = _mm_set1_pd(perCount), dOne = _mm_set1_pd(1.0);
    auto quotients = [&](__m128i num, __m128d rLo, __m128d rHi) {
      const __m128i lo = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(num), rLo), nudge));
      const __m128i hi =
          _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(num, 0xEE)), rHi), nudge));
      return _mm_unpacklo_epi64(lo, hi);
    };
    for (; x + 4 <= w; x += 4) {
      __m128i B, G, R, A;
      WindowChannels(sums, x, length, B, G, R, A);
      const __m128i h = _mm_srli_epi32(A, 1), divisor = AlphaDivisor(A);
      const __m128d rLo = _mm_div_pd(dOne, _mm_cvtepi32_pd(divisor));
      const __m128d rHi = _mm_div_pd(dOne, _mm_cvtepi32_pd(_mm_shuffle_epi32(divisor, 0xEE)));
      const __m128i qb = quotients(_mm_add_epi32(B, h), rLo, rHi);
      const __m128i qg = quotients(_mm_add_epi32(G, h), rLo, rHi);
      const __m128i qr = quotients(_mm_add_epi32(R, h), rLo, rHi);
      const __m128i qa = quotients(_mm_add_epi32(A, vHalfCount), vPerCount, vPerCount);
      StorePixels4(px + x, qb, qg, qr, qa);
    }
  }
#endif
  for (; x < w; ++x) {
    const int hi = x + 1, lo = x + 1 - length;
    const std::int32_t A = std::int32_t(sum(hi, 3) - sum(lo, 3)), h = A / 2;
    const double perAlpha = 1.0 / double(A == 0 ? 1 : A);
    const auto q = [&](std::int32_t num, double reciprocal) {
      return std::uint32_t(std::int32_t(double(num) * reciprocal + kNudge));
    };
    px[x] = q(std::int32_t(sum(hi, 0) - sum(lo, 0)) + h, perAlpha) |
            q(std::int32_t(sum(hi, 1) - sum(lo, 1)) + h, perAlpha) << 8 |
            q(std::int32_t(sum(hi, 2) - sum(lo, 2)) + h, perAlpha) << 16 | q(A + halfCount, perCount) << 24;
  }
  std::memcpy(out, px, std::size_t(w) * 4);
}

}  // namespace

bool CMotionBlurEffect::BuildBlurImage(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int length) {
  if (!Is32(dst) || !Is32(src) || dst == src || length < 1) return false;
  Pixels d(dst), s(src);
  const int W = std::min(d.w, s.w), H = std::min(d.h, s.h);
  length = std::min(length, s.w);
  if (length > kTwoPassStreakLength) {
    for (int y = 0; y < H; ++y) StreakRowPlain(d.row(y), s.row(y), W, length);
    return true;
  }
  StreakRows rows(W);
  for (int y = 0; y < H; ++y) StreakRowTwoPass(d.row(y), s.row(y), W, length, rows);
  return true;
}

}  // namespace TevImgEffectLib
