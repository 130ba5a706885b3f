#include "app/gif_rebuild.h"

#include <algorithm>

#include "companions/dibkernel/dib_kernel.h"

namespace {

struct BaseImage {
  DibPtr image;  // null: nothing left on the canvas
  POINT pos{0, 0};
};

RECT RectOf(const BITMAPINFOHEADER* image, POINT pos) {
  return RECT{pos.x, pos.y, pos.x + DibWidth(image), pos.y + DibHeight(image)};
}

// The base with rect (canvas coordinates) cleared; none when rect covers it all.
bool ClearArea(BaseImage& base, const RECT& rect) {
  if (!base.image) return true;
  const RECT b = RectOf(base.image.get(), base.pos);
  if (rect.left <= b.left && rect.top <= b.top && rect.right >= b.right && rect.bottom >= b.bottom) {
    base.image.reset();
    return true;
  }
  const RECT local{rect.left - base.pos.x, rect.top - base.pos.y, rect.right - base.pos.x, rect.bottom - base.pos.y};
  return DibKernel::Erase32BitsBlock(base.image.get(), local) != FALSE;
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
    if (base.image) {
      RECT merged{};
      DibPtr picture(DibKernel::Merge32BitsDIB(base.image.get(), base.pos, image, pos, &merged));
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
        base.image.reset(CBitmapCreator::Clone32BitsDIB(now.m_pObject->GetImage()));
        base.pos = POINT{now.m_nX, now.m_nY};
        if (!base.image) return false;
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
