// The GIF export dialog's size estimate: the optimizer and the LZW size
// measure over a 300-frame 640 x 480 animation (a moving picture over a
// still background), as the dialog's worker runs them.
#include <benchmark/benchmark.h>

#include "app/gif_image.h"
#include "export/gif_pipeline.h"

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

void BM_GifEstimate300Frames(benchmark::State& state) {
  constexpr int kW = 640, kH = 480, kFrames = 300;
  CGifImage model;
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

}  // namespace

BENCHMARK_MAIN();
