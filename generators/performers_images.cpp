// The image-effect performers: the pixels change with the progress, or the
// picture is revealed block by block, waved or swung into place.
#include <algorithm>

#include "generators/performers_internal.h"
#include "imaging/TevImageTransform"
#include "companions/base/tr.h"

namespace lib = TevImgEffectLib;
using performers::BlankLike;
using performers::CopyOf;
using performers::Render;

// ------------------------------------------------------------ wave

CWaveEffect::CWaveEffect() : CEffectPerformWidthFixedPos(2, 30) {}
void CWaveEffect::GetEffectName(std::string& name) const { name = Tr("Wave"); }
std::vector<CEffectParamInfo> CWaveEffect::GetParamInfo() const { return {{"amplitude", 0, 0, 30, 10, 100}}; }
DibPtr CWaveEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CWaveEffect(m_nParam[0]), BlankLike(source), source, 1 - progress);
}

// ------------------------------------------------------------ corner rotation

CRotateEffect::CRotateEffect() : CEffectPerformWidthDynamicPos(9, 3) {}
void CRotateEffect::GetEffectName(std::string& name) const { name = Tr("Rotate"); }
std::vector<CEffectParamInfo> CRotateEffect::GetParamInfo() const { return {{"variant", 0, 0, 3, 0, 3}}; }
DibPtr CRotateEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CRotateEffect(m_nParam[0]), BlankLike(source), source, progress);
}
// Keeps the pivot corner's edges in place when the picture's size differs
// from the source's: variant 0 the bottom, 1 the bottom and right, 2 the
// right edge.
void CRotateEffect::AdjustPosition(const CRefImageObject& source, CRefImageObject& ref) {
  const CDib* from = source.m_pObject.get();
  const CDib* to = ref.m_pObject.get();
  if (!from || !to) return;
  const int dw = from->m_nWidth - to->m_nWidth, dh = from->m_nHeight - to->m_nHeight;
  switch (m_nParam[0]) {
    case 0: ref.m_nY += dh; break;
    case 1: ref.m_nX += dw; ref.m_nY += dh; break;
    case 2: ref.m_nX += dw; break;
    default: break;
  }
}

// ------------------------------------------------------------ glow

CLightEffect::CLightEffect() : CEffectPerformWidthFixedPos(12, 3, 10, 135) {}
void CLightEffect::GetEffectName(std::string& name) const { name = Tr("Glow"); }
std::vector<CEffectParamInfo> CLightEffect::GetParamInfo() const {
  return {{"width", 0, 0, 3, 3, 50}, {"glow", 1, 0, 10, 3, 50}, {"angle", 2, 0, 135, 0, 359}};
}
DibPtr CLightEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CLightEffect(m_nParam[2], m_nParam[0], m_nParam[1]), CopyOf(source), source, progress);
}

// ------------------------------------------------------------ mosaics, thawing

CMosaicEffect::CMosaicEffect() : CEffectPerformWidthFixedPos(23, 10) {}
void CMosaicEffect::GetEffectName(std::string& name) const { name = Tr("Mosaic"); }
std::vector<CEffectParamInfo> CMosaicEffect::GetParamInfo() const { return {{"size", 0, 0, 10, 5, 100}}; }
DibPtr CMosaicEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CMosaicEffect(m_nParam[0]), BlankLike(source), source, progress);
}

CDirectionSenseMosaic::CDirectionSenseMosaic() : CEffectPerformWidthFixedPos(24, 10, 0) {}
void CDirectionSenseMosaic::GetEffectName(std::string& name) const { name = Tr("Direction Mosaic"); }
std::vector<CEffectParamInfo> CDirectionSenseMosaic::GetParamInfo() const {
  return {{"size", 0, 0, 10, 5, 100}, {"direction", 1, 0, 0, 0, 3}};
}
DibPtr CDirectionSenseMosaic::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CDirectionSenseMosaicEffect(m_nParam[0], m_nParam[1]), BlankLike(source), source, progress);
}

CEffectThawing::CEffectThawing() : CEffectPerformWidthFixedPos(25) {}
void CEffectThawing::GetEffectName(std::string& name) const { name = Tr("Thawing"); }
std::vector<CEffectParamInfo> CEffectThawing::GetParamInfo() const { return {}; }
DibPtr CEffectThawing::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CThawingEffect(40), BlankLike(source), source, progress);
}

// ------------------------------------------------------------ gray, emboss

namespace {

// The strength s (percent) scales how far from the picture the effect starts.
double Weakened(int strength, double progress) { return 1 - (strength / 100.0) * (1 - progress); }

}  // namespace

CColorGrayEffect::CColorGrayEffect() : CEffectPerformWidthFixedPos(30, 100) {}
void CColorGrayEffect::GetEffectName(std::string& name) const { name = Tr("Gray"); }
std::vector<CEffectParamInfo> CColorGrayEffect::GetParamInfo() const { return {{"strength", 0, 0, 100, 0, 100}}; }
DibPtr CColorGrayEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CGrayEffect(), BlankLike(source), source, Weakened(m_nParam[0], progress));
}

CColorEmbossEffect::CColorEmbossEffect() {
  m_nGalleryId = 31;
  m_nParam[1] = 100;
}
void CColorEmbossEffect::GetEffectName(std::string& name) const { name = Tr("Emboss"); }
std::vector<CEffectParamInfo> CColorEmbossEffect::GetParamInfo() const {
  return {{"strength", 0, 0, 100, 0, 100}, {"depth", 1, 0, 100, 1, 100}};
}
// The blend starts from a copy embossed by the pixel library's filter.
DibPtr CColorEmbossEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  DibPtr embossed = CopyOf(source);
  if (!embossed) return nullptr;
  TevImageTransform::CTevObjImage image;
  if (!image.Attach(embossed.get())) return nullptr;
  TevImageTransform::CTevPixelEmboss emboss(std::max(1, m_nParam[1] / 10));
  image.SinglePixelProcessProc(emboss, nullptr);
  // The walker may have replaced the picture; the attached one stays ours.
  BITMAPINFOHEADER* result = image.Detch();
  if (result && result != embossed.get()) embossed.reset(result);
  return Render(lib::CEmbossEffect(), std::move(embossed), source, Weakened(m_nParam[0], progress));
}

// ------------------------------------------------------------ adjustments, noise

CAdjustBCEffect::CAdjustBCEffect() : CEffectPerformWidthFixedPos(32, 0, -100) {}
void CAdjustBCEffect::GetEffectName(std::string& name) const { name = Tr("Brightness and Contrast"); }
std::vector<CEffectParamInfo> CAdjustBCEffect::GetParamInfo() const {
  return {{"brightness", 0, 0, 0, -100, 100}, {"contrast", 1, 0, -100, -100, 100}};
}
DibPtr CAdjustBCEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CBrightnessContrastEffect(m_nParam[0] + 100, m_nParam[1] + 100), CopyOf(source), source,
                progress);
}

CNoiseEffect::CNoiseEffect() : CEffectPerformWidthFixedPos(33, 100) {}
void CNoiseEffect::GetEffectName(std::string& name) const { name = Tr("Noise"); }
std::vector<CEffectParamInfo> CNoiseEffect::GetParamInfo() const { return {{"level", 0, 0, 100, 0, 100}}; }
DibPtr CNoiseEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CNoiseEffect(m_nParam[0]), CopyOf(source), source, progress);
}
