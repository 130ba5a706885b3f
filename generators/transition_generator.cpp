#include "generators/transition_generator.h"

#include <vector>

#include "app/frame_render.h"
#include "companions/base/progress.h"
#include "editing/frame_actions.h"
#include "generators/effect_performer_classes.h"
#include "companions/base/tr.h"

const TrText kNoVisibleObjectText{TrMark("The current frame contains no object, so no frames with effects can be created.")};
const TrText kBuildingFramesText{TrMark("Building frames...")};

namespace {

constexpr const char* kAppTitle = "Loopwright";

// Shows the status caption and progress while the pictures are built and
// removes both when it goes out of scope.
class CBuildingFramesStatus {
 public:
  CBuildingFramesStatus(CPromptInterface& prompt, CTevCommonProgress* progress)
      : m_prompt(prompt), m_progress(progress) {
    m_prompt.SetStatusCaption(kBuildingFramesText);
    if (m_progress) m_progress->SetCaption(kBuildingFramesText);
  }
  ~CBuildingFramesStatus() {
    if (m_progress) m_progress->EndProgress();
    m_prompt.SetStatusCaption({});
  }
  // After picture i of n: advances the bar; false when cancelled.
  bool Step(int i, int n) { return ReportProgressStep(m_progress, i + 1, n); }

 private:
  CPromptInterface& m_prompt;
  CTevCommonProgress* m_progress;
};

// A copy of frame with the given delay in which the reference at hideIndex,
// or every reference when hideIndex is -1, is hidden.
RefPtr<CGifFrame> HiddenCopy(const CGifFrame& frame, int hideIndex, int delay) {
  auto copy = MakeRef<CGifFrame>(frame);
  std::vector<std::size_t> shown;
  copy->m_refs.ForEachShown([&](std::size_t j, const CRefImageObject&) {
    if (hideIndex < 0 || int(j) == hideIndex) shown.push_back(j);
  });
  for (std::size_t j : shown) copy->m_refs.Edit(j)->m_bVisible = false;
  copy->m_nDelay = std::uint16_t(delay);
  return copy;
}

// The N frames that receive the pictures, creating those that are missing.
// Appearing pictures go before the key frame, disappearing ones after it.
std::vector<CGifFrame*> PrepareTargetFrames(CLoopwrightDoc& doc, CGifFrame* key, int sourceIndex, bool objectMode,
                                            bool insertFrames, bool appear, int n, int delay) {
  std::vector<CGifFrame*> targets(n);
  const int keyIndex = doc.IndexOfFrame(key);
  if (!objectMode || insertFrames) {
    for (int i = 0; i < n; ++i) {
      auto frame = HiddenCopy(*key, objectMode ? sourceIndex : -1, delay);
      targets[i] = frame.get();
      doc.InsertFrame(appear ? keyIndex + i : keyIndex + 1 + i, frame);
    }
    return targets;
  }
  const int count = doc.GetFrameCount();
  if (appear) {
    if (keyIndex == 0) {
      for (int i = 0; i < n; ++i) doc.InsertFrame(i, HiddenCopy(*key, sourceIndex, delay));
    } else {
      // Copies of the first frame make up for the frames before the key frame.
      const RefPtr<CGifFrame> first = doc.m_frames.front();
      for (int k = keyIndex; k < n; ++k) {
        auto frame = MakeRef<CGifFrame>(*first);
        frame->m_nDelay = std::uint16_t(delay);
        doc.InsertFrame(0, frame);
      }
    }
    const int at = doc.IndexOfFrame(key) - n;
    for (int i = 0; i < n; ++i) targets[i] = doc.GetFrame(at + i);
  } else {
    if (keyIndex == count - 1) {
      for (int i = 0; i < n; ++i) doc.InsertFrame(keyIndex + 1 + i, HiddenCopy(*key, sourceIndex, delay));
    } else {
      const RefPtr<CGifFrame> last = doc.m_frames.back();
      for (int k = count - 1 - keyIndex; k < n; ++k) {
        auto frame = MakeRef<CGifFrame>(*last);
        frame->m_nDelay = std::uint16_t(delay);
        doc.InsertFrame(doc.GetFrameCount(), frame);
      }
    }
    for (int i = 0; i < n; ++i) targets[i] = doc.GetFrame(keyIndex + 1 + i);
  }
  return targets;
}

}  // namespace

CTransitionSettings CTransitionSettings::FromPreferences(const CLoopwrightApp& app) {
  CTransitionSettings s;
  s.frameCount = app.Pref("GeneratedFramesCount");
  s.frameDelay = app.Pref("GeneratedFramesDelay");
  s.keyFrameDelay = app.Pref("GeneratedKeyFrameDelay");
  return s;
}

bool CTransitionSettings::IsValid() const {
  return frameCount >= 1 && frameCount <= 300 && frameDelay >= 0 && frameDelay <= 32767 && keyFrameDelay >= 0 &&
         keyFrameDelay <= 32767;
}

bool FrameHasVisibleObject(const CGifFrame& frame) {
  bool found = false;
  frame.m_refs.ForEachShown([&](std::size_t, const CRefImageObject& ref) {
    if (ref.m_pObject && ref.m_pObject->GetImage()) found = true;
  });
  return found;
}

RefPtr<CRefImageObject> BuildTransitionSource(const CLoopwrightDoc& doc, bool objectMode) {
  const CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return nullptr;
  if (objectMode) {
    for (const auto& object : doc.m_selectedObjects) {
      const int j = doc.IndexOfObject(object.get());
      if (j < 0 || j >= int(frame->m_refs.size())) continue;
      const CRefImageObject* ref = frame->m_refs[std::size_t(j)];
      if (ref && ref->m_bVisible && ref->m_pObject && ref->m_pObject->GetImage())
        return MakeRef<CRefImageObject>(*ref);
    }
    return nullptr;
  }
  DibPtr composed = RenderFrame(doc, *frame);
  if (!composed) return nullptr;
  auto object = MakeRef<CDib>(std::move(composed));
  if (!object->GetImage()) return nullptr;
  auto ref = MakeRef<CRefImageObject>(object);
  ref->m_bVisible = true;
  return ref;
}

TransitionStatus GenerateTransition(CLoopwrightDoc& doc, CEffectPerform& performer, int effectIndex,
                                    const CTransitionSettings& settings, CTevCommonProgress* progress) {
  CGifFrame* key = doc.GetCurrentFrame();
  if (!key) return TransitionStatus::NoFrame;
  if (!settings.IsValid()) return TransitionStatus::BadSettings;
  if (!FrameHasVisibleObject(*key)) {
    doc.Prompt().ShowMessage(kNoVisibleObjectText, MessageKind::Error, kAppTitle);
    return TransitionStatus::NoVisibleObject;
  }
  const bool objectMode = performer.IsObjectMode(), appear = performer.IsAppear();
  RefPtr<CRefImageObject> source = BuildTransitionSource(doc, objectMode);
  if (!source) return objectMode ? TransitionStatus::NoSource : TransitionStatus::OutOfMemory;
  if (auto* slider = dynamic_cast<CMoveSliderEffect*>(&performer)) slider->SetCanvasSize(doc.m_nWidth, doc.m_nHeight);

  // The pictures; in disappear mode the last frame shows none.
  const int n = settings.frameCount;
  std::vector<RefPtr<CRefImageObject>> generated(n);
  {
    CBuildingFramesStatus status(doc.Prompt(), progress);
    for (int i = 0; i < n; ++i) {
      if (appear || i < n - 1) generated[i] = performer.BuildFrameObject(*source, i, n);
      if (!status.Step(i, n)) return TransitionStatus::Cancelled;
    }
  }

  const int sourceIndex = objectMode ? doc.IndexOfObject(source->m_pObject.get()) : -1;
  auto* action = new CBuldingFramesDIBAction(doc, EffectActionKind(effectIndex), RefPtr<CGifFrame>(key),
                                             key->m_nDelay);
  doc.EditManager().AddAction(action);
  doc.SetModifiedFlag();
  key->m_nDelay = std::uint16_t(settings.keyFrameDelay);
  const std::vector<CGifFrame*> targets = PrepareTargetFrames(doc, key, sourceIndex, objectMode,
                                                              performer.InsertsFrames(), appear, n,
                                                              settings.frameDelay);

  // New objects go on top in frame mode and right above the source object in
  // object mode, in the order of the pictures; a shared object is added once.
  int insertAt = objectMode ? sourceIndex + 1 : doc.GetObjectCount();
  for (int i = 0; i < n; ++i) {
    RefPtr<CRefImageObject>& ref = generated[i];
    if (!ref || !targets[i]) continue;
    int j = doc.IndexOfObject(ref->m_pObject.get());
    if (j < 0) {
      ref->m_pObject->m_strName = doc.App().NextDefaultObjectName();
      j = objectMode ? insertAt++ : doc.GetObjectCount();
      if (!doc.InsertObject(j, ref->m_pObject)) continue;
    }
    ref->m_bVisible = true;
    targets[i]->m_refs.Set(std::size_t(j), ref);
  }
  generated.clear();

  doc.SelectSingleFrame(doc.IndexOfFrame(key));
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, key);
  return TransitionStatus::Done;
}
