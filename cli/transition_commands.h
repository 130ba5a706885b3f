// The transition script command and the demo's transitions.
#pragma once

#include <string>

#include "app/loopwright_doc.h"

// Adds two transitions to the demo animation (an iris wipe revealing the
// first frame, the square spinning away after the last one) and writes the
// new frames as outDir/transition_NN.png. Returns the exit code.
int WriteTransitionDemo(CLoopwrightDoc& doc, const std::string& outDir);
