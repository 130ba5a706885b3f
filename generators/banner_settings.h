// Text banners: the settings one generation run works from and the clip
// record it produces per frame.
//
// Usage: 1. fill a BannerSettings (the text object rendered at rest, its
// canvas position, the canvas and banner rectangle, the two phases)
// 2. GenerateBanner(settings, clips) from banner_generators.h
// 3. AddBannerFrames (banner_command.h) turns the clips into frames.
#pragma once

#include <vector>

#include "app/dib_object.h"

// Effect kinds of the enter and leave phases.
enum BannerKind {
  BANNER_SLIDE_LEFT = 0,   // enters from the right, leaves to the left
  BANNER_SLIDE_RIGHT = 1,  // enters from the left, leaves to the right
  BANNER_SLIDE_UP = 2,     // enters from the bottom, leaves to the top
  BANNER_SLIDE_DOWN = 3,   // enters from the top, leaves to the bottom
  BANNER_FADE = 4,
  BANNER_STILL = 5,
  BANNER_FLASH = 6,
  BANNER_TYPE = 7,
  BANNER_MERGE_VERTICAL = 8,
  BANNER_MERGE_HORIZONTAL = 9,
  BANNER_GROW = 10,
  BANNER_SHRINK = 11,
  BANNER_SPIN_GROW = 12,
  BANNER_SPIN_SHRINK = 13,
  BANNER_KIND_COUNT = 14,
};

// Frames per phase and the frame delay a run accepts.
constexpr int kMaxBannerFrames = 300;
constexpr int kMaxBannerDelay = 32767;

struct BannerSettings {
  bool typeFromRight = false;  // typing grows from the right end
  bool enterEnabled = true;
  bool leaveEnabled = true;
  int enterKind = BANNER_SLIDE_LEFT;
  int leaveKind = BANNER_SLIDE_LEFT;
  int enterFrames = 10;
  int leaveFrames = 10;
  int reserved1 = 0, reserved2 = 0;  // kept for the dialog; unused here
  int frameDelay = 10;
  // The text object rendered at rest, with its shadow settings and its
  // generator (a CTextDibFactory for the typing, merge, scale and turn kinds).
  RefPtr<CDib> text;
  RECT bannerRect{0, 0, 0, 0};  // canvas area the banner shows in
  int x0 = 0, y0 = 0;           // canvas position of the text picture at rest
  int canvasWidth = 0, canvasHeight = 0;
};

// One picture of a frame: null when the frame shows nothing in this slot.
struct CBannerSlot {
  RefPtr<CDib> picture;
  int x = 0, y = 0;
  int transparency = 0;  // 0 opaque, 255 invisible
};

// One generated frame. Only the merge kinds fill the second slot.
struct CBannerClip {
  int delay = 0;
  CBannerSlot first;
  CBannerSlot second;
};
