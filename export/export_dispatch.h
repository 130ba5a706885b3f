// Raster exports of the document: the whole animation (GIF, ICO, CUR, ANI,
// the current frame as layered PSD) and single frames as pictures.
//
// Every export writes through the codec's atomic writer: on failure the
// target is left as it was and reason (when given) says why; the caller
// shows "保存到 %s 文件失败!".
#pragma once

#include <string>
#include <vector>

#include "app/loopwright_doc.h"
#include "companions/base/progress.h"
#include "export/video_frames.h"
#include "export/swf_frame_prep.h"

// Overrides of the document's GIF settings and the cursor hot spots for one export.
struct CExportSettings {
  int maxColors = 0;                   // 0: the document's output colour count
  int ditherMode = -1;                 // -1: the document's reduction setting
  int ditherParameter = -1;            // -1: the document's quality setting
  bool forbidRestorePrevious = false;  // no frame gets disposal 3
  bool globalPalette = false;          // GIF: one colour table for every frame, even when colours are lost
  int gifLevel = 2;                    // GIF: 1 fast, 2 default, 3 slowest and smallest
  int gifLossy = 0;                    // GIF: lossy LZW, colours within this per channel may stand in (0: exact)
  std::vector<POINT> hotSpots;         // CUR: one per frame (the first repeats); ANI: the first
  CVideoExportOptions video;           // AVI, MP4, WEBM
  CFlashSettings flash;                // SWF: bitmaps, rate, timing (fps 0: from the delays)
  bool pageShowsFlash = false;         // HTM/HTML: the page embeds a movie instead of the GIF
  std::string ruffleUrl;               // HTM/HTML with a movie: the player script (empty: the public one)
};

// Writes the animation to path by its extension (compared upper-cased):
// "GIF", "ICO", "CUR", "ANI", "PSD" (current frame, layered), "AVI", "MP4",
// "WEBM", "SWF" (Flash movie), "HTM"/"HTML" (a published page and its GIF or
// movie); others fail.
bool ExportAnimationFile(CLoopwrightDoc& doc, const std::string& path, CTevCommonProgress* progress,
                         const CExportSettings& settings = {}, std::string* reason = nullptr);

// Writes one frame as a picture chosen by the path's extension: GIF, JPG,
// JPEG, PNG, PSD, BMP, DIB, PCX, TGA, TIF, TIFF, ICO, CUR, ANI.
bool ExportFramePicture(CLoopwrightDoc& doc, const CGifFrame& frame, const std::string& path, POINT hotSpot,
                        CTevCommonProgress* progress, std::string* reason = nullptr);

// The export-image-frames formats, in "CurrentFilter" order (1 = gif .. 11 = ani).
const std::vector<std::string>& FrameExportExtensions();
// base + frame number zero-padded to the digits of count + "." + ext (frames numbered from 1).
std::string FrameFileName(const std::string& base, int index, int count, const std::string& ext);
// Writes every frame; remembers the format in "CurrentFilter". On failure
// failedPath names the file that could not be written.
bool ExportImageFrames(CLoopwrightDoc& doc, const std::string& base, const std::string& ext,
                       CTevCommonProgress* progress, std::string* failedPath = nullptr,
                       std::string* reason = nullptr);
