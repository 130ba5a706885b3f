// Complete frames from a GIF's partial images: after an import every frame
// holds one reference to the image of its own GIF block; this merges each
// image over what the previous frames left on the canvas according to their
// disposal methods.
#pragma once

#include "app/gif_image.h"

// For each frame in order: merges the base image left by the earlier frames
// with the frame's image (the frame's pixels over the base), replacing the
// frame's object by one holding the merged picture at the merged position;
// then updates the base by the frame's disposal method (0, 1: the frame's
// picture; 2: the base with the frame's rectangle cleared; 3 and others:
// unchanged). Frames must hold exactly one reference each (frames mode of
// the import). False when a merge runs out of memory or the model breaks
// that rule; the model is then left as far as it got.
bool RebuildGifFrames(CGifImage& model);
