// loopwright: the command-line tool. Exit codes: 0 success, 1 a failure
// reported to the user, 2 bad usage. Messages go to stderr.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

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

// A new animation from the preferences, with the options overriding them for
// this run only (the stored preferences keep their values). out may be "-".
int CmdNew(CLoopwrightApp& app, CLoopwrightDoc& doc, const CTableValues& v) {
  const std::string out = v.Text("output").empty() ? v.Text("OUT") : v.Text("output");
  if (out.empty()) return MissingOutput("new");
  CStagedOutput target;
  std::string message;
  if (!target.Prepare(out, "LWP", message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 2;
  }
  if (UpperExtension(target.Path()) != "LWP") {
    std::fprintf(stderr, "loopwright: error: %s (only .lwp output is supported)\n",
                 TrFormat("Failed to save to the file %s!", {out}).c_str());
    return 1;
  }
  COLORREF colour = 0;
  const std::string colourText = v.Text("color");
  if (!colourText.empty() && !ParseColour(colourText, colour)) {
    std::fprintf(stderr, "loopwright: --color takes %s\n", kColourForms);
    return 2;
  }
  CPreferences saved = app.Prefs();
  if (v.Flag("transparent")) app.Prefs().Set("InitTransparent", 1);
  if (!colourText.empty()) app.Prefs().Set("InitColor", std::int32_t(colour));
  const bool created = doc.OnNewDocument(int(v.Int("width", 0)), int(v.Int("height", 0)));
  app.Prefs() = saved;
  if (!created) {
    std::fprintf(stderr, "loopwright: error: the new animation could not be created\n");
    return 1;
  }
  if (!doc.OnSaveDocument(target.Path(), &ConsoleProgress())) {
    if (!doc.m_strLastError.empty()) std::fprintf(stderr, "loopwright: %s\n", doc.m_strLastError.c_str());
    return 1;
  }
  if (!target.Finish(message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return 1;
  }
  return 0;
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

// A command runs once and exits, allocating and freeing many pictures of the
// same few sizes (canvases, decoded frames, masks): keep freed memory for the
// next one instead of giving it back to the system and faulting it in again,
// which on some machines costs more than the work done on the pixels. Blocks
// of 16 MiB and more still get their own mapping: the colour tables indexed
// by every 24-bit colour are 32 MiB and stay sparse that way.
void KeepFreedMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  KeepFreedMemory();
  InitMessageLanguage();  // messages in the user's language, numbers in the C format
  InstallInterruptHandler();  // Ctrl-C cancels the running operation cleanly
  CLI::App cli{"loopwright: animated GIF editor, command-line tool"};
  cli.require_subcommand(1);
  cli.set_version_flag("--version", std::string("loopwright ") + LW_VERSION, FindOption("", "--version")->help);
  CTableValues globals;
  AddTableOptions(cli, "", globals);
  // Every command's arguments and options come from the command table.
  CTableValues infoValues, renderValues, runValues, newValues, demoValues, effectValues, docValues;
  CTableValues publishValues, previewValues;
  auto* info = AddTableCommand(cli, "info", infoValues);
  auto* render = AddTableCommand(cli, "render", renderValues);
  auto* run = AddTableCommand(cli, "run", runValues);
  auto* create = AddTableCommand(cli, "new", newValues);
  CConvertCli convertOptions;
  auto* convert = AddConvertCommand(cli, convertOptions);
  auto* publish = AddPublishCommand(cli, publishValues);
  auto* preview = AddPreviewCommand(cli, previewValues);
  auto* demo = AddTableCommand(cli, "demo", demoValues);
  auto* effect = AddTableCommand(cli, "effect", effectValues);
  effect->footer("Effects and their parameters (name=value):\n" + EffectCommandHelp());
  AddExamples(*effect);
  CBannerCliOptions bannerOptions;
  auto* banner = AddBannerCommand(cli, bannerOptions);
  CPrefsCliOptions prefsOptions;
  auto* prefs = AddPrefsCommand(cli, prefsOptions);
  auto* completion = AddTableCommand(cli, "completion", docValues);
  auto* manual = AddTableCommand(cli, "man", docValues);

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return ReportParseError(cli, e, argc, argv);
  }
  const std::string psdLayers = globals.Text("psd-layers");
  if (*completion) return PrintCompletion(cli, docValues.Text("SHELL"));
  if (*manual) return std::cout << (docValues.Flag("table") ? TableListing() : ManPage(cli)), 0;
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
  CConsolePrompt prompt(globals.Flag("yes"));
  TevImageIO::SetReplaceReadOnlyFiles(globals.Flag("force"));
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
    if (*info) rc = CmdInfo(doc, infoValues.Text("FILE"), infoValues.Flag("json"));
    else if (*render)
      rc = CmdRender(doc, renderValues.Text("FILE"),
                     renderValues.Text("output").empty() ? renderValues.Text("OUT") : renderValues.Text("output"),
                     int(renderValues.Int("frame", 0)));
    else if (*run) rc = CmdRun(doc, runValues.Text("SCRIPT"));
    else if (*create) rc = CmdNew(app, doc, newValues);
    else if (*convert) rc = RunConvertCommand(doc, convertOptions);
    else if (*demo)
      rc = RunDemo(doc, demoValues.Text("output").empty() ? demoValues.Text("OUTDIR") : demoValues.Text("output"));
    else if (*publish) rc = RunPublish(doc, publishValues);
    else if (*preview) rc = RunPreview(doc, previewValues);
    else if (*effect)
      rc = RunEffectStaged(effectValues.Text("EFFECT"), effectValues.Text("IN"),
                           effectValues.Text("output").empty() ? effectValues.Text("OUT") : effectValues.Text("output"),
                           effectValues.Number("progress", 1.0), effectValues.List("PARAMS"));
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
