// `loopwright effect`: renders one picture of a transition or image effect.
#pragma once

#include <string>
#include <vector>

// Renders EFFECT (class name without "Effect", lower-case with dashes, e.g.
// clock-wipe, gate-3d) of the picture in to out (PNG) at progress, with
// name=value parameters. Returns the process exit code (0, 1 failure, 2 bad
// usage) and prints messages on stderr.
int RunEffectCommand(const std::string& effect, const std::string& in, const std::string& out, double progress,
                     const std::vector<std::string>& params);
// The effect names the command knows, with their parameters and defaults.
std::string EffectCommandHelp();
