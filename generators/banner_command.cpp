#include "generators/banner_command.h"

#include <map>
#include <new>

#include "app/dib_factories.h"
#include "editing/frame_actions.h"
#include "generators/banner_generators.h"

RefPtr<CDib> CreateBannerTextObject(const CBannerTextStyle& style, POINT* origin) {
  TevCustomPathLibV::CTevTextObj text;
  text.SetFont(style.font);
  text.SetText(style.text);
  auto& props = text.RenderProps();
  props.fillColour = style.colour;
  props.strokeOutline = style.outline && style.outlineWidth > 0;
  props.outlineColour = style.outlineColour;
  props.outlineWidth = style.outlineWidth;
  auto factory = MakeRef<CTextDibFactory>(text);
  RefPtr<CDib> object = CreateGeneratorObject(factory, OBJECT_TEXT);
  if (!object) return nullptr;
  object->m_nShadowKind = style.shadowKind;
  object->BuildShadow();
  if (origin) *origin = factory->RenderOrigin();
  return object;
}

BannerSettings BannerSettingsFromPreferences(const CLoopwrightApp& app) {
  BannerSettings s;
  s.enterEnabled = app.Pref("EnterScene") != 0;
  s.leaveEnabled = app.Pref("ExitScene") != 0;
  s.enterKind = app.Pref("EnterEffect");
  s.leaveKind = app.Pref("ExitEffect");
  s.enterFrames = app.Pref("EnterFrames");
  s.leaveFrames = app.Pref("ExitFrames");
  s.frameDelay = app.Pref("FrameDelayTime");
  return s;
}

void PlaceBannerText(BannerSettings& s, const POINT* at, POINT origin) {
  if (at) {
    s.x0 = at->x + origin.x;
    s.y0 = at->y + origin.y;
    return;
  }
  const BITMAPINFOHEADER* picture = s.text ? s.text->GetImage() : nullptr;
  const int w = picture ? DibWidth(picture) : 0, h = picture ? DibHeight(picture) : 0;
  const RECT& r = s.bannerRect;
  s.x0 = r.left + (r.right - r.left - w) / 2;
  s.y0 = r.top + (r.bottom - r.top - h) / 2;
}

namespace {

void ShowFailure(CLoopwrightDoc& doc, int result) {
  switch (result) {
    case BANNER_NO_PHASE: doc.Prompt().ShowMessage(kBannerNoPhaseText, MessageKind::Error, kBannerErrorTitle); return;
    case BANNER_BAD_SETTINGS:
      doc.Prompt().ShowMessage(std::string(kBannerFailedText) + " (a kind, frame count, delay or the banner rectangle is out of range)",
                               MessageKind::Error, kBannerErrorTitle);
      return;
    case BANNER_TOO_LARGE:
      doc.Prompt().ShowMessage(std::string(kBannerFailedText) + " (the pictures would need too much memory)",
                               MessageKind::Error, kBannerErrorTitle);
      return;
    case BANNER_CANCELLED: return;
    default: doc.Prompt().ShowMessage(kBannerFailedText, MessageKind::Error, kBannerErrorTitle); return;
  }
}

}  // namespace

int AddBannerFrames(CLoopwrightDoc& doc, const BannerSettings& settings, bool replaceCurrent,
                    CTevCommonProgress* progress) {
  std::vector<CBannerClip> clips;
  const int result = GenerateBanner(settings, clips, progress, &doc.Prompt());
  if (result != BANNER_OK) {
    ShowFailure(doc, result);
    return result;
  }

  CGifFrame* current = doc.GetCurrentFrame();
  const int currentIndex = current ? doc.m_nCurrentFrame : -1;
  std::vector<RefPtr<CGifFrame>> frames;
  std::vector<RefPtr<CDib>> added;  // pictures new to the document, in order of first use
  try {
    frames.reserve(clips.size());
    for (const CBannerClip& clip : clips) {
      RefPtr<CGifFrame> frame = current ? MakeRef<CGifFrame>(*current) : doc.CreateBlankFrame(nullptr);
      frame->m_nDelay = std::uint16_t(clip.delay);
      frames.push_back(frame);
      for (const CBannerSlot* slot : {&clip.first, &clip.second}) {
        const RefPtr<CDib>& picture = slot->picture;
        if (!picture || doc.IndexOfObject(picture.get()) >= 0) continue;
        bool known = false;
        for (const auto& p : added) known = known || p == picture;
        if (!known) added.push_back(picture);
      }
    }
  } catch (const std::bad_alloc&) {
    ShowFailure(doc, BANNER_TOO_LARGE);
    return BANNER_TOO_LARGE;
  }

  doc.EditManager().AddAction(new CUpdateFramesDIBAction(doc, kBannerActionKind));
  doc.SetModifiedFlag();
  int at = currentIndex + 1;
  if (replaceCurrent && current) {
    doc.RemoveFrame(currentIndex);
    at = currentIndex;
  }
  for (std::size_t k = 0; k < frames.size(); ++k) doc.InsertFrame(at + int(k), frames[k]);
  for (const RefPtr<CDib>& picture : added) {
    picture->m_strName = doc.App().NextDefaultObjectName();
    doc.InsertObject(doc.GetObjectCount(), picture);
  }
  // A banner picture that the document already held (a text object of the
  // current frame) shows on the banner frames only where a clip places it.
  std::vector<int> used;
  for (const CBannerClip& clip : clips)
    for (const CBannerSlot* slot : {&clip.first, &clip.second})
      if (slot->picture) used.push_back(doc.IndexOfObject(slot->picture.get()));
  for (const RefPtr<CGifFrame>& frame : frames)
    for (int j : used)
      if (j >= 0 && j < int(frame->m_refs.size()) && frame->m_refs[std::size_t(j)]->m_bVisible) {
        auto hidden = MakeRef<CRefImageObject>(*frame->m_refs[std::size_t(j)]);
        hidden->m_bVisible = false;
        frame->m_refs.Set(std::size_t(j), hidden);
      }
  for (std::size_t k = 0; k < frames.size(); ++k) {
    for (const CBannerSlot* slot : {&clips[k].first, &clips[k].second}) {
      if (!slot->picture) continue;
      const int j = doc.IndexOfObject(slot->picture.get());
      if (j < 0 || j >= int(frames[k]->m_refs.size())) continue;
      auto ref = MakeRef<CRefImageObject>(slot->picture);
      ref->m_nX = slot->x;
      ref->m_nY = slot->y;
      ref->m_nTransparency = slot->transparency;
      ref->m_bVisible = true;
      frames[k]->m_refs.Set(std::size_t(j), ref);
    }
  }
  doc.SelectSingleFrame(at);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return BANNER_OK;
}
