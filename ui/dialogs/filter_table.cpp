#include "ui/dialogs/filter_table.h"

#include "editing/filter_actions.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;

namespace {

using ProcessPtr = std::unique_ptr<CTevInterfacePixelProcess>;
using Values = std::vector<int>;

template <class T, class... A>
ProcessPtr Make(A&&... args) {
  return std::make_unique<T>(std::forward<A>(args)...);
}

}  // namespace

const std::vector<CFilterEntry>& FilterEntries() {
  using K = CUpdateDibsAction;
  static const std::vector<CFilterEntry> entries = {
      {K::NEGATIVE, "Negative", {}, [](const Values&) { return Make<CTevPixelInvert>(); }},
      {K::GRAY, "Grayscale", {}, [](const Values&) { return Make<CTevPixelGrayscale>(); }},
      {K::MIRROR_HORIZONTALLY, "Mirror Horizontally", {}, [](const Values&) { return Make<CTevPixelMirror>(); }},
      {K::MIRROR_VERTICALLY, "Mirror Vertically", {}, [](const Values&) { return Make<CTevPixelFlip>(); }},
      {K::BRIGHTNESS, "Brightness", {{"Brightness (%)", 0, 1000, 100}},
       [](const Values& v) { return Make<CTevPixelBrightness>(v[0]); }},
      {K::CONTRAST, "Contrast", {{"Contrast (%)", 0, 1000, 100}},
       [](const Values& v) { return Make<CTevPixelContrast>(v[0]); }},
      {K::RED_GREEN_BLUE, "Red, Green, Blue", {{"Red", -255, 255, 0}, {"Green", -255, 255, 0}, {"Blue", -255, 255, 0}},
       [](const Values& v) { return Make<CTevPixelAdjustRGB>(v[0], v[1], v[2]); }},
      {K::HUE_SATURATION, "Hue and Saturation", {{"Hue (%)", 0, 1000, 100}, {"Saturation (%)", 0, 1000, 100}},
       [](const Values& v) { return Make<CTevPixelHueSaturation>(v[0], v[1]); }},
      {K::BLUR, "Blur", {{"Size", 2, 32, 3}}, [](const Values& v) { return Make<CTevPixelBlurBox>(v[0], true); }},
      {K::GAUSSIAN_BLUR, "Gaussian Blur", {{"Radius", 0, 100, 2}},
       [](const Values& v) { return Make<CTevPixelBlurGaussIIR>(v[0], v[0]); }},
      // The process takes the kernel weight: a lower weight sharpens more.
      {K::SHARPNESS, "Sharpness", {{"Level", 2, 20, 10}}, [](const Values& v) { return Make<CTevPixelSharp>(22 - v[0]); }},
      {K::EMBOSS, "Emboss", {{"Depth", 1, 10, 3}}, [](const Values& v) { return Make<CTevPixelEmboss>(v[0]); }},
      {K::SUNSPOT, "Sunspot", {{"Intensity", 0, 255, 255}, {"Centre x (%)", 0, 100, 20}, {"Centre y (%)", 0, 100, 80}},
       [](const Values& v) { return Make<CTevPixelSunspot>(v[0], v[1], v[2]); }},
  };
  return entries;
}

const CFilterEntry* FindFilterEntry(int kind) {
  for (const CFilterEntry& entry : FilterEntries())
    if (entry.kind == kind) return &entry;
  return nullptr;
}
