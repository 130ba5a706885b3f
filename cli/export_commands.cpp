#include "cli/export_commands.h"

#include <cstdio>

#include "app/import_dispatch.h"
#include "cli/colours.h"
#include "cli/console_prompt.h"
#include "cli/frame_edits.h"
#include "cli/script_runner.h"
#include "cli/suggest.h"
#include "cli/text_format.h"
#include "export/color_quantizer.h"
#include "export/export_dispatch.h"
#include "companions/base/tr.h"

namespace {

bool ParseDither(const std::string& text, int& mode) {
  if (text.empty()) return true;
  if (text == "none" || text == "0") mode = DITHER_NONE;
  else if (text == "ordered" || text == "1") mode = DITHER_ORDERED;
  else if (text == "diffusion" || text == "error-diffusion" || text == "2") mode = DITHER_ERROR_DIFFUSION;
  else return false;
  return true;
}

bool ParseHotSpot(const std::string& text, POINT& at) {
  long long x = 0, y = 0;
  const std::size_t comma = text.find(',');
  if (comma == std::string::npos || !ParseInt(text.substr(0, comma), x) || !ParseInt(text.substr(comma + 1), y) ||
      x < 0 || y < 0 || x > 0xFFFF || y > 0xFFFF)
    return false;
  at = POINT{LONG(x), LONG(y)};
  return true;
}

std::string SaveFailed(const std::string& file, const std::string& reason) {
  return FormatMessage1(Tr("Failed to save to the file %s!"), file) + (reason.empty() ? "" : " (" + reason + ")");
}

// The animation export as the save-as command runs it.
bool ExportDocument(CLoopwrightDoc& doc, const std::string& path, const CExportSettings& settings, std::string& reason) {
  doc.App().Prefs().Set("ConstructGlobalPalette", 1);
  return ExportAnimationFile(doc, path, &ConsoleProgress(), settings, &reason);
}

// "BASE.EXT" split at the last dot of the file name.
bool SplitFramesTarget(const std::string& target, std::string& base, std::string& ext) {
  const std::size_t dot = target.rfind('.');
  const std::size_t slash = target.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == target.size()) return false;
  base = target.substr(0, dot);
  ext = target.substr(dot + 1);
  return true;
}

// The video options of convert and of the script's export; false with a
// message on a bad value.
bool ParseVideoOptions(const CConvertOptions& o, CVideoExportOptions& video, std::string& message) {
  if (o.codec == "dib") video.codec = AVI_CODEC_DIB;
  else if (o.codec == "rle") video.codec = AVI_CODEC_RLE;
  else if (o.codec == "mjpeg" || o.codec.empty()) video.codec = AVI_CODEC_MJPEG;
  else return message = "--codec takes dib, rle or mjpeg", false;
  if (o.quality < 1 || o.quality > 100) return message = "--quality takes 1 to 100", false;
  if (o.crf < -1 || o.crf > 63) return message = "--crf takes 0 to 63", false;
  video.quality = o.quality;
  video.crf = o.crf;
  video.soundPath = o.sound;
  if (!o.background.empty()) {
    COLORREF colour = 0;
    if (!ParseColour(o.background, colour)) return message = std::string("--background takes ") + kColourForms, false;
    video.background = colour;
  }
  return true;
}

}  // namespace

CConvertOptions ConvertOptionsFromTable(const CTableValues& v) {
  CConvertOptions o;
  o.colors = int(v.Int("colors", 0));
  o.dither = v.Text("dither");
  o.noPrevDisposal = v.Flag("no-prev-disposal");
  o.globalPalette = v.Flag("global-palette");
  o.optimize = int(v.Int("optimize", 2));
  o.lossy = int(v.Int("lossy", 0));
  o.hotSpot = v.Text("hotspot");
  o.frames = v.Text("frames");
  o.codec = v.Text("codec");
  o.quality = int(v.Int("quality", 90));
  o.crf = int(v.Int("crf", -1));
  o.sound = v.Text("sound");
  o.background = v.Text("background");
  o.flash.jpeg = int(v.Int("jpeg", 0));
  o.flash.fps = int(v.Int("fps", 0));
  o.flash.timing = v.Text("timing");
  o.flash.flash = v.Flag("flash");
  o.flash.ruffle = v.Text("ruffle");
  return o;
}

int PrepareConvertExport(CLoopwrightDoc& doc, const std::string& out, const CConvertOptions& o,
                         CExportSettings& settings, std::string& base, std::string& ext, std::string& message) {
  settings.maxColors = o.colors;
  settings.forbidRestorePrevious = o.noPrevDisposal;
  settings.globalPalette = o.globalPalette;
  settings.gifLevel = o.optimize;
  settings.gifLossy = o.lossy;
  if (!ParseDither(o.dither, settings.ditherMode)) {
    message = "--dither takes none, ordered or diffusion";
    return 2;
  }
  if (!ParseVideoOptions(o, settings.video, message)) return 2;
  POINT hot{0, 0};
  if (!o.hotSpot.empty()) {
    if (!ParseHotSpot(o.hotSpot, hot)) {
      message = "--hotspot takes X,Y";
      return 2;
    }
    settings.hotSpots.push_back(hot);
  }
  if (!ApplyFlashOptions(doc, o.flash, out, settings, message)) return 2;
  if (!o.frames.empty() && !SplitFramesTarget(o.frames, base, ext)) {
    message = "--frames takes BASE.EXT";
    return 2;
  }
  if (out.empty() && o.frames.empty()) {
    message = "convert needs OUT or --frames";
    return 2;
  }
  return 0;
}

int WriteConvertOutputs(CLoopwrightDoc& doc, const std::string& out, const std::string& shownOut,
                        const CConvertOptions& o, const CExportSettings& settings, const std::string& base,
                        const std::string& ext, std::string& message) {
  if (!out.empty()) {
    std::string reason;
    bool ok;
    if (UpperExtension(out) == "LWP") {
      ok = doc.OnSaveDocument(out, &ConsoleProgress());
      reason = doc.m_strLastError;
    } else {
      ok = ExportDocument(doc, out, settings, reason);
    }
    if (!ok) {
      // A project save has already reported its failure through the document.
      message = UpperExtension(out) != "LWP" ? "error: " + SaveFailed(shownOut, reason) : std::string();
      return 1;
    }
  }
  if (!o.frames.empty()) {
    std::string failed, reason;
    if (!ExportImageFrames(doc, base, ext, &ConsoleProgress(), &failed, &reason)) {
      message = "error: " + SaveFailed(failed, reason);
      return 1;
    }
  }
  return 0;
}

int RunConvert(CLoopwrightDoc& doc, const std::string& in, const std::string& out, const CConvertOptions& o) {
  CExportSettings settings;
  std::string base, ext;
  std::string message;
  if (int rc = PrepareConvertExport(doc, out, o, settings, base, ext, message)) {
    std::fprintf(stderr, "loopwright: %s\n", message.c_str());
    return rc;
  }
  if (!doc.OnOpenDocument(in, &ConsoleProgress())) {
    if (!doc.m_strLastError.empty()) std::fprintf(stderr, "loopwright: %s\n", doc.m_strLastError.c_str());
    return 1;
  }
  const int rc = WriteConvertOutputs(doc, out, out, o, settings, base, ext, message);
  if (rc && !message.empty()) std::fprintf(stderr, "loopwright: %s\n", message.c_str());
  return rc;
}

void AddExportCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  r.Register("export",
             "export FILE [OPTIONS]: the options of `loopwright convert` but for -o, --format, --batch and --suffix "
             "(e.g. --delay D|I-J:D --loop N|forever --resize WxH|N% --crop X,Y,W,H --reverse --pick L --drop L "
             "--colors N --dither MODE --codec C --quality Q)",
             [&doc](const CScriptRunner::Args& a) {
    if (a.empty()) return ScriptResult::Usage({});
    CTableValues values;
    SetTableDefaults("convert", values);
    std::vector<std::string> rest;
    std::string message;
    if (!ParseTableWords("convert", a, 1, values, rest, message, {"output", "format", "batch", "suffix", "FILES"}))
      return ScriptResult::Usage(message);
    if (!rest.empty()) {
      std::vector<std::string> known;
      for (const OptionRow* o : OptionsOf("convert"))
        if (!IsPositional(*o)) known.push_back("--" + OptionLongName(*o));
      return ScriptResult::Usage(Format(Tr("unknown option '%s'"), rest[0].c_str()) + DidYouMean(rest[0], known));
    }
    CFrameEdits edits = FrameEditsFromTable(values);
    if (!CheckFrameEdits(edits, message)) return ScriptResult::Usage(message);
    const CConvertOptions options = ConvertOptionsFromTable(values);
    CExportSettings settings;
    std::string base, ext;
    if (PrepareConvertExport(doc, a[0], options, settings, base, ext, message)) return ScriptResult::Usage(message);
    if (!doc.CanExport()) return ScriptResult::Fail(SaveFailed(a[0], "the animation has no frames"));
    if (int rc = ApplyFrameEdits(doc, edits, message))
      return rc == 2 ? ScriptResult::Usage(message) : ScriptResult::Fail(message);
    if (WriteConvertOutputs(doc, a[0], a[0], options, settings, base, ext, message))
      return ScriptResult::Fail(message.empty() ? SaveFailed(a[0], {}) : message);
    return ScriptResult::Ok();
  });
  r.Register("export-frames", "export-frames BASE EXT (gif jpg png psd bmp pcx tga tiff ico cur ani)",
             [&doc](const CScriptRunner::Args& a) {
               if (a.size() != 2) return ScriptResult::Usage({});
               std::string failed, reason;
               if (!ExportImageFrames(doc, a[0], a[1], &ConsoleProgress(), &failed, &reason))
                 return ScriptResult::Fail(SaveFailed(failed, reason));
               return ScriptResult::Ok();
             });
}
