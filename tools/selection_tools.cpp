// The four selection tools: rubber band (rectangle, ellipse), lasso and
// magic wand, and the selection move they share.
#include <algorithm>
#include <cstdlib>

#include "tools/edit_view.h"
#include "tools/selection_actions.h"
#include "tools/tool_set.h"

namespace {

SelectionMode ModeOfFlags(unsigned flags) {
  if (flags & kKeyShift) return SELECT_ADD;
  if (flags & kKeyCtrl) return SELECT_SUBTRACT;
  return SELECT_REPLACE;
}

bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

}  // namespace

bool CSelectionTool::StartMove(CEditPictureView& view, POINT point) {
  m_state.start = view.ClientToImage(point);
  if ((m_state.flags & kToolFeedback) || !view.HasSelection()) return false;
  if (!view.IsInSelection(m_state.start)) return false;
  m_state.flags |= kToolMoving | kToolMoveUnsaved;
  m_state.last = m_state.start;
  view.SetCapture(true);
  return true;
}

bool CSelectionTool::ContinueMove(CEditPictureView& view, POINT point) {
  if (!(m_state.flags & kToolMoving)) return false;
  if (!view.IsLButtonDown()) return true;
  const POINT p = view.ClientToImage(point);
  if (SamePoint(p, m_state.last)) return true;
  if (m_state.flags & kToolMoveUnsaved) {
    // Recorded on the first real movement, so a click records nothing.
    view.Doc().EditManager().AddAction(new CMoveSelectionAction(view));
    m_state.flags &= ~kToolMoveUnsaved;
  }
  const POINT pos = view.Selection().GetSelectionPos();
  view.Selection().SetSelectionPos(pos.x + (p.x - m_state.last.x), pos.y + (p.y - m_state.last.y));
  m_state.last = p;
  return true;
}

bool CSelectionTool::EndMove(CEditPictureView& view) {
  if (!(m_state.flags & kToolMoving)) return false;
  view.SetCapture(false);
  m_state.flags &= ~(kToolMoving | kToolMoveUnsaved);
  return true;
}

// Rubber band ------------------------------------------------------------

bool CRectSelectionTool::OnLButtonDown(CEditPictureView& view, unsigned, POINT point) {
  if (StartMove(view, point)) return true;
  // Kept in scrolled view coordinates; converted once, at the release.
  m_state.start = m_state.last = view.ClientToScrolled(point);
  m_state.flags &= ~kToolFeedback;
  view.SetCapture(true);
  return true;
}

bool CRectSelectionTool::OnMouseMove(CEditPictureView& view, unsigned, POINT point) {
  if (ContinueMove(view, point)) return true;
  if (!view.IsLButtonDown() || !view.HasCapture()) return false;
  m_state.flags |= kToolFeedback;
  POINT p = view.ClientToScrolled(point);
  if (m_bEqualSides) {
    const long long dx = std::llabs((long long)p.x - m_state.start.x);
    const long long dy = std::llabs((long long)p.y - m_state.start.y);
    if (dx > dy)
      p.x = LONG(p.x > m_state.start.x ? m_state.start.x + dy : m_state.start.x - dy);
    else if (p.y != m_state.start.y)
      p.y = LONG(p.y > m_state.start.y ? m_state.start.y + dx : m_state.start.y - dx);
  }
  m_state.last = p;
  return true;
}

bool CRectSelectionTool::OnLButtonUp(CEditPictureView& view, unsigned flags, POINT) {
  if (EndMove(view)) return true;
  if (!(m_state.flags & kToolFeedback)) {
    view.SetCapture(false);
    return false;
  }
  view.SetCapture(false);
  m_state.flags &= ~kToolFeedback;
  if (SamePoint(m_state.start, m_state.last)) return true;
  RECT box{std::min(m_state.start.x, m_state.last.x), std::min(m_state.start.y, m_state.last.y),
           std::max(m_state.start.x, m_state.last.x), std::max(m_state.start.y, m_state.last.y)};
  if (box.left == box.right || box.top == box.bottom) return true;
  const POINT tl = view.ScrolledToImage({box.left, box.top});
  POINT br = view.ScrolledToImage({box.right, box.bottom});
  // A partly covered pixel at the right or bottom edge is included.
  const int z = view.GetZoom();
  const POINT origin = view.GetCanvasOrigin();
  if (z > 1) {
    if (((long long)box.right - origin.x) % z != 0) ++br.x;
    if (((long long)box.bottom - origin.y) % z != 0) ++br.y;
  }
  const int w = br.x - tl.x, h = br.y - tl.y;
  if (w <= 0 || h <= 0) return true;
  if (m_bEllipse)
    SelectEllipse(view, tl.x, tl.y, w, h, ModeOfFlags(flags));
  else
    SelectRectangle(view, tl.x, tl.y, w, h, m_nRoundness, ModeOfFlags(flags));
  return true;
}

void CRectSelectionTool::Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const {
  view.DrawFeedbackRect(out, RECT{m_state.start.x, m_state.start.y, m_state.last.x, m_state.last.y}, m_bEllipse);
}

// Lasso ------------------------------------------------------------------

bool CRectSelectionTool::OnCancel(CEditPictureView& view) {
  if (!(m_state.flags & kToolFeedback)) return false;
  m_state.flags &= ~kToolFeedback;
  view.SetCapture(false);
  return true;
}

bool CLassoSelectionTool::OnLButtonDown(CEditPictureView& view, unsigned, POINT point) {
  if (StartMove(view, point)) return true;
  if (m_points.size() < std::size_t(kMaxLassoPoints)) m_points.push_back(view.ClientToScrolled(point));
  m_looseEnd = view.ClientToScrolled(point);
  m_state.flags |= kToolFeedback;
  view.SetCapture(true);
  return true;
}

bool CLassoSelectionTool::OnMouseMove(CEditPictureView& view, unsigned, POINT point) {
  if (ContinueMove(view, point)) return true;
  if (!(m_state.flags & kToolFeedback)) return false;
  m_looseEnd = view.ClientToScrolled(point);
  return true;
}

bool CLassoSelectionTool::OnLButtonDblClk(CEditPictureView&, unsigned, POINT) {
  if (m_points.size() > 2) m_state.flags |= kToolCloseLasso;
  return true;
}

bool CLassoSelectionTool::OnLButtonUp(CEditPictureView& view, unsigned flags, POINT) {
  if (EndMove(view)) return true;
  if (!(m_state.flags & kToolFeedback)) return false;
  if (m_state.flags & kToolCloseLasso) Close(view, flags);
  m_state.flags &= ~kToolCloseLasso;
  return true;
}

void CLassoSelectionTool::Close(CEditPictureView& view, unsigned flags) {
  view.SetCapture(false);
  m_state.flags &= ~kToolFeedback;
  std::vector<POINT> corners;
  corners.reserve(m_points.size());
  for (const POINT& p : m_points) corners.push_back(view.ScrolledToImage(p));
  m_points.clear();
  SelectLasso(view, corners, ModeOfFlags(flags));
}

bool CLassoSelectionTool::OnCancel(CEditPictureView& view) {
  if (m_points.empty()) return false;
  m_points.clear();
  m_state.flags &= ~(kToolFeedback | kToolCloseLasso);
  view.SetCapture(false);
  return true;
}

bool CLassoSelectionTool::OnCommit(CEditPictureView& view) {
  if (m_points.size() < 3) return false;
  Close(view, 0);
  m_state.flags &= ~kToolCloseLasso;
  return true;
}

void CLassoSelectionTool::Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const {
  for (std::size_t i = 1; i < m_points.size(); ++i) view.DrawFeedbackLine(out, m_points[i - 1], m_points[i]);
  if (!m_points.empty()) view.DrawFeedbackLine(out, m_points.back(), m_looseEnd);
}

// Magic wand -------------------------------------------------------------

bool CMagicWandTool::OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) {
  if (StartMove(view, point)) return true;
  SelectMagicWand(view, view.ClientToImage(point), m_nSimilarity, m_bConnected, ModeOfFlags(flags));
  return true;
}

bool CMagicWandTool::OnMouseMove(CEditPictureView& view, unsigned, POINT point) { return ContinueMove(view, point); }

bool CMagicWandTool::OnLButtonUp(CEditPictureView& view, unsigned, POINT) { return EndMove(view); }
