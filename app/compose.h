// Frame composition: a frame's visible objects, bottom to top, each preceded
// by its shadow, blended into a 32-bit target.
#pragma once

#include "app/gif_frame.h"

// Zoom modes: 1 draws 1:1; a mode below 1 draws reduced by zoomFactor (each
// target pixel shows every zoomFactor-th canvas pixel); a mode above 1 draws
// magnified by zoomFactor. origin is where canvas (0, 0) lands in the target.
// The fast blits are used when the processor has them (same pixels).
void ComposeFrame(BITMAPINFOHEADER* target, POINT origin, const CGifFrame& frame, int zoomMode = 1,
                  int zoomFactor = 1);

// Composes the frame at canvas size over a transparent target and returns the
// 32-bit picture and a 1-bit mask (bottom-up, palette entry 1 white) whose set
// bits mark pixels with alpha >= alphaThreshold. When matte has a zero top
// byte, partly transparent pixels are blended over it. Returns false on
// allocation failure or an empty canvas.
bool ComposeFrameWithMask(const CGifFrame& frame, LONG width, LONG height, DibPtr& image, DibPtr& mask,
                          BYTE alphaThreshold = 128, COLORREF matte = 0xFFFFFF);

// Forces the plain blits (tests compare both paths).
void SetComposeUsesFastBlit(bool on);
bool GetComposeUsesFastBlit();
