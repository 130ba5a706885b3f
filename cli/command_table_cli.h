// The command table read by the CLI parser: options added from the table,
// their values kept by long name, examples as the --help footer.
#pragma once

#include <string>

#include "cli/command_table.h"

namespace CLI {
class App;
}

// Adds the table's options of command ("" the global ones) to app, bound
// to values, with their type, range and help text, and the command's
// examples as the help footer.
void AddTableOptions(CLI::App& app, const std::string& command, CTableValues& values);
// The command's examples from the table at the top of its help footer.
void AddExamples(CLI::App& app);
// A subcommand with the table's summary, options and examples.
CLI::App* AddTableCommand(CLI::App& cli, const std::string& command, CTableValues& values);

// The manual page (troff) and the completion scripts, from the parser's
// commands and options (which the table fed).
std::string ManPage(const CLI::App& cli);
// The command table as tab-separated lines: command, option, type, range,
// default, help ("-" for the global options' command).
std::string TableListing();
std::string CompletionScript(const CLI::App& cli, const std::string& shell);
