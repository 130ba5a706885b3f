// Project save and reopen of a 100-frame 640 x 480 animation (one object per
// frame), against writing and reading the same pixel bytes as a plain file.
// Throughput counts the pixel bytes (100 x 640 x 480 x 4).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/project_file.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

constexpr int kFrames = 100, kWidth = 640, kHeight = 480;
constexpr std::size_t kPixelBytes = std::size_t(kFrames) * kWidth * kHeight * 4;

std::string TempPath(const char* leaf) {
  return "/tmp/lw-bench-" + std::to_string(::getpid()) + "-" + leaf;
}

// Pictures with smooth gradients, flat areas and noise, as animation frames have.
const CGifImage& Sample() {
  static CGifImage m;
  if (!m.m_objects.empty()) return m;
  m.m_nWidth = kWidth;
  m.m_nHeight = kHeight;
  std::uint32_t noise = 12345;
  for (int i = 0; i < kFrames; ++i) {
    DibPtr d(CDIB32::CreateSimple32BitsDIB(kWidth, kHeight, 0x336699, 255));
    for (int y = 0; y < kHeight; ++y) {
      BYTE* row = DibRow(d.get(), y);
      for (int x = kWidth / 4; x < kWidth; ++x) {
        noise = noise * 1664525u + 1013904223u;
        row[4 * x] = BYTE(x + i);
        row[4 * x + 1] = BYTE(y);
        row[4 * x + 2] = x > kWidth / 2 ? BYTE(noise >> 24) : BYTE(i * 2);
      }
    }
    auto o = MakeRef<CDib>(std::move(d));
    m.m_objects.push_back(o);
  }
  for (int i = 0; i < kFrames; ++i) {
    auto f = MakeRef<CGifFrame>(std::uint16_t(10));
    for (int j = 0; j < kFrames; ++j) {
      auto r = MakeRef<CRefImageObject>(m.m_objects[std::size_t(j)]);
      r->m_bVisible = i == j;
      f->m_refs.push_back(r);
    }
    m.m_frames.push_back(f);
  }
  return m;
}

void BM_ProjectSave(benchmark::State& state) {
  const CGifImage& m = Sample();
  const std::string path = TempPath("save.lwp");
  for (auto _ : state)
    if (!WriteProjectFile(m, path)) state.SkipWithError("save failed");
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kPixelBytes));
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) {
    std::fseek(f, 0, SEEK_END);
    state.counters["file_MB"] = double(std::ftell(f)) / 1e6;
    std::fclose(f);
  }
  std::remove(path.c_str());
}

void BM_ProjectOpen(benchmark::State& state) {
  const std::string path = TempPath("open.lwp");
  if (!WriteProjectFile(Sample(), path)) {
    state.SkipWithError("save failed");
    return;
  }
  for (auto _ : state) {
    CGifImage m;
    if (!ReadProjectFile(m, path)) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(m.m_objects.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kPixelBytes));
  std::remove(path.c_str());
}

// Reference: the same pixel bytes copied into one buffer and written, then
// read back, as plain files (with the same fsync the project save does).
void BM_PlainWrite(benchmark::State& state) {
  const CGifImage& m = Sample();
  const std::string path = TempPath("plain.bin");
  std::vector<BYTE> buffer(kPixelBytes);
  for (auto _ : state) {
    std::size_t at = 0;
    for (const auto& o : m.m_objects) {
      const std::size_t n = DibImageBytes(o->GetImage());
      std::memcpy(buffer.data() + at, o->GetBits(), n);
      at += n;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(buffer.data(), 1, at, f) != at) state.SkipWithError("write failed");
    if (f) {
      std::fflush(f);
      ::fsync(::fileno(f));
      std::fclose(f);
    }
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kPixelBytes));
  std::remove(path.c_str());
}

void BM_PlainRead(benchmark::State& state) {
  const std::string path = TempPath("plainr.bin");
  std::vector<BYTE> buffer(kPixelBytes, 7);
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(buffer.data(), 1, buffer.size(), f);
    std::fclose(f);
  }
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f || std::fread(buffer.data(), 1, buffer.size(), f) != buffer.size()) state.SkipWithError("read failed");
    if (f) std::fclose(f);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kPixelBytes));
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_ProjectSave)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProjectOpen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
