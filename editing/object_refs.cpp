#include "editing/object_refs.h"

CRefImageObject* RefOf(const CGifFrame& frame, int objectIndex) {
  if (objectIndex < 0 || objectIndex >= int(frame.m_refs.size())) return nullptr;
  // Callers may change the reference, so it becomes the frame's own entry.
  // Frames are always created non-const (they live behind RefPtr).
  return const_cast<CGifFrame&>(frame).m_refs.Edit(std::size_t(objectIndex));
}

const CRefImageObject* PeekRefOf(const CGifFrame& frame, int objectIndex) {
  if (objectIndex < 0) return nullptr;
  return frame.m_refs.Get(std::size_t(objectIndex));
}

void ForEachRefOf(const CGifImage& model, const CDib* object, const std::function<void(CRefImageObject&)>& fn) {
  const int j = model.IndexOfObject(object);
  for (const auto& frame : model.m_frames) {
    const CRefImageObject* peek = PeekRefOf(*frame, j);
    int at = j;
    // The invariant puts object j at place j; search when it does not hold.
    if (!peek || peek->m_pObject.get() != object) at = frame->m_refs.FindObject(object);
    if (CRefImageObject* ref = RefOf(*frame, at)) fn(*ref);
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
