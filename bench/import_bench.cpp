// Opening a large animated GIF (300 frames, 640 x 480: a full first frame,
// then 320 x 240 patches kept over it) as the editor does, against
// ImageMagick coalescing the same file into raw RGBA pixels. Each side runs
// in a child process so that its peak resident memory (getrusage of the
// child) is its own; the counters give it in MiB and as a multiple of the
// decoded frames' bytes (300 x 640 x 480 x 4).
//
//   import_bench [benchmark options]    (the --import-child mode is internal)
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/import_dispatch.h"
#include "app/loopwright_app.h"
#include "app/prompt.h"
#include "bench/bench_support.h"

namespace {

constexpr int kFrames = 300, kWidth = 640, kHeight = 480, kPatchW = 320, kPatchH = 240;
constexpr double kDecodedBytes = double(kFrames) * kWidth * kHeight * 4;

std::string g_self;

const std::string& BigGif() {
  static std::string path;
  if (!path.empty()) return path;
  path = "/tmp/lw-import-bench-" + std::to_string(::getpid()) + ".gif";
  WritePatchClipGif(path, kFrames, kWidth, kHeight, kPatchW, kPatchH, 4, 99u);
  return path;
}


void Report(benchmark::State& state, const std::vector<std::string>& args) {
  const std::string& gif = BigGif();
  (void)gif;
  double peak = 0;
  for (auto _ : state) {
    const ChildRun r = RunChild(args);
    if (!r.ok) {
      state.SkipWithError(("failed: " + args[0]).c_str());
      return;
    }
    state.SetIterationTime(r.seconds);
    peak = std::max(peak, r.peakMiB);
  }
  state.counters["peak_MiB"] = peak;
  state.counters["peak_x_decoded"] = peak * 1024 * 1024 / kDecodedBytes;
  state.counters["frames_per_s"] = benchmark::Counter(double(kFrames), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_LoopwrightOpenGif(benchmark::State& state) { Report(state, {g_self, "--import-child", BigGif()}); }

void BM_ImageMagickCoalesce(benchmark::State& state) {
  if (::access("/usr/bin/convert", X_OK) != 0 && ::access("/usr/local/bin/convert", X_OK) != 0) {
    state.SkipWithError("ImageMagick convert not installed");
    return;
  }
  const std::string convert = ::access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "/usr/local/bin/convert";
  Report(state, {convert, BigGif(), "-coalesce", "rgba:/dev/null"});
}

BENCHMARK(BM_LoopwrightOpenGif)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImageMagickCoalesce)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The child: opens the file as the open command does (codec import, frames
// rebuilt, references normalized) and checks the frame count.
int ImportChild(const char* path) {
  CGifImage model;
  CScriptedPrompt prompt;
  std::string reason;
  if (!ImportImageFile(model, path, false, prompt, nullptr, &reason)) {
    std::fprintf(stderr, "import failed: %s\n", reason.c_str());
    return 1;
  }
  model.NormalizeObjectReferences();
  return model.GetFrameCount() == kFrames ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--import-child") == 0) return ImportChild(argv[2]);
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  g_self = n > 0 ? std::string(self, std::size_t(n)) : argv[0];
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!BigGif().empty()) std::remove(BigGif().c_str());
  return 0;
}
