// loopwright: the command-line tool. Exit codes: 0 success, 1 a failure
// reported to the user, 2 bad usage. Messages go to stderr.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "app/frame_render.h"
#include "app/loopwright_doc.h"
#include "cli/console_prompt.h"
#include "cli/demo.h"
#include "cli/model_json.h"
#include "cli/script_runner.h"

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
  if (!picture || !WritePngPicture(picture.get(), out, &reason)) {
    std::fprintf(stderr, "loopwright: error: 保存到 %s 文件失败! %s\n", out.c_str(), reason.c_str());
    return 1;
  }
  return 0;
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
  CLI::App cli{"loopwright: animated GIF editor, command-line tool"};
  cli.require_subcommand(1);
  bool yes = true;
  cli.add_flag("--yes,!--no", yes, "answer questions with yes (default) or no");

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

  auto* demo = cli.add_subcommand("demo", "build the demo animation and write its frames as PNG");
  demo->add_option("OUTDIR", outDir, "folder for the pictures (default out)");

  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = cli.exit(e);
    return rc == 0 ? 0 : 2;
  }

  CLoopwrightApp app;
  app.InitInstance();
  CConsolePrompt prompt(yes);
  // The document starts empty: scripts begin with `new` or `open`, so the
  // first object of a run is named "Obj - 0".
  CLoopwrightDoc doc(app, prompt);

  int rc = 2;
  if (*info) rc = CmdInfo(doc, file, json);
  else if (*render) rc = CmdRender(doc, file, out, frame);
  else if (*run) rc = CmdRun(doc, script);
  else if (*demo) rc = RunDemo(doc, outDir);
  app.ExitInstance();
  return rc;
}
