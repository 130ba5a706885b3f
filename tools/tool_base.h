// The root of the editing view's tools (CDefaultTool), the state they share
// and the selection tools.
#pragma once

#include <string>
#include <vector>

#include "companions/base/win_types.h"
#include "imaging/obj_image.h"

class CEditPictureView;

// Key flags of mouse messages.
constexpr unsigned kKeyShift = 4;
constexpr unsigned kKeyCtrl = 8;

// Bits of the shared flag word.
constexpr unsigned kToolFeedback = 1;   // rubber band or lasso on screen
constexpr unsigned kToolMoving = 2;     // a selection move is in progress
constexpr unsigned kToolMoveUnsaved = 4;  // the move is not yet recorded
constexpr unsigned kToolCloseLasso = 8;   // the next button-up closes the lasso

// The context menu a right click asks the window to show.
// MENU_NONE: the tool used the right button itself (fill, pick colour).
enum ContextMenu { MENU_OBJECT = 0, MENU_SELECTION = 1, MENU_NONE = 2 };

struct CToolState {
  unsigned flags = 0;
  POINT start{0, 0};
  POINT last{0, 0};
};

class CDefaultTool {
 public:
  virtual ~CDefaultTool() = default;
  virtual bool OnLButtonDown(CEditPictureView&, unsigned, POINT) { return false; }
  virtual bool OnMouseMove(CEditPictureView&, unsigned, POINT) { return false; }
  virtual bool OnLButtonUp(CEditPictureView&, unsigned, POINT) { return false; }
  virtual bool OnLButtonDblClk(CEditPictureView&, unsigned, POINT) { return false; }
  // The selection menu over a selected pixel of the mask, else the object
  // menu; the window builds and shows it.
  virtual ContextMenu OnRButtonDown(CEditPictureView& view, unsigned flags, POINT point);
  // Escape: drops the gesture in progress (a rubber band, lasso corners, an
  // open text entry); false when there is none.
  virtual bool OnCancel(CEditPictureView&) { return false; }
  // Enter: finishes the gesture in progress (closes a lasso); false when
  // there is nothing to finish.
  virtual bool OnCommit(CEditPictureView&) { return false; }
  // Draws the gesture's feedback into the rendered view.
  virtual void Draw(const CEditPictureView&, TevImageTransform::CTevObjImage&) const {}
};

// Selection move shared by the four selection tools: a press inside the mask
// starts it, moves shift the selection's offset (recorded once, on the first
// real movement), the release ends it.
class CSelectionTool : public CDefaultTool {
 public:
  explicit CSelectionTool(CToolState& state) : m_state(state) {}

 protected:
  bool StartMove(CEditPictureView& view, POINT point);
  bool ContinueMove(CEditPictureView& view, POINT point);
  bool EndMove(CEditPictureView& view);
  CToolState& m_state;
};

// Rubber-band selection (rectangle or ellipse): start and last point are
// kept in scrolled view coordinates.
class CRectSelectionTool : public CSelectionTool {
 public:
  CRectSelectionTool(CToolState& state, bool ellipse) : CSelectionTool(state), m_bEllipse(ellipse) {}
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnCancel(CEditPictureView& view) override;
  void Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const override;
  // Settings: corner roundness in percent (rectangle), square or circle.
  int m_nRoundness = 0;
  bool m_bEqualSides = false;

 private:
  bool m_bEllipse;
};

class CEllipseSelectionTool : public CRectSelectionTool {
 public:
  explicit CEllipseSelectionTool(CToolState& state) : CRectSelectionTool(state, true) {}
};

// Lasso: each press adds a corner (scrolled coordinates); a double click
// with more than two corners asks the next release to close the polygon.
class CLassoSelectionTool : public CSelectionTool {
 public:
  explicit CLassoSelectionTool(CToolState& state) : CSelectionTool(state) {}
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonDblClk(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnCancel(CEditPictureView& view) override;
  // Closes the polygon (more than two corners) as a new selection.
  bool OnCommit(CEditPictureView& view) override;
  void Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const override;
  std::size_t PointCount() const { return m_points.size(); }

 private:
  void Close(CEditPictureView& view, unsigned flags);
  std::vector<POINT> m_points;
  POINT m_looseEnd{0, 0};
};

class CMagicWandTool : public CSelectionTool {
 public:
  explicit CMagicWandTool(CToolState& state) : CSelectionTool(state) {}
  bool OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) override;
  bool OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) override;
  // Tolerance in percent (clamped to 0..100) and connected-only picking.
  int m_nSimilarity = 32;
  bool m_bConnected = true;
};
