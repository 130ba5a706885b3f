// Undoable changes to the object list and to properties of several objects:
//   CUpdateObjsListAction           objects added, duplicated, deleted, combined (and pasted or cut later)
//   CMakeFrameAsSingleObjectAction  the current frame flattened into one new object
//   CEditSequenceAction             stacking order
//   CModifyObjectPropsAction<Item>  visibility, lock, transparency or position of many references
//   CConvertToBmpObjectAction       generator objects turned into plain raster objects
//   CTrimObjsDIBAction              pictures cut to their opaque part
//
// Each action keeps counted pointers to what it replaced (objects, frames,
// references) and exchanges them with the document's on Undo; Redo is the
// same exchange with the other text. Nothing is copied that the exchange
// does not need.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "app/edit_manager.h"
#include "app/loopwright_doc.h"
#include "editing/dib_elements.h"
#include "editing/object_refs.h"
#include "companions/base/tr.h"

// The object list, the selected objects and every frame's reference list.
class CObjectListSnapshot {
 public:
  explicit CObjectListSnapshot(CLoopwrightDoc& doc);
  // Swaps the stored lists with the document's.
  void Exchange(CLoopwrightDoc& doc);

 private:
  CFrameRefObjectList m_frames;
  CRefDibsList m_objects;
  CRefDibsList m_selected;
};

class CUpdateObjsListAction : public CEditAction {
 public:
  enum Kind {
    NEW_OBJECT = 0,
    DUPLICATE = 1,
    DELETE_OBJECTS = 2,
    COMBINE = 3,
    NO_TEXT = 4,
    PASTE = 5,
    DELETE = 6,
    CUT = 7,
    ADD_TEXT = 8,
    ADD_SYMBOL = 9,
    PAINT_SHAPE = 10,
  };
  // Records the document's lists as they are now (before the change).
  CUpdateObjsListAction(CLoopwrightDoc& doc, int kind);
  void Undo() override;
  void Redo() override;
  int GetKind() const { return m_nKind; }
  // Undo (redo false) or Redo form of a kind; empty for kind 4 and unknown kinds.
  static std::string KindText(int kind, bool redo);

 protected:
  void ExchangeLists();
  CLoopwrightDoc& m_doc;
  int m_nKind;

 private:
  CObjectListSnapshot m_lists;
};

// Items of CModifyObjectPropsAction: one reference and the value of the
// other side. They are plain values (no virtual table): an action may hold
// one for each reference of hundreds of frames.
template <class T>
struct CObjectPropItem {
  using Value = T;
  RefPtr<CRefImageObject> ref;
  T value{};
};
struct CObjectPropVisible : CObjectPropItem<int> {
  int Get() const { return ref->m_bVisible ? 1 : 0; }
  void Set(int v) const { ref->m_bVisible = v != 0; }
};
struct CObjectPropLocker : CObjectPropItem<int> {
  int Get() const { return ref->m_bLocked ? 1 : 0; }
  void Set(int v) const { ref->m_bLocked = v != 0; }
};
struct CObjectPropTransparency : CObjectPropItem<BYTE> {
  BYTE Get() const { return BYTE(ref->m_nTransparency); }
  void Set(BYTE v) const { ref->m_nTransparency = v; }
};
struct CObjectPropOffset : CObjectPropItem<POINT> {
  POINT Get() const { return POINT{LONG(ref->m_nX), LONG(ref->m_nY)}; }
  void Set(POINT v) const {
    ref->m_nX = std::int32_t(v.x);
    ref->m_nY = std::int32_t(v.y);
  }
};

// One property of several references; the texts are "撤消 " or "重做 " and
// the description.
template <class TItem>
class CModifyObjectPropsAction : public CEditAction {
 public:
  CModifyObjectPropsAction(CLoopwrightDoc& doc, std::string description)
      : m_doc(doc), m_strDescription(std::move(description)) {
    SetMenuText(TrFormat("Undo %s", {m_strDescription}));
  }
  // Keeps ref with its current value.
  void Add(RefPtr<CRefImageObject> ref) {
    TItem item;
    item.ref = std::move(ref);
    item.value = item.Get();
    m_items.push_back(std::move(item));
  }
  const std::vector<TItem>& Items() const { return m_items; }
  // Room for n items, so a long history does not keep a vector's slack.
  void Reserve(std::size_t n) { m_items.reserve(n); }
  void Undo() override {
    Exchange();
    SetMenuText(TrFormat("Redo %s", {m_strDescription}));
  }
  void Redo() override {
    Exchange();
    SetMenuText(TrFormat("Undo %s", {m_strDescription}));
  }

 private:
  void Exchange() {
    for (auto& item : m_items) {
      auto current = item.Get();
      item.Set(item.value);
      item.value = current;
    }
    m_doc.UpdateAllViews(HINT_OBJECT_PROPERTY, nullptr);
  }
  CLoopwrightDoc& m_doc;
  std::string m_strDescription;
  std::vector<TItem> m_items;
};

// The current frame's visible objects composed into one new object, which
// goes on top; they stay in the list, hidden on that frame.
class CMakeFrameAsSingleObjectAction : public CUpdateObjsListAction {
 public:
  explicit CMakeFrameAsSingleObjectAction(CLoopwrightDoc& doc);
  // Records the visible flag of a reference that the command hides.
  void AddHidden(RefPtr<CRefImageObject> ref);
  void Undo() override;
  void Redo() override;

 private:
  void ExchangeFlags();
  std::vector<CObjectPropVisible> m_visible;
};

class CEditSequenceAction : public CEditAction {
 public:
  enum Kind { TO_FRONT = 0, TO_BACK = 1, FORWARD = 2, BACKWARD = 3 };
  CEditSequenceAction(CLoopwrightDoc& doc, int kind);
  void Undo() override;
  void Redo() override;
  static std::string KindText(int kind, bool redo);

 private:
  void Exchange();
  CLoopwrightDoc& m_doc;
  int m_nKind;
  CObjectListSnapshot m_order;
};

// Generator objects made raster objects: the picture stays, the generator
// and kind are kept here and exchanged back.
class CConvertToBmpObjectAction : public CEditAction {
 public:
  explicit CConvertToBmpObjectAction(CLoopwrightDoc& doc);
  // Keeps the object's generator and kind (the caller then converts it).
  void Add(RefPtr<CDib> object);
  bool IsEmpty() const { return m_items.empty(); }
  void Undo() override;
  void Redo() override;

 private:
  struct Item {
    RefPtr<CDib> object;
    RefPtr<CDibFactory> factory;
    std::int32_t kind;
  };
  void Exchange();
  CLoopwrightDoc& m_doc;
  std::vector<Item> m_items;
};

// Pictures replaced as a whole (trim, paint line, crop to the selection):
// one CModifyDibElm per changed picture, exchanged head to tail.
class CTrimObjsDIBAction : public CEditAction {
 public:
  enum Kind { TRIM_OBJECTS = 0, PAINT_LINE = 1, CROP_SELECTION = 3 };
  CTrimObjsDIBAction(CLoopwrightDoc& doc, int kind);
  void Add(std::unique_ptr<CModifyDibElm> element) { m_elements.push_back(std::move(element)); }
  bool IsEmpty() const { return m_elements.empty(); }
  void Undo() override;
  void Redo() override;
  static std::string KindText(int kind, bool redo);

 private:
  CLoopwrightDoc& m_doc;
  int m_nKind;
  std::list<std::unique_ptr<CModifyDibElm>> m_elements;
};
