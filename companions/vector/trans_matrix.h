// Affine matrices of the renderer: six doubles (sx, shy, shx, sy, tx, ty); a
// point (x, y) maps to (sx*x + shx*y + tx, shy*x + sy*y + ty).
#pragma once

#include <agg_trans_affine.h>

namespace TevVecLib {

class CTevTransMatrix : public agg::trans_affine {
 public:
  CTevTransMatrix() = default;  // identity
  CTevTransMatrix(double sx, double shy, double shx, double sy, double tx, double ty)
      : agg::trans_affine(sx, shy, shx, sy, tx, ty) {}
  explicit CTevTransMatrix(const agg::trans_affine& m) : agg::trans_affine(m) {}

  // This matrix becomes "apply this first, then m".
  CTevTransMatrix& Multiply(const CTevTransMatrix& m) {
    multiply(m);
    return *this;
  }
  // Inverts in place; a singular matrix becomes the identity and false is returned.
  bool Invert();
  void Transform(double* x, double* y) const { transform(x, y); }
  bool IsIdentity(double epsilon = 1e-12) const { return is_identity(epsilon); }
  // True when the matrix is a translation by whole pixels (dx, dy returned).
  bool IsIntegerTranslation(int* dx, int* dy) const;
};

// Rotation by an angle in radians. In path coordinates (y down) a positive
// angle turns clockwise on screen.
class CTevTransMatrixRotation : public CTevTransMatrix {
 public:
  explicit CTevTransMatrixRotation(double angle);
};

class CTevTransMatrixTranslation : public CTevTransMatrix {
 public:
  CTevTransMatrixTranslation(double dx, double dy) : CTevTransMatrix(1, 0, 0, 1, dx, dy) {}
};

class CTevTransMatrixScaling : public CTevTransMatrix {
 public:
  CTevTransMatrixScaling(double sx, double sy) : CTevTransMatrix(sx, 0, 0, sy, 0, 0) {}
};

}  // namespace TevVecLib
