// The three preset gradient tables offered for shape fills. The application
// builds them once at start-up and keeps the result.
#pragma once

#include <array>

#include "companions/vector/gradient_colors.h"

namespace TevCustomPathLibV {

struct CTevPresetGradients {
  std::array<TevVecLib::CTevGradientColors, 3> tables;
};

// Sky (white, light blue, deep blue), fire (yellow, orange, red) and metal
// (white, silver, dark grey), three stops each at 0, 0.5 and 1.
CTevPresetGradients BuildPresetGradientTables();

}  // namespace TevCustomPathLibV
