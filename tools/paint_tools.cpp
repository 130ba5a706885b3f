// Brush, eraser, fill and pick colour.
#include "tools/paint_tools.h"

#include <algorithm>

#include "app/compose.h"
#include "companions/base/tr.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/object_actions.h"
#include "editing/object_command_support.h"
#include "tools/edit_view.h"
#include "tools/object_tools.h"

namespace {

bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// The target of a paint or fill click: the topmost object under the point,
// else the current frame's reference to a selected object that is visible,
// else the topmost visible reference. Selected when it was not.
CRefImageObject* ChooseTarget(CLoopwrightDoc& doc, POINT image) {
  CRefImageObject* target = HitTestFrame(doc, image);
  if (!target)
    for (const auto& object : doc.m_selectedObjects)
      if (CRefImageObject* ref = CurrentRefOf(doc, object.get()); ref && ref->m_bVisible && object->GetImage()) {
        target = ref;
        break;
      }
  if (!target) target = TopmostVisible(doc);
  if (target) SelectOnly(doc, target->m_pObject);
  return target;
}

// Asks the conversion question and converts on Yes.
bool ConvertIfNeeded(CLoopwrightDoc& doc, const RefPtr<CDib>& object, const char* question) {
  if (IsPaintable(*object)) return true;
  if (!doc.Prompt().AskYesNo(FormatMessage1(question, object->m_strName))) return false;
  return ConvertForPainting(doc, object);
}

const char* const kPaintQuestion =
    "The Object \"%s\" is not an image object.\r\nIf you want to paint on it or erase its portion,it must be "
    "converted to an image object.\r\nConvert it now?";
const char* const kFloodQuestion =
    "The Object \"%s\" is not an image object.\r\nIf you want to flood,it must be converted to an image "
    "object.\r\nConvert it now?";

}  // namespace

// CPaintOpTool -------------------------------------------------------------

POINT CPaintOpTool::Origin() const { return m_target ? POINT{m_target->m_nX, m_target->m_nY} : POINT{0, 0}; }

void CPaintOpTool::Reset() {
  m_target = nullptr;
  m_pSaved.reset();
  m_points.clear();
  m_levels = CSelectionLevels();
  m_bPainted = false;
  m_state.flags &= ~(kToolFeedback | kToolMoveUnsaved);
}

bool CPaintOpTool::OnLButtonDown(CEditPictureView& view, unsigned, POINT point) {
  CLoopwrightDoc& doc = view.Doc();
  Reset();
  if (!TopmostVisible(doc)) {
    doc.Prompt().ShowMessage(GetNoObjectMessage(), MessageKind::Warning);
    return true;
  }
  // Image coordinates throughout: the view adds the scroll position once.
  const POINT image = view.ClientToImage(point);
  m_state.start = m_state.last = image;
  CRefImageObject* target = ChooseTarget(doc, image);
  if (!target || !target->m_pObject || !target->m_pObject->GetImage()) {
    doc.Prompt().ShowMessage(GetNoSelectionMessage(), MessageKind::Warning);
    return true;
  }
  if (!ConvertIfNeeded(doc, target->m_pObject, Tr(kPaintQuestion))) return true;
  m_target = RefPtr<CRefImageObject>(target);
  m_pSaved.reset(CBitmapCreator::Clone(target->m_pObject->GetImage()));
  if (!m_pSaved) {
    m_target = nullptr;
    return true;
  }
  m_savedOrigin = Origin();
  view.SetCapture(true);
  m_state.flags |= kToolFeedback | kToolMoveUnsaved;
  m_points.push_back(image);
  BeginStroke(view);
  if (view.HasSelection()) m_levels = CSelectionLevels(view.Selection(), Origin());
  return true;
}

bool CPaintOpTool::OnMouseMove(CEditPictureView& view, unsigned, POINT point) {
  if (!m_target || !(m_state.flags & kToolFeedback) || !view.IsLButtonDown()) return false;
  const POINT image = view.ClientToImage(point);
  if (Beeline(view)) {
    m_state.last = image;
    return true;
  }
  if (SamePoint(image, m_state.last)) return true;
  if (PaintOne(view, m_state.last, image)) m_bPainted = true;
  m_points.push_back(image);
  m_state.last = image;
  return true;
}

bool CPaintOpTool::OnLButtonUp(CEditPictureView& view, unsigned, POINT point) {
  if (!m_target || !(m_state.flags & kToolFeedback)) return false;
  view.SetCapture(false);
  const POINT image = view.ClientToImage(point);
  // A straight line, or a click: one segment from the press to the release.
  if (Beeline(view) || m_points.size() == 1)
    if (PaintOne(view, m_state.start, image)) m_bPainted = true;
  Finish(view);
  Reset();
  return true;
}

void CPaintOpTool::Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const {
  if (!m_target || !Beeline(view)) return;
  // The straight line from the press to the pointer, in scrolled coordinates.
  auto scrolled = [&](POINT p) {
    POINT s{p.x, p.y};
    view.Zoom().Actual_to_Scaled(s);
    const POINT o = view.GetCanvasOrigin();
    return POINT{s.x + o.x, s.y + o.y};
  };
  view.DrawFeedbackLine(out, scrolled(m_state.start), scrolled(m_state.last));
}

// Brush ----------------------------------------------------------------------

std::string CLineTool::GetNoObjectMessage() const { return Tr("There must be an object before drawing a line!"); }
std::string CLineTool::GetNoSelectionMessage() const { return Tr("Select at least one object before drawing!"); }

CPenStyle CLineTool::Pen(const CEditPictureView& view) const {
  const CPreferences& s = const_cast<CEditPictureView&>(view).Tools().m_settings;
  CPenStyle pen;
  pen.width = s.Get("PaintLineWidth");
  pen.roundCap = s.Get("PaintRoundCap") != 0;
  pen.colour = COLORREF(s.Get("PaintLineColor")) & 0xFFFFFF;
  pen.transparency = BYTE(std::clamp(s.Get("LineOpacity"), 0, 255));
  return pen;
}

bool CLineTool::Beeline(const CEditPictureView& view) const {
  return const_cast<CEditPictureView&>(view).Tools().m_settings.Get("PaintBeeline") != 0;
}

void CLineTool::BeginStroke(CEditPictureView& view) {
  if (!view.Tools().m_settings.Get("AllowPaintTransparence")) return;
  CLoopwrightDoc& doc = view.Doc();
  POINT origin = Origin();
  EnlargePicture(doc, *m_target->m_pObject, origin, RECT{0, 0, doc.m_nWidth, doc.m_nHeight});
}

bool CLineTool::PaintOne(CEditPictureView& view, POINT a, POINT b) {
  return PaintSegment(*m_target->m_pObject, Origin(), a, b, Pen(view), m_levels.Mask());
}

void CLineTool::Finish(CEditPictureView& view) {
  CLoopwrightDoc& doc = view.Doc();
  CDib& object = *m_target->m_pObject;
  POINT origin = Origin();
  if (view.Tools().m_settings.Get("AllowPaintTransparence")) TrimPicture(doc, object, origin);
  const int dx = int(origin.x - m_savedOrigin.x), dy = int(origin.y - m_savedOrigin.y);
  if (!m_bPainted) {
    // Nothing painted: the grown picture goes back as it was.
    object.SetImage(std::move(m_pSaved));
    OffsetRefsOf(doc, &object, -dx, -dy);
    return;
  }
  if (object.HasShadow()) object.BuildShadow();
  auto* action = new CTrimObjsDIBAction(doc, CTrimObjsDIBAction::PAINT_LINE);
  action->Add(std::make_unique<CModifyDibElm>(m_target->m_pObject, std::move(m_pSaved), dx, dy));
  objcmd::Record(doc, action);
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
}

// Eraser ---------------------------------------------------------------------

std::string CEraseTool::GetNoObjectMessage() const { return Tr("An object must be visible before erasing!"); }
std::string CEraseTool::GetNoSelectionMessage() const { return Tr("Select at least one object before erasing!"); }

CPenStyle CEraseTool::Pen(const CEditPictureView& view) const {
  const CPreferences& s = const_cast<CEditPictureView&>(view).Tools().m_settings;
  CPenStyle pen;
  pen.width = s.Get("EraseLineWidth");
  pen.roundCap = s.Get("EraseRoundCap") != 0;
  pen.transparency = BYTE(std::clamp(s.Get("EraseTransparence"), 0, 255));
  return pen;
}

bool CEraseTool::Beeline(const CEditPictureView& view) const {
  return const_cast<CEditPictureView&>(view).Tools().m_settings.Get("EraseBeeline") != 0;
}

bool CEraseTool::PaintOne(CEditPictureView& view, POINT a, POINT b) {
  return EraseSegment(*m_target->m_pObject, Origin(), a, b, Pen(view), m_levels.Mask());
}

void CEraseTool::Finish(CEditPictureView& view) {
  if (!m_bPainted) return;
  CLoopwrightDoc& doc = view.Doc();
  if (m_target->m_pObject->HasShadow()) m_target->m_pObject->BuildShadow();
  objcmd::Record(doc, new CEditDibAction(doc, CEditDibAction::ERASE, m_target->m_pObject, std::move(m_pSaved)));
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
}

// Fill -----------------------------------------------------------------------

bool CFloodTool::OnLButtonDown(CEditPictureView& view, unsigned, POINT point) {
  FillAt(view, point);
  return true;
}

ContextMenu CFloodTool::OnRButtonDown(CEditPictureView& view, unsigned, POINT point) {
  FillAt(view, point);
  return MENU_NONE;
}

bool CFloodTool::FillAt(CEditPictureView& view, POINT client) {
  CLoopwrightDoc& doc = view.Doc();
  const POINT image = view.ClientToImage(client);
  if (image.x < 0 || image.y < 0 || image.x >= doc.m_nWidth || image.y >= doc.m_nHeight) return false;
  if (!TopmostVisible(doc)) {
    doc.Prompt().ShowMessage(Tr("There must be an object before filling!"), MessageKind::Warning);
    return false;
  }
  if (view.HasSelection() && !view.IsInSelection(image)) {
    doc.Prompt().ShowMessage(Tr("If you have made a selection, click inside it!"), MessageKind::Warning);
    return false;
  }
  CRefImageObject* target = ChooseTarget(doc, image);
  if (!target || !target->m_pObject || !target->m_pObject->GetImage()) return false;
  const CPreferences& s = view.Tools().m_settings;
  const BITMAPINFOHEADER* pic = target->m_pObject->GetImage();
  const long long lx = (long long)image.x - target->m_nX, ly = (long long)image.y - target->m_nY;
  const bool inside = lx >= 0 && ly >= 0 && lx < pic->biWidth && ly < DibHeight(pic);
  const POINT local{inside ? LONG(lx) : 0, inside ? LONG(ly) : 0};
  const bool transparent = !inside || DibRow(pic, local.y)[4 * local.x + 3] == 0;
  if (transparent && !s.Get("FloodTransparence")) {
    doc.Prompt().ShowMessage(
        Tr("To fill transparent areas, check the \"Allow painting in transparent areas\" option."),
        MessageKind::Warning);
    return false;
  }
  RefPtr<CRefImageObject> ref(target);
  if (!ConvertIfNeeded(doc, ref->m_pObject, Tr(kFloodQuestion))) return false;
  CFloodStyle style;
  style.tolerancePercent = s.Get("FloodSimilarity");
  style.connected = s.Get("FloodAdjacentArea") != 0;
  // 0 paints opaque, 255 nothing, as the brush's opacity reads.
  style.transparency = BYTE(std::clamp(s.Get("FloodOpacity"), 0, 255));
  style.colour = COLORREF(s.Get("FloodSolidColor")) & 0xFFFFFF;
  return FloodObject(doc, *ref, image, style, view.HasSelection() ? &view.Selection() : nullptr);
}

// Pick colour ----------------------------------------------------------------

bool ComposedPixel(const CLoopwrightDoc& doc, POINT image, DWORD& argb) {
  const CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame || image.x < 0 || image.y < 0 || image.x >= doc.m_nWidth || image.y >= doc.m_nHeight) return false;
  DibPtr one(CDIB32::CreateBlank32BitsDIB(1, 1));
  if (!one) return false;
  ComposeFrame(one.get(), POINT{-image.x, -image.y}, *frame);
  const BYTE* p = DibRow(one.get(), 0);
  argb = (DWORD(p[3]) << 24) | (DWORD(p[2]) << 16) | (DWORD(p[1]) << 8) | p[0];
  return true;
}

bool CPickColorTool::Pick(CEditPictureView& view, POINT client, bool right) {
  DWORD argb = 0;
  if (!ComposedPixel(view.Doc(), view.ClientToImage(client), argb)) return false;
  // Transparency 255 - alpha; a fully transparent pixel changes nothing.
  if ((argb >> 24) == 0) return false;
  const std::int32_t colour = std::int32_t(((argb & 0xFF) << 16) | (argb & 0xFF00) | ((argb >> 16) & 0xFF));
  CPreferences& s = view.Tools().m_settings;
  if (right) {
    s.Set("PaintForeColor", colour);
    s.Set("PaintLineColor", colour);
  } else {
    s.Set("PaintBackgndColor", colour);
    s.Set("FloodSolidColor", colour);
  }
  return true;
}

bool CPickColorTool::OnLButtonDown(CEditPictureView& view, unsigned, POINT point) {
  Pick(view, point, false);
  return true;
}

ContextMenu CPickColorTool::OnRButtonDown(CEditPictureView& view, unsigned, POINT point) {
  Pick(view, point, true);
  return MENU_NONE;
}

bool CPickColorTool::OnMouseMove(CEditPictureView& view, unsigned, POINT point) {
  DWORD argb = 0;
  if (ComposedPixel(view.Doc(), view.ClientToImage(point), argb)) {
    m_state.flags |= kToolFeedback;
    m_sample = argb;
    m_at = point;
  } else {
    m_state.flags &= ~kToolFeedback;
  }
  return true;
}

void CPickColorTool::Draw(const CEditPictureView&, TevImageTransform::CTevObjImage& out) const {
  // A 16 x 16 swatch with a black border, below and right of the pointer.
  const DWORD colour = m_sample | 0xFF000000u;
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 18; ++x) {
      const int px = int(m_at.x) + 12 + x, py = int(m_at.y) + 12 + y;
      if (!out.IsInside(px, py)) continue;
      const bool border = x == 0 || y == 0 || x == 17 || y == 17;
      out.SetPixelData(px, py, border ? 0xFF000000u : colour);
    }
}
