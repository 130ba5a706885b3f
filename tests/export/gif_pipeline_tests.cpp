// The GIF optimizer: palette sizes, merging, disposal choice, and exports
// decoded again by our reader and ImageMagick, compared frame by frame.
#include <gtest/gtest.h>

#include <set>

#include "export/color_quantizer.h"
#include "export/export_dispatch.h"
#include "export/gif_pipeline.h"
#include "export_test_util.h"

using namespace export_test;

namespace {

CGifOptimizeResult RunPipeline(const CGifImage& model, CGifOptimizeOptions options = {}) {
  CGifOptimizeResult result;
  CGifFrameOptimizer optimizer(model, options);
  EXPECT_TRUE(optimizer.Run(result, nullptr));
  return result;
}

// The optimizer's result for a w x h canvas with one frame showing pic at `at`.
CGifOptimizeResult OneFrame(LONG w, LONG h, DibPtr pic, POINT at) {
  CGifImage model;
  ModelBuilder b(model, w, h);
  const int obj = b.AddObject(std::move(pic));
  b.AddFrame(10, {{obj, at}});
  return RunPipeline(model);
}

TEST(GifPipeline, TableSizeAndTransparentIndexFollowTheColoursUsed) {
  // One frame on a 40 x 30 canvas, cropped to its opaque part; the table
  // doubles when the transparent index does not fit beside the colours.
  const struct {
    LONG w, h;
    int colours;
    POINT at;
    int tableSize, transparent;
  } cases[] = {{40, 30, 200, {0, 0}, 256, -1}, {20, 10, 8, {5, 7}, 16, 8}, {20, 10, 16, {0, 0}, 32, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.colours);
    const CGifOptimizeResult r = OneFrame(40, 30, Pattern(c.w, c.h, c.colours, 0), c.at);
    ASSERT_EQ(r.entries.size(), 1u);
    const auto& e = r.entries[0];
    EXPECT_EQ(r.colorsUsed, c.colours);
    EXPECT_EQ(r.tableSize, c.tableSize);
    EXPECT_EQ(r.transparentIndex, c.transparent);
    EXPECT_EQ(std::vector<long>({e.x, e.y, DibWidth(e.image.get()), DibHeight(e.image.get())}),
              std::vector<long>({c.at.x, c.at.y, c.w, c.h}));
  }
}

TEST(GifPipeline, IdenticalNeighboursMergeWithTheirDelaysAdded) {
  CGifImage model;
  ModelBuilder b(model, 16, 16);
  const int obj = b.AddObject(Pattern(16, 16, 5, 0));
  b.AddFrame(10, {{obj, {0, 0}}});
  b.AddFrame(20, {{obj, {0, 0}}});
  b.AddFrame(30, {{obj, {0, 0}}});
  CGifOptimizeResult r = RunPipeline(model);
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].delay, 60);
  // Delays that would overflow 16 bits are not merged.
  CGifImage big;
  ModelBuilder bb(big, 16, 16);
  const int o = bb.AddObject(Pattern(16, 16, 5, 0));
  bb.AddFrame(40000, {{o, {0, 0}}});
  bb.AddFrame(40000, {{o, {0, 0}}});
  EXPECT_EQ(RunPipeline(big).entries.size(), 2u);
}

// A sprite moving over a textured background: restore-to-previous is the
// natural choice.
void MovingSprite(CGifImage& model, int frames) {
  ModelBuilder b(model, 64, 48);
  const int bg = b.AddObject(Pattern(64, 48, 40, 1));
  const int sprite = b.AddObject(Solid(10, 10, RGB(250, 10, 10)));
  b.AddFrame(5, {{bg, {0, 0}}});
  for (int i = 1; i < frames; ++i) b.AddFrame(5, {{bg, {0, 0}}, {sprite, {LONG(4 + 5 * i), LONG(3 + 3 * i)}}});
}

TEST(ColorQuantizer, ReducesToTheCapacityAndDithers) {
  DibPtr picture = Pattern(64, 64, 1000, 0);
  for (LONG y = 0; y < 64; ++y)
    for (LONG x = 0; x < 64; ++x) DibRow(picture.get(), y)[4 * x + 2] = BYTE(x * 4);
  for (int mode : {DITHER_NONE, DITHER_ORDERED, DITHER_ERROR_DIFFUSION}) {
    CTevQColorQuantizer q(31);
    ASSERT_TRUE(q.PickColorBitmap(picture.get(), nullptr, nullptr));
    ASSERT_TRUE(q.FillPalette());
    EXPECT_LE(q.GetLeafs(), 31);
    EXPECT_GT(q.GetLeafs(), 8);
    BITMAPINFOHEADER* out = nullptr;
    ASSERT_TRUE(q.DitherBitmap(picture.get(), nullptr, &out, mode, 100, nullptr));
    DibPtr o(out);
    // Mean error per channel stays small: the palette follows the picture.
    long error = 0;
    for (LONG y = 0; y < 64; ++y)
      for (LONG x = 0; x < 64; ++x) {
        const RGBQUAD c = DibPalette(o.get())[DibRow(o.get(), y)[x]];
        const BYTE* p = DibRow(picture.get(), y) + 4 * x;
        error += std::abs(c.rgbBlue - p[0]) + std::abs(c.rgbGreen - p[1]) + std::abs(c.rgbRed - p[2]);
        ASSERT_LT(DibRow(o.get(), y)[x], q.GetLeafs());
      }
    EXPECT_LT(error / (64 * 64 * 3), 32) << "mode " << mode;
  }
}

// Random animations: sprites with holes moving, appearing and vanishing on a
// canvas that is partly transparent.
void RandomAnimation(CGifImage& model, std::mt19937& rng, int frames) {
  ModelBuilder b(model, 48, 40);
  std::vector<int> objects;
  for (int k = 0; k < 4; ++k) {
    const LONG w = 4 + LONG(rng() % 20), h = 4 + LONG(rng() % 16);
    DibPtr pic = Pattern(w, h, 3 + int(rng() % 30), int(rng() % 100));
    for (int holes = 0; holes < 6; ++holes) DibRow(pic.get(), LONG(rng() % h))[4 * (rng() % w) + 3] = 0;
    objects.push_back(b.AddObject(std::move(pic)));
  }
  for (int i = 0; i < frames; ++i) {
    std::vector<std::pair<int, POINT>> shown;
    for (int o : objects)
      if (rng() % 3) shown.push_back({o, POINT{LONG(rng() % 40) - 6, LONG(rng() % 34) - 6}});
    b.AddFrame(std::uint16_t(2 + rng() % 30), shown);
  }
}

using GifExportRoundTrip = DocTest;

TEST_F(GifExportRoundTrip, FramesSurviveOurReaderAndImageMagickPixelForPixel) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  std::mt19937 rng(11);
  for (int round = 0; round < 12; ++round) {
    for (bool forbid : {false, true}) {
      CLoopwrightDoc doc(app, prompt);
      RandomAnimation(doc, rng, 3 + int(rng() % 6));
      if (round == 0) MovingSprite(doc, 1);  // frames sharing one static background too
      const auto original = ComposedFrames(doc);
      const std::string file = dir.File("anim.gif");
      CExportSettings settings;
      settings.forbidRestorePrevious = forbid;
      std::string reason;
      ASSERT_TRUE(ExportAnimationFile(doc, file, nullptr, settings, &reason)) << reason;

      // The size measure of the same run equals the file's size.
      CGifOptimizeResult result;
      CGifOptimizeOptions options = GifOptionsFromModel(doc);
      options.forbidRestorePrevious = forbid;
      CGifFrameOptimizer optimizer(doc, options);
      ASSERT_TRUE(optimizer.Run(result, nullptr));
      EXPECT_EQ(MeasureGifSize(result, doc, nullptr), (long long)ReadBytes(file).size());

      const auto magick = MagickFrames(file, doc.m_nWidth, doc.m_nHeight, dir.Path());
      // Merged frames appear once in the file; expand them by the original delays.
      CLoopwrightDoc back(app, prompt);
      ASSERT_TRUE(back.OnOpenDocument(file)) << back.m_strLastError;
      const auto reread = ComposedFrames(back);
      std::vector<Rgba> expected;
      for (std::size_t i = 0; i < original.size(); ++i)
        if (i == 0 || FirstDifference(original[i], original[i - 1]) >= 0) expected.push_back(original[i]);
      ExpectFramesEqual(reread, expected, "ours, round " + std::to_string(round));
      ExpectFramesEqual(magick, expected, "ImageMagick, round " + std::to_string(round));
      if (forbid) {
        for (std::size_t i = 0; i < back.m_frames.size(); ++i) EXPECT_NE(back.m_frames[i]->GetDisposal(), 3);
      }
    }
  }
}

TEST_F(GifExportRoundTrip, DelaysAndFailures) {
  CLoopwrightDoc doc(app, prompt);
  ModelBuilder b(doc, 20, 20);
  const int o = b.AddObject(Pattern(20, 20, 6, 0));
  const int s = b.AddObject(Solid(4, 4, RGB(1, 2, 3)));
  b.AddFrame(7, {{o, {0, 0}}});
  b.AddFrame(9, {{o, {0, 0}}, {s, {3, 3}}});
  const std::string file = dir.File("Loop.GiF");  // mixed-case extension
  ASSERT_TRUE(ExportAnimationFile(doc, file, nullptr));
  CLoopwrightDoc back(app, prompt);
  ASSERT_TRUE(back.OnOpenDocument(file)) << back.m_strLastError;
  std::string reason;
  ASSERT_EQ(back.GetFrameCount(), 2);
  EXPECT_EQ(back.m_frames[0]->m_nDelay, 7);
  EXPECT_EQ(back.m_frames[1]->m_nDelay, 9);

  // Failures leave an existing file as it was.
  const auto before = ReadBytes(file);
  CLoopwrightDoc empty(app, prompt);
  empty.m_nWidth = 20;
  empty.m_nHeight = 20;
  EXPECT_FALSE(ExportAnimationFile(empty, file, nullptr, {}, &reason));
  EXPECT_EQ(ReadBytes(file), before);
}

// A frame opens a hole wider than the sprite before it: the sprite's entry
// grows over the hole and is cleared, and the holed frame costs next to nothing.
TEST_F(GifExportRoundTrip, ClearingAWiderAreaThanTheLastSpriteKeepsFramesSmall) {
  CLoopwrightDoc doc(app, prompt);
  ModelBuilder b(doc, 40, 40);
  const int disc = b.AddObject(Pattern(30, 30, 12, 3));
  DibPtr holed = Pattern(30, 30, 12, 3);
  for (LONG y = 1; y < 15; ++y)
    for (LONG x = 1; x < 15; ++x) DibRow(holed.get(), y)[4 * x + 3] = 0;
  const int hole = b.AddObject(std::move(holed));
  const int sprite = b.AddObject(Solid(10, 10, RGB(250, 20, 20)));
  b.AddFrame(10, {{disc, {5, 5}}});
  b.AddFrame(10, {{disc, {5, 5}}, {sprite, {8, 8}}});
  b.AddFrame(10, {{hole, {5, 5}}});
  CGifOptimizeResult r = RunPipeline(doc);
  ASSERT_EQ(r.entries.size(), 3u);
  EXPECT_EQ(r.entries[1].Disposal(), 2);
  EXPECT_LE(DibWidth(r.entries[1].image.get()), 14);
  EXPECT_LE(DibWidth(r.entries[2].image.get()) * DibHeight(r.entries[2].image.get()), 4);

  const auto original = ComposedFrames(doc);
  const std::string file = dir.File("hole.gif");
  ASSERT_TRUE(ExportAnimationFile(doc, file, nullptr));
  CLoopwrightDoc back(app, prompt);
  ASSERT_TRUE(back.OnOpenDocument(file)) << back.m_strLastError;
  ExpectFramesEqual(ComposedFrames(back), original, "ours");
  if (HaveImageMagick()) ExpectFramesEqual(MagickFrames(file, 40, 40, dir.Path()), original, "ImageMagick");
}

}  // namespace
