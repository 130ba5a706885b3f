// GIF export with a colour table per frame, kept extensions and loop counts:
// exports are read again (also by ImageMagick) and compared frame by frame.
#include <gtest/gtest.h>

#include <cstring>

#include "companions/imageio/gif_lzw.h"
#include "companions/imageio/tev_image_io.h"
#include "export/export_dispatch.h"
#include "export/gif_local_tables.h"
#include "export_test_util.h"

using namespace export_test;

namespace {

// A picture whose pixels cycle through `colours` colours starting at colour
// number `first` (every number gives its own colour).
DibPtr Numbered(LONG w, LONG h, int first, int colours) {
  DibPtr d = Solid(w, h, 0);
  for (LONG y = 0; y < h; ++y)
    for (LONG x = 0; x < w; ++x) {
      const int k = first + int((y * w + x) % colours);
      BYTE* p = DibRow(d.get(), y) + 4 * x;
      p[0] = BYTE(k & 0xFF);
      p[1] = BYTE(k >> 8);
      p[2] = BYTE(255 - (k & 0x7F));
      p[3] = 255;
    }
  return d;
}

// Hand-written GIF files: a two-colour global table, extension blocks and
// images in the order added.
struct GifBytes {
  std::vector<std::uint8_t> v;
  GifBytes(int w, int h) {
    for (char c : std::string("GIF89a")) v.push_back(std::uint8_t(c));
    U16(w);
    U16(h);
    v.insert(v.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
  }
  void U16(int x) { v.insert(v.end(), {std::uint8_t(x & 0xFF), std::uint8_t(x >> 8)}); }
  std::vector<std::uint8_t> Extension(int label, const std::vector<std::string>& blocks) {
    std::vector<std::uint8_t> e{0x21, std::uint8_t(label)};
    for (const std::string& b : blocks) {
      e.push_back(std::uint8_t(b.size()));
      e.insert(e.end(), b.begin(), b.end());
    }
    e.push_back(0);
    v.insert(v.end(), e.begin(), e.end());
    return e;
  }
  void Loop(int count) { Extension(0xFF, {"NETSCAPE2.0", std::string{1, char(count & 0xFF), char(count >> 8)}}); }
  // One image of w x h indexes, all `index`, or raw code bytes when given.
  void Image(int x, int y, int w, int h, int index, const std::vector<std::uint8_t>* codes = nullptr) {
    v.insert(v.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0, 0x2C});
    U16(x);
    U16(y);
    U16(w);
    U16(h);
    v.push_back(0);
    const std::vector<std::uint8_t> idx(std::size_t(w) * std::size_t(h), std::uint8_t(index));
    const std::vector<std::uint8_t> data =
        codes ? *codes : TevImageIO::EncodeGifLzw(idx.data(), idx.size(), 2, TevImageIO::LzwClear::WhenFull);
    v.push_back(2);
    for (std::size_t off = 0; off < data.size(); off += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - off);
      v.push_back(std::uint8_t(n));
      v.insert(v.end(), data.begin() + long(off), data.begin() + long(off + n));
    }
    v.push_back(0);
  }
  void Save(const std::string& path) {
    v.push_back(0x3B);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(v.data()), long(v.size()));
  }
};

bool Contains(const std::vector<unsigned char>& hay, const std::vector<std::uint8_t>& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// Images in the file whose descriptor carries a local colour table.
int LocalTables(const std::vector<unsigned char>& f) {
  std::size_t at = 13 + ((f[10] & 0x80) ? 3u << ((f[10] & 7) + 1) : 0u);
  int local = 0;
  while (at < f.size() && f[at] != 0x3B) {
    if (f[at] == 0x21) {
      at += 2;
    } else if (f[at] == 0x2C && at + 10 < f.size()) {
      const std::uint8_t packed = f[at + 9];
      if (packed & 0x80) ++local;
      at += 10 + ((packed & 0x80) ? 3u << ((packed & 7) + 1) : 0u) + 1;
    } else {
      return -1;
    }
    while (at < f.size() && f[at] != 0) at += 1 + f[at];
    ++at;
  }
  return local;
}

class GifLocalTables : public DocTest {
 protected:
  // Exports model to out.gif, opens it again and compares the composed
  // frames with the model's (and ImageMagick's coalesce where installed).
  std::string ExportAndCompare(CGifImage& model, const CExportSettings& settings = {}) {
    CLoopwrightDoc doc(app, prompt);
    doc.TakeOver(model);
    const std::string out = dir.File("out.gif");
    std::string reason;
    EXPECT_TRUE(ExportAnimationFile(doc, out, nullptr, settings, &reason)) << reason;
    CLoopwrightDoc back(app, prompt);
    EXPECT_TRUE(back.OnOpenDocument(out)) << back.m_strLastError;
    ExpectFramesEqual(ComposedFrames(back), ComposedFrames(doc), "ours");
    if (HaveImageMagick())
      ExpectFramesEqual(MagickFrames(out, doc.m_nWidth, doc.m_nHeight, dir.Path()), ComposedFrames(doc), "magick");
    return out;
  }
};

TEST_F(GifLocalTables, FramesWhoseColoursDoNotShareOneTableStayExact) {
  struct Case {
    const char* what;
    int frames, coloursEach, w, h;
    bool moving;  // each frame covers only part of the canvas, at another place
    int level;    // --optimize
  };
  const Case cases[] = {
      {"two palettes of 200", 2, 200, 20, 20, false, 2},
      {"300 colours over 3 frames of 100", 3, 100, 12, 10, false, 2},
      {"parts of 250 moving over 4 frames", 4, 250, 32, 32, true, 2},
      {"moving, level 1", 4, 250, 32, 32, true, 1},
      {"moving, level 3", 4, 250, 32, 32, true, 3},
  };
  for (const Case& c : cases) {
    CGifImage model;
    ModelBuilder b(model, c.w, c.h);
    for (int i = 0; i < c.frames; ++i) {
      const LONG side = c.moving ? c.w / 2 : c.w;
      const int o = b.AddObject(Numbered(side, c.moving ? c.h / 2 : c.h, i * c.coloursEach, c.coloursEach));
      b.AddFrame(10, {{o, POINT{c.moving ? i * 4 : 0, c.moving ? i * 3 : 0}}});
    }
    prompt.m_nMessages = 0;
    CExportSettings settings;
    settings.gifLevel = c.level;
    const std::string out = ExportAndCompare(model, settings);
    EXPECT_GE(LocalTables(ReadBytes(out)), c.frames - 1) << c.what;
    EXPECT_EQ(prompt.m_nMessages, 0) << c.what << ": nothing was reduced";
  }
}

// Two pictures of 120 colours each (240 in all, one table's worth) drawn
// over each other at four strengths: the blends make hundreds more colours,
// which only the composed frames show, so the export needs a table per frame.
TEST_F(GifLocalTables, BlendsOfFewColoursPastOneTableStayExact) {
  CGifImage model;
  ModelBuilder b(model, 16, 15);
  const int under = b.AddObject(Numbered(16, 15, 0, 120));
  const int over = b.AddObject(Numbered(16, 15, 500, 120));
  b.AddFrame(10, {{under, POINT{0, 0}}});
  for (const int strength : {60, 110, 160, 210}) {
    CGifFrame& f = b.AddFrame(10, {{under, POINT{0, 0}}, {over, POINT{0, 0}}});
    f.m_refs.Edit(std::size_t(over))->m_nTransparency = strength;
  }
  const std::string out = ExportAndCompare(model);
  EXPECT_GE(LocalTables(ReadBytes(out)), 1);
}

TEST_F(GifLocalTables, OnlyAFrameWithTooManyColoursIsReducedAndSaysSo) {
  CGifImage model;
  ModelBuilder b(model, 30, 30);
  const int rich = b.AddObject(Numbered(30, 30, 0, 900));
  const int plain = b.AddObject(Numbered(30, 30, 1000, 50));
  const int sprite = b.AddObject(Numbered(4, 4, 2000, 16));
  b.AddFrame(10, {{plain, POINT{0, 0}}});
  b.AddFrame(10, {{rich, POINT{0, 0}}});
  // A sprite over the reduced frame: only its pixels are new, so the
  // reduction is neither repeated nor reported again.
  b.AddFrame(10, {{rich, POINT{0, 0}}, {sprite, POINT{5, 5}}});
  CLoopwrightDoc doc(app, prompt);
  doc.TakeOver(model);
  const std::string out = dir.File("rich.gif");
  std::string reason;
  prompt.m_nMessages = 0;
  ASSERT_TRUE(ExportAnimationFile(doc, out, nullptr, {}, &reason)) << reason;
  EXPECT_EQ(prompt.m_nMessages, 1) << prompt.m_strLast;
  EXPECT_EQ(prompt.m_strLast.rfind("frame 1: 900 colours reduced to ", 0), 0u) << prompt.m_strLast;
  CLoopwrightDoc back(app, prompt);
  ASSERT_TRUE(back.OnOpenDocument(out));
  const auto got = ComposedFrames(back), want = ComposedFrames(doc);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(FirstDifference(got[0], want[0]), -1) << "the frame that fits keeps every colour";
}

TEST_F(GifLocalTables, ExtensionsAndLoopCountsSurviveReExport) {
  struct Case {
    const char* what;
    int loop;       // -1: no loop block
    bool manyColours;  // takes the local-table writer instead of the single-table one
  };
  const Case cases[] = {{"forever", 0, false}, {"one play, block kept", 1, false}, {"five", 5, true},
                        {"no block", -1, true}, {"one, local tables", 1, true}};
  for (const Case& c : cases) {
    GifBytes g(4, 4);
    if (c.loop >= 0) g.Loop(c.loop);
    const auto comment = g.Extension(0xFE, {"made by hand"});
    const auto xmp = g.Extension(0xFF, {"XMP DataXMP", "<x:xmpmeta/>"});
    const auto icc = g.Extension(0xFF, {"ICCRGBG1012", std::string(40, 'p'), "end"});
    const auto other = g.Extension(0xFF, {"ACMEBLOB1.0", "opaque"});
    g.Image(0, 0, 4, 4, 0);
    g.Image(1, 1, 2, 2, 1);
    const std::string in = dir.File("in.gif");
    g.Save(in);
    CLoopwrightDoc doc(app, prompt);
    ASSERT_TRUE(doc.OnOpenDocument(in)) << c.what << ": " << doc.m_strLastError;
    if (c.manyColours) {
      // Over 255 colours in all: 17 more frames of 16 colours of their own.
      ModelBuilder more(doc, 4, 4);
      for (int k = 0; k < 17; ++k) more.AddFrame(10, {{more.AddObject(Numbered(4, 4, k * 16, 16)), POINT{0, 0}}});
    }
    const std::string out = dir.File("out.gif");
    std::string reason;
    ASSERT_TRUE(ExportAnimationFile(doc, out, nullptr, {}, &reason)) << c.what << ": " << reason;
    const auto bytes = ReadBytes(out);
    for (const auto* e : {&comment, &xmp, &icc, &other}) EXPECT_TRUE(Contains(bytes, *e)) << c.what;
    CLoopwrightDoc back(app, prompt);
    ASSERT_TRUE(back.OnOpenDocument(out)) << c.what;
    EXPECT_EQ(back.m_nGifFileLoop, c.loop) << c.what;
    EXPECT_EQ(back.m_bLoopForever, doc.m_bLoopForever) << c.what;
    EXPECT_EQ(back.m_nLoopCount, doc.m_nLoopCount) << c.what;
    EXPECT_EQ(back.m_gifExtensions.size(), 4u) << c.what;
  }
}

TEST_F(GifLocalTables, HostileFilesGiveAMessageOrTheRightFrames) {
  // 10,000 one-pixel frames alternating two colours (two objects).
  CGifImage model;
  ModelBuilder mb(model, 1, 1);
  const int black = mb.AddObject(Solid(1, 1, 0x000000)), white = mb.AddObject(Solid(1, 1, 0xFFFFFF));
  for (int i = 0; i < 10000; ++i) mb.AddFrame(1, {{(i & 1) ? white : black, POINT{0, 0}}});
  CLoopwrightDoc doc(app, prompt);
  doc.TakeOver(model);
  const std::string out = dir.File("many-out.gif");
  std::string reason;
  ASSERT_TRUE(ExportAnimationFile(doc, out, nullptr, {}, &reason)) << reason;
  TevImageIO::CTevImageInfoPack pack;
  pack.path = out;
  ASSERT_EQ(TevImageIO::LoadImageW(pack, nullptr, nullptr), TevImageIO::IMAGEIO_OK) << pack.errorText;
  ASSERT_EQ(pack.BlockCount(), 10000u);
  for (std::size_t i = 0; i < 10000; i += 997) {
    const TevImageIO::CTevSubImageBlock* b = pack.BlockAt(i);
    const RGBQUAD q = DibPalette(b->picture.get())[DibRow(b->picture.get(), 0)[0]];
    EXPECT_EQ(q.rgbRed, (i & 1) ? 255 : 0) << "frame " << i;
  }

  struct Bad {
    const char* what;
    int w, h;
    std::vector<std::uint8_t> codes;  // empty: a plain image
  };
  // Codes 4 (clear) then 7 and 9 before the table holds them, at 3 bits then 4.
  const Bad bad[] = {{"claimed 65535 x 65535 canvas", 65535, 65535, {}},
                     {"codes past the table", 4, 4, {0x3C, 0x09, 0x01}}};
  for (const Bad& b : bad) {
    GifBytes g(b.w, b.h);
    g.Image(0, 0, b.codes.empty() ? 1 : 4, b.codes.empty() ? 1 : 4, 1, b.codes.empty() ? nullptr : &b.codes);
    const std::string path = dir.File("bad.gif");
    g.Save(path);
    CLoopwrightDoc d(app, prompt);
    if (d.OnOpenDocument(path)) {
      // Accepted: the model is what the file says, and the export either
      // writes the same canvas or says why not.
      EXPECT_EQ(d.m_nWidth, b.w) << b.what;
      reason.clear();
      const std::string again = dir.File("bad-out.gif");
      if (ExportAnimationFile(d, again, nullptr, {}, &reason)) {
        CLoopwrightDoc e(app, prompt);
        ASSERT_TRUE(e.OnOpenDocument(again)) << b.what;
        EXPECT_EQ(e.m_nWidth, b.w) << b.what;
      } else {
        EXPECT_NE(reason.find("too large"), std::string::npos) << b.what << ": " << reason;
      }
    } else {
      EXPECT_FALSE(d.m_strLastError.empty()) << b.what;
    }
  }
}

}  // namespace
