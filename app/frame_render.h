// Whole frames as pictures: composition at canvas size and single-picture output.
#pragma once

#include <string>

#include "app/gif_image.h"

// The frame composed at canvas size over a fully transparent picture; null
// when the canvas is empty or too large.
DibPtr RenderFrame(const CGifImage& model, const CGifFrame& frame);

// Writes a 32-bit picture as an RGBA PNG (atomically). reason says why on failure.
bool WritePngPicture(const BITMAPINFOHEADER* picture, const std::string& path, std::string* reason = nullptr);
