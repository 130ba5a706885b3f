// Colours as users type them: "#RRGGBB", "#RGB", "rgb(r,g,b)", the CSS
// colour names, and the project's native 0xBBGGRR (or a decimal COLORREF).
#pragma once

#include <string>

#include "companions/base/win_types.h"

// False (colour untouched) when the text is none of the accepted forms or
// out of range.
bool ParseColour(const std::string& text, COLORREF& colour);
// "#RRGGBB" of a COLORREF (0x00BBGGRR).
std::string ColourToHex(COLORREF colour);
// What ParseColour accepts, for help texts and messages.
inline constexpr const char* kColourForms = "#RRGGBB, #RGB, rgb(r,g,b), a CSS colour name or 0xBBGGRR";
