// Opening AVI videos: the file's own RIFF header gives the canvas, FFmpeg
// decodes the video stream, every frame becomes a raster object shown by one
// frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/gif_image.h"

class CTevCommonProgress;

// The fields of the 56-byte "avih" main header the importer uses.
struct CAviMainHeader {
  std::uint32_t microSecPerFrame = 0;
  std::uint32_t totalFrames = 0;
  std::uint32_t streams = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Reads "RIFF" size "AVI ", finds the "LIST" "hdrl" chunk among the top-level
// chunks and its "avih" chunk. Every chunk size is checked against its parent
// and the file; the size must be 1..65535 square and fit a 32-bit DIB.
bool ReadAviMainHeader(const std::string& path, CAviMainHeader& header, std::string* reason = nullptr);

// Default cap on the bytes of decoded pictures one import may hold.
constexpr std::size_t kAviDecodeLimit = std::size_t(1) << 30;

// Empties model and reads the AVI at path into it: canvas = the header's
// size, one 32-bit opaque raster object and one frame (reference at (0, 0))
// per decoded frame, delay = the stream's frame duration in hundredths.
// When the decoded pictures would pass maxDecodedBytes after k frames and
// k > 2, decoding starts again keeping n = k / 3 frames spread over the
// video, and the delay grows so that the play time stays the video's.
// Fails (model empty, reason set) on a bad header, an undecodable stream,
// no decoded frame, or cancellation through progress.
bool ImportAviFile(CGifImage& model, const std::string& path, CTevCommonProgress* progress,
                   std::string* reason = nullptr, std::size_t maxDecodedBytes = kAviDecodeLimit);
