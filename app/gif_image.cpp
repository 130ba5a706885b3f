#include "app/gif_image.h"

#include <algorithm>
#include <unordered_map>

void CGifImage::Clear() {
  m_frames.clear();
  m_objects.clear();
  m_gifExtensions.clear();
  m_nGifFileLoop = -1;
}

void CGifImage::ResetOutputSettings() {
  m_nOutputColors = 256;
  m_nOutputReduction = 0;
  m_nOutputQuality = 100;
  m_clrOutputMatte = 0xFFFFFF;
  m_bOptimizeFrames = 1;
}

void CGifImage::TakeOver(CGifImage& o) {
  m_nWidth = o.m_nWidth;
  m_nHeight = o.m_nHeight;
  m_nImageColorIndex = o.m_nImageColorIndex;
  m_clrBackground = o.m_clrBackground;
  m_nTransparencyState = o.m_nTransparencyState;
  m_bLoopForever = o.m_bLoopForever;
  m_nLoopCount = o.m_nLoopCount;
  m_strSource = o.m_strSource;
  m_nOutputColors = o.m_nOutputColors;
  m_nOutputReduction = o.m_nOutputReduction;
  m_nOutputQuality = o.m_nOutputQuality;
  m_clrOutputMatte = o.m_clrOutputMatte;
  m_bOptimizeFrames = o.m_bOptimizeFrames;
  m_gifExtensions = std::move(o.m_gifExtensions);
  m_nGifFileLoop = o.m_nGifFileLoop;
  m_frames = std::move(o.m_frames);
  m_objects = std::move(o.m_objects);
  o.m_frames.clear();
  o.m_objects.clear();
}

void CGifImage::NormalizeObjectReferences() {
  // First reference met for each distinct object, in frame-then-reference
  // order. Imported frames hold few references each, so walking them is
  // linear in what the import made.
  std::vector<RefPtr<CRefImageObject>> collected;
  std::unordered_map<const CDib*, std::size_t> place;
  for (const auto& frame : m_frames)
    for (const CRefImageObject* ref : frame->m_refs) {
      if (!ref || !ref->m_pObject) continue;
      if (place.emplace(ref->m_pObject.get(), collected.size()).second)
        collected.push_back(MakeRef<CRefImageObject>(*ref));
    }
  CRefDibsList objects;
  objects.reserve(collected.size());
  for (const auto& c : collected) objects.push_back(c->m_pObject);
  // Every frame reads the collected references (with their stored
  // visibility) from one shared base; its own references become explicit,
  // visible copies.
  auto base = MakeRef<CRefTable>(std::move(collected));
  for (auto& frame : m_frames) {
    CRefImageObjectList list(base, base->size());
    for (const CRefImageObject* ref : frame->m_refs) {
      if (!ref || !ref->m_pObject) continue;
      const std::size_t j = place[ref->m_pObject.get()];
      if (list.Explicit(j)) continue;  // the first reference to an object counts
      auto copy = MakeRef<CRefImageObject>(*ref);
      copy->m_bVisible = true;
      list.Set(j, std::move(copy));
    }
    frame->m_refs = std::move(list);
  }
  m_objects = std::move(objects);
}

bool CGifImage::CheckInvariant() const {
  CRefPlaceCheck check;
  for (const auto& frame : m_frames)
    if (!frame || !ShowsObjects(frame->m_refs, m_objects, check)) return false;
  return true;
}

CGifFrame* CGifImage::GetFrame(int i) const {
  return i >= 0 && i < int(m_frames.size()) ? m_frames[std::size_t(i)].get() : nullptr;
}

int CGifImage::IndexOfFrame(const CGifFrame* frame) const {
  for (std::size_t i = 0; i < m_frames.size(); ++i)
    if (m_frames[i].get() == frame) return int(i);
  return -1;
}

int CGifImage::IndexOfObject(const CDib* object) const {
  for (std::size_t i = 0; i < m_objects.size(); ++i)
    if (m_objects[i].get() == object) return int(i);
  return -1;
}

bool CGifImage::InsertFrame(int index, RefPtr<CGifFrame> frame) {
  if (!frame || index < 0 || index > int(m_frames.size())) return false;
  m_frames.insert(m_frames.begin() + index, std::move(frame));
  return true;
}

RefPtr<CGifFrame> CGifImage::RemoveFrame(int index) {
  if (index < 0 || index >= int(m_frames.size())) return {};
  RefPtr<CGifFrame> f = m_frames[std::size_t(index)];
  m_frames.erase(m_frames.begin() + index);
  return f;
}

bool CGifImage::MoveFrame(int from, int to) {
  const int n = int(m_frames.size());
  if (from < 0 || from >= n || to < 0 || to >= n) return false;
  RefPtr<CGifFrame> f = m_frames[std::size_t(from)];
  m_frames.erase(m_frames.begin() + from);
  m_frames.insert(m_frames.begin() + to, std::move(f));
  return true;
}

RefPtr<CGifFrame> CGifImage::CreateBlankFrame(const CGifFrame* templ) const {
  auto frame = MakeRef<CGifFrame>();
  const std::size_t n = m_objects.size();
  auto hidden = [&](std::size_t j, const CRefImageObject* t) {
    auto ref = MakeRef<CRefImageObject>(m_objects[j]);
    if (t) {
      ref->m_nX = t->m_nX;
      ref->m_nY = t->m_nY;
      ref->m_bLocked = t->m_bLocked;
      ref->m_nTransparency = t->m_nTransparency;
    }
    return ref;
  };
  const CRefTable* base = templ ? templ->m_refs.Base() : nullptr;
  if (base && templ->m_refs.size() == n && base->size() >= n && base->Visible().empty()) {
    // The template's base is already hidden: share it and copy only its
    // explicit entries.
    CRefImageObjectList list(RefPtr<CRefTable>(const_cast<CRefTable*>(base)), n);
    templ->m_refs.ForEachExplicit(
        [&](std::size_t j, const CRefImageObjectList::Slot& t) { list.Set(j, hidden(j, t.get())); });
    frame->m_refs = std::move(list);
    return frame;
  }
  std::vector<RefPtr<CRefImageObject>> refs;
  refs.reserve(n);
  for (std::size_t j = 0; j < n; ++j) refs.push_back(hidden(j, templ && j < templ->m_refs.size() ? templ->m_refs[j] : nullptr));
  frame->m_refs = CRefImageObjectList(MakeRef<CRefTable>(std::move(refs)), n);
  return frame;
}

bool CGifImage::InsertObjectShared(int index, RefPtr<CRefImageObject> shared) {
  if (!shared || !shared->m_pObject || index < 0 || index > int(m_objects.size())) return false;
  CRefTableMemo memo;
  for (auto& frame : m_frames) {
    auto& list = frame->m_refs;
    list.insert(std::min<std::size_t>(std::size_t(index), list.size()), shared, &memo, true);
  }
  m_objects.insert(m_objects.begin() + index, shared->m_pObject);
  return true;
}

bool CGifImage::InsertObject(int index, RefPtr<CDib> object, const CRefImageObjectList* refs) {
  if (!object || index < 0 || index > int(m_objects.size())) return false;
  if (refs && refs->size() != m_frames.size()) return false;
  // Without given references every frame reads one shared hidden reference.
  if (!refs) return InsertObjectShared(index, MakeRef<CRefImageObject>(object));
  CRefTableMemo memo;
  RefPtr<CRefImageObject> shared;
  for (std::size_t i = 0; i < m_frames.size(); ++i) {
    RefPtr<CRefImageObject> ref = shared;
    if (refs) {
      ref = (*refs).Explicit(i) ? *(*refs).Explicit(i) : RefPtr<CRefImageObject>();
      if (!ref && (*refs)[i]) ref = MakeRef<CRefImageObject>(*(*refs)[i]);
      if (!ref) ref = MakeRef<CRefImageObject>();
      ref->m_pObject = object;
    }
    auto& list = m_frames[i]->m_refs;
    list.insert(std::min<std::size_t>(std::size_t(index), list.size()), ref, &memo, false);
  }
  m_objects.insert(m_objects.begin() + index, std::move(object));
  return true;
}

bool CGifImage::RemoveObject(int index) {
  if (index < 0 || index >= int(m_objects.size())) return false;
  CRefTableMemo memo;
  for (auto& frame : m_frames)
    if (index < int(frame->m_refs.size())) frame->m_refs.erase(std::size_t(index), &memo);
  m_objects.erase(m_objects.begin() + index);
  return true;
}

bool CGifImage::MoveObject(int from, int to) {
  const int n = int(m_objects.size());
  if (from < 0 || from >= n || to < 0 || to >= n) return false;
  auto item = m_objects[std::size_t(from)];
  m_objects.erase(m_objects.begin() + from);
  m_objects.insert(m_objects.begin() + to, std::move(item));
  CRefTableMemo memo;
  for (auto& frame : m_frames)
    if (int(frame->m_refs.size()) == n) frame->m_refs.move(std::size_t(from), std::size_t(to), &memo);
  return true;
}
