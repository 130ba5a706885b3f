// Wipes: the picture appears through a region that grows with the progress
// (0 shows nothing, 1 all of it). The path wipes describe the region as a
// vector path (CreateWipePath) that CShapeWipeEffect::DoRender clips src
// through; the circles, diamond and random wipes render on their own.
#pragma once

#include "companions/base/win_types.h"
#include "effects/general_effect.h"

namespace TevImgEffectLib {

// Base of the path-built wipes; by itself it adds nothing to the path.
class TEV_EFFECT_API CShapeWipeEffect : public CGeneralEffect {
 public:
  CShapeWipeEffect() = default;
  CShapeWipeEffect(const CShapeWipeEffect&) = default;
  CShapeWipeEffect& operator=(const CShapeWipeEffect&) = default;
  ~CShapeWipeEffect() override;

  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // Appends the revealed region for a picture of the given size.
  virtual void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path);

 protected:
  // Polygon clipping (Sutherland-Hodgman) on point arrays of at most
  // kMaxClipPoints points; outputs stop growing at that many points.
  static constexpr int kMaxClipPoints = 100;
  // Crossing of y = a1 x + b1 and y = a2 x + b2.
  void IntersectPoint(double a1, double b1, double a2, double b2, double* x, double* y) const;
  // One clipping step of the edge (x1, y1)-(x2, y2) against x = c, keeping
  // x >= c (keepGreater) or x <= c; writes 0, 1 or 2 points, returns how many.
  int IntersectHorzLine(double x1, double y1, double x2, double y2, double c, bool keepGreater, double* outX,
                        double* outY) const;
  // The same against y = c, keeping y <= c (keepGreater) or y >= c.
  int IntersectVertLine(double x1, double y1, double x2, double y2, double c, bool keepGreater, double* outX,
                        double* outY) const;
  int DoHClipPolygon(const double* xs, const double* ys, int count, double* outXs, double* outYs, double c,
                     bool keepGreater) const;
  int DoVClipPolygon(const double* xs, const double* ys, int count, double* outXs, double* outYs, double c,
                     bool keepGreater) const;
  // Clips a polygon in centred coordinates (origin at the picture's centre, y
  // up) to the picture, converts it to path coordinates and adds it.
  void AddClippedCentredPolygon(const SIZE& size, const double* xs, const double* ys, int count,
                                CTevPath& path) const;
};

// Clock hands sweeping columns x rows cells.
class TEV_EFFECT_API CClockWipeEffect : public CShapeWipeEffect {
 public:
  CClockWipeEffect(bool turnUp, int columns, int rows);
  CClockWipeEffect(const CClockWipeEffect&) = default;
  CClockWipeEffect& operator=(const CClockWipeEffect&) = default;
  ~CClockWipeEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;

 private:
  int m_columns;
  int m_rows;
  bool m_turnUp;
};

// A five-pointed star growing from the centre.
class TEV_EFFECT_API CStarWipeEffect : public CShapeWipeEffect {
 public:
  CStarWipeEffect() = default;
  CStarWipeEffect(const CStarWipeEffect&) = default;
  CStarWipeEffect& operator=(const CStarWipeEffect&) = default;
  ~CStarWipeEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;
};

// A four-pointed star whose inner corners move from the centre to the corners.
class TEV_EFFECT_API CIrisWipeEffect : public CShapeWipeEffect {
 public:
  CIrisWipeEffect() = default;
  CIrisWipeEffect(const CIrisWipeEffect&) = default;
  CIrisWipeEffect& operator=(const CIrisWipeEffect&) = default;
  ~CIrisWipeEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;
};

// Parallel bands perpendicular to the angle, all filling at once.
class TEV_EFFECT_API CLinesWipeEffect : public CShapeWipeEffect {
 public:
  CLinesWipeEffect(int angle, int strips);
  CLinesWipeEffect(const CLinesWipeEffect&) = default;
  CLinesWipeEffect& operator=(const CLinesWipeEffect&) = default;
  ~CLinesWipeEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;

 private:
  int m_angle;
  int m_strips;
};

// Sectors around the centre, each opening from its middle direction.
class TEV_EFFECT_API CArcsWipeEffect : public CShapeWipeEffect {
 public:
  explicit CArcsWipeEffect(int sectors);
  CArcsWipeEffect(const CArcsWipeEffect&) = default;
  CArcsWipeEffect& operator=(const CArcsWipeEffect&) = default;
  ~CArcsWipeEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;

 private:
  int m_startAngle;
  int m_sectors;
};

// A rectangle of the picture's proportions growing and turning once.
class TEV_EFFECT_API CRotateRectangleEffect : public CShapeWipeEffect {
 public:
  explicit CRotateRectangleEffect(bool reverse);
  CRotateRectangleEffect(const CRotateRectangleEffect&) = default;
  CRotateRectangleEffect& operator=(const CRotateRectangleEffect&) = default;
  ~CRotateRectangleEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;

 private:
  bool m_reverse;
};

// A rectangle growing from the centre in whole pixels.
class TEV_EFFECT_API CEyeOpenEffect : public CShapeWipeEffect {
 public:
  CEyeOpenEffect() = default;
  CEyeOpenEffect(const CEyeOpenEffect&) = default;
  CEyeOpenEffect& operator=(const CEyeOpenEffect&) = default;
  ~CEyeOpenEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;
};

// A pie slice opening symmetrically around one direction.
class TEV_EFFECT_API CSweepWipeEffect : public CShapeWipeEffect {
 public:
  explicit CSweepWipeEffect(int angle);
  CSweepWipeEffect(const CSweepWipeEffect&) = default;
  CSweepWipeEffect& operator=(const CSweepWipeEffect&) = default;
  ~CSweepWipeEffect() override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;

 private:
  int m_angle;
};

// The page lifted at its bottom-right corner and turned over to the left:
// progress 0 shows the whole page, 1 nothing. CreateWipePath gives the part
// not yet turned; DoRender adds the turned flap.
class TEV_EFFECT_API CTurnPageEffect : public CShapeWipeEffect {
 public:
  CTurnPageEffect() = default;
  CTurnPageEffect(const CTurnPageEffect&) = default;
  CTurnPageEffect& operator=(const CTurnPageEffect&) = default;
  ~CTurnPageEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  void CreateWipePath(const SIZE& size, const double& progress, CTevPath& path) override;
};

// Concentric rings around the centre, each growing outward.
class TEV_EFFECT_API CCirclesWipeEffect : public CGeneralEffect {
 public:
  explicit CCirclesWipeEffect(int rings);
  CCirclesWipeEffect(const CCirclesWipeEffect&) = default;
  CCirclesWipeEffect& operator=(const CCirclesWipeEffect&) = default;
  ~CCirclesWipeEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  int m_rings;
};

// Concentric diamond rings, each growing outward.
class TEV_EFFECT_API CDiamondWipeEffect : public CGeneralEffect {
 public:
  explicit CDiamondWipeEffect(int rings);
  CDiamondWipeEffect(const CDiamondWipeEffect&) = default;
  CDiamondWipeEffect& operator=(const CDiamondWipeEffect&) = default;
  ~CDiamondWipeEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  int m_rings;
};

// Single pixels appearing in a fixed pseudo-random order that depends only
// on the picture's size.
class TEV_EFFECT_API CRandomWipeEffect : public CGeneralEffect {
 public:
  CRandomWipeEffect() = default;
  CRandomWipeEffect(const CRandomWipeEffect&) = default;
  CRandomWipeEffect& operator=(const CRandomWipeEffect&) = default;
  ~CRandomWipeEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
};

}  // namespace TevImgEffectLib
