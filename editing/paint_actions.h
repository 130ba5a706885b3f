// Pixel painting on one object's picture: the erase and flood action, and
// the operations the brush, eraser and fill tools are built from (enlarge a
// picture to cover an area, trim it back to its opaque part, paint or erase
// one pen segment, flood fill at a point, convert a generator object to a
// raster one before painting). Positions are image (canvas) coordinates;
// an object's origin is where its reference on the current frame places it,
// and every frame's reference moves when a picture grows or shrinks at the
// left or top, so the pixels stay where they were on every frame.
#pragma once

#include <string>
#include <vector>

#include "app/edit_manager.h"
#include "app/loopwright_doc.h"
#include "companions/dibkernel/dib_flood.h"
#include "editing/dib_elements.h"
#include "imaging/obj_selection.h"

// A picture replaced by an erase (kind 0) or a flood fill (kind 1): the
// element keeps the previous picture and the move of the references.
class CEditDibAction : public CEditAction, public CModifyDibElm {
 public:
  enum Kind { ERASE = 0, FLOOD = 1 };
  CEditDibAction(CLoopwrightDoc& doc, int kind, RefPtr<CDib> object, DibPtr previous, int dx = 0, int dy = 0);
  void Undo() override;
  void Redo() override;
  static std::string KindText(int kind, bool redo);

 private:
  CLoopwrightDoc& m_doc;
  int m_nKind;
};

// The selection's levels as a mask in an object's picture coordinates (the
// object's top-left at origin). Empty (no mask) without a selection.
class CSelectionLevels {
 public:
  CSelectionLevels() = default;
  CSelectionLevels(const TevImageTransform::CTevObjSelection& selection, POINT origin);
  const DibKernel::FillMask* Mask() const { return m_data.empty() ? nullptr : &m_mask; }

 private:
  std::vector<BYTE> m_data;
  DibKernel::FillMask m_mask;
};

// The pen of one stroke.
struct CPenStyle {
  int width = 8;
  bool roundCap = true;
  COLORREF colour = 0;
  BYTE transparency = 0;  // brush: 0 opaque; eraser: the erase strength
};

// The object's rectangle on the canvas at origin.
RECT PictureRect(const CDib& object, POINT origin);
// Grows the object's picture (transparent) to cover area as well as its own
// rectangle, moving every reference by the change of its top-left. Returns
// the new origin (origin unchanged when nothing grew); false on no memory.
bool EnlargePicture(CLoopwrightDoc& doc, CDib& object, POINT& origin, RECT area);
// Cuts the picture to its opaque part, moving every reference by what was
// cut at the left and top. A picture with no opaque pixel stays as it is.
void TrimPicture(CLoopwrightDoc& doc, CDib& object, POINT& origin);
// Paints (brush) or erases one segment between image points a and b on the
// picture at origin; the pen's block is clipped to the picture. mask limits
// it (picture coordinates). True when the block touched the picture.
bool PaintSegment(CDib& object, POINT origin, POINT a, POINT b, const CPenStyle& pen,
                  const DibKernel::FillMask* mask);
bool EraseSegment(CDib& object, POINT origin, POINT a, POINT b, const CPenStyle& pen,
                  const DibKernel::FillMask* mask);

// Fill settings of one click.
struct CFloodStyle {
  int tolerancePercent = 32;
  bool connected = true;
  BYTE transparency = 0;  // 0 opaque, 255 paints nothing
  COLORREF colour = 0;
};
// Flood fill at image point at on the object whose reference on the current
// frame is ref, recorded as one "Undo flood" step. On a transparent pixel the
// picture first grows to the union of itself and the canvas, and afterwards
// is trimmed to its opaque part. selection may be null. False (nothing
// recorded) when nothing changed.
bool FloodObject(CLoopwrightDoc& doc, CRefImageObject& ref, POINT at, const CFloodStyle& style,
                 const TevImageTransform::CTevObjSelection* selection);

// Makes a text or shape object a raster object (same pixels) and records
// "Undo Convert to image object". False when the object is already one.
bool ConvertForPainting(CLoopwrightDoc& doc, const RefPtr<CDib>& object);
// True for raster and picture objects, the kinds the painting tools change.
bool IsPaintable(const CDib& object);
