// Anti-aliased path painting into 32-bit DIBs.
//
// Usage:
//   1. CTevRenderVectorObj r(0);            // 0: non-zero winding fill rule
//   2. r.AddShapePath(path, matrix, null);   // or AddShapeStrokenPath(...)
//      (several paths add up to one shape; a path added after a paint starts
//      a new shape)
//   3. r.Paint32BitsDIBWith...X(dst, ...);   // any number of times
//
// Coordinates are path coordinates: x to the right from the left edge of dst,
// y downward from its top edge (the bottom-up storage of the DIB is handled
// here). Destination DIBs must be packed 32-bit BGRA; any other DIB is left
// untouched and the paint returns false. Pixels outside the filled shape are
// never written. Coverage is exact area coverage (AGG's rasterizer); the cell
// store of the rasterizer holds some four million edge cells, beyond which
// further edges of one shape are dropped.
#pragma once

#include <memory>
#include <vector>

#include "companions/base/win_types.h"
#include "companions/vector/gradient_colors.h"
#include "companions/vector/tev_path.h"
#include "companions/vector/trans_matrix.h"

namespace TevVecLib {

// Composition modes (the first integer argument of the paints).
enum : int {
  kComposeCopy = 0,        // inside the shape dst becomes the source; edges blend by coverage
  kComposeOver = 1,        // the source, alpha weighted, is laid over dst
  kComposeAlphaOnly = -1,  // only dst's alpha grows to source alpha x coverage; colours untouched
};

// Resampling filters for image paints (values 0 to 9; others mean bilinear).
enum : int {
  kFilterNearest = 0,
  kFilterBilinear = 1,
  kFilterHanning = 2,
  kFilterHermite = 3,
  kFilterQuadric = 4,
  kFilterBicubic = 5,  // Keys cubic (Catmull-Rom): interpolating, sharp
  kFilterMitchell = 6,
  kFilterSpline16 = 7,
  kFilterSpline36 = 8,
  kFilterLanczos = 9,
};

// Source positions outside the image: transparent (0) or the nearest edge pixel (1).
enum : int { kEdgeTransparent = 0, kEdgeClamp = 1 };

// Per-pixel weights 0..255 applied to the coverage, in dst coordinates.
template <class T>
class CTevAlphaMaskBase {
 public:
  virtual ~CTevAlphaMaskBase() = default;
  virtual T Value(int x, int y) const = 0;
};

// A mask held in memory, rows from the top; positions outside weigh 0.
class CTevAlphaMaskBuffer : public CTevAlphaMaskBase<unsigned char> {
 public:
  CTevAlphaMaskBuffer(int width, int height, unsigned char fill = 0);
  unsigned char Value(int x, int y) const override;
  void Set(int x, int y, unsigned char v);
  int Width() const { return m_width; }
  int Height() const { return m_height; }

 private:
  int m_width, m_height;
  std::vector<unsigned char> m_data;
};

enum class TevLineCap { Butt, Square, Round };
enum class TevLineJoin { Miter, Round, Bevel };

// Outline style. The width is in destination pixels (after the matrix);
// dashes alternate dash and gap lengths in destination pixels.
struct TevStrokeStyle {
  double width = 1.0;
  TevLineCap cap = TevLineCap::Butt;
  TevLineJoin join = TevLineJoin::Miter;
  double miterLimit = 4.0;
  std::vector<double> dashes;
  double dashStart = 0.0;
};

// Gradient geometry in destination coordinates. Linear: colour position 0 at
// (x1, y1), 1 at (x2, y2), constant across. Radial: 0 at the centre (x1, y1),
// 1 at distance radius.
struct TevGradientGeometry {
  enum Kind { Linear, Radial } kind = Linear;
  double x1 = 0, y1 = 0, x2 = 1, y2 = 0, radius = 1;
};

class CTevRenderVectorObj {
 public:
  // fillRule: 0 non-zero winding, 1 even-odd.
  explicit CTevRenderVectorObj(int fillRule = 0);
  ~CTevRenderVectorObj();
  CTevRenderVectorObj(const CTevRenderVectorObj&) = delete;
  CTevRenderVectorObj& operator=(const CTevRenderVectorObj&) = delete;

  // Adds the filled interior of path, mapped through m, optionally clipped.
  void AddShapePath(CTevPath& path, const CTevTransMatrix& m, rect_base<double>* clip);
  // Adds the outline of path (mapped through m) stroked at width pixels,
  // butt caps and miter joins.
  void AddShapeStrokenPath(CTevPath& path, const CTevTransMatrix& m, const double& width, rect_base<double>* clip);
  void AddShapeStrokenPath(CTevPath& path, const CTevTransMatrix& m, const TevStrokeStyle& style,
                           rect_base<double>* clip);
  // Forgets every added path.
  void Reset();
  // Pixel box the shape touches (x2, y2 inclusive); false when it is empty.
  bool GetBoundingBox(rect_base<int>* box) const;

  // Paints image (32-bit), mapped through m (image coordinates to dst
  // coordinates), inside the shape. compose: kCompose*; antiAlias: 1 smooth
  // edges, 0 hard edges; filter: kFilter*; edgeMode: kEdge*.
  bool Paint32BitsDIBWithImageX(BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                                const BITMAPINFOHEADER* image, const CTevTransMatrix& m, int compose, int antiAlias,
                                int filter, int edgeMode);
  // Paints one colour (COLORREF in the low 24 bits, opaque) inside the shape.
  bool Paint32BitsDIBWithSoildColorX(BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                                     unsigned long colour, int compose, int antiAlias);
  // Same with an explicit alpha for the colour.
  bool Paint32BitsDIBWithColorAlphaX(BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                                     COLORREF colour, BYTE alpha, int compose, int antiAlias);
  // Paints a gradient (colour stops with their alpha) inside the shape.
  bool Paint32BitsDIBWithGradientX(BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                                   const CTevGradientColors& colours, const TevGradientGeometry& geometry,
                                   int compose, int antiAlias);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace TevVecLib
