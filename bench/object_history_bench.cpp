// Memory the history holds for object moves: 1,000 moves of 10 selected
// objects on a 300-frame animation, every move kept (UndoMaxTimes raised).
// The counter history_MB is the heap growth over the moves, measured with
// mallinfo2; a move records references and positions, never pictures, so it
// stays far below the pictures' own size. Two cases: moves on the current
// frame (what dragging records) and on every frame (frames=all).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include "app/loopwright_doc.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/object_commands.h"

namespace {

constexpr int kFrames = 300, kObjects = 10, kMoves = 1000;

void Build(CLoopwrightDoc& doc) {
  doc.OnNewDocument(320, 240);
  doc.DeleteContents();
  doc.m_nWidth = 320;
  doc.m_nHeight = 240;
  for (int j = 0; j < kObjects; ++j)
    doc.m_objects.push_back(MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(64, 48, 0x336699, 255))));
  for (int i = 0; i < kFrames; ++i) {
    auto f = MakeRef<CGifFrame>(std::uint16_t(10));
    for (int j = 0; j < kObjects; ++j) {
      auto r = MakeRef<CRefImageObject>(doc.m_objects[std::size_t(j)]);
      r->m_bVisible = true;
      r->m_nX = 7 * j;
      f->m_refs.push_back(r);
    }
    doc.m_frames.push_back(f);
  }
  doc.SelectSingleFrame(kFrames / 2);
  doc.m_selectedObjects = doc.m_objects;
  doc.EditManager().SetUndoMaxTimes(kMoves + 10);
}

void BM_MoveHistory(benchmark::State& state) {
  const CFrameTargets targets{state.range(0) ? CFrameTargets::ALL : CFrameTargets::CURRENT, {}};
  double megabytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CLoopwrightApp app;
    CScriptedPrompt prompt;
    CLoopwrightDoc doc(app, prompt);
    Build(doc);
    const std::size_t before = mallinfo2().uordblks;
    state.ResumeTiming();
    for (int m = 0; m < kMoves; ++m) MoveSelectedObjects(doc, m % 2 ? 1 : -1, 1, false, targets);
    state.PauseTiming();
    megabytes = double(mallinfo2().uordblks - before) / (1024.0 * 1024.0);
    if (doc.EditManager().UndoList().size() != std::size_t(kMoves)) state.SkipWithError("a move was not recorded");
    state.ResumeTiming();
  }
  state.counters["history_MB"] = megabytes;
  state.counters["moves"] = kMoves;
}

}  // namespace

BENCHMARK(BM_MoveHistory)->Arg(0)->ArgName("all_frames")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveHistory)->Arg(1)->ArgName("all_frames")->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
