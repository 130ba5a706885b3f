// Shape selections: the shape descriptions and their anti-aliased
// rasterization into a selection mask through the vector renderer.
#include <agg_rounded_rect.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "companions/vector/render_vector_obj.h"
#include "companions/vector/tev_arc.h"
#include "imaging/obj_selection.h"

namespace TevImageTransform {

namespace {

constexpr double kMaxCoordinate = 1e9;
constexpr int kMaxFeather = 64;

bool Finite(double v) { return std::isfinite(v) && std::fabs(v) < kMaxCoordinate; }

// Box blur of radius r along rows (step 1) or columns (step pitch), zero
// outside the mask. The running sum keeps it linear in the mask size.
void BoxBlurLine(BYTE* line, int count, std::ptrdiff_t step, int r, std::vector<int>& tmp) {
  tmp.assign(std::size_t(count), 0);
  for (int i = 0; i < count; ++i) tmp[std::size_t(i)] = line[i * step];
  const int window = 2 * r + 1;
  int sum = 0;
  for (int i = 0; i <= r && i < count; ++i) sum += tmp[std::size_t(i)];
  for (int i = 0; i < count; ++i) {
    line[i * step] = BYTE(sum / window);
    if (i + r + 1 < count) sum += tmp[std::size_t(i + r + 1)];
    if (i - r >= 0) sum -= tmp[std::size_t(i - r)];
  }
}

void Feather(CTevObjImage& mask, int r) {
  if (r < 1) return;
  std::vector<int> tmp;
  const int w = mask.Width(), h = mask.Height();
  for (int y = 0; y < h; ++y) BoxBlurLine(mask.GetBits(y), w, 1, r, tmp);
  // Row 0 is stored last: moving down one row is one pitch back in memory.
  for (int x = 0; x < w; ++x) BoxBlurLine(mask.GetBits(0) + x, h, -std::ptrdiff_t(mask.GetPitch()), r, tmp);
}

}  // namespace

CTevObjSelection::CRectangleSelection::CRectangleSelection(double x1, double y1, double x2, double y2, double feather)
    : x1_(x1), y1_(y1), x2_(x2), y2_(y2), feather_(feather) {}

void CTevObjSelection::CRectangleSelection::GetSize(double& width, double& height) const {
  width = std::fabs(x2_ - x1_);
  height = std::fabs(y2_ - y1_);
}

void CTevObjSelection::CRectangleSelection::GetOrigin(double& x, double& y) const {
  x = std::min(x1_, x2_);
  y = std::min(y1_, y2_);
}

void CTevObjSelection::CRectangleSelection::BuildPath(Path& path, double x, double y) const {
  double w, h;
  GetSize(w, h);
  path.move_to(x, y);
  path.line_to(x, y + h);
  path.line_to(x + w, y + h);
  path.line_to(x + w, y);
  path.line_to(x, y);
  path.ClosePolygon();
}

CTevObjSelection::CRoundRectSelection::CRoundRectSelection(double x1, double y1, double x2, double y2, double radius,
                                                           double feather)
    : CRectangleSelection(x1, y1, x2, y2, feather), radius_(radius) {}

void CTevObjSelection::CRoundRectSelection::BuildPath(Path& path, double x, double y) const {
  double w, h;
  GetSize(w, h);
  const double r = std::isfinite(radius_) ? std::clamp(radius_, 0.0, std::min(w, h) / 2) : 0.0;
  agg::rounded_rect shape(x, y, x + w, y + h, r);
  shape.approximation_scale(4.0);
  path.concat_path(shape);
  path.ClosePolygon();
}

void CTevObjSelection::CEllipseSelection::BuildPath(Path& path, double x, double y) const {
  double w, h;
  GetSize(w, h);
  TevVecLib::CTevArc arc(x + w / 2, y + h / 2, w / 2, h / 2, 0.0, 2 * M_PI);
  arc.SetApproximationScale(4.0);  // enough segments that the mask's area matches the ellipse
  path.concat_path(arc);
  path.ClosePolygon();
}

CTevObjSelection::CPolygonSelection::CPolygonSelection(const double* points, int count, double feather)
    : points_(points), count_(points && count > 0 ? count : 0), feather_(feather) {
  for (int i = 0; i < count_; ++i) {
    const double px = points_[2 * i], py = points_[2 * i + 1];
    minX_ = i ? std::min(minX_, px) : px;
    maxX_ = i ? std::max(maxX_, px) : px;
    minY_ = i ? std::min(minY_, py) : py;
    maxY_ = i ? std::max(maxY_, py) : py;
  }
}

void CTevObjSelection::CPolygonSelection::GetSize(double& width, double& height) const {
  width = maxX_ - minX_;
  height = maxY_ - minY_;
}

void CTevObjSelection::CPolygonSelection::GetOrigin(double& x, double& y) const {
  x = minX_;
  y = minY_;
}

void CTevObjSelection::CPolygonSelection::BuildPath(Path& path, double x, double y) const {
  for (int i = 0; i < count_; ++i) {
    const double px = points_[2 * i] - minX_ + x, py = points_[2 * i + 1] - minY_ + y;
    if (i == 0)
      path.move_to(px, py);
    else
      path.line_to(px, py);
  }
  if (count_) path.ClosePolygon();
}

int CTevObjSelection::CreateShapeSelection(const CShapeSelection& shape, double feather, bool optimize) {
  SetSelectionEmpty();
  double x, y, w, h;
  shape.GetOrigin(x, y);
  shape.GetSize(w, h);
  if (!Finite(x) || !Finite(y) || !Finite(w) || !Finite(h) || w < 0 || h < 0) return 0;
  const int fr = std::isfinite(feather) ? int(std::clamp(std::floor(feather + 0.5), 0.0, double(kMaxFeather))) : 0;
  const double l = std::floor(x) - fr, t = std::floor(y) - fr;
  const double r = std::ceil(x + w) + fr, b = std::ceil(y + h) + fr;
  if (r - l > kMaxDibDimension || b - t > kMaxDibDimension) return 0;
  if (r - l < 1 || b - t < 1 || w <= 0 || h <= 0) return 0;
  const int mw = int(r - l), mh = int(b - t);

  Path path;
  shape.BuildPath(path, x - l, y - t);
  DibPtr canvas(DibAlloc(mw, mh, 32));
  if (!canvas) return 0;
  TevVecLib::CTevRenderVectorObj renderer(0);
  TevVecLib::CTevTransMatrix identity;
  renderer.AddShapePath(path, identity, nullptr);
  if (!renderer.Paint32BitsDIBWithColorAlphaX(canvas.get(), nullptr, RGB(255, 255, 255), 255,
                                               TevVecLib::kComposeAlphaOnly, 1))
    return 0;
  CTevObjImage mask;
  if (!mask.Create(mw, mh, 8, 0)) return 0;
  for (int yy = 0; yy < mh; ++yy) {
    const BYTE* s = DibRow(canvas.get(), yy);
    BYTE* d = mask.GetBits(yy);
    for (int xx = 0; xx < mw; ++xx) d[xx] = s[4 * xx + 3];
  }
  Feather(mask, fr);
  if (!CreateSelectionFromMask(mask, POINT{LONG(l), LONG(t)})) return 0;
  if (optimize) return SelectionOptimize() ? 1 : 0;
  for (int yy = 0; yy < mh; ++yy) {
    const BYTE* row = GetBits(yy);
    if (std::any_of(row, row + mw, [](BYTE v) { return v != 0; })) return 1;
  }
  SetSelectionEmpty();
  return 0;
}

int CTevObjSelection::CreateRectanleSelection(const double& x1, const double& y1, const double& x2, const double& y2,
                                              const double& feather) {
  return CreateShapeSelection(CRectangleSelection(x1, y1, x2, y2, feather), feather, false);
}

int CTevObjSelection::CreateRoundRectSelection(const double& x1, const double& y1, const double& x2, const double& y2,
                                               const double& radius, const double& feather) {
  return CreateShapeSelection(CRoundRectSelection(x1, y1, x2, y2, radius, feather), feather, true);
}

int CTevObjSelection::CreateEllipseSelection(const double& x1, const double& y1, const double& x2, const double& y2,
                                             const double& feather) {
  return CreateShapeSelection(CEllipseSelection(x1, y1, x2, y2, feather), feather, true);
}

int CTevObjSelection::CreatePolygonSelection(const double* points, int count, const double& feather) {
  if (!points || count < 3 || count > (1 << 24)) {
    SetSelectionEmpty();
    return 0;
  }
  for (int i = 0; i < 2 * count; ++i)
    if (!Finite(points[i])) {
      SetSelectionEmpty();
      return 0;
    }
  return CreateShapeSelection(CPolygonSelection(points, count, feather), feather, true);
}

}  // namespace TevImageTransform
