#include "companions/shapes/font_outline.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cstdlib>
#include <cmath>
#include <memory>

namespace TevCustomPathLibV {

namespace {

struct FontFile {
  std::string path;
  int index = 0;
};

// Asks fontconfig for the best file for a family and style, optionally for a
// language (the caller checks the face for the glyphs it needs).
bool MatchFont(const std::string& family, bool bold, bool italic, const char* lang, FontFile* out) {
  // fontconfig's configuration lives for the process; release it at exit so
  // leak checkers see a clean end.
  static const bool initialised = [] {
    if (!FcInit()) return false;
    std::atexit(FcFini);
    return true;
  }();
  if (!initialised) return false;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  if (!family.empty()) FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  if (lang) FcPatternAddString(pat, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pat, &result);
  bool ok = false;
  if (match) {
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      out->path = reinterpret_cast<const char*>(file);
      out->index = index;
      ok = true;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pat);
  return ok;
}

struct FreeTypeLibrary {
  FT_Library lib = nullptr;
  FreeTypeLibrary() {
    if (FT_Init_FreeType(&lib)) lib = nullptr;
  }
  ~FreeTypeLibrary() {
    if (lib) FT_Done_FreeType(lib);
  }
};

// A sized face with its HarfBuzz font.
struct Face {
  FT_Face face = nullptr;
  hb_font_t* hb = nullptr;
  bool synthBold = false, synthItalic = false;
  ~Face() {
    if (hb) hb_font_destroy(hb);
    if (face) FT_Done_Face(face);
  }
  bool Open(FT_Library lib, const FontFile& f, const TevFontDesc& fontDesc) {
    if (FT_New_Face(lib, f.path.c_str(), f.index, &face)) return (face = nullptr), false;
    if (!FT_IS_SCALABLE(face) || FT_Set_Char_Size(face, 0, FT_F26Dot6(fontDesc.size * 64), 72, 72)) return false;
    hb = hb_ft_font_create_referenced(face);
    hb_ft_font_set_load_flags(hb, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
    synthBold = fontDesc.bold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    synthItalic = fontDesc.italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    return hb != nullptr;
  }
  bool Has(char32_t c) const { return FT_Get_Char_Index(face, c) != 0; }
};

struct OutlineSink {
  TevVecLib::CTevPath* path;
  double dx, dy;
  double X(const FT_Vector* v) const { return dx + v->x / 64.0; }
  double Y(const FT_Vector* v) const { return dy - v->y / 64.0; }
};

int MoveTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  s->path->ClosePolygon();
  s->path->move_to(s->X(to), s->Y(to));
  return 0;
}
int LineTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  s->path->line_to(s->X(to), s->Y(to));
  return 0;
}
int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  s->path->curve3(s->X(c), s->Y(c), s->X(to), s->Y(to));
  return 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* s = static_cast<OutlineSink*>(user);
  s->path->curve4(s->X(c1), s->Y(c1), s->X(c2), s->Y(c2), s->X(to), s->Y(to));
  return 0;
}

bool GlyphPath(Face& f, unsigned gid, double x, double y, double size, TevVecLib::CTevPath* out) {
  if (FT_Load_Glyph(f.face, gid, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP)) return false;
  FT_GlyphSlot slot = f.face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  if (f.synthBold) FT_Outline_Embolden(&slot->outline, FT_Pos(size * 64 / 24));
  if (f.synthItalic) {
    FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // slant by 0.2
    FT_Outline_Transform(&slot->outline, &shear);
  }
  static const FT_Outline_Funcs kFuncs = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  OutlineSink sink{out, x, y};
  if (FT_Outline_Decompose(&slot->outline, &kFuncs, &sink)) return false;
  out->ClosePolygon();
  return true;
}

void UnderlinePiece(const Face& f, double x1, double x2, double baseline, TevVecLib::CTevPath* out) {
  double pos = FT_MulFix(f.face->underline_position, f.face->size->metrics.y_scale) / 64.0;
  double thick = FT_MulFix(f.face->underline_thickness, f.face->size->metrics.y_scale) / 64.0;
  thick = std::max(thick, 1.0);
  double top = baseline - pos - thick / 2;
  out->move_to(x1, top);
  out->line_to(x2, top);
  out->line_to(x2, top + thick);
  out->line_to(x1, top + thick);
  out->ClosePolygon();
}

}  // namespace

bool LayoutText(const std::u32string& text, const TevFontDesc& fontDesc, TevTextLayout* out) {
  *out = TevTextLayout{};
  if (!(fontDesc.size >= 1 && fontDesc.size <= 2000)) return false;
  FreeTypeLibrary ft;
  if (!ft.lib) return false;
  FontFile file;
  Face primary;
  if (!MatchFont(fontDesc.family, fontDesc.bold, fontDesc.italic, nullptr, &file) || !primary.Open(ft.lib, file, fontDesc)) return false;
  std::unique_ptr<Face> fallback;
  bool fallbackTried = false;

  const FT_Size_Metrics& m = primary.face->size->metrics;
  const double ascender = m.ascender / 64.0;
  const double lineHeight = std::max(m.height / 64.0, 1.0);

  hb_buffer_t* buf = hb_buffer_create();
  std::size_t charBase = 0;
  std::size_t lineNo = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(U'\n', start);
    if (end == std::u32string::npos) end = text.size();
    std::u32string line;
    for (std::size_t i = start; i < end; ++i)
      if (text[i] != U'\r') line.push_back(text[i]);
    const double baseline = ascender + double(lineNo) * lineHeight;
    double pen = 0;
    std::size_t runStart = 0;
    while (runStart < line.size()) {
      // A run of characters that one face draws.
      auto faceFor = [&](char32_t c) -> Face* {
        if (primary.Has(c)) return &primary;
        if (!fallbackTried) {
          fallbackTried = true;
          FontFile ff;
          auto f = std::make_unique<Face>();
          if ((MatchFont("WenQuanYi Micro Hei", fontDesc.bold, fontDesc.italic, nullptr, &ff) && f->Open(ft.lib, ff, fontDesc) &&
               f->Has(c)) ||
              (MatchFont("", fontDesc.bold, fontDesc.italic, "zh-cn", &ff) && (f = std::make_unique<Face>())->Open(ft.lib, ff, fontDesc)))
            fallback = std::move(f);
        }
        return fallback && fallback->Has(c) ? fallback.get() : &primary;
      };
      Face* face = faceFor(line[runStart]);
      std::size_t runEnd = runStart + 1;
      while (runEnd < line.size() && faceFor(line[runEnd]) == face) ++runEnd;

      hb_buffer_clear_contents(buf);
      hb_buffer_add_utf32(buf, reinterpret_cast<const uint32_t*>(line.data()), int(line.size()),
                          unsigned(runStart), int(runEnd - runStart));
      hb_buffer_guess_segment_properties(buf);
      hb_shape(face->hb, buf, nullptr, 0);
      unsigned n = 0;
      hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &n);
      hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &n);
      for (unsigned g = 0; g < n; ++g) {
        TevPlacedGlyph placed{charBase + info[g].cluster, {}};
        double x = pen + pos[g].x_offset / 64.0, y = baseline - pos[g].y_offset / 64.0;
        GlyphPath(*face, info[g].codepoint, x, y, fontDesc.size, &placed.path);
        double advance = pos[g].x_advance / 64.0;
        if (fontDesc.underline) UnderlinePiece(primary, pen, pen + advance, baseline, &placed.path);
        pen += advance;
        if (placed.path.VertexCount()) out->glyphs.push_back(std::move(placed));
      }
      runStart = runEnd;
    }
    out->width = std::max(out->width, pen);
    charBase += line.size();
    ++lineNo;
    if (end == text.size()) break;
    start = end + 1;
  }
  hb_buffer_destroy(buf);
  out->height = double(lineNo) * lineHeight;
  out->characters = charBase;
  return true;
}

}  // namespace TevCustomPathLibV
