// The streamed GIF export: the two-pass entry builder against the staged
// one, the run-based colour picking and mapping against the per-picture
// calls, the ordered two-thread producer, and the size estimate against the
// file the export writes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>

#include "export/color_quantizer.h"
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

TEST(GifStream, TwoPassEntriesEqualTheStagedOnes) {
  for (const Shape& s : kShapes) {
    SCOPED_TRACE(s.what);
    CGifImage model;
    Build(model, s);
    CGifFrameOptimizer optimizer(model, GifOptionsFromModel(model));
    CGifOptimizeResult staged, streamed;
    ASSERT_TRUE(optimizer.BuildEntries(staged, nullptr));
    ASSERT_TRUE(optimizer.BuildPalette(staged, nullptr));
    ASSERT_TRUE(optimizer.BuildIndexedEntries(streamed, nullptr));
    EXPECT_EQ(streamed.colorsUsed, staged.colorsUsed);
    EXPECT_EQ(streamed.tableSize, staged.tableSize);
    EXPECT_EQ(streamed.transparentIndex, staged.transparentIndex);
    ASSERT_EQ(streamed.entries.size(), staged.entries.size());
    for (std::size_t i = 0; i < staged.entries.size(); ++i) {
      const CFrameOptimal &a = staged.entries[i], &b = streamed.entries[i];
      EXPECT_EQ(b.frame, a.frame) << i;
      EXPECT_EQ(std::vector<int>({int(b.x), int(b.y), b.delay, b.graphicControl, b.descriptor}),
                std::vector<int>({int(a.x), int(a.y), a.delay, a.graphicControl, a.descriptor}))
          << i;
      EXPECT_TRUE(SameDib(b.image.get(), a.image.get())) << "picture of entry " << i;
      EXPECT_TRUE(SameDib(b.mask.get(), a.mask.get())) << "mask of entry " << i;
    }
  }
}

void ExpectSameResult(const CGifOptimizeResult& got, const CGifOptimizeResult& want) {
  EXPECT_EQ(got.tableSize, want.tableSize);
  EXPECT_EQ(got.transparentIndex, want.transparentIndex);
  EXPECT_EQ(got.backgroundIndex, want.backgroundIndex);
  EXPECT_EQ(got.backdropKept, want.backdropKept);
  EXPECT_EQ(got.entryTransparent, want.entryTransparent);
  ASSERT_EQ(got.entries.size(), want.entries.size());
  for (std::size_t i = 0; i < want.entries.size(); ++i) {
    const CFrameOptimal &a = want.entries[i], &b = got.entries[i];
    EXPECT_EQ(std::vector<int>({int(b.x), int(b.y), b.delay, b.graphicControl, b.descriptor}),
              std::vector<int>({int(a.x), int(a.y), a.delay, a.graphicControl, a.descriptor}))
        << i;
    EXPECT_TRUE(SameDib(b.image.get(), a.image.get())) << "picture of entry " << i;
    EXPECT_TRUE(SameDib(b.mask.get(), a.mask.get())) << "mask of entry " << i;
  }
}

TEST(GifStream, StreamedRunEqualsTheStagesOverAList) {
  // Run merges and differences each entry as it comes; the stages do it
  // over the whole list. Every disposal rule and the backdrop views must agree.
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
      CGifOptimizeResult streamed, staged;
      ASSERT_TRUE(optimizer.Run(streamed, nullptr));
      ASSERT_TRUE(optimizer.BuildIndexedEntries(staged, nullptr));
      optimizer.MergeIdentical(staged, nullptr);
      ASSERT_TRUE(optimizer.DisposeFrames(staged, nullptr));
      optimizer.FinishTable(staged);
      ExpectSameResult(streamed, staged);
    }
  }
}

// Pictures of one size whose pixels change a little from one to the next,
// some hidden by a mask that changes too.
std::vector<std::pair<DibPtr, DibPtr>> Sequence(int colours) {
  std::vector<std::pair<DibPtr, DibPtr>> seq;
  for (int i = 0; i < 5; ++i) {
    DibPtr img = Many(20, 12, colours, 0);
    for (int k = 0; k < 6 * i; ++k) {  // a growing patch of new colours
      BYTE* p = DibRow(img.get(), (k * 5) % 12) + 4 * ((k * 7 + i) % 20);
      p[0] = BYTE(17 * i + k);
      p[1] = BYTE(90 + i);
      p[2] = BYTE(3 * k);
    }
    DibPtr mask(DibAlloc(20, 12, 1, 2));
    DibPalette(mask.get())[1] = RGBQUAD{255, 255, 255, 0};
    for (LONG y = 0; y < 12; ++y)
      for (LONG x = 0; x < 20; ++x)
        if ((x + y + i) % 7 != 0) DibRow(mask.get(), y)[x >> 3] |= BYTE(0x80 >> (x & 7));
    seq.emplace_back(std::move(img), i == 2 ? nullptr : std::move(mask));
  }
  return seq;
}

TEST(GifStream, RunPickingAndMappingEqualThePerPictureCalls) {
  // Capacities under and over the colour count: the exact table and the
  // octree (whose merges depend on the pixel counts) must both agree.
  const struct {
    int colours, capacity;
  } cases[] = {{30, 255}, {30, 16}, {400, 255}, {400, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.colours << " colours, capacity " << c.capacity);
    const auto seq = Sequence(c.colours);
    CTevQColorQuantizer plain(c.capacity), runs(c.capacity);
    CPixelRuns picked;
    for (const auto& [img, mask] : seq) {
      ASSERT_TRUE(plain.PickColorBitmap(img.get(), mask.get(), nullptr));
      ASSERT_TRUE(runs.PickColorFrame(img.get(), mask.get(), picked, nullptr));
    }
    runs.FlushColourRuns(picked);
    EXPECT_EQ(runs.DistinctColours(), plain.DistinctColours());
    ASSERT_TRUE(plain.FillPalette());
    ASSERT_TRUE(runs.FillPalette());
    ASSERT_EQ(runs.Palette().size(), plain.Palette().size());
    EXPECT_EQ(std::memcmp(runs.Palette().data(), plain.Palette().data(), plain.Palette().size() * sizeof(RGBQUAD)), 0);
    plain.SetOutputTable(256, RGBQUAD{1, 2, 3, 0});
    runs.SetOutputTable(256, RGBQUAD{1, 2, 3, 0});
    CPixelRuns mapped;
    for (std::size_t i = 0; i < seq.size(); ++i) {
      BITMAPINFOHEADER *a = nullptr, *b = nullptr;
      ASSERT_TRUE(plain.DitherBitmap(seq[i].first.get(), seq[i].second.get(), &a, DITHER_NONE, 100, nullptr));
      ASSERT_TRUE(runs.MapFrame(seq[i].first.get(), seq[i].second.get(), &b, mapped, nullptr));
      DibPtr ownA(a), ownB(b);
      EXPECT_TRUE(SameDib(b, a)) << "picture " << i;
    }
  }
  // A picture of another size cannot join a run.
  CTevQColorQuantizer q(16);
  CPixelRuns run;
  DibPtr small = Many(4, 4, 3, 0), big = Many(5, 4, 3, 0);
  EXPECT_TRUE(q.PickColorFrame(small.get(), nullptr, run, nullptr));
  EXPECT_FALSE(q.PickColorFrame(big.get(), nullptr, run, nullptr));
}

TEST(GifStream, ProducerKeepsOrderAndStops) {
  // stopAt: the item whose make (or use) fails; -1 none.
  const struct {
    int count, makeFails, useFails;
    bool ok;
    int used;
  } cases[] = {{0, -1, -1, true, 0},  {1, -1, -1, true, 1}, {40, -1, -1, true, 40},
               {40, 0, -1, false, 0}, {40, 17, -1, false, 17}, {40, -1, 3, false, 4}, {1, 0, -1, false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " items, make fails at " << c.makeFails << ", use at "
                                    << c.useFails);
    std::atomic<int> made{0};
    std::vector<int> seen;
    const std::function<bool(int, std::vector<int>&)> make = [&](int i, std::vector<int>& v) {
      ++made;
      v.assign(std::size_t(100 + i), i);  // a payload that must arrive whole
      return i != c.makeFails;
    };
    const std::function<bool(int, std::vector<int>&)> use = [&](int i, std::vector<int>& v) {
      EXPECT_EQ(v.size(), std::size_t(100 + i));
      EXPECT_EQ(v.empty() ? -1 : v.back(), i);
      seen.push_back(i);
      return i != c.useFails;
    };
    EXPECT_EQ(ProduceInOrder<std::vector<int>>(c.count, make, use), c.ok);
    ASSERT_EQ(int(seen.size()), c.used);
    for (int i = 0; i < c.used; ++i) EXPECT_EQ(seen[std::size_t(i)], i);
    // The worker runs at most a few items past the last one used.
    EXPECT_LE(made.load(), std::min(c.count, c.used + 4));
  }
}

TEST(GifStream, ProducerSurvivesThrowingWork) {
  // Out of memory while making an item (on the worker) is a failed item;
  // thrown while using one, it reaches the caller after the worker stopped.
  const struct {
    int count, makeThrows, useThrows;
    bool throwsOut;
    int used;
  } cases[] = {{30, 0, -1, false, 0}, {30, 12, -1, false, 12}, {30, -1, 0, true, 0}, {30, -1, 20, true, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "make throws at " << c.makeThrows << ", use at " << c.useThrows);
    int used = 0;
    const std::function<bool(int, int&)> make = [&](int i, int& v) {
      if (i == c.makeThrows) throw std::bad_alloc();
      v = i;
      return true;
    };
    const std::function<bool(int, int&)> use = [&](int i, int& v) {
      if (i == c.useThrows) throw std::bad_alloc();
      EXPECT_EQ(v, i);
      ++used;
      return true;
    };
    bool threw = false, ok = true;
    try {
      ok = ProduceInOrder<int>(c.count, make, use);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    EXPECT_EQ(threw, c.throwsOut);
    if (!threw) {
      EXPECT_FALSE(ok);
    }
    EXPECT_EQ(used, c.used);
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
