// The banner document command: a text object rendered at rest, the banner
// generated from it, and the frames added as one undoable
// CUpdateFramesDIBAction (kind 0, "Undo Add banner text").
//
// Usage: 1. CreateBannerTextObject(style, &origin) 2. settings =
// BannerSettingsFromPreferences(app), set text, canvas, rectangle and
// position (PlaceBannerText) 3. AddBannerFrames(doc, settings).
#pragma once

#include <string>

#include "app/loopwright_doc.h"
#include "companions/shapes/TevCustomPathLib.h"
#include "generators/banner_settings.h"

class CTevCommonProgress;

constexpr int kBannerActionKind = 0;

struct CBannerTextStyle {
  std::string text;  // UTF-8; '\n' separates lines
  TevCustomPathLibV::TevFontDesc font;
  COLORREF colour = 0x000000;
  bool outline = false;
  COLORREF outlineColour = 0x000000;
  double outlineWidth = 1.0;
  int shadowKind = 0;  // 0 none, 1-5 parallel, 6-9 perspective
};

// A text object (kind 5, holding its text generator) with its shadow built.
// origin receives the picture's top-left relative to the text box. Null when
// the text draws nothing.
RefPtr<CDib> CreateBannerTextObject(const CBannerTextStyle& style, POINT* origin = nullptr);

// Phases, kinds, frame counts and delay from "EnterScene", "ExitScene",
// "EnterEffect", "ExitEffect", "EnterFrames", "ExitFrames", "FrameDelayTime".
BannerSettings BannerSettingsFromPreferences(const CLoopwrightApp& app);

// Sets the text position: the text box's top-left at *at (the picture then
// lies origin further), or, without at, the picture centred in the banner
// rectangle.
void PlaceBannerText(BannerSettings& settings, const POINT* at, POINT origin);

// Generates the banner and inserts one frame per clip after the current
// frame (at the start when there is none; in place of it with
// replaceCurrent). Each new frame is a copy of the current frame (blank
// without one) with the clip's delay, showing the clip's pictures on top at
// their positions and transparencies. A picture new to the document becomes
// one object (default name) shared by every frame that shows it; its
// references on the other frames are hidden (a picture the document already
// holds is hidden on the banner frames where no clip shows it). The first
// banner frame becomes current. Records one CUpdateFramesDIBAction; on
// failure shows the message and changes nothing. Returns a BannerResult.
int AddBannerFrames(CLoopwrightDoc& doc, const BannerSettings& settings, bool replaceCurrent = false,
                    CTevCommonProgress* progress = nullptr);
