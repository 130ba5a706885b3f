// A 60-frame banner (30 enter, 30 leave) of a 32-pixel text on a 640 x 120
// canvas, per enter/leave pair of kinds: the generation alone, and the
// generation with the frames added to a document. The goal is well under
// one second per banner.
#include <benchmark/benchmark.h>

#include "app/loopwright_doc.h"
#include "generators/banner_command.h"
#include "generators/banner_generators.h"

namespace {

constexpr int kW = 640, kH = 120;

BannerSettings MakeSettings(int enterKind, int leaveKind, RECT rect = RECT{0, 0, kW, kH}) {
  CBannerTextStyle style;
  style.text = "Loopwright banners";
  style.font.size = 32;
  style.colour = RGB(200, 30, 30);
  style.shadowKind = 4;
  POINT origin{0, 0};
  BannerSettings s;
  s.text = CreateBannerTextObject(style, &origin);
  s.enterKind = enterKind;
  s.leaveKind = leaveKind;
  s.enterFrames = s.leaveFrames = 30;
  s.canvasWidth = kW;
  s.canvasHeight = kH;
  s.bannerRect = rect;
  PlaceBannerText(s, nullptr, origin);
  return s;
}

void BM_GenerateBanner(benchmark::State& state) {
  const BannerSettings s = MakeSettings(int(state.range(0)), int(state.range(1)));
  std::vector<CBannerClip> clips;
  for (auto _ : state) {
    if (GenerateBanner(s, clips) != BANNER_OK) state.SkipWithError("generation failed");
    benchmark::DoNotOptimize(clips.data());
  }
  state.SetLabel(std::string(BannerKindName(int(state.range(0)))) + " / " + BannerKindName(int(state.range(1))));
}
BENCHMARK(BM_GenerateBanner)
    ->Args({BANNER_SLIDE_LEFT, BANNER_FADE})
    ->Args({BANNER_TYPE, BANNER_TYPE})
    ->Args({BANNER_MERGE_VERTICAL, BANNER_MERGE_HORIZONTAL})
    ->Args({BANNER_GROW, BANNER_SHRINK})
    ->Args({BANNER_SPIN_GROW, BANNER_SPIN_SHRINK})
    ->Unit(benchmark::kMillisecond);

// The cut to a banner rectangle smaller than the canvas merges text and
// shadow into a new picture per frame.
void BM_GenerateCutBanner(benchmark::State& state) {
  const BannerSettings s = MakeSettings(BANNER_SLIDE_RIGHT, BANNER_SPIN_GROW, RECT{40, 10, 600, 110});
  std::vector<CBannerClip> clips;
  for (auto _ : state) {
    if (GenerateBanner(s, clips) != BANNER_OK) state.SkipWithError("generation failed");
    benchmark::DoNotOptimize(clips.data());
  }
}
BENCHMARK(BM_GenerateCutBanner)->Unit(benchmark::kMillisecond);

void BM_AddBannerFrames(benchmark::State& state) {
  const BannerSettings s = MakeSettings(BANNER_SPIN_GROW, BANNER_TYPE);
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  for (auto _ : state) {
    CLoopwrightDoc doc(app, prompt);
    doc.OnNewDocument(kW, kH);
    if (AddBannerFrames(doc, s) != BANNER_OK) state.SkipWithError("generation failed");
    benchmark::DoNotOptimize(doc.GetFrameCount());
  }
}
BENCHMARK(BM_AddBannerFrames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
