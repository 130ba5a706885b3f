// Vector text objects: UTF-8 text in lines, a font, and the render
// properties of CTevVectorObject; glyph outlines through font_outline.h.
// Besides the whole text, an object renders the first k characters alone
// (placed where they lie in the whole text) and splits its picture into two
// complementary half-tone parts.
#pragma once

#include <string>

#include "companions/shapes/font_outline.h"
#include "companions/shapes/vector_object.h"

namespace TevCustomPathLibV {

// Text content as code points; '\n' separates lines.
using CArrayOfTextCharacters = std::u32string;

// Stripes of width band across the box (x, y, w, h): horizontal stripes
// (rows of band pixels) unless vertical is set. phase 0 takes the first,
// third, ... stripe; phase 1 the others, so the two phases tile the box
// exactly. Band is at least 1.
void BuildHalftonePathStorage(double x, double y, double w, double h, int band, bool vertical, int phase,
                              CTevPath& out);

class CTevTextObj : public CTevVectorObject {
 public:
  static constexpr std::size_t kMaxCharacters = 65536;
  static constexpr std::size_t kMaxFamilyBytes = 256;

  CTevTextObj();

  // Malformed UTF-8 becomes U+FFFD; text beyond kMaxCharacters is cut.
  void SetText(const std::string& utf8);
  std::string Text() const { return EncodeUtf8(m_text); }
  void SetTextContent(const CArrayOfTextCharacters& text);
  const CArrayOfTextCharacters& TextContent() const { return m_text; }
  // Sizes are limited to 1 .. 2000 pixels; an empty family means the default.
  void SetFont(const TevFontDesc& font);
  const TevFontDesc& Font() const { return m_font; }

  // Lays out the glyph outlines (done on demand; call after a load or a
  // change to find out whether the font can be used).
  bool BuildGlyphPath();
  // Characters without line breaks: what the typing banners count.
  std::size_t CharacterCount();

  void GetSourceSize(double* w, double* h) const override;

  // The first k characters alone, as a new DIB; offset receives its top-left
  // relative to the top-left of Render()'s picture. Null when k is 0 or the
  // characters draw nothing (spaces).
  BITMAPINFOHEADER* RenderPartial(std::size_t k, POINT* offset);

  // Splits the rendered text into parts A and B by half-tone stripes; each
  // part is cropped to what it shows, its offset relative to Render()'s
  // picture. A part that shows nothing is returned as null. False when the
  // text does not render.
  bool RenderHalftoneParts(bool vertical, DibPtr* a, POINT* aOffset, DibPtr* b, POINT* bOffset);

 protected:
  bool BuildSourcePath(CTevPath& out) override;
  const char* Magic() const override { return "LWTX"; }
  void WriteBody(CTevByteWriter& w) const override;
  bool ReadBody(CTevByteReader& r) override;
  void Assign(const CTevVectorObject& other) override;
  CTevVectorObject* CloneEmpty() const override { return new CTevTextObj; }

 private:
  bool EnsureLayout() const;
  void PartialPath(std::size_t k, CTevPath& out) const;

  CArrayOfTextCharacters m_text;
  TevFontDesc m_font;
  mutable TevTextLayout m_layout;
  mutable bool m_layoutValid = false;
  mutable bool m_layoutOk = false;
};

}  // namespace TevCustomPathLibV
