#include "export/picture_options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "companions/base/tr.h"
#include "companions/imageio/tev_image_io.h"
#include "export/export_dispatch.h"
#include "export/picture_export.h"

using namespace TevImageIO;

void ApplyPictureExportOptions(const CPictureExportOptions& choices, CTevImgExportOptions& record) {
  if (auto* png = record.As<CTevPngExportOptions>()) {
    png->compression = WORD(std::clamp(choices.pngLevel, 0, 9));
    png->interlaced = choices.pngInterlaced ? 1 : 0;
  } else if (auto* tga = record.As<CTevTgaExportOptions>()) {
    tga->rle = choices.tgaRle ? 1 : 0;
    tga->bytesPerPixel = choices.tgaAlpha ? 4 : 3;
  } else if (auto* tiff = record.As<CTevTiffExportOptions>()) {
    tiff->compression = WORD(std::clamp(choices.tiffCompression, 0, 3));
    tiff->predictor = choices.tiffPredictor ? 1 : 0;
  } else if (auto* psd = record.As<CTevPsdExportOptions>()) {
    psd->layerChannels = choices.psdLayerAlpha ? 4 : 3;
  }
}

bool ExportImageFramesWith(CLoopwrightDoc& doc, const std::string& base, const std::string& ext,
                           const CPictureExportOptions& choices, CTevCommonProgress* progress,
                           std::string* failedPath, std::string* reason) {
  std::string lower = ext;
  if (!lower.empty() && lower[0] == '.') lower.erase(0, 1);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (lower == "jpeg") lower = "jpg";
  if (lower == "tif") lower = "tiff";
  const auto& list = FrameExportExtensions();
  const auto it = std::find(list.begin(), list.end(), lower);
  const int count = doc.GetFrameCount();
  if (it == list.end() || count == 0) {
    // The plain export says why in its own words.
    return ExportImageFrames(doc, base, ext, progress, failedPath, reason);
  }
  doc.App().Prefs().Set("CurrentFilter", std::int32_t(it - list.begin()) + 1);
  std::string upper = lower;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  for (int i = 0; i < count; ++i) {
    const std::string file = FrameFileName(base, i + 1, count, lower);
    char caption[64];
    std::snprintf(caption, sizeof caption, Tr("Save frame #%d"), i + 1);
    doc.Prompt().SetStatusCaption(caption);
    CTevImageInfoPack pack;
    std::unique_ptr<CTevImgExportOptions> record;
    std::string why;
    bool ok = PrepareFramePicture(doc, *doc.GetFrame(i), upper, POINT{0, 0}, pack, record, &why);
    if (ok) {
      ApplyPictureExportOptions(choices, *record);
      pack.path = file;
      ok = SaveImage(pack, record.get(), progress) == IMAGEIO_OK;
      if (!ok) why = pack.errorText;
    }
    pack.DestroyChain();
    if (!ok) {
      if (failedPath) *failedPath = file;
      if (reason) *reason = why;
      return false;
    }
  }
  return true;
}
