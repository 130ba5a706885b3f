// The GIF export dialog's size estimate: the optimizer and the LZW size
// measure over a 300-frame 640 x 480 animation (a moving picture over a
// still background), as the dialog's worker runs them.
#include <benchmark/benchmark.h>

#include "app/gif_image.h"
#include "export/gif_pipeline.h"
#include "export/size_estimate.h"

namespace {

DibPtr Background(int w, int h) {
  DibPtr dib(DibAlloc(w, h, 32));
  for (int y = 0; y < h; ++y) {
    BYTE* row = DibRow(dib.get(), y);
    for (int x = 0; x < w; ++x) {
      row[4 * x] = BYTE(x / 3);
      row[4 * x + 1] = BYTE(y / 2);
      row[4 * x + 2] = BYTE((x ^ y) & 0x3F);
      row[4 * x + 3] = 255;
    }
  }
  return dib;
}

DibPtr Sprite(int size) {
  DibPtr dib(DibAlloc(size, size, 32));
  for (int y = 0; y < size; ++y) {
    BYTE* row = DibRow(dib.get(), y);
    for (int x = 0; x < size; ++x) {
      row[4 * x] = 40;
      row[4 * x + 1] = BYTE(4 * x);
      row[4 * x + 2] = 220;
      row[4 * x + 3] = 255;
    }
  }
  return dib;
}

constexpr int kW = 640, kH = 480, kFrames = 300;

void BuildModel(CGifImage& model) {
  model.m_nWidth = kW;
  model.m_nHeight = kH;
  model.InsertObject(0, MakeRef<CDib>(Background(kW, kH)));
  model.InsertObject(1, MakeRef<CDib>(Sprite(64)));
  for (int i = 0; i < kFrames; ++i) {
    auto frame = model.CreateBlankFrame(nullptr);
    frame->m_refs.Edit(0)->m_bVisible = true;
    frame->m_refs.Edit(1)->m_bVisible = true;
    frame->m_refs.Edit(1)->m_nX = (i * 5) % (kW - 64);
    frame->m_refs.Edit(1)->m_nY = (i * 3) % (kH - 64);
    model.InsertFrame(i, frame);
  }
}

// The optimizer with one colour table, as the export takes it for at most
// 256 colours.
void BM_GifEstimate300Frames(benchmark::State& state) {
  CGifImage model;
  BuildModel(model);
  long long bytes = 0;
  for (auto _ : state) {
    CGifOptimizeResult result;
    CGifFrameOptimizer optimizer(model, GifOptionsFromModel(model));
    if (!optimizer.Run(result, nullptr)) state.SkipWithError("optimizer failed");
    bytes = MeasureGifSize(result, model, nullptr);
  }
  state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_GifEstimate300Frames)->Unit(benchmark::kMillisecond)->Iterations(1);

// What the dialog's worker runs: the export's own choice (this animation
// holds more colours than one table, so a table per frame) and its size, at
// optimization level state.range(0).
void BM_GifExportEstimate300Frames(benchmark::State& state) {
  CGifImage model;
  BuildModel(model);
  long long bytes = 0;
  bool local = false;
  CExportSettings settings;
  settings.gifLevel = int(state.range(0));
  for (auto _ : state) {
    CGifExportMeasure measure;
    bytes = MeasureGifExport(model, settings, measure, nullptr);
    local = measure.localTables;
    if (bytes < 0) state.SkipWithError("estimate failed");
  }
  state.counters["bytes"] = double(bytes);
  state.counters["local_tables"] = local ? 1 : 0;
}
BENCHMARK(BM_GifExportEstimate300Frames)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
