// Flash movies and web pages from the command line: the SWF options of
// `convert`, the `publish` and `preview` subcommands, and the script
// commands `export-swf`, `publish` and `preview`.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "app/loopwright_doc.h"
#include "cli/command_table.h"

struct CExportSettings;
class CScriptRunner;

struct CFlashCliOptions {
  int jpeg = 0;         // 0: lossless; -1: JPEG at the remembered quality; 1-100: JPEG at that quality
  int fps = 0;          // 0: from the delays
  std::string timing;   // "average" (default) or "exact"
  bool flash = false;   // pages embed the movie instead of the GIF
  std::string ruffle;   // player script address for movie pages
};

// Fills the movie and page fields of settings for writing out; remembers
// the bitmap choice (and the JPEG quality) when out is a movie. False with
// error on a bad value (a usage error).
bool ApplyFlashOptions(CLoopwrightDoc& doc, const CFlashCliOptions& options, const std::string& out,
                       CExportSettings& settings, std::string& error);

// `publish IN [OUT.htm | -o OUT.htm] [--flash] [--ruffle URL]` and `preview IN
// [--flash] [--ruffle URL]`, their options from the command table. IN may
// be "-" (standard input); publish's "-" output prints a page that carries
// the picture inside it (a data: address), since no file can sit next to it.
CLI::App* AddPublishCommand(CLI::App& cli, CTableValues& values);
CLI::App* AddPreviewCommand(CLI::App& cli, CTableValues& values);
int RunPublish(CLoopwrightDoc& doc, const CTableValues& values);
int RunPreview(CLoopwrightDoc& doc, const CTableValues& values);

void AddFlashCommands(CScriptRunner& runner);
