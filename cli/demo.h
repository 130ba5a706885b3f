// The main job on an embedded default: builds a demo animation in memory and
// writes every composed frame into a folder. Returns the exit code.
#pragma once

#include <string>

#include "app/loopwright_doc.h"

int RunDemo(CLoopwrightDoc& doc, const std::string& outDir);
