#include "companions/dibkernel/dib_flood.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace DibKernel {
namespace {

bool Valid32(const BITMAPINFOHEADER* d) {
  return d && DibHeaderValid(d) && d->biBitCount == 32 && d->biCompression == BI_RGB && d->biWidth > 0 &&
         DibHeight(d) > 0;
}

// The "over" rule of the blend blits, source colour (b, g, r) at alpha a.
inline void Over(BYTE* d, BYTE b, BYTE g, BYTE r, unsigned a) {
  if (a == 0) return;
  if (a >= 255) {
    d[0] = b;
    d[1] = g;
    d[2] = r;
    d[3] = 255;
    return;
  }
  const unsigned da = d[3];
  if (da == 255) {
    d[0] = BYTE((b * a + d[0] * (255 - a) + 127) / 255);
    d[1] = BYTE((g * a + d[1] * (255 - a) + 127) / 255);
    d[2] = BYTE((r * a + d[2] * (255 - a) + 127) / 255);
    return;
  }
  const unsigned outA = a + (da * (255 - a) + 127) / 255;
  const unsigned den = outA * 255, half = outA * 127;
  d[0] = BYTE(std::min<unsigned>(255, (b * a * 255 + d[0] * da * (255 - a) + half) / den));
  d[1] = BYTE(std::min<unsigned>(255, (g * a * 255 + d[1] * da * (255 - a) + half) / den));
  d[2] = BYTE(std::min<unsigned>(255, (r * a * 255 + d[2] * da * (255 - a) + half) / den));
  d[3] = BYTE(std::min<unsigned>(255, outA));
}

// Which pixels a fill may take, judged on the picture before it changes.
struct Criterion {
  bool transparentOnly = false;
  BYTE seed[4]{};
  int tolerance = 0;
};

// state[y * w + x]: 0 not fillable, 1 fillable, 2 chosen. One branch-free
// pass over the picture (each byte within the tolerance of the seed's, or
// alpha 0), then the mask's zero levels.
void Classify(const BITMAPINFOHEADER* dib, const Criterion& crit, const FillMask* mask, std::vector<BYTE>& state) {
  const int w = int(dib->biWidth), h = int(DibHeight(dib));
  const unsigned tol = unsigned(crit.tolerance), span = 2 * tol;
  const int s0 = crit.seed[0], s1 = crit.seed[1], s2 = crit.seed[2], s3 = crit.seed[3];
  for (int y = 0; y < h; ++y) {
    const BYTE* row = DibRow(dib, y);
    BYTE* st = state.data() + std::size_t(y) * std::size_t(w);
    if (crit.transparentOnly) {
      for (int x = 0; x < w; ++x) st[x] = row[4 * x + 3] == 0;
    } else {
      for (int x = 0; x < w; ++x) {
        const BYTE* p = row + 4 * x;
        st[x] = BYTE((unsigned(p[0] - s0 + int(tol)) <= span) & (unsigned(p[1] - s1 + int(tol)) <= span) &
                     (unsigned(p[2] - s2 + int(tol)) <= span) & (unsigned(p[3] - s3 + int(tol)) <= span));
      }
    }
    if (mask)
      for (int x = 0; x < w; ++x)
        if (st[x] && !mask->LevelAt(x, y)) st[x] = 0;
  }
}

// Paints the pixels whose state is `chosen`.
void PaintChosen(BITMAPINFOHEADER* dib, const std::vector<BYTE>& state, BYTE chosen, COLORREF colour,
                 BYTE transparency, const FillMask* mask) {
  const int w = int(dib->biWidth), h = int(DibHeight(dib));
  const BYTE b = GetBValue(colour), g = GetGValue(colour), r = GetRValue(colour);
  const unsigned strength = 255u - transparency;
  if (strength == 0) return;
  const BYTE opaque[4] = {b, g, r, 255};
  for (int y = 0; y < h; ++y) {
    const BYTE* c = state.data() + std::size_t(y) * std::size_t(w);
    BYTE* row = DibRow(dib, y);
    for (int x = 0; x < w; ++x) {
      if (c[x] != chosen) continue;
      if (!mask && strength == 255) {
        std::copy_n(opaque, 4, row + 4 * x);
        continue;
      }
      unsigned a = strength;
      if (mask) a = (a * mask->LevelAt(x, y) + 127) / 255;
      Over(row + 4 * x, b, g, r, a);
    }
  }
}

// Scanline fill from seed over the classified states: a stack of run
// starts; each popped point grows to its whole fillable run, which becomes
// chosen, and the fillable runs of the rows above and below that touch it
// are pushed once each.
std::size_t ChooseConnected(int w, int h, POINT seed, std::vector<BYTE>& state) {
  struct Seed {
    int x, y;
  };
  std::vector<Seed> stack;
  stack.push_back({int(seed.x), int(seed.y)});
  std::size_t n = 0;
  while (!stack.empty()) {
    const Seed s = stack.back();
    stack.pop_back();
    BYTE* c = state.data() + std::size_t(s.y) * std::size_t(w);
    if (c[s.x] != 1) continue;
    int l = s.x, r = s.x;
    while (l > 0 && c[l - 1] == 1) --l;
    while (r + 1 < w && c[r + 1] == 1) ++r;
    std::fill(c + l, c + r + 1, BYTE(2));
    n += std::size_t(r - l + 1);
    for (const int ny : {s.y - 1, s.y + 1}) {
      if (ny < 0 || ny >= h) continue;
      const BYTE* nc = state.data() + std::size_t(ny) * std::size_t(w);
      bool inRun = false;
      for (int x = l; x <= r; ++x) {
        const bool f = nc[x] == 1;
        if (f && !inRun) stack.push_back({x, ny});
        inRun = f;
      }
    }
  }
  return n;
}

std::size_t Fill(BITMAPINFOHEADER* dib, const POINT* seed, bool connected, bool transparentOnly, int tolerance,
                 COLORREF colour, BYTE transparency, const FillMask* mask) {
  if (!Valid32(dib)) return 0;
  const int w = int(dib->biWidth), h = int(DibHeight(dib));
  Criterion crit;
  crit.transparentOnly = transparentOnly;
  crit.tolerance = std::clamp(tolerance, 0, 255);
  if (seed) {
    if (seed->x < 0 || seed->y < 0 || seed->x >= w || seed->y >= h) return 0;
    const BYTE* p = DibRow(dib, seed->y) + 4 * seed->x;
    if (transparentOnly && p[3] != 0) return 0;
    std::copy_n(p, 4, crit.seed);
  }
  std::vector<BYTE> state(std::size_t(w) * std::size_t(h));
  Classify(dib, crit, mask, state);
  std::size_t n = 0;
  if (connected) {
    n = ChooseConnected(w, h, *seed, state);
  } else {
    for (const BYTE v : state) n += v;
  }
  if (n) PaintChosen(dib, state, connected ? 2 : 1, colour, transparency, mask);
  return n;
}

}  // namespace

std::size_t ExtFill32BitsDIB(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour, BYTE transparency) {
  return Fill(dib, &seed, false, false, tolerance, colour, transparency, nullptr);
}
std::size_t ExtFill32BitsDIB_Mask(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour,
                                  BYTE transparency, const FillMask& mask) {
  return Fill(dib, &seed, false, false, tolerance, colour, transparency, &mask);
}
std::size_t ExtFillConnectedPixels(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour,
                                   BYTE transparency) {
  return Fill(dib, &seed, true, false, tolerance, colour, transparency, nullptr);
}
std::size_t ExtFillConnectedPixels_Mask(BITMAPINFOHEADER* dib, POINT seed, int tolerance, COLORREF colour,
                                        BYTE transparency, const FillMask& mask) {
  return Fill(dib, &seed, true, false, tolerance, colour, transparency, &mask);
}
std::size_t ExtFillTransBlock(BITMAPINFOHEADER* dib, COLORREF colour, BYTE transparency) {
  return Fill(dib, nullptr, false, true, 0, colour, transparency, nullptr);
}
std::size_t ExtFillTransBlock_Mask(BITMAPINFOHEADER* dib, COLORREF colour, BYTE transparency, const FillMask& mask) {
  return Fill(dib, nullptr, false, true, 0, colour, transparency, &mask);
}
std::size_t ExtFillConnectedTransPixels(BITMAPINFOHEADER* dib, POINT seed, COLORREF colour, BYTE transparency) {
  return Fill(dib, &seed, true, true, 0, colour, transparency, nullptr);
}
std::size_t ExtFillConnectedTransPixels_Mask(BITMAPINFOHEADER* dib, POINT seed, COLORREF colour, BYTE transparency,
                                             const FillMask& mask) {
  return Fill(dib, &seed, true, true, 0, colour, transparency, &mask);
}

BOOL CombineBlockMasked(BITMAPINFOHEADER* dst, POINT at, const BITMAPINFOHEADER* src, BYTE transparency,
                        const FillMask* mask) {
  if (!Valid32(dst) || !Valid32(src) || dst == src) return FALSE;
  const int dw = int(dst->biWidth), dh = int(DibHeight(dst));
  const int sw = int(src->biWidth), sh = int(DibHeight(src));
  const unsigned strength = 255u - transparency;
  for (int sy = 0; sy < sh; ++sy) {
    const long long dy = (long long)at.y + sy;
    if (dy < 0 || dy >= dh) continue;
    const BYTE* s = DibRow(src, sy);
    BYTE* d = DibRow(dst, LONG(dy));
    for (int sx = 0; sx < sw; ++sx) {
      const long long dx = (long long)at.x + sx;
      if (dx < 0 || dx >= dw || s[4 * sx + 3] == 0) continue;
      unsigned a = (s[4 * sx + 3] * strength + 127) / 255;
      if (mask) a = (a * mask->LevelAt(int(dx), int(dy)) + 127) / 255;
      Over(d + 4 * dx, s[4 * sx], s[4 * sx + 1], s[4 * sx + 2], a);
    }
  }
  return TRUE;
}

BOOL EraseCoverage32(BITMAPINFOHEADER* dst, POINT at, const BYTE* coverage, int w, int h, BYTE strength,
                     const FillMask* mask) {
  if (!Valid32(dst) || !coverage || w < 0 || h < 0) return FALSE;
  const int dw = int(dst->biWidth), dh = int(DibHeight(dst));
  for (int y = 0; y < h; ++y) {
    const long long dy = (long long)at.y + y;
    if (dy < 0 || dy >= dh) continue;
    BYTE* d = DibRow(dst, LONG(dy));
    const BYTE* cov = coverage + std::size_t(y) * std::size_t(w);
    for (int x = 0; x < w; ++x) {
      const long long dx = (long long)at.x + x;
      if (dx < 0 || dx >= dw || cov[x] == 0) continue;
      unsigned k = (cov[x] * unsigned(strength) + 127) / 255;
      if (mask) k = (k * mask->LevelAt(int(dx), int(dy)) + 127) / 255;
      BYTE* p = d + 4 * dx;
      p[3] = BYTE((p[3] * (255 - k) + 127) / 255);
      if (p[3] == 0) p[0] = p[1] = p[2] = 0;
    }
  }
  return TRUE;
}

}  // namespace DibKernel
