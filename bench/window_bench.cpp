// The desktop window's figures on a 300-frame 640 x 480 GIF (a full first
// frame, then 320 x 240 patches over it), made here:
//   - BM_WindowOpen: the window (offscreen, 1280 x 800) opens the file; the
//     time until the first picture is on the canvas, the time until the
//     whole document is there, and the window process's peak memory against
//     the command line's open of the same file (each in a child process, so
//     each peak is its own), and how many frames the frames list showed
//     while the file was still opening (they arrive as they are decoded);
//   - BM_PlaybackCompose: what the preview player does per frame (compose
//     the frame, make it a pixmap), mean and worst time per frame, and how
//     many frames would be late at 100 fps delays (over 10 ms);
//   - BM_GifDialogEstimate: the GIF export dialog opened on the document;
//     the time until its size estimate shows, and the longest gap between
//     the turns of a 5 ms timer on the window's thread meanwhile.
//
//   window_bench [benchmark options]   (the --*-child modes are internal)
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/loopwright_app.h"
#include "bench/bench_support.h"
#include "app/loopwright_doc.h"
#include "app/prompt.h"
#include "ui/dialogs/gif_export_dialog.h"
#include "ui/dib_image.h"
#include "ui/frames_model.h"
#include "ui/main_window.h"

namespace {

constexpr int kFrames = 300, kWidth = 640, kHeight = 480, kPatchW = 320, kPatchH = 240;

std::string g_self;

const std::string& BigGif() {
  static std::string path;
  if (!path.empty()) return path;
  path = "/tmp/lw-window-bench-" + std::to_string(::getpid()) + ".gif";
  WritePatchClipGif(path, kFrames, kWidth, kHeight, kPatchW, kPatchH, 1, 7u);
  return path;
}


std::string PrefsPath() { return "/tmp/lw-window-bench-prefs-" + std::to_string(::getpid()) + ".ini"; }

void BM_WindowOpen(benchmark::State& state) {
  const std::string figures = "/tmp/lw-window-bench-figures-" + std::to_string(::getpid());
  double first = 0, full = 0, windowMiB = 0, cliMiB = 0, arrived = 0, firstRow = 0;
  for (auto _ : state) {
    const ChildRun window = RunChild({g_self, "--window-child", BigGif(), figures});
    const ChildRun cli = RunChild({g_self, "--cli-child", BigGif()});
    std::ifstream in(figures);
    if (!window.ok || !cli.ok || !(in >> first >> full >> arrived >> firstRow)) {
      state.SkipWithError("a child failed");
      return;
    }
    state.SetIterationTime(first);
    windowMiB = window.peakMiB;
    cliMiB = cli.peakMiB;
  }
  std::remove(figures.c_str());
  state.counters["first_frame_s"] = first;
  state.counters["whole_open_s"] = full;
  state.counters["first_row_s"] = firstRow;
  state.counters["rows_while_opening"] = arrived;
  state.counters["window_MiB"] = windowMiB;
  state.counters["cli_MiB"] = cliMiB;
  state.counters["window_x_cli"] = cliMiB > 0 ? windowMiB / cliMiB : 0;
}

// The big GIF opened in a document, as the window holds it.
struct CBigGifDoc {
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  std::optional<CLoopwrightDoc> doc;
  CBigGifDoc() {
    app.m_bWritePrefsOnExit = false;
    app.InitInstance(PrefsPath());
    doc.emplace(app, prompt);
  }
  // False (the benchmark skipped) when the file does not open whole.
  bool Open(benchmark::State& state) {
    if (doc->OnOpenDocument(BigGif()) && doc->GetFrameCount() == kFrames) return true;
    state.SkipWithError("open failed");
    return false;
  }
};

void BM_PlaybackCompose(benchmark::State& state) {
  CBigGifDoc opened;
  if (!opened.Open(state)) return;
  CLoopwrightDoc& doc = *opened.doc;
  double total = 0, worst = 0;
  int late = 0, composed = 0;
  for (auto _ : state) {
    for (int i = 0; i < kFrames; ++i) {
      QElapsedTimer timer;
      timer.start();
      const QPixmap pixmap = QPixmap::fromImage(ComposedFrameImage(doc, *doc.GetFrame(i)));
      const double ms = double(timer.nsecsElapsed()) / 1e6;
      benchmark::DoNotOptimize(pixmap.cacheKey());
      total += ms;
      worst = std::max(worst, ms);
      late += ms > 10.0;
      ++composed;
    }
  }
  std::remove(PrefsPath().c_str());
  state.counters["mean_ms_per_frame"] = composed ? total / composed : 0;
  state.counters["worst_ms"] = worst;
  state.counters["late_at_100fps"] = late;
}

void BM_GifDialogEstimate(benchmark::State& state) {
  CBigGifDoc opened;
  if (!opened.Open(state)) return;
  CLoopwrightDoc& doc = *opened.doc;
  double seconds = 0;
  qint64 longest = 0;
  long long bytes = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    qint64 last = 0;
    longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      longest = std::max(longest, now - last);
      last = now;
    });
    clock.start();
    ticker.start();
    CGifExportDialog dialog(doc);
    dialog.show();
    while (dialog.Estimator().Busy() || dialog.Estimator().Bytes() <= 0) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      if (clock.elapsed() > 120000) break;
    }
    seconds = double(clock.elapsed()) / 1000.0;
    bytes = dialog.Estimator().Bytes();
    state.SetIterationTime(seconds);
  }
  if (bytes <= 0) state.SkipWithError("no estimate");
  state.counters["estimate_s"] = seconds;
  state.counters["longest_gap_ms"] = double(longest);
  state.counters["bytes"] = double(bytes);
}

BENCHMARK(BM_WindowOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PlaybackCompose)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_GifDialogEstimate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The window child: seconds to the first picture and to the whole document.
int WindowChild(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  CLoopwrightApp app;
  app.m_bWritePrefsOnExit = false;
  app.InitInstance(PrefsPath());
  CScriptedPrompt prompt;
  int rc = 1;
  {
    CMainWindow window(app, &prompt);
    window.resize(1280, 800);
    window.show();
    QApplication::processEvents();
    double first = -1;
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&start] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    QObject::connect(&window, &CMainWindow::FirstPictureShown, [&] {
      if (first < 0) first = since();
    });
    int rows = 0;
    double firstRow = -1;
    QObject::connect(window.FramesModel(), &QAbstractItemModel::rowsInserted, [&] {
      if (!window.IsBusy()) return;
      rows = window.FramesModel()->rowCount();
      if (firstRow < 0) firstRow = since();
    });
    const bool ok = window.OpenFile(QString::fromStdString(argv[2]));
    QApplication::processEvents();  // the list asks for the thumbnails in sight
    const double full = since();
    if (ok && first >= 0 && window.Doc().GetFrameCount() == kFrames) {
      std::ofstream(argv[3]) << first << ' ' << full << ' ' << rows << ' ' << firstRow << '\n';
      rc = 0;
    }
  }
  return rc;
}

// The command line's open of the same file, for its peak memory.
int CliChild(const char* path) {
  CLoopwrightApp app;
  app.m_bWritePrefsOnExit = false;
  app.InitInstance(PrefsPath());
  CScriptedPrompt prompt;
  CLoopwrightDoc doc(app, prompt);
  return doc.OnOpenDocument(path) && doc.GetFrameCount() == kFrames ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (argc == 4 && std::strcmp(argv[1], "--window-child") == 0) return WindowChild(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--cli-child") == 0) return CliChild(argv[2]);
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  g_self = n > 0 ? std::string(self, std::size_t(n)) : argv[0];
  QApplication qtApp(argc, argv);  // pixmaps need the GUI application
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!BigGif().empty()) std::remove(BigGif().c_str());
  return 0;
}
