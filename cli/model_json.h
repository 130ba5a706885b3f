// The model as the JSON of `loopwright info --json` and the script's `info`.
#pragma once

#include <nlohmann/json.hpp>

#include "app/gif_image.h"

nlohmann::ordered_json ModelToJson(const CGifImage& model);
// A short human-readable summary.
std::string ModelSummary(const CGifImage& model);
