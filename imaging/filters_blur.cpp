// Blurs.
#include "imaging/filters_blur.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/filter_support.h"
#include "imaging/obj_selection.h"

namespace TevImageTransform {

using namespace filter_detail;

namespace {

// Alpha-weighted mean of sampled pixels.
struct Accumulator {
  std::uint64_t b = 0, g = 0, r = 0, a = 0;
  int n = 0;
  void Add(const BYTE* p, bool hasAlpha) {
    const int w = hasAlpha ? p[3] : 255;
    b += std::uint64_t(p[0]) * w;
    g += std::uint64_t(p[1]) * w;
    r += std::uint64_t(p[2]) * w;
    a += std::uint64_t(w);
    ++n;
  }
  void Store(BYTE* d, bool hasAlpha) const {
    if (a == 0) {
      d[0] = d[1] = d[2] = 0;
    } else {
      d[0] = BYTE(b / a);
      d[1] = BYTE(g / a);
      d[2] = BYTE(r / a);
    }
    if (hasAlpha) d[3] = n ? BYTE(a / std::uint64_t(n)) : 0;
  }
};

bool Is24or32(const CTevObjImage* image) {
  return image && image->IsValidImage() && (image->ColorBits() == 24 || image->ColorBits() == 32);
}

}  // namespace

// ---- Box blur ---------------------------------------------------------------

CTevPixelBlurBox::CTevPixelBlurBox(int size, bool replicateEdges)
    : m_size(size < 3 ? 2 : (size > 256 ? 256 : size)), m_replicate(replicateEdges) {}

void CTevPixelBlurBox::OnEnterProcess(CTevObjImage* image) {
  CTevPixelWholeImageBase::OnEnterProcess(image);
  const int pad = m_size / 2;
  if (m_backup.IsValidImage() && !m_backup.ExpandFrame(m_replicate, pad, pad, pad, pad)) m_backup.Destroy();
}

int CTevPixelBlurBox::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!Is24or32(image) || !m_backup.IsValidImage()) return 0;
  const int w = image->Width(), h = image->Height(), bpp = image->ColorBits() / 8;
  const int ww = m_backup.Width(), size = m_size;
  if (m_backup.Height() < h + size - 1 || ww < w + size - 1) return 0;
  const bool alpha = bpp == 4;
  // Sums of B*A, G*A, R*A and A over size rows of every widened column. They
  // stay below 2^32 for windows of up to 256 x 256 pixels.
  std::vector<std::uint32_t> cols(std::size_t(ww) * 4, 0);
  auto addRow = [&](int row, bool add) {
    const BYTE* p = m_backup.GetBits(row);
    std::uint32_t* c = cols.data();
    for (int x = 0; x < ww; ++x, p += bpp, c += 4) {
      const std::uint32_t a = alpha ? p[3] : 255u;
      if (add) {
        c[0] += p[0] * a;
        c[1] += p[1] * a;
        c[2] += p[2] * a;
        c[3] += a;
      } else {
        c[0] -= p[0] * a;
        c[1] -= p[1] * a;
        c[2] -= p[2] * a;
        c[3] -= a;
      }
    }
  };
  for (int row = 0; row < size; ++row) addRow(row, true);
  const double invCount = 1.0 / (double(size) * size);
  for (int y = 0; y < h; ++y) {
    std::uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    const std::uint32_t* c = cols.data();
    for (int i = 0; i < size; ++i) {
      s0 += c[4 * i];
      s1 += c[4 * i + 1];
      s2 += c[4 * i + 2];
      s3 += c[4 * i + 3];
    }
    BYTE* d = image->GetBits(y);
    for (int x = 0; x < w; ++x, d += bpp) {
      if (s3 == 0) {
        d[0] = d[1] = d[2] = 0;
      } else {
        // floor(s / a) through a reciprocal: adding one half before the
        // multiply keeps exact quotients from falling a unit short.
        const double inv = 1.0 / double(s3);
        d[0] = BYTE((double(s0) + 0.5) * inv);
        d[1] = BYTE((double(s1) + 0.5) * inv);
        d[2] = BYTE((double(s2) + 0.5) * inv);
      }
      if (alpha) d[3] = BYTE((double(s3) + 0.5) * invCount);
      if (x + 1 < w) {
        const std::uint32_t* in = c + 4 * (x + size);
        const std::uint32_t* out = c + 4 * x;
        s0 += in[0] - out[0];
        s1 += in[1] - out[1];
        s2 += in[2] - out[2];
        s3 += in[3] - out[3];
      }
    }
    if (y + 1 < h) {
      addRow(y, false);
      addRow(y + size, true);
    }
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}

int CTevPixelBlurBox::ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                                            CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

// ---- Recursive Gaussian -----------------------------------------------------

namespace {

// Coefficients of the fourth-order recursive approximation of a Gaussian
// (forward numerator np, backward numerator nm, shared denominator d) and
// the steady-state gains that start each pass from a replicated edge.
struct IirCoefficients {
  float np[4], nm[5], d[5];
  float gainP, gainM;
};

IirCoefficients FindConstants(int radius) {
  const double r1 = std::max(radius + 1, 2);
  const double sigma = std::sqrt(-(r1 * r1) / (2.0 * std::log(1.0 / 255.0)));
  const double div = std::sqrt(2.0 * M_PI) * sigma;
  const double x0 = -1.783 / sigma, x1 = -1.723 / sigma, x2 = 0.6318 / sigma, x3 = 1.997 / sigma;
  const double x4 = 1.6803 / div, x5 = 3.735 / div, x6 = -0.6803 / div, x7 = -0.2598 / div;
  double np[5], nm[5], d[5];
  np[0] = x4 + x6;
  np[1] = std::exp(x1) * (x7 * std::sin(x3) - (x6 + 2 * x4) * std::cos(x3)) +
          std::exp(x0) * (x5 * std::sin(x2) - (2 * x6 + x4) * std::cos(x2));
  np[2] = 2 * std::exp(x0 + x1) *
              ((x4 + x6) * std::cos(x3) * std::cos(x2) - x5 * std::cos(x3) * std::sin(x2) -
               x7 * std::cos(x2) * std::sin(x3)) +
          x6 * std::exp(2 * x0) + x4 * std::exp(2 * x1);
  np[3] = std::exp(x1 + 2 * x0) * (x7 * std::sin(x3) - x6 * std::cos(x3)) +
          std::exp(x0 + 2 * x1) * (x5 * std::sin(x2) - x4 * std::cos(x2));
  np[4] = 0.0;
  d[0] = 0.0;
  d[1] = -2 * std::exp(x1) * std::cos(x3) - 2 * std::exp(x0) * std::cos(x2);
  d[2] = 4 * std::cos(x3) * std::cos(x2) * std::exp(x0 + x1) + std::exp(2 * x1) + std::exp(2 * x0);
  d[3] = -2 * std::cos(x2) * std::exp(x0 + 2 * x1) - 2 * std::cos(x3) * std::exp(x1 + 2 * x0);
  d[4] = std::exp(2 * x0 + 2 * x1);
  nm[0] = 0.0;
  for (int i = 1; i <= 3; ++i) nm[i] = np[i] - d[i] * np[0];
  nm[4] = -d[4] * np[0];
  double sumP = 0, sumM = 0, sumD = 0;
  for (int i = 0; i <= 4; ++i) {
    sumP += np[i];
    sumM += nm[i];
    sumD += d[i];
  }
  // Normalise so that a constant row comes out unchanged.
  const double scale = (1.0 + sumD) / (sumP + sumM);
  IirCoefficients k{};
  for (int i = 0; i < 4; ++i) k.np[i] = float(np[i] * scale);
  for (int i = 0; i <= 4; ++i) {
    k.nm[i] = float(nm[i] * scale);
    k.d[i] = float(d[i]);
  }
  k.gainP = float(sumP * scale / (1.0 + sumD));
  k.gainM = float(sumM * scale / (1.0 + sumD));
  return k;
}

// Filters n samples of four interleaved channels from in into out (which
// may not alias in). The row ends are continued by their edge values. The
// four channels of a sample travel together in one vector register.
#if defined(__SSE2__)
// One direction of the filter for one row: the last three inputs and four
// outputs, and the step that makes the next output.
struct IirLane {
  __m128 x1, x2, x3, y1, y2, y3, y4;
  void Start(__m128 edge, float gain) {
    x1 = x2 = x3 = edge;
    y1 = y2 = y3 = y4 = _mm_mul_ps(edge, _mm_set1_ps(gain));
  }
  // Forward: x is the input at i and x1..x3 the three before it, with the
  // weights np[0..3]. Backward: x is the input at i + 1 and x1..x3 those at
  // i + 2 .. i + 4, with the weights nm[1..4].
  __m128 Step(__m128 x, const __m128* n, const __m128* d) {
    // Input terms first: only the last operations wait for the previous output.
    const __m128 fx = _mm_add_ps(_mm_add_ps(_mm_mul_ps(n[0], x), _mm_mul_ps(n[1], x1)),
                                 _mm_add_ps(_mm_mul_ps(n[2], x2), _mm_mul_ps(n[3], x3)));
    const __m128 fy = _mm_add_ps(_mm_mul_ps(d[3], y3), _mm_mul_ps(d[4], y4));
    const __m128 y =
        _mm_sub_ps(_mm_sub_ps(fx, fy), _mm_add_ps(_mm_mul_ps(d[1], y1), _mm_mul_ps(d[2], y2)));
    x3 = x2, x2 = x1, x1 = x;
    y4 = y3, y3 = y2, y2 = y1, y1 = y;
    return y;
  }
};

// Filters rows rows (1 or 2) of n samples; two rows run interleaved so the
// processor overlaps their dependency chains.
void IirRows(const float* const* in, float* const* out, int rows, int n, const IirCoefficients& k) {
  if (n <= 0) return;
  const __m128 np[4] = {_mm_set1_ps(k.np[0]), _mm_set1_ps(k.np[1]), _mm_set1_ps(k.np[2]), _mm_set1_ps(k.np[3])};
  const __m128 nb[4] = {_mm_set1_ps(k.nm[1]), _mm_set1_ps(k.nm[2]), _mm_set1_ps(k.nm[3]), _mm_set1_ps(k.nm[4])};
  const __m128 d[5] = {_mm_setzero_ps(), _mm_set1_ps(k.d[1]), _mm_set1_ps(k.d[2]), _mm_set1_ps(k.d[3]),
                       _mm_set1_ps(k.d[4])};
  IirLane lane[2];
  const int r = rows > 1 ? 2 : 1;
  for (int j = 0; j < r; ++j) lane[j].Start(_mm_loadu_ps(in[j]), k.gainP);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < r; ++j) _mm_storeu_ps(out[j] + 4 * i, lane[j].Step(_mm_loadu_ps(in[j] + 4 * i), np, d));
  for (int j = 0; j < r; ++j) lane[j].Start(_mm_loadu_ps(in[j] + 4 * (n - 1)), k.gainM);
  for (int i = n - 1; i >= 0; --i)
    for (int j = 0; j < r; ++j) {
      const int next = std::min(i + 1, n - 1);
      const __m128 y = lane[j].Step(_mm_loadu_ps(in[j] + 4 * next), nb, d);
      _mm_storeu_ps(out[j] + 4 * i, _mm_add_ps(_mm_loadu_ps(out[j] + 4 * i), y));
    }
}

#else
void IirRow(const float* in, float* out, int n, const IirCoefficients& k) {
  if (n <= 0) return;
  float x1[4], x2[4], x3[4], y1[4], y2[4], y3[4], y4[4];
  for (int c = 0; c < 4; ++c) {
    x1[c] = x2[c] = x3[c] = in[c];
    y1[c] = y2[c] = y3[c] = y4[c] = in[c] * k.gainP;
  }
  for (int i = 0; i < n; ++i) {
    const float* xi = in + 4 * i;
    float* o = out + 4 * i;
    for (int c = 0; c < 4; ++c) {
      const float y = k.np[0] * xi[c] + k.np[1] * x1[c] + k.np[2] * x2[c] + k.np[3] * x3[c] - k.d[1] * y1[c] -
                      k.d[2] * y2[c] - k.d[3] * y3[c] - k.d[4] * y4[c];
      x3[c] = x2[c];
      x2[c] = x1[c];
      x1[c] = xi[c];
      y4[c] = y3[c];
      y3[c] = y2[c];
      y2[c] = y1[c];
      y1[c] = y;
      o[c] = y;
    }
  }
  const float* last = in + 4 * (n - 1);
  float a1[4], a2[4], a3[4], a4[4];
  for (int c = 0; c < 4; ++c) {
    a1[c] = a2[c] = a3[c] = a4[c] = last[c];
    y1[c] = y2[c] = y3[c] = y4[c] = last[c] * k.gainM;
  }
  for (int i = n - 1; i >= 0; --i) {
    const float* xi = in + 4 * i;
    float* o = out + 4 * i;
    for (int c = 0; c < 4; ++c) {
      const float y = k.nm[1] * a1[c] + k.nm[2] * a2[c] + k.nm[3] * a3[c] + k.nm[4] * a4[c] - k.d[1] * y1[c] -
                      k.d[2] * y2[c] - k.d[3] * y3[c] - k.d[4] * y4[c];
      a4[c] = a3[c];
      a3[c] = a2[c];
      a2[c] = a1[c];
      a1[c] = xi[c];
      y4[c] = y3[c];
      y3[c] = y2[c];
      y2[c] = y1[c];
      y1[c] = y;
      o[c] += y;
    }
  }
}

void IirRows(const float* const* in, float* const* out, int rows, int n, const IirCoefficients& k) {
  for (int j = 0; j < std::min(rows, 2); ++j) IirRow(in[j], out[j], n, k);
}
#endif

// Whole percent of a stage [start, start + width) of the run, then cancel.
bool StageProgress(CTevCommonProgress* progress, double start, double width, int done, int total) {
  if (!progress) return true;
  const int pct = int((start + width * double(done) / double(std::max(total, 1))) * 100.0 + 1e-9);
  progress->SetProgress(float(pct) / 100.0f);
  return !progress->IsCancelled();
}

// One row of 24/32-bit pixels into floats B*A, G*A, R*A (scaled to 0..255)
// and A (255 for 24-bit pixels).
void LoadPremultiplied(const BYTE* p, float* f, int w, int bpp) {
#if defined(__SSE2__)
  if (bpp == 4) {
    const __m128i zero = _mm_setzero_si128();
    const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
    for (int x = 0; x < w; ++x, p += 4, f += 4) {
      std::int32_t v;
      std::memcpy(&v, p, 4);
      const __m128 c = _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero), zero));
      const __m128 a = _mm_set1_ps(float(p[3]));
      __m128 m = _mm_mul_ps(c, _mm_mul_ps(a, scale));
      // Lane 3 is alpha itself.
      m = _mm_shuffle_ps(m, _mm_unpackhi_ps(m, a), _MM_SHUFFLE(1, 0, 1, 0));
      _mm_storeu_ps(f, m);
    }
    return;
  }
#endif
  for (int x = 0; x < w; ++x, p += bpp, f += 4) {
    const float a = bpp == 4 ? p[3] : 255.0f;
    const float m = a * (1.0f / 255.0f);
    f[0] = p[0] * m;
    f[1] = p[1] * m;
    f[2] = p[2] * m;
    f[3] = a;
  }
}

// A filtered sample back into a pixel: colours divided by alpha, rounded
// and clamped; a pixel with no alpha left becomes transparent black.
inline void StorePixel(const float* f, BYTE* p, int bpp) {
  const float a = f[3];
  if (bpp == 4 && a < 0.5f) {
    std::memset(p, 0, 4);
    return;
  }
  const float m = bpp == 4 ? 255.0f / a : 1.0f;
#if defined(__SSE2__)
  __m128 v = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(f), _mm_setr_ps(m, m, m, 1.0f)), _mm_set1_ps(0.5f));
  const __m128i i = _mm_cvttps_epi32(_mm_max_ps(v, _mm_setzero_ps()));
  const __m128i b = _mm_packus_epi16(_mm_packs_epi32(i, i), _mm_setzero_si128());
  const std::int32_t out = _mm_cvtsi128_si32(b);
  if (bpp == 4)
    std::memcpy(p, &out, 4);
  else
    std::memcpy(p, &out, 3);
#else
  for (int c = 0; c < 3; ++c) p[c] = BYTE(Clamp255(double(f[c] * m + 0.5f)));
  if (bpp == 4) p[3] = BYTE(Clamp255(double(a + 0.5f)));
#endif
}

// Blurs the rows of image into the column-major buffer turned (one row of
// turned per image column), or the rows of turned back into image. The
// writes across are the quarter turns of the blur.
constexpr int kBand = 16;  // rows filtered before they are written across

int GaussIir(CTevObjImage& image, int hRadius, int vRadius, CTevCommonProgress* progress) {
  if (!Is24or32(&image)) return 0;
  const int w = image.Width(), h = image.Height(), bpp = image.ColorBits() / 8;
  const IirCoefficients kh = FindConstants(hRadius), kv = FindConstants(vRadius);
  // Written in full by the row pass before anything reads it.
  std::unique_ptr<float[]> turnedBuffer(new (std::nothrow) float[std::size_t(w) * h * 4]);
  if (!turnedBuffer) return 0;
  float* const turned = turnedBuffer.get();
  std::vector<float> in(std::size_t(std::max(w, h)) * 4 * kBand), out(std::size_t(std::max(w, h)) * 4 * kBand);
  // Rows: premultiplied by alpha so transparent pixels lend no colour.
  for (int y0 = 0; y0 < h; y0 += kBand) {
    const int rows = std::min(kBand, h - y0);
    for (int j = 0; j < rows; ++j) {
      const BYTE* p = image.GetBits(y0 + j);
      float* f = in.data() + std::size_t(j) * w * 4;
      LoadPremultiplied(p, f, w, bpp);
    }
    for (int j = 0; j < rows; j += 2) {
      const float* ins[2] = {in.data() + std::size_t(j) * w * 4, in.data() + std::size_t(std::min(j + 1, rows - 1)) * w * 4};
      float* outs[2] = {out.data() + std::size_t(j) * w * 4, out.data() + std::size_t(std::min(j + 1, rows - 1)) * w * 4};
      IirRows(ins, outs, rows - j, w, kh);
    }
    // Quarter turn: image row y lands in column y of the turned buffer.
    for (int x = 0; x < w; ++x) {
      float* t = turned + (std::size_t(x) * h + y0) * 4;
      for (int j = 0; j < rows; ++j) std::memcpy(t + 4 * j, out.data() + (std::size_t(j) * w + x) * 4, 16);
    }
    if (!StageProgress(progress, 0.0, 0.3, y0 + rows, h)) return 0;
  }
  if (!StageProgress(progress, 0.3, 0.2, 1, 1)) return 0;
  // Columns, now rows of the turned buffer; then turned back into the image.
  for (int x0 = 0; x0 < w; x0 += kBand) {
    const int cols = std::min(kBand, w - x0);
    for (int j = 0; j < cols; j += 2) {
      const int j2 = std::min(j + 1, cols - 1);
      const float* ins[2] = {turned + std::size_t(x0 + j) * h * 4, turned + std::size_t(x0 + j2) * h * 4};
      float* outs[2] = {out.data() + std::size_t(j) * h * 4, out.data() + std::size_t(j2) * h * 4};
      IirRows(ins, outs, cols - j, h, kv);
    }
    for (int y = 0; y < h; ++y) {
      BYTE* p = image.GetBits(x0, y);
      for (int j = 0; j < cols; ++j, p += bpp) StorePixel(out.data() + (std::size_t(j) * h + y) * 4, p, bpp);
    }
    if (!StageProgress(progress, 0.5, 0.3, x0 + cols, w)) return 0;
  }
  return StageProgress(progress, 0.8, 0.2, 1, 1) ? 1 : 0;
}

}  // namespace

CTevPixelBlurGaussIIR::CTevPixelBlurGaussIIR(int horizontalRadius, int verticalRadius)
    : m_horizontal(std::clamp(horizontalRadius, 0, 4096)), m_vertical(std::clamp(verticalRadius, 0, 4096)) {}

int CTevPixelBlurGaussIIR::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!image) return 0;
  return GaussIir(*image, m_horizontal, m_vertical, progress);
}

int CTevPixelBlurGaussIIR::ProcessSelectionImage(CTevObjImage* image, const POINT& pos,
                                                 const CTevObjSelection& selection, CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

int CTevPixelBlurGaussIIR::GaussIIRBlurImage(CTevObjImage& image, int radius, CTevCommonProgress* progress) {
  radius = std::clamp(radius, 0, 4096);
  return GaussIir(image, radius, radius, progress);
}

// ---- Motion, zoom and radial blurs --------------------------------------------

CPixelBlurMotion::CPixelBlurMotion(int distance, DIRECT_SYS direction)
    : m_distance(std::clamp(distance, 1, 256)), m_direction(direction) {}

int CPixelBlurMotion::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!Is24or32(image) || !m_backup.IsValidImage()) return 0;
  const int w = image->Width(), h = image->Height(), bpp = image->ColorBits() / 8;
  const bool alpha = bpp == 4;
  int dx = 1, dy = 0;
  switch (m_direction) {
    case DIRECT_VERTICAL: dx = 0, dy = 1; break;
    case DIRECT_DIAGONAL_DOWN: dx = 1, dy = 1; break;
    case DIRECT_DIAGONAL_UP: dx = 1, dy = -1; break;
    default: break;
  }
  const int first = -(m_distance - 1) / 2;
  for (int y = 0; y < h; ++y) {
    BYTE* d = image->GetBits(y);
    for (int x = 0; x < w; ++x, d += bpp) {
      Accumulator acc;
      for (int k = first; k < first + m_distance; ++k)
        acc.Add(m_backup.GetBits(std::clamp(x + k * dx, 0, w - 1), std::clamp(y + k * dy, 0, h - 1)), alpha);
      acc.Store(d, alpha);
    }
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}

int CPixelBlurMotion::ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                                            CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

CTevPixelBlurZoom::CTevPixelBlurZoom(int amount) : m_amount(std::clamp(amount, 0, 100)) {}

int CTevPixelBlurZoom::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!Is24or32(image) || !m_backup.IsValidImage()) return 0;
  const int w = image->Width(), h = image->Height(), bpp = image->ColorBits() / 8;
  const bool alpha = bpp == 4;
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, span = m_amount / 100.0;
  for (int y = 0; y < h; ++y) {
    BYTE* d = image->GetBits(y);
    for (int x = 0; x < w; ++x, d += bpp) {
      const double vx = cx - x, vy = cy - y;
      const int n = std::clamp(int(std::hypot(vx, vy) * span) + 1, 1, 32);
      Accumulator acc;
      for (int k = 0; k < n; ++k) {
        const double t = n > 1 ? span * k / (n - 1) : 0.0;
        acc.Add(m_backup.GetBits(std::clamp(Round(x + vx * t), 0, w - 1), std::clamp(Round(y + vy * t), 0, h - 1)),
                alpha);
      }
      acc.Store(d, alpha);
    }
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}

int CTevPixelBlurZoom::ProcessSelectionImage(CTevObjImage* image, const POINT& pos, const CTevObjSelection& selection,
                                             CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

CTevPixelBlurRadial::CTevPixelBlurRadial(int amount) : m_amount(std::clamp(amount, 0, 360)) {}

int CTevPixelBlurRadial::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!Is24or32(image) || !m_backup.IsValidImage()) return 0;
  const int w = image->Width(), h = image->Height(), bpp = image->ColorBits() / 8;
  const bool alpha = bpp == 4;
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, span = m_amount * M_PI / 180.0;
  for (int y = 0; y < h; ++y) {
    BYTE* d = image->GetBits(y);
    for (int x = 0; x < w; ++x, d += bpp) {
      const double vx = x - cx, vy = y - cy, radius = std::hypot(vx, vy), angle = std::atan2(vy, vx);
      const int n = std::clamp(int(radius * span) + 1, 1, 64);
      Accumulator acc;
      for (int k = 0; k < n; ++k) {
        const double a = n > 1 ? angle + span * (double(k) / (n - 1) - 0.5) : angle;
        acc.Add(m_backup.GetBits(std::clamp(Round(cx + radius * std::cos(a)), 0, w - 1),
                                 std::clamp(Round(cy + radius * std::sin(a)), 0, h - 1)),
                alpha);
      }
      acc.Store(d, alpha);
    }
    if (!RowDone(progress, y, h)) return 0;
  }
  return 1;
}

int CTevPixelBlurRadial::ProcessSelectionImage(CTevObjImage* image, const POINT& pos,
                                               const CTevObjSelection& selection, CTevCommonProgress* progress) {
  return RunWholeImageOnSelection(*this, image, pos, selection, progress);
}

}  // namespace TevImageTransform
