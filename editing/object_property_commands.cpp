// Object property commands: per-frame visibility, lock, transparency and
// position; name, scale, rotation, filter, text and render settings.
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "app/gbk_text.h"
#include "editing/object_actions.h"
#include "editing/object_command_support.h"
#include "editing/object_commands.h"
#include "editing/object_property_actions.h"
#include "companions/base/tr.h"

using namespace objcmd;

namespace {

const char* const kNoSelection = "no object is selected";
// Room for objects far off the canvas without overflowing sums.
constexpr long long kMaxPosition = 1000000000;
// Bytes the project file keeps of a name (GBK).
constexpr std::size_t kProjectNameBytes = 48;

// The selected objects' references on the target frames.
bool TargetRefs(CLoopwrightDoc& doc, const CFrameTargets& targets, std::vector<RefPtr<CRefImageObject>>& refs,
                std::string& why) {
  const std::vector<int> indexes = SelectedIndexes(doc);
  if (indexes.empty()) {
    why = kNoSelection;
    return false;
  }
  std::vector<CGifFrame*> frames;
  if (!ResolveFrames(doc, targets, frames, why)) return false;
  refs.clear();
  for (CGifFrame* f : frames)
    for (int j : indexes)
      if (CRefImageObject* r = RefOf(*f, j)) refs.push_back(RefPtr<CRefImageObject>(r));
  return true;
}

// Records one CModifyObjectPropsAction over refs whose value differs from
// value, then sets it. Nothing to change: success, nothing recorded.
template <class TItem>
ObjectResult SetOnRefs(CLoopwrightDoc& doc, const std::vector<RefPtr<CRefImageObject>>& refs,
                       typename TItem::Value value, const char* description) {
  auto action = std::make_unique<CModifyObjectPropsAction<TItem>>(doc, description);
  std::vector<RefPtr<CRefImageObject>> changing;
  for (const auto& r : refs) {
    TItem probe;
    probe.ref = r;
    if (probe.Get() != value) changing.push_back(r);
  }
  action->Reserve(changing.size());
  for (const auto& r : changing) action->Add(r);
  if (action->Items().empty()) return ObjectResult::Done();
  const auto& items = action->Items();
  Record(doc, action.release());
  for (const auto& item : items) item.Set(value);
  doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
  return ObjectResult::Done();
}

// New positions for refs; refused when one of them is locked or would leave
// the position range.
ObjectResult MoveRefs(CLoopwrightDoc& doc, const std::vector<RefPtr<CRefImageObject>>& refs,
                      const std::vector<POINT>& to, const std::string& description) {
  for (const auto& r : refs)
    if (r->m_bLocked) return ObjectResult::Refused(kLockedObjectsMessage);
  auto action = std::make_unique<CModifyObjectPropsAction<CObjectPropOffset>>(doc, description);
  std::vector<POINT> targets;
  std::size_t moved = 0;
  for (std::size_t i = 0; i < refs.size(); ++i) moved += refs[i]->m_nX != to[i].x || refs[i]->m_nY != to[i].y;
  action->Reserve(moved);
  targets.reserve(moved);
  for (std::size_t i = 0; i < refs.size(); ++i)
    if (refs[i]->m_nX != to[i].x || refs[i]->m_nY != to[i].y) {
      action->Add(refs[i]);
      targets.push_back(to[i]);
    }
  if (targets.empty()) return ObjectResult::Done();
  const auto& items = action->Items();
  Record(doc, action.release());
  for (std::size_t i = 0; i < items.size(); ++i) items[i].Set(targets[i]);
  doc.UpdateAllViews(HINT_OBJECT_MOVED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}

// The current frame's reference to object index.
RefPtr<CRefImageObject> CurrentRef(CLoopwrightDoc& doc, int index, std::string& why) {
  if (!CheckIndex(doc, index, why)) return nullptr;
  CGifFrame* current = doc.GetCurrentFrame();
  CRefImageObject* ref = current ? RefOf(*current, index) : nullptr;
  if (!ref) why = "there is no current frame";
  return RefPtr<CRefImageObject>(ref);
}

// Sets a value that the object's picture is built from through action,
// rebuilds the picture and records the action; restores the value and
// records nothing when the picture cannot be built.
template <class TAction>
ObjectResult ApplyRebuilding(CLoopwrightDoc& doc, std::unique_ptr<TAction> action, const RefPtr<CDib>& object,
                             const std::function<void(TAction&)>& set) {
  set(*action);
  std::unique_ptr<CModifyDibElm> picture = RebuildObjectPicture(doc, object);
  if (!picture) {
    action->Restore();
    return ObjectResult::Refused("the object draws nothing with that setting");
  }
  action->SetPictureRecord(std::move(picture));
  // The change is made; the action holds what undo needs.
  Record(doc, action.release());
  doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
  return ObjectResult::Done();
}

bool Finite(double v) { return std::isfinite(v); }

}  // namespace

ObjectResult SetSelectedVisible(CLoopwrightDoc& doc, bool visible, const CFrameTargets& frames) {
  std::vector<RefPtr<CRefImageObject>> refs;
  std::string why;
  if (!TargetRefs(doc, frames, refs, why)) return ObjectResult::Refused(why);
  return SetOnRefs<CObjectPropVisible>(doc, refs, visible ? 1 : 0, Tr("Show/Hide Objects"));
}

ObjectResult SetSelectedLocked(CLoopwrightDoc& doc, bool locked, const CFrameTargets& frames) {
  std::vector<RefPtr<CRefImageObject>> refs;
  std::string why;
  if (!TargetRefs(doc, frames, refs, why)) return ObjectResult::Refused(why);
  return SetOnRefs<CObjectPropLocker>(doc, refs, locked ? 1 : 0, Tr("Lock/Unlock Objects"));
}

ObjectResult SetSelectedTransparency(CLoopwrightDoc& doc, int transparency, const CFrameTargets& frames) {
  if (transparency < 0 || transparency > 255) return ObjectResult::Refused("the transparency must be 0 to 255");
  std::vector<RefPtr<CRefImageObject>> refs;
  std::string why;
  if (!TargetRefs(doc, frames, refs, why)) return ObjectResult::Refused(why);
  return SetOnRefs<CObjectPropTransparency>(doc, refs, BYTE(transparency), Tr("Change Transparency"));
}

ObjectResult MoveSelectedObjects(CLoopwrightDoc& doc, int dx, int dy, bool absolute, const CFrameTargets& frames) {
  std::vector<RefPtr<CRefImageObject>> refs;
  std::string why;
  if (!TargetRefs(doc, frames, refs, why)) return ObjectResult::Refused(why);
  std::vector<POINT> to;
  for (const auto& r : refs) {
    const long long x = absolute ? dx : r->m_nX + (long long)dx, y = absolute ? dy : r->m_nY + (long long)dy;
    if (std::llabs(x) > kMaxPosition || std::llabs(y) > kMaxPosition)
      return ObjectResult::Refused("a position would leave the range -" + std::to_string(kMaxPosition) + " to " +
                                   std::to_string(kMaxPosition));
    to.push_back(POINT{LONG(x), LONG(y)});
  }
  return MoveRefs(doc, refs, to, Tr("Move Objects"));
}

ObjectResult AlignSelectedObjects(CLoopwrightDoc& doc, AlignKind kind, const CFrameTargets& targets) {
  static const char* const kDescriptions[] = {"Align Left",           "Align Right",      "Align Top",
                                              "Align Bottom",         "Center Horizontally", "Center Vertically",
                                              "Center Vertically and Horizontally"};
  const std::vector<int> indexes = SelectedIndexes(doc);
  if (indexes.empty()) return ObjectResult::Refused(kNoSelection);
  std::vector<CGifFrame*> frames;
  std::string why;
  if (!ResolveFrames(doc, targets, frames, why)) return ObjectResult::Refused(why);
  std::vector<RefPtr<CRefImageObject>> refs;
  std::vector<POINT> to;
  for (CGifFrame* f : frames) {
    // The selected objects this frame shows, and the box they align in.
    std::vector<CRefImageObject*> shown;
    for (int j : indexes)
      if (const CRefImageObject* r = PeekRefOf(*f, j); r && r->m_bVisible && r->m_pObject)
        shown.push_back(RefOf(*f, j));  // only the ones that move become the frame's own
    if (shown.empty()) continue;
    long long l = 0, t = 0, r = doc.m_nWidth, b = doc.m_nHeight;
    if (indexes.size() > 1) {
      l = t = std::numeric_limits<long long>::max();
      r = b = std::numeric_limits<long long>::min();
      for (const CRefImageObject* s : shown) {
        l = std::min<long long>(l, s->m_nX), t = std::min<long long>(t, s->m_nY);
        r = std::max<long long>(r, s->m_nX + (long long)s->m_pObject->m_nWidth);
        b = std::max<long long>(b, s->m_nY + (long long)s->m_pObject->m_nHeight);
      }
    }
    for (CRefImageObject* s : shown) {
      const long long w = s->m_pObject->m_nWidth, h = s->m_pObject->m_nHeight;
      long long x = s->m_nX, y = s->m_nY;
      switch (kind) {
        case AlignKind::LEFT: x = l; break;
        case AlignKind::RIGHT: x = r - w; break;
        case AlignKind::TOP: y = t; break;
        case AlignKind::BOTTOM: y = b - h; break;
        case AlignKind::HCENTER: x = l + (r - l - w) / 2; break;
        case AlignKind::VCENTER: y = t + (b - t - h) / 2; break;
        case AlignKind::CENTER: x = l + (r - l - w) / 2, y = t + (b - t - h) / 2; break;
      }
      refs.push_back(RefPtr<CRefImageObject>(s));
      to.push_back(POINT{LONG(x), LONG(y)});
    }
  }
  if (refs.empty()) return ObjectResult::Refused(kNoVisibleObjectMessage);
  return MoveRefs(doc, refs, to, kDescriptions[int(kind)]);
}

ObjectResult RenameObject(CLoopwrightDoc& doc, int index, const std::string& name) {
  std::string why;
  RefPtr<CRefImageObject> ref = CurrentRef(doc, index, why);
  if (!ref) return ObjectResult::Refused(why);
  if (name.empty()) return ObjectResult::Refused("the name is empty");
  if (name.size() > kMaxObjectNameBytes || Utf8ToGbk(name, kMaxObjectNameBytes).size() > kProjectNameBytes)
    return ObjectResult::Refused("the name is too long: a project keeps " + std::to_string(kProjectNameBytes) +
                                 " bytes of it (" + std::to_string(kProjectNameBytes / 2) + " Chinese characters)");
  for (unsigned char c : name)
    if (c < 0x20) return ObjectResult::Refused("the name holds a control character");
  if (ref->m_pObject->m_strName == name) return ObjectResult::Done();
  auto* action = new CModifyObjectNameAction(doc, ref);
  Record(doc, action);
  action->SetValue(name);
  doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
  return ObjectResult::Done();
}

ObjectResult ScaleObject(CLoopwrightDoc& doc, int index, double scaleX, double scaleY) {
  std::string why;
  RefPtr<CRefImageObject> ref = CurrentRef(doc, index, why);
  if (!ref) return ObjectResult::Refused(why);
  if (!Finite(scaleX) || !Finite(scaleY) || scaleX < 1e-3 || scaleX > 1e3 || scaleY < 1e-3 || scaleY > 1e3)
    return ObjectResult::Refused("the scale must be 0.001 to 1000");
  RefPtr<CDib> object = ref->m_pObject;
  if (const CBitmapDibFactory* f = BitmapFactoryOf(*object); f && f->ScaleX() == scaleX && f->ScaleY() == scaleY)
    return ObjectResult::Done();
  if (const auto* v = VectorObjectOf(*object); v && v->ScaleX() == scaleX && v->ScaleY() == scaleY)
    return ObjectResult::Done();
  if (BitmapFactoryOf(*object)) {
    return ApplyRebuilding<CScaleImageObjAction>(doc, std::make_unique<CScaleImageObjAction>(doc, ref), object,
                                                 [&](CScaleImageObjAction& a) { a.SetValue({scaleX, scaleY}); });
  }
  if (!VectorObjectOf(*object)) return ObjectResult::Refused("only picture, text and shape objects can be scaled");
  if (object->m_nKind == OBJECT_TEXT)
    return ApplyRebuilding<CScaleTextObjAction>(doc, std::make_unique<CScaleTextObjAction>(doc, ref), object,
                                                [&](CScaleTextObjAction& a) { a.SetValue({scaleX, scaleY}); });
  return ApplyRebuilding<CScaleShapeObjAction>(doc, std::make_unique<CScaleShapeObjAction>(doc, ref), object,
                                               [&](CScaleShapeObjAction& a) { a.SetValue({scaleX, scaleY}); });
}

ObjectResult RotateObject(CLoopwrightDoc& doc, int index, double degrees) {
  std::string why;
  RefPtr<CRefImageObject> ref = CurrentRef(doc, index, why);
  if (!ref) return ObjectResult::Refused(why);
  if (!Finite(degrees) || degrees < -360 || degrees > 360) return ObjectResult::Refused("the angle must be -360 to 360");
  RefPtr<CDib> object = ref->m_pObject;
  if (const CBitmapDibFactory* f = BitmapFactoryOf(*object); f && f->GetAngle() == degrees) return ObjectResult::Done();
  if (const auto* v = VectorObjectOf(*object); v && v->Angle() == std::fmod(degrees, 360.0)) return ObjectResult::Done();
  if (BitmapFactoryOf(*object))
    return ApplyRebuilding<CRotateImageObjAction>(doc, std::make_unique<CRotateImageObjAction>(doc, ref), object,
                                                  [&](CRotateImageObjAction& a) { a.SetValue(degrees); });
  if (!VectorObjectOf(*object)) return ObjectResult::Refused("only picture, text and shape objects can be rotated");
  return ApplyRebuilding<CRotateShapeObjAction>(doc, std::make_unique<CRotateShapeObjAction>(doc, ref), object,
                                                [&](CRotateShapeObjAction& a) { a.SetValue(degrees); });
}

ObjectResult SetTransformFilter(CLoopwrightDoc& doc, int index, int filter) {
  std::string why;
  if (!CheckIndex(doc, index, why)) return ObjectResult::Refused(why);
  if (filter < TevVecLib::kFilterNearest || filter > TevVecLib::kFilterLanczos)
    return ObjectResult::Refused("the filter must be " + std::to_string(int(TevVecLib::kFilterNearest)) + " to " +
                                 std::to_string(int(TevVecLib::kFilterLanczos)));
  RefPtr<CDib> object = doc.m_objects[std::size_t(index)];
  CBitmapDibFactory* factory = BitmapFactoryOf(*object);
  if (!factory) return ObjectResult::Refused("only picture objects have a transform filter");
  if (factory->Filter() == filter) return ObjectResult::Done();
  return ApplyRebuilding<CModifyTransformFilterAction>(
      doc, std::make_unique<CModifyTransformFilterAction>(doc, object), object,
      [&](CModifyTransformFilterAction&) { factory->SetFilter(filter); });
}

ObjectResult EditText(CLoopwrightDoc& doc, int index, const std::string& utf8) {
  std::string why;
  if (!CheckIndex(doc, index, why)) return ObjectResult::Refused(why);
  RefPtr<CDib> object = doc.m_objects[std::size_t(index)];
  CTextDibFactory* factory = TextFactoryOf(*object);
  if (!factory) return ObjectResult::Refused("only text objects have a text");
  if (utf8.empty()) return ObjectResult::Refused("the text is empty");
  // The text object would cut a longer text; refuse rather than lose it.
  if (utf8.size() > 4 * TevCustomPathLibV::CTevTextObj::kMaxCharacters)
    return ObjectResult::Refused("the text is too long");
  TevCustomPathLibV::CTevTextObj probe;
  probe.SetText(utf8);
  if (probe.TextContent().size() >= TevCustomPathLibV::CTevTextObj::kMaxCharacters)
    return ObjectResult::Refused("the text is too long");
  if (probe.TextContent() == factory->Text().TextContent()) return ObjectResult::Done();
  return ApplyRebuilding<CModifyTextContentAction>(doc, std::make_unique<CModifyTextContentAction>(doc, object),
                                                   object, [&](CModifyTextContentAction&) {
                                                     factory->Text().SetTextContent(probe.TextContent());
                                                   });
}

namespace {

// One render setting over the selected objects that have it.
template <class TWrap>
ObjectResult ApplyStyle(CLoopwrightDoc& doc, const typename TWrap::Value& value, const std::string& description,
                        bool vectorOnly) {
  const std::vector<int> indexes = SelectedIndexes(doc);
  if (indexes.empty()) return ObjectResult::Refused(kNoSelection);
  auto action = std::make_unique<CModifyShapeObjsRenderAction<TWrap>>(doc, description);
  bool eligible = false;
  for (int j : indexes) {
    const RefPtr<CDib>& object = doc.m_objects[std::size_t(j)];
    if (vectorOnly && !VectorObjectOf(*object)) continue;
    eligible = true;
    if (TWrap::Get(*object) == value) continue;
    const std::size_t i = action->Add(object);
    TWrap::Set(*object, value);
    if (!TWrap::kRebuildsPicture) continue;
    std::unique_ptr<CModifyDibElm> picture = RebuildObjectPicture(doc, object);
    if (!picture) {
      // Take back what was changed so far; nothing is recorded.
      action->Restore(i);
      action->ExchangeFirst(i);
      return ObjectResult::Refused("object " + std::to_string(j) + " draws nothing with that setting");
    }
    action->SetPictureRecord(i, std::move(picture));
  }
  if (!eligible) return ObjectResult::Refused("no shape or text object is selected");
  if (action->GetCount() == 0) return ObjectResult::Done();
  Record(doc, action.release());
  doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
  return ObjectResult::Done();
}

template <class TProp>
using RenderWrap = CModifyRefImageObjectPropWrap<TProp>;

}  // namespace

ObjectResult SetSelectedStyle(CLoopwrightDoc& doc, StyleKey key, const CStyleValue& v) {
  const double n = v.number;
  auto inRange = [&](double lo, double hi) { return Finite(n) && n >= lo && n <= hi; };
  switch (key) {
    case StyleKey::FILL:
      if (!inRange(0, 0xFFFFFF)) return ObjectResult::Refused("the colour must be 0x000000 to 0xFFFFFF");
      return ApplyStyle<RenderWrap<CModifyShapeObjFilledColorWrap>>(doc, COLORREF(n), Tr("Change Fill Color"), true);
    case StyleKey::OUTLINE:
      if (!inRange(0, 0xFFFFFF)) return ObjectResult::Refused("the colour must be 0x000000 to 0xFFFFFF");
      return ApplyStyle<RenderWrap<CModifyShapeObjOutlineColorWrap>>(doc, COLORREF(n), "Change Outline Color", true);
    case StyleKey::OUTLINE_WIDTH:
      if (!inRange(0, 1000)) return ObjectResult::Refused("the outline width must be 0 to 1000");
      return ApplyStyle<RenderWrap<CModifyShapeObjOutlineWidthWrap>>(doc, n, "Change Outline Width", true);
    case StyleKey::DASH:
      if (!inRange(0, TevCustomPathLibV::kDashStyleCount - 1) || n != std::floor(n))
        return ObjectResult::Refused("the dash style must be 0 to " +
                                     std::to_string(TevCustomPathLibV::kDashStyleCount - 1));
      return ApplyStyle<RenderWrap<CModifyShapeObjDashStyleWrap>>(doc, std::int32_t(n), "Change Dash Style", true);
    case StyleKey::FILL_INSIDE:
      if (n != 0 && n != 1) return ObjectResult::Refused("fill-inside is 0 or 1");
      return ApplyStyle<RenderWrap<CModifyShapeObjFillInsideFlagWrap>>(doc, n != 0, "Change Fill Inside", true);
    case StyleKey::STROKE_OUTLINE:
      if (n != 0 && n != 1) return ObjectResult::Refused("stroke-outline is 0 or 1");
      return ApplyStyle<RenderWrap<CModifyShapeObjStrokeOutlineFlagWrap>>(doc, n != 0, "Change Stroke Outline",
                                                                            true);
    case StyleKey::FILL_GRADIENT:
      if (v.fillMode < 0 || v.fillMode >= TevCustomPathLibV::kFillModeCount)
        return ObjectResult::Refused("unknown fill mode");
      return ApplyStyle<RenderWrap<CModifyShapeObjFilledGradientColorsWrap>>(
          doc, CFillGradientValue{v.gradient, v.fillMode}, "Change Fill Gradient", true);
    case StyleKey::OUTLINE_GRADIENT:
      return ApplyStyle<RenderWrap<CModifyShapeObjStrokenGradientColorsWrap>>(doc, v.gradient,
                                                                              "Change Outline Gradient", true);
    case StyleKey::TRANSPARENCY:
      if (!inRange(0, 255)) return ObjectResult::Refused("the transparency must be 0 to 255");
      return ApplyStyle<CModifyObjectTransparencyWrap>(doc, BYTE(n), "Change Shape Transparency", true);
    case StyleKey::SHADOW:
      if (!inRange(0, 9) || n != std::floor(n)) return ObjectResult::Refused("the shadow kind must be 0 to 9");
      return ApplyStyle<CModifyObjectShadowStyleWrap>(doc, CShadowStyle{std::int32_t(n), true}, "Change Shadow Style",
                                                       false);
  }
  return ObjectResult::Refused("unknown style setting");
}
