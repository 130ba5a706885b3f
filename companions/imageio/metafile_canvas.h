// The drawing surface that WMF and EMF records play onto: a device context
// in the manner of GDI (mapping modes, window and viewport, world transform,
// pens, brushes, fonts, current position, path bracket, rectangular clip,
// saved states) painting anti-aliased into a 32-bit picture that stays
// transparent wherever nothing was drawn.
//
// Usage: 1. Create(width, height) 2. set the mapping (FitWindow for WMF
// playback into the picture, or the GDI mapping records for EMF plus
// SetDeviceToPicture) 3. play the records through the calls below, all in
// logical coordinates 4. TakePicture().
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "companions/base/dib.h"
#include "companions/vector/tev_path.h"
#include "companions/vector/trans_matrix.h"

namespace TevImageIO {

// The canvas a metafile of width x height pixels is drawn on: at most maxSide
// on a side and, with a budget (maxPixels not 0), at most maxPixels pixels,
// proportions kept; shrink scales the metafile's pixels to the canvas's.
struct MetafileFit {
  double shrink;
  int width, height;
};
MetafileFit FitMetafile(double width, double height, double maxSide, std::uint64_t maxPixels);

struct MetaPoint {
  double x, y;
};

struct MetaPen {
  int style = 0;  // PS_SOLID 0, PS_DASH 1, PS_DOT 2, PS_DASHDOT 3, PS_DASHDOTDOT 4, PS_NULL 5, PS_INSIDEFRAME 6
  double width = 0;  // logical units; 0 draws one pixel wide
  COLORREF colour = 0;
};

struct MetaBrush {
  int style = 0;  // BS_SOLID 0, BS_NULL 1, hatched and pattern brushes paint their colour
  COLORREF colour = 0xFFFFFF;
};

struct MetaFont {
  double height = 0;  // logical units; negative: character height, positive: cell height
  int weight = 400;
  bool italic = false, underline = false;
  int escapement = 0;  // tenths of a degree, counter-clockwise
  std::string face;
};

using MetaObject = std::variant<std::monostate, MetaPen, MetaBrush, MetaFont>;

enum MetaArcKind { kMetaArc, kMetaChord, kMetaPie };

class CMetafileCanvas {
 public:
  // Transparent width x height picture; false when the size is not allowed.
  bool Create(int width, int height);
  DibPtr TakePicture() { return std::move(m_picture); }

  // Mapping. FitWindow: the logical window maps onto the whole picture (WMF
  // playback); otherwise GDI's rules with the device offset and scale.
  void SetFitWindow(bool fit) { m_fitWindow = fit; }
  void SetDeviceToPicture(double scale, double dx, double dy);
  void SetPixelsPerMillimetre(double x, double y);
  void SetMapMode(int mode) { m_state.mapMode = mode; }
  void SetWindowOrg(double x, double y) { m_state.winOrg = {x, y}; }
  void SetWindowExt(double x, double y);
  void SetViewportOrg(double x, double y) { m_state.vpOrg = {x, y}; }
  void SetViewportExt(double x, double y);
  MetaPoint WindowOrg() const { return m_state.winOrg; }
  MetaPoint WindowExt() const { return m_state.winExt; }
  MetaPoint ViewportOrg() const { return m_state.vpOrg; }
  MetaPoint ViewportExt() const { return m_state.vpExt; }
  // mode: 1 identity, 2 m before the current transform, 3 after it, 4 set.
  void ModifyWorldTransform(const TevVecLib::CTevTransMatrix& m, int mode);

  // Attributes.
  void SetTextColour(COLORREF c) { m_state.textColour = c; }
  void SetBkColour(COLORREF c) { m_state.bkColour = c; }
  void SetBkMode(int mode) { m_state.bkMode = mode; }
  void SetTextAlign(int align) { m_state.textAlign = align; }
  void SetPolyFillMode(int mode) { m_state.polyFillMode = mode; }
  void Save();
  // n < 0: that many levels back; n > 0: the n-th saved state.
  void Restore(int n);

  // Objects: a table of slots; WMF fills the first free slot, EMF names its index.
  int AddObject(MetaObject object);
  void PutObject(std::size_t index, MetaObject object);
  void SelectObject(std::size_t index);
  void DeleteObject(std::size_t index);
  // GDI stock objects 0-18 (brushes, pens, fonts).
  void SelectStockObject(int n);

  // Clip: intersect with a logical rectangle, or back to the whole picture.
  void IntersectClipRect(double l, double t, double r, double b);
  void ResetClip();

  // Drawing in logical coordinates; inside a path bracket they add figures.
  void MoveTo(MetaPoint p);
  void LineTo(MetaPoint p);
  MetaPoint CurrentPosition() const { return m_state.pos; }
  void Polyline(const std::vector<MetaPoint>& pts);
  void PolylineTo(const std::vector<MetaPoint>& pts);
  void PolyBezier(const std::vector<MetaPoint>& pts, bool fromCurrent);
  void PolyPolygon(const std::vector<std::vector<MetaPoint>>& polys);
  void PolyPolyline(const std::vector<std::vector<MetaPoint>>& lines);
  void Rectangle(double l, double t, double r, double b);
  void RoundRect(double l, double t, double r, double b, double w, double h);
  void Ellipse(double l, double t, double r, double b);
  void Arc(MetaArcKind kind, double l, double t, double r, double b, MetaPoint start, MetaPoint end);
  void SetPixel(MetaPoint p, COLORREF colour);
  // Fills a logical rectangle with the brush, or with colour when given (pattern blits).
  void FillRect(double l, double t, double r, double b, const COLORREF* colour = nullptr);
  // Draws a 32-bit picture's source block into the logical rectangle (x, y, w, h).
  void DrawPicture(const BITMAPINFOHEADER* picture, double sx, double sy, double sw, double sh, double x, double y,
                   double w, double h);
  void TextOut(MetaPoint p, const std::u32string& text, bool updatePosition);

  void BeginPath();
  void EndPath() { m_inPath = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath() { PaintPath(true, false); }
  void StrokePath() { PaintPath(false, true); }
  void StrokeAndFillPath() { PaintPath(true, true); }

 private:
  struct Figure {
    std::vector<MetaPoint> pts;  // picture coordinates
    bool closed = false;
  };
  struct State {
    int mapMode = 1;
    MetaPoint winOrg{0, 0}, winExt{1, 1}, vpOrg{0, 0}, vpExt{1, 1};
    TevVecLib::CTevTransMatrix world;
    MetaPen pen;
    MetaBrush brush;
    MetaFont font;
    COLORREF textColour = 0, bkColour = 0xFFFFFF;
    int bkMode = 2, textAlign = 0, polyFillMode = 1;
    MetaPoint pos{0, 0};
    bool clipped = false;
    double clip[4] = {0, 0, 0, 0};  // picture coordinates
  };

  TevVecLib::CTevTransMatrix LogicalToPicture() const;
  MetaPoint Map(MetaPoint p) const;
  double PenWidth() const;
  // Adds the figures to the open path, or fills and strokes them now.
  void Emit(std::vector<Figure> figures, bool fill);
  void PaintFigures(const std::vector<Figure>& figures, bool fill, bool stroke);
  void PaintPath(bool fill, bool stroke);
  void AppendToFigure(const std::vector<MetaPoint>& mapped);
  std::vector<MetaPoint> EllipsePoints(double l, double t, double r, double b) const;

  DibPtr m_picture;
  State m_state;
  std::vector<State> m_saved;
  std::vector<MetaObject> m_objects;
  bool m_fitWindow = false;
  double m_devScale = 1, m_devDx = 0, m_devDy = 0;
  double m_pxPerMmX = 96 / 25.4, m_pxPerMmY = 96 / 25.4;
  bool m_inPath = false;
  bool m_figureOpen = false;  // LineTo and the "To" calls extend the path's last figure
  std::vector<Figure> m_path;
};

// A bitmap embedded in a metafile record as a 32-bit picture: the info
// header at infoOffset of data, the rows at bitsOffset (0: after the colour
// table). The raster operation decides which source pixels show: SRCAND
// leaves white out, SRCPAINT and SRCINVERT leave black out (the two halves of
// a masked sprite), NOTSRCCOPY inverts. Null when the bitmap is unusable.
DibPtr DecodeMetafileBitmap(const BYTE* data, std::size_t size, std::size_t infoOffset, std::size_t bitsOffset,
                            DWORD rop);

}  // namespace TevImageIO
