// Neighbourhood filters.
#include "imaging/filters_convolve.h"

#include <algorithm>
#include <cstring>

#include "imaging/filter_support.h"

namespace TevImageTransform {

using namespace filter_detail;

bool CTevPixelConvolute::SetKernel(const int* kernel, int size, int divisor, int offset) {
  if (!kernel || size < 1 || size > 15 || size % 2 == 0) return false;
  m_kernel.assign(kernel, kernel + std::size_t(size) * size);
  m_size = size;
  m_divisor = divisor < 2 ? 1 : divisor;
  m_offset = offset;
  return true;
}

void CTevPixelConvolute::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  m_bpp = BytesPerPixel(image);
  const int pad = m_size / 2;
  if (pad > 0 && m_backup.IsValidImage() && !m_backup.ExpandFrame(true, pad, pad, pad, pad)) m_backup.Destroy();
}

void CTevPixelConvolute::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  if (!m_backup.IsValidImage() || m_bpp < 3) return;
  int sb = 0, sg = 0, sr = 0;
  const int* k = m_kernel.data();
  for (int j = 0; j < m_size; ++j) {
    const BYTE* s = m_backup.GetBits(x, y + j);
    if (!s) return;
    for (int i = 0; i < m_size; ++i, s += m_bpp, ++k) {
      sb += *k * s[0];
      sg += *k * s[1];
      sr += *k * s[2];
    }
  }
  p[0] = BYTE(Clamp255(sb / m_divisor + m_offset));
  p[1] = BYTE(Clamp255(sg / m_divisor + m_offset));
  p[2] = BYTE(Clamp255(sr / m_divisor + m_offset));
}

CTevPixelGaussianBlur3x3::CTevPixelGaussianBlur3x3() {
  static const int k[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  SetKernel(k, 3, 16, 0);
}

CTevPixelGaussianBlur5x5::CTevPixelGaussianBlur5x5() {
  static const int k[25] = {0, 1, 2, 1, 0, 1, 3, 4, 3, 1, 2, 4, 8, 4, 2, 1, 3, 4, 3, 1, 0, 1, 2, 1, 0};
  SetKernel(k, 5, 52, 0);
}

CTevPixelDetectEdges::CTevPixelDetectEdges(int radius) {
  const int n = 2 * std::clamp(radius, 1, 7) + 1;
  std::vector<int> k(std::size_t(n) * n, -1);
  k[std::size_t(n) * n / 2] = n * n - 1;
  SetKernel(k.data(), n, 1, 0);
}

CTevPixelSharp::CTevPixelSharp(int amount) {
  amount = std::clamp(amount, -1000, 1000);
  const int k[9] = {-1, -1, -1, -1, amount + 8, -1, -1, -1, -1};
  SetKernel(k, 3, amount < 2 ? 1 : amount, 0);
}

CTevPixelSharp CTevPixelSharp::WithCentre(int centre, int divisor) {
  CTevPixelSharp sharp(1);
  const int k[9] = {-1, -1, -1, -1, centre, -1, -1, -1, -1};
  sharp.SetKernel(k, 3, divisor, 0);
  return sharp;
}

CTevPixelEmboss::CTevPixelEmboss(int depth) : m_depth(std::clamp(depth, -100, 100)) {}
void CTevPixelEmboss::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  const BYTE* q = x + 1 < image->Width() ? image->GetBits(x + 1, y) : nullptr;
  if (!q) {
    p[0] = p[1] = p[2] = 128;
    return;
  }
  const int d = (p[2] - q[2]) + (p[1] - q[1]) + (p[0] - q[0]);
  p[0] = p[1] = p[2] = BYTE(Clamp255(128 + d * m_depth / 3));
}

CTevPixelMedianFilter::CTevPixelMedianFilter(int size) : m_size(std::clamp(size, 1, 31)) {}
void CTevPixelMedianFilter::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  if (!m_backup.IsValidImage()) return;
  const int w = m_backup.Width(), h = m_backup.Height(), bpp = BytesPerPixel(image);
  const int first = -(m_size - 1) / 2;
  m_window.clear();
  for (int j = first; j < first + m_size; ++j)
    for (int i = first; i < first + m_size; ++i) {
      const BYTE* s = m_backup.GetBits(std::clamp(x + i, 0, w - 1), std::clamp(y + j, 0, h - 1));
      m_window.emplace_back(Grey(s), s);
    }
  auto mid = m_window.begin() + std::ptrdiff_t(m_window.size() / 2);
  std::nth_element(m_window.begin(), mid, m_window.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::memcpy(p, mid->second, std::size_t(std::min(bpp, 3)));
}

}  // namespace TevImageTransform
