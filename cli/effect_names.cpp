#include "cli/effect_names.h"

namespace {

struct EffectName {
  const char* name;        // the one name
  const char* effect;      // the `effect` command's name, null: not there
  const char* transition;  // the `transition` name, null: not there
};

// Names as the effects pane lists them; the second and third columns are
// the names the two commands used first (kept as aliases).
constexpr EffectName kNames[] = {
    {"fade", nullptr, "fade"},
    {"turn-page", "turn-page", "turn-page"},
    {"wave", "wave", "wave"},
    {"slide-roll", "side-roll", "slide-roll"},
    {"gate-3d", "gate-3d", "gate-3d"},
    {"spin-3d", "flip-3d", "spin-3d"},
    {"rotate-3d", "rotate-3d", "rotate-3d"},
    {"move-slider", nullptr, "move-slider"},
    {"rotate-rectangle", "rotate-rectangle", "rotate-rectangle"},
    {"rotate", "rotate", "rotate"},
    {"zoom", "zoom", "zoom"},
    {"quarter-slider", "quaters-slider", "quarter-slider"},
    {"glow", "light", "glow"},
    {"random-wipe", "random-wipe", "random-wipe"},
    {"line-wipe", "lines-wipe", "line-wipe"},
    {"arc-wipe", "arcs-wipe", "arc-wipe"},
    {"circle-wipe", "circles-wipe", "circle-wipe"},
    {"diamond-wipe", "diamond-wipe", "diamond-wipe"},
    {"clock-wipe", "clock-wipe", "clock-wipe"},
    {"sweep-wipe", "sweep-wipe", "sweep-wipe"},
    {"star-wipe", "star-wipe", "star-wipe"},
    {"iris-wipe", "iris-wipe", "iris-wipe"},
    {"centre-enlarge", "eye-open", "centre-enlarge"},
    {"mosaic", "mosaic", "mosaic"},
    {"direction-mosaic", "direction-sense-mosaic", "direction-mosaic"},
    {"thawing", "thawing", "thawing"},
    {"blinds", "jalousie", "blinds"},
    {"bar-slide", "bars", "bar-slide"},
    {"narrow-bars", "narrow-bars", "narrow-bars"},
    {"row-spread", "row-spread", "row-spread"},
    {"motion-blur", "motion-blur", nullptr},
    {"gray", "gray", "gray"},
    {"emboss", "emboss", "emboss"},
    {"brightness-contrast", "brightness-contrast", "brightness-contrast"},
    {"noise", "noise", "noise"},
};

const EffectName* Find(const std::string& name) {
  for (const auto& n : kNames)
    if (name == n.name || (n.effect && name == n.effect) || (n.transition && name == n.transition)) return &n;
  return nullptr;
}

}  // namespace

std::string EffectCommandName(const std::string& name) {
  const EffectName* n = Find(name);
  return n && n->effect ? n->effect : "";
}

std::string TransitionName(const std::string& name) {
  const EffectName* n = Find(name);
  return n && n->transition ? n->transition : "";
}

std::vector<std::string> AllEffectNames() {
  std::vector<std::string> out;
  for (const auto& n : kNames) {
    out.push_back(n.name);
    if (n.effect && std::string(n.effect) != n.name) out.push_back(n.effect);
  }
  return out;
}
