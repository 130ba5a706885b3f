#include "editing/object_refs.h"

CRefImageObject* RefOf(const CGifFrame& frame, int objectIndex) {
  if (objectIndex < 0 || objectIndex >= int(frame.m_refs.size())) return nullptr;
  return frame.m_refs[std::size_t(objectIndex)].get();
}

void ForEachRefOf(const CGifImage& model, const CDib* object, const std::function<void(CRefImageObject&)>& fn) {
  const int j = model.IndexOfObject(object);
  for (const auto& frame : model.m_frames) {
    CRefImageObject* ref = RefOf(*frame, j);
    // The invariant puts object j at place j; search when it does not hold.
    if (!ref || ref->m_pObject.get() != object) {
      ref = nullptr;
      for (const auto& r : frame->m_refs)
        if (r->m_pObject.get() == object) ref = r.get();
    }
    if (ref) fn(*ref);
  }
}

void OffsetRefsOf(const CGifImage& model, const CDib* object, int dx, int dy) {
  if (!dx && !dy) return;
  ForEachRefOf(model, object, [&](CRefImageObject& r) {
    r.m_nX += dx;
    r.m_nY += dy;
  });
}

CRefImageObjectList& FrameRefList(CGifFrame& frame) { return frame.m_refs; }
