// Glyph outlines of a text through fontconfig (font lookup), HarfBuzz
// (shaping) and FreeType (outlines). Each glyph keeps the index of the
// character it came from, so the first k characters can be drawn alone at
// the places they take in the whole text.
#pragma once

#include <string>
#include <vector>

#include "companions/vector/tev_path.h"

namespace TevCustomPathLibV {

struct TevFontDesc {
  std::string family = "DejaVu Sans";
  double size = 32.0;  // pixels per em
  bool bold = false;
  bool italic = false;
  bool underline = false;
  friend bool operator==(const TevFontDesc&, const TevFontDesc&) = default;
};

// One glyph (or underline piece) placed in text coordinates: x to the right,
// y down, (0, 0) at the top-left of the first line.
struct TevPlacedGlyph {
  std::size_t charIndex;  // counts characters without line breaks
  TevVecLib::CTevPath path;
};

struct TevTextLayout {
  std::vector<TevPlacedGlyph> glyphs;
  double width = 0, height = 0;  // the layout box: widest line, lines x line height
  std::size_t characters = 0;    // characters without line breaks
};

// Lays out text ('\n' separates lines). Characters the chosen font lacks are
// taken from a font that has them (WenQuanYi Micro Hei for CJK when
// installed). Returns false when no font can be opened.
bool LayoutText(const std::u32string& text, const TevFontDesc& font, TevTextLayout* out);

// UTF-8 to code points; malformed sequences become U+FFFD.
std::u32string DecodeUtf8(const std::string& s);
std::string EncodeUtf8(const std::u32string& s);
// True when s is well-formed UTF-8 without overlong forms or surrogates.
bool IsValidUtf8(const std::string& s);

}  // namespace TevCustomPathLibV
