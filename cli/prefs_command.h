// `loopwright prefs list|get KEY|set KEY VALUE|reset [KEY]`: the one way a
// command-line run changes the stored preferences.
#pragma once

#include <string>
#include <vector>

#include "cli/command_table.h"

namespace CLI {
class App;
}

struct CPrefsCliOptions {
  CTableValues table;  // ACTION: the action and its arguments
};

// Adds the prefs subcommand to the CLI.
CLI::App* AddPrefsCommand(CLI::App& cli, CPrefsCliOptions& options);
// Runs it on the preferences file at iniPath (none when noConfig). Returns
// the exit code (0, 1 the file could not be written, 2 bad usage or a value
// out of range).
int RunPrefsCommand(const CPrefsCliOptions& options, const std::string& iniPath, bool noConfig);

// Whether a key holds a colour (shown and taken as #RRGGBB).
bool IsColourPreference(const std::string& key);
