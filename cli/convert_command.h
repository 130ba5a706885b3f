// `loopwright convert`: one or more inputs into one animation (each input's
// frames appended in order, as add-files does), or with --batch each input
// into its own output; the one-line edits of cli/frame_edits.h in between;
// "-" for standard input and output.
#pragma once

#include <string>
#include <vector>

#include "cli/command_table_cli.h"
#include "cli/export_commands.h"

namespace CLI {
class App;
}

struct CConvertCli {
  CTableValues table;  // the command table's options of convert
};

CLI::App* AddConvertCommand(CLI::App& cli, CConvertCli& options);
// Exit code: 0, 1 a reported failure (with --batch: any input failed), 2 bad usage.
int RunConvertCommand(CLoopwrightDoc& doc, const CConvertCli& options);

// The output --batch writes for input: outDir/NAME.EXT when outDir is given,
// otherwise NAME+suffix.EXT next to the input. ext: lower-case, "" keeps the
// input's own extension.
std::string BatchOutputPath(const std::string& input, const std::string& outDir, const std::string& suffix,
                            const std::string& ext);
