// CTevObjSelection: a pixel selection, an 8-bit mask (one level 0..255 per
// pixel: 0 not selected, 255 fully selected) placed at a position in image
// coordinates, with the outline cells used to draw it.
//
// Usage: 1. build with a Create...Selection (or CreateSelectionFromMask)
// 2. combine with AddSelection / SubSelection / CombineSelection / CropSelection
// 3. RecalculateEdge(zoom) and DrawSelection into the 32-bit view image
// 4. SinglePixelProcessProc runs a pixel process on the selected pixels.
// An empty mask is "no selection". Every operation that builds a mask trims
// it to the bounding box of its non-zero levels (SelectionOptimize) except
// the rectangle builder, whose mask is its own box.
#pragma once

#include <deque>

#include "companions/vector/tev_path.h"
#include "imaging/obj_image.h"
#include "imaging/pixel_process.h"
#include "imaging/zoom_scale.h"

namespace TevImageTransform {

// How CombineSelection merges another selection into this one.
enum SELECTION_COMBINE {
  SELECTION_REPLACE = 0,
  SELECTION_ADD = 1,        // level = max of both
  SELECTION_SUBTRACT = 2,   // level = this * (255 - other) / 255
  SELECTION_INTERSECT = 3,  // level = min of both
};

class CTevObjSelection : public CTevObjImage {
 public:
  using Path = TevVecLib::CTevPath;

  // Shape descriptions. The trailing double of every shape builder is the
  // feather radius in pixels: 0 keeps the anti-aliased edge as rasterized,
  // r > 0 softens it further by a box blur of radius round(r) (at most 64).
  class CShapeSelection {
   public:
    virtual ~CShapeSelection() = default;
    virtual void GetSize(double& width, double& height) const = 0;
    virtual void GetOrigin(double& x, double& y) const = 0;
    // Appends the outline with the shape's origin at (x, y).
    virtual void BuildPath(Path& path, double x, double y) const = 0;
  };
  class CRectangleSelection : public CShapeSelection {
   public:
    CRectangleSelection(double x1, double y1, double x2, double y2, double feather);
    void GetSize(double& width, double& height) const override;
    void GetOrigin(double& x, double& y) const override;
    void BuildPath(Path& path, double x, double y) const override;
    double Feather() const { return feather_; }

   protected:
    double x1_, y1_, x2_, y2_, feather_;
  };
  class CRoundRectSelection : public CRectangleSelection {
   public:
    CRoundRectSelection(double x1, double y1, double x2, double y2, double radius, double feather);
    void BuildPath(Path& path, double x, double y) const override;

   private:
    double radius_;
  };
  class CEllipseSelection : public CRectangleSelection {
   public:
    using CRectangleSelection::CRectangleSelection;
    void BuildPath(Path& path, double x, double y) const override;
  };
  class CPolygonSelection : public CShapeSelection {
   public:
    // points: count (x, y) pairs.
    CPolygonSelection(const double* points, int count, double feather);
    void GetSize(double& width, double& height) const override;
    void GetOrigin(double& x, double& y) const override;
    void BuildPath(Path& path, double x, double y) const override;
    double Feather() const { return feather_; }

   private:
    const double* points_;
    int count_;
    double feather_;
    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
  };
  // Magic-wand pick: the image, the clicked point (image coordinates), the
  // image's position (the selection lands there), the tolerance and whether
  // only pixels connected to the clicked one are taken.
  struct CMagicWandSelection {
    BITMAPINFOHEADER* image = nullptr;
    POINT seed{};
    POINT position{};
    int tolerance = 0;
    int connected = 1;
    // |B - b|, |G - g|, |R - r| each within tolerance and alpha identical.
    static bool IsInTolerance(const void* pixel, RGBQUAD colour, int tolerance);
  };

  CTevObjSelection() = default;
  CTevObjSelection(const CTevObjSelection& other);
  CTevObjSelection& operator=(const CTevObjSelection& other);
  ~CTevObjSelection() override = default;

  // Builders: nonzero on success (a non-empty selection), 0 leaves no selection.
  int CreateRectanleSelection(const double& x1, const double& y1, const double& x2, const double& y2,
                              const double& feather);
  int CreateRoundRectSelection(const double& x1, const double& y1, const double& x2, const double& y2,
                               const double& radius, const double& feather);
  int CreateEllipseSelection(const double& x1, const double& y1, const double& x2, const double& y2,
                             const double& feather);
  int CreatePolygonSelection(const double* points, int count, const double& feather);
  int CreateMagicWandSeleciton(BITMAPINFOHEADER* image, const POINT& seed, const POINT& position, int tolerance,
                               int connected);
  // Any shape: rasterized anti-aliased into a mask at the shape's place.
  int CreateShapeSelection(const CShapeSelection& shape, double feather, bool optimize);

  void SetSelectionPos(POINT pos) { m_pos = pos; }
  void SetSelectionPos(int x, int y) { m_pos = POINT{x, y}; }
  POINT GetSelectionPos() const { return m_pos; }
  // (x, y, x + mask width, y + mask height).
  RECT GetRect() const;
  // Level at image coordinates, 0 outside the mask.
  BYTE GetPosLevel(int x, int y) const;
  bool IsSelectionEmpty() const { return !IsValidImage(); }
  void SetSelectionEmpty();
  void ClearEdges() { m_edgePoints.clear(); }

  // Union (max of levels) and difference; the other may be empty.
  bool AddSelection(const CTevObjSelection& other);
  bool SubSelection(const CTevObjSelection& other);
  bool CombineSelection(const CTevObjSelection& other, SELECTION_COMBINE mode);
  // Keeps only the part inside rect (image coordinates).
  bool CropSelection(const RECT& rect);
  // True when some pixel of rect (image coordinates) has a non-zero level.
  bool IsRectInSelection(const RECT& rect) const;
  // Trims the mask to its non-zero bounding box; an all-zero mask empties
  // the selection. True when something stays selected.
  bool SelectionOptimize();
  // A copy of an 8-bit mask (levels) or 1-bit mask (set bits 255) at pos.
  bool CreateSelectionFromMask(const CTevObjImage& mask, POINT pos);

  // Outline cells for drawing at a zoom factor. Factors -1..1 and above:
  // the selected mask pixels with an unselected 4-neighbour. Factors <= -2:
  // ZoomOutEdges. Recomputed when the factor changes or force is set.
  void RecalculateEdge(int zoomFactor, bool force);
  // Appends (column, row) of every factor x factor cell of mask that holds a
  // non-zero level, row by row, left to right.
  void ZoomOutEdges(const CTevObjImage& mask, int factor);
  static bool DelectBlockEdge(const CTevObjImage& mask, const RECT& cell);
  const std::deque<POINT>& GetEdgePoints() const { return m_edgePoints; }
  int GetEdgeZoom() const { return m_edgeZoom; }

  // Draws the outline ("marching ants": 4-pixel dashes alternating colour1
  // and colour2; swap them to animate) into a 32-bit view image. Image point
  // p appears at zoom.Actual_to_Scaled(p) - origin; only view pixels inside
  // clip are written. False when nothing can be drawn.
  bool DrawSelection(CTevObjImage& view, POINT origin, const CTevZoomScale& zoom, RECT clip, COLORREF colour1,
                     COLORREF colour2);

  // Runs a pixel process on the pixels under the selection placed at
  // selectionPos in image (see pixel_process.h): ValidateColorBits_Selection,
  // OnEnterProcess, then ProcessSelectedPixel per covered pixel with its level
  // (per-pixel processes) or ProcessSelectionImage (whole-image processes),
  // OnLeaveProcess. 1 on completion, 0 on failure or cancel.
  int SinglePixelProcessProc(CTevInterfacePixelProcess& process, CTevObjImage& image, const POINT& selectionPos,
                             CTevCommonProgress* progress) const;

 private:
  std::deque<POINT> m_edgePoints;
  int m_edgeZoom = 32767;  // zoom the edge points were made for; 32767: none
  int m_edgeCount = 0;     // outline cells at that zoom
  POINT m_pos{0, 0};
};

}  // namespace TevImageTransform
