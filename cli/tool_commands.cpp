// Script commands of the painting and object tools: `tool` (every tool of
// the editing view, `tool shape NAME` picks the gallery shape), `text-input`
// (what the text tool's entry confirms), `set` (a tool setting for this run
// only) and `key` (the arrow keys). Gestures themselves are `mouse` lines.
#include <array>

#include "cli/script_runner.h"
#include "tools/edit_view.h"

namespace {

using Args = CScriptRunner::Args;

// The preference keys the tools read; `set` accepts only these.
constexpr std::array<const char*, 31> kToolKeys = {
    "PaintLineWidth",   "PaintRoundCap",     "PaintBeeline",      "LineOpacity",       "PaintLineColor",
    "AllowPaintTransparence", "EraseLineWidth", "EraseRoundCap",   "EraseBeeline",      "EraseTransparence",
    "FloodSimilarity",  "FloodAdjacentArea", "FloodOpacity",      "FloodTransparence", "FloodSolidColor",
    "PaintForeColor",   "PaintBackgndColor", "HorizontalOffset",  "VerticalOffset",    "PaintShapeWidth",
    "FillInsideShape",  "ShapeOpacity",      "RoundRadius",       "FillShapeMode",     "ShapeDashStyle",
    "PreserveRatio",    "ResizeFilter",      "ResizingReference", "ReferencePos",      "HorzOffset",
    "VertOffset",
};

bool IsToolKey(const std::string& key) {
  for (const char* k : kToolKeys)
    if (key == k) return true;
  return false;
}

ScriptResult ToolCommand(CEditPictureView& view, const Args& a) {
  if (a.empty() || a.size() > 2) return ScriptResult::Usage({});
  const int n = a[0] == "none" ? -1 : CToolSet::NumberOfName(a[0]);
  if (n < 0 && a[0] != "none") return ScriptResult::Usage("tool: unknown tool " + a[0]);
  if (a.size() == 2) {
    if (n != TOOL_SHAPE) return ScriptResult::Usage("tool: only the shape tool takes a name");
    const int kind = ShapeKindOfName(a[1]);
    if (kind < 0)
      return ScriptResult::Usage("tool: unknown shape " + a[1] +
                                 " (rectangle, rounded-rectangle, ellipse, triangle, diamond, polygon, star, arrow, "
                                 "heart)");
    view.Tools().m_shape.m_nShapeKind = kind;
  }
  view.SetTool(n);
  return ScriptResult::Ok();
}

ScriptResult SetCommand(CEditPictureView& view, const Args& a) {
  if (a.size() != 2) return ScriptResult::Usage({});
  if (!IsToolKey(a[0])) return ScriptResult::Usage("set: " + a[0] + " is not a tool setting");
  long long v;
  if (!ParseInt(a[1], v)) return ScriptResult::Usage("set: the value must be an integer (0x... for colours)");
  if (v < -0x80000000LL || v > 0xFFFFFFFFLL || CPreferences::Checked(a[0], v) != std::int32_t(v))
    return ScriptResult::Usage("set: " + a[1] + " is out of range for " + a[0]);
  view.Tools().m_settings.Set(a[0], std::int32_t(v));
  return ScriptResult::Ok();
}

ScriptResult KeyCommand(CEditPictureView& view, const Args& a) {
  if (a.size() != 1) return ScriptResult::Usage({});
  int key;
  if (a[0] == "left") key = CEditPictureView::KEY_LEFT;
  else if (a[0] == "right") key = CEditPictureView::KEY_RIGHT;
  else if (a[0] == "up") key = CEditPictureView::KEY_UP;
  else if (a[0] == "down") key = CEditPictureView::KEY_DOWN;
  else return ScriptResult::Usage("key: up, down, left or right");
  // A refused move (locked objects) shows its message and records nothing.
  view.OnKeyDown(key);
  return ScriptResult::Ok();
}

}  // namespace

void AddToolCommands(CScriptRunner& r) {
  CEditPictureView& view = r.View();
  // Replaces the selection tools' `tool` with one that also knows the
  // painting and object tools' extra words.
  r.Register("tool",
             "tool NAME (select, rect-select, ellipse-select, lasso, wand, transform, text, shape [SHAPE], brush, "
             "erase|eraser, fill, pick|pick-color, symbol, none)",
             [&view](const Args& a) { return ToolCommand(view, a); });
  r.Register("text-input", "text-input \"TEXT\" (confirms the text tool's entry)", [&view](const Args& a) {
    if (a.size() != 1) return ScriptResult::Usage({});
    const ObjectResult res = view.Tools().m_text.Confirm(view.Doc(), a[0]);
    return res.ok ? ScriptResult::Ok() : ScriptResult::Fail("text-input: " + res.message);
  });
  r.Register("set", "set KEY VALUE (a tool setting such as PaintLineWidth, for this run only)",
             [&view](const Args& a) { return SetCommand(view, a); });
  r.Register("key", "key up|down|left|right", [&view](const Args& a) { return KeyCommand(view, a); });
}
