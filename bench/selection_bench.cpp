// The editing view's speed goals: a magic-wand pick on a 1920 x 1080 frame,
// select all + invert + outline on the same canvas, and render-view of a
// 640 x 480 frame at zoom 4 with a selection outline.
#include <benchmark/benchmark.h>

#include "app/loopwright_doc.h"
#include "companions/dibkernel/dib_kernel.h"
#include "tools/edit_view.h"
#include "tools/selection_actions.h"

namespace {

// A document of one frame showing one w x h picture: a dark disc on a
// light, slightly noisy ground, so the wand has a real region to fill.
struct ViewScene {
  CLoopwrightApp app;
  CScriptedPrompt prompt{true};
  CLoopwrightDoc doc{app, prompt};
  CEditPictureView view{doc};
  ViewScene(int w, int h) {
    doc.OnNewDocument(w, h);
    doc.DeleteContents();
    doc.m_nWidth = w;
    doc.m_nHeight = h;
    DibPtr pic(CDIB32::CreateSimple32BitsDIB(w, h, RGB(230, 230, 230), 255));
    for (int y = 0; y < h; ++y) {
      BYTE* row = DibRow(pic.get(), y);
      for (int x = 0; x < w; ++x) {
        const long dx = x - w / 2, dy = y - h / 2;
        const bool disc = dx * dx + dy * dy < long(h / 3) * (h / 3);
        const BYTE v = BYTE(disc ? 40 : 220 + ((x * 7 + y * 13) & 7));
        row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = v;
      }
    }
    doc.m_objects.push_back(MakeRef<CDib>(std::move(pic)));
    auto frame = MakeRef<CGifFrame>(std::uint16_t(10));
    auto ref = MakeRef<CRefImageObject>(doc.m_objects[0]);
    ref->m_bVisible = true;
    frame->m_refs.push_back(ref);
    doc.m_frames.push_back(frame);
    doc.SelectSingleFrame(0);
    doc.EditManager().SetUndoMaxTimes(4);
  }
};

void BM_MagicWand1920x1080(benchmark::State& state) {
  ViewScene s(1920, 1080);
  for (auto _ : state) {
    s.view.Selection().SetSelectionEmpty();
    benchmark::DoNotOptimize(SelectMagicWand(s.view, POINT{10, 10}, 32, state.range(0) != 0, SELECT_REPLACE));
  }
}
BENCHMARK(BM_MagicWand1920x1080)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_SelectAllInvertOutline1920x1080(benchmark::State& state) {
  ViewScene s(1920, 1080);
  for (auto _ : state) {
    SelectAll(s.view);
    SelectInvert(s.view);  // empties the selection: invert it back to all
    SelectInvert(s.view);
    benchmark::DoNotOptimize(s.view.Selection().GetEdgePoints().size());
  }
}
BENCHMARK(BM_SelectAllInvertOutline1920x1080)->Unit(benchmark::kMillisecond);

void BM_RenderView640x480Zoom4(benchmark::State& state) {
  ViewScene s(640, 480);
  s.view.SetZoom(4);
  s.view.SetClientSize(1280, 960);
  s.view.SetScroll(320, 240);
  SelectEllipse(s.view, 100, 100, 300, 200, SELECT_REPLACE);
  int phase = 0;
  for (auto _ : state) benchmark::DoNotOptimize(s.view.Render(phase++).get());
}
BENCHMARK(BM_RenderView640x480Zoom4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
