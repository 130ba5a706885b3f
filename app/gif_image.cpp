#include "app/gif_image.h"

#include <algorithm>

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
  // First reference met for each distinct object, in frame-then-reference order.
  std::vector<RefPtr<CRefImageObject>> collected;
  for (const auto& frame : m_frames)
    for (const auto& ref : frame->m_refs) {
      if (!ref || !ref->m_pObject) continue;
      bool seen = std::any_of(collected.begin(), collected.end(),
                              [&](const auto& c) { return c->m_pObject == ref->m_pObject; });
      if (!seen) collected.push_back(ref);
    }
  CRefDibsList objects;
  for (const auto& c : collected) objects.push_back(c->m_pObject);
  for (auto& frame : m_frames) {
    CRefImageObjectList old = std::move(frame->m_refs);
    frame->m_refs.clear();
    for (const auto& c : collected) {
      auto own = std::find_if(old.begin(), old.end(),
                              [&](const auto& r) { return r && r->m_pObject == c->m_pObject; });
      if (own != old.end()) {
        auto copy = MakeRef<CRefImageObject>(**own);
        copy->m_bVisible = true;
        frame->m_refs.push_back(copy);
      } else {
        frame->m_refs.push_back(MakeRef<CRefImageObject>(*c));
      }
    }
  }
  m_objects = std::move(objects);
}

bool CGifImage::CheckInvariant() const {
  for (const auto& frame : m_frames) {
    if (!frame || frame->m_refs.size() != m_objects.size()) return false;
    for (std::size_t j = 0; j < m_objects.size(); ++j)
      if (!frame->m_refs[j] || frame->m_refs[j]->m_pObject != m_objects[j]) return false;
  }
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
  for (std::size_t j = 0; j < m_objects.size(); ++j) {
    auto ref = MakeRef<CRefImageObject>(m_objects[j]);
    if (templ && j < templ->m_refs.size() && templ->m_refs[j]) {
      const CRefImageObject& t = *templ->m_refs[j];
      ref->m_nX = t.m_nX;
      ref->m_nY = t.m_nY;
      ref->m_bLocked = t.m_bLocked;
      ref->m_nTransparency = t.m_nTransparency;
    }
    ref->m_bVisible = false;
    frame->m_refs.push_back(ref);
  }
  return frame;
}

bool CGifImage::InsertObject(int index, RefPtr<CDib> object, const CRefImageObjectList* refs) {
  if (!object || index < 0 || index > int(m_objects.size())) return false;
  if (refs && refs->size() != m_frames.size()) return false;
  for (std::size_t i = 0; i < m_frames.size(); ++i) {
    RefPtr<CRefImageObject> ref = refs ? (*refs)[i] : MakeRef<CRefImageObject>();
    if (!ref) ref = MakeRef<CRefImageObject>();
    ref->m_pObject = object;
    auto& list = m_frames[i]->m_refs;
    list.insert(list.begin() + std::min<std::ptrdiff_t>(index, std::ptrdiff_t(list.size())), ref);
  }
  m_objects.insert(m_objects.begin() + index, std::move(object));
  return true;
}

bool CGifImage::RemoveObject(int index) {
  if (index < 0 || index >= int(m_objects.size())) return false;
  for (auto& frame : m_frames)
    if (index < int(frame->m_refs.size())) frame->m_refs.erase(frame->m_refs.begin() + index);
  m_objects.erase(m_objects.begin() + index);
  return true;
}

bool CGifImage::MoveObject(int from, int to) {
  const int n = int(m_objects.size());
  if (from < 0 || from >= n || to < 0 || to >= n) return false;
  auto move = [&](auto& v) {
    auto item = v[std::size_t(from)];
    v.erase(v.begin() + from);
    v.insert(v.begin() + to, std::move(item));
  };
  move(m_objects);
  for (auto& frame : m_frames)
    if (int(frame->m_refs.size()) == n) move(frame->m_refs);
  return true;
}
