// The layered-picture question asked before a PSD file is opened.
#pragma once

#include <string>

class CLoopwrightApp;
class CPromptInterface;

// True when the layers of the PSD file at path should become the objects of
// one frame. Only files with several layers are asked about; while the
// preference "ShowPSDOpenFashionTip" is set the user is asked and the answer
// stored in "PSDOpenFashion" (0 objects, 1 one merged picture), which
// decides otherwise. The choice is kept in app.m_bLayersAsObjects.
bool ChooseLayersAsObjects(const std::string& path, CLoopwrightApp& app, CPromptInterface& prompt);
