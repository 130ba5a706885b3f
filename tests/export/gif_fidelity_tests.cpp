// Re-exported GIFs against their sources: files written here with giflib,
// opened as the editor does, exported, and both files decoded by ImageMagick
// (which fills the canvas with the background colour when the first image
// has no transparency) and by our reader.
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

TEST_F(GifFidelity, UndrawnCanvasKeepsTheBackgroundColourWhenTheFirstImageHasNoTransparency) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  // Two crossing bars that never cover the corners: those show the background (blue).
  GifImagePlan across = Solid(0, 2, 6, 2, 0, 1);
  for (int x = 0; x < 6; x += 2) across.pixels[std::size_t(x)] = 1;
  const std::string file = dir.File("cross.gif");
  ASSERT_TRUE(WriteGif(file, 6, 6, 2, {across, Solid(2, 0, 2, 6, 3, 1)}));
  ExpectSameFrames(file, 6, 6);
  // A single picture that leaves part of the canvas undrawn.
  ASSERT_TRUE(WriteGif(file, 5, 4, 2, {Solid(1, 1, 2, 2, 0, 0)}));
  ExpectSameFrames(file, 5, 4);
}

TEST_F(GifFidelity, RestoreToBackgroundClearsWhileTheUndrawnCanvasStays) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  // One pixel walking round a 2 x 2 canvas, each cleared after it was shown:
  // cleared pixels turn transparent, pixels not drawn yet keep the background.
  const std::string file = dir.File("walk.gif");
  ASSERT_TRUE(WriteGif(file, 2, 2, 3,
                       {Solid(0, 0, 1, 1, 1, 2), Solid(1, 0, 1, 1, 1, 2), Solid(1, 1, 1, 1, 1, 2),
                        Solid(0, 1, 1, 1, 1, 2)}));
  ExpectSameFrames(file, 2, 2);
  // A cleared quarter next to a frame with a transparent pixel elsewhere.
  GifImagePlan second = Solid(4, 4, 4, 4, 0, 2);
  second.pixels[5] = 1;
  second.transparent = 1;
  ASSERT_TRUE(WriteGif(file, 8, 8, 2, {Solid(0, 0, 4, 4, 1, 2), second}));
  ExpectSameFrames(file, 8, 8);
}

TEST_F(GifFidelity, TransparentFirstImageKeepsATransparentCanvas) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) is not installed";
  // The first image names a transparent index: the canvas around it is transparent.
  GifImagePlan first = Solid(1, 1, 3, 3, 0, 1);
  first.transparent = 3;
  GifImagePlan second = Solid(2, 2, 3, 3, 1, 1);
  second.transparent = 3;
  second.pixels[4] = 3;
  const std::string file = dir.File("clear.gif");
  ASSERT_TRUE(WriteGif(file, 6, 6, 2, {first, second}));
  ExpectSameFrames(file, 6, 6);
}

}  // namespace
