#include "cli/flash_commands.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/import_dispatch.h"
#include "cli/cli_support.h"
#include "cli/command_table_cli.h"
#include "cli/console_prompt.h"
#include "cli/file_staging.h"
#include "cli/script_runner.h"
#include "export/export_dispatch.h"
#include "export/html_publish.h"
#include "export/launcher.h"
#include "companions/base/tr.h"

namespace {

std::string SaveFailed(const std::string& file, const std::string& reason) {
  return FormatMessage1(Tr("Failed to save to the file %s!"), file) + (reason.empty() ? "" : " (" + reason + ")");
}

// Opens file (a path or "-") through its staged copy; false after saying why.
bool OpenStagedInput(CLoopwrightDoc& doc, const std::string& file, CStagedInput& in) {
  std::string message;
  if (!in.Prepare(file, message)) {
    std::fprintf(stderr, "loopwright: %s: %s\n", in.Display().c_str(), message.c_str());
    return false;
  }
  if (doc.OnOpenDocument(in.Path(), &ConsoleProgress())) return true;
  if (!doc.m_strLastError.empty()) std::fprintf(stderr, "loopwright: %s\n", doc.m_strLastError.c_str());
  return false;
}

// The command table's --flash and --ruffle URL among a script's words;
// the other words are left in rest.
bool TakeTableWords(const std::string& command, const std::vector<std::string>& words, std::size_t from,
                    CFlashCliOptions& o, std::vector<std::string>& rest, std::string& message) {
  CTableValues values;
  if (!ParseTableWords(command, words, from, values, rest, message, {"output"})) return false;
  o.flash = values.Flag("flash");
  o.ruffle = values.Text("ruffle");
  return true;
}

// Script words: "flag" or "name=value".
bool SplitWord(const std::string& word, std::string& name, std::string& value) {
  const std::size_t eq = word.find('=');
  name = word.substr(0, eq);
  value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
  return !name.empty();
}

}  // namespace

bool ApplyFlashOptions(CLoopwrightDoc& doc, const CFlashCliOptions& o, const std::string& out,
                       CExportSettings& settings, std::string& error) {
  if (o.jpeg < -1 || o.jpeg > 100) {
    error = "--jpeg takes a quality from 1 to 100";
    return false;
  }
  CPreferences& prefs = doc.App().Prefs();
  settings.flash.lossless = o.jpeg == 0;
  settings.flash.quality = o.jpeg > 0 ? o.jpeg : std::clamp(int(prefs.Get("FlashJPGQuality")), 1, 100);
  settings.flash.fps = o.fps;
  settings.flash.exactTiming = o.timing == "exact";
  settings.pageShowsFlash = o.flash;
  settings.ruffleUrl = o.ruffle;
  if (UpperExtension(out) == "SWF") {
    prefs.Set("FlashEncode", settings.flash.lossless ? 1 : 0);
    if (!settings.flash.lossless) prefs.Set("FlashJPGQuality", settings.flash.quality);
  }
  return true;
}

CLI::App* AddPublishCommand(CLI::App& cli, CTableValues& values) { return AddTableCommand(cli, "publish", values); }

CLI::App* AddPreviewCommand(CLI::App& cli, CTableValues& values) { return AddTableCommand(cli, "preview", values); }

int RunPublish(CLoopwrightDoc& doc, const CTableValues& v) {
  std::string out = v.Text("output");
  if (out.empty()) out = v.Text("OUT");
  if (out.empty()) return MissingOutput("publish");
  CStagedInput in;
  if (!OpenStagedInput(doc, v.Text("IN"), in)) return 1;
  const bool flash = v.Flag("flash");
  CTempFolder temp;
  const bool toStdout = out == "-";
  if (toStdout && temp.Path().empty()) {
    std::fprintf(stderr, "loopwright: %s\n", Tr("cannot create a temporary folder"));
    return 1;
  }
  const std::string page = toStdout ? temp.Path() + "/page.htm" : out;
  std::string message;
  if (!PublishAsHtml(doc, page, flash, v.Text("ruffle"), &ConsoleProgress(), &message)) {
    std::fprintf(stderr, "loopwright: error: %s\n", message.c_str());
    return 1;
  }
  if (!toStdout) return 0;
  // The page on standard output carries its picture as a data: address.
  std::ifstream picture(PublishedNames(page, flash).output, std::ios::binary);
  std::ostringstream bytes;
  bytes << picture.rdbuf();
  if (!picture) {
    std::fprintf(stderr, "loopwright: %s\n", Tr("the output was not written"));
    return 1;
  }
  const std::string ruffle = v.Text("ruffle").empty() ? kDefaultRuffleUrl : v.Text("ruffle");
  const std::string url =
      std::string(flash ? "data:application/x-shockwave-flash;base64," : "data:image/gif;base64,") + Base64(bytes.str());
  std::cout << (flash ? PublishedMoviePage(url, doc.m_nWidth, doc.m_nHeight, ruffle)
                      : PublishedImagePage(url, doc.m_nWidth, doc.m_nHeight));
  std::cout.flush();
  return std::cout ? 0 : 1;
}

int RunPreview(CLoopwrightDoc& doc, const CTableValues& v) {
  CStagedInput in;
  if (!OpenStagedInput(doc, v.Text("IN"), in)) return 1;
  std::string message, page;
  CXdgOpenLauncher launcher;
  if (!PreviewInBrowser(doc, v.Flag("flash"), v.Text("ruffle"), launcher, &ConsoleProgress(), &message, &page)) {
    std::fprintf(stderr, "loopwright: error: %s\n", message.c_str());
    return 1;
  }
  std::printf("%s\n", page.c_str());
  return 0;
}

void AddFlashCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  r.Register("export-swf",
             "export-swf FILE [--jpeg[=QUALITY]] [--fps N] [--timing average|exact] (or the words jpeg[=QUALITY], "
             "fps=N, timing=T)",
             [&doc](const CScriptRunner::Args& a) {
               if (a.empty()) return ScriptResult::Usage({});
               CFlashCliOptions o;
               // convert's movie options from the command table, the old words after them.
               std::vector<std::string> refused, rest;
               for (const OptionRow* option : OptionsOf("convert"))
                 if (const std::string key = OptionLongName(*option); key != "jpeg" && key != "fps" && key != "timing")
                   refused.push_back(key);
               CTableValues values;
               std::string message;
               if (!ParseTableWords("convert", a, 1, values, rest, message, refused)) return ScriptResult::Usage(message);
               o.jpeg = int(values.Int("jpeg", 0));
               o.fps = int(values.Int("fps", 0));
               o.timing = values.Text("timing");
               for (const std::string& word : rest) {
                 std::string name, value;
                 long long n = 0;
                 if (!SplitWord(word, name, value)) return ScriptResult::Usage({});
                 if (name == "jpeg" && value.empty()) o.jpeg = -1;
                 else if (name == "jpeg" && ParseInt(value, n) && n >= 1 && n <= 100) o.jpeg = int(n);
                 else if (name == "fps" && ParseInt(value, n) && n >= 1 && n <= 255) o.fps = int(n);
                 else if (name == "timing" && (value == "average" || value == "exact")) o.timing = value;
                 else return ScriptResult::Usage("bad option " + word);
               }
               CExportSettings settings;
               std::string error, reason;
               if (!ApplyFlashOptions(doc, o, "movie.swf", settings, error)) return ScriptResult::Usage(error);
               if (!ExportFlashMovie(doc, a[0], settings.flash, &ConsoleProgress(), &reason))
                 return ScriptResult::Fail(SaveFailed(a[0], reason));
               return ScriptResult::Ok();
             });
  r.Register("publish", "publish PAGE.htm [--flash] [--ruffle URL] (or the words flash, ruffle=URL)",
             [&doc](const CScriptRunner::Args& a) {
    if (a.empty()) return ScriptResult::Usage({});
    CFlashCliOptions o;
    std::vector<std::string> rest;
    if (std::string message; !TakeTableWords("publish", a, 1, o, rest, message)) return ScriptResult::Usage(message);
    for (const std::string& word : rest) {
      std::string name, value;
      if (!SplitWord(word, name, value)) return ScriptResult::Usage({});
      if (name == "flash" && value.empty()) o.flash = true;
      else if (name == "ruffle" && !value.empty()) o.ruffle = value;
      else return ScriptResult::Usage("bad option " + word);
    }
    std::string message;
    if (!PublishAsHtml(doc, a[0], o.flash, o.ruffle, &ConsoleProgress(), &message)) return ScriptResult::Fail(message);
    return ScriptResult::Ok();
  });
  r.Register("preview", "preview [--flash] [--ruffle URL] (or the words flash, ruffle=URL)",
             [&doc](const CScriptRunner::Args& a) {
    CFlashCliOptions o;
    std::vector<std::string> rest;
    if (std::string message; !TakeTableWords("preview", a, 0, o, rest, message)) return ScriptResult::Usage(message);
    for (const std::string& word : rest) {
      std::string name, value;
      if (!SplitWord(word, name, value)) return ScriptResult::Usage({});
      if (name == "flash" && value.empty()) o.flash = true;
      else if (name == "ruffle" && !value.empty()) o.ruffle = value;
      else return ScriptResult::Usage("bad option " + word);
    }
    std::string message;
    CXdgOpenLauncher launcher;
    if (!PreviewInBrowser(doc, o.flash, o.ruffle, launcher, &ConsoleProgress(), &message))
      return ScriptResult::Fail(message);
    return ScriptResult::Ok();
  });
}
