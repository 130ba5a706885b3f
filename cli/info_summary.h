// The human summary `info` prints: size, frames, total duration, loop,
// colours, objects, file size and the per-frame delays folded into runs.
#pragma once

#include <cstdint>
#include <string>

#include "app/gif_image.h"

// name: how the file is shown; type: its type ("GIF", ...; "" unknown);
// fileSize: bytes, negative when unknown.
std::string InfoSummary(const CGifImage& model, const std::string& name, const std::string& type, long long fileSize);
// Delays folded into runs of equal neighbours: "0-9: 10, 10: 50".
std::string FoldedDelays(const CGifImage& model);
// The number of different opaque colours (RGB) in the composed frames;
// -1 when a frame cannot be composed.
long long DistinctColours(const CGifImage& model);
