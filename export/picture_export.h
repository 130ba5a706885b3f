// Single-picture exports: one frame, or the current frame as layers.
#pragma once

#include <memory>
#include <string>

#include "app/loopwright_doc.h"
#include "companions/imageio/image_info.h"
#include "companions/imageio/image_options.h"

// Fills pack (the merged frame, 24-bit when fully opaque) and chains one
// CTevPsdSubImgBlock per object of the frame, bottom to top: the object's
// picture combined with its shadow, at its position, with its transparency,
// visibility and GBK name.
bool PrepareLayeredFrame(const CGifImage& model, const CGifFrame& frame, TevImageIO::CTevImageInfoPack& pack,
                         std::string* reason = nullptr);

// Fills pack and creates the option record for one frame written as ext
// (upper-cased extension); the JPEG record takes the document's JPEG
// preferences. False for an unknown extension.
bool PrepareFramePicture(CLoopwrightDoc& doc, const CGifFrame& frame, const std::string& ext, POINT hotSpot,
                         TevImageIO::CTevImageInfoPack& pack, std::unique_ptr<TevImageIO::CTevImgExportOptions>& options,
                         std::string* reason = nullptr);
