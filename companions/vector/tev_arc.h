// Elliptic arc as a vertex source.
//
// A point at angle a (radians) is (cx + rx*cos a, cy + ry*sin a) in path
// coordinates. The arc runs from a1 to a2, counter-clockwise (growing angle)
// when ccw is true, otherwise with decreasing angle; a span of 2*pi or more is
// one full turn. vertex() returns 1 (move to) for the first point, 2 (line to)
// for the others and 0 when done. A zero radius, a radius beyond 1e7 or a
// non-finite argument gives an empty arc (no vertices at all).
#pragma once

namespace TevVecLib {

class CTevArc {
 public:
  CTevArc() = default;
  CTevArc(double cx, double cy, double rx, double ry, double a1, double a2, bool ccw = true) {
    Init(cx, cy, rx, ry, a1, a2, ccw);
  }
  void Init(double cx, double cy, double rx, double ry, double a1, double a2, bool ccw = true);
  // Scale of the device space relative to the arc's units (more vertices when larger).
  void SetApproximationScale(double scale);

  void rewind(unsigned pathId = 0);
  unsigned vertex(double* x, double* y);

 private:
  void Prepare();

  double m_cx = 0, m_cy = 0, m_rx = 0, m_ry = 0, m_a1 = 0, m_a2 = 0;
  bool m_ccw = true;
  double m_scale = 1.0;
  bool m_empty = true;
  unsigned m_steps = 0;  // number of segments
  unsigned m_index = 0;  // next point to emit
};

}  // namespace TevVecLib
