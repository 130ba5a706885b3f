#include "companions/vector/trans_matrix.h"

#include <cmath>

namespace TevVecLib {

bool CTevTransMatrix::Invert() {
  double d = determinant();
  if (!std::isfinite(d) || std::fabs(d) < 1e-300) {
    reset();
    return false;
  }
  invert();
  return true;
}

bool CTevTransMatrix::IsIntegerTranslation(int* dx, int* dy) const {
  if (sx != 1.0 || shy != 0.0 || shx != 0.0 || sy != 1.0) return false;
  if (!std::isfinite(tx) || !std::isfinite(ty)) return false;
  if (std::fabs(tx) > 1e9 || std::fabs(ty) > 1e9) return false;
  if (tx != std::floor(tx) || ty != std::floor(ty)) return false;
  *dx = int(tx);
  *dy = int(ty);
  return true;
}

CTevTransMatrixRotation::CTevTransMatrixRotation(double angle)
    : CTevTransMatrix(std::cos(angle), std::sin(angle), -std::sin(angle), std::cos(angle), 0, 0) {}

}  // namespace TevVecLib
