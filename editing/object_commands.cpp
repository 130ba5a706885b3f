// Object list commands: new, add, duplicate, delete, combine, make the
// frame one object, order, trim, convert.
#include "editing/object_commands.h"

#include <algorithm>
#include <memory>

#include "app/dib_factories.h"
#include "app/frame_render.h"
#include "companions/dibkernel/dib_geometry.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/object_actions.h"
#include "editing/object_command_support.h"
#include "editing/object_property_actions.h"
#include "companions/base/tr.h"

using namespace objcmd;

const TrText kNothingToTrimMessage{TrMark("The selected objects have nothing transparent to trim!")};
const TrText kAlreadyAtBackMessage{TrMark("The selected object is already at the back!")};
const TrText kAlreadyAtFrontMessage{TrMark("The selected object is already at the front!")};
const TrText kNoVisibleObjectMessage{TrMark("None of the selected objects is visible!")};
const TrText kLockedObjectsMessage{TrMark("Some objects are locked. To move them, click the lock icon in the objects panel to unlock them.")};

namespace objcmd {

std::vector<int> SelectedIndexes(const CLoopwrightDoc& doc) {
  std::vector<int> out;
  for (const auto& o : doc.m_selectedObjects) {
    const int i = doc.IndexOfObject(o.get());
    if (i >= 0) out.push_back(i);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<bool> SelectedMask(const CLoopwrightDoc& doc) {
  std::vector<bool> mask(doc.m_objects.size(), false);
  for (int i : SelectedIndexes(doc)) mask[std::size_t(i)] = true;
  return mask;
}

bool ResolveFrames(const CLoopwrightDoc& doc, const CFrameTargets& targets, std::vector<CGifFrame*>& frames,
                   std::string& why) {
  frames.clear();
  auto add = [&](int i) {
    CGifFrame* f = doc.GetFrame(i);
    if (!f) {
      why = "no frame " + std::to_string(i);
      return false;
    }
    if (std::find(frames.begin(), frames.end(), f) == frames.end()) frames.push_back(f);
    return true;
  };
  switch (targets.scope) {
    case CFrameTargets::CURRENT:
      if (!doc.GetCurrentFrame()) break;
      return add(doc.m_nCurrentFrame);
    case CFrameTargets::SELECTED:
      for (int i : doc.m_selectedFrames)
        if (!add(i)) return false;
      break;
    case CFrameTargets::ALL:
      for (int i = 0; i < doc.GetFrameCount(); ++i) add(i);
      break;
    case CFrameTargets::LIST:
      for (int i : targets.frames)
        if (!add(i)) return false;
      break;
  }
  if (frames.empty()) why = "there is no frame to change";
  return !frames.empty();
}

bool CheckIndex(const CLoopwrightDoc& doc, int index, std::string& why) {
  if (index >= 0 && index < doc.GetObjectCount()) return true;
  why = "no object " + std::to_string(index) + " (the animation has " + std::to_string(doc.GetObjectCount()) +
        " objects)";
  return false;
}

// Reorders the object list and every frame's references: new place k
// holds old object order[k].
void PermuteObjects(CLoopwrightDoc& doc, const std::vector<int>& order) {
  if (doc.m_objects.size() != order.size()) return;
  const CRefDibsList old = doc.m_objects;
  std::vector<std::size_t> inverse(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    doc.m_objects[k] = old[std::size_t(order[k])];
    inverse[std::size_t(order[k])] = k;
  }
  CRefTableMemo memo;
  for (const auto& frame : doc.m_frames) FrameRefList(*frame).Permute(order, inverse, memo);
}

}  // namespace objcmd

namespace {

const char* const kNoSelection = "no object is selected";

// A generator of the same parameters that the copy can change alone.
RefPtr<CDibFactory> CloneFactory(const CDibFactory* f) {
  if (const auto* b = dynamic_cast<const CBitmapDibFactory*>(f)) {
    DibPtr source(b->GetSource() ? DibCopy(b->GetSource()) : nullptr);
    if (b->GetSource() && !source) return nullptr;
    auto copy = MakeRef<CBitmapDibFactory>(std::move(source));
    copy->SetParameters(b->ScaleX(), b->ScaleY(), b->GetAngle());
    copy->SetFilter(b->Filter());
    return copy;
  }
  if (const auto* s = dynamic_cast<const CShapeDibFactory*>(f)) return MakeRef<CShapeDibFactory>(*s);
  if (const auto* t = dynamic_cast<const CTextDibFactory*>(f)) return MakeRef<CTextDibFactory>(*t);
  return nullptr;
}

// Puts object at index with a reference at (x, y) in every frame, shown on
// the current frame only.
void InsertShownOnCurrent(CLoopwrightDoc& doc, int index, const RefPtr<CDib>& object, int x, int y) {
  CGifFrame* current = doc.GetCurrentFrame();
  auto hidden = MakeRef<CRefImageObject>(object);
  hidden->m_nX = x;
  hidden->m_nY = y;
  if (!doc.InsertObjectShared(index, hidden) || !current) return;
  if (CRefImageObject* shown = current->m_refs.Edit(std::size_t(index))) shown->m_bVisible = true;
}

// The given references of the current frame composed at canvas size.
DibPtr ComposeRefs(const CLoopwrightDoc& doc, const CRefImageObjectList& refs) {
  CGifFrame temp;
  temp.m_refs = refs;
  return RenderFrame(doc, temp);
}


}  // namespace

ObjectResult NewObject(CLoopwrightDoc& doc, int width, int height, int fill) {
  if (!doc.GetCurrentFrame()) return ObjectResult::Refused("there is no current frame");
  if (width <= 0 || height <= 0) width = doc.m_nWidth, height = doc.m_nHeight;
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension)
    return ObjectResult::Refused("the object size must be 1 to " + std::to_string(kMaxDibDimension));
  DibPtr picture(CDIB32::CreateBlank32BitsDIB(width, height));
  if (!picture) return ObjectResult::Refused(Tr("Out of memory!"));
  if (fill >= 0) {
    const COLORREF c = COLORREF(fill);
    for (LONG y = 0; y < height; ++y) {
      BYTE* p = DibRow(picture.get(), y);
      for (LONG x = 0; x < width; ++x, p += 4) {
        p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c), p[3] = 255;
      }
    }
  }
  auto object = MakeRef<CDib>(std::move(picture), OBJECT_RASTER);
  if (!object->GetImage()) return ObjectResult::Refused(Tr("Out of memory!"));
  return AddObjectOnTop(doc, object, 0, 0, 0);
}

ObjectResult AddObjectOnTop(CLoopwrightDoc& doc, RefPtr<CDib> object, int x, int y, int shadowKind, int listKind) {
  if (!doc.GetCurrentFrame()) return ObjectResult::Refused("there is no current frame");
  if (!object || !object->GetImage()) return ObjectResult::Refused("the object has no picture");
  const int kind = listKind >= 0                      ? listKind
                   : object->m_nKind == OBJECT_TEXT  ? CUpdateObjsListAction::ADD_TEXT
                   : object->m_nKind == OBJECT_SHAPE ? CUpdateObjsListAction::PAINT_SHAPE
                                                     : CUpdateObjsListAction::NEW_OBJECT;
  object->m_strName = doc.App().NextDefaultObjectName();
  object->m_nShadowKind = shadowKind;
  object->BuildShadow();
  Record(doc, new CUpdateObjsListAction(doc, kind));
  InsertShownOnCurrent(doc, doc.GetObjectCount(), object, x, y);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}

ObjectResult DuplicateSelectedObjects(CLoopwrightDoc& doc) {
  const std::vector<bool> selected = SelectedMask(doc);
  if (std::find(selected.begin(), selected.end(), true) == selected.end()) return ObjectResult::Refused(kNoSelection);
  CRefDibsList objects, copies;
  for (std::size_t j = 0; j < doc.m_objects.size(); ++j) {
    objects.push_back(doc.m_objects[j]);
    if (!selected[j]) continue;
    const CDib& original = *doc.m_objects[j];
    auto copy = MakeRef<CDib>(original);
    if (original.GetImage() && !copy->GetImage()) return ObjectResult::Refused(Tr("Out of memory!"));
    if (original.m_pFactory) {
      copy->m_pFactory = CloneFactory(original.m_pFactory.get());
      if (!copy->m_pFactory) copy->m_nKind = OBJECT_RASTER;
    }
    objects.push_back(copy);
    copies.push_back(copy);
  }
  // Names are given only once nothing can fail any more.
  for (const auto& c : copies) c->m_strName = doc.App().NextDefaultObjectName();
  Record(doc, new CUpdateObjsListAction(doc, CUpdateObjsListAction::DUPLICATE));
  // Each copy goes right above its original, in every frame; from the top
  // down so the places below stay where they are.
  std::size_t next = copies.size();
  for (std::size_t j = doc.m_objects.size(); j-- > 0;) {
    if (!selected[j]) continue;
    const RefPtr<CDib>& copy = copies[--next];
    CRefTableMemo memo;
    for (const auto& frame : doc.m_frames) FrameRefList(*frame).DuplicatePlace(j, copy, memo);
  }
  doc.m_objects.swap(objects);
  doc.m_selectedObjects = copies;
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}

ObjectResult DeleteSelectedObjects(CLoopwrightDoc& doc) {
  const std::vector<int> indexes = SelectedIndexes(doc);
  if (indexes.empty()) return ObjectResult::Refused(kNoSelection);
  Record(doc, new CUpdateObjsListAction(doc, CUpdateObjsListAction::DELETE_OBJECTS));
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) doc.RemoveObject(*it);
  doc.m_selectedObjects.clear();
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}

ObjectResult CombineSelectedObjects(CLoopwrightDoc& doc) {
  CGifFrame* current = doc.GetCurrentFrame();
  const std::vector<int> indexes = SelectedIndexes(doc);
  if (!current) return ObjectResult::Refused("there is no current frame");
  if (indexes.empty()) return ObjectResult::Refused(kNoSelection);
  CRefImageObjectList shown;
  std::vector<int> merged;
  for (int j : indexes) {
    const CRefImageObject* ref = PeekRefOf(*current, j);
    if (ref && ref->m_bVisible && ref->m_pObject && ref->m_pObject->GetImage()) {
      shown.push_back(MakeRef<CRefImageObject>(*ref));
      merged.push_back(j);
    }
  }
  if (merged.empty()) return ObjectResult::Refused(kNoVisibleObjectMessage);
  DibPtr picture = ComposeRefs(doc, shown);
  if (!picture) return ObjectResult::Refused(Tr("Out of memory!"));
  auto object = MakeRef<CDib>(std::move(picture), OBJECT_RASTER);
  if (!object->GetImage()) return ObjectResult::Refused(Tr("Out of memory!"));
  object->m_strName = doc.App().NextDefaultObjectName();
  Record(doc, new CUpdateObjsListAction(doc, CUpdateObjsListAction::COMBINE));
  // The new object takes the place of the top-most merged one.
  const int at = merged.back() - int(merged.size()) + 1;
  for (auto it = merged.rbegin(); it != merged.rend(); ++it) doc.RemoveObject(*it);
  InsertShownOnCurrent(doc, at, object, 0, 0);
  doc.m_selectedObjects.assign(1, object);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, current);
  return ObjectResult::Done();
}

ObjectResult MakeFrameSingleObject(CLoopwrightDoc& doc) {
  CGifFrame* current = doc.GetCurrentFrame();
  if (!current) return ObjectResult::Refused("there is no current frame");
  std::vector<RefPtr<CRefImageObject>> shown;
  CRefImageObjectList shownList;
  current->m_refs.ForEachShown([&](std::size_t j, const CRefImageObject& ref) {
    if (int(j) < doc.GetObjectCount() && ref.m_pObject && ref.m_pObject->GetImage()) {
      shown.push_back(RefPtr<CRefImageObject>(RefOf(*current, int(j))));
      shownList.push_back(shown.back());
    }
  });
  if (shown.empty()) return ObjectResult::Refused(kNoVisibleObjectMessage);
  DibPtr picture = ComposeRefs(doc, shownList);
  if (!picture) return ObjectResult::Refused(Tr("Out of memory!"));
  auto object = MakeRef<CDib>(std::move(picture), OBJECT_RASTER);
  if (!object->GetImage()) return ObjectResult::Refused(Tr("Out of memory!"));
  object->m_strName = doc.App().NextDefaultObjectName();
  auto* action = new CMakeFrameAsSingleObjectAction(doc);
  for (const auto& ref : shown) action->AddHidden(ref);
  Record(doc, action);
  for (const auto& ref : shown) ref->m_bVisible = false;
  InsertShownOnCurrent(doc, doc.GetObjectCount(), object, 0, 0);
  doc.m_selectedObjects.assign(1, object);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, current);
  return ObjectResult::Done();
}

ObjectResult ReorderSelectedObjects(CLoopwrightDoc& doc, int kind) {
  if (kind < 0 || kind > 3) return ObjectResult::Refused("unknown order command");
  std::vector<bool> sel = SelectedMask(doc);
  const int n = int(sel.size());
  if (std::find(sel.begin(), sel.end(), true) == sel.end()) return ObjectResult::Refused(kNoSelection);
  const bool up = kind == CEditSequenceAction::TO_FRONT || kind == CEditSequenceAction::FORWARD;
  if (up && sel[std::size_t(n - 1)]) return ObjectResult::Refused(kAlreadyAtFrontMessage);
  if (!up && sel[0]) return ObjectResult::Refused(kAlreadyAtBackMessage);
  std::vector<int> order;
  if (kind == CEditSequenceAction::TO_FRONT || kind == CEditSequenceAction::TO_BACK) {
    // Kept order within each group; the selected group goes to one end.
    for (int pass = 0; pass < 2; ++pass)
      for (int j = 0; j < n; ++j)
        if (sel[std::size_t(j)] == ((pass == 0) != up)) order.push_back(j);
  } else {
    for (int j = 0; j < n; ++j) order.push_back(j);
    // Each selected object steps over its unselected neighbour; starting
    // at the end it moves towards lets a selected run move as a block.
    if (up) {
      for (int j = n - 2; j >= 0; --j)
        if (sel[std::size_t(j)] && !sel[std::size_t(j + 1)]) {
          std::swap(order[std::size_t(j)], order[std::size_t(j + 1)]);
          std::vector<bool>::swap(sel[std::size_t(j)], sel[std::size_t(j + 1)]);
        }
    } else {
      for (int j = 1; j < n; ++j)
        if (sel[std::size_t(j)] && !sel[std::size_t(j - 1)]) {
          std::swap(order[std::size_t(j)], order[std::size_t(j - 1)]);
          std::vector<bool>::swap(sel[std::size_t(j)], sel[std::size_t(j - 1)]);
        }
    }
  }
  Record(doc, new CEditSequenceAction(doc, kind));
  PermuteObjects(doc, order);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}

ObjectResult TrimSelectedObjects(CLoopwrightDoc& doc) {
  const std::vector<int> indexes = SelectedIndexes(doc);
  if (indexes.empty()) return ObjectResult::Refused(kNoSelection);
  auto action = std::make_unique<CTrimObjsDIBAction>(doc, CTrimObjsDIBAction::TRIM_OBJECTS);
  for (int j : indexes) {
    const RefPtr<CDib>& object = doc.m_objects[std::size_t(j)];
    // A generator object's picture is rebuilt from its parameters (when the
    // project is opened again, for one), so a cut would not last.
    if (object->m_pFactory || !object->GetImage()) continue;
    LONG l = 0, t = 0, r = 0, b = 0;
    // A wholly transparent picture has no opaque part to keep: it is left
    // as it is rather than cut to nothing.
    if (!DibKernel::CheckBlankBorder(object->GetImage(), &l, &t, &r, &b) || (!l && !t && !r && !b)) continue;
    DibPtr trimmed(DibKernel::Trim32BitsDIB(object->GetImage(), l, t, r, b));
    if (!trimmed) continue;
    DibPtr old = ExchangeObjectImage(*object, std::move(trimmed));
    if (!old) continue;
    OffsetRefsOf(doc, object.get(), int(l), int(t));
    action->Add(std::make_unique<CModifyDibElm>(object, std::move(old), int(l), int(t)));
  }
  if (action->IsEmpty()) return ObjectResult::Refused(kNothingToTrimMessage);
  Record(doc, action.release());
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}

ObjectResult ConvertSelectedToImage(CLoopwrightDoc& doc) {
  const std::vector<int> indexes = SelectedIndexes(doc);
  if (indexes.empty()) return ObjectResult::Refused(kNoSelection);
  auto action = std::make_unique<CConvertToBmpObjectAction>(doc);
  for (int j : indexes)
    if (doc.m_objects[std::size_t(j)]->m_pFactory) action->Add(doc.m_objects[std::size_t(j)]);
  if (action->IsEmpty()) return ObjectResult::Refused("no picture, text or shape object is selected");
  Record(doc, action.release());
  for (int j : indexes) {
    CDib& object = *doc.m_objects[std::size_t(j)];
    object.m_pFactory.reset();
    object.m_nKind = OBJECT_RASTER;
  }
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}
