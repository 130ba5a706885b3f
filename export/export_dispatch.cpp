#include "export/export_dispatch.h"

#include <algorithm>
#include <cstdio>

#include "app/import_dispatch.h"
#include "companions/imageio/tev_image_io.h"
#include "export/avi_export.h"
#include "export/cursor_export.h"
#include "export/gif_local_tables.h"
#include "export/gif_pipeline.h"
#include "export/html_publish.h"
#include "export/picture_export.h"
#include "export/video_export.h"
#include "companions/base/tr.h"

using namespace TevImageIO;

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Hands a filled pack to the codec under the caption "保存 %s 到文件".
bool SavePack(CLoopwrightDoc& doc, CTevImageInfoPack& pack, const CTevImgExportOptions& options,
              const std::string& path, CTevCommonProgress* progress, std::string* reason) {
  const std::string caption = FormatMessage1(Tr("Saving %s to file"), BaseName(path));
  doc.Prompt().SetStatusCaption(caption);
  if (progress) progress->SetCaption(caption);
  pack.path = path;
  const int rc = SaveImage(pack, &options, progress);
  pack.DestroyChain();
  if (rc != IMAGEIO_OK) {
    SetReason(reason, pack.errorText);
    return false;
  }
  return true;
}

constexpr long long kMaxGifCanvasPixels = 1ll << 28;

bool ExportGif(CLoopwrightDoc& doc, const std::string& path, CTevCommonProgress* progress,
               const CExportSettings& settings, std::string* reason) {
  // Every frame is composed at canvas size: a canvas past a gigabyte a frame
  // (a 1 x 1 picture on a claimed 65535 x 65535 screen) is refused up front.
  if ((long long)doc.m_nWidth * doc.m_nHeight > kMaxGifCanvasPixels) {
    SetReason(reason, "the canvas is too large to export as GIF (" + std::to_string(doc.m_nWidth) + " x " +
                          std::to_string(doc.m_nHeight) + ")");
    return false;
  }
  CGifOptimizeOptions options = GifOptionsFromModel(doc);
  if (settings.maxColors > 0) options.maxColors = std::clamp(settings.maxColors, 2, 256);
  if (settings.ditherMode >= 0) options.ditherMode = settings.ditherMode;
  if (settings.ditherParameter >= 0) options.ditherParameter = settings.ditherParameter;
  options.forbidRestorePrevious = settings.forbidRestorePrevious;
  if (GifNeedsLocalTables(doc, options, settings.globalPalette, progress)) {
    const std::string caption = FormatMessage1(Tr("Saving %s to file"), BaseName(path));
    doc.Prompt().SetStatusCaption(caption);
    if (progress) progress->SetCaption(caption);
    CGifStreamSettings stream;
    stream.level = settings.gifLevel;
    stream.lossy = settings.gifLossy;
    stream.ditherMode = options.ditherMode;
    stream.ditherParameter = options.ditherParameter;
    stream.keyColour = options.keyColour;
    stream.optimizeFrames = options.optimizeFrames;
    auto note = [&doc](const std::string& text) { doc.Prompt().ShowMessage(text, MessageKind::Info); };
    return WriteGifLocalTables(doc, path, stream, note, progress, reason);
  }
  CGifOptimizeResult result;
  CGifFrameOptimizer optimizer(doc, options);
  if (!optimizer.Run(result, progress)) {
    SetReason(reason, progress && progress->IsCancelled() ? "cancelled" : "the frames could not be prepared");
    return false;
  }
  auto gifOptions = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_GIF);
  CTevImageInfoPack pack;
  gifOptions->As<CTevGifExportOptions>()->flexibleLzw = settings.gifLevel >= 3;
  gifOptions->As<CTevGifExportOptions>()->lossy = settings.gifLossy;
  if (!FillGifPack(result, doc, pack, *gifOptions->As<CTevGifExportOptions>(), true)) {
    SetReason(reason, "the frames could not be prepared");
    return false;
  }
  return SavePack(doc, pack, *gifOptions, path, progress, reason);
}

}  // namespace

bool ExportAnimationFile(CLoopwrightDoc& doc, const std::string& path, CTevCommonProgress* progress,
                         const CExportSettings& settings, std::string* reason) {
  if (doc.GetFrameCount() == 0) {
    SetReason(reason, "the animation has no frames");
    return false;
  }
  doc.Prompt().SetStatusCaption(TrFormat("Writing file %s", {BaseName(path)}));
  const std::string ext = UpperExtension(path);
  if (ext == "GIF") return ExportGif(doc, path, progress, settings, reason);
  if (ext == "ICO" || ext == "CUR" || ext == "ANI") {
    const int format = ext == "ICO" ? IMAGE_FORMAT_ICO : ext == "CUR" ? IMAGE_FORMAT_CUR : IMAGE_FORMAT_ANI;
    auto options = CTevImgExportOptions::NewExportOptions(format);
    CTevImageInfoPack pack;
    if (!PrepareCursorFrames(doc, format, settings.hotSpots, pack, *options, reason)) return false;
    return SavePack(doc, pack, *options, path, progress, reason);
  }
  if (ext == "PSD") {
    CGifFrame* frame = doc.GetCurrentFrame() ? doc.GetCurrentFrame() : doc.GetFrame(0);
    auto options = CTevImgExportOptions::NewExportOptions(IMAGE_FORMAT_PSD);
    CTevImageInfoPack pack;
    if (!PrepareLayeredFrame(doc, *frame, pack, reason)) return false;
    return SavePack(doc, pack, *options, path, progress, reason);
  }
  if (ext == "AVI") return ExportAviFile(doc, path, settings.video, progress, reason);
  if (ext == "MP4" || ext == "WEBM") return ExportStreamingVideo(doc, path, settings.video, progress, reason);
  if (ext == "SWF") return ExportFlashMovie(doc, path, settings.flash, progress, reason);
  if (ext == "HTM" || ext == "HTML") {
    std::string message;
    if (PublishAsHtml(doc, path, settings.pageShowsFlash, settings.ruffleUrl, progress, &message)) return true;
    SetReason(reason, message);
    return false;
  }
  SetReason(reason, "unsupported file type: " + (ext.empty() ? std::string("(none)") : ext));
  return false;
}

bool ExportFramePicture(CLoopwrightDoc& doc, const CGifFrame& frame, const std::string& path, POINT hotSpot,
                        CTevCommonProgress* progress, std::string* reason) {
  const std::string ext = UpperExtension(path);
  CTevImageInfoPack pack;
  std::unique_ptr<CTevImgExportOptions> options;
  if (!PrepareFramePicture(doc, frame, ext, hotSpot, pack, options, reason)) return false;
  return SavePack(doc, pack, *options, path, progress, reason);
}

const std::vector<std::string>& FrameExportExtensions() {
  static const std::vector<std::string> kExtensions = {"gif", "jpg", "png", "psd", "bmp", "pcx",
                                                       "tga", "tiff", "ico", "cur", "ani"};
  return kExtensions;
}

std::string FrameFileName(const std::string& base, int index, int count, const std::string& ext) {
  const int digits = int(std::to_string(std::max(count, 1)).size());
  char number[32];
  std::snprintf(number, sizeof number, "%0*d", digits, index);
  return base + number + "." + ext;
}

bool ExportImageFrames(CLoopwrightDoc& doc, const std::string& base, const std::string& ext,
                       CTevCommonProgress* progress, std::string* failedPath, std::string* reason) {
  std::string lower = ext;
  if (!lower.empty() && lower[0] == '.') lower.erase(0, 1);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  const auto& list = FrameExportExtensions();
  const auto it = std::find(list.begin(), list.end(), lower == "jpeg" ? "jpg" : lower == "tif" ? "tiff" : lower);
  if (it == list.end()) {
    SetReason(reason, "unsupported picture type: " + ext);
    if (failedPath) *failedPath = base + "." + ext;
    return false;
  }
  doc.App().Prefs().Set("CurrentFilter", std::int32_t(it - list.begin()) + 1);
  const int count = doc.GetFrameCount();
  if (count == 0) {
    SetReason(reason, "the animation has no frames");
    if (failedPath) *failedPath = base + "." + lower;
    return false;
  }
  for (int i = 0; i < count; ++i) {
    const std::string file = FrameFileName(base, i + 1, count, lower);
    char caption[64];
    std::snprintf(caption, sizeof caption, Tr("Save frame #%d"), i + 1);
    doc.Prompt().SetStatusCaption(caption);
    if (!ExportFramePicture(doc, *doc.GetFrame(i), file, POINT{0, 0}, progress, reason)) {
      if (failedPath) *failedPath = file;
      return false;
    }
  }
  return true;
}
