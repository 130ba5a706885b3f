#include "editing/paint_actions.h"

#include <algorithm>
#include <cstring>

#include "companions/base/tr.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/vector/stroke_segment.h"
#include "editing/object_actions.h"
#include "editing/object_command_support.h"
#include "editing/object_refs.h"

using TevImageTransform::CTevObjSelection;

namespace {

// The largest side a painted picture may grow to.
constexpr long long kMaxPictureSide = 32768;
constexpr long long kMaxOffPicture = 1000000;

bool SamePixels(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  if (a->biWidth != b->biWidth || DibHeight(a) != DibHeight(b)) return false;
  for (LONG y = 0; y < DibHeight(a); ++y)
    if (std::memcmp(DibRow(a, y), DibRow(b, y), 4 * std::size_t(a->biWidth)) != 0) return false;
  return true;
}

// The segment's pen block, clipped to the picture, in picture coordinates.
bool SegmentBlock(const CDib& object, POINT origin, POINT& a, POINT& b, int width, RECT& block) {
  // Far-off points are pulled in to a range the rasterizer's fixed point
  // holds; they lie far outside any picture either way.
  auto local = [&](POINT p) {
    return POINT{LONG(std::clamp<long long>((long long)p.x - origin.x, -kMaxOffPicture, kMaxOffPicture)),
                 LONG(std::clamp<long long>((long long)p.y - origin.y, -kMaxOffPicture, kMaxOffPicture))};
  };
  a = local(a);
  b = local(b);
  RECT r = TevVecLib::StrokeSegmentBounds(a, b, width);
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, object.GetImage()->biWidth);
  r.bottom = std::min<LONG>(r.bottom, DibHeight(object.GetImage()));
  block = r;
  return r.left < r.right && r.top < r.bottom;
}

}  // namespace

CEditDibAction::CEditDibAction(CLoopwrightDoc& doc, int kind, RefPtr<CDib> object, DibPtr previous, int dx, int dy)
    : CModifyDibElm(std::move(object), std::move(previous), dx, dy), m_doc(doc), m_nKind(kind) {
  const std::string text = KindText(kind, false);
  if (!text.empty()) SetMenuText(text);
}

std::string CEditDibAction::KindText(int kind, bool redo) {
  switch (kind) {
    case ERASE: return redo ? Tr("Redo erase") : Tr("Undo erase");
    case FLOOD: return redo ? Tr("Redo flood") : Tr("Undo flood");
    default: return {};
  }
}

void CEditDibAction::Undo() {
  CModifyDibElm::Undo(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
  const std::string text = KindText(m_nKind, true);
  if (!text.empty()) SetMenuText(text);
}

void CEditDibAction::Redo() {
  CModifyDibElm::Redo(m_doc);
  m_doc.UpdateAllViews(HINT_FRAMES_CHANGED, m_doc.GetCurrentFrame());
  const std::string text = KindText(m_nKind, false);
  if (!text.empty()) SetMenuText(text);
}

CSelectionLevels::CSelectionLevels(const CTevObjSelection& selection, POINT origin) {
  if (selection.IsSelectionEmpty()) return;
  const int w = selection.Width(), h = std::abs(selection.Height());
  if (w <= 0 || h <= 0) return;
  m_data.resize(std::size_t(w) * std::size_t(h));
  for (int y = 0; y < h; ++y) {
    const BYTE* row = selection.GetBits(0, y);
    if (row) std::memcpy(m_data.data() + std::size_t(y) * std::size_t(w), row, std::size_t(w));
  }
  const POINT pos = selection.GetSelectionPos();
  m_mask.levels = m_data.data();
  m_mask.width = w;
  m_mask.height = h;
  m_mask.stride = std::size_t(w);
  m_mask.pos = POINT{pos.x - origin.x, pos.y - origin.y};
}

RECT PictureRect(const CDib& object, POINT origin) {
  const BITMAPINFOHEADER* p = object.GetImage();
  return RECT{origin.x, origin.y, origin.x + (p ? p->biWidth : 0), origin.y + (p ? DibHeight(p) : 0)};
}

bool EnlargePicture(CLoopwrightDoc& doc, CDib& object, POINT& origin, RECT area) {
  const RECT own = PictureRect(object, origin);
  const RECT u{std::min(own.left, area.left), std::min(own.top, area.top), std::max(own.right, area.right),
               std::max(own.bottom, area.bottom)};
  if (u.left == own.left && u.top == own.top && u.right == own.right && u.bottom == own.bottom) return true;
  if ((long long)u.right - u.left > kMaxPictureSide || (long long)u.bottom - u.top > kMaxPictureSide) return false;
  DibPtr grown(CDIB32::CreateBlank32BitsDIB(u.right - u.left, u.bottom - u.top));
  if (!grown) return false;
  const BITMAPINFOHEADER* p = object.GetImage();
  DibKernel::CopyBlock(grown.get(), POINT{own.left - u.left, own.top - u.top}, p,
                       RECT{0, 0, p->biWidth, DibHeight(p)});
  if (!object.SetImage(std::move(grown))) return false;
  OffsetRefsOf(doc, &object, int(u.left - own.left), int(u.top - own.top));
  origin = POINT{u.left, u.top};
  return true;
}

void TrimPicture(CLoopwrightDoc& doc, CDib& object, POINT& origin) {
  LONG l = 0, t = 0, r = 0, b = 0;
  if (!DibKernel::CheckBlankBorder(object.GetImage(), &l, &t, &r, &b)) return;  // nothing opaque: keep it
  if (l == 0 && t == 0 && r == 0 && b == 0) return;
  DibPtr cut(DibKernel::Trim32BitsDIB(object.GetImage(), l, t, r, b));
  if (!cut || !object.SetImage(std::move(cut))) return;
  OffsetRefsOf(doc, &object, int(l), int(t));
  origin = POINT{origin.x + l, origin.y + t};
}

bool PaintSegment(CDib& object, POINT origin, POINT a, POINT b, const CPenStyle& pen,
                  const DibKernel::FillMask* mask) {
  RECT block;
  if (!object.GetImage() || !SegmentBlock(object, origin, a, b, pen.width, block)) return false;
  const std::vector<BYTE> cover = TevVecLib::StrokeSegmentCoverage(block, a, b, pen.width, pen.roundCap);
  if (cover.empty()) return false;
  // The segment in the pen's colour, its coverage as alpha, mixed in.
  const LONG w = block.right - block.left, h = block.bottom - block.top;
  DibPtr temp(CDIB32::CreateBlank32BitsDIB(w, h));
  if (!temp) return false;
  for (LONG y = 0; y < h; ++y) {
    BYTE* row = DibRow(temp.get(), y);
    const BYTE* cov = cover.data() + std::size_t(y) * std::size_t(w);
    for (LONG x = 0; x < w; ++x) {
      if (!cov[x]) continue;
      row[4 * x] = GetBValue(pen.colour);
      row[4 * x + 1] = GetGValue(pen.colour);
      row[4 * x + 2] = GetRValue(pen.colour);
      row[4 * x + 3] = cov[x];
    }
  }
  DibKernel::CombineBlockMasked(object.GetImage(), POINT{block.left, block.top}, temp.get(), pen.transparency, mask);
  return true;
}

bool EraseSegment(CDib& object, POINT origin, POINT a, POINT b, const CPenStyle& pen,
                  const DibKernel::FillMask* mask) {
  RECT block;
  if (!object.GetImage() || !SegmentBlock(object, origin, a, b, pen.width, block)) return false;
  const std::vector<BYTE> cover = TevVecLib::StrokeSegmentCoverage(block, a, b, pen.width, pen.roundCap);
  if (cover.empty()) return false;
  return DibKernel::EraseCoverage32(object.GetImage(), POINT{block.left, block.top}, cover.data(),
                                    int(block.right - block.left), int(block.bottom - block.top), pen.transparency,
                                    mask) != FALSE;
}

bool FloodObject(CLoopwrightDoc& doc, CRefImageObject& ref, POINT at, const CFloodStyle& style,
                 const CTevObjSelection* selection) {
  CDib* object = ref.m_pObject.get();
  if (!object || !object->GetImage()) return false;
  POINT origin{ref.m_nX, ref.m_nY};
  const BITMAPINFOHEADER* pic = object->GetImage();
  if (style.transparency == 255) return false;  // paints nothing
  const long long lx = (long long)at.x - origin.x, ly = (long long)at.y - origin.y;
  const bool inside = lx >= 0 && ly >= 0 && lx < pic->biWidth && ly < DibHeight(pic);
  const POINT local{inside ? LONG(lx) : 0, inside ? LONG(ly) : 0};
  const bool transparent = !inside || DibRow(pic, local.y)[4 * local.x + 3] == 0;
  const int tolerance = std::clamp(style.tolerancePercent, 0, 100) * 255 / 100;
  DibPtr previous(CBitmapCreator::Clone(pic));
  if (!previous) return false;
  const POINT before = origin;
  if (!transparent) {
    const CSelectionLevels levels = selection ? CSelectionLevels(*selection, origin) : CSelectionLevels();
    BITMAPINFOHEADER* dib = object->GetImage();
    if (levels.Mask()) {
      if (style.connected)
        DibKernel::ExtFillConnectedPixels_Mask(dib, local, tolerance, style.colour, style.transparency, *levels.Mask());
      else
        DibKernel::ExtFill32BitsDIB_Mask(dib, local, tolerance, style.colour, style.transparency, *levels.Mask());
    } else if (style.connected) {
      DibKernel::ExtFillConnectedPixels(dib, local, tolerance, style.colour, style.transparency);
    } else {
      DibKernel::ExtFill32BitsDIB(dib, local, tolerance, style.colour, style.transparency);
    }
  } else {
    // The union of the picture and the canvas, so nothing of the object
    // outside the canvas is lost.
    if (!EnlargePicture(doc, *object, origin, RECT{0, 0, doc.m_nWidth, doc.m_nHeight})) return false;
    const POINT seed{at.x - origin.x, at.y - origin.y};
    const CSelectionLevels levels = selection ? CSelectionLevels(*selection, origin) : CSelectionLevels();
    BITMAPINFOHEADER* dib = object->GetImage();
    std::size_t filled = 0;
    if (levels.Mask()) {
      if (style.connected)
        filled = DibKernel::ExtFillConnectedTransPixels_Mask(dib, seed, style.colour, style.transparency, *levels.Mask());
      else
        filled = DibKernel::ExtFillTransBlock_Mask(dib, style.colour, style.transparency, *levels.Mask());
    } else if (style.connected) {
      filled = DibKernel::ExtFillConnectedTransPixels(dib, seed, style.colour, style.transparency);
    } else {
      filled = DibKernel::ExtFillTransBlock(dib, style.colour, style.transparency);
    }
    if (filled == 0) {
      // Nothing to fill (the selection missed the area): put it back.
      object->SetImage(DibPtr(CBitmapCreator::Clone(previous.get())));
      OffsetRefsOf(doc, object, int(before.x - origin.x), int(before.y - origin.y));
      return false;
    }
    TrimPicture(doc, *object, origin);
  }
  const int dx = int(origin.x - before.x), dy = int(origin.y - before.y);
  if (dx == 0 && dy == 0 && SamePixels(previous.get(), object->GetImage())) return false;
  if (object->HasShadow()) object->BuildShadow();
  objcmd::Record(doc, new CEditDibAction(doc, CEditDibAction::FLOOD, RefPtr<CDib>(object), std::move(previous), dx, dy));
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}

bool IsPaintable(const CDib& object) { return object.m_nKind == OBJECT_RASTER || object.m_nKind == OBJECT_PICTURE; }

bool ConvertForPainting(CLoopwrightDoc& doc, const RefPtr<CDib>& object) {
  if (!object || IsPaintable(*object)) return false;
  auto* action = new CConvertToBmpObjectAction(doc);
  action->Add(object);
  objcmd::Record(doc, action);
  object->m_pFactory = nullptr;
  object->m_nKind = OBJECT_RASTER;
  doc.UpdateAllViews(HINT_FRAMES_CHANGED, doc.GetCurrentFrame());
  return true;
}
