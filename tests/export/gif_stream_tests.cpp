// The streamed GIF export: the two-pass and streamed entry builders against
// the staged one, and the size estimate against the file the export writes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "export/export_dispatch.h"
#include "export/gif_frame_stream.h"
#include "export/gif_pipeline.h"
#include "export/size_estimate.h"
#include "export_test_util.h"

using namespace export_test;

namespace {

// A picture with `colours` distinct colours spread over all three channels.
DibPtr Many(LONG w, LONG h, int colours, int seed, BYTE alpha = 255) {
  DibPtr d = Solid(w, h, 0, alpha);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      const int k = int((x * 13 + y * 29 + seed * 7) % colours);
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(k & 0x3F) * 4;
      p[1] = BYTE((k >> 6) & 0x1F) * 8;
      p[2] = BYTE(200 - (k % 97));
    }
  return d;
}

// The animations the cases use: a sprite crossing a still background, with
// the given colour counts; `holes` adds a frame where part of the canvas is
// bare and a wholly empty frame.
struct Shape {
  const char* what;
  int backgroundColours, spriteColours;
  bool holes;
  int ditherMode;
};

void Build(CGifImage& model, const Shape& s) {
  ModelBuilder b(model, 48, 36);
  const int bg = b.AddObject(Many(s.holes ? 30 : 48, s.holes ? 20 : 36, s.backgroundColours, 1));
  const int sprite = b.AddObject(Many(9, 7, s.spriteColours, 5));
  const int ghost = b.AddObject(Solid(6, 6, RGB(10, 200, 30), 60));  // partly transparent: matte blend
  for (int i = 0; i < 6; ++i)
    b.AddFrame(WORD(5 + i), {{bg, {s.holes ? 4 : 0, s.holes ? 3 : 0}}, {sprite, {LONG(3 + 6 * i), LONG(2 + 4 * i)}},
                             {ghost, {LONG(40 - 5 * i), 20}}});
  b.AddFrame(5, {{bg, {s.holes ? 4 : 0, s.holes ? 3 : 0}}, {sprite, {3, 2}}});  // repeats an earlier frame
  if (s.holes) {
    b.AddFrame(7, {{sprite, {30, 20}}});
    b.AddFrame(7, {});
  }
  model.m_nOutputReduction = s.ditherMode;
  model.m_nOutputQuality = 80;
}

const Shape kShapes[] = {
    {"few colours", 12, 5, false, 0},
    {"many colours, octree", 700, 40, false, 0},
    {"holes and an empty frame", 30, 9, true, 0},
    {"many colours with holes", 900, 60, true, 0},
    {"ordered dither", 700, 40, true, 1},
    {"error diffusion", 700, 40, false, 2},
};

bool SameDib(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  if (!a || !b) return a == b;
  if (DibWidth(a) != DibWidth(b) || DibHeight(a) != DibHeight(b) || a->biBitCount != b->biBitCount ||
      DibPaletteEntries(a) != DibPaletteEntries(b))
    return false;
  if (std::memcmp(DibPalette(a), DibPalette(b), DibPaletteEntries(a) * sizeof(RGBQUAD)) != 0) return false;
  const std::size_t rowBytes = (std::size_t(DibWidth(a)) * a->biBitCount + 7) / 8;
  for (LONG y = 0; y < DibHeight(a); ++y)
    if (std::memcmp(DibRow(a, y), DibRow(b, y), rowBytes) != 0) return false;
  return true;
}

void ExpectSameEntries(const CGifOptimizeResult& got, const CGifOptimizeResult& want) {
  EXPECT_EQ(got.tableSize, want.tableSize);
  EXPECT_EQ(got.transparentIndex, want.transparentIndex);
  ASSERT_EQ(got.entries.size(), want.entries.size());
  for (std::size_t i = 0; i < want.entries.size(); ++i) {
    const CFrameOptimal &a = want.entries[i], &b = got.entries[i];
    EXPECT_EQ(b.frame, a.frame) << i;
    EXPECT_EQ(std::vector<int>({int(b.x), int(b.y), b.delay, b.graphicControl, b.descriptor}),
              std::vector<int>({int(a.x), int(a.y), a.delay, a.graphicControl, a.descriptor}))
        << i;
    EXPECT_TRUE(SameDib(b.image.get(), a.image.get())) << "picture of entry " << i;
    EXPECT_TRUE(SameDib(b.mask.get(), a.mask.get())) << "mask of entry " << i;
  }
}

TEST(GifStream, StreamedRunEqualsTheStagesOverAList) {
  // The two-pass entry builder must equal the staged one; Run merges and
  // differences each entry as it comes, the stages do it over the whole
  // list. Every disposal rule and the backdrop views must agree.
  for (const Shape& s : kShapes) {
    for (int variant = 0; variant < 3; ++variant) {
      SCOPED_TRACE(testing::Message() << s.what << ", variant " << variant);
      CGifImage model;
      Build(model, s);
      CGifOptimizeOptions options = GifOptionsFromModel(model);
      options.forbidRestorePrevious = variant == 1;
      options.opaqueBackdrop = variant == 2;
      options.backdropColour = RGB(0, 0, 255);
      CGifFrameOptimizer optimizer(model, options);
      CGifOptimizeResult streamed, staged, twoPass;
      ASSERT_TRUE(optimizer.BuildEntries(twoPass, nullptr));
      ASSERT_TRUE(optimizer.BuildPalette(twoPass, nullptr));
      ASSERT_TRUE(optimizer.Run(streamed, nullptr));
      ASSERT_TRUE(optimizer.BuildIndexedEntries(staged, nullptr));
      EXPECT_EQ(staged.colorsUsed, twoPass.colorsUsed);
      ExpectSameEntries(staged, twoPass);
      optimizer.MergeIdentical(staged, nullptr);
      ASSERT_TRUE(optimizer.DisposeFrames(staged, nullptr));
      optimizer.FinishTable(staged);
      EXPECT_EQ(streamed.backgroundIndex, staged.backgroundIndex);
      EXPECT_EQ(streamed.backdropKept, staged.backdropKept);
      EXPECT_EQ(streamed.entryTransparent, staged.entryTransparent);
      ExpectSameEntries(streamed, staged);
    }
  }
}

class GifStreamExport : public DocTest {};

TEST_F(GifStreamExport, EstimateEqualsTheWrittenFile) {
  const struct {
    Shape shape;
    int level, lossy;
    bool globalPalette;
  } cases[] = {
      {kShapes[0], 2, 0, false},  {kShapes[2], 1, 0, false}, {kShapes[1], 2, 0, false}, {kShapes[3], 3, 0, false},
      {kShapes[3], 2, 0, true},   {kShapes[3], 2, 12, false}, {kShapes[0], 2, 12, false},
  };
  int local = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.shape.what << ", level " << c.level << ", lossy " << c.lossy
                                    << (c.globalPalette ? ", one palette" : ""));
    CGifImage model;
    Build(model, c.shape);
    CExportSettings settings;
    settings.gifLevel = c.level;
    settings.gifLossy = c.lossy;
    settings.globalPalette = c.globalPalette;
    CGifExportMeasure measure;
    const long long estimate = MeasureGifExport(model, settings, measure, nullptr);
    ASSERT_GT(estimate, 0);
    local += measure.localTables;
    CLoopwrightDoc doc(app, prompt);
    doc.TakeOver(model);
    const std::string out = dir.File("estimate.gif");
    std::string reason;
    ASSERT_TRUE(ExportAnimationFile(doc, out, nullptr, settings, &reason)) << reason;
    EXPECT_EQ((long long)std::filesystem::file_size(out), estimate);
  }
  // Both writers are measured: a table per frame and one table for all.
  EXPECT_GT(local, 0);
  EXPECT_LT(local, int(std::size(cases)));
}

}  // namespace
