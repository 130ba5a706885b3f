// Re-exported GIFs against their sources written with giflib: both files
// decoded by ImageMagick (which fills the canvas with the background colour
// when the first image has no transparency) and by our reader.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include "export/export_dispatch.h"
#include "export_test_util.h"

using namespace export_test;

namespace {

struct GifImagePlan {
  int x, y, w, h;
  std::vector<GifByteType> pixels;  // w * h indexes, top row first
  int disposal = 1;
  int delay = 10;
  int transparent = -1;
};

// Writes a GIF89a with a four-colour global table (red, green, blue, black),
// the given background index, and one graphic-control extension per image.
bool WriteGif(const std::string& path, int w, int h, int background, const std::vector<GifImagePlan>& images) {
  int err = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
  if (!gif) return false;
  EGifSetGifVersion(gif, true);
  const GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 0}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  bool ok = EGifPutScreenDesc(gif, w, h, 2, background, map) == GIF_OK;
  GifFreeMapObject(map);
  for (const GifImagePlan& im : images) {
    const GifByteType gce[4] = {GifByteType((im.disposal << 2) | (im.transparent >= 0 ? 1 : 0)),
                                GifByteType(im.delay & 0xFF), GifByteType(im.delay >> 8),
                                GifByteType(im.transparent >= 0 ? im.transparent : 0)};
    ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce) == GIF_OK &&
         EGifPutImageDesc(gif, im.x, im.y, im.w, im.h, false, nullptr) == GIF_OK;
    std::vector<GifByteType> row(std::size_t(im.w));
    for (int y = 0; ok && y < im.h; ++y) {
      std::copy_n(im.pixels.begin() + long(y) * im.w, im.w, row.begin());
      ok = EGifPutLine(gif, row.data(), im.w) == GIF_OK;
    }
  }
  return EGifCloseFile(gif, &err) == GIF_OK && ok;
}

GifImagePlan Solid(int x, int y, int w, int h, GifByteType index, int disposal) {
  GifImagePlan s{x, y, w, h, std::vector<GifByteType>(std::size_t(w * h), index)};
  s.disposal = disposal;
  return s;
}

// Runs of equal frames count once: the export merges identical neighbours.
std::vector<Rgba> Distinct(std::vector<Rgba> frames) {
  std::vector<Rgba> out;
  for (auto& f : frames)
    if (out.empty() || f.px != out.back().px) out.push_back(std::move(f));
  return out;
}

class GifFidelity : public DocTest {
 protected:
  // Exports `source` and compares both files frame by frame, through
  // ImageMagick and through our reader.
  void ExpectSameFrames(const std::string& source, int w, int h) {
    CLoopwrightDoc doc(app, prompt);
    ASSERT_TRUE(doc.OnOpenDocument(source)) << doc.m_strLastError;
    const std::string out = dir.File("out.gif");
    std::string reason;
    ASSERT_TRUE(ExportAnimationFile(doc, out, nullptr, {}, &reason)) << reason;
    const auto before = Distinct(MagickFrames(source, w, h, dir.Path()));
    const auto after = Distinct(MagickFrames(out, w, h, dir.Path()));
    ASSERT_FALSE(before.empty());
    ExpectFramesEqual(after, before, "ImageMagick");
    CLoopwrightDoc back(app, prompt);
    ASSERT_TRUE(back.OnOpenDocument(out)) << back.m_strLastError;
    ExpectFramesEqual(Distinct(ComposedFrames(back)), Distinct(ComposedFrames(doc)), "ours");
  }
};

// Each file exported again shows the same frames. Colours: 0 red, 1 green,
// 2 blue, 3 black.
TEST_F(GifFidelity, ReExportShowsTheSameFrames) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  GifImagePlan across = Solid(0, 2, 6, 2, 0, 1);
  for (int x = 0; x < 6; x += 2) across.pixels[std::size_t(x)] = 1;
  GifImagePlan holed = Solid(4, 4, 4, 4, 0, 2);
  holed.pixels[5] = 1;
  holed.transparent = 1;
  GifImagePlan clearFirst = Solid(1, 1, 3, 3, 0, 1), clearSecond = Solid(2, 2, 3, 3, 1, 1);
  clearFirst.transparent = clearSecond.transparent = 3;
  clearSecond.pixels[4] = 3;
  const struct {
    const char* what;
    int w, h, background;
    std::vector<GifImagePlan> images;
  } cases[] = {
      // The first image has no transparency: undrawn corners show the background (blue).
      {"crossing bars", 6, 6, 2, {across, Solid(2, 0, 2, 6, 3, 1)}},
      {"part of the canvas undrawn", 5, 4, 2, {Solid(1, 1, 2, 2, 0, 0)}},
      // Cleared pixels turn transparent; pixels not drawn yet keep the background.
      {"one pixel walking round, each cleared", 2, 2, 3,
       {Solid(0, 0, 1, 1, 1, 2), Solid(1, 0, 1, 1, 1, 2), Solid(1, 1, 1, 1, 1, 2), Solid(0, 1, 1, 1, 1, 2)}},
      {"a cleared quarter, then a transparent pixel", 8, 8, 2, {Solid(0, 0, 4, 4, 1, 2), holed}},
      // The first image names a transparent index: the canvas around it is transparent.
      {"transparent first image", 6, 6, 2, {clearFirst, clearSecond}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir.File("source.gif");
    ASSERT_TRUE(WriteGif(file, c.w, c.h, c.background, c.images));
    ExpectSameFrames(file, c.w, c.h);
  }
}

}  // namespace
