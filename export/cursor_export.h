// Icon, cursor and animated-cursor preparation: one 8-bit picture and one
// 1-bit mask (set bits opaque) per frame, with hot spots for cursors and
// delays for animated cursors.
#pragma once

#include <string>
#include <vector>

#include "app/gif_image.h"
#include "companions/imageio/image_info.h"
#include "companions/imageio/image_options.h"

// Fills pack with one block per frame of model (format IMAGE_FORMAT_ICO,
// _CUR or _ANI). CUR: frame i takes hotSpots[i] (the last given one when
// fewer, (0, 0) when none); ANI: every block takes hotSpots[0] and its
// frame's delay, and options (a CTevCursorExportOptions) carry the hot spot.
// On failure nothing is left in the pack.
bool PrepareCursorFrames(const CGifImage& model, int format, const std::vector<POINT>& hotSpots,
                         TevImageIO::CTevImageInfoPack& pack, TevImageIO::CTevImgExportOptions& options,
                         std::string* reason = nullptr);

// The same for one frame.
bool PrepareCursorFrame(const CGifImage& model, const CGifFrame& frame, int format, POINT hotSpot,
                        TevImageIO::CTevImageInfoPack& pack, TevImageIO::CTevImgExportOptions& options,
                        std::string* reason = nullptr);

// A 24- or 32-bit picture as 8 bits with at most 256 colours (exact when the
// opaque pixels hold no more), pixels hidden by mask at index 0. Null on failure.
DibPtr ConvertTo8Bits(const BITMAPINFOHEADER* picture, const BITMAPINFOHEADER* mask);
