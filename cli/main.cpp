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
#include "cli/cli_support.h"
#include "cli/colours.h"
#include "cli/command_table_cli.h"
#include "cli/convert_command.h"
#include "cli/file_staging.h"
#include "cli/info_summary.h"
#include "cli/prefs_command.h"
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

// Opens file (a path or "-") through its staged copy; an exit code on failure.
int OpenStaged(CLoopwrightDoc& doc, const std::string& file, CStagedInput& in) {
  std::string message;
  if (!in.Prepare(file, message)) {
    std::fprintf(stderr, "loopwright: %s: %s\n", in.Display().c_str(), message.c_str());
    return 1;
  }
  return OpenOrFail(doc, in.Path());
}

int CmdInfo(CLoopwrightDoc& doc, const std::string& file, bool json) {
  CStagedInput in;
  if (int rc = OpenStaged(doc, file, in)) return rc;
  if (json)
    std::cout << ModelToJson(doc).dump() << "\n";
  else
    std::cout << InfoSummary(doc, in.Display(), in.Type(), doc.m_nFileSize);
  return 0;
}

int CmdRender(CLoopwrightDoc& doc, const std::string& file, const std::string& out, int frame) {
  if (out.empty()) return MissingOutput("render");
  CStagedInput in;
  if (int rc = OpenStaged(doc, file, in)) return rc;
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
  CStagedOutput target;
  std::string message;
  if (!target.Prepare(out, "PNG", message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 2;
  }
  if (!picture || !WritePngPicture(picture.get(), target.Path(), &reason) || !target.Finish(reason)) {
    std::fprintf(stderr, "loopwright: error: %s %s\n", TrFormat("Failed to save to the file %s!", {out}).c_str(),
                 reason.c_str());
    return 1;
  }
  return 0;
}

// The project writer is the only output so far; other extensions fail cleanly.
int SaveByExtension(CLoopwrightDoc& doc, const std::string& out) {
  if (UpperExtension(out) != "LWP") {
    std::fprintf(stderr, "loopwright: error: %s (only .lwp output is supported)\n",
                 TrFormat("Failed to save to the file %s!", {out}).c_str());
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
  if (out.empty()) return MissingOutput("new");
  if (UpperExtension(out) != "LWP") {
    std::fprintf(stderr, "loopwright: error: %s (only .lwp output is supported)\n",
                 TrFormat("Failed to save to the file %s!", {out}).c_str());
    return 1;
  }
  long long colour = -1;
  COLORREF parsed = 0;
  if (!o.colour.empty() && !ParseColour(o.colour, parsed)) {
    std::fprintf(stderr, "loopwright: --color takes %s\n", kColourForms);
    return 2;
  }
  if (!o.colour.empty()) colour = parsed;
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

// `effect` with "-" for its input or output and inputs of any name.
int RunEffectStaged(const std::string& name, const std::string& file, const std::string& out, double progress,
                    const std::vector<std::string>& params) {
  if (out.empty()) return MissingOutput("effect");
  CStagedInput in;
  CStagedOutput target;
  std::string message;
  if (!in.Prepare(file, message) || !target.Prepare(out, "PNG", message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 1;
  }
  const int rc = RunEffectCommand(name, in.Path(), target.Path(), progress, params);
  if (rc == 0 && !target.Finish(message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 1;
  }
  return rc;
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
  InstallInterruptHandler();  // Ctrl-C cancels the running operation cleanly
  CLI::App cli{"loopwright: animated GIF editor, command-line tool"};
  cli.require_subcommand(1);
  cli.set_version_flag("--version", std::string("loopwright ") + LW_VERSION, "print the version and exit");
  CTableValues globals;
  AddTableOptions(cli, "", globals);
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
  info->add_option("FILE", file, "file to open (- for standard input)")->required();
  info->add_flag("--json", json, "print the model as JSON");

  auto* render = cli.add_subcommand("render", "write frame N of FILE, composed at canvas size, as an RGBA PNG");
  render->add_option("FILE", file, "file to open")->required();
  render->add_option("OUT", out, "PNG to write (- for standard output)");
  render->add_option("-o,--output", out, "PNG to write (instead of OUT)");
  render->add_option("--frame", frame, "frame index, from 0")->check(CLI::NonNegativeNumber);

  auto* run = cli.add_subcommand("run", "run editor commands from SCRIPT (- for stdin), one per line");
  run->add_option("SCRIPT", script, "script file or -")->required();

  NewOptions newOptions;
  auto* create = cli.add_subcommand("new", "create a new animation from the preferences and save it as a project");
  create->add_option("OUT", out, "project to write (.lwp)");
  create->add_option("-o,--output", out, "project to write (instead of OUT)");
  create->add_option("--width", newOptions.width, "canvas width")->check(CLI::Range(1, int(kMaxDibDimension)));
  create->add_option("--height", newOptions.height, "canvas height")->check(CLI::Range(1, int(kMaxDibDimension)));
  create->add_flag("--transparent", newOptions.transparent, "start with a transparent canvas (no object)");
  create->add_option("--color", newOptions.colour, std::string("initial colour: ") + kColourForms);

  CConvertCli convertOptions;
  auto* convert = AddConvertCommand(cli, convertOptions);

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
  effect->add_option("OUT", out, "PNG to write");
  effect->add_option("-o,--output", out, "PNG to write (instead of OUT)");
  effect->add_option("PARAMS", effectParams, "effect parameters name=value");
  effect->add_option("--progress", progress, "position in the effect, 0 to 1")->check(CLI::Range(0.0, 1.0));

  CBannerCliOptions bannerOptions;
  auto* banner = cli.add_subcommand("banner", "write a new animation of TEXT entering and leaving, by OUT's extension");
  AddBannerCliOptions(*banner, bannerOptions);

  CPrefsCliOptions prefsOptions;
  auto* prefs = AddPrefsCommand(cli, prefsOptions);
  CTableValues docValues;
  auto* completion = AddTableCommand(cli, "completion", docValues);
  auto* manual = AddTableCommand(cli, "man", docValues);
  for (CLI::App* sub : cli.get_subcommands({})) AddExamples(*sub);

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ReportParseError(cli, e, argc, argv);
  }
  if (*completion) return PrintCompletion(cli, docValues.Text("SHELL"));
  if (*manual) return std::cout << ManPage(cli), 0;
  SetConsoleQuiet(globals.Flag("quiet"));

  // A run reads the preferences and never writes them back: only `prefs`
  // changes them, so every run starts from the same defaults.
  const std::string iniPath = globals.Text("config").empty() ? CPreferences::DefaultPath() : globals.Text("config");
  const bool noConfig = globals.Flag("no-config");
  if (*prefs) return RunPrefsCommand(prefsOptions, iniPath, noConfig);
  CLoopwrightApp app;
  app.InitInstance(iniPath);
  app.m_bWritePrefsOnExit = false;
  if (noConfig) {
    app.Prefs() = CPreferences();
    SetDefaultFrameDelay(std::uint16_t(app.Pref("DefaultDelay")));
  }
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
    else if (*convert) rc = RunConvertCommand(doc, convertOptions);
    else if (*demo) rc = RunDemo(doc, outDir);
    else if (*publish) rc = RunPublish(doc, file, out, pageOptions);
    else if (*preview) rc = RunPreview(doc, file, pageOptions);
    else if (*effect) rc = RunEffectStaged(effectName, file, out, progress, effectParams);
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
  return ReportInterrupted(rc);
}
