// ComposeFrame of a 640 x 480 frame with 8 semi-transparent objects (with
// shadows), plain blits against fast ones, beside a memcpy of the frame's
// bytes as the reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "app/compose.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

struct Scene {
  DibPtr target;
  RefPtr<CGifFrame> frame;
  Scene() {
    target.reset(CDIB32::CreateSimple32BitsDIB(640, 480, RGB(255, 255, 255), 255));
    frame = MakeRef<CGifFrame>(std::uint16_t(10));
    for (int i = 0; i < 8; ++i) {
      // Alternate fully opaque pictures and pictures with a soft alpha ramp.
      DibPtr pic(CDIB32::CreateSimple32BitsDIB(200, 150, RGB(30 * i, 200 - 20 * i, 90), 255));
      if (i % 2)
        for (int y = 0; y < 150; ++y) {
          BYTE* p = DibRow(pic.get(), y);
          for (int x = 0; x < 200; ++x) p[4 * x + 3] = BYTE((x + y) & 0xFF);
        }
      auto obj = MakeRef<CDib>(std::move(pic));
      obj->m_nShadowKind = 4;
      obj->BuildShadow();
      auto ref = MakeRef<CRefImageObject>(obj);
      ref->m_nX = 40 + 60 * i;
      ref->m_nY = 20 + 40 * i;
      ref->m_bVisible = true;
      ref->m_nTransparency = i * 10;
      frame->m_refs.push_back(ref);
    }
  }
};

void BM_ComposeFrame(benchmark::State& state) {
  Scene s;
  SetComposeUsesFastBlit(state.range(0) != 0);
  for (auto _ : state) {
    ComposeFrame(s.target.get(), POINT{0, 0}, *s.frame);
    benchmark::DoNotOptimize(DibBits(s.target.get()));
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(DibImageBytes(s.target.get())));
  SetComposeUsesFastBlit(true);
}
BENCHMARK(BM_ComposeFrame)->Arg(0)->Arg(1)->ArgNames({"fast"});

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<BYTE> a(640 * 480 * 4, 7), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(a.size()));
}
BENCHMARK(BM_MemcpyFrame);

}  // namespace

BENCHMARK_MAIN();
