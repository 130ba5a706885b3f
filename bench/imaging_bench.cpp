// Pixel library hot paths, each beside a reference in the same run:
// Stretch_Smooth against libswscale's bilinear resize of the same picture,
// and the whole-image walker with a LUT process against a plain table loop.
#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <cstring>

#include "imaging/TevImageTransform"

using namespace TevImageTransform;

namespace {

constexpr int kSrcW = 1920, kSrcH = 1080, kDstW = 1280, kDstH = 720;

// An opaque 32-bit picture with gradients and some noise.
const CTevObjImage& SourcePicture() {
  static const CTevObjImage picture = [] {
    CTevObjImage img(kSrcW, kSrcH, 32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < kSrcH; ++y) {
      BYTE* p = img.GetBits(y);
      for (int x = 0; x < kSrcW; ++x, p += 4) {
        seed = seed * 1664525u + 1013904223u;
        p[0] = BYTE(x * 255 / kSrcW);
        p[1] = BYTE(y * 255 / kSrcH);
        p[2] = BYTE(seed >> 24);
        p[3] = 255;
      }
    }
    return img;
  }();
  return picture;
}

class InvertLut : public CTevPixelLUTRoutine {
 public:
  int InitLUTtable(int v) override { return 255 - v; }
};

// The same work as InvertLut through one virtual call per pixel.
class InvertPerPixel : public CTevSinglePixelProcessBase {
 public:
  void ProcessPixel(CTevObjImage*, int, int, BYTE* p) override {
    p[0] = BYTE(255 - p[0]);
    p[1] = BYTE(255 - p[1]);
    p[2] = BYTE(255 - p[2]);
  }
};

void BM_StretchSmooth(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    CTevObjImage img(SourcePicture());
    state.ResumeTiming();
    benchmark::DoNotOptimize(img.Stretch_Smooth(kDstW, kDstH, nullptr));
    benchmark::DoNotOptimize(img.GetMemStart());
  }
  state.SetItemsProcessed(state.iterations() * kDstW * kDstH);
}
BENCHMARK(BM_StretchSmooth)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SwscaleBilinearReference(benchmark::State& state) {
  const CTevObjImage& src = SourcePicture();
  CTevObjImage dst(kDstW, kDstH, 32);
  SwsContext* ctx = sws_getContext(kSrcW, kSrcH, AV_PIX_FMT_BGRA, kDstW, kDstH, AV_PIX_FMT_BGRA, SWS_BILINEAR,
                                   nullptr, nullptr, nullptr);
  if (!ctx) {
    state.SkipWithError("sws_getContext failed");
    return;
  }
  // Top row first with a negative stride, as the DIB rows are bottom-up.
  const uint8_t* srcPlanes[1] = {src.GetBits(0)};
  const int srcStride[1] = {-src.GetPitch()};
  uint8_t* dstPlanes[1] = {dst.GetBits(0)};
  const int dstStride[1] = {-dst.GetPitch()};
  for (auto _ : state) {
    benchmark::DoNotOptimize(sws_scale(ctx, srcPlanes, srcStride, 0, kSrcH, dstPlanes, dstStride));
    benchmark::ClobberMemory();
  }
  sws_freeContext(ctx);
  state.SetItemsProcessed(state.iterations() * kDstW * kDstH);
}
BENCHMARK(BM_SwscaleBilinearReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WalkerLut(benchmark::State& state) {
  CTevObjImage img(SourcePicture());
  InvertLut lut;
  for (auto _ : state) {
    benchmark::DoNotOptimize(img.SinglePixelProcessProc(lut, nullptr));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSrcW * kSrcH);
}
BENCHMARK(BM_WalkerLut)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WalkerVirtualPerPixel(benchmark::State& state) {
  CTevObjImage img(SourcePicture());
  InvertPerPixel invert;
  for (auto _ : state) {
    benchmark::DoNotOptimize(img.SinglePixelProcessProc(invert, nullptr));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSrcW * kSrcH);
}
BENCHMARK(BM_WalkerVirtualPerPixel)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainTableLoopReference(benchmark::State& state) {
  CTevObjImage img(SourcePicture());
  BYTE table[256];
  for (int v = 0; v < 256; ++v) table[v] = BYTE(255 - v);
  const std::size_t bytes = std::size_t(img.GetPitch()) * kSrcH;
  for (auto _ : state) {
    BYTE* p = img.GetMemStart();
    for (std::size_t i = 0; i < bytes; i += 4) {
      p[i] = table[p[i]];
      p[i + 1] = table[p[i + 1]];
      p[i + 2] = table[p[i + 2]];
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSrcW * kSrcH);
}
BENCHMARK(BM_PlainTableLoopReference)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
