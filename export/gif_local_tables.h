// GIF export with a colour table per frame where one table for the whole
// animation would lose colours.
//
// Frames are composed, compared and encoded one at a time against one
// canvas of what the viewer shows (no copy of every frame is kept): each
// frame becomes the box of pixels that differ from that canvas, drawn in a
// table of its own colours; the global table holds the colours of the frame
// whose colour set serves most frames, and every frame whose drawn colours
// it holds uses it. Only a frame whose own drawn area holds more than 256
// colours (255 next to transparent pixels) is reduced, and a note says so.
// The previous frame is kept (disposal 1) when the next one can be drawn
// over it, else its box is widened over every pixel that has to vanish and
// restored to the background (disposal 2).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/gif_image.h"
#include "companions/base/progress.h"

struct CGifStreamSettings {
  int level = 2;           // 1: unchanged pixels transparent; 2: also per-run choices by LZW size; 3: also the slower trials
  int ditherMode = 0;      // DITHER_MODE for frames that must be reduced
  int ditherParameter = 100;
  COLORREF keyColour = 0xFFFFFF;  // matte for partly transparent pixels
  bool optimizeFrames = true;     // false: every frame drawn whole over a cleared canvas
  int lossy = 0;                  // lossy LZW: table colours within this per channel may stand in (0: exact)
};

// Distinct colours of the opaque pixels of every composed frame, counting
// stops once past limit (returns limit + 1). -1 when a frame cannot be composed.
int CountGifColours(const CGifImage& model, COLORREF keyColour, int limit, CTevCommonProgress* progress);

// Whether the export should take local tables: all colours asked
// (options.maxColors 256), no single table wanted, and the composed frames
// hold more colours than one table takes next to a transparent index.
struct CGifOptimizeOptions;
bool GifNeedsLocalTables(const CGifImage& model, const CGifOptimizeOptions& options, bool globalPalette,
                         CTevCommonProgress* progress);

// Encodes the animation into sink (called with consecutive pieces of the
// file; false from it stops the export). note receives one text per reduced
// frame. False on a failed composition, a refused write or cancel.
bool EncodeGifLocalTables(const CGifImage& model, const CGifStreamSettings& settings,
                          const std::function<bool(const std::uint8_t*, std::size_t)>& sink,
                          const std::function<void(const std::string&)>& note, CTevCommonProgress* progress,
                          std::string* reason);

// Writes the GIF to path through a temporary file that replaces it at the
// end, so a failure leaves an existing file as it was.
bool WriteGifLocalTables(const CGifImage& model, const std::string& path, const CGifStreamSettings& settings,
                         const std::function<void(const std::string&)>& note, CTevCommonProgress* progress,
                         std::string* reason);
