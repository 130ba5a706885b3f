// CTevObjImage block operations: sub-blocks, covers, tiles, fills, logical
// byte blends and the two alpha blends. Every operation clips to the target
// and works row by row on raw row pointers.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/filter_support.h"
#include "imaging/obj_image.h"

namespace TevImageTransform {

namespace {

// The overlap of a source of size (sw, sh) placed at (x, y) with the target
// rectangle clip; coordinates of both sides. 64-bit so any int is safe.
struct Overlap {
  int dx = 0, dy = 0;  // top-left in the target
  int sx = 0, sy = 0;  // top-left in the source
  int w = 0, h = 0;
};

bool ComputeOverlap(const RECT& clip, int sw, int sh, int x, int y, Overlap& o) {
  std::int64_t l = std::max<std::int64_t>(clip.left, x), t = std::max<std::int64_t>(clip.top, y);
  std::int64_t r = std::min<std::int64_t>(clip.right, std::int64_t(x) + sw);
  std::int64_t b = std::min<std::int64_t>(clip.bottom, std::int64_t(y) + sh);
  if (l >= r || t >= b) return false;
  o.dx = int(l);
  o.dy = int(t);
  o.sx = int(l - x);
  o.sy = int(t - y);
  o.w = int(r - l);
  o.h = int(b - t);
  return true;
}

RECT WholeRect(const CTevObjImage& img) { return RECT{0, 0, img.Width(), img.Height()}; }

// An owned copy, for operations whose source shares memory with the target.
CTevObjImage OwnedCopy(const CTevObjImage& img) {
  CTevObjImage copy;
  copy.Create(img.GetImageBits());
  return copy;
}

}  // namespace

bool CTevObjImage::GetSubBlock(CTevObjImage* out, RECT r) const {
  if (!dib_ || ColorBits() < 8 || !out || out == this) return false;
  BoundRect(r);
  if (r.left >= r.right || r.top >= r.bottom) return false;
  const int bpp = ColorBits() / 8;
  CTevObjImage block;
  if (!block.CreateLike(dib_, r.right - r.left, r.bottom - r.top)) return false;
  for (int y = r.top; y < r.bottom; ++y)
    std::memcpy(block.GetBits(y - r.top), GetBits(r.left, y), std::size_t(r.right - r.left) * bpp);
  if (ColorBits() <= 8) block.CopyPalette(*this);
  out->Adopt(block.Detch(), 0);
  return true;
}

bool CTevObjImage::CoverBlock(const CTevObjImage& src, int x, int y) {
  return CoverBlock(src, x, y, src.Width(), src.Height());
}

bool CTevObjImage::CoverBlock(const CTevObjImage& src, int x, int y, int width, int height) {
  if (!dib_ || !src.dib_ || ColorBits() != src.ColorBits() || ColorBits() < 8) return false;
  if (width < 1 || height < 1) return false;
  RECT clip = WholeRect(*this);
  RECT limit{x, y, LONG(std::min<std::int64_t>(std::int64_t(x) + width, INT32_MAX)),
             LONG(std::min<std::int64_t>(std::int64_t(y) + height, INT32_MAX))};
  clip.left = std::max(clip.left, limit.left);
  clip.top = std::max(clip.top, limit.top);
  clip.right = std::min(clip.right, limit.right);
  clip.bottom = std::min(clip.bottom, limit.bottom);
  Overlap o;
  if (!ComputeOverlap(clip, src.Width(), src.Height(), x, y, o)) return false;
  if (src.dib_ == dib_) {  // overlapping copy within one image: go through a copy
    CTevObjImage copy = OwnedCopy(src);
    return copy.IsValidImage() && CoverBlock(copy, x, y, width, height);
  }
  const std::size_t bytes = std::size_t(o.w) * (ColorBits() / 8);
  for (int j = 0; j < o.h; ++j) std::memcpy(GetBits(o.dx, o.dy + j), src.GetBits(o.sx, o.sy + j), bytes);
  return true;
}

bool CTevObjImage::CoverBlockAlphaChannel(const CTevObjImage& src, int x, int y) {
  if (!dib_ || !src.dib_ || ColorBits() != 32 || src.ColorBits() != 32) return false;
  Overlap o;
  if (!ComputeOverlap(WholeRect(*this), src.Width(), src.Height(), x, y, o)) return false;
  if (src.dib_ == dib_) {
    CTevObjImage copy = OwnedCopy(src);
    return copy.IsValidImage() && CoverBlockAlphaChannel(copy, x, y);
  }
  for (int j = 0; j < o.h; ++j) {
    BYTE* d = GetBits(o.dx, o.dy + j);
    const BYTE* s = src.GetBits(o.sx, o.sy + j);
    for (int i = 0; i < o.w; ++i) d[4 * i + 3] = s[4 * i + 3];
  }
  return true;
}

bool CTevObjImage::TileBlock(const CTevObjImage& src, int x, int y) {
  if (!dib_ || !src.dib_ || ColorBits() != src.ColorBits() || ColorBits() < 8) return false;
  if (src.dib_ == dib_) {
    CTevObjImage copy = OwnedCopy(src);
    return copy.IsValidImage() && TileBlock(copy, x, y);
  }
  const std::int64_t sw = src.Width(), sh = src.Height();
  // Tiles wholly left of or above the image are skipped, not walked.
  std::int64_t x0 = x, y0 = y;
  if (x0 + sw <= 0) x0 += ((-x0) / sw) * sw;
  if (y0 + sh <= 0) y0 += ((-y0) / sh) * sh;
  bool any = false;
  for (std::int64_t ty = y0; ty < Height(); ty += sh)
    for (std::int64_t tx = x0; tx < Width(); tx += sw) any |= CoverBlock(src, int(tx), int(ty));
  return any;
}

bool CTevObjImage::__FillImageRect(const CTevObjImage& image, const RECT& rect, const void* pixel) {
  if (!image.dib_ || !pixel || image.ColorBits() < 8) return false;
  RECT r = rect;
  image.BoundRect(r);
  if (r.left >= r.right || r.top >= r.bottom) return false;
  const int bpp = image.ColorBits() / 8;
  BYTE value[4];
  std::memcpy(value, pixel, std::size_t(bpp));
  for (int y = r.top; y < r.bottom; ++y) {
    BYTE* d = image.GetBits(r.left, y);
    switch (bpp) {
      case 1: std::memset(d, value[0], std::size_t(r.right - r.left)); break;
      default:
        for (int x = r.left; x < r.right; ++x, d += bpp) std::memcpy(d, value, std::size_t(bpp));
    }
  }
  return true;
}

bool CTevObjImage::LogicalBlend(const CTevObjImage& src, LOGICAL_OP op, int x, int y) {
  if (!dib_ || !src.dib_ || src.dib_ == dib_ || ColorBits() != src.ColorBits() || ColorBits() < 8) return false;
  Overlap o;
  if (!ComputeOverlap(WholeRect(*this), src.Width(), src.Height(), x, y, o)) return false;
  const int bpp = ColorBits() / 8;
  for (int j = 0; j < o.h; ++j) {
    BYTE* d = GetBits(o.dx, o.dy + j);
    const BYTE* s = src.GetBits(o.sx, o.sy + j);
    for (int i = 0; i < o.w; ++i, d += bpp, s += bpp) {
      switch (op) {
        case LOGICAL_AND: *d &= *s; break;
        case LOGICAL_OR: *d |= *s; break;
        case LOGICAL_XOR: *d ^= *s; break;
        case LOGICAL_SET_FULL: if (*s == 255) *d = 255; break;
        case LOGICAL_CLEAR_FULL: if (*s == 255) *d = 0; break;
        default: return true;
      }
    }
  }
  return true;
}

bool CTevObjImage::CombineImage(const CTevObjImage& src, int x, int y, int percent) {
  if (!dib_ || !src.dib_ || ColorBits() != 32 || src.ColorBits() != 32) return false;
  if (src.dib_ == dib_) {
    CTevObjImage copy = OwnedCopy(src);
    return copy.IsValidImage() && CombineImage(copy, x, y, percent);
  }
  Overlap o;
  if (!ComputeOverlap(WholeRect(*this), src.Width(), src.Height(), x, y, o)) return false;
  percent = std::clamp(percent, 0, 100);
  for (int j = 0; j < o.h; ++j) {
    BYTE* d = GetBits(o.dx, o.dy + j);
    const BYTE* s = src.GetBits(o.sx, o.sy + j);
    for (int i = 0; i < o.w; ++i, d += 4, s += 4) filter_detail::CombinePixel(d, s, s[3] * percent / 100);
  }
  return true;
}

bool CTevObjImage::AlphaBlend(const CTevObjImage& src, const RECT& dst, const RECT& srcRect, int percent) {
  if (!dib_ || !src.dib_ || ColorBits() < 24 || src.ColorBits() != 32) return false;
  if (percent <= 0) return false;
  percent = std::min(percent, 100);
  if (srcRect.left < 0 || srcRect.top < 0 || srcRect.right > src.Width() || srcRect.bottom > src.Height() ||
      srcRect.left >= srcRect.right || srcRect.top >= srcRect.bottom)
    return false;
  if (dst.left >= dst.right || dst.top >= dst.bottom) return false;
  RECT clip = dst;
  BoundRect(clip);
  if (clip.left >= clip.right || clip.top >= clip.bottom) return false;
  if (src.dib_ == dib_) {
    CTevObjImage copy = OwnedCopy(src);
    return copy.IsValidImage() && AlphaBlend(copy, dst, srcRect, percent);
  }
  const std::int64_t dw = std::int64_t(dst.right) - dst.left, dh = std::int64_t(dst.bottom) - dst.top;
  const std::int64_t sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
  const bool same = dw == sw && dh == sh;
  std::vector<int> colOf(std::size_t(clip.right - clip.left));
  for (int x = clip.left; x < clip.right; ++x)
    colOf[std::size_t(x - clip.left)] =
        int(same ? std::int64_t(x) - dst.left + srcRect.left : (std::int64_t(x) - dst.left) * sw / dw + srcRect.left);
  const int bpp = ColorBits() / 8;
  for (int y = clip.top; y < clip.bottom; ++y) {
    const int sy =
        int(same ? std::int64_t(y) - dst.top + srcRect.top : (std::int64_t(y) - dst.top) * sh / dh + srcRect.top);
    const BYTE* srow = src.GetBits(sy);
    BYTE* d = GetBits(clip.left, y);
    for (int x = clip.left; x < clip.right; ++x, d += bpp) {
      const BYTE* s = srow + std::size_t(colOf[std::size_t(x - clip.left)]) * 4;
      const int a = s[3] * percent / 100;
      if (a >= 255) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      } else if (a > 0) {
        for (int c = 0; c < 3; ++c) d[c] = BYTE(d[c] + (s[c] - d[c]) * a / 255);
      }
    }
  }
  return true;
}

}  // namespace TevImageTransform
