// Helpers for the DIB kernel tests: pixel access by picture coordinates and
// hand-built DIBs of any layout.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "companions/base/dib.h"

namespace dibtest {

inline std::uint32_t Bgra(int b, int g, int r, int a) {
  return std::uint32_t(b) | (std::uint32_t(g) << 8) | (std::uint32_t(r) << 16) | (std::uint32_t(a) << 24);
}
inline std::uint32_t Get32(const BITMAPINFOHEADER* d, int x, int y) {
  std::uint32_t v;
  std::memcpy(&v, DibRow(d, y) + 4 * x, 4);
  return v;
}
inline void Set32(BITMAPINFOHEADER* d, int x, int y, std::uint32_t v) { std::memcpy(DibRow(d, y) + 4 * x, &v, 4); }

// A 32-bit DIB (top-down when asked) filled with one value.
inline DibPtr Make32(int w, int h, std::uint32_t fill = 0, bool topDown = false) {
  DibPtr d(DibAlloc(w, topDown ? -h : h, 32));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Set32(d.get(), x, y, fill);
  return d;
}

// Builds a packed DIB by hand: header fields, `extra` bytes after the header
// (palette or masks), then the rows given top row first, each padded to the
// stride and stored in the requested order.
inline std::vector<BYTE> RawDib(int w, int h, int bits, bool topDown, std::vector<BYTE> extra,
                                std::vector<std::vector<BYTE>> rowsTopFirst, DWORD compression = BI_RGB,
                                DWORD clrUsed = 0) {
  BITMAPINFOHEADER bih{};
  bih.biSize = 40;
  bih.biWidth = w;
  bih.biHeight = topDown ? -h : h;
  bih.biPlanes = 1;
  bih.biBitCount = WORD(bits);
  bih.biCompression = compression;
  bih.biClrUsed = clrUsed;
  const std::size_t stride = DibPitch(w, bits);
  std::vector<BYTE> out(40 + extra.size() + stride * std::size_t(h), 0);
  std::memcpy(out.data(), &bih, 40);
  if (!extra.empty()) std::memcpy(out.data() + 40, extra.data(), extra.size());
  for (int y = 0; y < h; ++y) {
    int stored = topDown ? y : h - 1 - y;
    std::memcpy(out.data() + 40 + extra.size() + stride * std::size_t(stored), rowsTopFirst[std::size_t(y)].data(),
                rowsTopFirst[std::size_t(y)].size());
  }
  return out;
}
inline const BITMAPINFOHEADER* AsDib(const std::vector<BYTE>& raw) {
  return reinterpret_cast<const BITMAPINFOHEADER*>(raw.data());
}
inline std::vector<BYTE> Palette(std::initializer_list<std::uint32_t> colours) {
  std::vector<BYTE> p;
  for (std::uint32_t c : colours)
    for (int i = 0; i < 4; ++i) p.push_back(BYTE(c >> (8 * i)));
  return p;
}

}  // namespace dibtest
