// CTevZoomScale: converts between image and view coordinates at an integer
// zoom factor. factor >= 2 magnifies (one image pixel is factor x factor view
// pixels), factor <= -2 reduces (one view pixel per |factor| image pixels);
// -1, 0 and 1 are one to one. Conversions change their argument in place and
// truncate toward zero.
#pragma once

#include "companions/base/win_types.h"

namespace TevImageTransform {

class CTevZoomScale {
 public:
  explicit CTevZoomScale(int factor = 1) : factor_(factor) {}
  CTevZoomScale(const CTevZoomScale&) = default;
  CTevZoomScale& operator=(const CTevZoomScale&) = default;
  virtual ~CTevZoomScale() = default;

  void SetZoomScale(int factor) { factor_ = factor; }
  int GetZoomScale() const { return factor_; }

  void Actual_to_Scaled(POINT& pt) const;
  void Actual_to_Scaled(RECT& rc) const;
  void Scaled_to_Actual(POINT& pt) const;
  void Scaled_to_Actual(RECT& rc) const;

 private:
  int factor_;
};

}  // namespace TevImageTransform
