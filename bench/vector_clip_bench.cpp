// The clip mechanism (path-limited copy of a picture) against a plain memcpy
// of the same picture. Run with --benchmark_counters_tabular=true; the ratio
// is each clip's time over BM_PlainMemcpy's.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>

#include "companions/base/dib.h"
#include "companions/vector/TevVectorRender.h"

using namespace TevVecLib;

namespace {
constexpr int kW = 640, kH = 480;

DibPtr Picture() {
  DibPtr d(DibAlloc(kW, kH, 32));
  std::mt19937 gen(1);
  BYTE* bits = DibBits(d.get());
  for (std::size_t i = 0; i < DibImageBytes(d.get()); ++i) bits[i] = BYTE(gen());
  return d;
}

CTevPath FullPath() {
  CTevPath p;
  p.move_to(0, 0);
  p.line_to(kW, 0);
  p.line_to(kW, kH);
  p.line_to(0, kH);
  p.ClosePolygon();
  return p;
}

CTevPath Star(int points) {
  CTevPath p;
  const double cx = kW / 2.0, cy = kH / 2.0, r1 = 400, r2 = 150;
  for (int i = 0; i < points * 2; ++i) {
    double a = i * 3.14159265358979323846 / points, r = i % 2 ? r2 : r1;
    double x = cx + r * std::cos(a), y = cy + r * std::sin(a);
    if (i == 0) p.move_to(x, y); else p.line_to(x, y);
  }
  p.ClosePolygon();
  return p;
}

void Clip(benchmark::State& state, CTevPath path) {
  DibPtr src = Picture(), dst(DibAlloc(kW, kH, 32));
  for (auto _ : state) {
    CTevRenderVectorObj r(0);
    r.AddShapePath(path, CTevTransMatrix(), nullptr);
    r.Paint32BitsDIBWithImageX(dst.get(), nullptr, src.get(), CTevTransMatrix(), 0, 1, 0, 1);
    benchmark::DoNotOptimize(DibBits(dst.get()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(DibImageBytes(src.get())));
}

void BM_PlainMemcpy(benchmark::State& state) {
  DibPtr src = Picture(), dst(DibAlloc(kW, kH, 32));
  for (auto _ : state) {
    std::memcpy(DibBits(dst.get()), DibBits(src.get()), DibImageBytes(src.get()));
    benchmark::DoNotOptimize(DibBits(dst.get()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(DibImageBytes(src.get())));
}

void BM_ClipFullPicture(benchmark::State& state) { Clip(state, FullPath()); }
void BM_ClipStar64(benchmark::State& state) { Clip(state, Star(64)); }

}  // namespace

BENCHMARK(BM_PlainMemcpy);
BENCHMARK(BM_ClipFullPicture);
BENCHMARK(BM_ClipStar64);
BENCHMARK_MAIN();
