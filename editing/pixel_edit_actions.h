// Delete, cut, copy, paste and crop inside the editing view's pixel
// selection, and the actions that undo them.
//
// The selection is a mask in canvas coordinates. For every visible object of
// the current frame: an object wholly inside the selection (every pixel at
// level 255) is removed from the object list and from every frame; an object
// the selection covers in part gets its selected pixels cleared and its
// picture trimmed to what is left, its references moved by the columns and
// rows trimmed at the left and top. An object left with no visible pixel is
// removed rather than kept as an empty picture.
//
// Crop to the selection cuts each visible object of the current frame to the
// selection's bounding box, clears its pixels outside the mask, trims the
// blank border, moves its references by what was cut at the left and top,
// and removes objects left empty; one action undoes all of it.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "app/edit_manager.h"
#include "app/loopwright_doc.h"
#include "editing/dib_elements.h"
#include "editing/object_actions.h"
#include "editing/object_commands.h"
#include "imaging/obj_selection.h"

// An object taken out of the document: Redo removes it from the object list
// (and the selected objects) and its reference from every frame, recording
// each position; Undo puts everything back at the recorded positions, so the
// stacking order and the frames' reference order come back unchanged.
class CRemoveDibElm : public CUpdateDibElm {
 public:
  explicit CRemoveDibElm(RefPtr<CDib> object) : m_pObject(std::move(object)) {}
  bool Undo(CLoopwrightDoc& doc) override;
  bool Redo(CLoopwrightDoc& doc) override;

 private:
  struct FrameRef {
    RefPtr<CGifFrame> frame;
    RefPtr<CRefImageObject> ref;
    std::size_t index;
  };
  RefPtr<CDib> m_pObject;
  std::vector<FrameRef> m_refs;
  std::size_t m_nIndex = 0;
  long long m_nSelectedIndex = -1;
};

// Objects removed by a delete (flag 1) or cut (flag 0) inside a selection.
// Undo runs the elements from tail to head: each restores indexes recorded
// after the earlier removals.
class CRemoveDibsAction : public CEditAction {
 public:
  CRemoveDibsAction(CLoopwrightDoc& doc, int flag);
  // Removes the object now and keeps the element.
  void RemoveNow(RefPtr<CDib> object);
  bool IsEmpty() const { return m_removed.empty(); }
  void Undo() override;
  void Redo() override;
  static std::string FlagText(int flag, bool redo);

 protected:
  void UndoRemovals();
  void RedoRemovals();
  CLoopwrightDoc& m_doc;
  int m_nFlag;
  std::list<std::unique_ptr<CRemoveDibElm>> m_removed;
};

// Adds the pictures the selection covered in part.
class CCutDibsAction : public CRemoveDibsAction {
 public:
  using CRemoveDibsAction::CRemoveDibsAction;
  void Add(std::unique_ptr<CModifyDibElm> element) { m_modified.push_back(std::move(element)); }
  bool IsEmpty() const { return CRemoveDibsAction::IsEmpty() && m_modified.empty(); }
  void Undo() override;
  void Redo() override;

 private:
  std::list<std::unique_ptr<CModifyDibElm>> m_modified;
};

// Crop to the selection: the trimmed pictures and the objects left empty.
class CCropSelectionAction : public CTrimObjsDIBAction {
 public:
  explicit CCropSelectionAction(CLoopwrightDoc& doc)
      : CTrimObjsDIBAction(doc, CTrimObjsDIBAction::CROP_SELECTION), m_doc(doc) {}
  void RemoveNow(RefPtr<CDib> object);
  bool HasRemovals() const { return !m_removed.empty(); }
  void Undo() override;
  void Redo() override;

 private:
  CLoopwrightDoc& m_doc;
  std::list<std::unique_ptr<CRemoveDibElm>> m_removed;
};

// The in-process clipboard: a 32-bit picture and where it came from on the
// canvas (a paste puts it back there).
struct CPixelClipboard {
  DibPtr picture;
  POINT position{0, 0};
  bool IsEmpty() const { return !picture; }
};

// Delete (cut false) or cut inside a non-empty selection; cut first copies
// the selected pixels of the current frame to the clipboard.
ObjectResult DeleteInSelection(CLoopwrightDoc& doc, const TevImageTransform::CTevObjSelection& selection, bool cut,
                               CPixelClipboard* clipboard);
// Delete or cut of the selected objects as a whole (no pixel selection);
// cut copies them, composed as in the current frame, to the clipboard.
ObjectResult DeleteSelectedObjectsWhole(CLoopwrightDoc& doc, bool cut, CPixelClipboard* clipboard);
// Copies the current frame's pixels under the selection (their levels as
// coverage), or without a selection the selected objects as shown.
ObjectResult CopyToClipboard(const CLoopwrightDoc& doc, const TevImageTransform::CTevObjSelection* selection,
                             CPixelClipboard& clipboard);
// A new object on top, shown on the current frame at the clipboard's place.
ObjectResult PasteClipboard(CLoopwrightDoc& doc, const CPixelClipboard& clipboard);
// The first picture of an image file pasted as a new object at (0, 0).
ObjectResult PasteImageFile(CLoopwrightDoc& doc, const std::string& path);
ObjectResult CropToSelection(CLoopwrightDoc& doc, const TevImageTransform::CTevObjSelection& selection);
