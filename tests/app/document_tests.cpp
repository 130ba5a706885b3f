// Preferences (range replacement, the INI round trip) and the document's
// new/open lifecycle.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/frame_render.h"
#include "app/loopwright_doc.h"
#include "app/temp_dir.h"
#include "companions/dibkernel/dib_kernel.h"

namespace fs = std::filesystem;

namespace {

std::string WriteIni(const TempDir& dir, const std::string& body) {
  const std::string path = dir.File("loopwright.ini");
  std::ofstream(path) << "[Default]\n" << body;
  return path;
}

TEST(Preferences, OutOfRangeValuesAreReplacedNotClamped) {
  TempDir dir;
  struct Case {
    const char* key;
    const char* value;
    int expect;
  } cases[] = {
      {"DefaultDelay", "0", 20},         {"DefaultDelay", "301", 20},           {"DefaultDelay", "300", 300},
      {"NewAnimationWidth", "2001", 120}, {"HorzOffset", "-1001", 0},           {"CurrentFilter", "0", 1},
      {"ShapeOpacity", "23", 0},         {"InitColor", "0x00FF8040", 0xFF8040}, {"UndoMaxTimes", "x", 26},
  };
  for (const auto& c : cases) {
    CPreferences p;
    ASSERT_TRUE(p.Load(WriteIni(dir, std::string(c.key) + " = " + c.value + "\n")));
    EXPECT_EQ(p.Get(c.key), c.expect) << c.key << "=" << c.value;
  }
}

TEST(Preferences, SaveWritesEveryKeyAtomicallyAndReloads) {
  TempDir dir;
  CPreferences p;
  ASSERT_TRUE(p.Set("DefaultDelay", 150));
  ASSERT_TRUE(p.Set("淡入淡出", 1));
  EXPECT_TRUE(p.Set("JPGQuality", 500));  // replaced by the range rule
  const std::string path = dir.File("sub/loopwright.ini");
  ASSERT_TRUE(p.Save(path));
  CPreferences q;
  ASSERT_TRUE(q.Load(path));
  for (const auto& key : CPreferences::Keys()) EXPECT_EQ(q.Get(key), p.Get(key)) << key;
  EXPECT_EQ(q.Get("JPGQuality"), 85);
  EXPECT_EQ(q.Get("淡入淡出"), 1);
  int files = 0;
  for (auto& e : fs::directory_iterator(dir.File("sub"))) files += e.is_regular_file();
  EXPECT_EQ(files, 1);  // no temporary file left behind
}

class DocumentTest : public ::testing::Test {
 protected:
  CLoopwrightApp app;
  CScriptedPrompt prompt;
  TempDir dir;
  void Init(const std::string& ini) { app.InitInstance(WriteIni(dir, ini)); app.m_bWritePrefsOnExit = false; }
};

// The new animation from the defaults, from preferences (an out-of-range
// width falls back) and with a transparent start (no object at all).
TEST_F(DocumentTest, PreferencesShapeTheNewAnimation) {
  const struct {
    const char* ini;
    int width, height, delay, objects;
    BYTE b, g, r;  // the start colour, opaque
  } cases[] = {
      {"", 120, 120, 20, 1, 255, 255, 255},
      {"DefaultDelay=300\nNewAnimationWidth=2001\nNewAnimationHeight=33\nInitColor=0x0000FF\n", 120, 33, 300, 1, 0,
       0, 255},
      {"InitTransparent=1\n", 120, 120, 20, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    Init(c.ini);
    CLoopwrightDoc doc(app, prompt);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.m_nWidth, c.width);
    EXPECT_EQ(doc.m_nHeight, c.height);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(doc.GetFrame(0)->m_nDelay, c.delay);
    ASSERT_EQ(doc.GetObjectCount(), c.objects);
    EXPECT_TRUE(doc.CheckInvariant());
    if (c.objects == 0) continue;
    // The start colour reaches the last pixel.
    DibPtr pic = RenderFrame(doc, *doc.GetFrame(0));
    const BYTE* p = DibRow(pic.get(), c.height - 1) + 4 * (c.width - 1);
    EXPECT_EQ(std::vector<BYTE>(p, p + 4), (std::vector<BYTE>{c.b, c.g, c.r, 255}));
  }
  // Object names keep counting across documents.
  Init("");
  CLoopwrightDoc doc(app, prompt);
  ASSERT_TRUE(doc.OnNewDocument());
  const std::string first = doc.m_objects[0]->m_strName;
  ASSERT_TRUE(doc.OnNewDocument());
  EXPECT_EQ(first.substr(0, 6), "Obj - ");
  EXPECT_EQ(doc.m_objects[0]->m_strName, "Obj - " + std::to_string(std::stoi(first.substr(6)) + 1));
  doc.DeleteContents();
  EXPECT_FALSE(doc.CanExport());
}

TEST_F(DocumentTest, FailedOpenKeepsTheDocumentAndSaysWhy) {
  Init("");
  CLoopwrightDoc doc(app, prompt);
  ASSERT_TRUE(doc.OnNewDocument(7, 5));
  const std::string bad = dir.File("broken.png");
  std::ofstream(bad, std::ios::binary) << "\x89PNG\r\n\x1a\n garbage";
  int updates = 0;
  struct Counter : CDocObserver {
    int* n;
    explicit Counter(int* n) : n(n) {}
    void OnUpdate(int hint, CGifFrame*) override { *n += hint == 1; }
  } counter(&updates);
  doc.AddObserver(&counter);
  for (const std::string& path : {bad, dir.File("missing.png"), dir.File("file.xyz")}) {
    EXPECT_FALSE(doc.OnOpenDocument(path)) << path;
    EXPECT_EQ(prompt.m_strLast, "载入 " + path + " 文件失败!");
    EXPECT_EQ(doc.m_nWidth, 7);
    EXPECT_EQ(doc.GetObjectCount(), 1);
    EXPECT_EQ(doc.GetFrameCount(), 1);
  }
  EXPECT_EQ(updates, 0);
  doc.RemoveObserver(&counter);
}

}  // namespace
