// Common base of the shape and text objects: render properties, scale and
// angle, rasterizing into a new 32-bit DIB, and the serialized frame.
//
// A generator uses an object like this:
//   1. construct it (CTevShapeObj / CTevTextObj) and set its properties;
//   2. GetNaturalSize(&w, &h): source size times the scale factors;
//   3. SetScale(sx, sy) / SetAngle(degrees), then RebuildPaths();
//   4. Render(&origin): a new 32-bit DIB (caller frees with DibFree) and the
//      position of its top-left pixel relative to the unrotated object box;
//   5. Save(bytes, version, subVersion) / Load(data, size, ...), or the
//      std::FILE* forms; a failed load leaves the object as it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "companions/base/dib.h"
#include "companions/shapes/byte_stream.h"
#include "companions/vector/TevVectorRender.h"

namespace TevCustomPathLibV {

using TevVecLib::CTevGradientColors;
using TevVecLib::CTevPath;

// How the inside of a shape is painted.
enum TevFillMode : std::int32_t {
  kFillSolid = 0,
  kFillLinearHorizontal = 1,  // fill gradient left to right
  kFillLinearVertical = 2,    // top to bottom
  kFillLinearDiagonal = 3,    // top-left to bottom-right
  kFillRadial = 4,            // centre outward
  kFillRadialInward = 5,      // edge inward
  kFillModeCount = 6,
};

// Outline dash patterns, lengths in multiples of the outline width.
enum TevDashStyle : std::int32_t {
  kDashSolid = 0,
  kDashDash = 1,        // 3 on, 1 off
  kDashDot = 2,         // 1 on, 1 off
  kDashDashDot = 3,     // 3, 1, 1, 1
  kDashDashDotDot = 4,  // 3, 1, 1, 1, 1, 1
  kDashStyleCount = 5,
};

struct TevRenderProps {
  COLORREF fillColour = RGB(255, 255, 255);
  COLORREF outlineColour = RGB(0, 0, 0);
  double outlineWidth = 2.0;  // destination pixels, 0 to 1000
  std::int32_t dashStyle = kDashSolid;
  bool fillInside = true;
  bool strokeOutline = true;
  std::int32_t fillMode = kFillSolid;
  CTevGradientColors fillGradient;     // used when fillMode is not solid
  CTevGradientColors outlineGradient;  // two or more stops paint the outline left to right
  BYTE transparency = 0;               // 0 opaque, 255 invisible

  friend bool operator==(const TevRenderProps&, const TevRenderProps&) = default;
};

class CTevVectorObject {
 public:
  virtual ~CTevVectorObject() = default;

  TevRenderProps& RenderProps() { return m_props; }
  const TevRenderProps& RenderProps() const { return m_props; }

  // Scale factors are limited to 1e-3 .. 1e3; non-numbers are ignored.
  void SetScale(double sx, double sy);
  double ScaleX() const { return m_scaleX; }
  double ScaleY() const { return m_scaleY; }
  // Rotation in degrees; positive turns clockwise on screen.
  void SetAngle(double degrees);
  double Angle() const { return m_angle; }

  // Size of the unscaled, unrotated object.
  virtual void GetSourceSize(double* w, double* h) const = 0;
  // Source size times the scale factors.
  void GetNaturalSize(double* w, double* h) const;

  // Rebuilds the outline and stroke paths from the parameters (after a load
  // or a change). Returns false when there is nothing to draw.
  bool RebuildPaths();
  // The outline in destination coordinates of the last rebuild (scale, angle
  // and the render origin applied).
  const CTevPath& OutlinePath() const { return m_outline; }

  // Rasterizes the object into a new transparent 32-bit DIB just large
  // enough for it; origin receives the DIB's top-left corner relative to the
  // top-left of the scaled, unrotated object box. Null when there is nothing
  // to draw or memory runs out.
  BITMAPINFOHEADER* Render(POINT* origin = nullptr);

  // Serialization. Save appends the object's record to out and returns its
  // byte count. Load reads one record from data and returns false, leaving
  // the object unchanged, when it is truncated, damaged, of another kind or
  // written under other version strings; consumed receives the record's size.
  std::size_t Save(std::vector<std::uint8_t>& out, const char* version, const char* subVersion) const;
  bool Load(const std::uint8_t* data, std::size_t size, std::size_t* consumed, const char* version,
            const char* subVersion);
  long Save(std::FILE* file, const char* version, const char* subVersion) const;
  bool Load(std::FILE* file, const char* version, const char* subVersion);

  // Records are at most this large.
  static constexpr std::uint32_t kMaxRecordBytes = 16u << 20;

 protected:
  // The object's outline in source coordinates, (0, 0) at the top-left of
  // its source box.
  virtual bool BuildSourcePath(CTevPath& out) = 0;
  virtual const char* Magic() const = 0;  // four characters
  virtual void WriteBody(CTevByteWriter& w) const = 0;
  // Reads into this object; the caller has made a copy to restore on failure.
  virtual bool ReadBody(CTevByteReader& r) = 0;
  // Copies the parameters of another object of the same class.
  virtual void Assign(const CTevVectorObject& other) = 0;
  virtual CTevVectorObject* CloneEmpty() const = 0;

  // Scale, angle and render properties; for Assign in derived classes.
  void AssignBase(const CTevVectorObject& o);

  // Source-to-destination matrix without the final move to the render origin.
  TevVecLib::CTevTransMatrix PlacementMatrix() const;
  // Paints path (source coordinates) through the placement with the render
  // properties into a new DIB whose top-left lies at the rounded-down corner
  // of box (placement coordinates).
  BITMAPINFOHEADER* RasterizePlaced(CTevPath& path, int originX, int originY, int width, int height) const;
  // The pixel box (placement coordinates) a source path covers, outline
  // included.
  bool PlacedPixelBox(CTevPath& path, int* x, int* y, int* w, int* h) const;

 private:
  bool ReadRecord(CTevByteReader& r, const char* version, const char* subVersion);

  TevRenderProps m_props;
  double m_scaleX = 1.0, m_scaleY = 1.0, m_angle = 0.0;
  CTevPath m_outline;
};

}  // namespace TevCustomPathLibV
