#include "companions/shapes/text_object.h"

#include <algorithm>
#include <cmath>

namespace TevCustomPathLibV {

using namespace TevVecLib;

void BuildHalftonePathStorage(double x, double y, double w, double h, int band, bool vertical, int phase,
                              CTevPath& out) {
  band = std::max(1, band);
  if (!(w > 0 && h > 0) || !std::isfinite(x) || !std::isfinite(y) || w > 1e6 || h > 1e6) return;
  const double extent = vertical ? w : h;
  for (double s = (phase & 1) * band; s < extent; s += 2.0 * band) {
    double e = std::min(extent, s + band);
    if (vertical) {
      out.move_to(x + s, y), out.line_to(x + e, y), out.line_to(x + e, y + h), out.line_to(x + s, y + h);
    } else {
      out.move_to(x, y + s), out.line_to(x + w, y + s), out.line_to(x + w, y + e), out.line_to(x, y + e);
    }
    out.ClosePolygon();
  }
}

CTevTextObj::CTevTextObj() {
  RenderProps().fillColour = RGB(0, 0, 0);
  RenderProps().strokeOutline = false;
  RenderProps().outlineWidth = 1.0;
}

void CTevTextObj::SetText(const std::string& utf8) { SetTextContent(DecodeUtf8(utf8)); }

void CTevTextObj::SetTextContent(const CArrayOfTextCharacters& text) {
  m_text = text.substr(0, kMaxCharacters);
  for (char32_t& c : m_text)
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  m_layoutValid = false;
}

void CTevTextObj::SetFont(const TevFontDesc& font) {
  m_font = font;
  if (m_font.family.size() > kMaxFamilyBytes || !IsValidUtf8(m_font.family)) m_font.family.clear();
  if (m_font.family.empty()) m_font.family = TevFontDesc{}.family;
  m_font.size = std::isfinite(font.size) ? std::clamp(font.size, 1.0, 2000.0) : 32.0;
  m_layoutValid = false;
}

bool CTevTextObj::EnsureLayout() const {
  if (!m_layoutValid) {
    m_layoutOk = LayoutText(m_text, m_font, &m_layout);
    m_layoutValid = true;
  }
  return m_layoutOk;
}

bool CTevTextObj::BuildGlyphPath() {
  m_layoutValid = false;
  return EnsureLayout();
}

std::size_t CTevTextObj::CharacterCount() { return EnsureLayout() ? m_layout.characters : 0; }

void CTevTextObj::GetSourceSize(double* w, double* h) const {
  if (EnsureLayout()) {
    *w = m_layout.width, *h = m_layout.height;
  } else {
    *w = 0, *h = 0;
  }
}

void CTevTextObj::PartialPath(std::size_t k, CTevPath& out) const {
  for (const TevPlacedGlyph& g : m_layout.glyphs)
    if (g.charIndex < k) {
      CTevPath& p = const_cast<CTevPath&>(g.path);  // concat_path rewinds its source
      out.concat_path(p);
    }
}

bool CTevTextObj::BuildSourcePath(CTevPath& out) {
  if (!EnsureLayout()) return false;
  PartialPath(m_layout.characters, out);
  return out.VertexCount() > 0;
}

BITMAPINFOHEADER* CTevTextObj::RenderPartial(std::size_t k, POINT* offset) {
  if (k == 0 || !EnsureLayout()) return nullptr;
  CTevPath full, part;
  PartialPath(m_layout.characters, full);
  PartialPath(k, part);
  int fx, fy, fw, fh, px, py, pw, ph;
  if (part.VertexCount() == 0 || !PlacedPixelBox(full, &fx, &fy, &fw, &fh) ||
      !PlacedPixelBox(part, &px, &py, &pw, &ph))
    return nullptr;
  if (offset) *offset = POINT{px - fx, py - fy};
  return RasterizePlaced(part, px, py, pw, ph);
}

namespace {
// Crops a 32-bit DIB to its pixels with alpha; null when it has none.
DibPtr CropToContent(const BITMAPINFOHEADER* dib, POINT* at) {
  const int w = DibWidth(dib), h = DibHeight(dib);
  int x1 = w, y1 = h, x2 = -1, y2 = -1;
  for (int y = 0; y < h; ++y) {
    const BYTE* row = DibRow(dib, y);
    for (int x = 0; x < w; ++x)
      if (row[x * 4 + 3]) x1 = std::min(x1, x), x2 = std::max(x2, x), y1 = std::min(y1, y), y2 = std::max(y2, y);
  }
  if (x2 < 0) return nullptr;
  DibPtr out(DibAlloc(x2 - x1 + 1, y2 - y1 + 1, 32));
  if (!out) return nullptr;
  for (int y = y1; y <= y2; ++y)
    std::copy_n(DibRow(dib, y) + x1 * 4, (x2 - x1 + 1) * 4, DibRow(out.get(), y - y1));
  *at = POINT{x1, y1};
  return out;
}
}  // namespace

bool CTevTextObj::RenderHalftoneParts(bool vertical, DibPtr* a, POINT* aOffset, DibPtr* b, POINT* bOffset) {
  DibPtr full(Render(nullptr));
  if (!full) return false;
  const int w = DibWidth(full.get()), h = DibHeight(full.get());
  const int band = std::max(1, int(std::lround(m_font.size * std::min(ScaleX(), ScaleY()) / 8)));
  DibPtr* parts[2] = {a, b};
  POINT* offsets[2] = {aOffset, bOffset};
  for (int phase = 0; phase < 2; ++phase) {
    CTevPath stripes;
    BuildHalftonePathStorage(0, 0, w, h, band, vertical, phase, stripes);
    DibPtr layer(DibAlloc(w, h, 32));
    if (!layer) return false;
    if (stripes.VertexCount()) {
      CTevRenderVectorObj r(0);
      r.AddShapePath(stripes, CTevTransMatrix(), nullptr);
      r.Paint32BitsDIBWithImageX(layer.get(), nullptr, full.get(), CTevTransMatrix(), kComposeCopy, 1,
                                 kFilterNearest, kEdgeTransparent);
    }
    POINT at{0, 0};
    *parts[phase] = CropToContent(layer.get(), &at);
    if (offsets[phase]) *offsets[phase] = at;
  }
  return true;
}

void CTevTextObj::WriteBody(CTevByteWriter& w) const {
  w.String(EncodeUtf8(m_text));
  w.String(m_font.family);
  w.F64(m_font.size);
  w.U8(std::uint8_t((m_font.bold ? 1 : 0) | (m_font.italic ? 2 : 0) | (m_font.underline ? 4 : 0)));
}

bool CTevTextObj::ReadBody(CTevByteReader& r) {
  std::string text, family;
  double size;
  std::uint8_t flags;
  if (!r.String(&text, kMaxCharacters * 4) || !IsValidUtf8(text)) return false;
  if (!r.String(&family, kMaxFamilyBytes) || !IsValidUtf8(family) || family.empty()) return false;
  if (!r.F64(&size) || !(size >= 1 && size <= 2000) || !r.U8(&flags) || flags > 7) return false;
  std::u32string decoded = DecodeUtf8(text);
  if (decoded.size() > kMaxCharacters) return false;
  m_text = decoded;
  m_font = TevFontDesc{family, size, (flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0};
  m_layoutValid = false;
  return true;
}

void CTevTextObj::Assign(const CTevVectorObject& other) {
  const auto& o = static_cast<const CTevTextObj&>(other);
  AssignBase(o);
  m_text = o.m_text;
  m_font = o.m_font;
  m_layoutValid = false;
}

}  // namespace TevCustomPathLibV
