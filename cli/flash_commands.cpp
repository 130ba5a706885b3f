#include "cli/flash_commands.h"

#include <cstdio>

#include "app/import_dispatch.h"
#include "cli/console_prompt.h"
#include "cli/script_runner.h"
#include "export/export_dispatch.h"
#include "export/html_publish.h"
#include "export/launcher.h"
#include "companions/base/tr.h"

namespace {

std::string SaveFailed(const std::string& file, const std::string& reason) {
  return FormatMessage1(Tr("Failed to save to the file %s!"), file) + (reason.empty() ? "" : " (" + reason + ")");
}

bool OpenInput(CLoopwrightDoc& doc, const std::string& in) {
  if (doc.OnOpenDocument(in, &ConsoleProgress())) return true;
  if (!doc.m_strLastError.empty()) std::fprintf(stderr, "loopwright: %s\n", doc.m_strLastError.c_str());
  return false;
}

// Script words: "flag" or "name=value".
bool SplitWord(const std::string& word, std::string& name, std::string& value) {
  const std::size_t eq = word.find('=');
  name = word.substr(0, eq);
  value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
  return !name.empty();
}

}  // namespace

void AddFlashConvertOptions(CLI::App& convert, CFlashCliOptions& o) {
  convert.add_flag("--jpeg{-1}", o.jpeg, "SWF: JPEG bitmaps, at QUALITY (1-100) when given as --jpeg=QUALITY");
  convert.add_option("--fps", o.fps, "SWF: frames per second (1-255; default from the delays)")
      ->check(CLI::Range(1, 255));
  convert.add_option("--timing", o.timing, "SWF: average (one rate from the mean delay) or exact (frames repeated)")
      ->check(CLI::IsMember({"average", "exact"}));
  convert.add_flag("--flash", o.flash, "HTM: the page embeds a Flash movie instead of the GIF");
  convert.add_option("--ruffle", o.ruffle, "HTM with --flash: address of the Ruffle player script");
}

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

CLI::App* AddPublishCommand(CLI::App& cli, std::string& in, std::string& out, CFlashCliOptions& o) {
  auto* publish = cli.add_subcommand("publish", "write OUT.htm and the GIF (or Flash movie) it shows next to it");
  publish->add_option("IN", in, "file to open")->required();
  publish->add_option("OUT", out, "page to write (.htm)")->required();
  publish->add_flag("--flash", o.flash, "embed a Flash movie (played by Ruffle) instead of the GIF");
  publish->add_option("--ruffle", o.ruffle, "address of the Ruffle player script");
  return publish;
}

CLI::App* AddPreviewCommand(CLI::App& cli, std::string& in, CFlashCliOptions& o) {
  auto* preview = cli.add_subcommand("preview", "write IN as a GIF (or Flash) page in a private temporary folder and open it");
  preview->add_option("IN", in, "file to open")->required();
  preview->add_flag("--flash", o.flash, "preview the Flash movie instead of the GIF");
  preview->add_option("--ruffle", o.ruffle, "address of the Ruffle player script");
  return preview;
}

int RunPublish(CLoopwrightDoc& doc, const std::string& in, const std::string& out, const CFlashCliOptions& o) {
  if (!OpenInput(doc, in)) return 1;
  std::string message;
  if (!PublishAsHtml(doc, out, o.flash, o.ruffle, &ConsoleProgress(), &message)) {
    std::fprintf(stderr, "loopwright: error: %s\n", message.c_str());
    return 1;
  }
  return 0;
}

int RunPreview(CLoopwrightDoc& doc, const std::string& in, const CFlashCliOptions& o) {
  if (!OpenInput(doc, in)) return 1;
  std::string message, page;
  CXdgOpenLauncher launcher;
  if (!PreviewInBrowser(doc, o.flash, o.ruffle, launcher, &ConsoleProgress(), &message, &page)) {
    std::fprintf(stderr, "loopwright: error: %s\n", message.c_str());
    return 1;
  }
  std::printf("%s\n", page.c_str());
  return 0;
}

void AddFlashCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  r.Register("export-swf", "export-swf FILE [jpeg[=QUALITY]] [fps=N] [timing=average|exact]",
             [&doc](const CScriptRunner::Args& a) {
               if (a.empty()) return ScriptResult::Usage({});
               CFlashCliOptions o;
               for (std::size_t i = 1; i < a.size(); ++i) {
                 std::string name, value;
                 long long n = 0;
                 if (!SplitWord(a[i], name, value)) return ScriptResult::Usage({});
                 if (name == "jpeg" && value.empty()) o.jpeg = -1;
                 else if (name == "jpeg" && ParseInt(value, n) && n >= 1 && n <= 100) o.jpeg = int(n);
                 else if (name == "fps" && ParseInt(value, n) && n >= 1 && n <= 255) o.fps = int(n);
                 else if (name == "timing" && (value == "average" || value == "exact")) o.timing = value;
                 else return ScriptResult::Usage("bad option " + a[i]);
               }
               CExportSettings settings;
               std::string error, reason;
               if (!ApplyFlashOptions(doc, o, "movie.swf", settings, error)) return ScriptResult::Usage(error);
               if (!ExportFlashMovie(doc, a[0], settings.flash, &ConsoleProgress(), &reason))
                 return ScriptResult::Fail(SaveFailed(a[0], reason));
               return ScriptResult::Ok();
             });
  r.Register("publish", "publish PAGE.htm [flash] [ruffle=URL]", [&doc](const CScriptRunner::Args& a) {
    if (a.empty()) return ScriptResult::Usage({});
    CFlashCliOptions o;
    for (std::size_t i = 1; i < a.size(); ++i) {
      std::string name, value;
      if (!SplitWord(a[i], name, value)) return ScriptResult::Usage({});
      if (name == "flash" && value.empty()) o.flash = true;
      else if (name == "ruffle" && !value.empty()) o.ruffle = value;
      else return ScriptResult::Usage("bad option " + a[i]);
    }
    std::string message;
    if (!PublishAsHtml(doc, a[0], o.flash, o.ruffle, &ConsoleProgress(), &message)) return ScriptResult::Fail(message);
    return ScriptResult::Ok();
  });
  r.Register("preview", "preview [flash] [ruffle=URL]", [&doc](const CScriptRunner::Args& a) {
    CFlashCliOptions o;
    for (const std::string& word : a) {
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
