// MP4 and WebM video export: the frames composed onto a solid background
// as for AVI, each frame shown for exactly its delay (timestamps in
// hundredths of a second rather than one frame rate), H.264 (MPEG-4 Part 2
// without an H.264 encoder) in MP4, VP9 (else VP8) in WebM, and an optional
// sound stream.
#pragma once

#include <string>

#include "export/video_frames.h"

// Encoder names used for "MP4" or "WEBM" (upper-case extension); empty when
// none is available.
std::string VideoEncoderFor(const std::string& upperExtension);

// Writes model to path (extension .mp4 or .webm) through a temporary file in
// the target's folder; on failure the target is untouched and reason says
// why. H.264 and MPEG-4 take even sizes: an odd canvas gains one column or
// row of the background colour at the right or bottom.
bool ExportStreamingVideo(const CGifImage& model, const std::string& path, const CVideoExportOptions& options,
                          CTevCommonProgress* progress, std::string* reason = nullptr);
