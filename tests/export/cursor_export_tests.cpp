// Animated cursors, and per-frame pictures (names, formats, remembered filter).
#include <gtest/gtest.h>

#include <set>

#include "companions/imageio/tev_image_io.h"
#include "export/cursor_export.h"
#include "export/export_dispatch.h"
#include "export/picture_export.h"
#include "export_test_util.h"

using namespace export_test;
using namespace TevImageIO;

namespace {

using CursorExport = DocTest;

bool MaskBit(const BITMAPINFOHEADER* m, LONG x, LONG y) { return (DibRow(m, y)[x >> 3] >> (7 - (x & 7))) & 1; }

TEST_F(CursorExport, AnimatedCursorBlocksShareTheHotSpotAndKeepEachDelay) {
  CLoopwrightDoc doc(app, prompt);
  ModelBuilder b(doc, 32, 32);
  const int o = b.AddObject(Pattern(20, 20, 9, 0));
  b.AddFrame(10, {{o, {0, 0}}});
  b.AddFrame(20, {{o, {4, 4}}});
  b.AddFrame(35, {{o, {8, 8}}});
  // The written file reads back with the same steps.
  const std::string file = dir.File("a.ani");
  std::string reason;
  CExportSettings settings;
  settings.hotSpots = {POINT{3, 9}};
  ASSERT_TRUE(ExportAnimationFile(doc, file, nullptr, settings, &reason)) << reason;
  CTevImageInfoPack back;
  back.path = file;
  ASSERT_EQ(LoadImageW(back, nullptr, nullptr), 0) << back.errorText;
  ASSERT_EQ(back.BlockCount(), 3u);
  const WORD delays[3] = {10, 20, 35};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back.BlockAt(i)->delay, delays[i]);
    EXPECT_EQ(back.BlockAt(i)->hotSpotX, 3);
    EXPECT_EQ(back.BlockAt(i)->hotSpotY, 9);
  }
  // Frame 1 is transparent above and left of (4, 4).
  EXPECT_FALSE(MaskBit(back.BlockAt(1)->mask.get(), 2, 2));
  EXPECT_TRUE(MaskBit(back.BlockAt(1)->mask.get(), 5, 5));
}

TEST_F(CursorExport, FramePicturesAreNumberedToTheFrameCountAndRememberTheFormat) {
  EXPECT_EQ(FrameFileName("f", 3, 9, "png"), "f3.png");
  EXPECT_EQ(FrameFileName("f", 3, 12, "png"), "f03.png");
  EXPECT_EQ(FrameFileName("f", 12, 12, "png"), "f12.png");
  CLoopwrightDoc doc(app, prompt);
  ModelBuilder b(doc, 20, 12);
  const int o = b.AddObject(Pattern(20, 12, 7, 0));
  for (int i = 0; i < 12; ++i) b.AddFrame(10, {{o, {LONG(i), 0}}});
  const std::vector<std::string> exts = {"gif", "jpg", "png", "psd", "bmp", "pcx", "tga", "tiff", "ico", "cur", "ani"};
  for (std::size_t k = 0; k < exts.size(); ++k) {
    std::string failed, reason;
    ASSERT_TRUE(ExportImageFrames(doc, dir.File("pic_"), exts[k], nullptr, &failed, &reason)) << exts[k] << " " << reason;
    EXPECT_EQ(app.Pref("CurrentFilter"), int(k) + 1);
    for (int i : {1, 12}) {
      CTevImageInfoPack back;
      back.path = FrameFileName(dir.File("pic_"), i, 12, exts[k]);
      // PCX and TGA have no signature: name the format.
      auto options = CTevImgImportOptions::NewImportOptions(exts[k] == "pcx" ? IMAGE_FORMAT_PCX : IMAGE_FORMAT_TGA);
      ASSERT_EQ(LoadImageW(back, exts[k] == "pcx" || exts[k] == "tga" ? options.get() : nullptr, nullptr), 0)
          << back.path << ": " << back.errorText;
      // GIF frames are cropped to their opaque part inside the canvas.
      EXPECT_EQ(exts[k] == "gif" ? back.width : DibWidth(back.picture.get()), 20) << back.path;
    }
  }
  std::string failed, reason;
  EXPECT_FALSE(ExportImageFrames(doc, dir.File("bad_"), "xyz", nullptr, &failed, &reason));
  EXPECT_FALSE(ExportImageFrames(doc, dir.File("no/such/dir_"), "png", nullptr, &failed, &reason));
  EXPECT_EQ(failed, dir.File("no/such/dir_01.png"));
}

}  // namespace
