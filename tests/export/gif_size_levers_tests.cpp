// The lossy LZW mode of the GIF export: every export is opened again and
// each pixel compared with the model's.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/loopwright_doc.h"
#include "app/prompt.h"
#include "companions/imageio/gif_lzw.h"
#include "export/export_dispatch.h"
#include "export_test_util.h"

using namespace export_test;

namespace {

// Colour k of a ramp whose neighbours differ by one step per channel.
COLORREF Ramp(int k) { return RGB(k & 0xFF, (k / 2) & 0xFF, 255 - (k & 0x7F)); }

// A picture of ramp colours first..first+count-1 in a noisy pattern.
DibPtr Noisy(LONG w, LONG h, int first, int count, unsigned seed) {
  DibPtr d = Solid(w, h, 0);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const COLORREF c = Ramp(first + int((x + (seed >> 16) % 3) % count));
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = GetBValue(c);
      p[1] = GetGValue(c);
      p[2] = GetRValue(c);
    }
  return d;
}

class GifSizeLevers : public ::testing::Test {
 protected:
  std::string Export(CGifImage& model, CLoopwrightDoc& doc, const CExportSettings& settings, const char* name) {
    doc.TakeOver(model);
    const std::string out = dir.File(name);
    std::string reason;
    EXPECT_TRUE(ExportAnimationFile(doc, out, nullptr, settings, &reason)) << reason;
    return out;
  }
  std::vector<Rgba> Reread(const std::string& file) {
    CLoopwrightDoc back(app, prompt);
    EXPECT_TRUE(back.OnOpenDocument(file)) << back.m_strLastError;
    return ComposedFrames(back);
  }

  CLoopwrightApp app;
  CScriptedPrompt prompt;
  TempDir dir;
};

// Lossy export through both writers (one table; a table per frame for 300
// colours): every pixel of every frame within N, transparency exact.
TEST_F(GifSizeLevers, LossyExportKeepsEveryPixelWithinN) {
  struct Case {
    int coloursEach;  // three frames of this many colours each
    int within;
  };
  for (const Case c : {Case{60, 6}, Case{100, 4}}) {
    CGifImage model;
    ModelBuilder b(model, 30, 20);
    for (int f = 0; f < 3; ++f) {
      const int o = b.AddObject(Noisy(24, 16, f * c.coloursEach, c.coloursEach, unsigned(f + 1)));
      b.AddFrame(10, {{o, POINT{f, f}}});
    }
    CLoopwrightDoc doc(app, prompt);
    CExportSettings settings;
    settings.gifLossy = c.within;
    const std::string out = Export(model, doc, settings, "lossy.gif");
    const auto want = ComposedFrames(doc);
    const auto got = Reread(out);
    ASSERT_EQ(got.size(), want.size());
    std::size_t moved = 0;  // pixels a near colour stands in for
    for (std::size_t f = 0; f < want.size(); ++f)
      for (std::size_t i = 0; i < want[f].px.size(); i += 4) {
        ASSERT_EQ(got[f].px[i + 3] >= 128, want[f].px[i + 3] >= 128) << f << " " << i / 4;
        if (want[f].px[i + 3] < 128) continue;
        for (int k = 0; k < 3; ++k)
          ASSERT_LE(std::abs(int(got[f].px[i + k]) - int(want[f].px[i + k])), c.within) << f << " " << i / 4;
        moved += !std::equal(got[f].px.begin() + long(i), got[f].px.begin() + long(i + 3), want[f].px.begin() + long(i));
      }
    EXPECT_GT(moved, 0u) << c.coloursEach;
  }
}

}  // namespace
