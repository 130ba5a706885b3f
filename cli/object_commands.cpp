// Script commands that add generator objects: add-text, add-shape, add-picture.
// Each new object gets a default name, goes on top of the stack and has a
// reference at (x, y) in every frame, shown only in the current frame.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "app/dib_factories.h"
#include "app/import_dispatch.h"
#include "cli/console_prompt.h"
#include "cli/script_runner.h"
#include "companions/base/dib.h"
#include "cli/colours.h"
#include "editing/object_commands.h"
#include "companions/base/tr.h"

namespace {

using TevCustomPathLibV::CTevShapeObj;
using TevCustomPathLibV::CTevTextObj;

struct ShapeName {
  const char* name;
  std::int32_t kind;
};

constexpr ShapeName kShapeNames[] = {
    {"rectangle", TevCustomPathLibV::kShapeRectangle}, {"rounded-rectangle", TevCustomPathLibV::kShapeRoundRect},
    {"ellipse", TevCustomPathLibV::kShapeEllipse},     {"triangle", TevCustomPathLibV::kShapeTriangle},
    {"diamond", TevCustomPathLibV::kShapeDiamond},     {"polygon", TevCustomPathLibV::kShapePolygon},
    {"star", TevCustomPathLibV::kShapeStar},           {"arrow", TevCustomPathLibV::kShapeArrow},
    {"heart", TevCustomPathLibV::kShapeHeart},
};

constexpr long long kMaxPosition = 1000000;

// The key=value options of one command; every key must be one the command
// knows and every value must parse.
class COptions {
 public:
  bool Parse(const CScriptRunner::Args& a, std::size_t from, std::initializer_list<const char*> known) {
    if (!ParseKeyValues(a, from, m_values)) return Error("options are key=value words");
    for (const auto& [key, value] : m_values) {
      bool ok = false;
      for (const char* k : known) ok = ok || key == k;
      if (!ok) {
        std::string names;
        for (const char* k : known) names += (names.empty() ? "" : ", ") + std::string(k);
        return Error("unknown option '" + key + "' (the options are " + names + ")");
      }
    }
    return true;
  }
  bool Int(const char* key, long long lo, long long hi, long long& value) {
    auto it = m_values.find(key);
    if (it == m_values.end()) return true;
    long long v;
    if (!ParseInt(it->second, v) || v < lo || v > hi)
      return Error(std::string(key) + " must be " + std::to_string(lo) + " to " + std::to_string(hi));
    value = v;
    return true;
  }
  bool Real(const char* key, double lo, double hi, double& value, bool* given = nullptr) {
    auto it = m_values.find(key);
    if (given) *given = it != m_values.end();
    if (it == m_values.end()) return true;
    char* end = nullptr;
    const double v = std::strtod(it->second.c_str(), &end);
    if (it->second.empty() || !end || *end || !std::isfinite(v) || v < lo || v > hi)
      return Error(std::string(key) + " must be a number from " + Format(lo) + " to " + Format(hi));
    value = v;
    return true;
  }
  bool Colour(const char* key, COLORREF& value, bool* given = nullptr) {
    auto it = m_values.find(key);
    if (given) *given = it != m_values.end();
    if (it == m_values.end()) return true;
    if (!ParseColour(it->second, value)) return Error(std::string(key) + " must be a colour: " + kColourForms);
    return true;
  }
  bool Flag(const char* key, bool& value) {
    long long v = value ? 1 : 0;
    if (!Int(key, 0, 1, v)) return false;
    value = v != 0;
    return true;
  }
  bool Text(const char* key, std::string& value) const {
    auto it = m_values.find(key);
    if (it != m_values.end()) value = it->second;
    return true;
  }
  const std::string& Message() const { return m_message; }

 private:
  bool Error(std::string m) {
    if (m_message.empty()) m_message = std::move(m);
    return false;
  }
  static std::string Format(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
  }
  std::map<std::string, std::string> m_values;
  std::string m_message;
};

// Placement and shadow shared by every add command.
struct Placement {
  long long x = 0, y = 0, shadow = 0;
};

bool ParsePlacement(COptions& o, Placement& p) {
  return o.Int("x", -kMaxPosition, kMaxPosition, p.x) && o.Int("y", -kMaxPosition, kMaxPosition, p.y) &&
         o.Int("shadow", 0, 9, p.shadow);
}

// Puts the object on top through the document's command (one undoable step).
ScriptResult AddToDocument(CLoopwrightDoc& doc, RefPtr<CDib> object, long long x, long long y, int shadowKind) {
  const ObjectResult r = AddObjectOnTop(doc, std::move(object), int(x), int(y), shadowKind);
  return r.ok ? ScriptResult::Ok() : ScriptResult::Fail(r.message);
}

// Builds a vector object's picture and adds it so that its unrotated box
// starts at (x, y).
ScriptResult AddVectorObject(CLoopwrightDoc& doc, RefPtr<CVectorDibFactory> factory, std::int32_t kind,
                             const Placement& p, const char* what, double w = 0, double h = 0) {
  RefPtr<CDib> object = CreateGeneratorObject(factory, kind);
  if (!object) {
    // A box whose 32-bit picture exceeds the per-picture limit cannot be drawn.
    const double bytes = std::ceil(w) * 4.0 * std::ceil(h);
    if (bytes > double(kMaxDibBytes)) {
      char text[256];
      std::snprintf(text, sizeof text,
                    Tr("%s: the shape of %.0f x %.0f pixels is too large to draw (a picture holds at most %zu MiB, "
                       "4 bytes a pixel)"),
                    what, std::ceil(w), std::ceil(h), kMaxDibBytes >> 20);
      return ScriptResult::Fail(text);
    }
    return ScriptResult::Fail(std::string(what) + ": nothing to draw");
  }
  const POINT origin = factory->RenderOrigin();
  return AddToDocument(doc, object, p.x + origin.x, p.y + origin.y, int(p.shadow));
}

ScriptResult AddText(CLoopwrightDoc& doc, const CScriptRunner::Args& a) {
  if (a.empty()) return ScriptResult::Usage({});
  if (a[0].empty()) return ScriptResult::Usage("add-text: the text is empty");
  COptions o;
  Placement p;
  CTevTextObj text;
  TevCustomPathLibV::TevFontDesc font = text.Font();
  auto& props = text.RenderProps();
  double size = 32, outlineWidth = props.outlineWidth;
  bool outline = false, outlineWidthGiven = false;
  if (!o.Parse(a, 1, {"size", "x", "y", "font", "color", "bold", "italic", "outline", "outline-width", "shadow"}) ||
      !ParsePlacement(o, p) || !o.Real("size", 1, 2000, size) || !o.Text("font", font.family) ||
      !o.Colour("color", props.fillColour) || !o.Flag("bold", font.bold) || !o.Flag("italic", font.italic) ||
      !o.Colour("outline", props.outlineColour, &outline) || !o.Real("outline-width", 0, 1000, outlineWidth, &outlineWidthGiven))
    return ScriptResult::Usage("add-text: " + o.Message());
  font.size = size;
  text.SetFont(font);
  text.SetText(a[0]);
  // Text is drawn without an outline unless one is asked for.
  props.strokeOutline = (outline || outlineWidthGiven) && outlineWidth > 0;
  props.outlineWidth = outlineWidth;
  return AddVectorObject(doc, MakeRef<CTextDibFactory>(text), OBJECT_TEXT, p, "add-text");
}

ScriptResult AddShape(CLoopwrightDoc& doc, const CScriptRunner::Args& a) {
  if (a.empty()) return ScriptResult::Usage({});
  const ShapeName* kind = nullptr;
  for (const auto& s : kShapeNames)
    if (a[0] == s.name) kind = &s;
  if (!kind) {
    std::string names;
    for (const auto& s : kShapeNames) names += std::string(names.empty() ? "" : ", ") + s.name;
    return ScriptResult::Usage("add-shape: unknown shape '" + a[0] + "' (one of " + names + ")");
  }
  COptions o;
  Placement p;
  double w = 100, h = 100, angle = 0;
  CTevShapeObj shape;
  auto& props = shape.RenderProps();
  double outlineWidth = props.outlineWidth;
  if (!o.Parse(a, 1, {"x", "y", "w", "h", "fill", "outline", "outline-width", "angle", "shadow"}) ||
      !ParsePlacement(o, p) || !o.Real("w", 1, 65535, w) || !o.Real("h", 1, 65535, h) ||
      !o.Colour("fill", props.fillColour) || !o.Colour("outline", props.outlineColour) ||
      !o.Real("outline-width", 0, 1000, outlineWidth) || !o.Real("angle", -360, 360, angle))
    return ScriptResult::Usage("add-shape: " + o.Message());
  shape.SetKind(kind->kind);
  shape.SetSize(w, h);
  shape.SetAngle(angle);
  props.outlineWidth = outlineWidth;
  props.strokeOutline = outlineWidth > 0;
  return AddVectorObject(doc, MakeRef<CShapeDibFactory>(shape), OBJECT_SHAPE, p, "add-shape", w, h);
}

ScriptResult AddPicture(CLoopwrightDoc& doc, const CScriptRunner::Args& a) {
  if (a.empty()) return ScriptResult::Usage({});
  COptions o;
  Placement p;
  double scale = 1, angle = 0;
  if (!o.Parse(a, 1, {"x", "y", "scale", "angle", "shadow"}) || !ParsePlacement(o, p) ||
      !o.Real("scale", 1e-3, 1e3, scale) || !o.Real("angle", -360, 360, angle))
    return ScriptResult::Usage("add-picture: " + o.Message());
  // The file's first picture is the source.
  CGifImage file;
  std::string reason;
  if (!ImportImageFile(file, a[0], false, doc.Prompt(), &ConsoleProgress(), &reason) || file.m_objects.empty() ||
      !file.m_objects.front()->GetImage())
    return ScriptResult::Fail(FormatMessage1(Tr("Failed to load the file %s!"), a[0]) + (reason.empty() ? "" : " (" + reason + ")"));
  DibPtr source(DibCopy(file.m_objects.front()->GetImage()));
  auto factory = MakeRef<CBitmapDibFactory>(std::move(source), scale, scale, angle);
  RefPtr<CDib> object = CreateGeneratorObject(factory, OBJECT_PICTURE);
  if (!object) return ScriptResult::Fail("add-picture: the picture could not be built (too large?)");
  return AddToDocument(doc, object, p.x, p.y, int(p.shadow));
}

}  // namespace

void AddObjectCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  r.Register("add-text",
             "add-text TEXT [size=N] [x=N] [y=N] [font=NAME] [color=0xBBGGRR] [bold=1] [italic=1] "
             "[outline=0xBBGGRR] [outline-width=N] [shadow=KIND]",
             [&doc](const CScriptRunner::Args& a) { return AddText(doc, a); });
  r.Register("add-shape",
             "add-shape KIND [x=N] [y=N] [w=N] [h=N] [fill=0xBBGGRR] [outline=0xBBGGRR] [outline-width=N] "
             "[angle=DEG] [shadow=KIND]",
             [&doc](const CScriptRunner::Args& a) { return AddShape(doc, a); });
  r.Register("add-picture", "add-picture FILE [x=N] [y=N] [scale=F] [angle=DEG] [shadow=KIND]",
             [&doc](const CScriptRunner::Args& a) { return AddPicture(doc, a); });
}
