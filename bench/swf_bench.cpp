// Flash movie export of 100-frame 640 x 480 animations, lossless and JPEG:
// "sprite" moves a small picture over a fixed gradient background (the
// differencing keeps only the changed box), "full" changes every pixel of
// every frame. Counters give the movie size and, for comparison, the size
// of the optimized GIF of the same animation.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "companions/dibkernel/dib_kernel.h"
#include "export/gif_pipeline.h"
#include "export/swf_frame_prep.h"

namespace {

constexpr int kFrames = 100, kWidth = 640, kHeight = 480;

DibPtr Gradient(int w, int h, int shift) {
  DibPtr d(CDIB32::CreateSimple32BitsDIB(w, h, 0, 255));
  for (int y = 0; y < h; ++y) {
    BYTE* row = DibRow(d.get(), y);
    for (int x = 0; x < w; ++x) {
      row[4 * x] = BYTE((x + shift) / 3);
      row[4 * x + 1] = BYTE(y / 2);
      row[4 * x + 2] = BYTE(128 + (x ^ y) / 8);
    }
  }
  return d;
}

// full: one new picture a frame; otherwise a background and a moving sprite.
void Sample(CGifImage& m, bool full) {
  m.m_nWidth = kWidth;
  m.m_nHeight = kHeight;
  const int pictures = full ? kFrames : 2;
  for (int i = 0; i < pictures; ++i)
    m.m_objects.push_back(MakeRef<CDib>(full ? Gradient(kWidth, kHeight, i * 7)
                                             : i == 0 ? Gradient(kWidth, kHeight, 0) : Gradient(48, 32, 100)));
  for (int i = 0; i < kFrames; ++i) {
    auto f = MakeRef<CGifFrame>(std::uint16_t(8));
    for (int j = 0; j < pictures; ++j) {
      auto r = MakeRef<CRefImageObject>(m.m_objects[std::size_t(j)]);
      r->m_bVisible = full ? i == j : true;
      if (!full && j == 1) {
        r->m_nX = 20 + i * 5;
        r->m_nY = 40 + (i % 20) * 12;
      }
      f->m_refs.push_back(r);
    }
    m.m_frames.push_back(f);
  }
}

long long FileSize(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  const long long n = std::ftell(f);
  std::fclose(f);
  return n;
}

void BM_SwfExport(benchmark::State& state) {
  const bool full = state.range(0) != 0, lossless = state.range(1) != 0;
  CGifImage m;
  Sample(m, full);
  const std::string path = "/tmp/lw-bench-" + std::to_string(::getpid()) + ".swf";
  CFlashSettings settings;
  settings.lossless = lossless;
  for (auto _ : state)
    if (!ExportFlashMovie(m, path, settings, nullptr)) state.SkipWithError("export failed");
  state.counters["swf_KB"] = double(FileSize(path)) / 1e3;
  std::remove(path.c_str());
  CGifOptimizeResult result;
  CGifFrameOptimizer gif(m, GifOptionsFromModel(m));
  if (gif.Run(result, nullptr)) state.counters["gif_KB"] = double(MeasureGifSize(result, m, nullptr)) / 1e3;
}

}  // namespace

BENCHMARK(BM_SwfExport)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->ArgNames({"full", "lossless"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
