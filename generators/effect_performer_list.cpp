// The effect list: the 34 performers in the order the effects pane offers
// them, their script names and the undo kinds their generations record.
#include "generators/effect_performer_classes.h"
#include "generators/transition_generator.h"

namespace {

struct CEffectListEntry {
  const char* scriptName;
  int actionKind;  // CUpdateFramesDIBAction kind (FramesDibActionText)
};

// The four image adjustments have no kind of their own and record as "Fade".
constexpr CEffectListEntry kEffectList[kEffectCount] = {
    {"fade", 1},             {"turn-page", 31},       {"wave", 32},           {"slide-roll", 23},
    {"gate-3d", 3},          {"spin-3d", 10},         {"rotate-3d", 34},      {"move-slider", 2},
    {"rotate-rectangle", 39}, {"rotate", 27},         {"zoom", 29},           {"quarter-slider", 30},
    {"glow", 33},            {"random-wipe", 4},      {"line-wipe", 18},      {"arc-wipe", 19},
    {"circle-wipe", 20},     {"diamond-wipe", 21},    {"clock-wipe", 5},      {"sweep-wipe", 35},
    {"star-wipe", 6},        {"iris-wipe", 12},       {"centre-enlarge", 28}, {"mosaic", 8},
    {"direction-mosaic", 9}, {"thawing", 22},         {"blinds", 38},         {"bar-slide", 13},
    {"narrow-bars", 17},     {"row-spread", 24},      {"gray", 1},            {"emboss", 1},
    {"brightness-contrast", 1}, {"noise", 1},
};

}  // namespace

std::vector<std::unique_ptr<CEffectPerform>> CreateEffectPerformers() {
  std::vector<std::unique_ptr<CEffectPerform>> list;
  list.reserve(kEffectCount);
  list.push_back(std::make_unique<CStaticEffect>());
  list.push_back(std::make_unique<CTurnPageEffect>());
  list.push_back(std::make_unique<CWaveEffect>());
  list.push_back(std::make_unique<CRollEffect>());
  list.push_back(std::make_unique<CEffectGate3D>());
  list.push_back(std::make_unique<CFlipEffect>());
  list.push_back(std::make_unique<CRotate3DEffect>());
  list.push_back(std::make_unique<CMoveSliderEffect>());
  list.push_back(std::make_unique<CRotateRectangleEffect>());
  list.push_back(std::make_unique<CRotateEffect>());
  list.push_back(std::make_unique<CZoomEffect>());
  list.push_back(std::make_unique<CQuatersSliderEffect>());
  list.push_back(std::make_unique<CLightEffect>());
  list.push_back(std::make_unique<CEffectRandomWipe>());
  list.push_back(std::make_unique<CEffectLineWipe>());
  list.push_back(std::make_unique<CEffectArcsWipe>());
  list.push_back(std::make_unique<CEffectCirclesWipe>());
  list.push_back(std::make_unique<CEffectDiamondsWipe>());
  list.push_back(std::make_unique<CEffectClocksWipe>());
  list.push_back(std::make_unique<CSweepWipeEffect>());
  list.push_back(std::make_unique<CEffectStarWipe>());
  list.push_back(std::make_unique<CEffectIrisWipe>());
  list.push_back(std::make_unique<CEyeOpenEffect>());
  list.push_back(std::make_unique<CMosaicEffect>());
  list.push_back(std::make_unique<CDirectionSenseMosaic>());
  list.push_back(std::make_unique<CEffectThawing>());
  list.push_back(std::make_unique<CEffectBlinds>());
  list.push_back(std::make_unique<CEffectBarsSlide>());
  list.push_back(std::make_unique<CEffectNarrowBars>());
  list.push_back(std::make_unique<CEffectRowSpread>());
  list.push_back(std::make_unique<CColorGrayEffect>());
  list.push_back(std::make_unique<CColorEmbossEffect>());
  list.push_back(std::make_unique<CAdjustBCEffect>());
  list.push_back(std::make_unique<CNoiseEffect>());
  for (int i = 0; i < kEffectCount; ++i) list[i]->m_nGalleryId = i;
  return list;
}

const char* EffectScriptName(int index) {
  return index >= 0 && index < kEffectCount ? kEffectList[index].scriptName : "";
}

int FindEffectByScriptName(const std::string& name) {
  for (int i = 0; i < kEffectCount; ++i)
    if (name == kEffectList[i].scriptName) return i;
  return -1;
}

int EffectActionKind(int index) { return index >= 0 && index < kEffectCount ? kEffectList[index].actionKind : 1; }
