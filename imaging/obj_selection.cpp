// CTevObjSelection: copies, position and levels, and the mask combinations.
#include "imaging/obj_selection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace TevImageTransform {

namespace {

// A rectangle in 64-bit image coordinates (half-open).
struct Box {
  std::int64_t l, t, r, b;
  bool Empty() const { return l >= r || t >= b; }
};

Box BoxOf(const CTevObjSelection& s) {
  const POINT p = s.GetSelectionPos();
  return Box{p.x, p.y, std::int64_t(p.x) + s.Width(), std::int64_t(p.y) + s.Height()};
}

Box Intersect(const Box& a, const Box& b) {
  return Box{std::max(a.l, b.l), std::max(a.t, b.t), std::min(a.r, b.r), std::min(a.b, b.b)};
}

bool FitsInt(const Box& b) {
  return b.l >= INT32_MIN && b.t >= INT32_MIN && b.r <= INT32_MAX && b.b <= INT32_MAX;
}

// Address of the level at image point (x, y) of a selection known to cover it.
inline BYTE* LevelAt(const CTevObjSelection& s, std::int64_t x, std::int64_t y) {
  const POINT p = s.GetSelectionPos();
  return s.GetBits(int(x - p.x), int(y - p.y));
}

}  // namespace

CTevObjSelection::CTevObjSelection(const CTevObjSelection& other)
    : CTevObjImage(other),
      m_edgePoints(other.m_edgePoints),
      m_edgeZoom(other.m_edgeZoom),
      m_edgeCount(other.m_edgeCount),
      m_pos(other.m_pos) {}

CTevObjSelection& CTevObjSelection::operator=(const CTevObjSelection& other) {
  if (&other == this) return *this;
  CTevObjImage::operator=(other);
  m_edgePoints = other.m_edgePoints;
  m_edgeZoom = other.m_edgeZoom;
  m_edgeCount = other.m_edgeCount;
  m_pos = other.m_pos;
  return *this;
}

RECT CTevObjSelection::GetRect() const {
  auto clampInt = [](std::int64_t v) { return LONG(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); };
  return RECT{m_pos.x, m_pos.y, clampInt(std::int64_t(m_pos.x) + Width()), clampInt(std::int64_t(m_pos.y) + Height())};
}

BYTE CTevObjSelection::GetPosLevel(int x, int y) const {
  if (!IsValidImage()) return 0;
  const std::int64_t mx = std::int64_t(x) - m_pos.x, my = std::int64_t(y) - m_pos.y;
  if (mx < 0 || my < 0 || mx >= Width() || my >= Height()) return 0;
  return *GetBits(int(mx), int(my));
}

void CTevObjSelection::SetSelectionEmpty() {
  Destroy();
  m_edgePoints.clear();
  m_edgeZoom = 32767;
  m_edgeCount = 0;
}

bool CTevObjSelection::SelectionOptimize() {
  if (!IsValidImage()) return false;
  if (ColorBits() != 8) {
    SetSelectionEmpty();
    return false;
  }
  const int w = Width(), h = Height();
  int l = w, t = h, r = -1, b = -1;
  for (int y = 0; y < h; ++y) {
    const BYTE* row = GetBits(y);
    int first = 0;
    while (first < w && row[first] == 0) ++first;
    if (first == w) continue;
    int last = w - 1;
    while (row[last] == 0) --last;
    l = std::min(l, first);
    r = std::max(r, last);
    t = std::min(t, y);
    b = y;
  }
  if (r < 0) {
    SetSelectionEmpty();
    return false;
  }
  if (l == 0 && t == 0 && r == w - 1 && b == h - 1) return true;
  CTevObjImage trimmed;
  if (!GetSubBlock(&trimmed, RECT{l, t, r + 1, b + 1})) return true;  // keep the untrimmed mask
  CTevObjImage::operator=(trimmed);
  m_pos.x += l;
  m_pos.y += t;
  m_edgePoints.clear();
  m_edgeZoom = 32767;
  return true;
}

bool CTevObjSelection::CreateSelectionFromMask(const CTevObjImage& mask, POINT pos) {
  if (!mask.IsValidImage() || (mask.ColorBits() != 8 && mask.ColorBits() != 1)) return false;
  CTevObjImage levels;
  if (!levels.Create(mask.Width(), mask.Height(), 8, 0)) return false;
  for (int y = 0; y < mask.Height(); ++y) {
    BYTE* d = levels.GetBits(y);
    const BYTE* s = mask.GetBits(y);
    if (mask.ColorBits() == 8)
      std::memcpy(d, s, std::size_t(mask.Width()));
    else
      for (int x = 0; x < mask.Width(); ++x) d[x] = ((s[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
  }
  SetSelectionEmpty();
  CTevObjImage::operator=(levels);
  m_pos = pos;
  return true;
}

bool CTevObjSelection::AddSelection(const CTevObjSelection& other) {
  return CombineSelection(other, SELECTION_ADD);
}

bool CTevObjSelection::SubSelection(const CTevObjSelection& other) {
  return CombineSelection(other, SELECTION_SUBTRACT);
}

bool CTevObjSelection::CombineSelection(const CTevObjSelection& other, SELECTION_COMBINE mode) {
  if (&other == this) {
    CTevObjSelection copy;
    copy.CreateSelectionFromMask(other, other.m_pos);
    return CombineSelection(copy, mode);
  }
  const bool otherValid = other.IsValidImage() && other.ColorBits() == 8;
  const bool thisValid = IsValidImage() && ColorBits() == 8;
  switch (mode) {
    case SELECTION_REPLACE:
      if (!otherValid) {
        SetSelectionEmpty();
        return false;
      }
      return CreateSelectionFromMask(other, other.m_pos);
    case SELECTION_ADD: {
      if (!otherValid) return thisValid;
      if (!thisValid) return CreateSelectionFromMask(other, other.m_pos) && SelectionOptimize();
      const Box a = BoxOf(*this), b = BoxOf(other);
      const Box u{std::min(a.l, b.l), std::min(a.t, b.t), std::max(a.r, b.r), std::max(a.b, b.b)};
      if (!FitsInt(u) || u.r - u.l > kMaxDibDimension || u.b - u.t > kMaxDibDimension) return false;
      CTevObjSelection out;
      if (!out.Create(int(u.r - u.l), int(u.b - u.t), 8, 0)) return false;
      out.m_pos = POINT{LONG(u.l), LONG(u.t)};
      for (std::int64_t y = a.t; y < a.b; ++y)
        std::memcpy(LevelAt(out, a.l, y), LevelAt(*this, a.l, y), std::size_t(a.r - a.l));
      for (std::int64_t y = b.t; y < b.b; ++y) {
        BYTE* d = LevelAt(out, b.l, y);
        const BYTE* s = LevelAt(other, b.l, y);
        for (std::int64_t i = 0; i < b.r - b.l; ++i) d[i] = std::max(d[i], s[i]);
      }
      *this = out;
      return SelectionOptimize();
    }
    case SELECTION_SUBTRACT: {
      if (!thisValid) return false;
      if (otherValid) {
        const Box o = Intersect(BoxOf(*this), BoxOf(other));
        for (std::int64_t y = o.t; y < o.b; ++y) {
          BYTE* d = LevelAt(*this, o.l, y);
          const BYTE* s = LevelAt(other, o.l, y);
          for (std::int64_t i = 0; i < o.r - o.l; ++i) d[i] = BYTE(d[i] * (255 - s[i]) / 255);
        }
      }
      m_edgePoints.clear();
      m_edgeZoom = 32767;
      return SelectionOptimize();
    }
    case SELECTION_INTERSECT: {
      if (!thisValid || !otherValid) {
        SetSelectionEmpty();
        return false;
      }
      const Box o = Intersect(BoxOf(*this), BoxOf(other));
      if (o.Empty()) {
        SetSelectionEmpty();
        return false;
      }
      for (std::int64_t y = BoxOf(*this).t; y < BoxOf(*this).b; ++y) {
        BYTE* d = LevelAt(*this, BoxOf(*this).l, y);
        for (std::int64_t x = BoxOf(*this).l; x < BoxOf(*this).r; ++x, ++d) {
          const bool inside = x >= o.l && x < o.r && y >= o.t && y < o.b;
          *d = inside ? std::min(*d, *LevelAt(other, x, y)) : 0;
        }
      }
      m_edgePoints.clear();
      m_edgeZoom = 32767;
      return SelectionOptimize();
    }
  }
  return false;
}

bool CTevObjSelection::CropSelection(const RECT& rect) {
  if (!IsValidImage() || ColorBits() != 8) return false;
  const Box keep = Intersect(BoxOf(*this), Box{rect.left, rect.top, rect.right, rect.bottom});
  if (keep.Empty()) {
    SetSelectionEmpty();
    return false;
  }
  const Box all = BoxOf(*this);
  for (std::int64_t y = all.t; y < all.b; ++y) {
    BYTE* d = LevelAt(*this, all.l, y);
    for (std::int64_t x = all.l; x < all.r; ++x, ++d)
      if (x < keep.l || x >= keep.r || y < keep.t || y >= keep.b) *d = 0;
  }
  m_edgePoints.clear();
  m_edgeZoom = 32767;
  return SelectionOptimize();
}

bool CTevObjSelection::IsRectInSelection(const RECT& rect) const {
  if (!IsValidImage() || ColorBits() != 8) return false;
  const Box o = Intersect(BoxOf(*this), Box{rect.left, rect.top, rect.right, rect.bottom});
  for (std::int64_t y = o.t; y < o.b; ++y) {
    const BYTE* s = LevelAt(*this, o.l, y);
    for (std::int64_t i = 0; i < o.r - o.l; ++i)
      if (s[i]) return true;
  }
  return false;
}

}  // namespace TevImageTransform
