// Select, transform, shape, text and symbol tools.
#include "tools/object_tools.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <agg_conv_curve.h>

#include "app/dib_factories.h"
#include "companions/shapes/shape_object.h"
#include "companions/shapes/text_object.h"
#include "editing/object_actions.h"
#include "editing/object_command_support.h"
#include "editing/object_commands.h"
#include "editing/object_property_actions.h"
#include "editing/object_refs.h"
#include "tools/edit_view.h"
#include "companions/base/tr.h"

namespace {

bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

bool IsSelected(const CLoopwrightDoc& doc, const CDib* object) {
  return std::any_of(doc.m_selectedObjects.begin(), doc.m_selectedObjects.end(),
                     [&](const RefPtr<CDib>& o) { return o.get() == object; });
}

// The selected objects' visible references on the current frame.
std::vector<RefPtr<CRefImageObject>> SelectedVisibleRefs(const CLoopwrightDoc& doc) {
  std::vector<RefPtr<CRefImageObject>> refs;
  for (const auto& object : doc.m_selectedObjects)
    if (CRefImageObject* ref = CurrentRefOf(doc, object.get()); ref && ref->m_bVisible)
      refs.push_back(RefPtr<CRefImageObject>(ref));
  return refs;
}

bool InsideOpaque(const CRefImageObject& ref, POINT image) {
  const BITMAPINFOHEADER* pic = ref.m_pObject ? ref.m_pObject->GetImage() : nullptr;
  if (!pic) return false;
  const long long x = (long long)image.x - ref.m_nX, y = (long long)image.y - ref.m_nY;
  if (x < 0 || y < 0 || x >= pic->biWidth || y >= DibHeight(pic)) return false;
  return DibRow(pic, LONG(y))[4 * x + 3] != 0;
}

// Image point to the view's scrolled coordinates minus the canvas origin.
POINT ImageToViewUnscrolled(const CEditPictureView& view, double x, double y) {
  POINT p{LONG(std::lround(x)), LONG(std::lround(y))};
  view.Zoom().Actual_to_Scaled(p);
  return p;
}

struct ShapeName {
  const char* name;
  int kind;
};
constexpr ShapeName kShapeNames[] = {
    {"rectangle", TevCustomPathLibV::kShapeRectangle}, {"rounded-rectangle", TevCustomPathLibV::kShapeRoundRect},
    {"ellipse", TevCustomPathLibV::kShapeEllipse},     {"triangle", TevCustomPathLibV::kShapeTriangle},
    {"diamond", TevCustomPathLibV::kShapeDiamond},     {"polygon", TevCustomPathLibV::kShapePolygon},
    {"star", TevCustomPathLibV::kShapeStar},           {"arrow", TevCustomPathLibV::kShapeArrow},
    {"heart", TevCustomPathLibV::kShapeHeart},
};

}  // namespace

CRefImageObject* CurrentRefOf(const CLoopwrightDoc& doc, const CDib* object) {
  const CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame || !object) return nullptr;
  for (std::size_t j = 0; j < doc.m_objects.size(); ++j)
    if (doc.m_objects[j].get() == object) return RefOf(*frame, int(j));
  return nullptr;
}

CRefImageObject* HitTestFrame(const CLoopwrightDoc& doc, POINT image) {
  const CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return nullptr;
  for (std::size_t j = doc.m_objects.size(); j-- > 0;) {
    CRefImageObject* ref = RefOf(*frame, int(j));
    if (ref && ref->m_bVisible && InsideOpaque(*ref, image)) return ref;
  }
  return nullptr;
}

CRefImageObject* TopmostVisible(const CLoopwrightDoc& doc) {
  const CGifFrame* frame = doc.GetCurrentFrame();
  if (!frame) return nullptr;
  for (std::size_t j = doc.m_objects.size(); j-- > 0;) {
    CRefImageObject* ref = RefOf(*frame, int(j));
    if (ref && ref->m_bVisible && ref->m_pObject && ref->m_pObject->GetImage()) return ref;
  }
  return nullptr;
}

void SelectOnly(CLoopwrightDoc& doc, const RefPtr<CDib>& object) {
  if (IsSelected(doc, object.get())) return;
  doc.m_selectedObjects.clear();
  doc.m_selectedObjects.push_back(object);
}

// Select tool ----------------------------------------------------------------

bool CSelectTool::OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) {
  CLoopwrightDoc& doc = view.Doc();
  const POINT image = view.ClientToImage(point);
  m_state.last = image;
  m_state.flags &= ~(kToolMoving | kToolMoveUnsaved);
  CRefImageObject* hit = HitTestFrame(doc, image);
  if (hit) {
    const RefPtr<CDib> object = hit->m_pObject;
    auto& sel = doc.m_selectedObjects;
    const auto it = std::find(sel.begin(), sel.end(), object);
    if (flags & kKeyCtrl) {
      if (it == sel.end()) sel.push_back(object);
      else sel.erase(it);
    } else if (flags & kKeyShift) {
      if (it == sel.end()) sel.push_back(object);
    } else if (it == sel.end()) {
      sel.clear();
      sel.push_back(object);
    }
  } else {
    doc.m_selectedObjects.clear();
  }
  // A drag may start when a selected object lies under the point.
  for (const auto& ref : SelectedVisibleRefs(doc))
    if (InsideOpaque(*ref, image)) {
      m_state.flags |= kToolMoving | kToolMoveUnsaved;
      break;
    }
  return true;
}

bool CSelectTool::OnMouseMove(CEditPictureView& view, unsigned, POINT point) {
  if (!(m_state.flags & kToolMoving) || !view.IsLButtonDown()) return false;
  CLoopwrightDoc& doc = view.Doc();
  const POINT image = view.ClientToImage(point);
  const auto refs = SelectedVisibleRefs(doc);
  if (m_state.flags & kToolMoveUnsaved) {
    for (const auto& ref : refs)
      if (ref->m_bLocked) {
        doc.Prompt().ShowMessage(kLockedObjectsMessage, MessageKind::Info);
        m_state.flags &= ~(kToolMoving | kToolMoveUnsaved);
        return true;
      }
    if (SamePoint(image, m_state.last)) return true;
    auto* action = new CModifyObjectPropsAction<CObjectPropOffset>(doc, Tr("Move Objects"));
    action->Reserve(refs.size());
    for (const auto& ref : refs) action->Add(ref);
    objcmd::Record(doc, action);
    m_state.flags &= ~kToolMoveUnsaved;
    view.SetCapture(true);
  }
  const long long dx = (long long)image.x - m_state.last.x, dy = (long long)image.y - m_state.last.y;
  if (dx == 0 && dy == 0) return true;
  for (const auto& ref : refs) {
    ref->m_nX = std::int32_t(std::clamp<long long>(ref->m_nX + dx, -1000000000LL, 1000000000LL));
    ref->m_nY = std::int32_t(std::clamp<long long>(ref->m_nY + dy, -1000000000LL, 1000000000LL));
  }
  m_state.last = image;
  return true;
}

bool CSelectTool::OnLButtonUp(CEditPictureView& view, unsigned, POINT) {
  if (!(m_state.flags & kToolMoving)) return false;
  m_state.flags &= ~(kToolMoving | kToolMoveUnsaved);
  view.SetCapture(false);
  view.Doc().UpdateAllViews(HINT_OBJECT_MOVED, view.Doc().GetCurrentFrame());
  return true;
}

// Transform tool -------------------------------------------------------------

namespace {

// The first selected object's visible reference on the current frame, when
// the transform tool can change it.
CRefImageObject* TransformTarget(const CLoopwrightDoc& doc) {
  for (const auto& object : doc.m_selectedObjects) {
    CRefImageObject* ref = CurrentRefOf(doc, object.get());
    if (!ref || !ref->m_bVisible || !object->GetImage()) continue;
    if (BitmapFactoryOf(*object) || VectorObjectOf(*object)) return ref;
    return nullptr;
  }
  return nullptr;
}

RECT BoxOf(const CRefImageObject& ref) {
  const BITMAPINFOHEADER* p = ref.m_pObject->GetImage();
  return RECT{ref.m_nX, ref.m_nY, ref.m_nX + p->biWidth, ref.m_nY + DibHeight(p)};
}

void HandleOfBox(const RECT& b, int i, double& x, double& y) {
  const double l = b.left, t = b.top, r = b.right, bt = b.bottom, cx = (l + r) / 2, cy = (t + bt) / 2;
  static constexpr int kX[8] = {0, 1, 2, 2, 2, 1, 0, 0};  // 0 left, 1 centre, 2 right
  static constexpr int kY[8] = {0, 0, 0, 1, 2, 2, 2, 1};
  x = kX[i] == 0 ? l : kX[i] == 1 ? cx : r;
  y = kY[i] == 0 ? t : kY[i] == 1 ? cy : bt;
}

}  // namespace

bool CTransformTool::HandlePoint(const CEditPictureView& view, int i, double& x, double& y) const {
  const CRefImageObject* ref = TransformTarget(view.Doc());
  if (!ref || i < 0 || i > kRotateHandle) return false;
  const RECT box = BoxOf(*ref);
  if (i < kRotateHandle) {
    HandleOfBox(box, i, x, y);
    return true;
  }
  double tx, ty;
  HandleOfBox(box, 1, tx, ty);
  const POINT v = ImageToViewUnscrolled(view, tx, ty);
  x = v.x;
  y = double(v.y) - kRotateDistance;
  return true;
}

bool CTransformTool::OnLButtonDown(CEditPictureView& view, unsigned flags, POINT point) {
  m_nHandle = -1;
  m_ref = nullptr;
  CRefImageObject* ref = TransformTarget(view.Doc());
  if (ref) {
    // The rotate handle in view coordinates (client + scroll - origin).
    const POINT origin = view.GetCanvasOrigin(), scrolled = view.ClientToScrolled(point);
    const double vx = double(scrolled.x) - origin.x, vy = double(scrolled.y) - origin.y;
    double hx, hy;
    if (HandlePoint(view, kRotateHandle, hx, hy) && std::abs(vx - hx) <= 3 && std::abs(vy - hy) <= 3) {
      m_nHandle = kRotateHandle;
    } else {
      const POINT image = view.ClientToImage(point);
      for (int i = 0; i < kRotateHandle && m_nHandle < 0; ++i)
        if (HandlePoint(view, i, hx, hy) && std::abs(image.x - hx) <= 3.0 && std::abs(image.y - hy) <= 3.0)
          m_nHandle = i;
    }
  }
  if (m_nHandle < 0) return CSelectTool::OnLButtonDown(view, flags, point);
  m_ref = RefPtr<CRefImageObject>(ref);
  m_box = BoxOf(*ref);
  m_startClient = point;
  m_state.start = m_state.last = view.ClientToImage(point);
  m_state.flags |= kToolFeedback;
  view.SetCapture(true);
  return true;
}

bool CTransformTool::OnMouseMove(CEditPictureView& view, unsigned flags, POINT point) {
  if (m_nHandle < 0) return CSelectTool::OnMouseMove(view, flags, point);
  if (view.IsLButtonDown()) m_state.last = view.ClientToImage(point);
  return true;
}

bool CTransformTool::OnLButtonUp(CEditPictureView& view, unsigned flags, POINT point) {
  if (m_nHandle < 0) return CSelectTool::OnLButtonUp(view, flags, point);
  view.SetCapture(false);
  m_state.flags &= ~kToolFeedback;
  Apply(view, view.ClientToImage(point));
  m_nHandle = -1;
  m_ref = nullptr;
  return true;
}

bool CTransformTool::Apply(CEditPictureView& view, POINT image) {
  CLoopwrightDoc& doc = view.Doc();
  if (!m_ref || !m_ref->m_pObject || SamePoint(image, m_state.start)) return false;
  const RefPtr<CDib> object = m_ref->m_pObject;
  CBitmapDibFactory* bitmap = BitmapFactoryOf(*object);
  TevCustomPathLibV::CTevVectorObject* vector = VectorObjectOf(*object);
  if (!bitmap && !vector) return false;
  const double sx = bitmap ? bitmap->ScaleX() : vector->ScaleX(), sy = bitmap ? bitmap->ScaleY() : vector->ScaleY();
  const double angle = bitmap ? bitmap->GetAngle() : vector->Angle();
  const double w = m_box.right - m_box.left, h = m_box.bottom - m_box.top;
  const double cx = (m_box.left + m_box.right) / 2.0, cy = (m_box.top + m_box.bottom) / 2.0;
  double nsx = sx, nsy = sy, nangle = angle;
  const int i = m_nHandle;
  if (i == kRotateHandle) {
    const double a0 = std::atan2(m_state.start.y - cy, m_state.start.x - cx);
    const double a1 = std::atan2(image.y - cy, image.x - cx);
    nangle = std::fmod(angle + (a1 - a0) * 180.0 / 3.14159265358979323846, 360.0);
  } else {
    const double ddx = image.x - m_state.start.x, ddy = image.y - m_state.start.y;
    const bool left = i == 0 || i == 6 || i == 7, right = i >= 2 && i <= 4;
    const bool top = i <= 2, bottom = i >= 4 && i <= 6;
    double kx = 1, ky = 1;
    if (left) kx = std::max(1.0, w - ddx) / w;
    if (right) kx = std::max(1.0, w + ddx) / w;
    if (top) ky = std::max(1.0, h - ddy) / h;
    if (bottom) ky = std::max(1.0, h + ddy) / h;
    const bool corner = (left || right) && (top || bottom);
    if (corner && view.Tools().m_settings.Get("PreserveRatio")) kx = ky = std::abs(kx - 1) >= std::abs(ky - 1) ? kx : ky;
    nsx = std::clamp(sx * kx, 1e-3, 1e3);
    nsy = std::clamp(sy * ky, 1e-3, 1e3);
  }
  if (nsx == sx && nsy == sy && nangle == angle) return false;
  std::unique_ptr<CTransformAction> action;
  if (bitmap) action = std::make_unique<CBitmapTransformAction>(doc, m_ref);
  else if (object->m_nKind == OBJECT_TEXT) action = std::make_unique<CTextTransformAction>(doc, m_ref);
  else action = std::make_unique<CShapeTransformAction>(doc, m_ref);
  if (bitmap) {
    bitmap->SetParameters(nsx, nsy, nangle);
  } else {
    vector->SetScale(nsx, nsy);
    vector->SetAngle(nangle);
  }
  std::unique_ptr<CModifyDibElm> picture = RebuildObjectPicture(doc, object, false);
  if (!picture) {
    action->Undo();  // puts the old scale and angle back
    return false;
  }
  // Resizing keeps the side opposite the handle; rotating keeps the centre.
  const BITMAPINFOHEADER* p = object->GetImage();
  const LONG nw = p->biWidth, nh = DibHeight(p);
  if (i == kRotateHandle) {
    m_ref->m_nX = std::int32_t(std::lround(cx - nw / 2.0));
    m_ref->m_nY = std::int32_t(std::lround(cy - nh / 2.0));
  } else {
    const bool left = i == 0 || i == 6 || i == 7, top = i <= 2;
    const bool horizontal = left || (i >= 2 && i <= 4), vertical = top || (i >= 4 && i <= 6);
    m_ref->m_nX = std::int32_t(left ? m_box.right - nw : horizontal ? m_box.left : std::lround(cx - nw / 2.0));
    m_ref->m_nY = std::int32_t(top ? m_box.bottom - nh : vertical ? m_box.top : std::lround(cy - nh / 2.0));
  }
  action->SetPictureRecord(std::move(picture));
  objcmd::Record(doc, action.release());
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}

void CTransformTool::Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const {
  // The handle frame: the box, each handle as a small square, and the line
  // to the rotate handle (all in scrolled coordinates).
  const CRefImageObject* ref = TransformTarget(view.Doc());
  if (!ref) return;
  const POINT o = view.GetCanvasOrigin();
  auto scrolled = [&](double x, double y) {
    const POINT v = ImageToViewUnscrolled(view, x, y);
    return POINT{v.x + o.x, v.y + o.y};
  };
  const RECT b = BoxOf(*ref);
  const POINT tl = scrolled(b.left, b.top), br = scrolled(b.right, b.bottom);
  view.DrawFeedbackRect(out, RECT{tl.x, tl.y, br.x, br.y}, false);
  for (int i = 0; i <= kRotateHandle; ++i) {
    double x, y;
    if (!HandlePoint(view, i, x, y)) continue;
    const POINT c = i < kRotateHandle ? scrolled(x, y) : POINT{LONG(x) + o.x, LONG(y) + o.y};
    view.DrawFeedbackRect(out, RECT{c.x - 3, c.y - 3, c.x + 3, c.y + 3}, i == kRotateHandle);
  }
}

// Shape tool -----------------------------------------------------------------

int ShapeKindOfName(const std::string& name) {
  for (const auto& s : kShapeNames)
    if (name == s.name) return s.kind;
  return -1;
}

const char* ShapeNameOfKind(int kind) {
  for (const auto& s : kShapeNames)
    if (kind == s.kind) return s.name;
  return nullptr;
}

bool CDrawShapeTool::OnLButtonDown(CEditPictureView& view, unsigned, POINT point) {
  // Image coordinates: the view adds the scroll position once.
  m_state.start = m_state.last = view.ClientToImage(point);
  m_state.flags &= ~kToolFeedback;
  m_bBand = true;
  view.SetCapture(true);
  return true;
}

bool CDrawShapeTool::OnMouseMove(CEditPictureView& view, unsigned, POINT point) {
  if (!m_bBand || !view.IsLButtonDown()) return false;
  m_state.flags |= kToolFeedback;
  m_state.last = view.ClientToImage(point);
  return true;
}

bool CDrawShapeTool::OnCancel(CEditPictureView& view) {
  if (!m_bBand) return false;
  m_bBand = false;
  view.SetCapture(false);
  return true;
}

bool CDrawShapeTool::OnLButtonUp(CEditPictureView& view, unsigned, POINT point) {
  if (!m_bBand) return false;
  m_bBand = false;
  view.SetCapture(false);
  m_state.flags &= ~kToolFeedback;
  m_state.last = view.ClientToImage(point);
  const RECT box{std::min(m_state.start.x, m_state.last.x), std::min(m_state.start.y, m_state.last.y),
                 std::max(m_state.start.x, m_state.last.x), std::max(m_state.start.y, m_state.last.y)};
  if (box.right - box.left < 1 || box.bottom - box.top < 1) return true;
  const CPreferences& s = view.Tools().m_settings;
  TevCustomPathLibV::CTevShapeObj shape;
  shape.SetKind(m_nShapeKind);
  shape.SetSize(double(box.right - box.left), double(box.bottom - box.top));
  if (m_nShapeKind == TevCustomPathLibV::kShapeRoundRect) shape.SetRatio(s.Get("RoundRadius") / 100.0);
  auto& props = shape.RenderProps();
  props.outlineWidth = s.Get("PaintShapeWidth");
  props.strokeOutline = props.outlineWidth > 0;
  props.fillInside = s.Get("FillInsideShape") != 0;
  props.outlineColour = COLORREF(s.Get("PaintForeColor")) & 0xFFFFFF;
  props.fillColour = COLORREF(s.Get("PaintBackgndColor")) & 0xFFFFFF;
  props.dashStyle = std::clamp(s.Get("ShapeDashStyle"), 0, int(TevCustomPathLibV::kDashStyleCount) - 1);
  // ShapeOpacity steps 0 to 22: 0 opaque.
  props.transparency = BYTE(std::clamp(s.Get("ShapeOpacity"), 0, 22) * 255 / 22);
  if (!props.fillInside && !props.strokeOutline) props.strokeOutline = true, props.outlineWidth = 1;
  auto factory = MakeRef<CShapeDibFactory>(shape);
  RefPtr<CDib> object = CreateGeneratorObject(factory, OBJECT_SHAPE);
  if (!object) return true;
  const POINT origin = factory->RenderOrigin();
  AddObjectOnTop(view.Doc(), object, box.left + origin.x, box.top + origin.y, 0, CUpdateObjsListAction::PAINT_SHAPE);
  return true;
}

void CDrawShapeTool::Draw(const CEditPictureView& view, TevImageTransform::CTevObjImage& out) const {
  // The chosen gallery shape scaled into the rubber band (scrolled coordinates).
  const POINT o = view.GetCanvasOrigin();
  const double left = std::min(m_state.start.x, m_state.last.x), top = std::min(m_state.start.y, m_state.last.y);
  const double w = std::abs(double(m_state.last.x) - m_state.start.x);
  const double h = std::abs(double(m_state.last.y) - m_state.start.y);
  auto scrolled = [&](double x, double y) {
    POINT p = ImageToViewUnscrolled(view, left + x, top + y);
    return POINT{p.x + o.x, p.y + o.y};
  };
  const TevCustomPathLibV::CTevShapeObj defaults;
  TevCustomPathLibV::CTevPath path;
  if (w < 1 || h < 1 ||
      !TevCustomPathLibV::BuildGalleryShapePath(m_nShapeKind, w, h, defaults.Count(), defaults.Ratio(), path)) {
    view.DrawFeedbackRect(out, RECT{scrolled(0, 0).x, scrolled(0, 0).y, scrolled(w, h).x, scrolled(w, h).y}, false);
    return;
  }
  agg::conv_curve<TevCustomPathLibV::CTevPath> curve(path);
  curve.rewind(0);
  double x, y;
  POINT first{0, 0}, prev{0, 0};
  bool open = false;
  for (unsigned cmd; !agg::is_stop(cmd = curve.vertex(&x, &y));) {
    if (agg::is_move_to(cmd)) {
      first = prev = scrolled(x, y);
      open = true;
    } else if (agg::is_vertex(cmd) && open) {
      const POINT p = scrolled(x, y);
      view.DrawFeedbackLine(out, prev, p);
      prev = p;
    } else if (agg::is_end_poly(cmd) && open) {
      view.DrawFeedbackLine(out, prev, first);
      prev = first;
    }
  }
}

// Text tool ------------------------------------------------------------------

bool CTextTool::OnLButtonDown(CEditPictureView& view, unsigned, POINT point) {
  m_bOpen = true;
  m_pObject = nullptr;
  m_at = view.ClientToImage(point);
  return true;
}

void CTextTool::BeginEdit(RefPtr<CDib> object) {
  m_bOpen = true;
  m_pObject = std::move(object);
}

void CTextTool::Cancel() {
  m_bOpen = false;
  m_pObject = nullptr;
}

ObjectResult CTextTool::Confirm(CLoopwrightDoc& doc, const std::string& utf8) {
  if (!m_bOpen) return ObjectResult::Refused("no text entry is open (click with the text tool first)");
  if (utf8.empty()) return ObjectResult::Refused("the text is empty");
  if (m_pObject) {
    const auto it = std::find(doc.m_objects.begin(), doc.m_objects.end(), m_pObject);
    if (it == doc.m_objects.end()) {
      Cancel();
      return ObjectResult::Refused("the text object is gone");
    }
    const ObjectResult r = EditText(doc, int(it - doc.m_objects.begin()), utf8);
    if (r.ok) Cancel();
    return r;
  }
  TevCustomPathLibV::CTevTextObj text;
  TevCustomPathLibV::TevFontDesc font = text.Font();
  font.size = 32;
  text.SetFont(font);
  text.SetText(utf8);
  text.RenderProps().strokeOutline = false;
  auto factory = MakeRef<CTextDibFactory>(text);
  RefPtr<CDib> object = CreateGeneratorObject(factory, OBJECT_TEXT);
  if (!object) return ObjectResult::Refused("the text draws nothing");
  const POINT origin = factory->RenderOrigin();
  const ObjectResult r = AddObjectOnTop(doc, object, m_at.x + origin.x, m_at.y + origin.y, 0,
                                        CUpdateObjsListAction::ADD_TEXT);
  if (r.ok) Cancel();
  return r;
}
