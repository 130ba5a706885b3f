// Filter family hot paths on a 1920 x 1080 32-bit picture, each beside
// ImageMagick doing the same kind of work on the same picture in the same
// run: the recursive Gaussian at radius 2, 10 and 50 (its time must not grow
// with the radius), the box blur at sizes 3 and 31, and a tone table.
//
// ImageMagick runs as `convert -limit thread 1` on the picture stored as raw
// RGBA; BM_ImageMagick_ReadWrite times the same command without a filter,
// so a filter's own time is its figure minus that one. The references are
// skipped (with a message) when /usr/bin/convert is missing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "imaging/TevImageTransform"

using namespace TevImageTransform;

namespace {

constexpr int kW = 1920, kH = 1080;
const char* const kConvert = "/usr/bin/convert";

// An opaque picture with gradients, edges and noise.
const CTevObjImage& SourcePicture() {
  static const CTevObjImage picture = [] {
    CTevObjImage img(kW, kH, 32);
    std::uint32_t seed = 987;
    for (int y = 0; y < kH; ++y) {
      BYTE* p = img.GetBits(y);
      for (int x = 0; x < kW; ++x, p += 4) {
        seed = seed * 1664525u + 1013904223u;
        p[0] = BYTE(x * 255 / kW);
        p[1] = BYTE(((x / 64 + y / 64) % 2) * 200 + 20);
        p[2] = BYTE(seed >> 24);
        p[3] = 255;
      }
    }
    return img;
  }();
  return picture;
}

CTevObjImage Fresh() {
  CTevObjImage img;
  img.Create(SourcePicture().GetImageBits());
  return img;
}

void RunProcess(benchmark::State& state, CTevInterfacePixelProcess& process) {
  for (auto _ : state) {
    state.PauseTiming();
    CTevObjImage img = Fresh();
    state.ResumeTiming();
    if (!img.SinglePixelProcessProc(process, nullptr)) state.SkipWithError("process failed");
    benchmark::DoNotOptimize(img.GetBits(0));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_GaussIIR(benchmark::State& state) {
  CTevPixelBlurGaussIIR blur(int(state.range(0)), int(state.range(0)));
  RunProcess(state, blur);
}
BENCHMARK(BM_GaussIIR)->Arg(2)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BlurBox(benchmark::State& state) {
  CTevPixelBlurBox blur(int(state.range(0)), true);
  RunProcess(state, blur);
}
BENCHMARK(BM_BlurBox)->Arg(3)->Arg(31)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LutGamma(benchmark::State& state) {
  CTevPixelGamma gamma(1.8);
  RunProcess(state, gamma);
}
BENCHMARK(BM_LutGamma)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- ImageMagick references ----------------------------------------------------

// The picture as raw RGBA in a private temporary folder, written once.
const std::string& RawPicture() {
  static const std::string path = [] {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lw-filters-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "in.rgba").string();
    std::ofstream out(file, std::ios::binary);
    const CTevObjImage& img = SourcePicture();
    std::string row(std::size_t(kW) * 4, '\0');
    for (int y = 0; y < kH; ++y) {
      const BYTE* p = img.GetBits(y);
      for (int x = 0; x < kW; ++x) {
        row[4 * x] = char(p[4 * x + 2]);
        row[4 * x + 1] = char(p[4 * x + 1]);
        row[4 * x + 2] = char(p[4 * x]);
        row[4 * x + 3] = char(p[4 * x + 3]);
      }
      out.write(row.data(), std::streamsize(row.size()));
    }
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(std::filesystem::path(RawPicture()).parent_path(), ec);
    });
    return file;
  }();
  return path;
}

// Times `convert -limit thread 1 ... OPERATION` per iteration.
void RunConvert(benchmark::State& state, const std::string& operation) {
  if (::access(kConvert, X_OK) != 0) {
    state.SkipWithError("ImageMagick (/usr/bin/convert) is not installed");
    return;
  }
  const std::string& in = RawPicture();
  const std::string out = in + ".out";
  const std::string size = std::to_string(kW) + "x" + std::to_string(kH);
  std::ostringstream cmdText;
  cmdText << kConvert << " -limit thread 1 -size " << size << " -depth 8 rgba:'" << in << "' " << operation
          << " -depth 8 rgba:'" << out << "' 2>/dev/null";
  const std::string cmd = cmdText.str();
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = std::system(cmd.c_str());
    const auto t1 = std::chrono::steady_clock::now();
    if (rc != 0) {
      state.SkipWithError("convert failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

// The sigma our radius r blurs with: (r + 1) / sqrt(2 ln 255).
std::string Sigma(int radius) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%.3f", (radius + 1) / std::sqrt(2.0 * std::log(255.0)));
  return text;
}

void BM_ImageMagick_ReadWrite(benchmark::State& state) { RunConvert(state, ""); }
BENCHMARK(BM_ImageMagick_ReadWrite)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_ImageMagick_Blur(benchmark::State& state) { RunConvert(state, "-blur " + Sigma(int(state.range(0)))); }
BENCHMARK(BM_ImageMagick_Blur)->Arg(2)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_ImageMagick_GaussianBlur(benchmark::State& state) {
  RunConvert(state, "-gaussian-blur " + Sigma(int(state.range(0))));
}
// The two-dimensional kernel grows with the square of the radius; radius 50
// takes minutes and is left out.
BENCHMARK(BM_ImageMagick_GaussianBlur)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// A box of size s: ImageMagick's convolution with a uniform s x s kernel.
void BM_ImageMagick_Box(benchmark::State& state) {
  const int s = int(state.range(0));
  RunConvert(state, "-define convolve:scale=! -morphology Convolve Square:" + std::to_string(s / 2));
}
BENCHMARK(BM_ImageMagick_Box)->Arg(3)->Arg(31)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

void BM_ImageMagick_Gamma(benchmark::State& state) { RunConvert(state, "-gamma 1.8"); }
BENCHMARK(BM_ImageMagick_Gamma)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
