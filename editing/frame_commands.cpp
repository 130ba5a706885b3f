#include "editing/frame_commands.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "companions/dibkernel/dib_kernel.h"
#include "editing/frame_actions.h"
#include "editing/picture_resample.h"
#include "companions/base/tr.h"

namespace {

// Records the action and marks the document modified (the change follows).
void Record(CLoopwrightDoc& doc, CEditAction* action) {
  doc.EditManager().AddAction(action);
  doc.SetModifiedFlag();
}

void Notify(CLoopwrightDoc& doc, CGifFrame* frame) { doc.UpdateAllViews(HINT_FRAMES_CHANGED, frame); }

// Selected indexes that name a frame, ascending and without repeats.
std::vector<int> SelectedPositions(const CLoopwrightDoc& doc) {
  std::vector<int> out;
  for (int i : doc.m_selectedFrames)
    if (doc.GetFrame(i)) out.push_back(i);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<bool> SelectionMask(const CLoopwrightDoc& doc) {
  std::vector<bool> mask(doc.m_frames.size(), false);
  for (int i : SelectedPositions(doc)) mask[std::size_t(i)] = true;
  return mask;
}

// Re-points the selection (and current frame) at the same frame objects
// after the array changed.
void FollowFrames(CLoopwrightDoc& doc, const std::vector<CGifFrame*>& selected, CGifFrame* current) {
  doc.m_selectedFrames.clear();
  for (CGifFrame* f : selected) {
    const int i = doc.IndexOfFrame(f);
    if (i >= 0) doc.m_selectedFrames.push_back(i);
  }
  doc.m_nCurrentFrame = current ? doc.IndexOfFrame(current) : -1;
}

std::vector<CGifFrame*> SelectedFrames(const CLoopwrightDoc& doc) {
  std::vector<CGifFrame*> out;
  for (int i : doc.m_selectedFrames)
    if (CGifFrame* f = doc.GetFrame(i)) out.push_back(f);
  return out;
}

int Round(double v) { return int(std::floor(v + 0.5)); }

}  // namespace

bool AddBlankFrame(CLoopwrightDoc& doc) {
  CGifFrame* current = doc.GetCurrentFrame();
  RefPtr<CGifFrame> frame = doc.CreateBlankFrame(current);
  const int at = current ? doc.m_nCurrentFrame + 1 : 0;
  const auto selected = SelectedFrames(doc);
  Record(doc, new CModifyFramesAction(doc, CModifyFramesAction::ADD_FRAME));
  doc.InsertFrame(at, frame);
  FollowFrames(doc, selected, current ? current : frame.get());
  doc.m_selectedFrames.push_back(at);
  Notify(doc, frame.get());
  return true;
}

bool DeleteSelectedFrames(CLoopwrightDoc& doc) {
  const std::vector<int> positions = SelectedPositions(doc);
  if (positions.empty()) return false;
  if (!doc.Prompt().AskYesNo(Tr("Are you sure you want to delete all selected frames?"))) return false;
  Record(doc, new CModifyFramesAction(doc, CModifyFramesAction::DELETE_FRAME));
  for (auto it = positions.rbegin(); it != positions.rend(); ++it) doc.RemoveFrame(*it);
  doc.SelectSingleFrame(std::min(positions.front(), doc.GetFrameCount() - 1));
  Notify(doc, doc.GetCurrentFrame());
  return true;
}

bool DuplicateSelectedFrames(CLoopwrightDoc& doc) {
  const std::vector<int> positions = SelectedPositions(doc);
  if (positions.empty()) return false;
  CGifFrameArray frames;
  std::vector<CGifFrame*> copies;
  try {
    frames.reserve(doc.m_frames.size() + positions.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < doc.m_frames.size(); ++i) {
      frames.push_back(doc.m_frames[i]);
      if (next < positions.size() && positions[next] == int(i)) {
        frames.push_back(MakeRef<CGifFrame>(*doc.m_frames[i]));
        copies.push_back(frames.back().get());
        ++next;
      }
    }
  } catch (const std::bad_alloc&) {
    doc.Prompt().ShowMessage(Tr("Out of memory!"), MessageKind::Error, Tr("Error"));
    return false;
  }
  Record(doc, new CModifyFramesAction(doc, CModifyFramesAction::DUPLICATE_FRAME));
  doc.m_frames.swap(frames);
  FollowFrames(doc, copies, copies.front());
  Notify(doc, doc.GetCurrentFrame());
  return true;
}

bool ReverseFrames(CLoopwrightDoc& doc, bool selectedOnly) {
  if (doc.GetFrameCount() < 2 || (selectedOnly && SelectedPositions(doc).size() < 2)) return false;
  auto* action = new CReverseOrderOfFramesAction(doc, selectedOnly);
  Record(doc, action);
  action->Apply();
  Notify(doc, doc.GetCurrentFrame());
  return true;
}

bool MoveSelectedFrames(CLoopwrightDoc& doc, int kind) {
  if (kind < 0 || kind > 3) return false;
  const int n = doc.GetFrameCount();
  std::vector<bool> mask = SelectionMask(doc);
  CGifFrameArray frames = doc.m_frames;
  if (kind == CChangeOrderOfFramesAction::TO_FIRST || kind == CChangeOrderOfFramesAction::TO_LAST) {
    CGifFrameArray picked, rest;
    for (int i = 0; i < n; ++i) (mask[std::size_t(i)] ? picked : rest).push_back(frames[std::size_t(i)]);
    frames = kind == CChangeOrderOfFramesAction::TO_FIRST ? picked : rest;
    const auto& tail = kind == CChangeOrderOfFramesAction::TO_FIRST ? rest : picked;
    frames.insert(frames.end(), tail.begin(), tail.end());
  } else if (kind == CChangeOrderOfFramesAction::TO_PREVIOUS) {
    for (int i = 1; i < n; ++i)
      if (mask[std::size_t(i)] && !mask[std::size_t(i - 1)]) {
        frames[std::size_t(i)].swap(frames[std::size_t(i - 1)]);
        mask[std::size_t(i - 1)] = true;
        mask[std::size_t(i)] = false;
      }
  } else {
    for (int i = n - 2; i >= 0; --i)
      if (mask[std::size_t(i)] && !mask[std::size_t(i + 1)]) {
        frames[std::size_t(i)].swap(frames[std::size_t(i + 1)]);
        mask[std::size_t(i + 1)] = true;
        mask[std::size_t(i)] = false;
      }
  }
  if (frames == doc.m_frames) return false;
  const auto selected = SelectedFrames(doc);
  CGifFrame* current = doc.GetCurrentFrame();
  Record(doc, new CChangeOrderOfFramesAction(doc, kind));
  doc.m_frames.swap(frames);
  FollowFrames(doc, selected, current);
  Notify(doc, doc.GetCurrentFrame());
  return true;
}

bool MakeSameDelay(CLoopwrightDoc& doc, std::uint16_t delay, bool all) {
  doc.App().Prefs().Set("DefaultDelay", delay);
  SetDefaultFrameDelay(delay);
  std::vector<int> targets;
  if (all) {
    for (int i = 0; i < doc.GetFrameCount(); ++i) targets.push_back(i);
  } else {
    targets = SelectedPositions(doc);
  }
  auto action = std::make_unique<CEditFrameDelayAction>(doc);
  for (int i : targets) {
    CGifFrame* f = doc.GetFrame(i);
    if (f->m_nDelay != delay) action->Add(doc.m_frames[std::size_t(i)], f->m_nDelay);
  }
  if (action->IsEmpty()) return false;
  Record(doc, action.release());
  for (int i : targets) doc.GetFrame(i)->m_nDelay = delay;
  return true;
}

bool ModifyFrameProperties(CLoopwrightDoc& doc, int delay, bool interlaced) {
  if (delay < 0 || delay > 32767) return false;
  using Action = CModifyFramePropertiesAction<CModifyFramePropertiesWrap>;
  auto action = std::make_unique<Action>(doc, Tr("Modify Frame Properties"));
  const std::vector<int> positions = SelectedPositions(doc);
  for (int i : positions) {
    const RefPtr<CGifFrame>& f = doc.m_frames[std::size_t(i)];
    if (f->m_nDelay != delay || f->IsInterlaced() != interlaced)
      action->push_back({f->IsInterlaced() ? 1 : 0, f->m_nDelay, f});
  }
  if (action->empty()) return false;
  Record(doc, action.release());
  for (int i : positions) {
    doc.GetFrame(i)->m_nDelay = std::uint16_t(delay);
    doc.GetFrame(i)->SetInterlaced(interlaced);
  }
  Notify(doc, doc.GetCurrentFrame());
  return true;
}

bool SetLoopTimes(CLoopwrightDoc& doc, int loopForever, int count) {
  if (count < 1 || count > 65535) return false;
  loopForever = loopForever ? 1 : 0;
  if (loopForever == (doc.m_bLoopForever ? 1 : 0) && count == doc.m_nLoopCount) return false;
  Record(doc, new CModifyAnimationLoopTimesAction(doc, Tr("Change Loop Count"), doc.m_bLoopForever, doc.m_nLoopCount));
  doc.m_bLoopForever = loopForever;
  doc.m_nLoopCount = count;
  return true;
}

bool ResizeCanvas(CLoopwrightDoc& doc, int width, int height, int dx, int dy) {
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) return false;
  if (width == doc.m_nWidth && height == doc.m_nHeight && dx == 0 && dy == 0) return false;
  auto* action = new CUpdateCanvasSizeAction(doc);
  Record(doc, action);
  doc.m_nWidth = width;
  doc.m_nHeight = height;
  if (dx || dy)
    action->MoveAllRefs([&](CRefImageObject& ref) {
      ref.m_nX += dx;
      ref.m_nY += dy;
    });
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}

bool ResizeAnimation(CLoopwrightDoc& doc, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) return false;
  if (doc.m_nWidth < 1 || doc.m_nHeight < 1) return false;
  if (width == doc.m_nWidth && height == doc.m_nHeight) return false;
  const double sx = double(width) / doc.m_nWidth, sy = double(height) / doc.m_nHeight;

  // Build every new picture first, so a failure changes nothing.
  struct Scaled {
    RefPtr<CDib> object;
    DibPtr image;
    bool generator;
  };
  std::vector<Scaled> scaled;
  for (const auto& object : doc.m_objects) {
    const BITMAPINFOHEADER* old = object->GetImage();
    if (!old) continue;
    DibPtr image;
    bool generator = false;
    if (object->m_pFactory) {
      image.reset(object->m_pFactory->Transform(sx, sy, object->m_pFactory->GetAngle()));
      generator = image != nullptr;
    }
    if (!image) {
      const int w = std::clamp(Round(old->biWidth * sx), 1, int(kMaxDibDimension));
      const int h = std::clamp(Round(DibHeight(old) * sy), 1, int(kMaxDibDimension));
      // Resampled with the resize filter of the preferences.
      image = ResamplePicture32(old, w, h, doc.App().Pref("ResizeFilter"));
      if (!image) return false;
    }
    scaled.push_back({object, std::move(image), generator});
  }

  auto* action = new CUpdateAnimationSizeAction(doc);
  Record(doc, action);
  for (auto& s : scaled) {
    DibPtr previous = ExchangeObjectImage(*s.object, std::move(s.image));
    if (s.generator)
      action->AddElement(std::make_unique<CScaleDibElm>(s.object, sx, sy));
    else if (previous)
      action->AddElement(std::make_unique<CResizeNormalDibElm>(s.object, std::move(previous)));
  }
  doc.m_nWidth = width;
  doc.m_nHeight = height;
  action->MoveAllRefs([&](CRefImageObject& ref) {
    ref.m_nX = Round(ref.m_nX * sx);
    ref.m_nY = Round(ref.m_nY * sy);
  });
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}
