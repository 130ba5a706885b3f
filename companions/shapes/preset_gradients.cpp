#include "companions/shapes/preset_gradients.h"

namespace TevCustomPathLibV {

CTevPresetGradients BuildPresetGradientTables() {
  CTevPresetGradients p;
  const COLORREF stops[3][3] = {
      {RGB(255, 255, 255), RGB(135, 190, 255), RGB(20, 60, 160)},
      {RGB(255, 240, 80), RGB(255, 150, 30), RGB(200, 20, 20)},
      {RGB(255, 255, 255), RGB(192, 192, 200), RGB(70, 70, 80)},
  };
  for (int t = 0; t < 3; ++t)
    for (int s = 0; s < 3; ++s) p.tables[t].AddColorStop(s * 0.5, stops[t][s]);
  return p;
}

}  // namespace TevCustomPathLibV
