// The four performers that draw by themselves: the static fade, the move
// slider, the zoom and the quarter slider.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "companions/vector/TevVectorRender.h"
#include "generators/performers_internal.h"
#include "companions/base/tr.h"

// ------------------------------------------------------------ static

CStaticEffect::CStaticEffect() : CEffectPerform(0) { m_nFlags = EFFECT_DEFAULT_FLAGS | EFFECT_FADE; }
void CStaticEffect::GetEffectName(std::string& name) const { name = Tr("Fade In and Out"); }

// The reference shares the source object; only the fade changes.
RefPtr<CRefImageObject> CStaticEffect::BuildFrameObject(const CRefImageObject& source, int index, int count) {
  if (!source.m_pObject || count < 1 || index < 0 || index >= count) return nullptr;
  auto ref = CopyReference(source, source.m_pObject);
  ApplyFade(source, *ref, index, count);
  return ref;
}

// ------------------------------------------------------------ move slider

CMoveSliderEffect::CMoveSliderEffect() : CEffectPerformWithOptions(7, 0) {}
void CMoveSliderEffect::GetEffectName(std::string& name) const { name = Tr("Move Slider"); }
std::vector<CEffectParamInfo> CMoveSliderEffect::GetParamInfo() const { return {{"angle", 0, 0, 0, 0, 359}}; }

POINT CMoveSliderEffect::StartOffset(int angle, int w, int h) {
  const double a = angle * M_PI / 180.0;
  const double c = std::cos(a), s = -std::sin(a);  // y grows downward
  if (std::fabs(s) <= 1e-12) return POINT{c > 0 ? w : -w, 0};
  if (std::fabs(c) < 1e-12) return POINT{0, s > 0 ? h : -h};
  const double toSide = w / std::fabs(c), toEdge = h / std::fabs(s);
  auto rounded = [](double v) { return LONG(std::copysign(std::floor(std::fabs(v) + 0.5), v)); };
  if (toSide <= toEdge) return POINT{c > 0 ? w : -w, rounded(toSide * s)};
  return POINT{rounded(toEdge * c), s > 0 ? h : -h};
}

RefPtr<CRefImageObject> CMoveSliderEffect::BuildFrameObject(const CRefImageObject& source, int index, int count) {
  const CDib* object = source.m_pObject.get();
  if (!object || count < 1 || index < 0 || index >= count) return nullptr;
  const POINT off = StartOffset(m_nParam[0], object->m_nWidth, object->m_nHeight);
  const int x0 = source.m_nX, y0 = source.m_nY, sx = x0 + off.x, sy = y0 + off.y;
  auto ref = CopyReference(source, source.m_pObject);
  if (IsAppear()) {
    ref->m_nX = sx + (x0 - sx) * (index + 1) / (count + 1);
    ref->m_nY = sy + (y0 - sy) * (index + 1) / (count + 1);
  } else {
    ref->m_nX = x0 + (sx - x0) * (index + 1) / count;
    ref->m_nY = y0 + (sy - y0) * (index + 1) / count;
  }
  if (IsObjectMode() && m_canvas.cx > 0 && m_canvas.cy > 0 && object->GetImage()) {
    // The part on the canvas becomes a new object of its own.
    const LONG l = std::max(0, -ref->m_nX), t = std::max(0, -ref->m_nY);
    const LONG r = std::max<LONG>(0, ref->m_nX + object->m_nWidth - m_canvas.cx);
    const LONG b = std::max<LONG>(0, ref->m_nY + object->m_nHeight - m_canvas.cy);
    if (l + r >= object->m_nWidth || t + b >= object->m_nHeight) return nullptr;
    DibPtr part(DibKernel::Trim32BitsDIB(object->GetImage(), l, t, r, b));
    if (!part) return nullptr;
    auto cut = MakeRef<CDib>(std::move(part));
    if (!cut->GetImage()) return nullptr;
    cut->m_strName = object->m_strName;
    ref->m_pObject = cut;
    ref->m_nX += l;
    ref->m_nY += t;
    ref->m_bVisible = true;
    ref->m_nTransparency = source.m_nTransparency;
    return FinishNewObject(source, ref, index, count);
  }
  ApplyFade(source, *ref, index, count);
  return ref;
}

// ------------------------------------------------------------ zoom

CZoomEffect::CZoomEffect() : CEffectPerformWithOptions(10) { m_nFlags = EFFECT_DEFAULT_FLAGS | EFFECT_SWITCH1; }
void CZoomEffect::GetEffectName(std::string& name) const { name = Tr("Zoom"); }
std::vector<CEffectParamInfo> CZoomEffect::GetParamInfo() const { return {{"magnify", -1, EFFECT_SWITCH1, 1, 0, 1}}; }

// The magnification falls from count + 1 for the first picture towards 1,
// so the last picture is close to the source.
double CZoomEffect::Magnification(double progress) { return progress > 1.0 / 64 ? 1 / progress : 64.0; }

RefPtr<CRefImageObject> CZoomEffect::BuildFrameObject(const CRefImageObject& source, int index, int count) {
  BITMAPINFOHEADER* src = source.m_pObject ? source.m_pObject->GetImage() : nullptr;
  if (!src || count < 1 || index < 0 || index >= count) return nullptr;
  const double p = FrameProgress(index, count, IsAppear());
  const int W = DibWidth(src), H = DibHeight(src);
  int w = W, h = H;
  TevVecLib::CTevTransMatrix m;
  if (m_nFlags & EFFECT_SWITCH1) {
    const double s = Magnification(p);
    m = TevVecLib::CTevTransMatrixScaling(s, s);
    m.Multiply(TevVecLib::CTevTransMatrixTranslation(W / 2.0 - W * s / 2, H / 2.0 - H * s / 2));
  } else {
    if (!(p > 0)) return nullptr;
    w = std::max(1, int(std::floor(W * p + 0.5)));
    h = std::max(1, int(std::floor(H * p + 0.5)));
    m = TevVecLib::CTevTransMatrixScaling(p, p);
  }
  DibPtr dst(CDIB32::CreateBlank32BitsDIB(w, h));
  if (!dst) return nullptr;
  TevVecLib::CTevPath path;
  path.AddVertex(0, 0, agg::path_cmd_move_to);
  path.AddVertex(w, 0, agg::path_cmd_line_to);
  path.AddVertex(w, h, agg::path_cmd_line_to);
  path.AddVertex(0, h, agg::path_cmd_line_to);
  path.ClosePolygon();
  if (!TevVecLib::TransformImage(dst.get(), src, m, path, TevVecLib::CTevTransMatrix(), TevVecLib::kFilterBicubic, 1))
    return nullptr;
  auto object = MakeRef<CDib>(std::move(dst));
  if (!object->GetImage()) return nullptr;
  object->m_strName = source.m_pObject->m_strName;
  auto ref = CopyReference(source, object);
  ref->m_nX += (W - w) / 2;
  ref->m_nY += (H - h) / 2;
  return FinishNewObject(source, ref, index, count);
}

// ------------------------------------------------------------ quarter slider

CQuatersSliderEffect::CQuatersSliderEffect() : CEffectPerformWidthFixedPos(11) {}
void CQuatersSliderEffect::GetEffectName(std::string& name) const { name = Tr("Quarter Slider"); }

namespace {

// Copies n pixels of source row sy from column sx to dst row dy at column dx.
void CopyRun(BITMAPINFOHEADER* dst, const BITMAPINFOHEADER* src, int dx, int dy, int sx, int sy, int n) {
  if (n <= 0) return;
  std::memcpy(DibRow(dst, dy) + std::size_t(dx) * 4, DibRow(src, sy) + std::size_t(sx) * 4, std::size_t(n) * 4);
}

}  // namespace

// Four quarters sliding in from the four sides: top-left from the left,
// top-right from the top, bottom-left from the bottom, bottom-right from the
// right; the right and bottom quarters take the odd pixel.
DibPtr CQuatersSliderEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  DibPtr dst = performers::BlankLike(source);
  if (!dst) return nullptr;
  const double t = std::clamp(progress, 0.0, 1.0);
  const int W = DibWidth(source), H = DibHeight(source), w2 = W / 2, h2 = H / 2;
  auto round = [t](int n) { return int(std::floor(n * t + 0.5)); };
  const int dx = round(w2), dy = round(h2), dxr = round(W - w2), dyb = round(H - h2);
  BITMAPINFOHEADER* d = dst.get();
  for (int y = 0; y < h2; ++y) CopyRun(d, source, 0, y, w2 - dx, y, dx);
  for (int y = 0; y < dy; ++y) CopyRun(d, source, w2, y, w2, h2 - dy + y, W - w2);
  for (int j = 0; j < dyb; ++j) CopyRun(d, source, 0, H - dyb + j, 0, h2 + j, w2);
  for (int y = h2; y < H; ++y) CopyRun(d, source, W - dxr, y, w2, y, dxr);
  return dst;
}
