// The object tools: select and drag (CSelectTool), resize and rotate
// (CTransformTool), draw a gallery shape (CDrawShapeTool), add or edit a
// text (CTextTool) and the symbol tool, which changes nothing.
#pragma once

#include <string>

#include "app/loopwright_doc.h"
#include "editing/object_commands.h"
#include "tools/tool_base.h"

// The topmost visible reference of the current frame whose picture has an
// opaque pixel (alpha not 0) at the image point; null when there is none.
CRefImageObject* HitTestFrame(const CLoopwrightDoc& doc, POINT image);
// The current frame's reference to object (null when none).
CRefImageObject* CurrentRefOf(const CLoopwrightDoc& doc, const CDib* object);
// The topmost visible reference of the current frame with a picture.
CRefImageObject* TopmostVisible(const CLoopwrightDoc& doc);
// Makes object the only selected object unless it is selected already.
void SelectOnly(CLoopwrightDoc& doc, const RefPtr<CDib>& object);

// Selects with clicks (Ctrl toggles, Shift adds) and drags the selected
// visible references of the current frame, recorded once as "移动对象" on the
// first real movement.
class CSelectTool : public CDefaultTool {
 public:
  explicit CSelectTool(CToolState& state) : m_state(state) {}
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) override;
  // True while a drag may run (the move cursor).
  bool IsDragging() const { return (m_state.flags & kToolMoving) != 0; }

 protected:
  CToolState& m_state;
};

// Eight handles on the selected object's box (0 top-left, then clockwise:
// top, top-right, right, bottom-right, bottom, bottom-left, left) resize it,
// keeping the opposite side fixed (corners keep the aspect ratio with
// PreserveRatio); the tool's own handle, 24 view pixels above the top
// handle, rotates it about its centre. The release records one "Undo
// Transform object" step. Picture, shape and text objects only; any other
// press runs the select tool.
class CTransformTool : public CSelectTool {
 public:
  static constexpr int kRotateHandle = 8;
  static constexpr int kRotateDistance = 24;
  using CSelectTool::CSelectTool;
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) override;
  void Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const override;
  // Handle i of the selected object in image coordinates (i < 8), or the
  // rotate handle in client coordinates; false without a selected object.
  bool HandlePoint(const CEditPictureView& view, int i, double& x, double& y) const;
  int GrabbedHandle() const { return m_nHandle; }

 private:
  bool Apply(CEditPictureView& view, POINT image);
  int m_nHandle = -1;
  RefPtr<CRefImageObject> m_ref;
  RECT m_box{0, 0, 0, 0};  // the object's box when the handle was grabbed
  POINT m_startClient{0, 0};
};

// Names of the gallery shapes ("rectangle", "ellipse", ...); -1 when unknown.
int ShapeKindOfName(const std::string& name);
const char* ShapeNameOfKind(int kind);

// Rubber band (image coordinates), then a new shape object of the chosen
// gallery shape filling the box, recorded as "Undo Paint Shape".
class CDrawShapeTool : public CDefaultTool {
 public:
  explicit CDrawShapeTool(CToolState& state) : m_state(state) {}
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnCancel(CEditPictureView& view) override;
  void Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const override;
  int m_nShapeKind = 0;  // TevCustomPathLibV::TevShapeKind

 private:
  CToolState& m_state;
  bool m_bBand = false;
};

// A click opens a text entry for a new text object at the image point; a
// double click on a text object (with a tool that leaves double clicks to
// the view) opens it for that object. Confirm() is what the text bar's OK
// does: "Undo Add Text" for a new text, "Undo Modify Text" for an edit.
class CTextTool : public CDefaultTool {
 public:
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  // Opens the entry for an existing text object.
  void BeginEdit(RefPtr<CDib> object);
  bool IsEntryOpen() const { return m_bOpen; }
  bool IsEditingExisting() const { return m_pObject != nullptr; }
  // The text object being edited (null for a new text).
  const RefPtr<CDib>& EditedObject() const { return m_pObject; }
  POINT EntryPoint() const { return m_at; }
  // Adds or edits; refused (nothing recorded) without an open entry or
  // with an empty text. Closes the entry when done.
  ObjectResult Confirm(CLoopwrightDoc& doc, const std::string& utf8);
  void Cancel();
  bool OnCancel(CEditPictureView&) override {
    if (!m_bOpen) return false;
    Cancel();
    return true;
  }

 private:
  bool m_bOpen = false;
  POINT m_at{0, 0};
  RefPtr<CDib> m_pObject;  // null: a new text
};

// Reports the press handled and does nothing else.
class CSymbolTool : public CDefaultTool {
 public:
  bool OnLButtonDown(CEditPictureView&, unsigned, POINT) override { return true; }
};
