#include "tools/edit_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/compose.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/nudge_objects.h"
#include "tools/selection_actions.h"
#include "editing/pixel_edit_actions.h"

using TevImageTransform::CTevObjImage;

namespace {

constexpr COLORREF kBackdrop = 0xC0C0C0;
constexpr COLORREF kCanvas = 0xFFFFFF;
constexpr int kMaxViewSide = 8192;

// 0xAARRGGBB of an opaque COLORREF (0xBBGGRR).
DWORD Opaque(COLORREF c) { return 0xFF000000u | (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c); }

void PutPixel(CTevObjImage& view, int x, int y, DWORD value) {
  if (view.IsInside(x, y)) view.SetPixelData(x, y, value);
}

}  // namespace

CEditPictureView::CEditPictureView(CLoopwrightDoc& doc) : m_doc(doc) {
  // The selection tools' settings as the preferences hold them.
  const CPreferences& prefs = doc.App().Prefs();
  m_tools.m_rect.m_nRoundness = std::clamp(prefs.Get("SelectionRoundCorner"), 0, 100);
  m_tools.m_rect.m_bEqualSides = prefs.Get("EqualWidthAndHeight") != 0;
  m_tools.m_ellipse.m_bEqualSides = prefs.Get("EllipseSelectionEqualWidthAndHeight") != 0;
  m_tools.m_wand.m_nSimilarity = prefs.Get("Similarity");
  m_tools.m_wand.m_bConnected = prefs.Get("ConnectedPixelsMagicWand") != 0;
  m_tools.m_settings = prefs;
  m_doc.AddObserver(this);
}

CEditPictureView::~CEditPictureView() { m_doc.RemoveObserver(this); }

void CEditPictureView::OnUpdate(int, CGifFrame*) {
  if (m_doc.EditManager().CanUndo() || m_doc.EditManager().CanRedo()) return;
  m_selection.SetSelectionEmpty();
  m_tools.m_state.flags = 0;
}

bool CEditPictureView::SetZoom(int factor) {
  if (factor < kMinZoom || factor > kMaxZoom) return false;
  m_zoom.SetZoomScale(factor);
  SelectionChanged();
  return true;
}

bool CEditPictureView::SetScroll(int x, int y) {
  if (x < 0 || y < 0) return false;
  m_scroll = POINT{x, y};
  return true;
}

void CEditPictureView::SetClientSize(int width, int height) {
  m_clientWidth = std::clamp(width, 0, kMaxViewSide);
  m_clientHeight = std::clamp(height, 0, kMaxViewSide);
}

POINT CEditPictureView::ScrolledToImage(POINT scrolled) const {
  long long x = (long long)scrolled.x - m_origin.x, y = (long long)scrolled.y - m_origin.y;
  const int z = m_zoom.GetZoomScale();
  if (z > 1) {
    x /= z;
    y /= z;
  } else if (z < 0) {
    x *= -z;
    y *= -z;
  }
  return POINT{LONG(std::clamp<long long>(x, -0x40000000LL, 0x40000000LL)),
               LONG(std::clamp<long long>(y, -0x40000000LL, 0x40000000LL))};
}

void CEditPictureView::SelectionChanged() {
  if (!m_selection.IsSelectionEmpty())
    m_selection.RecalculateEdge(m_zoom.GetZoomScale(), true);
  else
    m_selection.ClearEdges();
}

bool CEditPictureView::SetTool(int number) {
  if (number == -1) {
    m_pTool = nullptr;
    m_nTool = -1;
    return true;
  }
  CDefaultTool* tool = m_tools.Get(number);
  if (!tool) return false;
  m_tools.m_state.flags = 0;
  m_pTool = tool;
  m_nTool = number;
  return true;
}

bool CEditPictureView::OnLButtonDown(unsigned flags, POINT point) {
  m_bLButton = true;
  return m_pTool && m_pTool->OnLButtonDown(*this, flags, point);
}

bool CEditPictureView::OnMouseMove(unsigned flags, POINT point) {
  return m_pTool && m_pTool->OnMouseMove(*this, flags, point);
}

bool CEditPictureView::OnLButtonUp(unsigned flags, POINT point) {
  const bool handled = m_pTool && m_pTool->OnLButtonUp(*this, flags, point);
  m_bLButton = false;
  m_bCapture = false;
  return handled;
}

bool CEditPictureView::OnLButtonDblClk(unsigned flags, POINT point) {
  m_bLButton = true;
  if (m_pTool && m_pTool->OnLButtonDblClk(*this, flags, point)) return true;
  // The view's own double click: a text object under the point opens the
  // text entry for it.
  CRefImageObject* hit = HitTestFrame(m_doc, ClientToImage(point));
  if (!hit || hit->m_pObject->m_nKind != OBJECT_TEXT) return false;
  m_tools.m_text.BeginEdit(hit->m_pObject);
  return true;
}

ObjectResult CEditPictureView::DeleteSelectionOrObjects() {
  return HasSelection() ? DeleteInSelection(m_doc, Selection(), false, nullptr)
                        : DeleteSelectedObjectsWhole(m_doc, false, nullptr);
}

bool CEditPictureView::OnKeyDown(int key) {
  switch (key) {
    case KEY_DELETE: {
      const ObjectResult r = DeleteSelectionOrObjects();
      if (!r.ok && !r.message.empty()) m_doc.Prompt().ShowMessage(r.message, MessageKind::Warning);
      return true;
    }
    case KEY_ESCAPE:
      if (m_pTool && m_pTool->OnCancel(*this)) {
        m_bLButton = false;
        m_bCapture = false;
        return true;
      }
      if (HasSelection()) {
        SelectNone(*this);
        return true;
      }
      if (m_doc.m_selectedObjects.empty()) return false;
      m_doc.m_selectedObjects.clear();
      return true;
    case KEY_ENTER:
      return m_pTool && m_pTool->OnCommit(*this);
    default: break;
  }
  int dx = 0, dy = 0;
  const int h = m_tools.m_settings.Get("HorizontalOffset"), v = m_tools.m_settings.Get("VerticalOffset");
  switch (key) {
    case KEY_LEFT: dx = -h; break;
    case KEY_RIGHT: dx = h; break;
    case KEY_UP: dy = -v; break;
    case KEY_DOWN: dy = v; break;
    default: return false;
  }
  const ObjectResult r = NudgeSelectedObjects(m_doc, dx, dy);
  if (!r.ok) m_doc.Prompt().ShowMessage(r.message, MessageKind::Info);
  return true;
}

ContextMenu CEditPictureView::OnRButtonDown(unsigned flags, POINT point) {
  return m_pTool ? m_pTool->OnRButtonDown(*this, flags, point) : MENU_OBJECT;
}

DibPtr CEditPictureView::Render(int dashPhase) {
  POINT canvasSize{LONG(std::max(0, m_doc.m_nWidth)), LONG(std::max(0, m_doc.m_nHeight))};
  m_zoom.Actual_to_Scaled(canvasSize);
  int width = m_clientWidth, height = m_clientHeight;
  if (width == 0) width = int(std::clamp<long long>((long long)canvasSize.x + m_origin.x, 1, kMaxViewSide));
  if (height == 0) height = int(std::clamp<long long>((long long)canvasSize.y + m_origin.y, 1, kMaxViewSide));
  DibPtr picture(CDIB32::CreateSimple32BitsDIB(width, height, kBackdrop, 255));
  if (!picture) return nullptr;
  CTevObjImage view;
  if (!view.Attach(picture.get())) return nullptr;
  // Where canvas (0, 0) lands in the client area.
  const POINT at{m_origin.x - m_scroll.x, m_origin.y - m_scroll.y};
  RECT canvas{std::max<LONG>(at.x, 0), std::max<LONG>(at.y, 0),
              LONG(std::min<long long>((long long)at.x + canvasSize.x, width)),
              LONG(std::min<long long>((long long)at.y + canvasSize.y, height))};
  if (canvas.left < canvas.right && canvas.top < canvas.bottom) {
    const DWORD white = Opaque(kCanvas);
    CTevObjImage::__FillImageRect(view, canvas, &white);
  }
  if (const CGifFrame* frame = m_doc.GetCurrentFrame()) {
    const int z = m_zoom.GetZoomScale();
    const int mode = z > 1 ? 2 : (z < -1 ? 0 : 1);
    ComposeFrame(picture.get(), at, *frame, mode, std::abs(z));
  }
  if (!m_selection.IsSelectionEmpty()) {
    const COLORREF a = (dashPhase & 1) ? 0xFFFFFF : 0x000000;
    const COLORREF b = (dashPhase & 1) ? 0x000000 : 0xFFFFFF;
    m_selection.DrawSelection(view, POINT{-at.x, -at.y}, m_zoom, RECT{0, 0, width, height}, a, b);
  }
  // The transform tool's handles show whenever it is the current tool.
  if (m_pTool && ((m_tools.m_state.flags & kToolFeedback) || m_nTool == TOOL_TRANSFORM)) m_pTool->Draw(*this, view);
  view.Detch();
  return picture;
}

void CEditPictureView::DrawFeedbackLine(CTevObjImage& view, POINT a, POINT b) const {
  // Scrolled to client coordinates; a plain one-pixel line.
  long long x0 = (long long)a.x - m_scroll.x, y0 = (long long)a.y - m_scroll.y;
  const long long x1 = (long long)b.x - m_scroll.x, y1 = (long long)b.y - m_scroll.y;
  const long long dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  long long err = dx + dy;
  const long long limit = 4LL * kMaxViewSide;
  for (long long n = 0; n <= dx - dy && n < limit * 4; ++n) {
    if (x0 >= -limit && y0 >= -limit && x0 < limit && y0 < limit) PutPixel(view, int(x0), int(y0), 0xFF000000u);
    if (x0 == x1 && y0 == y1) break;
    const long long e2 = 2 * err;
    if (e2 >= dy) { err += dy; x0 += sx; }
    if (e2 <= dx) { err += dx; y0 += sy; }
  }
}

void CEditPictureView::DrawFeedbackRect(CTevObjImage& view, RECT box, bool ellipse) const {
  if (ellipse) {
    // The ellipse inscribed in the box, as a polyline of 64 segments.
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    const double rx = std::abs(box.right - box.left) / 2.0, ry = std::abs(box.bottom - box.top) / 2.0;
    POINT prev{LONG(cx + rx), LONG(cy)};
    for (int i = 1; i <= 64; ++i) {
      const double t = i * 6.283185307179586 / 64;
      const POINT p{LONG(cx + rx * std::cos(t)), LONG(cy + ry * std::sin(t))};
      DrawFeedbackLine(view, prev, p);
      prev = p;
    }
    return;
  }
  DrawFeedbackLine(view, {box.left, box.top}, {box.right, box.top});
  DrawFeedbackLine(view, {box.right, box.top}, {box.right, box.bottom});
  DrawFeedbackLine(view, {box.right, box.bottom}, {box.left, box.bottom});
  DrawFeedbackLine(view, {box.left, box.bottom}, {box.left, box.top});
}
