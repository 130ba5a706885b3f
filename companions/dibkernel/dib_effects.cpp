#include "companions/dibkernel/dib_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "companions/dibkernel/dib_internal.h"

using DibKernel::detail::Is32;
using DibKernel::detail::RowsOf;

bool CRippleEffect::InitializeParams(const BITMAPINFOHEADER* dib) {
  EndToRipple();
  if (!Is32(dib)) return false;
  // A private bottom-up BI_RGB copy, whatever the input's layout.
  m_width = DibWidth(dib);
  m_height = DibHeight(dib);
  m_picture.reset(DibAlloc(m_width, m_height, 32));
  if (!m_picture) return false;
  const auto in = RowsOf(dib);
  for (int y = 0; y < m_height; ++y) std::memcpy(DibRow(m_picture.get(), y), in.row(y), std::size_t(m_width) * 4);
  const std::size_t n = std::size_t(m_width) * std::size_t(m_height);
  m_current.assign(n, 0);
  m_previous.assign(n, 0);
  return true;
}

bool CRippleEffect::StartToRipple() {
  return StartToRipple(m_width / 2, m_height / 2, std::max(1, std::min(m_width, m_height) / 16), 512);
}

bool CRippleEffect::StartToRipple(int x, int y, int radius, int depth) {
  if (!m_picture || radius < 1) return false;
  radius = std::min(radius, 1024);
  depth = std::clamp(depth, -4096, 4096);
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx) {
      const long long px = (long long)x + dx, py = (long long)y + dy;
      if (px < 1 || py < 1 || px >= m_width - 1 || py >= m_height - 1) continue;
      if (dx * dx + dy * dy > radius * radius) continue;
      m_previous[std::size_t(py) * m_width + std::size_t(px)] += depth;
    }
  return true;
}

BITMAPINFOHEADER* CRippleEffect::NextToRipple() {
  if (!m_picture) return nullptr;
  const int w = m_width, h = m_height;
  // New height: half the neighbours' sum minus the height two steps ago, damped.
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) {
      const std::size_t i = std::size_t(y) * w + x;
      int v = ((m_previous[i - 1] + m_previous[i + 1] + m_previous[i - w] + m_previous[i + w]) >> 1) - m_current[i];
      v -= v >> 5;
      m_current[i] = std::clamp(v, -65536, 65536);
    }
  std::swap(m_current, m_previous);

  BITMAPINFOHEADER* out = DibAlloc(w, h, 32);
  if (!out) return nullptr;
  // Each pixel shows the picture displaced by the water's slope.
  for (int y = 0; y < h; ++y) {
    BYTE* o = DibRow(out, y);
    for (int x = 0; x < w; ++x, o += 4) {
      int sx = x, sy = y;
      if (x > 0 && y > 0 && x < w - 1 && y < h - 1) {
        const std::size_t i = std::size_t(y) * w + x;
        sx = std::clamp(x + ((m_previous[i - 1] - m_previous[i + 1]) >> 3), 0, w - 1);
        sy = std::clamp(y + ((m_previous[i - w] - m_previous[i + w]) >> 3), 0, h - 1);
      }
      std::memcpy(o, DibRow(m_picture.get(), sy) + std::size_t(sx) * 4, 4);
    }
  }
  return out;
}

void CRippleEffect::EndToRipple() {
  m_picture.reset();
  m_width = m_height = 0;
  m_current.clear();
  m_previous.clear();
}

BITMAPINFOHEADER* DiamondEffectDIB(const BITMAPINFOHEADER* dib, int cellSize) {
  if (!Is32(dib) || cellSize < 1) return nullptr;
  const int w = DibWidth(dib), h = DibHeight(dib);
  BITMAPINFOHEADER* out = DibAlloc(w, h, 32);
  if (!out) return nullptr;
  const auto in = RowsOf(dib);
  const double s = cellSize;
  for (int y = 0; y < h; ++y) {
    BYTE* o = DibRow(out, y);
    for (int x = 0; x < w; ++x, o += 4) {
      // Diamond cells are squares in the turned axes u = x + y, v = x - y.
      const double u = x + 0.5 + y + 0.5, v = x - y;
      const double cu = (std::floor(u / s) + 0.5) * s, cv = (std::floor(v / s) + 0.5) * s;
      const int cx = std::clamp(int(std::floor((cu + cv) / 2)), 0, w - 1);
      const int cy = std::clamp(int(std::floor((cu - cv) / 2)), 0, h - 1);
      std::memcpy(o, in.row(cy) + std::size_t(cx) * 4, 4);
    }
  }
  return out;
}
