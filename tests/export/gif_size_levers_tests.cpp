// GIF size levers: the global table ordered by use with a code size per
// image, and the lossy LZW mode. Every export is opened again and compared with the model
// (ImageMagick's coalesce too where installed).
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/loopwright_doc.h"
#include "app/prompt.h"
#include "companions/imageio/gif_lzw.h"
#include "export/export_dispatch.h"
#include "export_test_util.h"

using namespace export_test;

namespace {

// The minimum code size of each image of a GIF file.
std::vector<int> CodeSizes(const std::vector<unsigned char>& f) {
  std::vector<int> out;
  std::size_t at = 13 + ((f[10] & 0x80) ? 3u << ((f[10] & 7) + 1) : 0u);
  while (at < f.size() && f[at] != 0x3B) {
    if (f[at] == 0x21 && at + 1 < f.size()) {
      at += 2;
    } else if (f[at] == 0x2C && at + 10 < f.size()) {
      const unsigned char packed = f[at + 9];
      at += 10 + ((packed & 0x80) ? 3u << ((packed & 7) + 1) : 0u);
      if (at >= f.size()) break;
      out.push_back(f[at]);
      ++at;
    } else {
      break;
    }
    while (at < f.size() && f[at] != 0) at += 1 + f[at];
    ++at;
  }
  return out;
}

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

// A many-coloured first frame, then frames that change a small area in two
// colours: those images need only 2-bit codes once the common colours come
// first; the file must still show the same frames.
TEST_F(GifSizeLevers, SmallChangesGetNarrowCodesAndStayExact) {
  struct Case {
    int colours;  // in the first frame
    int level;
  };
  for (const Case c : {Case{200, 2}, Case{120, 3}, Case{40, 1}}) {
    CGifImage model;
    ModelBuilder b(model, 40, 20);
    const int back = b.AddObject(Noisy(40, 20, 0, c.colours, 7));
    const int spot = b.AddObject(Noisy(6, 4, c.colours - 2, 2, 3));
    b.AddFrame(10, {{back, POINT{0, 0}}});
    b.AddFrame(10, {{back, POINT{0, 0}}, {spot, POINT{5, 5}}});
    b.AddFrame(10, {{back, POINT{0, 0}}, {spot, POINT{20, 9}}});
    CLoopwrightDoc doc(app, prompt);
    CExportSettings settings;
    settings.gifLevel = c.level;
    const std::string out = Export(model, doc, settings, "narrow.gif");
    const auto sizes = CodeSizes(ReadBytes(out));
    ASSERT_EQ(sizes.size(), 3u) << c.colours;
    EXPECT_GE(sizes[0], 6) << c.colours;
    for (std::size_t i = 1; i < sizes.size(); ++i) EXPECT_EQ(sizes[i], 2) << c.colours << " image " << i;
    ExpectFramesEqual(Reread(out), ComposedFrames(doc), "ours");
    if (HaveImageMagick())
      ExpectFramesEqual(MagickFrames(out, 40, 20, dir.Path()), ComposedFrames(doc), "magick");
  }
}

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
