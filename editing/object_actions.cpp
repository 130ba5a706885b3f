#include "editing/object_actions.h"

#include <utility>

#include "companions/base/tr.h"

namespace {

struct KindTexts {
  const char* undo;
  const char* redo;
};

// Indexed by CUpdateObjsListAction kind; kind 4 has no text.
constexpr KindTexts kListTexts[] = {
    {TrMark("Undo New Object"), "Redo New Object"},
    {"Undo Duplicate Object(s)", TrMark("Redo Duplicate Object(s)")},
    {"Undo Delete Object(s)", TrMark("Redo Delete Object(s)")},
    {"Undo Combine as Single Object", TrMark("Redo Combine as Single Object")},
    {nullptr, nullptr},
    {"Undo Paste", "Redo Paste"},
    {"Undo Delete", "Redo Delete"},
    {"Undo Cut", "Redo Cut"},
    {"Undo Add Text", "Redo Add Text"},
    {"Undo Add Symbol", "Redo Add Symbol"},
    {"Undo Paint Shape", "Redo Paint Shape"},
};

constexpr KindTexts kSequenceTexts[] = {
    {"Undo move to front", "Redo move to front"},
    {"Undo move to back", "Redo move to back"},
    {"Undo move forward", "Redo move forward"},
    {"Undo move backward", "Redo move backward"},
};

template <std::size_t N>
std::string TextOf(const KindTexts (&table)[N], int kind, bool redo) {
  if (kind < 0 || kind >= int(N)) return {};
  const char* t = redo ? table[kind].redo : table[kind].undo;
  return t ? Tr(t) : std::string();
}

void SetIfAny(CEditAction& action, const std::string& text) {
  if (!text.empty()) action.SetMenuText(text);
}

}  // namespace

CObjectListSnapshot::CObjectListSnapshot(CLoopwrightDoc& doc)
    : m_objects(doc.m_objects), m_selected(doc.m_selectedObjects) {
  m_frames.reserve(doc.m_frames.size());
  for (const auto& frame : doc.m_frames) m_frames.push_back({frame, FrameRefList(*frame)});
}

void CObjectListSnapshot::Exchange(CLoopwrightDoc& doc) {
  for (auto& rec : m_frames) FrameRefList(*rec.frame).swap(rec.refs);
  doc.m_objects.swap(m_objects);
  doc.m_selectedObjects.swap(m_selected);
}

std::string CUpdateObjsListAction::KindText(int kind, bool redo) { return TextOf(kListTexts, kind, redo); }

CUpdateObjsListAction::CUpdateObjsListAction(CLoopwrightDoc& doc, int kind)
    : m_doc(doc), m_nKind(kind), m_lists(doc) {
  SetIfAny(*this, KindText(kind, false));
}

void CUpdateObjsListAction::ExchangeLists() {
  m_lists.Exchange(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
}

void CUpdateObjsListAction::Undo() {
  ExchangeLists();
  SetIfAny(*this, KindText(m_nKind, true));
}

void CUpdateObjsListAction::Redo() {
  ExchangeLists();
  SetIfAny(*this, KindText(m_nKind, false));
}

CMakeFrameAsSingleObjectAction::CMakeFrameAsSingleObjectAction(CLoopwrightDoc& doc)
    : CUpdateObjsListAction(doc, NO_TEXT) {
  SetMenuText("Undo Make Frame as Single Object");
}

void CMakeFrameAsSingleObjectAction::AddHidden(RefPtr<CRefImageObject> ref) {
  CObjectPropVisible item;
  item.ref = std::move(ref);
  item.value = item.Get();
  m_visible.push_back(std::move(item));
}

void CMakeFrameAsSingleObjectAction::ExchangeFlags() {
  for (auto& item : m_visible) {
    const int current = item.Get();
    item.Set(item.value);
    item.value = current;
  }
}

void CMakeFrameAsSingleObjectAction::Undo() {
  ExchangeFlags();
  ExchangeLists();
  SetMenuText("Redo Make Frame as Single Object");
}

void CMakeFrameAsSingleObjectAction::Redo() {
  ExchangeFlags();
  ExchangeLists();
  SetMenuText("Undo Make Frame as Single Object");
}

std::string CEditSequenceAction::KindText(int kind, bool redo) { return TextOf(kSequenceTexts, kind, redo); }

CEditSequenceAction::CEditSequenceAction(CLoopwrightDoc& doc, int kind) : m_doc(doc), m_nKind(kind), m_order(doc) {
  SetIfAny(*this, KindText(kind, false));
}

void CEditSequenceAction::Exchange() {
  m_order.Exchange(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
}

void CEditSequenceAction::Undo() {
  Exchange();
  SetIfAny(*this, KindText(m_nKind, true));
}

void CEditSequenceAction::Redo() {
  Exchange();
  SetIfAny(*this, KindText(m_nKind, false));
}

CConvertToBmpObjectAction::CConvertToBmpObjectAction(CLoopwrightDoc& doc) : m_doc(doc) {
  SetMenuText("Undo Convert to image object");
}

void CConvertToBmpObjectAction::Add(RefPtr<CDib> object) {
  Item item{object, object->m_pFactory, object->m_nKind};
  m_items.push_back(std::move(item));
}

void CConvertToBmpObjectAction::Exchange() {
  for (auto& item : m_items) {
    item.object->m_pFactory.swap(item.factory);
    std::swap(item.object->m_nKind, item.kind);
  }
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
}

void CConvertToBmpObjectAction::Undo() {
  Exchange();
  SetMenuText("Redo Convert to image object(s)");
}

void CConvertToBmpObjectAction::Redo() {
  Exchange();
  SetMenuText("Undo Convert to image object(s)");
}

std::string CTrimObjsDIBAction::KindText(int kind, bool redo) {
  switch (kind) {
    case TRIM_OBJECTS: return redo ? Tr("Redo trim Object(s)") : "Undo trim Object(s)";
    case PAINT_LINE: return redo ? "Redo paint line" : "Undo paint line";
    case CROP_SELECTION: return redo ? "Redo Crop Selection" : "Undo Crop Selection";
    default: return {};
  }
}

CTrimObjsDIBAction::CTrimObjsDIBAction(CLoopwrightDoc& doc, int kind) : m_doc(doc), m_nKind(kind) {
  SetIfAny(*this, KindText(kind, false));
}

void CTrimObjsDIBAction::Undo() {
  for (auto& element : m_elements) element->Undo(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
  SetIfAny(*this, KindText(m_nKind, true));
}

void CTrimObjsDIBAction::Redo() {
  for (auto& element : m_elements) element->Redo(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
  SetIfAny(*this, KindText(m_nKind, false));
}
