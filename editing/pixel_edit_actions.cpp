#include "editing/pixel_edit_actions.h"

#include <algorithm>
#include <unordered_map>

#include "app/compose.h"
#include "app/frame_render.h"
#include "app/import_dispatch.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/object_command_support.h"
#include "companions/base/tr.h"

using TevImageTransform::CTevObjImage;
using TevImageTransform::CTevObjSelection;

namespace {

const char* const kNoFrame = "there is no current frame";
const char* const kNothingSelected = "nothing is selected";
const char* const kNothingCovered = "the selection covers no visible object";

// A 32-bit copy of an object's picture, or null.
DibPtr Clone32(const BITMAPINFOHEADER* picture) {
  if (!picture) return nullptr;
  CTevObjImage image;
  if (!image.Create(picture)) return nullptr;
  if (image.ColorBits() != 32) image.ConvertTo32Bit();
  if (image.ColorBits() != 32) return nullptr;
  return DibPtr(image.Detch());
}

// Bounds of the pixels with a non-zero alpha; empty when there is none.
RECT VisibleBounds(const BITMAPINFOHEADER* picture) {
  RECT r{picture->biWidth, DibHeight(picture), 0, 0};
  for (LONG y = 0; y < DibHeight(picture); ++y) {
    const BYTE* row = DibRow(picture, y);
    for (LONG x = 0; x < picture->biWidth; ++x)
      if (row[4 * x + 3]) {
        r.left = std::min(r.left, x);
        r.right = std::max(r.right, x + 1);
        r.top = std::min(r.top, y);
        r.bottom = std::max(r.bottom, y + 1);
      }
  }
  return r;
}

// The part of picture inside r (r within the picture).
DibPtr SubPicture(const BITMAPINFOHEADER* picture, RECT r) {
  DibPtr out(CDIB32::CreateBlank32BitsDIB(r.right - r.left, r.bottom - r.top));
  if (!out) return nullptr;
  for (LONG y = r.top; y < r.bottom; ++y)
    std::copy_n(DibRow(picture, y) + 4 * r.left, 4 * std::size_t(r.right - r.left), DibRow(out.get(), y - r.top));
  return out;
}

// Scales every pixel by its keep factor: keep(level) is 255 - level for
// clearing the selected part, level for keeping only the selected part.
void MaskPixels(BITMAPINFOHEADER* picture, const CTevObjSelection& selection, POINT at, bool clearSelected) {
  for (LONG y = 0; y < DibHeight(picture); ++y) {
    BYTE* row = DibRow(picture, y);
    for (LONG x = 0; x < picture->biWidth; ++x) {
      const int level = selection.GetPosLevel(int(at.x + x), int(at.y + y));
      const int keep = clearSelected ? 255 - level : level;
      if (keep == 255) continue;
      BYTE* p = row + 4 * x;
      for (int c = 0; c < 4; ++c) p[c] = BYTE((p[c] * keep + 127) / 255);
    }
  }
}

bool WhollySelected(const CTevObjSelection& selection, RECT r) {
  const RECT m = selection.GetRect();
  if (r.left < m.left || r.top < m.top || r.right > m.right || r.bottom > m.bottom) return false;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x)
      if (selection.GetPosLevel(x, y) != 255) return false;
  return true;
}

// The visible references of the current frame, one per object.
std::vector<RefPtr<CRefImageObject>> VisibleRefs(const CGifFrame& frame) {
  std::vector<const CDib*> objects;
  std::vector<std::size_t> places;
  frame.m_refs.ForEachShown([&](std::size_t j, const CRefImageObject& ref) {
    if (!ref.m_pObject || !ref.m_pObject->GetImage()) return;
    if (std::find(objects.begin(), objects.end(), ref.m_pObject.get()) != objects.end()) return;
    objects.push_back(ref.m_pObject.get());
    places.push_back(j);
  });
  // The caller may change them, so they become the frame's own entries.
  CRefImageObjectList& list = const_cast<CGifFrame&>(frame).m_refs;
  std::vector<RefPtr<CRefImageObject>> refs;
  for (std::size_t j : places) refs.push_back(list.EditRef(j));
  return refs;
}

RECT RectOf(const CRefImageObject& ref) {
  return RECT{ref.m_nX, ref.m_nY, ref.m_nX + ref.m_pObject->GetImage()->biWidth,
              ref.m_nY + DibHeight(ref.m_pObject->GetImage())};
}

// Moves every frame's reference to object by (dx, dy).
void MoveRefs(CLoopwrightDoc& doc, const CDib* object, int dx, int dy) {
  for (const auto& frame : doc.m_frames)
    for (std::size_t j : frame->m_refs.PlacesOf(object)) {
      CRefImageObject* ref = frame->m_refs.Edit(j);
      ref->m_nX += dx;
      ref->m_nY += dy;
    }
}

// Installs picture (trimmed to its visible part) in the object; returns the
// element that undoes it, or null when nothing visible is left.
std::unique_ptr<CModifyDibElm> InstallTrimmed(CLoopwrightDoc& doc, CDib& object, DibPtr picture, POINT cut) {
  const RECT b = VisibleBounds(picture.get());
  if (b.left >= b.right || b.top >= b.bottom) return nullptr;
  DibPtr trimmed = SubPicture(picture.get(), b);
  if (!trimmed) return nullptr;
  DibPtr previous = ExchangeObjectImage(object, std::move(trimmed));
  if (!previous) return nullptr;
  const int dx = int(cut.x + b.left), dy = int(cut.y + b.top);
  MoveRefs(doc, &object, dx, dy);
  return std::make_unique<CModifyDibElm>(RefPtr<CDib>(&object), std::move(previous), dx, dy);
}

}  // namespace

// CRemoveDibElm ------------------------------------------------------------

bool CRemoveDibElm::Redo(CLoopwrightDoc& doc) {
  auto it = std::find(doc.m_objects.begin(), doc.m_objects.end(), m_pObject);
  if (it == doc.m_objects.end()) return false;
  m_nIndex = std::size_t(it - doc.m_objects.begin());
  doc.m_objects.erase(it);
  auto sel = std::find(doc.m_selectedObjects.begin(), doc.m_selectedObjects.end(), m_pObject);
  m_nSelectedIndex = sel == doc.m_selectedObjects.end() ? -1 : sel - doc.m_selectedObjects.begin();
  if (sel != doc.m_selectedObjects.end()) doc.m_selectedObjects.erase(sel);
  m_refs.clear();
  // Frames that share a base and lose the same place share the new base.
  std::unordered_map<std::size_t, CRefTableMemo> memos;
  for (const auto& frame : doc.m_frames) {
    const int i = frame->m_refs.FindObject(m_pObject.get());
    if (i < 0) continue;
    const std::size_t at = std::size_t(i);
    m_refs.push_back(FrameRef{frame, frame->m_refs.EditRef(at), at});
    frame->m_refs.erase(at, &memos[at]);
  }
  return true;
}

bool CRemoveDibElm::Undo(CLoopwrightDoc& doc) {
  doc.m_objects.insert(doc.m_objects.begin() + std::ptrdiff_t(std::min(m_nIndex, doc.m_objects.size())), m_pObject);
  if (m_nSelectedIndex >= 0) {
    const std::size_t at = std::min(std::size_t(m_nSelectedIndex), doc.m_selectedObjects.size());
    doc.m_selectedObjects.insert(doc.m_selectedObjects.begin() + std::ptrdiff_t(at), m_pObject);
  }
  std::unordered_map<std::size_t, CRefTableMemo> memos;
  for (const FrameRef& r : m_refs) {
    const std::size_t at = std::min(r.index, r.frame->m_refs.size());
    r.frame->m_refs.insert(at, r.ref, &memos[at], false);
  }
  m_refs.clear();
  return true;
}

// CRemoveDibsAction ---------------------------------------------------------

CRemoveDibsAction::CRemoveDibsAction(CLoopwrightDoc& doc, int flag) : m_doc(doc), m_nFlag(flag) {
  SetMenuText(FlagText(flag, false));
}

std::string CRemoveDibsAction::FlagText(int flag, bool redo) {
  return std::string(redo ? "Redo " : "Undo ") + (flag == 1 ? "Delete" : "Cut");
}

void CRemoveDibsAction::RemoveNow(RefPtr<CDib> object) {
  auto element = std::make_unique<CRemoveDibElm>(std::move(object));
  if (element->Redo(m_doc)) m_removed.push_back(std::move(element));
}

void CRemoveDibsAction::UndoRemovals() {
  for (auto it = m_removed.rbegin(); it != m_removed.rend(); ++it) (*it)->Undo(m_doc);
}

void CRemoveDibsAction::RedoRemovals() {
  for (auto& e : m_removed) e->Redo(m_doc);
}

void CRemoveDibsAction::Undo() {
  UndoRemovals();
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
  SetMenuText(FlagText(m_nFlag, true));
}

void CRemoveDibsAction::Redo() {
  RedoRemovals();
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
  SetMenuText(FlagText(m_nFlag, false));
}

void CCutDibsAction::Undo() {
  for (auto it = m_modified.rbegin(); it != m_modified.rend(); ++it) (*it)->Undo(m_doc);
  CRemoveDibsAction::Undo();
}

void CCutDibsAction::Redo() {
  RedoRemovals();
  for (auto& e : m_modified) e->Redo(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
  SetMenuText(FlagText(m_nFlag, false));
}

// CCropSelectionAction ------------------------------------------------------

void CCropSelectionAction::RemoveNow(RefPtr<CDib> object) {
  auto element = std::make_unique<CRemoveDibElm>(std::move(object));
  if (element->Redo(m_doc)) m_removed.push_back(std::move(element));
}

void CCropSelectionAction::Undo() {
  for (auto it = m_removed.rbegin(); it != m_removed.rend(); ++it) (*it)->Undo(m_doc);
  CTrimObjsDIBAction::Undo();
}

void CCropSelectionAction::Redo() {
  CTrimObjsDIBAction::Redo();
  for (auto& e : m_removed) e->Redo(m_doc);
}

// Commands -------------------------------------------------------------------

ObjectResult CopyToClipboard(const CLoopwrightDoc& doc, const CTevObjSelection* selection,
                             CPixelClipboard& clipboard) {
  const CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return ObjectResult::Refused(kNoFrame);
  DibPtr composed;
  if (selection && !selection->IsSelectionEmpty()) {
    composed = RenderFrame(doc, *frame);
    if (!composed) return ObjectResult::Refused(Tr("Out of memory!"));
    MaskPixels(composed.get(), *selection, POINT{0, 0}, false);
  } else {
    CGifFrame shown;
    for (const CRefImageObject* ref : frame->m_refs)
      if (ref && std::find(doc.m_selectedObjects.begin(), doc.m_selectedObjects.end(), ref->m_pObject) !=
                     doc.m_selectedObjects.end())
        shown.m_refs.push_back(MakeRef<CRefImageObject>(*ref));
    if (shown.m_refs.empty()) return ObjectResult::Refused(kNothingSelected);
    composed.reset(CDIB32::CreateBlank32BitsDIB(std::max(1, doc.m_nWidth), std::max(1, doc.m_nHeight)));
    if (!composed) return ObjectResult::Refused(Tr("Out of memory!"));
    ComposeFrame(composed.get(), POINT{0, 0}, shown);
  }
  const RECT b = VisibleBounds(composed.get());
  if (b.left >= b.right || b.top >= b.bottom) return ObjectResult::Refused("there is nothing visible to copy");
  DibPtr picture = SubPicture(composed.get(), b);
  if (!picture) return ObjectResult::Refused(Tr("Out of memory!"));
  clipboard.picture = std::move(picture);
  clipboard.position = POINT{b.left, b.top};
  return ObjectResult::Done();
}

ObjectResult DeleteInSelection(CLoopwrightDoc& doc, const CTevObjSelection& selection, bool cut,
                               CPixelClipboard* clipboard) {
  CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return ObjectResult::Refused(kNoFrame);
  if (selection.IsSelectionEmpty()) return ObjectResult::Refused(kNothingSelected);
  CPixelClipboard copied;
  if (cut && clipboard && !CopyToClipboard(doc, &selection, copied).ok)
    return ObjectResult::Refused(kNothingCovered);
  auto action = std::make_unique<CCutDibsAction>(doc, cut ? 0 : 1);
  for (const auto& ref : VisibleRefs(*frame)) {
    const RECT r = RectOf(*ref);
    CDib& object = *ref->m_pObject;
    if (WhollySelected(selection, r)) {
      action->RemoveNow(RefPtr<CDib>(&object));
      continue;
    }
    if (!selection.IsRectInSelection(r)) continue;
    DibPtr work = Clone32(object.GetImage());
    if (!work) continue;
    MaskPixels(work.get(), selection, POINT{r.left, r.top}, true);
    if (auto element = InstallTrimmed(doc, object, std::move(work), POINT{0, 0}))
      action->Add(std::move(element));
    else
      action->RemoveNow(RefPtr<CDib>(&object));  // nothing visible left
  }
  if (action->IsEmpty()) return ObjectResult::Refused(kNothingCovered);
  objcmd::Record(doc, action.release());
  if (cut && clipboard) *clipboard = std::move(copied);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, frame);
  return ObjectResult::Done();
}

ObjectResult DeleteSelectedObjectsWhole(CLoopwrightDoc& doc, bool cut, CPixelClipboard* clipboard) {
  const std::vector<int> indexes = objcmd::SelectedIndexes(doc);
  if (indexes.empty()) return ObjectResult::Refused(kNothingSelected);
  CPixelClipboard copied;
  if (cut && clipboard) {
    const ObjectResult r = CopyToClipboard(doc, nullptr, copied);
    if (!r.ok) return r;
  }
  objcmd::Record(doc, new CUpdateObjsListAction(doc, cut ? CUpdateObjsListAction::CUT : CUpdateObjsListAction::DELETE));
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) doc.RemoveObject(*it);
  doc.m_selectedObjects.clear();
  if (cut && clipboard) *clipboard = std::move(copied);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return ObjectResult::Done();
}

ObjectResult PasteClipboard(CLoopwrightDoc& doc, const CPixelClipboard& clipboard) {
  if (clipboard.IsEmpty()) return ObjectResult::Refused("the clipboard is empty");
  DibPtr copy(DibCopy(clipboard.picture.get()));
  if (!copy) return ObjectResult::Refused(Tr("Out of memory!"));
  auto object = MakeRef<CDib>(std::move(copy), OBJECT_RASTER);
  if (!object->GetImage()) return ObjectResult::Refused(Tr("Out of memory!"));
  return AddObjectOnTop(doc, object, clipboard.position.x, clipboard.position.y, 0, CUpdateObjsListAction::PASTE);
}

ObjectResult PasteImageFile(CLoopwrightDoc& doc, const std::string& path) {
  if (!doc.GetCurrentFrame()) return ObjectResult::Refused(kNoFrame);
  CGifImage file;
  std::string reason;
  if (!ImportImageFile(file, path, false, doc.Prompt(), nullptr, &reason) || file.m_objects.empty() ||
      !file.m_objects.front()->GetImage())
    return ObjectResult::Refused(TrFormat("Failed to load the file %s!", {path}) + (reason.empty() ? "" : " (" + reason + ")"));
  CPixelClipboard picture;
  picture.picture = Clone32(file.m_objects.front()->GetImage());
  if (!picture.picture) return ObjectResult::Refused(Tr("Out of memory!"));
  return PasteClipboard(doc, picture);
}

ObjectResult CropToSelection(CLoopwrightDoc& doc, const CTevObjSelection& selection) {
  CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return ObjectResult::Refused(kNoFrame);
  if (selection.IsSelectionEmpty()) return ObjectResult::Refused(kNothingSelected);
  const RECT bounds = selection.GetRect();
  auto action = std::make_unique<CCropSelectionAction>(doc);
  bool changed = false;
  for (const auto& ref : VisibleRefs(*frame)) {
    const RECT r = RectOf(*ref);
    CDib& object = *ref->m_pObject;
    // Every pixel fully selected: nothing to crop.
    if (WhollySelected(selection, r)) continue;
    const RECT keep{std::max(r.left, bounds.left), std::max(r.top, bounds.top), std::min(r.right, bounds.right),
                    std::min(r.bottom, bounds.bottom)};
    if (keep.left >= keep.right || keep.top >= keep.bottom) {
      action->RemoveNow(RefPtr<CDib>(&object));
      changed = true;
      continue;
    }
    DibPtr whole = Clone32(object.GetImage());
    if (!whole) continue;
    const RECT local{keep.left - r.left, keep.top - r.top, keep.right - r.left, keep.bottom - r.top};
    DibPtr part = SubPicture(whole.get(), local);
    if (!part) continue;
    MaskPixels(part.get(), selection, POINT{keep.left, keep.top}, false);
    if (auto element = InstallTrimmed(doc, object, std::move(part), POINT{local.left, local.top}))
      action->Add(std::move(element));
    else
      action->RemoveNow(RefPtr<CDib>(&object));
    changed = true;
  }
  if (!changed) return ObjectResult::Refused("the selection leaves every visible object as it is");
  objcmd::Record(doc, action.release());
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, frame);
  return ObjectResult::Done();
}
