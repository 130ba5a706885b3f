// Script commands of the editing view: pixel selections (select-rect,
// select-ellipse, select-lasso, select-wand, select-all, select-none,
// select-invert, move-selection), the view itself (tool, zoom, scroll,
// mouse, render-view) and the pixel edits inside the selection (copy, cut,
// paste, delete, crop-selection). They parse their words and call the view model; a
// refused command is a failure (exit 1), malformed words bad usage (exit 2).
#include <map>

#include "app/frame_render.h"
#include "cli/script_runner.h"
#include "tools/edit_view.h"
#include "tools/selection_actions.h"

namespace {

using Args = CScriptRunner::Args;

ScriptResult From(const std::string& command, const ObjectResult& r) {
  return r.ok ? ScriptResult::Ok() : ScriptResult::Fail(command + ": " + r.message);
}

bool ParseInt32(const std::string& text, int& v, long long lo = -0x40000000LL, long long hi = 0x40000000LL) {
  long long n;
  if (!ParseInt(text, n) || n < lo || n > hi) return false;
  v = int(n);
  return true;
}

// Trailing "add" / "subtract" words.
bool TakeMode(Args& a, SelectionMode& mode) {
  mode = SELECT_REPLACE;
  if (a.empty()) return true;
  if (a.back() == "add") mode = SELECT_ADD;
  else if (a.back() == "subtract") mode = SELECT_SUBTRACT;
  else return true;
  a.pop_back();
  return true;
}

// "X,Y" into a point.
bool ParsePoint(const std::string& text, POINT& p) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return false;
  int x, y;
  if (!ParseInt32(text.substr(0, comma), x) || !ParseInt32(text.substr(comma + 1), y)) return false;
  p = POINT{x, y};
  return true;
}

ScriptResult SelectBoxCommand(CEditPictureView& view, Args a, bool ellipse) {
  const std::string name = ellipse ? "select-ellipse" : "select-rect";
  SelectionMode mode;
  TakeMode(a, mode);
  int round = 0;
  if (!ellipse && !a.empty() && a.back().rfind("round=", 0) == 0) {
    if (!ParseInt32(a.back().substr(6), round, 0, 100)) return ScriptResult::Usage(name + ": round must be 0 to 100");
    a.pop_back();
  }
  int v[4];
  if (a.size() != 4) return ScriptResult::Usage({});
  for (int i = 0; i < 4; ++i)
    if (!ParseInt32(a[std::size_t(i)], v[i])) return ScriptResult::Usage(name + ": X Y W H must be integers");
  if (ellipse) return From(name, SelectEllipse(view, v[0], v[1], v[2], v[3], mode));
  return From(name, SelectRectangle(view, v[0], v[1], v[2], v[3], round, mode));
}

ScriptResult MouseCommand(CEditPictureView& view, const Args& a) {
  if (a.size() < 3 || a.size() > 5) return ScriptResult::Usage({});
  int x, y;
  if (!ParseInt32(a[1], x) || !ParseInt32(a[2], y)) return ScriptResult::Usage("mouse: X Y must be integers");
  unsigned flags = 0;
  for (std::size_t i = 3; i < a.size(); ++i) {
    if (a[i] == "shift") flags |= kKeyShift;
    else if (a[i] == "ctrl") flags |= kKeyCtrl;
    else return ScriptResult::Usage("mouse: unknown key " + a[i] + " (shift or ctrl)");
  }
  const POINT p{x, y};
  const std::string& what = a[0];
  // Left button messages carry the button's own flag (1) as a window sends it.
  if (what == "down") view.OnLButtonDown(flags | 1, p);
  else if (what == "move") view.OnMouseMove(flags | (view.IsLButtonDown() ? 1u : 0u), p);
  else if (what == "up") view.OnLButtonUp(flags, p);
  else if (what == "dblclick") view.OnLButtonDblClk(flags | 1, p);
  else if (what == "rdown") view.OnRButtonDown(flags | 2, p);
  else return ScriptResult::Usage("mouse: down, move, up, dblclick or rdown");
  return ScriptResult::Ok();
}

}  // namespace

void AddSelectionCommands(CScriptRunner& r) {
  CEditPictureView& view = r.View();
  r.Register("select-rect", "select-rect X Y W H [round=P] [add|subtract]",
             [&view](const Args& a) { return SelectBoxCommand(view, a, false); });
  r.Register("select-ellipse", "select-ellipse X Y W H [add|subtract]",
             [&view](const Args& a) { return SelectBoxCommand(view, a, true); });
  r.Register("select-lasso", "select-lasso X1,Y1 X2,Y2 X3,Y3 ... [add|subtract]", [&view](const Args& args) {
    Args a = args;
    SelectionMode mode;
    TakeMode(a, mode);
    if (a.size() > std::size_t(kMaxLassoPoints))
      return ScriptResult::Fail("select-lasso: at most " + std::to_string(kMaxLassoPoints) + " points");
    std::vector<POINT> points;
    points.reserve(a.size());
    for (const std::string& w : a) {
      POINT p;
      if (!ParsePoint(w, p)) return ScriptResult::Usage("select-lasso: points are X,Y (got " + w + ")");
      points.push_back(p);
    }
    return From("select-lasso", SelectLasso(view, points, mode));
  });
  r.Register("select-wand", "select-wand X Y [tolerance=P] [connected=0|1] [add|subtract]", [&view](const Args& args) {
    Args a = args;
    SelectionMode mode;
    TakeMode(a, mode);
    if (a.size() < 2) return ScriptResult::Usage({});
    int x, y;
    if (!ParseInt32(a[0], x) || !ParseInt32(a[1], y)) return ScriptResult::Usage("select-wand: X Y must be integers");
    std::map<std::string, std::string> kv;
    if (!ParseKeyValues(a, 2, kv)) return ScriptResult::Usage("select-wand: options are key=value");
    int tolerance = view.Tools().m_wand.m_nSimilarity, connected = view.Tools().m_wand.m_bConnected ? 1 : 0;
    for (const auto& [k, v] : kv) {
      if (k == "tolerance") {
        if (!ParseInt32(v, tolerance, 0, 255)) return ScriptResult::Usage("select-wand: tolerance must be 0 to 255");
      } else if (k == "connected") {
        if (!ParseInt32(v, connected, 0, 1)) return ScriptResult::Usage("select-wand: connected must be 0 or 1");
      } else {
        return ScriptResult::Usage("select-wand: unknown option " + k);
      }
    }
    return From("select-wand", SelectMagicWand(view, POINT{x, y}, tolerance, connected != 0, mode));
  });
  r.Register("select-all", "select-all", [&view](const Args& a) {
    return a.empty() ? From("select-all", SelectAll(view)) : ScriptResult::Usage({});
  });
  r.Register("select-none", "select-none", [&view](const Args& a) {
    return a.empty() ? From("select-none", SelectNone(view)) : ScriptResult::Usage({});
  });
  r.Register("select-invert", "select-invert", [&view](const Args& a) {
    return a.empty() ? From("select-invert", SelectInvert(view)) : ScriptResult::Usage({});
  });
  r.Register("move-selection", "move-selection DX DY", [&view](const Args& a) {
    int dx, dy;
    if (a.size() != 2 || !ParseInt32(a[0], dx) || !ParseInt32(a[1], dy)) return ScriptResult::Usage({});
    return From("move-selection", MoveSelection(view, dx, dy));
  });
  r.Register("copy", "copy", [&view](const Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    return From("copy", CopyToClipboard(view.Doc(), view.HasSelection() ? &view.Selection() : nullptr,
                                        view.Clipboard()));
  });
  for (const bool cut : {false, true}) {
    const std::string name = cut ? "cut" : "delete";
    r.Register(name, name, [&view, cut, name](const Args& a) {
      if (!a.empty()) return ScriptResult::Usage({});
      if (view.HasSelection()) return From(name, DeleteInSelection(view.Doc(), view.Selection(), cut, &view.Clipboard()));
      return From(name, DeleteSelectedObjectsWhole(view.Doc(), cut, &view.Clipboard()));
    });
  }
  r.Register("paste", "paste [IMAGE-FILE]", [&view](const Args& a) {
    if (a.size() > 1) return ScriptResult::Usage({});
    if (a.size() == 1) return From("paste", PasteImageFile(view.Doc(), a[0]));
    return From("paste", PasteClipboard(view.Doc(), view.Clipboard()));
  });
  r.Register("crop-selection", "crop-selection", [&view](const Args& a) {
    if (!a.empty()) return ScriptResult::Usage({});
    return From("crop-selection", CropToSelection(view.Doc(), view.Selection()));
  });
  r.Register("tool", "tool NAME (select, rect-select, ellipse-select, lasso, wand, transform, text, shape, brush, "
                     "erase, fill, pick-color, symbol, none)",
             [&view](const Args& a) {
               if (a.size() != 1) return ScriptResult::Usage({});
               const int n = a[0] == "none" ? -1 : CToolSet::NumberOfName(a[0]);
               if (n < 0 && a[0] != "none") return ScriptResult::Usage("tool: unknown tool " + a[0]);
               view.SetTool(n);
               return ScriptResult::Ok();
             });
  r.Register("zoom", "zoom Z (-16 to 32; 2 and above magnify, -2 and below reduce)", [&view](const Args& a) {
    int z;
    if (a.size() != 1 || !ParseInt32(a[0], z)) return ScriptResult::Usage({});
    if (!view.SetZoom(z)) return ScriptResult::Fail("zoom: the factor must be -16 to 32");
    return ScriptResult::Ok();
  });
  r.Register("scroll", "scroll X Y", [&view](const Args& a) {
    int x, y;
    if (a.size() != 2 || !ParseInt32(a[0], x) || !ParseInt32(a[1], y)) return ScriptResult::Usage({});
    if (!view.SetScroll(x, y)) return ScriptResult::Fail("scroll: the position cannot be negative");
    return ScriptResult::Ok();
  });
  r.Register("mouse", "mouse down|move|up|dblclick|rdown X Y [shift] [ctrl]",
             [&view](const Args& a) { return MouseCommand(view, a); });
  r.Register("render-view", "render-view OUT.png", [&view](const Args& a) {
    if (a.size() != 1) return ScriptResult::Usage({});
    DibPtr picture = view.Render();
    if (!picture) return ScriptResult::Fail("render-view: out of memory");
    std::string reason;
    if (!WritePngPicture(picture.get(), a[0], &reason)) return ScriptResult::Fail("render-view: " + reason);
    return ScriptResult::Ok();
  });
}
