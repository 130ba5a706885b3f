// Script commands that edit objects: list commands (new, duplicate, delete,
// combine, order, trim, convert) and properties (visibility, lock,
// transparency, position, align, name, scale, rotation, filter, style,
// text). They parse their words and call the document's object commands; a
// refused command is a failure (exit 1), malformed words bad usage (exit 2).
#include <cmath>
#include <cstdlib>
#include <map>

#include "cli/script_runner.h"
#include "cli/colours.h"
#include "editing/object_commands.h"

namespace {

using Args = CScriptRunner::Args;

ScriptResult From(const ObjectResult& r) { return r.ok ? ScriptResult::Ok() : ScriptResult::Fail(r.message); }

bool ParseReal(const std::string& text, double& v) {
  if (text.empty()) return false;
  char* end = nullptr;
  v = std::strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(v);
}

bool ParseRange(const std::string& text, long long lo, long long hi, long long& v) {
  return ParseInt(text, v) && v >= lo && v <= hi;
}

// Splits off a trailing frames=current|selected|all|I,J,.. word.
bool TakeFrames(Args& a, CFrameTargets& targets) {
  if (a.empty() || a.back().rfind("frames=", 0) != 0) return true;
  const std::string v = a.back().substr(7);
  a.pop_back();
  if (v == "current") targets.scope = CFrameTargets::CURRENT;
  else if (v == "selected") targets.scope = CFrameTargets::SELECTED;
  else if (v == "all") targets.scope = CFrameTargets::ALL;
  else {
    targets.scope = CFrameTargets::LIST;
    return ParseIndexList(v, targets.frames);
  }
  return true;
}

// "0xBBGGRR,0xBBGGRR,..": colours spread evenly from 0 to 1.
bool ParseGradient(const std::string& text, TevVecLib::CTevGradientColors& out) {
  out.RemoveAll();
  if (text == "none") return true;
  std::vector<long long> colours;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto comma = text.find(',', start);
    COLORREF c;
    if (!ParseColour(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), c))
      return false;
    colours.push_back(c);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (colours.size() < 2 || colours.size() > TevVecLib::CTevGradientColors::kMaxStops) return false;
  for (std::size_t i = 0; i < colours.size(); ++i)
    out.AddColorStop(double(i) / double(colours.size() - 1), COLORREF(colours[i]));
  return true;
}

ScriptResult SetStyle(CLoopwrightDoc& doc, const Args& a) {
  static const std::map<std::string, StyleKey> kKeys = {
      {"fill", StyleKey::FILL},
      {"outline", StyleKey::OUTLINE},
      {"outline-width", StyleKey::OUTLINE_WIDTH},
      {"dash", StyleKey::DASH},
      {"fill-inside", StyleKey::FILL_INSIDE},
      {"stroke-outline", StyleKey::STROKE_OUTLINE},
      {"fill-gradient", StyleKey::FILL_GRADIENT},
      {"outline-gradient", StyleKey::OUTLINE_GRADIENT},
      {"transparency", StyleKey::TRANSPARENCY},
      {"shadow", StyleKey::SHADOW},
  };
  static const std::map<std::string, int> kModes = {
      {"horizontal", 1}, {"vertical", 2}, {"diagonal", 3}, {"radial", 4}, {"radial-inward", 5}};
  if (a.size() < 2 || !kKeys.count(a[0])) return ScriptResult::Usage({});
  const StyleKey key = kKeys.at(a[0]);
  CStyleValue v;
  if (key == StyleKey::FILL_GRADIENT || key == StyleKey::OUTLINE_GRADIENT) {
    if (a.size() > 3 || !ParseGradient(a[1], v.gradient))
      return ScriptResult::Usage("set-style: a gradient is two or more colours 0xBBGGRR,0xBBGGRR,... (or none)");
    if (key == StyleKey::FILL_GRADIENT) {
      v.fillMode = v.gradient.Empty() ? 0 : 1;
      if (a.size() == 3) {
        if (a[2].rfind("mode=", 0) != 0 || !kModes.count(a[2].substr(5)))
          return ScriptResult::Usage("set-style: mode is horizontal, vertical, diagonal, radial or radial-inward");
        if (!v.gradient.Empty()) v.fillMode = kModes.at(a[2].substr(5));
      }
    } else if (a.size() == 3) {
      return ScriptResult::Usage({});
    }
  } else {
    long long n;
    if (a.size() != 2) return ScriptResult::Usage({});
    if (ParseInt(a[1], n)) v.number = double(n);
    else if (!ParseReal(a[1], v.number)) return ScriptResult::Usage("set-style: " + a[0] + " takes a number");
  }
  return From(SetSelectedStyle(doc, key, v));
}

}  // namespace

void AddObjectEditCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();

  r.Register("new-object", "new-object [W H] [color=0xBBGGRR]", [&doc](const Args& in) {
    Args a = in;
    long long fill = -1, w = 0, h = 0;
    if (!a.empty() && a.back().rfind("color=", 0) == 0) {
      COLORREF colour;
      if (!ParseColour(a.back().substr(6), colour)) return ScriptResult::Usage({});
      fill = colour;
      a.pop_back();
    }
    if (a.size() == 2) {
      if (!ParseRange(a[0], 1, kMaxDibDimension, w) || !ParseRange(a[1], 1, kMaxDibDimension, h))
        return ScriptResult::Usage("new-object: width and height must be 1 to " + std::to_string(kMaxDibDimension));
    } else if (!a.empty()) {
      return ScriptResult::Usage({});
    }
    return From(NewObject(doc, int(w), int(h), int(fill)));
  });

  // Commands on the selection without arguments.
  const std::pair<const char*, ObjectResult (*)(CLoopwrightDoc&)> plain[] = {
      {"duplicate-objects", DuplicateSelectedObjects}, {"delete-objects", DeleteSelectedObjects},
      {"combine-objects", CombineSelectedObjects},     {"frame-to-object", MakeFrameSingleObject},
      {"trim-objects", TrimSelectedObjects},           {"to-image", ConvertSelectedToImage},
  };
  for (const auto& [name, fn] : plain)
    r.Register(name, name, [&doc, fn](const Args& a) {
      if (!a.empty()) return ScriptResult::Usage({});
      return From(fn(doc));
    });

  r.Register("order", "order front|back|forward|backward", [&doc](const Args& a) {
    static const std::map<std::string, int> kinds = {{"front", 0}, {"back", 1}, {"forward", 2}, {"backward", 3}};
    if (a.size() != 1 || !kinds.count(a[0])) return ScriptResult::Usage({});
    return From(ReorderSelectedObjects(doc, kinds.at(a[0])));
  });

  // Per-frame flags of the selection.
  const std::pair<const char*, std::pair<bool, bool>> flags[] = {
      {"show-objects", {true, true}}, {"hide-objects", {true, false}},
      {"lock-objects", {false, true}}, {"unlock-objects", {false, false}}};
  for (const auto& [name, what] : flags) {
    const bool visibility = what.first, on = what.second;
    r.Register(name, std::string(name) + " [frames=current|selected|all|I,J,...]",
               [&doc, visibility, on](const Args& in) {
                 Args a = in;
                 CFrameTargets t;
                 if (!TakeFrames(a, t) || !a.empty()) return ScriptResult::Usage({});
                 return From(visibility ? SetSelectedVisible(doc, on, t) : SetSelectedLocked(doc, on, t));
               });
  }

  r.Register("transparency", "transparency N [frames=current|selected|all|I,J,...]", [&doc](const Args& in) {
    Args a = in;
    CFrameTargets t;
    long long n;
    if (!TakeFrames(a, t) || a.size() != 1 || !ParseRange(a[0], 0, 255, n)) return ScriptResult::Usage({});
    return From(SetSelectedTransparency(doc, int(n), t));
  });

  for (const char* name : {"move-objects", "place-objects"}) {
    const bool absolute = std::string(name) == "place-objects";
    r.Register(name, std::string(name) + (absolute ? " X Y" : " DX DY") + " [frames=current|selected|all|I,J,...]",
               [&doc, absolute](const Args& in) {
                 Args a = in;
                 CFrameTargets t;
                 long long x, y;
                 if (!TakeFrames(a, t) || a.size() != 2 || !ParseRange(a[0], -1000000000, 1000000000, x) ||
                     !ParseRange(a[1], -1000000000, 1000000000, y))
                   return ScriptResult::Usage({});
                 return From(MoveSelectedObjects(doc, int(x), int(y), absolute, t));
               });
  }

  r.Register("align", "align left|right|top|bottom|hcenter|vcenter|center [frames=...]", [&doc](const Args& in) {
    static const std::map<std::string, AlignKind> kinds = {
        {"left", AlignKind::LEFT},       {"right", AlignKind::RIGHT},     {"top", AlignKind::TOP},
        {"bottom", AlignKind::BOTTOM},   {"hcenter", AlignKind::HCENTER}, {"vcenter", AlignKind::VCENTER},
        {"center", AlignKind::CENTER}};
    Args a = in;
    CFrameTargets t;
    if (!TakeFrames(a, t) || a.size() != 1 || !kinds.count(a[0])) return ScriptResult::Usage({});
    return From(AlignSelectedObjects(doc, kinds.at(a[0]), t));
  });

  r.Register("rename-object", "rename-object I NAME", [&doc](const Args& a) {
    long long i;
    if (a.size() != 2 || !ParseRange(a[0], 0, 1000000, i)) return ScriptResult::Usage({});
    return From(RenameObject(doc, int(i), a[1]));
  });

  r.Register("scale-object", "scale-object I SX [SY]", [&doc](const Args& a) {
    long long i;
    double sx = 0, sy = 0;
    if (a.size() < 2 || a.size() > 3 || !ParseRange(a[0], 0, 1000000, i) || !ParseReal(a[1], sx) ||
        (a.size() == 3 && !ParseReal(a[2], sy)))
      return ScriptResult::Usage({});
    if (a.size() == 2) sy = sx;
    if (!(sx >= 1e-3 && sx <= 1e3 && sy >= 1e-3 && sy <= 1e3))
      return ScriptResult::Usage("scale-object: scales are 0.001 to 1000");
    return From(ScaleObject(doc, int(i), sx, sy));
  });

  r.Register("rotate-object", "rotate-object I DEG", [&doc](const Args& a) {
    long long i;
    double deg;
    if (a.size() != 2 || !ParseRange(a[0], 0, 1000000, i) || !ParseReal(a[1], deg) || deg < -360 || deg > 360)
      return ScriptResult::Usage("usage: rotate-object I DEG (-360 to 360)");
    return From(RotateObject(doc, int(i), deg));
  });

  r.Register("transform-filter", "transform-filter I N", [&doc](const Args& a) {
    long long i, n;
    if (a.size() != 2 || !ParseRange(a[0], 0, 1000000, i) || !ParseRange(a[1], 0, 9, n))
      return ScriptResult::Usage("usage: transform-filter I N (0 to 9)");
    return From(SetTransformFilter(doc, int(i), int(n)));
  });

  r.Register("edit-text", "edit-text I TEXT", [&doc](const Args& a) {
    long long i;
    if (a.size() != 2 || !ParseRange(a[0], 0, 1000000, i)) return ScriptResult::Usage({});
    return From(EditText(doc, int(i), a[1]));
  });

  r.Register("set-style", "set-style KEY VALUE (fill, outline, outline-width, dash, fill-inside, stroke-outline, "
             "fill-gradient, outline-gradient, transparency, shadow)",
             [&doc](const Args& a) { return SetStyle(doc, a); });
}
