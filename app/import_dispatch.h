// Opening files into a model: the extension table, the codec import in
// frames mode or layers-as-objects mode.
#pragma once

#include <string>

#include "app/gif_image.h"

class CLoopwrightApp;
class CPromptInterface;
class CTevCommonProgress;

// The text after the last "." of the path's file name, upper-cased ("" when none).
std::string UpperExtension(const std::string& path);

// Empties model and reads path into it, choosing the reader by extension.
// On failure the model is left empty and reason (when given) says why.
bool OpenAnimationFile(CGifImage& model, const std::string& path, CLoopwrightApp& app, CPromptInterface& prompt,
                       CTevCommonProgress* progress, std::string* reason = nullptr);

// Reads a picture file through the codec: every sub-image becomes a frame
// with one raster object (frames mode), or, for a layered picture, every
// layer becomes an object of one frame.
bool ImportImageFile(CGifImage& model, const std::string& path, bool layersAsObjects, CPromptInterface& prompt,
                     CTevCommonProgress* progress, std::string* reason = nullptr);
