#include "cli/banner_commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/import_dispatch.h"
#include "cli/cli_support.h"
#include "cli/command_table_cli.h"
#include "cli/console_prompt.h"
#include "cli/file_staging.h"
#include "cli/script_runner.h"
#include "cli/colours.h"
#include "export/export_dispatch.h"
#include "generators/banner_command.h"
#include "generators/banner_generators.h"
#include "companions/base/tr.h"

namespace {

constexpr long long kMaxPosition = 1000000;

// Everything a banner run needs besides the document.
struct CBannerRequest {
  BannerSettings settings;
  CBannerTextStyle style;
  bool hasAt = false, hasRect = false;
  POINT at{0, 0};
  RECT rect{0, 0, 0, 0};
};

// "A,B,..." into exactly n integers within [lo, hi].
bool ParseIntList(const std::string& text, std::size_t n, long long lo, long long hi, long long* out) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t comma = text.find(',', start);
    if ((i + 1 < n) != (comma != std::string::npos)) return false;
    if (!ParseInt(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), out[i]) ||
        out[i] < lo || out[i] > hi)
      return false;
    start = comma + 1;
  }
  return true;
}

// A kind by name or number; "none" turns the phase off.
bool ParseKind(const std::string& text, bool& enabled, int& kind) {
  long long v;
  if (text == "none") {
    enabled = false;
    return true;
  }
  if (ParseInt(text, v) && v >= 0 && v < BANNER_KIND_COUNT) kind = int(v);
  else if ((kind = FindBannerKind(text)) < 0) return false;
  enabled = true;
  return true;
}

std::string KindNames() {
  std::string names;
  for (int k = 0; k < BANNER_KIND_COUNT; ++k) names += std::string(k ? ", " : "") + BannerKindName(k);
  return names + " (or 0-13), none";
}

// The key=value options shared by the subcommand and the script command;
// an empty string on success, else what is wrong.
std::string ParseBannerValues(const std::map<std::string, std::string>& values, CBannerRequest& r) {
  BannerSettings& s = r.settings;
  for (const auto& [key, value] : values) {
    long long v[4];
    bool ok = true;
    if (key == "enter") {
      if (!ParseKind(value, s.enterEnabled, s.enterKind)) return "unknown kind '" + value + "' (one of " + KindNames() + ")";
    } else if (key == "leave") {
      if (!ParseKind(value, s.leaveEnabled, s.leaveKind)) return "unknown kind '" + value + "' (one of " + KindNames() + ")";
    } else if (key == "enter-frames" || key == "leave-frames") {
      ok = ParseIntList(value, 1, 1, kMaxBannerFrames, v);
      (key == "enter-frames" ? s.enterFrames : s.leaveFrames) = int(v[0]);
    } else if (key == "delay") {
      ok = ParseIntList(value, 1, 0, kMaxBannerDelay, v);
      s.frameDelay = int(v[0]);
    } else if (key == "font") {
      r.style.font.family = value;
    } else if (key == "font-size") {
      char* end = nullptr;
      const double size = std::strtod(value.c_str(), &end);
      ok = !value.empty() && end && !*end && std::isfinite(size) && size >= 1 && size <= 2000;
      r.style.font.size = size;
    } else if (key == "color" || key == "outline") {
      COLORREF colour = 0;
      ok = ParseColour(value, colour);
      if (key == "color") r.style.colour = colour;
      else r.style.outline = true, r.style.outlineColour = colour;
    } else if (key == "shadow") {
      ok = ParseIntList(value, 1, 0, 9, v);
      r.style.shadowKind = int(v[0]);
    } else if (key == "rect") {
      ok = ParseIntList(value, 4, -kMaxPosition, kMaxPosition, v) && v[2] > 0 && v[3] > 0;
      r.hasRect = true;
      r.rect = RECT{LONG(v[0]), LONG(v[1]), LONG(v[0] + v[2]), LONG(v[1] + v[3])};
    } else if (key == "at") {
      ok = ParseIntList(value, 2, -kMaxPosition, kMaxPosition, v);
      r.hasAt = true;
      r.at = POINT{LONG(v[0]), LONG(v[1])};
    } else if (key == "type-from-right") {
      ok = value == "0" || value == "1";
      s.typeFromRight = value == "1";
    } else {
      return "unknown option '" + key + "'";
    }
    if (!ok) return "bad value for " + key + ": " + value;
  }
  return {};
}

// Checks the text and the phases as the banner dialog does, showing its
// messages; false when nothing can be generated.
bool CheckTextAndPhases(CLoopwrightDoc& doc, const std::string& text, const BannerSettings& s) {
  if (text.empty()) {
    doc.Prompt().ShowMessage(kBannerNoTextText, MessageKind::Error, kBannerErrorTitle);
    return false;
  }
  if (!s.enterEnabled && !s.leaveEnabled) {
    doc.Prompt().ShowMessage(kBannerNoPhaseText, MessageKind::Error, kBannerErrorTitle);
    return false;
  }
  return true;
}

RefPtr<CDib> BuildText(CLoopwrightDoc& doc, CBannerRequest& r, const std::string& text, POINT& origin) {
  r.style.text = text;
  RefPtr<CDib> object = CreateBannerTextObject(r.style, &origin);
  if (!object) doc.Prompt().ShowMessage(std::string(kBannerFailedText) + " (the text draws nothing, or is too large to draw)", MessageKind::Error, kBannerErrorTitle);
  return object;
}

// Places the text on the document's canvas and adds the frames.
bool AddBanner(CLoopwrightDoc& doc, CBannerRequest& r, RefPtr<CDib> text, POINT origin, bool replaceCurrent) {
  BannerSettings& s = r.settings;
  s.text = std::move(text);
  s.canvasWidth = doc.m_nWidth;
  s.canvasHeight = doc.m_nHeight;
  s.bannerRect = r.hasRect ? r.rect : RECT{0, 0, doc.m_nWidth, doc.m_nHeight};
  PlaceBannerText(s, r.hasAt ? &r.at : nullptr, origin);
  return AddBannerFrames(doc, s, replaceCurrent, &ConsoleProgress()) == BANNER_OK;
}

ScriptResult RunBannerScript(CLoopwrightDoc& doc, const CScriptRunner::Args& a) {
  if (a.empty()) return ScriptResult::Usage({});
  std::map<std::string, std::string> values;
  if (!ParseKeyValues(a, 1, values)) return ScriptResult::Usage("banner: options are key=value words");
  CBannerRequest r;
  r.settings = BannerSettingsFromPreferences(doc.App());
  if (std::string why = ParseBannerValues(values, r); !why.empty()) return ScriptResult::Usage("banner: " + why);
  if (doc.m_nWidth < 1 || doc.m_nHeight < 1) return ScriptResult::Fail("banner: there is no open animation");
  if (!CheckTextAndPhases(doc, a[0], r.settings)) return ScriptResult::Fail("banner: nothing was generated");
  POINT origin{0, 0};
  RefPtr<CDib> text = BuildText(doc, r, a[0], origin);
  if (!text || !AddBanner(doc, r, text, origin, false)) return ScriptResult::Fail("banner: no frames were added");
  return ScriptResult::Ok();
}

constexpr const char* kOptionKeys[] = {"enter", "leave",   "enter-frames", "leave-frames", "delay", "font",
                                       "font-size", "color", "outline",      "shadow",       "rect",  "at"};

}  // namespace

CLI::App* AddBannerCommand(CLI::App& cli, CBannerCliOptions& o) {
  CLI::App* banner = AddTableCommand(cli, "banner", o.table);
  banner->footer("Kinds for --enter and --leave: " + KindNames());
  AddExamples(*banner);
  return banner;
}

int RunBannerCommand(CLoopwrightDoc& doc, const CBannerCliOptions& cli) {
  const CTableValues& t = cli.table;
  // OUT TEXT, or TEXT alone with -o OUT.
  std::vector<std::string> args = t.List("ARGS");
  std::string out = t.Text("output");
  if (out.empty() && args.size() == 2) {
    out = args[0];
    args.erase(args.begin());
  }
  if (out.empty() && args.size() < 2) return MissingOutput("banner");
  if (args.size() != 1) {
    std::fprintf(stderr, "loopwright: banner: %s\n", Tr("give OUT TEXT, or TEXT with -o OUT"));
    return 2;
  }
  const std::string text = args[0], size = t.Text("size");
  // Options not given stay empty and are left out.
  std::map<std::string, std::string> values;
  for (const char* key : kOptionKeys)
    if (!t.Text(key).empty()) values[key] = t.Text(key);
  if (t.Flag("type-from-right")) values["type-from-right"] = "1";
  CBannerRequest r;
  r.settings = BannerSettingsFromPreferences(doc.App());
  if (std::string why = ParseBannerValues(values, r); !why.empty()) {
    std::fprintf(stderr, "loopwright: banner: %s\n", why.c_str());
    return 2;
  }
  long long wh[2] = {0, 0};
  if (!size.empty()) {
    const std::size_t x = size.find_first_of("xX");
    if (x == std::string::npos || !ParseIntList(size.substr(0, x), 1, 1, 4000, &wh[0]) ||
        !ParseIntList(size.substr(x + 1), 1, 1, 4000, &wh[1])) {
      std::fprintf(stderr, "loopwright: banner: --size takes WxH, each 1 to 4000\n");
      return 2;
    }
  }
  CStagedOutput target;
  std::string message;
  if (!target.Prepare(out, t.Text("format"), message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 2;
  }
  if (!CheckTextAndPhases(doc, text, r.settings)) return 1;
  POINT origin{0, 0};
  RefPtr<CDib> picture = BuildText(doc, r, text, origin);
  if (!picture) return 1;
  const int w = size.empty() ? int(std::min<long long>(4000, DibWidth(picture->GetImage()) + 32)) : int(wh[0]);
  const int h = size.empty() ? int(std::min<long long>(4000, DibHeight(picture->GetImage()) + 32)) : int(wh[1]);
  if (!doc.OnNewDocument(w, h)) {
    std::fprintf(stderr, "loopwright: banner: the animation could not be created\n");
    return 1;
  }
  // The new animation's blank frame gives the background and makes way for the banner.
  if (!AddBanner(doc, r, picture, origin, true)) return 1;
  std::string reason;
  bool ok;
  if (UpperExtension(target.Path()) == "LWP") {
    ok = doc.OnSaveDocument(target.Path(), &ConsoleProgress());
    reason = doc.m_strLastError;
  } else {
    doc.App().Prefs().Set("ConstructGlobalPalette", 1);
    ok = ExportAnimationFile(doc, target.Path(), &ConsoleProgress(), {}, &reason);
  }
  if (ok && !target.Finish(reason)) ok = false;
  if (!ok) {
    std::fprintf(stderr, "loopwright: error: %s%s\n", FormatMessage1(Tr("Failed to save to the file %s!"), out).c_str(),
                 reason.empty() ? "" : (" (" + reason + ")").c_str());
    return 1;
  }
  return 0;
}

void AddBannerCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  r.Register("banner",
             "banner TEXT [enter=KIND] [leave=KIND] [enter-frames=N] [leave-frames=N] [delay=D] [font=NAME] "
             "[font-size=N] [color=0xBBGGRR] [outline=0xBBGGRR] [shadow=K] [rect=X,Y,W,H] [at=X,Y] "
             "[type-from-right=1]",
             [&doc](const CScriptRunner::Args& a) { return RunBannerScript(doc, a); });
}

int WriteBannerDemo(CLoopwrightDoc& doc, const std::string& outDir) {
  if (!doc.OnNewDocument(240, 80)) return 1;
  CBannerRequest r;
  r.settings = BannerSettingsFromPreferences(doc.App());
  r.settings.enterEnabled = r.settings.leaveEnabled = true;
  r.settings.enterKind = BANNER_SPIN_GROW;
  r.settings.leaveKind = BANNER_MERGE_HORIZONTAL;
  r.settings.enterFrames = 12;
  r.settings.leaveFrames = 10;
  r.settings.frameDelay = 6;
  r.style.font.size = 36;
  r.style.font.bold = true;
  r.style.colour = RGB(230, 60, 40);
  r.style.outline = true;
  r.style.outlineColour = RGB(40, 20, 10);
  r.style.outlineWidth = 1.5;
  r.style.shadowKind = 4;
  POINT origin{0, 0};
  RefPtr<CDib> text = BuildText(doc, r, "Loopwright", origin);
  if (!text || !AddBanner(doc, r, text, origin, true)) return 1;
  // The last enter frame holds the text at rest a little longer.
  doc.GetFrame(r.settings.enterFrames - 1)->m_nDelay = 80;
  const std::string gif = (std::filesystem::path(outDir) / "banner.gif").string();
  std::string why;
  if (!ExportAnimationFile(doc, gif, nullptr, {}, &why)) {
    std::fprintf(stderr, "loopwright: %s %s\n", TrFormat("Failed to save to the file %s!", {gif}).c_str(), why.c_str());
    return 1;
  }
  std::printf("wrote %s (%d frames, spin-grow in, merge-horizontal out)\n", gif.c_str(), doc.GetFrameCount());
  return 0;
}
