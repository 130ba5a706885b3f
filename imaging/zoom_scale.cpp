#include "imaging/zoom_scale.h"

#include <cstdint>
#include <initializer_list>
#include <limits>

namespace TevImageTransform {

namespace {

// Products saturate instead of overflowing: a huge view coordinate stays huge.
LONG Multiply(LONG v, std::int64_t factor) {
  std::int64_t r = std::int64_t(v) * factor;
  if (r > std::numeric_limits<LONG>::max()) return std::numeric_limits<LONG>::max();
  if (r < std::numeric_limits<LONG>::min()) return std::numeric_limits<LONG>::min();
  return LONG(r);
}

LONG Divide(LONG v, std::int64_t divisor) { return LONG(std::int64_t(v) / divisor); }

// Up: multiply when true, divide otherwise; by |factor|.
void Convert(LONG& v, int factor, bool magnify) {
  const std::int64_t mag = factor < 0 ? -std::int64_t(factor) : factor;
  v = magnify ? Multiply(v, mag) : Divide(v, mag);
}

}  // namespace

void CTevZoomScale::Actual_to_Scaled(POINT& pt) const {
  if (factor_ >= -1 && factor_ <= 1) return;
  Convert(pt.x, factor_, factor_ > 0);
  Convert(pt.y, factor_, factor_ > 0);
}

void CTevZoomScale::Actual_to_Scaled(RECT& rc) const {
  if (factor_ >= -1 && factor_ <= 1) return;
  for (LONG* v : {&rc.left, &rc.top, &rc.right, &rc.bottom}) Convert(*v, factor_, factor_ > 0);
}

void CTevZoomScale::Scaled_to_Actual(POINT& pt) const {
  if (factor_ >= -1 && factor_ <= 1) return;
  Convert(pt.x, factor_, factor_ < 0);
  Convert(pt.y, factor_, factor_ < 0);
}

void CTevZoomScale::Scaled_to_Actual(RECT& rc) const {
  if (factor_ >= -1 && factor_ <= 1) return;
  for (LONG* v : {&rc.left, &rc.top, &rc.right, &rc.bottom}) Convert(*v, factor_, factor_ < 0);
}

}  // namespace TevImageTransform
