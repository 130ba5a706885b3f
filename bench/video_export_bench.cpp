// Video export of a 300-frame 640 x 480 animation (a 64-colour backdrop and
// a 32-colour sprite moving over it, 4 hundredths a frame): AVI with MJPEG
// and with RLE, MP4 and WebM, and the optimized GIF of the same animation
// for comparison. The "bytes" counter is the written file's size.
//
//   video_export_bench --benchmark_filter='Avi'   (the MP4/WebM runs are slow)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/loopwright_app.h"
#include "app/loopwright_doc.h"
#include "app/prompt.h"
#include "companions/dibkernel/dib_kernel.h"
#include "export/avi_export.h"
#include "export/export_dispatch.h"
#include "export/video_export.h"

namespace {

constexpr int kFrames = 300, kWidth = 640, kHeight = 480, kSprite = 96;

DibPtr Picture(LONG w, LONG h, int colours, int step) {
  DibPtr d(CDIB32::CreateSimple32BitsDIB(w, h, 0, 255));
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      const int k = int((x / step + y / step) % colours);
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(k * 4);
      p[1] = BYTE(200 - k * 3);
      p[2] = BYTE((k * 37) & 0xFF);
    }
  return d;
}

void BuildAnimation(CGifImage& model) {
  model.m_nWidth = kWidth;
  model.m_nHeight = kHeight;
  model.m_objects.push_back(MakeRef<CDib>(Picture(kWidth, kHeight, 64, 10)));
  model.m_objects.push_back(MakeRef<CDib>(Picture(kSprite, kSprite, 32, 3)));
  for (int i = 0; i < kFrames; ++i) {
    auto frame = MakeRef<CGifFrame>(std::uint16_t(4));
    for (std::size_t o = 0; o < 2; ++o) {
      auto ref = MakeRef<CRefImageObject>(model.m_objects[o]);
      ref->m_bVisible = true;
      if (o == 1) {
        ref->m_nX = (i * 2) % (kWidth - kSprite);
        ref->m_nY = (i * 3) % (kHeight - kSprite);
      }
      frame->m_refs.push_back(ref);
    }
    model.m_frames.push_back(frame);
  }
}

std::string Target(const char* ext) { return "/tmp/lw-video-bench-" + std::to_string(::getpid()) + ext; }

void Export(benchmark::State& state, const char* ext, int codec) {
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  CLoopwrightDoc doc(app, prompt);
  BuildAnimation(doc);
  CExportSettings settings;
  settings.video.codec = codec;
  const std::string path = Target(ext);
  for (auto _ : state) {
    std::string reason;
    if (!ExportAnimationFile(doc, path, nullptr, settings, &reason)) state.SkipWithError(reason.c_str());
  }
  std::error_code ec;
  state.counters["bytes"] = double(std::filesystem::file_size(path, ec));
  std::filesystem::remove(path, ec);
}

void BM_AviMjpeg(benchmark::State& state) { Export(state, ".avi", AVI_CODEC_MJPEG); }
void BM_AviRle(benchmark::State& state) { Export(state, ".avi", AVI_CODEC_RLE); }
void BM_AviDib(benchmark::State& state) { Export(state, ".avi", AVI_CODEC_DIB); }
void BM_Gif(benchmark::State& state) { Export(state, ".gif", 0); }
void BM_Mp4(benchmark::State& state) { Export(state, ".mp4", 0); }
void BM_Webm(benchmark::State& state) { Export(state, ".webm", 0); }

BENCHMARK(BM_AviMjpeg)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AviRle)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_AviDib)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Gif)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Mp4)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Webm)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
