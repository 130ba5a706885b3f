// Files from other programs (the sample corpus, when present): every GIF's
// composed frames against ImageMagick's coalesced frames, and the frame
// counts and canvas sizes of multi-picture formats.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/frame_render.h"
#include "app/loopwright_doc.h"
#include "app/temp_dir.h"
#include "companions/dibkernel/dib_kernel.h"

namespace fs = std::filesystem;

namespace {

// LW_CORPUS, else the shared folder of this machine, else shared/ beside the checkout.
std::string CorpusDir() {
  if (const char* env = std::getenv("LW_CORPUS")) return env;
  if (fs::exists("/work/shared/corpus")) return "/work/shared/corpus";
  return (fs::path(__FILE__).parent_path() / "../../../shared/corpus").lexically_normal().string();
}

bool HaveConvert() { return std::system("convert -version >/dev/null 2>&1") == 0; }

class CorpusImport : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(CorpusDir())) GTEST_SKIP() << "sample corpus not present at " << CorpusDir() << " (set LW_CORPUS)";
    app.InitInstance(scratch.File("loopwright.ini"));
    app.m_bWritePrefsOnExit = false;
    // Layered PSD files open as their merged picture here; the question is not asked.
    app.Prefs().Set("ShowPSDOpenFashionTip", 0);
    app.Prefs().Set("PSDOpenFashion", 1);
  }
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  TempDir scratch;
};

// ImageMagick's frames of path (coalesced: each at canvas size) as raw
// RGBA, top row first; empty when it reads nothing. failed: it stopped with
// an error (after writing what it could). With an alpha channel from the
// start, areas disposed to the background turn transparent, as in browsers.
std::string MagickRgba(const std::string& path, const std::string& scratch, bool* failed = nullptr) {
  const std::string raw = scratch + "/magick.rgba";
  std::filesystem::remove(raw);
  const std::string command = "convert '" + path + "' -alpha set -coalesce -depth 8 'RGBA:" + raw + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  if (failed) *failed = status != 0;
  std::ifstream in(raw, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Compares our composed frame with ImageMagick's (RGBA, top row first, our
// size): every pixel ImageMagick shows opaque must match exactly. Returns
// the first difference, or empty.
std::string CompareFrame(const BITMAPINFOHEADER* ours, const char* theirs) {
  for (LONG y = 0; y < DibHeight(ours); ++y)
    for (LONG x = 0; x < DibWidth(ours); ++x) {
      const BYTE* a = DibRow(ours, y) + 4 * x;
      const auto* b = reinterpret_cast<const unsigned char*>(theirs) + 4 * (std::size_t(y) * DibWidth(ours) + x);
      if (b[3] == 255 && (a[3] != 255 || a[0] != b[2] || a[1] != b[1] || a[2] != b[0]))
        return "pixel " + std::to_string(x) + "," + std::to_string(y);
    }
  return {};
}

}  // namespace

TEST_F(CorpusImport, GifFramesMatchImageMagickCoalesce) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick convert not installed";
  const fs::path folder = fs::path(CorpusDir()) / "gif";
  if (!fs::exists(folder)) GTEST_SKIP() << "no gif folder in the corpus";
  int files = 0;
  std::vector<std::string> failures, known;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string path = entry.path().string();
    const std::string name = entry.path().filename().string();
    ++files;
    CLoopwrightDoc doc(app, prompt);
    if (!doc.OnOpenDocument(path)) {
      failures.push_back(name + ": does not open (" + doc.m_strLastError + ")");
      continue;
    }
    // ImageMagick may stop with an error (its resource limits, frames past
    // the canvas) after writing every frame; differences are then reported
    // as its failure, not ours.
    bool referenceFailed = false;
    const std::string theirs = MagickRgba(path, scratch.Path(), &referenceFailed);
    if (theirs.empty()) {
      known.push_back(name + ": ImageMagick cannot read it");
      continue;
    }
    const std::size_t frameBytes = std::size_t(doc.m_nWidth) * std::size_t(doc.m_nHeight) * 4;
    if (theirs.size() != frameBytes * std::size_t(doc.GetFrameCount())) {
      failures.push_back(name + ": " + std::to_string(doc.GetFrameCount()) + " frames, ImageMagick's differ");
      continue;
    }
    for (int f = 0; f < doc.GetFrameCount(); ++f) {
      DibPtr ours = RenderFrame(doc, *doc.GetFrame(f));
      const std::string diff =
          ours ? CompareFrame(ours.get(), theirs.data() + frameBytes * std::size_t(f)) : "not rendered";
      if (!diff.empty()) {
        if (referenceFailed) known.push_back(name + ": frame " + std::to_string(f) + ": ImageMagick stopped with an error: " + diff);
        else failures.push_back(name + ": frame " + std::to_string(f) + ": " + diff);
        break;
      }
    }
  }
  EXPECT_GT(files, 0);
  std::string all;
  for (const auto& f : known) std::cout << "known difference from ImageMagick: " << f << std::endl;
  for (const auto& f : failures) all += "\n  " + f;
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << files << " files differ:" << all;
}

TEST_F(CorpusImport, OtherFormatsOpenWithTheirFramesAndSizes) {
  struct Expect {
    const char* file;
    int frames, width, height;
  };
  // Frame counts and canvas sizes as the sample list describes the files
  // (cursors: one frame per step; icons: one per image, the canvas the
  // largest; TIFF: one per page; metafile bounds inclusive).
  const Expect expects[] = {
      {"tiff/pillow-multipage.tiff", 3, 20, 20},
      {"psd/pillow-negative_layer_count.psd", 1, 100, 100},
      {"ani/gdkpb-test-animation.ani", 18, 48, 48},
      {"cur/webamp-AfterShock_Digital_2003-close.cur", 16, 32, 32},
      {"ico/imagers-multiple_entries_with_different_bit_depth.ico", 9, 48, 48},
      {"wmf/dtformats-grid.wmf", 1, 94, 94},
      {"emf/dtformats-Memo.emf", 1, 1037, 1265},
  };
  std::vector<std::string> failures;
  for (const Expect& e : expects) {
    const std::string path = CorpusDir() + "/" + e.file;
    if (!fs::exists(path)) continue;
    CLoopwrightDoc doc(app, prompt);
    if (!doc.OnOpenDocument(path)) {
      failures.push_back(std::string(e.file) + ": does not open (" + doc.m_strLastError + ")");
      continue;
    }
    if (doc.GetFrameCount() != e.frames || doc.m_nWidth != e.width || doc.m_nHeight != e.height) {
      failures.push_back(std::string(e.file) + ": " + std::to_string(doc.GetFrameCount()) + " frames " +
                         std::to_string(doc.m_nWidth) + "x" + std::to_string(doc.m_nHeight));
      continue;
    }
    // Every frame composes at canvas size.
    for (int f = 0; f < doc.GetFrameCount(); ++f)
      if (!RenderFrame(doc, *doc.GetFrame(f))) failures.push_back(std::string(e.file) + ": frame not rendered");
  }
  std::string all;
  for (const auto& f : failures) all += "\n  " + f;
  EXPECT_TRUE(failures.empty()) << all;
}
