// The GIF LZW encoders on one 640 x 480 picture of 256 colours (a dithered
// gradient with a band of noise): the greedy encoder with both clear
// policies (level 2) against the slow search of level 3. The stream's bytes
// go out as a counter, so speed and size are read side by side.
#include <benchmark/benchmark.h>

#include <random>

#include "companions/imageio/gif_lzw.h"

namespace {

std::vector<std::uint8_t> Picture() {
  constexpr int kW = 640, kH = 480;
  std::vector<std::uint8_t> px(std::size_t(kW) * kH);
  std::mt19937 rng(3);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const int shade = (x * 200) / kW + ((x ^ y) & 3);
      px[std::size_t(y) * kW + std::size_t(x)] =
          std::uint8_t(y > 200 && y < 260 ? int(rng() % 256) : (shade + y / 40) % 256);
    }
  return px;
}

using Encoder = std::vector<std::uint8_t> (*)(const std::uint8_t*, std::size_t, int);

void BM_Lzw(benchmark::State& state, Encoder encode) {
  const std::vector<std::uint8_t> px = Picture();
  std::size_t bytes = 0;
  for (auto _ : state) bytes = encode(px.data(), px.size(), 8).size();
  state.counters["bytes"] = double(bytes);
}
BENCHMARK_CAPTURE(BM_Lzw, level2, &TevImageIO::EncodeGifLzwSmallest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Lzw, level3, &TevImageIO::EncodeGifLzwFlexible)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
