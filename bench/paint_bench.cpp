// The painting tools' speed goals: one brush segment of width 8 on a
// 1920 x 1080 object (goal under 1 ms) and a connected fill of a 1920 x 1080
// area (goal under 10 ms), each on the picture the tools change in place.
#include <benchmark/benchmark.h>

#include "app/dib_object.h"
#include "companions/dibkernel/dib_flood.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/paint_actions.h"

namespace {

void BM_BrushSegmentWidth8(benchmark::State& state) {
  CDib object(DibPtr(CDIB32::CreateSimple32BitsDIB(1920, 1080, RGB(255, 255, 255), 255)));
  CPenStyle pen;
  pen.width = 8;
  pen.colour = RGB(200, 0, 0);
  int i = 0;
  for (auto _ : state) {
    // A mouse-move sized segment at a different place each time.
    const LONG x = 100 + (i * 37) % 1700, y = 100 + (i * 53) % 880;
    benchmark::DoNotOptimize(PaintSegment(object, POINT{0, 0}, POINT{x, y}, POINT{x + 40, y + 25}, pen, nullptr));
    ++i;
  }
}
BENCHMARK(BM_BrushSegmentWidth8)->Unit(benchmark::kMicrosecond);

void BM_ConnectedFill1920x1080(benchmark::State& state) {
  DibPtr pic(CDIB32::CreateSimple32BitsDIB(1920, 1080, RGB(240, 240, 240), 255));
  bool even = true;
  for (auto _ : state) {
    // Alternate colours so every run fills the whole area again.
    benchmark::DoNotOptimize(DibKernel::ExtFillConnectedPixels(pic.get(), POINT{960, 540}, 81,
                                                               even ? RGB(10, 20, 30) : RGB(240, 240, 240), 0));
    even = !even;
  }
}
BENCHMARK(BM_ConnectedFill1920x1080)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
