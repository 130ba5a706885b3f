// Opening picture files into the model: GIF frames rebuilt from partial
// images and disposal methods (compared with a plain canvas-level GIF player
// written here), frame fields and objects, layered PSD files as objects and
// the layered-picture question.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "app/frame_render.h"
#include "app/loopwright_doc.h"
#include "app/temp_dir.h"

namespace {

struct GifFramePlan {
  int x, y, w, h;
  int disposal;
  int delay;
  int transparent;  // index or -1
  bool interlace;
  bool localMap;
};

GifColorType GlobalColour(int i) { return GifColorType{BYTE(i * 16), BYTE(255 - i * 15), BYTE((i * 77) & 0xFF)}; }
GifColorType LocalColour(int i) { return GifColorType{BYTE(i * 60 + 10), BYTE(i * 5), BYTE(200 - i * 40)}; }
// Pixel index of frame f at (x, y) of its own rectangle: uses every colour, transparent ones included.
int PixelIndex(int f, int x, int y, bool local) { return (x * 3 + y * 7 + f * 5) % (local ? 4 : 16); }

void WriteGif(const std::string& path, int width, int height, const std::vector<GifFramePlan>& frames) {
  int err = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
  ASSERT_NE(gif, nullptr);
  EGifSetGifVersion(gif, true);
  GifColorType global[16];
  for (int i = 0; i < 16; ++i) global[i] = GlobalColour(i);
  ColorMapObject* gmap = GifMakeMapObject(16, global);
  ASSERT_EQ(EGifPutScreenDesc(gif, width, height, 4, 0, gmap), GIF_OK);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const GifFramePlan& fr = frames[f];
    GraphicsControlBlock gcb{fr.disposal, false, fr.delay, fr.transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    ColorMapObject* local = nullptr;
    if (fr.localMap) {
      GifColorType colours[4];
      for (int i = 0; i < 4; ++i) colours[i] = LocalColour(i);
      local = GifMakeMapObject(4, colours);
    }
    if (gif->Image.ColorMap) {
      GifFreeMapObject(gif->Image.ColorMap);
      gif->Image.ColorMap = nullptr;
    }
    ASSERT_EQ(EGifPutImageDesc(gif, fr.x, fr.y, fr.w, fr.h, fr.interlace, local), GIF_OK);
    std::vector<int> order;
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    if (fr.interlace) {
      for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < fr.h; y += step[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < fr.h; ++y) order.push_back(y);
    }
    std::vector<GifPixelType> row(std::size_t(fr.w));
    for (int y : order) {
      for (int x = 0; x < fr.w; ++x) row[std::size_t(x)] = GifPixelType(PixelIndex(int(f), x, y, fr.localMap));
      ASSERT_EQ(EGifPutLine(gif, row.data(), fr.w), GIF_OK);
    }
    if (local) GifFreeMapObject(local);
  }
  GifFreeMapObject(gmap);
  ASSERT_EQ(EGifCloseFile(gif, &err), GIF_OK);
}

// A plain GIF player: a transparent RGBA canvas; each frame is drawn (its
// transparent index left out), shown, then disposed of (2 clears its
// rectangle, 3 restores the canvas from before it).
std::vector<std::vector<BYTE>> PlayGif(int width, int height, const std::vector<GifFramePlan>& frames) {
  std::vector<BYTE> canvas(std::size_t(width) * height * 4, 0);
  std::vector<std::vector<BYTE>> shown;
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const GifFramePlan& fr = frames[f];
    const std::vector<BYTE> before = canvas;
    for (int y = 0; y < fr.h; ++y)
      for (int x = 0; x < fr.w; ++x) {
        const int cx = fr.x + x, cy = fr.y + y;
        if (cx >= width || cy >= height) continue;
        const int idx = PixelIndex(int(f), x, y, fr.localMap);
        if (idx == fr.transparent) continue;
        const GifColorType c = fr.localMap ? LocalColour(idx) : GlobalColour(idx);
        BYTE* p = &canvas[(std::size_t(cy) * width + cx) * 4];
        p[0] = c.Red;
        p[1] = c.Green;
        p[2] = c.Blue;
        p[3] = 255;
      }
    shown.push_back(canvas);
    if (fr.disposal == 2) {
      for (int y = fr.y; y < std::min(height, fr.y + fr.h); ++y)
        for (int x = fr.x; x < std::min(width, fr.x + fr.w); ++x)
          std::fill_n(&canvas[(std::size_t(y) * width + x) * 4], 4, BYTE(0));
    } else if (fr.disposal == 3) {
      canvas = before;
    }
  }
  return shown;
}

// RGBA of a composed frame; colour of fully transparent pixels zeroed.
std::vector<BYTE> FrameRgba(const CGifImage& model, int index) {
  DibPtr pic = RenderFrame(model, *model.m_frames[std::size_t(index)]);
  std::vector<BYTE> out;
  if (!pic) return out;
  for (LONG y = 0; y < DibHeight(pic.get()); ++y) {
    const BYTE* row = DibRow(pic.get(), y);
    for (LONG x = 0; x < DibWidth(pic.get()); ++x) {
      const BYTE* p = row + x * 4;
      if (p[3] == 0) out.insert(out.end(), {0, 0, 0, 0});
      else out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  return out;
}

class ImportTest : public ::testing::Test {
 protected:
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  TempDir dir;
  void SetUp() override { Init(""); }
  void Init(const std::string& ini) {
    const std::string path = dir.File("loopwright.ini");
    std::ofstream(path) << "[Default]\n" << ini;
    app.InitInstance(path);
    app.m_bWritePrefsOnExit = false;
  }
  // Opens path the way the open command does (import, normalization).
  bool Open(CLoopwrightDoc& doc, const std::string& path) { return doc.OnOpenDocument(path); }
};

void ExpectFramesPlayAsGif(const CGifImage& model, int width, int height, const std::vector<GifFramePlan>& frames) {
  const auto expected = PlayGif(width, height, frames);
  ASSERT_EQ(model.GetFrameCount(), int(frames.size()));
  for (std::size_t f = 0; f < frames.size(); ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const std::vector<BYTE> got = FrameRgba(model, int(f));
    ASSERT_EQ(got.size(), expected[f].size());
    for (std::size_t i = 0; i < got.size(); i += 4)
      ASSERT_TRUE(std::equal(got.begin() + long(i), got.begin() + long(i) + 4, expected[f].begin() + long(i)))
          << "pixel " << (i / 4) % std::size_t(width) << "," << (i / 4) / std::size_t(width);
  }
}

}  // namespace

TEST_F(ImportTest, GifFramesAreRebuiltFromDisposalMethods) {
  // Every disposal method, transparency, interlace, local tables, offsets and
  // a frame reaching past the canvas.
  const std::vector<GifFramePlan> frames = {
      {0, 0, 12, 9, 1, 10, -1, false, false},  // full background, kept
      {2, 1, 5, 4, 2, 20, 3, false, false},    // transparent holes, cleared afterwards
      {6, 3, 4, 5, 3, 30, -1, true, true},     // interlaced local table, restored afterwards
      {1, 5, 6, 3, 0, 40, 0, false, true},     // transparency through a local table
      {9, 6, 5, 5, 2, 50, 7, true, false},     // past the canvas edge, cleared
      {3, 2, 2, 2, 1, 60, -1, false, false},
      {0, 0, 12, 9, 2, 70, 5, false, false},   // covers everything, then the canvas is empty
      {4, 4, 3, 3, 0, 80, -1, false, false},
  };
  WriteGif(dir.File("dispose.gif"), 12, 9, frames);
  CLoopwrightDoc doc(app, prompt);
  ASSERT_TRUE(Open(doc, dir.File("dispose.gif"))) << doc.m_strLastError;
  EXPECT_EQ(doc.m_nWidth, 12);
  EXPECT_EQ(doc.m_nHeight, 9);
  EXPECT_EQ(doc.m_nTransparencyState, 1);
  ExpectFramesPlayAsGif(doc, 12, 9, frames);
  // One object per frame, shown only in its own frame.
  const std::size_t n = frames.size();
  ASSERT_EQ(doc.GetObjectCount(), int(n));
  EXPECT_TRUE(doc.CheckInvariant());
  for (std::size_t f = 0; f < n; ++f) {
    SCOPED_TRACE(f);
    const CGifFrame* frame = doc.GetFrame(int(f));
    EXPECT_EQ(frame->m_nDelay, frames[f].delay);
    EXPECT_EQ(frame->GetDisposal(), frames[f].disposal);
    EXPECT_EQ(frame->IsInterlaced(), frames[f].interlace);
    EXPECT_EQ(frame->m_byGraphicControl, (frames[f].disposal << 2) | (frames[f].transparent >= 0 ? 1 : 0));
    for (std::size_t o = 0; o < n; ++o) EXPECT_EQ(frame->m_refs[o]->m_bVisible, o == f);
    EXPECT_EQ(frame->m_refs[f]->m_pObject, doc.m_objects[f]);
  }
  // Frame 1 was merged with frame 0's kept picture: its object covers the canvas.
  EXPECT_EQ(DibWidth(doc.m_objects[1]->GetImage()), 12);
  EXPECT_EQ(DibHeight(doc.m_objects[1]->GetImage()), 9);
}

namespace {

// A PSD of three layers (one of zero size between two real ones, the top one
// half opaque and hidden) built byte by byte.
const char* kMakeFiles = R"PY(
import sys, struct
d = sys.argv[1]
def layer(top, left, bottom, right, opacity, hidden, name, value):
    w, h = max(right - left, 0), max(bottom - top, 0)
    chans = [(c, struct.pack('>H', 0) + bytes([value + c]) * (w * h)) for c in range(3)]
    rec = struct.pack('>4iH', top, left, bottom, right, 3) + b''.join(struct.pack('>hI', c, len(b)) for c, b in chans)
    nm = bytes([len(name)]) + name.encode()
    nm += b'\0' * (-len(nm) % 4)
    extra = struct.pack('>II', 0, 0) + nm
    rec += b'8BIMnorm' + bytes([opacity, 0, 2 if hidden else 0, 0]) + struct.pack('>I', len(extra)) + extra
    return rec, b''.join(b for _, b in chans)
ls = [layer(0, 0, 4, 6, 255, False, 'base', 10), layer(0, 0, 0, 0, 255, False, 'empty', 0), layer(1, 2, 3, 5, 64, True, 'top', 100)]
info = struct.pack('>h', 3) + b''.join(r for r, _ in ls) + b''.join(c for _, c in ls)
info += b'\0' * (len(info) % 2)
section = struct.pack('>I', len(info)) + info + struct.pack('>I', 0)
out = b'8BPS' + struct.pack('>H', 1) + b'\0' * 6 + struct.pack('>HIIHH', 3, 4, 6, 8, 3)
out += struct.pack('>I', 0) + struct.pack('>I', 0) + struct.pack('>I', len(section)) + section
out += struct.pack('>H', 0) + bytes([50]) * 24 + bytes([60]) * 24 + bytes([70]) * 24
open(d + '/layers.psd', 'wb').write(out)
)PY";

bool MakeFiles(const TempDir& dir) {
  const std::string script = dir.File("make.py");
  std::ofstream(script) << kMakeFiles;
  return std::system(("/usr/bin/python3 " + script + " " + dir.Path()).c_str()) == 0;
}

// Tests on the files kMakeFiles writes; skipped without Python.
class ImportMadeFiles : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    if (::access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "python3 not installed";
    ASSERT_TRUE(MakeFiles(dir));
  }
};

}  // namespace

// "Yes" opens the layers as objects of one frame, "no" the merged picture;
// the answer is stored, and without the tip the stored choice decides.
TEST_F(ImportMadeFiles, LayeredPsdQuestionAndStoredChoice) {
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes);
    CScriptedPrompt answer(yes);
    CLoopwrightDoc doc(app, answer);
    ASSERT_TRUE(Open(doc, dir.File("layers.psd"))) << doc.m_strLastError;
    EXPECT_FALSE(answer.m_strLastQuestion.empty());
    EXPECT_EQ(app.m_bLayersAsObjects, yes);
    EXPECT_EQ(app.Pref("PSDOpenFashion"), yes ? 0 : 1);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    ASSERT_EQ(doc.GetObjectCount(), yes ? 2 : 1);  // the zero-size layer is skipped
    EXPECT_EQ(DibRow(doc.m_objects[0]->GetImage(), 0)[2], yes ? 10 : 50);  // red of the base layer or the merged picture
  }
  CScriptedPrompt yes(true);
  CLoopwrightDoc doc(app, yes);
  ASSERT_TRUE(Open(doc, dir.File("layers.psd")));
  EXPECT_EQ(doc.m_nTransparencyState, 0);
  const CGifFrame* frame = doc.GetFrame(0);
  ASSERT_EQ(frame->m_refs.size(), 2u);
  EXPECT_TRUE(frame->m_refs[0]->m_bVisible);
  EXPECT_EQ(frame->m_refs[0]->m_nTransparency, 0);  // opaque layer
  EXPECT_FALSE(frame->m_refs[1]->m_bVisible);
  EXPECT_EQ(frame->m_refs[1]->m_nTransparency, 255 - 64);
  EXPECT_EQ(frame->m_refs[1]->m_nX, 2);
  EXPECT_EQ(frame->m_refs[1]->m_nY, 1);
  EXPECT_EQ(DibRow(doc.m_objects[1]->GetImage(), 0)[2], 100);  // red channel of the top layer
  app.Prefs().Set("ShowPSDOpenFashionTip", 0);
  app.Prefs().Set("PSDOpenFashion", 0);
  CScriptedPrompt silent(false);
  CLoopwrightDoc doc2(app, silent);
  ASSERT_TRUE(Open(doc2, dir.File("layers.psd")));
  EXPECT_TRUE(silent.m_strLastQuestion.empty());
  EXPECT_EQ(doc2.GetObjectCount(), 2);
}
