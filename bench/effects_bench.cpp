// Every effect of the effect library at five progress values over a 640 x 480
// picture, with a memcpy of the picture as the reference in the same run.
// Goal: every effect under 20 x memcpy per frame on average.
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <memory>

#include "companions/base/dib.h"
#include "effects/TevImgEffect.h"

using namespace TevImgEffectLib;

namespace {

constexpr int kW = 640, kH = 480;
constexpr double kProgress[5] = {0.0, 0.25, 0.5, 0.75, 1.0};

DibPtr Picture() {
  DibPtr d(DibAlloc(kW, kH, 32));
  for (int y = 0; y < kH; ++y) {
    BYTE* p = DibRow(d.get(), y);
    for (int x = 0; x < kW; ++x, p += 4) p[0] = BYTE(x), p[1] = BYTE(y), p[2] = BYTE(x ^ y), p[3] = 255;
  }
  return d;
}

void BM_Memcpy(benchmark::State& state) {
  DibPtr src = Picture(), dst(DibAlloc(kW, kH, 32));
  for (auto _ : state) {
    std::memcpy(DibBits(dst.get()), DibBits(src.get()), DibImageBytes(src.get()));
    benchmark::DoNotOptimize(DibBits(dst.get()));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Memcpy);

// One iteration renders the five progress values; the reported time is per
// frame. copySource: dst starts as a copy of src (in-place effects).
void RunEffect(benchmark::State& state, const std::function<std::unique_ptr<CGeneralEffect>()>& make,
               bool copySource) {
  DibPtr src = Picture(), dst(DibAlloc(kW, kH, 32));
  auto effect = make();
  for (auto _ : state) {
    for (double t : kProgress) {
      if (copySource) std::memcpy(DibBits(dst.get()), DibBits(src.get()), DibImageBytes(src.get()));
      else std::memset(DibBits(dst.get()), 0, DibImageBytes(dst.get()));
      effect->DoRender(dst.get(), src.get(), t);
      benchmark::DoNotOptimize(DibBits(dst.get()));
    }
  }
  state.SetItemsProcessed(state.iterations() * 5);
}

#define EFFECT_BENCH(name, copy, expr) \
  BENCHMARK_CAPTURE(RunEffect, name, [] { return std::unique_ptr<CGeneralEffect>(expr); }, copy)

EFFECT_BENCH(clock_wipe, false, new CClockWipeEffect(true, 1, 1));
EFFECT_BENCH(star_wipe, false, new CStarWipeEffect());
EFFECT_BENCH(iris_wipe, false, new CIrisWipeEffect());
EFFECT_BENCH(lines_wipe, false, new CLinesWipeEffect(45, 1));
EFFECT_BENCH(arcs_wipe, false, new CArcsWipeEffect(4));
EFFECT_BENCH(circles_wipe, false, new CCirclesWipeEffect(4));
EFFECT_BENCH(diamond_wipe, false, new CDiamondWipeEffect(4));
EFFECT_BENCH(rotate_rectangle, false, new CRotateRectangleEffect(true));
EFFECT_BENCH(eye_open, false, new CEyeOpenEffect());
EFFECT_BENCH(sweep_wipe, false, new CSweepWipeEffect(270));
EFFECT_BENCH(random_wipe, false, new CRandomWipeEffect());
EFFECT_BENCH(turn_page, false, new CTurnPageEffect());
EFFECT_BENCH(gate_3d, false, new CGate3DEffect(0));
EFFECT_BENCH(flip_3d, false, new CFlip3DEffect(true, false));
EFFECT_BENCH(rotate_3d, false, new CRotate3DEffect(0));
EFFECT_BENCH(side_roll, false, new CSideRollEffect(0, 0.1));
EFFECT_BENCH(bars, false, new CBarsEffect(true, 0.05));
EFFECT_BENCH(narrow_bars, false, new CNarrowBarsEffect(0));
EFFECT_BENCH(jalousie, false, new CJalousieEffect(true, 0.1));
EFFECT_BENCH(row_spread, false, new CRowSpreadEffect(0, 0.05));
EFFECT_BENCH(quaters_slider, false, new CQuatersSliderEffect());
EFFECT_BENCH(rotate, false, new CRotateEffect(3));
EFFECT_BENCH(mosaic, false, new CMosaicEffect(10));
EFFECT_BENCH(direction_sense_mosaic, false, new CDirectionSenseMosaicEffect(10, 0));
EFFECT_BENCH(thawing, false, new CThawingEffect(40));
EFFECT_BENCH(wave, false, new CWaveEffect(30));
EFFECT_BENCH(light, true, new CLightEffect(135, 3, 10));
EFFECT_BENCH(gray, false, new CGrayEffect());
EFFECT_BENCH(emboss, true, new CEmbossEffect());
EFFECT_BENCH(brightness_contrast, true, new CBrightnessContrastEffect(100, 0));
EFFECT_BENCH(noise, true, new CNoiseEffect(100));

// The random wipe keeps the order of the last picture size, so the loop above
// measures frames after the first. Here every render alternates between two
// sizes of the same pixel count (640 x 480 and 480 x 640), which defeats that
// cache: the time is that of a first frame at each of the five progress values.
void BM_RandomWipeCold(benchmark::State& state) {
  DibPtr wide = Picture(), tall(DibAlloc(kH, kW, 32)), wideDst(DibAlloc(kW, kH, 32)), tallDst(DibAlloc(kH, kW, 32));
  std::memset(DibBits(tall.get()), 0x7F, DibImageBytes(tall.get()));
  CRandomWipeEffect effect;
  for (auto _ : state) {
    for (double t : kProgress) {
      std::memset(DibBits(wideDst.get()), 0, DibImageBytes(wideDst.get()));
      effect.DoRender(wideDst.get(), wide.get(), t);
      std::memset(DibBits(tallDst.get()), 0, DibImageBytes(tallDst.get()));
      effect.DoRender(tallDst.get(), tall.get(), t);
      benchmark::DoNotOptimize(DibBits(wideDst.get()));
      benchmark::DoNotOptimize(DibBits(tallDst.get()));
    }
  }
  state.SetItemsProcessed(state.iterations() * 10);
}
BENCHMARK(BM_RandomWipeCold);

// The two effects that draw through their own operations.
void BM_ZoomIn(benchmark::State& state) {
  DibPtr src = Picture(), dst(DibAlloc(kW, kH, 32));
  CZoomEffect zoom;
  for (auto _ : state)
    for (int i = 0; i < 5; ++i) {
      std::memset(DibBits(dst.get()), 0, DibImageBytes(dst.get()));
      zoom.CreateZoomInBitmap(dst.get(), src.get(), i, 5, true);
    }
  state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_ZoomIn);

void BM_MotionBlur(benchmark::State& state) {
  DibPtr src = Picture(), dst(DibAlloc(kW, kH, 32));
  CMotionBlurEffect blur;
  for (auto _ : state)
    for (int i = 0; i < 5; ++i) blur.BuildBlurImage(dst.get(), src.get(), 4 + 4 * i);
  state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_MotionBlur);

}  // namespace

BENCHMARK_MAIN();
