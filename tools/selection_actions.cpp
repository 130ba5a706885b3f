#include "tools/selection_actions.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "app/frame_render.h"
#include "tools/edit_view.h"

using TevImageTransform::CTevObjSelection;

namespace {

// Shapes larger than this on a side are refused before any mask is made.
constexpr long long kMaxShapeSide = 32768;
// The selection's offset stays within this distance of the canvas.
constexpr long long kMaxOffset = 1 << 24;

RECT CanvasRect(const CEditPictureView& view) {
  return RECT{0, 0, LONG(std::max(0, view.Doc().m_nWidth)), LONG(std::max(0, view.Doc().m_nHeight))};
}

bool CanvasEmpty(const CEditPictureView& view) {
  const RECT c = CanvasRect(view);
  return c.right <= 0 || c.bottom <= 0;
}

// A fully selected box with whole-pixel corners, built without rasterizing.
bool BoxMask(CTevObjSelection& out, RECT box) {
  TevImageTransform::CTevObjImage mask;
  if (box.right <= box.left || box.bottom <= box.top || !mask.Create(box.right - box.left, box.bottom - box.top, 8))
    return false;
  for (int y = 0; y < mask.Height(); ++y) std::memset(mask.GetBits(y), 255, std::size_t(mask.Width()));
  return out.CreateSelectionFromMask(mask, POINT{box.left, box.top});
}

const char* const kOutsideCanvas = "the selection lies wholly outside the canvas";
const char* const kNoCanvas = "the document has no canvas";

}  // namespace

// CSelectionAction ---------------------------------------------------------

CSelectionAction::CSelectionAction(CEditPictureView& view, int kind, std::vector<POINT> lasso)
    : m_view(view), m_stored(view.Selection()), m_lasso(std::move(lasso)), m_nKind(kind) {
  SetMenuText(KindText(kind, false));
}

std::string CSelectionAction::KindText(int kind, bool redo) {
  static constexpr const char* kNames[] = {"Rectangular Selection", "Elliptic Selection", "Lasso Selection",
                                           "Magic Wand Selection",  "Select All",         "Unselect All",
                                           "Invert"};
  if (kind < 0 || kind > 6) return {};
  return std::string(redo ? "Redo " : "Undo ") + kNames[kind];
}

void CSelectionAction::Exchange() {
  CTevObjSelection current(m_view.Selection());
  m_view.Selection() = m_stored;
  if (m_stored.IsSelectionEmpty()) m_view.Selection().SetSelectionEmpty();
  m_stored = current;
  if (current.IsSelectionEmpty()) m_stored.SetSelectionEmpty();
  m_view.SelectionChanged();
}

void CSelectionAction::Undo() {
  Exchange();
  if (const std::string t = KindText(m_nKind, true); !t.empty()) SetMenuText(t);
}

void CSelectionAction::Redo() {
  Exchange();
  if (const std::string t = KindText(m_nKind, false); !t.empty()) SetMenuText(t);
}

// CMoveSelectionAction -----------------------------------------------------

CMoveSelectionAction::CMoveSelectionAction(CEditPictureView& view)
    : m_view(view), m_offset(view.Selection().GetSelectionPos()) {
  SetMenuText("Undo Move Selection");
}

void CMoveSelectionAction::Exchange() {
  const POINT current = m_view.Selection().GetSelectionPos();
  m_view.Selection().SetSelectionPos(m_offset);
  m_offset = current;
}

void CMoveSelectionAction::Undo() {
  Exchange();
  SetMenuText("Redo Move Selection");
}

void CMoveSelectionAction::Redo() {
  Exchange();
  SetMenuText("Undo Move Selection");
}

// Commands -----------------------------------------------------------------

void ApplySelection(CEditPictureView& view, int kind, const CTevObjSelection& region, SelectionMode mode,
                    std::vector<POINT> lasso) {
  view.Doc().EditManager().AddAction(new CSelectionAction(view, kind, std::move(lasso)));
  CTevObjSelection& sel = view.Selection();
  switch (mode) {
    case SELECT_ADD: sel.AddSelection(region); break;
    case SELECT_SUBTRACT: sel.SubSelection(region); break;
    default:
      // Builders hand over trimmed masks: one copy, no second trim.
      sel = region;
      if (region.IsSelectionEmpty()) sel.SetSelectionEmpty();
      break;
  }
  if (mode != SELECT_REPLACE && sel.IsValidImage()) sel.SelectionOptimize();
  view.SelectionChanged();
}

namespace {

// Builds a box shape cut to the canvas and applies it.
ObjectResult SelectBox(CEditPictureView& view, int kind, int x, int y, int width, int height, int roundness,
                       SelectionMode mode) {
  if (CanvasEmpty(view)) return ObjectResult::Refused(kNoCanvas);
  if (width <= 0 || height <= 0) return ObjectResult::Refused("the selection box is empty (width and height must be positive)");
  const RECT canvas = CanvasRect(view);
  const long long r = (long long)x + width, b = (long long)y + height;
  if (r <= 0 || b <= 0 || x >= canvas.right || y >= canvas.bottom) return ObjectResult::Refused(kOutsideCanvas);
  CTevObjSelection region;
  if (kind == CSelectionAction::RECTANGLE && roundness == 0) {
    // A plain box is cut to the canvas before its mask is made.
    BoxMask(region, RECT{std::max(x, 0), std::max(y, 0), LONG(std::min<long long>(r, canvas.right)),
                         LONG(std::min<long long>(b, canvas.bottom))});
  } else {
    if (width > kMaxShapeSide || height > kMaxShapeSide)
      return ObjectResult::Refused("the selection box is too large (at most 32768 pixels a side)");
    const double x1 = x, y1 = y, x2 = double(r), y2 = double(b);
    if (kind == CSelectionAction::ELLIPSE) {
      region.CreateEllipseSelection(x1, y1, x2, y2, 0);
    } else {
      const double radius = roundness * std::min(width, height) / 200.0;
      region.CreateRoundRectSelection(x1, y1, x2, y2, radius, 0);
    }
    region.CropSelection(canvas);
  }
  if (region.IsSelectionEmpty()) return ObjectResult::Refused(kOutsideCanvas);
  ApplySelection(view, kind, region, mode);
  return ObjectResult::Done();
}

}  // namespace

ObjectResult SelectRectangle(CEditPictureView& view, int x, int y, int width, int height, int roundness,
                             SelectionMode mode) {
  if (roundness < 0 || roundness > 100) return ObjectResult::Refused("the roundness must be 0 to 100 percent");
  return SelectBox(view, CSelectionAction::RECTANGLE, x, y, width, height, roundness, mode);
}

ObjectResult SelectEllipse(CEditPictureView& view, int x, int y, int width, int height, SelectionMode mode) {
  return SelectBox(view, CSelectionAction::ELLIPSE, x, y, width, height, 0, mode);
}

ObjectResult SelectLasso(CEditPictureView& view, const std::vector<POINT>& points, SelectionMode mode) {
  if (CanvasEmpty(view)) return ObjectResult::Refused(kNoCanvas);
  if (points.size() < 3) return ObjectResult::Refused("a lasso needs at least 3 points");
  if (points.size() > std::size_t(kMaxLassoPoints))
    return ObjectResult::Refused("a lasso takes at most " + std::to_string(kMaxLassoPoints) + " points");
  long long minX = std::numeric_limits<long long>::max(), minY = minX, maxX = std::numeric_limits<long long>::min(),
            maxY = maxX;
  std::vector<double> xy;
  xy.reserve(points.size() * 2);
  for (const POINT& p : points) {
    minX = std::min<long long>(minX, p.x);
    maxX = std::max<long long>(maxX, p.x);
    minY = std::min<long long>(minY, p.y);
    maxY = std::max<long long>(maxY, p.y);
    xy.push_back(p.x);
    xy.push_back(p.y);
  }
  const RECT canvas = CanvasRect(view);
  if (maxX <= 0 || maxY <= 0 || minX >= canvas.right || minY >= canvas.bottom)
    return ObjectResult::Refused(kOutsideCanvas);
  if (maxX - minX > kMaxShapeSide || maxY - minY > kMaxShapeSide)
    return ObjectResult::Refused("the lasso is too large (at most 32768 pixels a side)");
  CTevObjSelection region;
  region.CreatePolygonSelection(xy.data(), int(points.size()), 0);
  region.CropSelection(canvas);
  if (region.IsSelectionEmpty()) return ObjectResult::Refused("the lasso encloses no pixel of the canvas");
  ApplySelection(view, CSelectionAction::LASSO, region, mode, points);
  return ObjectResult::Done();
}

ObjectResult SelectMagicWand(CEditPictureView& view, POINT at, int tolerance, bool connected, SelectionMode mode) {
  const RECT canvas = CanvasRect(view);
  if (at.x < 0 || at.y < 0 || at.x >= canvas.right || at.y >= canvas.bottom) {
    if (!view.HasSelection()) return ObjectResult::Refused("the point lies outside the canvas");
    view.Doc().EditManager().AddAction(new CSelectionAction(view, CSelectionAction::MAGIC_WAND));
    view.Selection().SetSelectionEmpty();
    view.SelectionChanged();
    return ObjectResult::Done();
  }
  const CGifFrame* frame = view.Doc().GetCurrentFrame();
  if (!frame) return ObjectResult::Refused("there is no current frame");
  DibPtr composed = RenderFrame(view.Doc(), *frame);
  if (!composed) return ObjectResult::Refused("out of memory");
  // The tolerance is a percentage of the colour range.
  const int level = std::clamp(tolerance, 0, 100) * 255 / 100;
  CTevObjSelection region;
  region.CreateMagicWandSeleciton(composed.get(), at, POINT{0, 0}, level, connected ? 1 : 0);
  if (region.IsSelectionEmpty()) return ObjectResult::Refused("the magic wand found no pixel");
  ApplySelection(view, CSelectionAction::MAGIC_WAND, region, mode);
  return ObjectResult::Done();
}

ObjectResult SelectAll(CEditPictureView& view) {
  if (CanvasEmpty(view)) return ObjectResult::Refused(kNoCanvas);
  const RECT c = CanvasRect(view);
  CTevObjSelection region;
  if (!BoxMask(region, c)) return ObjectResult::Refused("out of memory");
  ApplySelection(view, CSelectionAction::SELECT_ALL, region, SELECT_REPLACE);
  return ObjectResult::Done();
}

ObjectResult SelectNone(CEditPictureView& view) {
  if (!view.HasSelection()) return ObjectResult::Refused("nothing is selected");
  ApplySelection(view, CSelectionAction::UNSELECT_ALL, CTevObjSelection(), SELECT_REPLACE);
  return ObjectResult::Done();
}

ObjectResult SelectInvert(CEditPictureView& view) {
  if (CanvasEmpty(view)) return ObjectResult::Refused(kNoCanvas);
  const RECT c = CanvasRect(view);
  CTevObjSelection inverted;
  if (!BoxMask(inverted, c)) return ObjectResult::Refused("out of memory");
  if (view.HasSelection()) inverted.SubSelection(view.Selection());
  if (inverted.IsValidImage()) inverted.SelectionOptimize();
  ApplySelection(view, CSelectionAction::INVERT, inverted, SELECT_REPLACE);
  return ObjectResult::Done();
}

ObjectResult MoveSelection(CEditPictureView& view, int dx, int dy) {
  if (!view.HasSelection()) return ObjectResult::Refused("nothing is selected");
  const POINT pos = view.Selection().GetSelectionPos();
  const long long x = (long long)pos.x + dx, y = (long long)pos.y + dy;
  if (std::llabs(x) > kMaxOffset || std::llabs(y) > kMaxOffset)
    return ObjectResult::Refused("the selection would move too far from the canvas");
  if (dx == 0 && dy == 0) return ObjectResult::Refused("the selection does not move");
  view.Doc().EditManager().AddAction(new CMoveSelectionAction(view));
  view.Selection().SetSelectionPos(LONG(x), LONG(y));
  return ObjectResult::Done();
}
