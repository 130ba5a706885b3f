// AVI video export: every frame composed onto a solid background, one
// fixed frame rate chosen so that the video lasts as long as the animation,
// uncompressed ("DIB "), run-length ("mrle") or Motion JPEG frames, and an
// optional sound stream, written by libavformat's AVI muxer (OpenDML
// indexes past 1 GB).
#pragma once

#include <string>

#include "export/video_frames.h"

// Writes model to path as AVI. The movie goes to a temporary file in the
// target's folder that replaces the target at the end; on failure (reason
// says why) the target is untouched. Progress runs through four stages:
// "初始化背景...", "删除调色板信息..." (palette codecs), "转换为 AVI 文件格式...",
// "保存帧...".
bool ExportAviFile(const CGifImage& model, const std::string& path, const CVideoExportOptions& options,
                   CTevCommonProgress* progress, std::string* reason = nullptr);

// MJPEG quality 1..100 as the encoder's quantizer scale 31..2.
int MjpegQScale(int quality);
