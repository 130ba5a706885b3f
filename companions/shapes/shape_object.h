// Vector shape objects: a gallery of closed outlines, each with its own size,
// parameters and angle, painted with the render properties of
// CTevVectorObject.
#pragma once

#include <algorithm>
#include <string>

#include "companions/shapes/vector_object.h"

namespace TevCustomPathLibV {

enum TevShapeKind : std::int32_t {
  kShapeRectangle = 0,
  kShapeRoundRect = 1,  // ratio: corner radius as a fraction of the shorter side (0 to 0.5)
  kShapeEllipse = 2,
  kShapeTriangle = 3,   // isosceles, apex at the top
  kShapeDiamond = 4,
  kShapePolygon = 5,    // count: sides (3 to 256), inscribed in the ellipse of the box
  kShapeStar = 6,       // count: points (3 to 256); ratio: inner radius / outer radius
  kShapeArrow = 7,      // pointing right; ratio: head length as a fraction of the width
  kShapeHeart = 8,
  kShapeCustom = 9,     // a path given in unit coordinates, scaled to the box
  kShapeKindCount = 10,
};

// Builds a gallery outline filling the box (0, 0)-(w, h). Returns false for
// an unknown kind or an empty box.
bool BuildGalleryShapePath(std::int32_t kind, double w, double h, std::int32_t count, double ratio, CTevPath& out);

// Parses a gallery path file's text: one command a line, "M x y", "L x y",
// "Q x1 y1 x y", "C x1 y1 x2 y2 x y", "Z", coordinates in 0..1 (y down);
// '#' starts a comment. False on any malformed line, a coordinate outside
// -1..2, or more than 65536 vertices.
bool ParseShapePathText(const std::string& text, CTevPath& unitPath);

class CTevShapeObj : public CTevVectorObject {
 public:
  static constexpr std::uint32_t kMaxCustomVertices = 65536;

  CTevShapeObj() = default;
  CTevShapeObj(std::int32_t kind, double w, double h) { SetKind(kind), SetSize(w, h); }

  void SetKind(std::int32_t kind) { m_kind = kind >= 0 && kind < kShapeKindCount ? kind : kShapeRectangle; }
  std::int32_t Kind() const { return m_kind; }
  // Source size, limited to 0.5 .. 65535.
  void SetSize(double w, double h);
  void SetCount(std::int32_t count) { m_count = std::clamp(count, 3, 256); }
  std::int32_t Count() const { return m_count; }
  void SetRatio(double ratio) { if (ratio >= 0 && ratio <= 1) m_ratio = ratio; }
  double Ratio() const { return m_ratio; }
  // Outline for kShapeCustom in unit coordinates (0..1 across the box);
  // false (nothing changed) when it has too many vertices or non-numbers.
  bool SetCustomPath(const CTevPath& unitPath);
  const CTevPath& CustomPath() const { return m_custom; }

  void GetSourceSize(double* w, double* h) const override { *w = m_w, *h = m_h; }

 protected:
  bool BuildSourcePath(CTevPath& out) override;
  const char* Magic() const override { return "LWSH"; }
  void WriteBody(CTevByteWriter& w) const override;
  bool ReadBody(CTevByteReader& r) override;
  void Assign(const CTevVectorObject& other) override;
  CTevVectorObject* CloneEmpty() const override { return new CTevShapeObj; }

 private:
  std::int32_t m_kind = kShapeRectangle;
  double m_w = 100, m_h = 100;
  std::int32_t m_count = 5;
  double m_ratio = 0.4;
  CTevPath m_custom;
};

}  // namespace TevCustomPathLibV
