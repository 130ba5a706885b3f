// Helpers shared by the filter family.
#include "imaging/filter_support.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "imaging/obj_selection.h"

namespace TevImageTransform {
namespace filter_detail {

void RgbToHsl(int r, int g, int b, double& h, double& s, double& l) {
  const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  const double fmax = mx / 255.0, fmin = mn / 255.0;
  l = (fmax + fmin) / 2.0;
  if (mx == mn) {
    h = s = 0.0;
    return;
  }
  const double delta = fmax - fmin;
  s = l < 0.5 ? delta / (fmax + fmin) : delta / (2.0 - fmax - fmin);
  const double fr = r / 255.0, fg = g / 255.0, fb = b / 255.0;
  if (mx == r)
    h = (fg - fb) / delta;
  else if (mx == g)
    h = 2.0 + (fb - fr) / delta;
  else
    h = 4.0 + (fr - fg) / delta;
  h /= 6.0;
  if (h < 0.0) h += 1.0;
  if (h >= 1.0) h -= 1.0;
}

namespace {
double HueToChannel(double m1, double m2, double h6) {
  if (h6 < 0.0) h6 += 6.0;
  if (h6 >= 6.0) h6 -= 6.0;
  if (h6 < 1.0) return m1 + (m2 - m1) * h6;
  if (h6 < 3.0) return m2;
  if (h6 < 4.0) return m1 + (m2 - m1) * (4.0 - h6);
  return m1;
}
}  // namespace

void HslToRgb(double h, double s, double l, int& r, int& g, int& b) {
  if (s < 1.1920928955078125e-7) {
    r = g = b = Clamp255(l * 255.0 + 0.5);
    return;
  }
  const double m2 = l <= 0.5 ? l * (1.0 + s) : l + s - l * s;
  const double m1 = 2.0 * l - m2;
  // Hues scaled past one turn (a hue percent above 100) wrap fully.
  double h6 = std::fmod(h * 6.0, 6.0);
  if (h6 < 0.0) h6 += 6.0;
  r = Clamp255(HueToChannel(m1, m2, h6 + 2.0) * 255.0 + 0.5);
  g = Clamp255(HueToChannel(m1, m2, h6) * 255.0 + 0.5);
  b = Clamp255(HueToChannel(m1, m2, h6 - 2.0) * 255.0 + 0.5);
}

void CombinePixel(BYTE* d, const BYTE* s, int as) {
  const int ad = d[3];
  if (as <= 0) {
    if (ad == 0) d[0] = d[1] = d[2] = 255;
  } else if (ad > 0 && as < 255) {
    const int den = (255 - ad) * as + ad * 255;
    for (int c = 0; c < 3; ++c) d[c] = BYTE(((255 - as) * ad * d[c] + as * 255 * s[c]) / den);
    d[3] = BYTE(den / 255);
  } else {
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = BYTE(std::min(as, 255));
  }
}

std::uint32_t CRandom::ClockSeed() {
  return std::uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

void SampleBilinear(const CTevObjImage& image, double sx, double sy, BYTE* out) {
  const int w = image.Width(), h = image.Height(), bpp = image.ColorBits() / 8;
  // Coordinates within a hair of a whole pixel are that pixel, so exact
  // mappings reproduce the source bytes.
  const double rx = std::floor(sx + 0.5), ry = std::floor(sy + 0.5);
  if (std::fabs(sx - rx) < 1e-6) sx = rx;
  if (std::fabs(sy - ry) < 1e-6) sy = ry;
  int ix = std::clamp(int(sx), 0, w - 2), iy = std::clamp(int(sy), 0, h - 2);
  const double tx = std::clamp(sx - ix, 0.0, 1.0), ty = std::clamp(sy - iy, 0.0, 1.0);
  const BYTE* p00 = image.GetBits(ix, iy);
  const BYTE* p10 = image.GetBits(ix, iy + 1);
  const BYTE* p01 = p00 + bpp;
  const BYTE* p11 = p10 + bpp;
  if ((tx == 0.0 || tx == 1.0) && (ty == 0.0 || ty == 1.0)) {
    // A whole source pixel, copied as it is (also a transparent one).
    const BYTE* src = (ty == 0.0 ? (tx == 0.0 ? p00 : p01) : (tx == 0.0 ? p10 : p11));
    std::memcpy(out, src, std::size_t(bpp));
    return;
  }
  const double w00 = (1 - tx) * (1 - ty), w01 = tx * (1 - ty), w10 = (1 - tx) * ty, w11 = tx * ty;
  if (bpp == 4 && !(p00[3] == 255 && p01[3] == 255 && p10[3] == 255 && p11[3] == 255)) {
    const double a = w00 * p00[3] + w01 * p01[3] + w10 * p10[3] + w11 * p11[3];
    if (a <= 0.0) {
      std::memset(out, 0, 4);
      return;
    }
    for (int k = 0; k < 3; ++k) {
      const double v =
          (w00 * p00[k] * p00[3] + w01 * p01[k] * p01[3] + w10 * p10[k] * p10[3] + w11 * p11[k] * p11[3]) / a;
      out[k] = BYTE(std::min(v + 1e-9, 255.0));
    }
    out[3] = BYTE(std::min(a + 1e-9, 255.0));
    return;
  }
  for (int k = 0; k < 3; ++k)
    out[k] = BYTE(std::min(w00 * p00[k] + w01 * p01[k] + w10 * p10[k] + w11 * p11[k] + 1e-9, 255.0));
  if (bpp == 4) out[3] = 255;
}

int RunWholeImageOnSelection(CTevInterfacePixelProcess& process, CTevObjImage* image, const POINT& pos,
                             const CTevObjSelection& selection, CTevCommonProgress* progress) {
  if (!image || !image->IsValidImage() || image->ColorBits() != 32) return 0;
  CTevObjImage backup;
  if (!backup.Create(image->GetImageBits())) return 0;
  const int r = process.ProcessWholeImage(image, progress);
  const int w = image->Width(), h = image->Height();
  if (backup.Width() != w || backup.Height() != h) return 0;
  for (int y = 0; y < h; ++y) {
    BYTE* d = image->GetBits(y);
    const BYTE* s = backup.GetBits(y);
    for (int x = 0; x < w; ++x, d += 4, s += 4) {
      const BYTE* m = selection.GetBits(int(std::int64_t(x) - pos.x), int(std::int64_t(y) - pos.y));
      const int level = m ? *m : 0;
      if (level == 255) continue;
      for (int c = 0; c < 4; ++c) d[c] = BYTE((d[c] * level + s[c] * (255 - level)) / 255);
    }
  }
  return r;
}

namespace {
struct ImageAccess : CTevObjImage {
  static bool Recreate(CTevObjImage& image, const BITMAPINFOHEADER* model, int width, int height) {
    auto fn = &ImageAccess::CreateLike;
    return (image.*fn)(model, width, height);
  }
};
}  // namespace

bool RecreateLike(CTevObjImage& image, const BITMAPINFOHEADER* model, int width, int height) {
  return ImageAccess::Recreate(image, model, width, height);
}

}  // namespace filter_detail
}  // namespace TevImageTransform
