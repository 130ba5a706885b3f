// Undoable changes of the editing view's pixel selection, and the selection
// commands built on them. Recording a selection change does not mark the
// document modified: the selection is view state, not part of the project.
//
// Every command records exactly one action before it changes the mask and
// refuses (recording nothing) when the result would equal what is there.
// Combination: add (Shift), subtract (Ctrl) or replace.
#pragma once

#include <string>
#include <vector>

#include "app/edit_manager.h"
#include "editing/object_commands.h"
#include "imaging/obj_selection.h"

class CEditPictureView;

enum SelectionMode { SELECT_REPLACE = 0, SELECT_ADD = 1, SELECT_SUBTRACT = 2 };

// The previous mask (with its offset) and, for the lasso, its corners.
// Undo exchanges the stored mask with the view's; Redo does the same.
class CSelectionAction : public CEditAction {
 public:
  enum Kind { RECTANGLE = 0, ELLIPSE = 1, LASSO = 2, MAGIC_WAND = 3, SELECT_ALL = 4, UNSELECT_ALL = 5, INVERT = 6 };
  CSelectionAction(CEditPictureView& view, int kind, std::vector<POINT> lasso = {});
  void Undo() override;
  void Redo() override;
  int GetKind() const { return m_nKind; }
  static std::string KindText(int kind, bool redo);

 private:
  void Exchange();
  CEditPictureView& m_view;
  TevImageTransform::CTevObjSelection m_stored;
  std::vector<POINT> m_lasso;
  int m_nKind;
};

// The selection's offset before a move; Undo and Redo exchange it.
class CMoveSelectionAction : public CEditAction {
 public:
  explicit CMoveSelectionAction(CEditPictureView& view);
  void Undo() override;
  void Redo() override;

 private:
  void Exchange();
  CEditPictureView& m_view;
  POINT m_offset;
};

// Records a CSelectionAction of kind, then combines region (built in image
// coordinates, may be empty) into the view's selection by mode.
void ApplySelection(CEditPictureView& view, int kind, const TevImageTransform::CTevObjSelection& region,
                    SelectionMode mode, std::vector<POINT> lasso = {});

// The script and menu commands (image coordinates). Refused: nothing recorded.
constexpr int kMaxLassoPoints = 100000;
ObjectResult SelectRectangle(CEditPictureView& view, int x, int y, int width, int height, int roundness,
                             SelectionMode mode);
ObjectResult SelectEllipse(CEditPictureView& view, int x, int y, int width, int height, SelectionMode mode);
ObjectResult SelectLasso(CEditPictureView& view, const std::vector<POINT>& points, SelectionMode mode);
// tolerance in percent, clamped to 0..100; outside the canvas the selection
// is cleared (recorded only when there was one).
ObjectResult SelectMagicWand(CEditPictureView& view, POINT at, int tolerance, bool connected, SelectionMode mode);
ObjectResult SelectAll(CEditPictureView& view);
ObjectResult SelectNone(CEditPictureView& view);
ObjectResult SelectInvert(CEditPictureView& view);
ObjectResult MoveSelection(CEditPictureView& view, int dx, int dy);
