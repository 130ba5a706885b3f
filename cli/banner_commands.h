// Text banners from the command line: the `banner` subcommand (a new
// animation holding only the banner, written by extension), the script
// command `banner TEXT [key=value ...]` (frames added to the open animation)
// and the demo's banner.
#pragma once

#include <CLI/CLI.hpp>

#include <map>
#include <string>

#include "app/loopwright_doc.h"

#include "cli/command_table.h"

// The subcommand's options from the command table; they become the
// script's key=value pairs.
struct CBannerCliOptions {
  CTableValues table;
};

// Adds the banner subcommand with the table's arguments and options.
CLI::App* AddBannerCommand(CLI::App& cli, CBannerCliOptions& options);
// Builds the banner animation and writes it. Exit code: 0, 1 reported
// failure, 2 bad usage.
int RunBannerCommand(CLoopwrightDoc& doc, const CBannerCliOptions& options);

// The demo: a banner over the demo's first frame written as outDir/banner.gif.
int WriteBannerDemo(CLoopwrightDoc& doc, const std::string& outDir);
