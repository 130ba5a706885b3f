// Opening layered PSD files: the layers as objects of one frame, or the
// merged picture, as the question and the stored choice say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "app/loopwright_doc.h"
#include "app/temp_dir.h"

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
class ImportMadeFiles : public ::testing::Test {
 protected:
  CLoopwrightApp app;
  TempDir dir;
  void SetUp() override {
    const std::string ini = dir.File("loopwright.ini");
    std::ofstream(ini) << "[Default]\n";
    app.InitInstance(ini);
    app.m_bWritePrefsOnExit = false;
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
    ASSERT_TRUE(doc.OnOpenDocument(dir.File("layers.psd"))) << doc.m_strLastError;
    EXPECT_FALSE(answer.m_strLastQuestion.empty());
    EXPECT_EQ(app.m_bLayersAsObjects, yes);
    EXPECT_EQ(app.Pref("PSDOpenFashion"), yes ? 0 : 1);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    ASSERT_EQ(doc.GetObjectCount(), yes ? 2 : 1);  // the zero-size layer is skipped
    EXPECT_EQ(DibRow(doc.m_objects[0]->GetImage(), 0)[2], yes ? 10 : 50);  // red of the base layer or the merged picture
  }
  CScriptedPrompt yes(true);
  CLoopwrightDoc doc(app, yes);
  ASSERT_TRUE(doc.OnOpenDocument(dir.File("layers.psd")));
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
  ASSERT_TRUE(doc2.OnOpenDocument(dir.File("layers.psd")));
  EXPECT_TRUE(silent.m_strLastQuestion.empty());
  EXPECT_EQ(doc2.GetObjectCount(), 2);
}
