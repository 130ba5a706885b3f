#include "effects/general_effect.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "companions/vector/render_vector_obj.h"
#include "effects/effect_internal.h"

namespace TevImgEffectLib {

using detail::Is32;
using detail::Pixels;

CGeneralEffect::~CGeneralEffect() = default;

unsigned char* CGeneralEffect::GetDibImageBits(BITMAPINFOHEADER* dib) {
  if (!dib) return nullptr;
  std::size_t offset = dib->biSize;
  if (dib->biCompression == BI_BITFIELDS) offset += 12;
  if (dib->biBitCount <= 8) {
    std::size_t entries = dib->biClrUsed ? dib->biClrUsed : (std::size_t(1) << dib->biBitCount);
    offset += entries * 4;
  }
  return reinterpret_cast<unsigned char*>(dib) + offset;
}

unsigned char* CGeneralEffect::CreateDibImage(int width, int height, int bitCount, int clrUsed) {
  switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return nullptr;
  }
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) return nullptr;
  if (clrUsed < 0 || (bitCount <= 8 && clrUsed > (1 << bitCount))) return nullptr;
  std::size_t palette = 0;
  if (bitCount <= 8) palette = clrUsed > 0 ? std::size_t(clrUsed) * 4 : (std::size_t(1) << bitCount) * 4;
  std::size_t pixels = std::size_t(height) * ((std::size_t(width) * std::size_t(bitCount) + 31) / 32) * 4;
  if (pixels > kMaxDibBytes) return nullptr;
  std::size_t total = sizeof(BITMAPINFOHEADER) + palette + pixels;
  BYTE* mem = DibAllocBytes(total, true);
  if (!mem) return nullptr;
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = WORD(bitCount);
  h.biClrUsed = (clrUsed > 0 && bitCount <= 8) ? DWORD(clrUsed) : 0;
  std::memcpy(mem, &h, sizeof h);
  return mem;
}

BITMAPINFOHEADER* CGeneralEffect::CreateSimple32BitsDIB(int width, int height, unsigned long colour,
                                                        unsigned char alpha) {
  auto* dib = reinterpret_cast<BITMAPINFOHEADER*>(CreateDibImage(width, height, 32, 0));
  if (!dib) return nullptr;
  const std::uint32_t px = std::uint32_t((colour >> 16) & 0xFF) | (std::uint32_t((colour >> 8) & 0xFF) << 8) |
                           (std::uint32_t(colour & 0xFF) << 16) | (std::uint32_t(alpha) << 24);
  BYTE* p = GetDibImageBits(dib);
  const std::size_t n = std::size_t(width) * std::size_t(height);
  for (std::size_t i = 0; i < n; ++i) std::memcpy(p + i * 4, &px, 4);
  return dib;
}

void CGeneralEffect::CombineAlpha(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src) {
  if (!Is32(dst) || !Is32(src)) return;
  Pixels d(dst), s(src);
  const int w = std::min(d.w, s.w), h = std::min(d.h, s.h);
  for (int y = 0; y < h; ++y) {
    BYTE* dp = d.row(y) + 3;
    const BYTE* sp = s.row(y) + 3;
    for (int x = 0; x < w; ++x, dp += 4, sp += 4) *dp = BYTE(unsigned(*dp) * unsigned(*sp) / 255);
  }
}

void CGeneralEffect::BuildClipDIB(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, CTevPath& path,
                                  const CTevTransMatrix& m) {
  if (!Is32(dst) || !Is32(src)) return;
  TevVecLib::CTevRenderVectorObj renderer(0);
  renderer.AddShapePath(path, m, nullptr);
  // Copy composition, anti-aliased, nearest sampling, clamped edges: inside
  // the path dst takes src's pixel at the same place.
  renderer.Paint32BitsDIBWithImageX(dst, nullptr, src, CTevTransMatrix(), TevVecLib::kComposeCopy, 1,
                                    TevVecLib::kFilterNearest, TevVecLib::kEdgeClamp);
}

unsigned char CGeneralEffect::CalcuOpacity(unsigned char a1, unsigned char a2) const {
  return static_cast<unsigned char>(255 - (255 - a1) * (255 - a2) / 255);
}

unsigned char CGeneralEffect::CalcuRGBValue(unsigned char c1, unsigned char a2, unsigned char a1, unsigned char c2,
                                            unsigned char aOut) const {
  int v = (255 - a2) * c1 * a1 / 255 + c2 * a2;
  if (aOut != 0) v /= aOut;
  return static_cast<unsigned char>(std::clamp(v, 0, 255));
}

void CGeneralEffect::Copy32BitsBlock(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int x, int y, int w,
                                     int h) const {
  if (!Is32(dst) || !Is32(src)) return;
  Pixels d(dst), s(src);
  long long x0 = x, y0 = y, ww = w, hh = h;
  if (x0 < 0) ww += x0, x0 = 0;
  if (y0 < 0) hh += y0, y0 = 0;
  ww = std::min({ww, (long long)d.w - x0, (long long)s.w - x0});
  hh = std::min({hh, (long long)d.h - y0, (long long)s.h - y0});
  if (ww <= 0 || hh <= 0) return;
  const std::size_t bytes = std::size_t(ww) * 4;
  for (long long r = y0; r < y0 + hh; ++r)
    std::memmove(d.at(int(x0), int(r)), s.at(int(x0), int(r)), bytes);
}

namespace detail {

void AddPolygon(TevVecLib::CTevPath& path, const double* xs, const double* ys, int count) {
  if (count < 1) return;
  path.AddVertex(xs[0], ys[0], agg::path_cmd_move_to);
  for (int i = 1; i < count; ++i) path.AddVertex(xs[i], ys[i], agg::path_cmd_line_to);
  path.AddVertex(xs[0], ys[0], agg::path_cmd_line_to);
  path.ClosePolygon();
}

}  // namespace detail
}  // namespace TevImgEffectLib
