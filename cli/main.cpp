// loopwright: the command-line tool. Exit codes: 0 success, 1 a failure
// reported to the user, 2 bad usage. Messages go to stderr.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <new>

#include "app/frame_render.h"
#include "app/import_dispatch.h"
#include "app/loopwright_doc.h"
#include "cli/banner_commands.h"
#include "cli/console_prompt.h"
#include "cli/demo.h"
#include "cli/effect_command.h"
#include "cli/export_commands.h"
#include "cli/flash_commands.h"
#include "cli/model_json.h"
#include "cli/script_runner.h"
#include "companions/imageio/codec_io.h"
#include "companions/base/tr.h"

namespace {

int OpenOrFail(CLoopwrightDoc& doc, const std::string& file) {
  if (doc.OnOpenDocument(file, &ConsoleProgress())) return 0;
  if (!doc.m_strLastError.empty()) std::fprintf(stderr, "loopwright: %s\n", doc.m_strLastError.c_str());
  return 1;
}

int CmdInfo(CLoopwrightDoc& doc, const std::string& file, bool json) {
  if (int rc = OpenOrFail(doc, file)) return rc;
  if (json)
    std::cout << ModelToJson(doc).dump() << "\n";
  else
    std::cout << file << ": " << ModelSummary(doc);
  return 0;
}

int CmdRender(CLoopwrightDoc& doc, const std::string& file, const std::string& out, int frame) {
  if (int rc = OpenOrFail(doc, file)) return rc;
  CGifFrame* f = doc.GetFrame(frame);
  if (!f) {
    std::fprintf(stderr, "loopwright: %s has no frame %d (it has %d)\n", file.c_str(), frame, doc.GetFrameCount());
    return 1;
  }
  DibPtr picture = RenderFrame(doc, *f);
  std::string reason;
  if (!picture) {
    const std::size_t bytes = DibPitch(doc.m_nWidth, 32) * std::size_t(doc.m_nHeight);
    reason = bytes > kMaxDibBytes ? "(the canvas of " + std::to_string(doc.m_nWidth) + " x " +
                                        std::to_string(doc.m_nHeight) + " is too large to render)"
                                  : "(out of memory)";
  }
  if (!picture || !WritePngPicture(picture.get(), out, &reason)) {
    std::fprintf(stderr, "loopwright: error: %s %s\n", TrFormat("Failed to save to the file %s!", {out}).c_str(), reason.c_str());
    return 1;
  }
  return 0;
}

// The project writer is the only output so far; other extensions fail cleanly.
int SaveByExtension(CLoopwrightDoc& doc, const std::string& out) {
  if (UpperExtension(out) != "LWP") {
    std::fprintf(stderr, "loopwright: error: %s (only .lwp output is supported)\n", TrFormat("Failed to save to the file %s!", {out}).c_str());
    return 1;
  }
  if (doc.OnSaveDocument(out, &ConsoleProgress())) return 0;
  if (!doc.m_strLastError.empty()) std::fprintf(stderr, "loopwright: %s\n", doc.m_strLastError.c_str());
  return 1;
}

struct NewOptions {
  int width = 0, height = 0;
  bool transparent = false;
  std::string colour;
};

// A new animation from the preferences, with the options overriding them for
// this run only (the stored preferences keep their values).
int CmdNew(CLoopwrightApp& app, CLoopwrightDoc& doc, const std::string& out, const NewOptions& o) {
  if (UpperExtension(out) != "LWP") {
    std::fprintf(stderr, "loopwright: error: %s (only .lwp output is supported)\n", TrFormat("Failed to save to the file %s!", {out}).c_str());
    return 1;
  }
  long long colour = -1;
  if (!o.colour.empty() && (!ParseInt(o.colour, colour) || colour < 0 || colour > 0xFFFFFF)) {
    std::fprintf(stderr, "loopwright: --color takes 0xBBGGRR\n");
    return 2;
  }
  CPreferences saved = app.Prefs();
  if (o.transparent) app.Prefs().Set("InitTransparent", 1);
  if (colour >= 0) app.Prefs().Set("InitColor", std::int32_t(colour));
  const bool created = doc.OnNewDocument(o.width, o.height);
  app.Prefs() = saved;
  if (!created) {
    std::fprintf(stderr, "loopwright: error: the new animation could not be created\n");
    return 1;
  }
  return SaveByExtension(doc, out);
}

int CmdRun(CLoopwrightDoc& doc, const std::string& script) {
  CScriptRunner runner(doc, std::cout);
  if (script == "-") return runner.Run(std::cin);
  std::ifstream in(script);
  if (!in) {
    std::fprintf(stderr, "loopwright: cannot read script %s\n", script.c_str());
    return 1;
  }
  return runner.Run(in);
}

}  // namespace

int main(int argc, char** argv) {
  InitMessageLanguage();  // messages in the user's language, numbers in the C format
  CLI::App cli{"loopwright: animated GIF editor, command-line tool"};
  cli.require_subcommand(1);
  bool yes = true;
  cli.add_flag("--yes,!--no", yes, "answer questions with yes (default) or no");
  bool force = false;
  cli.add_flag("--force", force, "replace files that are read-only when saving");
  std::string psdLayers;
  cli.add_option("--psd-layers", psdLayers, "open layered PSD files with their layers as objects of one frame, or as one picture (frames)")
      ->check(CLI::IsMember({"objects", "frames"}));

  std::string file, out, script, outDir = "out";
  bool json = false;
  int frame = 0;

  auto* info = cli.add_subcommand("info", "open FILE as the editor does and print the model");
  info->add_option("FILE", file, "file to open")->required();
  info->add_flag("--json", json, "print the model as JSON");

  auto* render = cli.add_subcommand("render", "write frame N of FILE, composed at canvas size, as an RGBA PNG");
  render->add_option("FILE", file, "file to open")->required();
  render->add_option("OUT", out, "PNG to write")->required();
  render->add_option("--frame", frame, "frame index, from 0")->check(CLI::NonNegativeNumber);

  auto* run = cli.add_subcommand("run", "run editor commands from SCRIPT (- for stdin), one per line");
  run->add_option("SCRIPT", script, "script file or -")->required();

  NewOptions newOptions;
  auto* create = cli.add_subcommand("new", "create a new animation from the preferences and save it as a project");
  create->add_option("OUT", out, "project to write (.lwp)")->required();
  create->add_option("--width", newOptions.width, "canvas width")->check(CLI::Range(1, int(kMaxDibDimension)));
  create->add_option("--height", newOptions.height, "canvas height")->check(CLI::Range(1, int(kMaxDibDimension)));
  create->add_flag("--transparent", newOptions.transparent, "start with a transparent canvas (no object)");
  create->add_option("--color", newOptions.colour, "initial colour 0xBBGGRR");

  auto* convert = cli.add_subcommand("convert", "open IN as the editor does and write OUT by its extension (.lwp .gif .ico .cur .ani .psd .avi .mp4 .webm .swf .htm)");
  convert->add_option("IN", file, "file to open")->required();
  convert->add_option("OUT", out, "file to write")->required();
  CConvertOptions convertOptions;
  AddConvertOptions(*convert, convertOptions);

  CFlashCliOptions pageOptions;
  auto* publish = AddPublishCommand(cli, file, out, pageOptions);
  auto* preview = AddPreviewCommand(cli, file, pageOptions);

  auto* demo = cli.add_subcommand("demo", "build the demo animation and write its frames as PNG");
  demo->add_option("OUTDIR", outDir, "folder for the pictures (default out)");

  std::string effectName;
  double progress = 1.0;
  std::vector<std::string> effectParams;
  auto* effect = cli.add_subcommand("effect", "render one picture of an effect from IN to OUT (PNG)");
  effect->footer("Effects and their parameters (name=value):\n" + EffectCommandHelp());
  effect->add_option("EFFECT", effectName, "effect name, e.g. clock-wipe")->required();
  effect->add_option("IN", file, "picture to read")->required();
  effect->add_option("OUT", out, "PNG to write")->required();
  effect->add_option("PARAMS", effectParams, "effect parameters name=value");
  effect->add_option("--progress", progress, "position in the effect, 0 to 1")->check(CLI::Range(0.0, 1.0));

  CBannerCliOptions bannerOptions;
  auto* banner = cli.add_subcommand("banner", "write a new animation of TEXT entering and leaving, by OUT's extension");
  AddBannerCliOptions(*banner, bannerOptions);

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = cli.exit(e);
    return rc == 0 ? 0 : 2;
  }

  CLoopwrightApp app;
  app.InitInstance();
  CConsolePrompt prompt(yes);
  TevImageIO::SetReplaceReadOnlyFiles(force);
  // --psd-layers answers the layered-picture question for this run only.
  const std::int32_t savedShowTip = app.Pref("ShowPSDOpenFashionTip"), savedFashion = app.Pref("PSDOpenFashion");
  if (!psdLayers.empty()) {
    app.Prefs().Set("ShowPSDOpenFashionTip", 0);
    app.Prefs().Set("PSDOpenFashion", psdLayers == "objects" ? 0 : 1);
  }
  // The document starts empty: scripts begin with `new` or `open`, so the
  // first object of a run is named "Obj - 0".
  CLoopwrightDoc doc(app, prompt);

  int rc = 2;
  // Running out of memory is reported, not aborted on: the savers write
  // through temporary files, so any target stays as it was.
  try {
    if (*info) rc = CmdInfo(doc, file, json);
    else if (*render) rc = CmdRender(doc, file, out, frame);
    else if (*run) rc = CmdRun(doc, script);
    else if (*create) rc = CmdNew(app, doc, out, newOptions);
    else if (*convert) rc = RunConvert(doc, file, out, convertOptions);
    else if (*demo) rc = RunDemo(doc, outDir);
    else if (*publish) rc = RunPublish(doc, file, out, pageOptions);
    else if (*preview) rc = RunPreview(doc, file, pageOptions);
    else if (*effect) rc = RunEffectCommand(effectName, file, out, progress, effectParams);
    else if (*banner) rc = RunBannerCommand(doc, bannerOptions);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "loopwright: error: out of memory (%s)\n", cli.get_subcommands().front()->get_name().c_str());
    rc = 1;
  }
  if (!psdLayers.empty()) {
    app.Prefs().Set("ShowPSDOpenFashionTip", savedShowTip);
    app.Prefs().Set("PSDOpenFashion", savedFashion);
  }
  app.ExitInstance();
  return rc;
}
