// The wipe performers: the picture revealed through a growing shape.
#include <algorithm>

#include "generators/performers_internal.h"
#include "companions/base/tr.h"

namespace lib = TevImgEffectLib;
using performers::BlankLike;
using performers::Render;

// ------------------------------------------------------------ turn page

CTurnPageEffect::CTurnPageEffect() : CEffectPerformWidthFixedPos(1) {}
void CTurnPageEffect::GetEffectName(std::string& name) const { name = Tr("Turn Page"); }
std::vector<CEffectParamInfo> CTurnPageEffect::GetParamInfo() const { return {}; }
// The page turns away as the progress falls, so it runs backwards.
DibPtr CTurnPageEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CTurnPageEffect(), BlankLike(source), source, 1 - progress);
}

// ------------------------------------------------------------ rotate rectangle

CRotateRectangleEffect::CRotateRectangleEffect() : CEffectPerformWidthFixedPos(8, 1) {}
void CRotateRectangleEffect::GetEffectName(std::string& name) const { name = Tr("Rotate Rectangle"); }
std::vector<CEffectParamInfo> CRotateRectangleEffect::GetParamInfo() const {
  return {{"reverse", 0, 0, 1, 0, 1}};
}
DibPtr CRotateRectangleEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CRotateRectangleEffect(m_nParam[0] != 0), BlankLike(source), source, progress);
}

// ------------------------------------------------------------ random wipe

CEffectRandomWipe::CEffectRandomWipe() : CEffectPerformWidthFixedPos(13) {}
void CEffectRandomWipe::GetEffectName(std::string& name) const { name = Tr("Random Wipe"); }
std::vector<CEffectParamInfo> CEffectRandomWipe::GetParamInfo() const { return {}; }
DibPtr CEffectRandomWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CRandomWipeEffect(), BlankLike(source), source, progress);
}

// ------------------------------------------------------------ line wipe

CEffectLineWipe::CEffectLineWipe() : CEffectPerformWidthFixedPos(14, 45, 1) {}
void CEffectLineWipe::GetEffectName(std::string& name) const { name = Tr("Line Wipe"); }
std::vector<CEffectParamInfo> CEffectLineWipe::GetParamInfo() const {
  return {{"angle", 0, 0, 45, 0, 359}, {"strips", 1, 0, 1, 1, 100}};
}
// A picture smaller than the strip count gets one strip per pixel of its
// smaller side.
DibPtr CEffectLineWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  const int strips = std::min<int>({m_nParam[1], int(DibWidth(source)), int(DibHeight(source))});
  return Render(lib::CLinesWipeEffect(m_nParam[0], strips), BlankLike(source), source, progress);
}

// ------------------------------------------------------------ arcs, circles, diamonds

CEffectArcsWipe::CEffectArcsWipe() : CEffectPerformWidthFixedPos(15, 4) {}
void CEffectArcsWipe::GetEffectName(std::string& name) const { name = Tr("Arc Wipe"); }
std::vector<CEffectParamInfo> CEffectArcsWipe::GetParamInfo() const { return {{"count", 0, 0, 4, 1, 100}}; }
DibPtr CEffectArcsWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CArcsWipeEffect(m_nParam[0]), BlankLike(source), source, progress);
}

void CEffectCirclesWipe::GetEffectName(std::string& name) const { name = Tr("Circle Wipe"); }
DibPtr CEffectCirclesWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CCirclesWipeEffect(m_nParam[0]), BlankLike(source), source, progress);
}

void CEffectDiamondsWipe::GetEffectName(std::string& name) const { name = Tr("Diamond Wipe"); }
DibPtr CEffectDiamondsWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CDiamondWipeEffect(m_nParam[0]), BlankLike(source), source, progress);
}

// ------------------------------------------------------------ clock, sweep

CEffectClocksWipe::CEffectClocksWipe() : CEffectPerformWidthFixedPos(18, 1, 1, 1) {}
void CEffectClocksWipe::GetEffectName(std::string& name) const { name = Tr("Clock Wipe"); }
std::vector<CEffectParamInfo> CEffectClocksWipe::GetParamInfo() const {
  return {{"columns", 0, 0, 1, 1, 10}, {"rows", 1, 0, 1, 1, 10}, {"turn", 2, 0, 1, 0, 1}};
}
DibPtr CEffectClocksWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CClockWipeEffect(m_nParam[2] != 0, m_nParam[0], m_nParam[1]), BlankLike(source), source,
                progress);
}

CSweepWipeEffect::CSweepWipeEffect() : CEffectPerformWidthFixedPos(19, 270) {}
void CSweepWipeEffect::GetEffectName(std::string& name) const { name = Tr("Sweep Wipe"); }
std::vector<CEffectParamInfo> CSweepWipeEffect::GetParamInfo() const { return {{"angle", 0, 0, 270, 0, 359}}; }
DibPtr CSweepWipeEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CSweepWipeEffect(m_nParam[0]), BlankLike(source), source, progress);
}

// ------------------------------------------------------------ star, iris, eye open

CEffectStarWipe::CEffectStarWipe() : CEffectPerformWidthFixedPos(20) {}
void CEffectStarWipe::GetEffectName(std::string& name) const { name = Tr("Star Wipe"); }
std::vector<CEffectParamInfo> CEffectStarWipe::GetParamInfo() const { return {}; }
DibPtr CEffectStarWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CStarWipeEffect(), BlankLike(source), source, progress);
}

CEffectIrisWipe::CEffectIrisWipe() : CEffectPerformWidthFixedPos(21) {}
void CEffectIrisWipe::GetEffectName(std::string& name) const { name = Tr("Iris Wipe"); }
std::vector<CEffectParamInfo> CEffectIrisWipe::GetParamInfo() const { return {}; }
DibPtr CEffectIrisWipe::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CIrisWipeEffect(), BlankLike(source), source, progress);
}

CEyeOpenEffect::CEyeOpenEffect() : CEffectPerformWidthFixedPos(22) {}
void CEyeOpenEffect::GetEffectName(std::string& name) const { name = Tr("Centre Enlarge"); }
std::vector<CEffectParamInfo> CEyeOpenEffect::GetParamInfo() const { return {}; }
DibPtr CEyeOpenEffect::RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) {
  return Render(lib::CEyeOpenEffect(), BlankLike(source), source, progress);
}
