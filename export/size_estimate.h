// The size of the GIF file an export would write, without writing it: the
// same choice between one colour table and a table per frame, the same
// optimizer or stream encoder, and the LZW size measure of the writer.
#pragma once

#include <cstdint>
#include <vector>

#include "export/export_dispatch.h"
#include "export/gif_pipeline.h"

// The optimizer's options for an export of model with settings, as the GIF
// export derives them.
CGifOptimizeOptions GifExportOptions(const CGifImage& model, const CExportSettings& settings);

// What MeasureGifExport found besides the size: the optimized frames when
// the export takes one colour table, else the encoded stream itself.
struct CGifExportMeasure {
  long long bytes = -1;
  bool localTables = false;
  CGifOptimizeResult result;        // one colour table: the written frames
  std::vector<std::uint8_t> stream; // a table per frame: the file's bytes
};

// Bytes of the GIF ExportAnimationFile would write for model with settings;
// -1 on a failure or cancel (measure.bytes likewise).
long long MeasureGifExport(const CGifImage& model, const CExportSettings& settings, CGifExportMeasure& measure,
                           CTevCommonProgress* progress);
