// The slide, bar, roll and 3D performers: the picture moves or deforms into
// place.
#include "generators/performers_internal.h"
#include "companions/base/tr.h"

namespace lib = TevImgEffectLib;
using performers::BlankLike;
using performers::Render;

// ------------------------------------------------------------ roll

CRollEffect::CRollEffect() : CEffectPerformWidthDynamicPos(3, 10, 0) {}
void CRollEffect::GetEffectName(std::string& name) const { name = Tr("Slide Roll"); }
std::vector<CEffectParamInfo> CRollEffect::GetParamInfo() const {
  return {{"radius", 0, 0, 10, 5, 50}, {"side", 1, 0, 0, 0, 3}};
}
// The output is narrower or lower than the source, as the library says.
DibPtr CRollEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  lib::CSideRollEffect effect(m_nParam[1], m_nParam[0] / 100.0);
  const SIZE size = effect.CalcuDIBDimension(source, progress);
  if (size.cx < 1 || size.cy < 1) return nullptr;
  return Render(std::move(effect), DibPtr(CDIB32::CreateBlank32BitsDIB(size.cx, size.cy)), source, progress);
}
// Rolling from the right or the bottom keeps the far (right or bottom) edge
// in place.
void CRollEffect::AdjustPosition(const CRefImageObject& source, CRefImageObject& ref) {
  const CDib* from = source.m_pObject.get();
  const CDib* to = ref.m_pObject.get();
  if (!from || !to) return;
  if (m_nParam[1] == 2) ref.m_nX += from->m_nWidth - to->m_nWidth;
  if (m_nParam[1] == 3) ref.m_nY += from->m_nHeight - to->m_nHeight;
}

// ------------------------------------------------------------ 3D

CEffectGate3D::CEffectGate3D() : CEffectPerformWidthFixedPos(4, 0) {}
void CEffectGate3D::GetEffectName(std::string& name) const { name = Tr("Gate 3D"); }
std::vector<CEffectParamInfo> CEffectGate3D::GetParamInfo() const { return {{"side", 0, 0, 0, 0, 3}}; }
DibPtr CEffectGate3D::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CGate3DEffect(m_nParam[0]), BlankLike(source), source, progress);
}

CFlipEffect::CFlipEffect() : CEffectPerformWidthFixedPos(5) { m_nFlags = EFFECT_DEFAULT_FLAGS | EFFECT_SWITCH1; }
void CFlipEffect::GetEffectName(std::string& name) const { name = Tr("Spin 3D"); }
std::vector<CEffectParamInfo> CFlipEffect::GetParamInfo() const {
  return {{"vertical", -1, EFFECT_SWITCH1, 1, 0, 1}, {"reverse", -1, EFFECT_SWITCH2, 0, 0, 1}};
}
DibPtr CFlipEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CFlip3DEffect((m_nFlags & EFFECT_SWITCH1) != 0, (m_nFlags & EFFECT_SWITCH2) != 0),
                BlankLike(source), source, progress);
}

CRotate3DEffect::CRotate3DEffect() : CEffectPerformWidthFixedPos(6, 0) {}
void CRotate3DEffect::GetEffectName(std::string& name) const { name = Tr("Rotate 3D"); }
std::vector<CEffectParamInfo> CRotate3DEffect::GetParamInfo() const { return {{"variant", 0, 0, 0, 0, 7}}; }
DibPtr CRotate3DEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CRotate3DEffect(m_nParam[0]), BlankLike(source), source, progress);
}

// ------------------------------------------------------------ blinds and bars

CEffectBlinds::CEffectBlinds() : CEffectPerformWidthFixedPos(26, 1, 10) {}
void CEffectBlinds::GetEffectName(std::string& name) const { name = Tr("Blinds"); }
std::vector<CEffectParamInfo> CEffectBlinds::GetParamInfo() const {
  return {{"vertical", 0, 0, 1, 0, 1}, {"width", 1, 0, 10, 5, 50}};
}
DibPtr CEffectBlinds::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CJalousieEffect(m_nParam[0] != 0, m_nParam[1] / 100.0), BlankLike(source), source, progress);
}

CEffectBarsSlide::CEffectBarsSlide() : CEffectPerformWidthFixedPos(27, 1, 5) {}
void CEffectBarsSlide::GetEffectName(std::string& name) const { name = Tr("Bar Slide"); }
std::vector<CEffectParamInfo> CEffectBarsSlide::GetParamInfo() const {
  return {{"horizontal", 0, 0, 1, 0, 1}, {"width", 1, 0, 5, 1, 50}};
}
DibPtr CEffectBarsSlide::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CBarsEffect(m_nParam[0] != 0, m_nParam[1] / 100.0), BlankLike(source), source, progress);
}

CEffectNarrowBars::CEffectNarrowBars() : CEffectPerformWidthFixedPos(28, 0) {}
void CEffectNarrowBars::GetEffectName(std::string& name) const { name = Tr("Narrow Bars"); }
std::vector<CEffectParamInfo> CEffectNarrowBars::GetParamInfo() const { return {{"variant", 0, 0, 0, 0, 5}}; }
DibPtr CEffectNarrowBars::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CNarrowBarsEffect(m_nParam[0]), BlankLike(source), source, progress);
}

CEffectRowSpread::CEffectRowSpread() : CEffectPerformWidthFixedPos(29, 0, 5) {}
void CEffectRowSpread::GetEffectName(std::string& name) const { name = Tr("Row Spread"); }
std::vector<CEffectParamInfo> CEffectRowSpread::GetParamInfo() const {
  return {{"variant", 0, 0, 0, 0, 7}, {"width", 1, 0, 5, 1, 50}};
}
DibPtr CEffectRowSpread::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CRowSpreadEffect(m_nParam[0], m_nParam[1] / 100.0), BlankLike(source), source, progress);
}
