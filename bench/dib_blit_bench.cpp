// The 32-bit blend blit at 640x480, plain and fast, against memcpy of the same
// bytes: a semi-transparent source over an opaque destination, and an opaque
// source (the copy case).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "companions/dibkernel/dib_kernel.h"

namespace {

constexpr LONG kW = 640, kH = 480;

DibPtr Picture(bool opaque, bool semi, unsigned seed) {
  DibPtr d(CDIB32::CreateBlank32BitsDIB(kW, kH));
  std::mt19937 rng(seed);
  auto* p = reinterpret_cast<std::uint32_t*>(DibBits(d.get()));
  for (std::size_t i = 0; i < std::size_t(kW) * kH; ++i) {
    std::uint32_t c = rng() & 0x00FFFFFFu;
    std::uint32_t a = opaque ? 255 : semi ? 1 + rng() % 254 : 0;
    p[i] = c | (a << 24);
  }
  return d;
}

void BM_Memcpy(benchmark::State& state) {
  DibPtr src = Picture(true, false, 1), dst = Picture(true, false, 2);
  const std::size_t n = DibImageBytes(src.get());
  for (auto _ : state) {
    std::memcpy(DibBits(dst.get()), DibBits(src.get()), n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(n));
}

template <BOOL (*Blit)(BITMAPINFOHEADER*, POINT, const BITMAPINFOHEADER*, POINT, BYTE)>
void BM_Blend(benchmark::State& state) {
  const bool opaqueSource = state.range(0) != 0;
  DibPtr src = Picture(opaqueSource, true, 1), dst = Picture(true, false, 2);
  for (auto _ : state) {
    Blit(dst.get(), POINT{0, 0}, src.get(), POINT{0, 0}, 0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(DibImageBytes(src.get())));
  state.SetLabel(opaqueSource ? "opaque source" : "semi-transparent source over opaque");
}

BENCHMARK(BM_Memcpy);
BENCHMARK(BM_Blend<&CDIB32::BitBlt32DIB>)->Name("BM_BlendPlain")->Arg(0)->Arg(1);
BENCHMARK(BM_Blend<&CDIB32::BitBlt32DIBMMX>)->Name("BM_BlendFast")->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
