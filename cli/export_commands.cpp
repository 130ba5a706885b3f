#include "cli/export_commands.h"

#include <cstdio>

#include "app/import_dispatch.h"
#include "cli/colours.h"
#include "cli/console_prompt.h"
#include "cli/frame_edits.h"
#include "cli/script_runner.h"
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

// "export FILE [--codec C] [--quality Q] [--crf N] [--sound FILE] [--background C]".
bool ParseScriptVideoOptions(const CScriptRunner::Args& a, CVideoExportOptions& video, std::string& message) {
  CConvertOptions o;
  for (std::size_t i = 1; i < a.size(); i += 2) {
    if (i + 1 >= a.size()) return message = a[i] + " needs a value", false;
    long long number = 0;
    const std::string& v = a[i + 1];
    if (a[i] == "--codec") o.codec = v;
    else if (a[i] == "--sound") o.sound = v;
    else if (a[i] == "--background") o.background = v;
    else if ((a[i] == "--quality" || a[i] == "--crf") && ParseInt(v, number) && number >= -1 && number <= 100)
      (a[i] == "--quality" ? o.quality : o.crf) = int(number);
    else return message = "unknown option or bad value: " + a[i] + " " + v, false;
  }
  return ParseVideoOptions(o, video, message);
}

// "--colors N" among the script's export words (2-256), removed from them.
bool TakeColorsWord(CScriptRunner::Args& words, int& colors, std::string& message) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i] != "--colors") continue;
    long long n = 0;
    if (i + 1 >= words.size() || !ParseInt(words[i + 1], n) || n < 2 || n > 256)
      return message = "--colors takes 2 to 256", false;
    colors = int(n);
    words.erase(words.begin() + std::ptrdiff_t(i), words.begin() + std::ptrdiff_t(i) + 2);
    return true;
  }
  return true;
}

}  // namespace

void AddConvertOptions(CLI::App& convert, CConvertOptions& o) {
  if (CLI::Option* out = convert.get_option_no_throw("OUT")) out->required(false);
  convert.add_option("--colors", o.colors, "GIF: most colours in the palette (2-256)")->check(CLI::Range(2, 256));
  convert.add_option("--dither", o.dither, "GIF: none, ordered or diffusion")
      ->check(CLI::IsMember({"none", "ordered", "diffusion", "0", "1", "2"}));
  convert.add_flag("--no-prev-disposal", o.noPrevDisposal, "GIF: never use the restore-to-previous disposal");
  convert.add_flag("--global-palette", o.globalPalette, "GIF: one colour table for all frames, reduced when needed");
  convert.add_option("--optimize", o.optimize, "GIF: 1 fast, 2 default, 3 smallest")->check(CLI::Range(1, 3));
  convert.add_option("--lossy", o.lossy, "GIF: lossy LZW, colours within N per channel may stand in (never default)")
      ->check(CLI::Range(1, 255));
  convert.add_option("--hotspot", o.hotSpot, "CUR/ANI: hot spot X,Y");
  convert.add_option("--frames", o.frames, "also write every frame as BASE<number>.EXT");
  convert.add_option("--codec", o.codec, "AVI: dib, rle or mjpeg (default)")
      ->check(CLI::IsMember({"dib", "rle", "mjpeg"}));
  convert.add_option("--quality", o.quality, "AVI MJPEG: quality 1-100 (default 90)")->check(CLI::Range(1, 100));
  convert.add_option("--crf", o.crf, "MP4/WebM: constant rate factor (H.264 0-51, VP9 0-63)")->check(CLI::Range(0, 63));
  convert.add_option("--sound", o.sound, "AVI/MP4/WebM: sound file added as a second stream");
  convert.add_option("--background", o.background, "AVI/MP4/WebM: colour behind the frames (#RRGGBB, a CSS name or 0xBBGGRR)");
  AddFlashConvertOptions(convert, o.flash);
}

int PrepareConvertExport(CLoopwrightDoc& doc, const std::string& out, const CConvertOptions& o,
                         CExportSettings& settings, std::string& base, std::string& ext) {
  settings.maxColors = o.colors;
  settings.forbidRestorePrevious = o.noPrevDisposal;
  settings.globalPalette = o.globalPalette;
  settings.gifLevel = o.optimize;
  settings.gifLossy = o.lossy;
  if (!ParseDither(o.dither, settings.ditherMode)) {
    std::fprintf(stderr, "loopwright: --dither takes none, ordered or diffusion\n");
    return 2;
  }
  std::string videoMessage;
  if (!ParseVideoOptions(o, settings.video, videoMessage)) {
    std::fprintf(stderr, "loopwright: %s\n", videoMessage.c_str());
    return 2;
  }
  POINT hot{0, 0};
  if (!o.hotSpot.empty()) {
    if (!ParseHotSpot(o.hotSpot, hot)) {
      std::fprintf(stderr, "loopwright: --hotspot takes X,Y\n");
      return 2;
    }
    settings.hotSpots.push_back(hot);
  }
  std::string flashError;
  if (!ApplyFlashOptions(doc, o.flash, out, settings, flashError)) {
    std::fprintf(stderr, "loopwright: %s\n", flashError.c_str());
    return 2;
  }
  if (!o.frames.empty() && !SplitFramesTarget(o.frames, base, ext)) {
    std::fprintf(stderr, "loopwright: --frames takes BASE.EXT\n");
    return 2;
  }
  if (out.empty() && o.frames.empty()) {
    std::fprintf(stderr, "loopwright: convert needs OUT or --frames\n");
    return 2;
  }
  return 0;
}

int WriteConvertOutputs(CLoopwrightDoc& doc, const std::string& out, const std::string& shownOut,
                        const CConvertOptions& o, const CExportSettings& settings, const std::string& base,
                        const std::string& ext) {
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
      if (UpperExtension(out) != "LWP")
        std::fprintf(stderr, "loopwright: error: %s\n", SaveFailed(shownOut, reason).c_str());
      return 1;
    }
  }
  if (!o.frames.empty()) {
    std::string failed, reason;
    if (!ExportImageFrames(doc, base, ext, &ConsoleProgress(), &failed, &reason)) {
      std::fprintf(stderr, "loopwright: error: %s\n", SaveFailed(failed, reason).c_str());
      return 1;
    }
  }
  return 0;
}

int RunConvert(CLoopwrightDoc& doc, const std::string& in, const std::string& out, const CConvertOptions& o) {
  CExportSettings settings;
  std::string base, ext;
  if (int rc = PrepareConvertExport(doc, out, o, settings, base, ext)) return rc;
  if (!doc.OnOpenDocument(in, &ConsoleProgress())) {
    if (!doc.m_strLastError.empty()) std::fprintf(stderr, "loopwright: %s\n", doc.m_strLastError.c_str());
    return 1;
  }
  return WriteConvertOutputs(doc, out, out, o, settings, base, ext);
}

void AddExportCommands(CScriptRunner& r) {
  CLoopwrightDoc& doc = r.Doc();
  r.Register("export",
             "export FILE (.gif .ico .cur .ani .psd .swf .htm; .avi .mp4 .webm [--codec dib|rle|mjpeg] [--quality Q] [--crf N] "
             "[--sound FILE] [--background 0xBBGGRR]) [--pick L] [--drop L] [--reverse] [--crop X,Y,W,H] [--resize WxH|N%] "
             "[--delay D|I-J:D] [--loop N|forever] [--colors N]",
             [&doc](const CScriptRunner::Args& a) {
    if (a.empty()) return ScriptResult::Usage({});
    CExportSettings settings;
    std::string message;
    CScriptRunner::Args words = a;
    CFrameEdits edits;
    if (!TakeFrameEditWords(words, 1, edits, message)) return ScriptResult::Usage(message);
    if (!TakeColorsWord(words, settings.maxColors, message)) return ScriptResult::Usage(message);
    if (!ParseScriptVideoOptions(words, settings.video, message)) return ScriptResult::Usage(message);
    if (!doc.CanExport()) return ScriptResult::Fail(SaveFailed(a[0], "the animation has no frames"));
    if (int rc = ApplyFrameEdits(doc, edits, message))
      return rc == 2 ? ScriptResult::Usage(message) : ScriptResult::Fail(message);
    std::string reason;
    if (!ExportDocument(doc, a[0], settings, reason)) return ScriptResult::Fail(SaveFailed(a[0], reason));
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
