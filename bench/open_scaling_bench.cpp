// Opening a GIF of N frames (N = 1,000 to 30,000) of 1 x 1 and of 64 x 64
// pixels as the open command does (codec import, frames rebuilt, references
// normalized). Each open runs in a child process so that its peak resident
// memory (getrusage of the child) is its own. The counters give the peak in
// MiB and the time and memory per frame, which stay flat when the cost grows
// linearly with the frame count.
//
//   open_scaling_bench [benchmark options]    (--open-child is internal)
//   open_scaling_bench --write-gif FRAMES SIDE  (writes one GIF, prints its path)
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/import_dispatch.h"
#include "app/prompt.h"
#include "bench/bench_support.h"

namespace {

std::string g_self;

// An animation of frames pictures of side x side, each a different colour
// pattern, disposal 1 (kept), delay 4.
std::string WriteGif(int frames, int side) {
  const std::string path = "/tmp/lw-open-scaling-" + std::to_string(::getpid()) + "-" + std::to_string(frames) +
                           "x" + std::to_string(side) + ".gif";
  int err = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
  if (!gif) return {};
  EGifSetGifVersion(gif, true);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = GifColorType{BYTE(i), BYTE((i * 7) & 0xFF), BYTE(255 - i)};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifPutScreenDesc(gif, side, side, 8, 0, map);
  std::vector<GifPixelType> line(static_cast<std::size_t>(side));
  for (int f = 0; f < frames; ++f) {
    GraphicsControlBlock gcb{1, false, 4, NO_TRANSPARENT_COLOR};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr);
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) line[std::size_t(x)] = GifPixelType((x / 8 + y / 8 + f) & 0xFF);
      EGifPutLine(gif, line.data(), side);
    }
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return path;
}

const std::string& GifFor(int frames, int side) {
  static std::map<std::pair<int, int>, std::string> paths;
  std::string& p = paths[{frames, side}];
  if (p.empty()) p = WriteGif(frames, side);
  return p;
}

std::vector<std::string>& Written() {
  static std::vector<std::string> all;
  return all;
}


void BM_OpenGif(benchmark::State& state) {
  const int frames = int(state.range(0)), side = int(state.range(1));
  const std::string& gif = GifFor(frames, side);
  if (gif.empty()) {
    state.SkipWithError("could not write the GIF");
    return;
  }
  Written().push_back(gif);
  double peak = 0, seconds = 0;
  for (auto _ : state) {
    const ChildRun r = RunChild({g_self, "--open-child", gif, std::to_string(frames)});
    if (!r.ok) {
      state.SkipWithError("the open failed");
      return;
    }
    state.SetIterationTime(r.seconds);
    peak = std::max(peak, r.peakMiB);
    seconds = r.seconds;
  }
  state.counters["peak_MiB"] = peak;
  state.counters["KiB_per_frame"] = peak * 1024 / frames;
  state.counters["us_per_frame"] = seconds * 1e6 / frames;
}

BENCHMARK(BM_OpenGif)
    ->ArgsProduct({{1000, 3000, 10000, 30000}, {1, 64}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int OpenChild(const char* path, int frames) {
  CGifImage model;
  CScriptedPrompt prompt;
  std::string reason;
  if (!ImportImageFile(model, path, false, prompt, nullptr, &reason)) {
    std::fprintf(stderr, "import failed: %s\n", reason.c_str());
    return 1;
  }
  model.NormalizeObjectReferences();
  return model.GetFrameCount() == frames && model.CheckInvariant() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--open-child") == 0) return OpenChild(argv[2], std::atoi(argv[3]));
  // Writes one test GIF and prints its path (kept), for profiling the open:
  //   open_scaling_bench --write-gif FRAMES SIDE
  if (argc == 4 && std::strcmp(argv[1], "--write-gif") == 0) {
    const std::string path = WriteGif(std::atoi(argv[2]), std::atoi(argv[3]));
    if (path.empty()) return 1;
    std::printf("%s\n", path.c_str());
    return 0;
  }
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  g_self = n > 0 ? std::string(self, std::size_t(n)) : argv[0];
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& p : Written()) std::remove(p.c_str());
  return 0;
}
