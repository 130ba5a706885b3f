// Frame preparation of Flash movies: the rate rule, cropping, repeats and
// differencing, and movies read back by the independent reader.
#include <gtest/gtest.h>

#include <algorithm>

#include "export/swf_frame_prep.h"
#include "export_test_util.h"
#include "swf_test_util.h"

namespace {

using export_test::Gradient;
using export_test::ModelBuilder;
using export_test::Solid;

std::vector<CSWFFrameOptimal> Prepare(const CGifImage& model) {
  CSwfEncoder encoder;
  CFlashOptimal prep(model, encoder);
  EXPECT_TRUE(prep.Run(nullptr));
  return std::move(prep.Entries());
}

TEST(FlashFrameRate, AverageDelayRoundedAndClamped) {
  const struct { std::vector<std::uint16_t> delays; int rate; } cases[] = {
      {{10, 10, 40}, 5}, {{0}, 30}, {{0, 0, 0}, 30}, {{3000}, 1}, {{13}, 8}, {{7, 7}, 14}, {{3}, 30}, {{100, 0}, 2},
  };
  for (const auto& c : cases) {
    CGifImage model;
    ModelBuilder b(model, 4, 4);
    for (auto d : c.delays) b.AddFrame(d, {});
    EXPECT_EQ(FlashFrameRate(model), c.rate) << c.delays.size() << " frames, first delay " << c.delays[0];
  }
}

TEST(FlashFrameRate, ExactTimingRepeatsFramesAtACommonRate) {
  const struct { std::vector<int> delays; int rate; std::vector<int> counts; } cases[] = {
      {{10, 10, 40}, 10, {1, 1, 4}},
      {{5, 15}, 20, {1, 3}},
      {{50, 100, 25}, 4, {2, 4, 1}},
      {{0, 0}, 30, {1, 1}},
  };
  for (const auto& c : cases) {
    const int rate = FlashExactRate(c.delays);
    EXPECT_EQ(rate, c.rate);
    EXPECT_EQ(FlashFrameCounts(c.delays, rate), c.counts);
  }
  // Uneven delays: every frame within half a movie frame of its delay.
  const std::vector<int> uneven = {7, 23, 110, 3};
  const int rate = FlashExactRate(uneven);
  const auto counts = FlashFrameCounts(uneven, rate);
  for (std::size_t i = 0; i < uneven.size(); ++i)
    EXPECT_LE(std::abs(counts[i] * 1000.0 / rate - uneven[i] * 10.0), 500.0 / rate + 1e-9) << i;
}

TEST(FlashFramePrep, CropRepeatAndDifference) {
  CGifImage model;
  ModelBuilder b(model, 200, 200);
  const int back = b.AddObject(Gradient(200, 200));
  const int patch = b.AddObject(Solid(10, 10, 0x0000FF));
  const int sprite = b.AddObject(Solid(8, 6, 0x00FF00));
  b.AddFrame(10, {{back, {0, 0}}});
  b.AddFrame(10, {{back, {0, 0}}, {patch, {50, 60}}});  // a 10 x 10 change
  b.AddFrame(10, {{back, {0, 0}}, {patch, {50, 60}}});  // identical
  b.AddFrame(10, {{sprite, {5, 7}}});                   // cropped to its opaque part
  b.AddFrame(10, {{sprite, {9, 7}}});                   // same picture, moved: not a repeat
  b.AddFrame(10, {});                                   // nothing opaque
  const auto entries = Prepare(model);
  ASSERT_EQ(entries.size(), 6u);
  const struct { bool repeat, replace; int x, y; LONG w, h; int bits; } want[] = {
      {false, true, 0, 0, 200, 200, 32}, {false, false, 50, 60, 10, 10, 32}, {true, true, 0, 0, 0, 0, 0},
      {false, true, 5, 7, 8, 6, 32},     {false, true, 9, 7, 8, 6, 32},      {false, true, 0, 0, 200, 200, 1},
  };
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    const auto& w = want[i];
    EXPECT_EQ(e.repeat, w.repeat) << i;
    if (w.repeat) {
      EXPECT_FALSE(e.image) << i;
      continue;
    }
    ASSERT_TRUE(e.image) << i;
    EXPECT_EQ(e.replace, w.replace) << i;
    EXPECT_EQ(e.x, w.x) << i;
    EXPECT_EQ(e.y, w.y) << i;
    EXPECT_EQ(DibWidth(e.image.get()), w.w) << i;
    EXPECT_EQ(DibHeight(e.image.get()), w.h) << i;
    EXPECT_EQ(int(e.image->biBitCount), w.bits) << i;
    EXPECT_FALSE(e.mask) << i;  // every kept part here is fully opaque
  }
  // The empty frame is a white picture.
  std::uint8_t px[4 * 200];
  ASSERT_TRUE(SwfRowToBgra(entries[5].image.get(), 199, px));
  EXPECT_EQ(std::count(px, px + 4 * 200, 255), 4 * 200);
}

// Models whose movies the reader rebuilds frame by frame.
struct MovieCase {
  const char* name;
  LONG w, h;
  void (*build)(ModelBuilder&);
  bool jpeg;  // also with JPEG bitmaps
};

void Sprites(ModelBuilder& b) {
  const int back = b.AddObject(Gradient(60, 40));
  const int red = b.AddObject(Solid(12, 9, 0x2020E0));
  const int blue = b.AddObject(Solid(7, 7, 0xE02020));
  b.AddFrame(10, {{red, {3, 4}}});
  b.AddFrame(20, {{red, {20, 10}}, {blue, {40, 30}}});
  b.AddFrame(20, {{red, {20, 10}}, {blue, {40, 30}}});
  b.AddFrame(10, {{back, {0, 0}}, {red, {20, 10}}});
  b.AddFrame(10, {{back, {0, 0}}, {red, {21, 10}}, {blue, {0, 0}}});
  b.AddFrame(10, {});
  b.AddFrame(10, {{blue, {53, 33}}});
}

void BigStage(ModelBuilder& b) {
  const LONG w = b.model.m_nWidth, h = b.model.m_nHeight;
  const int back = b.AddObject(Solid(w, h, 0xC08040));
  const int sprite = b.AddObject(Gradient(30, 20));
  // The far corner checks the stage and shape rectangles and the long edges.
  b.AddFrame(10, {{back, {0, 0}}, {sprite, {w - 40, h - 30}}, {sprite, {3, 2}}});
}

TEST(FlashMovie, ReaderRebuildsEveryFrame) {
  if (!swf_test::HavePython()) GTEST_SKIP() << "needs /usr/bin/python3 with PIL for the SWF reader";
  const MovieCase cases[] = {
      {"sprites", 60, 40, Sprites, true},
      {"stage 1000x700", 1000, 700, BigStage, true},
      {"stage 4000x300", 4000, 300, BigStage, false},
  };
  for (const auto& c : cases) {
    CGifImage model;
    ModelBuilder b(model, c.w, c.h);
    c.build(b);
    TempDir dir;
    ASSERT_TRUE(swf_test::WriteExpectedFrames(model, dir.Path()));
    for (bool lossless : {true, false}) {
      if (!lossless && !c.jpeg) continue;
      SCOPED_TRACE(std::string(c.name) + (lossless ? " lossless" : " jpeg"));
      CFlashSettings settings;
      settings.lossless = lossless;
      settings.quality = 90;
      const std::string movie = dir.File("movie.swf");
      std::string reason;
      ASSERT_TRUE(ExportFlashMovie(model, movie, settings, nullptr, &reason)) << reason;
      const auto info = swf_test::ReadMovie(movie, dir.Path());
      ASSERT_FALSE(info.contains("error")) << info.dump();
      EXPECT_EQ(info["version"], 4);
      EXPECT_EQ(info["width"], c.w);
      EXPECT_EQ(info["height"], c.h);
      ASSERT_EQ(info["frames"].size(), std::size_t(model.GetFrameCount()));
      for (std::size_t i = 0; i < info["frames"].size(); ++i) {
        const auto& f = info["frames"][i];
        if (lossless) EXPECT_EQ(f["max"], 0) << "frame " << i;
        else EXPECT_GT(f["psnr"].get<double>(), 35.0) << "frame " << i;
      }
    }
  }
}

}  // namespace
