// The picture writers' choices a user can change for one session: PNG
// compression level and interlacing, TGA run-length encoding and alpha
// channel, TIFF compression and predictor, PSD layer transparency. The
// defaults are those of the writers' option records.
#pragma once

#include <string>

#include "companions/base/progress.h"
#include "companions/imageio/image_options.h"

struct CPictureExportOptions {
  int pngLevel = 9;         // zlib level 0..9
  bool pngInterlaced = false;
  bool tgaRle = true;
  bool tgaAlpha = true;     // 4 bytes a pixel; off: 3 (opaque)
  int tiffCompression = 2;  // 0 none, 1 PackBits, 2 LZW, 3 Deflate
  bool tiffPredictor = false;
  bool psdLayerAlpha = true;  // layers keep their transparency; off: opaque layers
};

// Copies the choices for record's format into record (other formats are left alone).
void ApplyPictureExportOptions(const CPictureExportOptions& choices, TevImageIO::CTevImgExportOptions& record);

class CLoopwrightDoc;

// ExportImageFrames with the writers taking choices: every frame to
// base + number + "." + ext, "CurrentFilter" remembered; on failure
// failedPath names the file that could not be written (earlier files stay).
bool ExportImageFramesWith(CLoopwrightDoc& doc, const std::string& base, const std::string& ext,
                           const CPictureExportOptions& choices, CTevCommonProgress* progress,
                           std::string* failedPath = nullptr, std::string* reason = nullptr);
