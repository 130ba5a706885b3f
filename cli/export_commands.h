// Export from the command line: the `convert` subcommand's export options
// and the script commands `export` (which takes the same options) and
// `export-frames`.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "app/loopwright_doc.h"
#include "cli/command_table.h"
#include "cli/flash_commands.h"
#include "export/export_dispatch.h"

struct CConvertOptions {
  int colors = 0;              // 0: the document's colour count
  std::string dither;          // none | ordered | diffusion (or 0, 1, 2)
  bool noPrevDisposal = false; // no frame gets restore-to-previous
  bool globalPalette = false;  // GIF: one colour table for all frames
  int optimize = 2;            // GIF: optimization level 1..3
  int lossy = 0;               // GIF: lossy LZW tolerance per channel, 0 exact
  std::string hotSpot;         // "X,Y" for cursors
  std::string frames;          // BASE.EXT: every frame as a picture
  std::string codec;           // AVI: dib | rle | mjpeg
  int quality = 90;            // AVI MJPEG (and MPEG-4) quality 1..100
  int crf = -1;                // MP4/WebM constant rate factor
  std::string sound;           // AVI/MP4/WebM: sound file added as a second stream
  std::string background;      // AVI/MP4/WebM: 0xBBGGRR behind every frame
  CFlashCliOptions flash;      // SWF and HTM options
};

// The export options of the convert command (and of the script's export)
// from the command table's values.
CConvertOptions ConvertOptionsFromTable(const CTableValues& values);
// Opens in and writes out by its extension (.lwp project or an animation
// export) and/or the frames. Exit code: 0, 1 reported failure, 2 bad usage.
int RunConvert(CLoopwrightDoc& doc, const std::string& in, const std::string& out, const CConvertOptions& options);

// The two halves of RunConvert, for the convert command's several inputs
// and edits: checks the options for out (0, or 2 with the message printed),
// then writes out and the frames (0 or 1; shownOut names out in messages).
int PrepareConvertExport(CLoopwrightDoc& doc, const std::string& out, const CConvertOptions& options,
                         CExportSettings& settings, std::string& framesBase, std::string& framesExt,
                         std::string& message);
int WriteConvertOutputs(CLoopwrightDoc& doc, const std::string& out, const std::string& shownOut,
                        const CConvertOptions& options, const CExportSettings& settings,
                        const std::string& framesBase, const std::string& framesExt, std::string& message);

class CScriptRunner;
void AddExportCommands(CScriptRunner& runner);
