#include "export/size_estimate.h"

#include <algorithm>

#include "companions/base/tr.h"
#include "companions/imageio/gif_module.h"
#include "export/gif_local_tables.h"

CGifOptimizeOptions GifExportOptions(const CGifImage& model, const CExportSettings& settings) {
  CGifOptimizeOptions options = GifOptionsFromModel(model);
  if (settings.maxColors > 0) options.maxColors = std::clamp(settings.maxColors, 2, 256);
  if (settings.ditherMode >= 0) options.ditherMode = settings.ditherMode;
  if (settings.ditherParameter >= 0) options.ditherParameter = settings.ditherParameter;
  options.forbidRestorePrevious = settings.forbidRestorePrevious;
  return options;
}

long long MeasureGifExport(const CGifImage& model, const CExportSettings& settings, CGifExportMeasure& measure,
                           CTevCommonProgress* progress) {
  measure = CGifExportMeasure();
  if (model.GetFrameCount() == 0) return -1;
  const CGifOptimizeOptions options = GifExportOptions(model, settings);
  if (progress && progress->IsCancelled()) return -1;
  if (GifNeedsLocalTables(model, options, settings.globalPalette, progress)) {
    if (progress && progress->IsCancelled()) return -1;
    measure.localTables = true;
    CGifStreamSettings stream;
    stream.level = settings.gifLevel;
    stream.lossy = settings.gifLossy;
    stream.ditherMode = options.ditherMode;
    stream.ditherParameter = options.ditherParameter;
    stream.keyColour = options.keyColour;
    stream.optimizeFrames = options.optimizeFrames;
    std::vector<std::uint8_t>& bytes = measure.stream;
    auto sink = [&bytes](const std::uint8_t* data, std::size_t size) {
      bytes.insert(bytes.end(), data, data + size);
      return true;
    };
    if (!EncodeGifLocalTables(model, stream, sink, [](const std::string&) {}, progress, nullptr)) {
      bytes.clear();
      return -1;
    }
    measure.bytes = (long long)bytes.size();
    return measure.bytes;
  }
  CGifFrameOptimizer optimizer(model, options);
  if (!optimizer.Run(measure.result, progress) || (progress && progress->IsCancelled())) return -1;
  // The writer's size measure, with the encoder choice the export makes.
  if (progress) progress->SetCaption(Tr("Calculating file size..."));
  TevImageIO::CTevImageInfoPack pack;
  TevImageIO::CTevGifExportOptions gif;
  gif.flexibleLzw = settings.gifLevel >= 3;
  gif.lossy = settings.gifLossy;
  if (!FillGifPack(measure.result, model, pack, gif, false)) return -1;
  const long long bytes = TevImageIO::CCalcuGifModule::CalcuGifImgLength(pack, &gif, progress);
  if (progress && progress->IsCancelled()) return -1;
  measure.bytes = bytes;
  return bytes;
}
