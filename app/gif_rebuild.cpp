#include "app/gif_rebuild.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "companions/dibkernel/dib_kernel.h"

namespace {

// What the earlier frames left on the canvas. Most frames leave their own
// picture, which the base then shares with the frame's object (a picture is
// not changed once it is a base); the base gets a copy of its own only when
// an area has to be cleared.
struct BaseImage {
  RefPtr<CDib> shared;  // the object whose picture is the base, or null
  DibPtr owned;         // the base's own picture when it was changed
  POINT pos{0, 0};

  const BITMAPINFOHEADER* Get() const { return owned ? owned.get() : shared ? shared->GetImage() : nullptr; }
  void Reset() {
    shared = nullptr;
    owned.reset();
  }
};

RECT RectOf(const BITMAPINFOHEADER* image, POINT pos) {
  return RECT{pos.x, pos.y, pos.x + DibWidth(image), pos.y + DibHeight(image)};
}

bool Covers(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

// True when every pixel of a 32-bit picture has alpha 255.
bool Opaque(const BITMAPINFOHEADER* image) {
  const LONG w = DibWidth(image), h = DibHeight(image);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* row = DibRow(image, y);
    std::uint32_t all = 0xFFFFFFFFu;  // one vectorized AND per row
    for (LONG x = 0; x < w; ++x) {
      std::uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      all &= v;
    }
    if ((all >> 24) != 255) return false;
  }
  return true;
}

// The base with rect (canvas coordinates) cleared; none when rect covers it all.
bool ClearArea(BaseImage& base, const RECT& rect) {
  const BITMAPINFOHEADER* image = base.Get();
  if (!image) return true;
  if (Covers(rect, RectOf(image, base.pos))) {
    base.Reset();
    return true;
  }
  if (!base.owned) {
    base.owned.reset(CBitmapCreator::Clone32BitsDIB(image));
    base.shared = nullptr;
    if (!base.owned) return false;
  }
  const RECT local{rect.left - base.pos.x, rect.top - base.pos.y, rect.right - base.pos.x, rect.bottom - base.pos.y};
  return DibKernel::Erase32BitsBlock(base.owned.get(), local) != FALSE;
}

}  // namespace

bool RebuildGifFrames(CGifImage& model) {
  BaseImage base;
  std::size_t index = 0;
  for (auto& frame : model.m_frames) {
    const std::size_t i = index++;
    if (frame->m_refs.size() != 1 || !frame->m_refs[0] || !frame->m_refs[0]->m_pObject) return false;
    const CRefImageObject& ref = *frame->m_refs[0];
    const BITMAPINFOHEADER* image = ref.m_pObject->GetImage();
    if (!image || image->biBitCount != 32) return false;
    const POINT pos{ref.m_nX, ref.m_nY};
    const RECT area = RectOf(image, pos);
    const BITMAPINFOHEADER* below = base.Get();
    // An opaque picture covering all the base hides it: the merge would
    // only copy the picture, so the frame keeps its object as it is.
    const bool covers = below && !DibTopDown(image) && Covers(area, RectOf(below, base.pos));
    const bool hidesBase = covers && Opaque(image);
    // A picture covering the base takes the base under its transparent
    // pixels in place: the import made this picture for this frame alone,
    // and a merged copy of a full-canvas frame would cost a second picture.
    const bool underlaid =
        covers && !hidesBase && DibKernel::Underlay32BitsDIB(below, base.pos, ref.m_pObject->GetImage(), pos);
    if (below && !hidesBase && !underlaid) {
      RECT merged{};
      DibPtr picture(DibKernel::Merge32BitsDIB(below, base.pos, image, pos, &merged));
      if (!picture) return false;
      auto object = MakeRef<CDib>(std::move(picture));
      // An import makes object i for frame i; look there before searching.
      auto slot = i < model.m_objects.size() && model.m_objects[i] == ref.m_pObject
                      ? model.m_objects.begin() + std::ptrdiff_t(i)
                      : std::find(model.m_objects.begin(), model.m_objects.end(), ref.m_pObject);
      if (slot != model.m_objects.end()) *slot = object;
      else model.m_objects.push_back(object);
      auto mergedRef = MakeRef<CRefImageObject>(object);
      mergedRef->m_nX = merged.left;
      mergedRef->m_nY = merged.top;
      mergedRef->m_bVisible = ref.m_bVisible;
      frame->m_refs.Set(0, mergedRef);
    }
    const CRefImageObject& now = *frame->m_refs[0];
    switch (frame->GetDisposal()) {
      case 0:
      case 1:
        base.Reset();
        base.shared = now.m_pObject;
        base.pos = POINT{now.m_nX, now.m_nY};
        break;
      case 2:
        if (!ClearArea(base, area)) return false;
        break;
      default:
        break;  // restore to previous: the base stays as it was
    }
  }
  return true;
}
