// The banner document command: where the frames go, what they show, one
// undoable action whose undo and redo give byte-identical projects, frames
// that compose to the text where the clips place it, the cut to the banner
// rectangle, refusals that leave the document alone; then the fourteen kinds'
// generators on their own.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/dib_factories.h"
#include "app/temp_dir.h"
#include "companions/base/progress.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"
#include "editing/doc_snapshot.h"
#include "generators/banner_command.h"
#include "generators/banner_generators.h"

namespace {

class BannerCommand : public ::testing::Test {
 protected:
  // A white 200 x 60 canvas with two frames; frame 0 is current.
  void SetUp() override {
    RegisterDibFactories();  // projects hold text objects
    ASSERT_TRUE(m_doc.OnNewDocument(200, 60));
    m_doc.InsertFrame(1, MakeRef<CGifFrame>(*m_doc.GetFrame(0)));
    m_doc.GetFrame(1)->m_nDelay = 77;
    m_doc.SelectSingleFrame(0);
    m_style.text = "Banner";
    m_style.font.size = 24;
    m_style.colour = RGB(255, 0, 0);
  }

  BannerSettings Settings(int enterKind, int enterFrames, int leaveKind, int leaveFrames) {
    POINT origin{0, 0};
    BannerSettings s;
    s.text = CreateBannerTextObject(m_style, &origin);
    EXPECT_TRUE(s.text);
    s.enterKind = enterKind;
    s.enterFrames = enterFrames;
    s.leaveKind = leaveKind;
    s.leaveFrames = leaveFrames;
    s.frameDelay = 5;
    s.canvasWidth = m_doc.m_nWidth;
    s.canvasHeight = m_doc.m_nHeight;
    s.bannerRect = RECT{0, 0, m_doc.m_nWidth, m_doc.m_nHeight};
    PlaceBannerText(s, nullptr, origin);
    return s;
  }

  std::string SaveBytes(const std::string& name) {
    const std::string path = m_dir.File(name);
    EXPECT_TRUE(m_doc.OnSaveDocument(path));
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }

  TempDir m_dir;
  CLoopwrightApp m_app;
  CScriptedPrompt m_prompt{true};
  CLoopwrightDoc m_doc{m_app, m_prompt};
  CBannerTextStyle m_style;
};

TEST_F(BannerCommand, FramesFollowTheCurrentFrameAndUndoRedoGiveIdenticalProjects) {
  const BannerSettings s = Settings(BANNER_SLIDE_LEFT, 3, BANNER_FADE, 2);
  const std::string before = SaveBytes("before.lwp");
  const std::string beforeState = Snapshot(m_doc);
  ASSERT_EQ(AddBannerFrames(m_doc, s), BANNER_OK);
  const std::string after = SaveBytes("after.lwp");
  const std::string afterState = Snapshot(m_doc);

  ASSERT_EQ(m_doc.GetFrameCount(), 7);
  EXPECT_TRUE(m_doc.CheckInvariant());
  EXPECT_EQ(m_doc.m_nCurrentFrame, 1);
  EXPECT_EQ(m_doc.GetFrame(6)->m_nDelay, 77);
  // The text is one object shown on the five banner frames only, over the background.
  ASSERT_EQ(m_doc.GetObjectCount(), 2);
  EXPECT_EQ(m_doc.m_objects[1], s.text);
  std::vector<CBannerClip> clips;
  ASSERT_EQ(GenerateBanner(s, clips), BANNER_OK);
  for (int f = 0; f < 7; ++f) {
    const CGifFrame& frame = *m_doc.GetFrame(f);
    const bool banner = f >= 1 && f <= 5;
    EXPECT_TRUE(frame.m_refs[0]->m_bVisible);
    ASSERT_EQ(frame.m_refs[1]->m_bVisible, banner) << f;
    if (!banner) continue;
    const CBannerClip& clip = clips[std::size_t(f - 1)];
    EXPECT_EQ(frame.m_nDelay, 5);
    EXPECT_EQ(frame.m_refs[1]->m_nX, clip.first.x);
    EXPECT_EQ(frame.m_refs[1]->m_nY, clip.first.y);
    EXPECT_EQ(frame.m_refs[1]->m_nTransparency, clip.first.transparency);
  }
  EXPECT_EQ(m_doc.GetUndoCommandState().text, "Undo Add banner text");

  ASSERT_TRUE(m_doc.OnEditUndo());
  EXPECT_EQ(Snapshot(m_doc), beforeState);
  EXPECT_EQ(SaveBytes("undone.lwp"), before);
  ASSERT_TRUE(m_doc.OnEditRedo());
  EXPECT_EQ(Snapshot(m_doc), afterState);
  EXPECT_EQ(SaveBytes("redone.lwp"), after);
}

TEST_F(BannerCommand, RenderedPicturesSurviveAProjectRoundTrip) {
  m_style.shadowKind = 2;
  ASSERT_EQ(AddBannerFrames(m_doc, Settings(BANNER_SPIN_SHRINK, 3, BANNER_TYPE, 3)), BANNER_OK);
  ASSERT_EQ(AddBannerFrames(m_doc, Settings(BANNER_MERGE_VERTICAL, 2, BANNER_GROW, 2)), BANNER_OK);
  const std::string path = m_dir.File("round.lwp");
  ASSERT_TRUE(m_doc.OnSaveDocument(path));
  CLoopwrightDoc reopened(m_app, m_prompt);
  ASSERT_TRUE(reopened.OnOpenDocument(path)) << reopened.m_strLastError;
  reopened.m_selectedFrames = m_doc.m_selectedFrames;
  reopened.m_nCurrentFrame = m_doc.m_nCurrentFrame;
  EXPECT_EQ(Snapshot(reopened, false), Snapshot(m_doc, false));
}

TEST_F(BannerCommand, ABannerRectangleCutsTextAndShadowToIt) {
  m_style.shadowKind = 4;
  BannerSettings whole = Settings(BANNER_SLIDE_RIGHT, 5, BANNER_GROW, 5);
  BannerSettings cut = whole;
  const RECT r{40, 10, 140, 45};
  cut.bannerRect = r;
  // Inside the rectangle the frames look as without it (blending text over its
  // shadow first may round differently); outside it only the background shows.
  CLoopwrightDoc other(m_app, m_prompt);
  ASSERT_TRUE(other.OnNewDocument(200, 60));
  ASSERT_EQ(AddBannerFrames(other, whole), BANNER_OK);
  ASSERT_EQ(AddBannerFrames(m_doc, cut), BANNER_OK);
  for (int f = 1; f <= 10; ++f) {
    DibPtr a = RenderFrame(m_doc, *m_doc.GetFrame(f)), b = RenderFrame(other, *other.GetFrame(f));
    int far = 0;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 200; ++x) {
        const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        for (int ch = 0; ch < 3; ++ch) {
          const int va = DibRow(a.get(), y)[4 * x + ch], vb = DibRow(b.get(), y)[4 * x + ch];
          far += inside ? std::abs(va - vb) > 2 : va != 255;
        }
      }
    EXPECT_EQ(far, 0) << "frame " << f;
  }
}

TEST_F(BannerCommand, RefusalsShowTheirMessageAndChangeNothing) {
  const std::string before = Snapshot(m_doc);
  const std::string undoText = m_doc.GetUndoCommandState().text;
  BannerSettings s = Settings(BANNER_TYPE, 4, BANNER_STILL, 4);
  s.enterEnabled = s.leaveEnabled = false;
  EXPECT_EQ(AddBannerFrames(m_doc, s), BANNER_NO_PHASE);
  EXPECT_EQ(m_prompt.m_strLast, "请至少启用一个效果！");
  s.enterEnabled = true;
  s.text = nullptr;
  EXPECT_EQ(AddBannerFrames(m_doc, s), BANNER_NO_TEXT);
  EXPECT_EQ(m_prompt.m_strLast, "生成横幅失败！");
  s = Settings(BANNER_TYPE, 4, BANNER_STILL, 4);
  s.bannerRect = RECT{-50, -50, 0, 0};
  EXPECT_EQ(AddBannerFrames(m_doc, s), BANNER_BAD_SETTINGS);
  EXPECT_EQ(Snapshot(m_doc), before);
  EXPECT_EQ(m_doc.GetUndoCommandState().text, undoText);
}

TEST_F(BannerCommand, LongTextsAreRefusedOrGeneratedWithinLimits) {
  // 10,000 characters on one line are wider than any picture may be.
  m_style.text = std::string(10000, 'W');
  EXPECT_FALSE(CreateBannerTextObject(m_style));
  // In lines of 100 at a small size they render; typing them works.
  m_style.text.clear();
  for (int i = 0; i < 30; ++i) m_style.text += std::string(99, 'a' + i % 26) + "\n";
  m_style.font.size = 4;
  BannerSettings s = Settings(BANNER_TYPE, 2, BANNER_SPIN_SHRINK, 1);
  ASSERT_EQ(AddBannerFrames(m_doc, s), BANNER_OK);
  EXPECT_EQ(m_doc.GetFrameCount(), 5);
  // A wide text on a large canvas grows past the picture limit: refused.
  m_style.text = std::string(40, 'W');
  m_style.font.size = 10;
  ASSERT_TRUE(m_doc.OnNewDocument(2000, 2000));
  s = Settings(BANNER_GROW, 2, BANNER_GROW, 2);
  EXPECT_EQ(AddBannerFrames(m_doc, s), BANNER_TOO_LARGE);
  EXPECT_EQ(m_doc.GetFrameCount(), 1);
}

// The fourteen banner kinds: where each phase starts and ends, and the
// driver's refusals.
constexpr int kW = 200, kH = 60, kX0 = 30, kY0 = 12;

class BannerKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    CBannerTextStyle style;
    style.text = "Hi, you";
    style.font.size = 20;
    style.colour = RGB(255, 0, 0);
    m_text = CreateBannerTextObject(style);
    ASSERT_TRUE(m_text);
    m_s.text = m_text;
    m_s.canvasWidth = kW;
    m_s.canvasHeight = kH;
    m_s.bannerRect = RECT{0, 0, kW, kH};
    m_s.x0 = kX0;
    m_s.y0 = kY0;
    m_s.frameDelay = 9;
    m_w = DibWidth(m_text->GetImage());
    m_h = DibHeight(m_text->GetImage());
  }

  // The clips of one phase straight from the kind's generator.
  std::vector<CBannerClip> Phase(int kind, bool enter, bool enterEnabled, int count) {
    m_s.enterEnabled = enterEnabled;
    auto gen = CreateBannerGenerator(kind, m_s);
    EXPECT_TRUE(gen && gen->Prepare());
    std::vector<CBannerClip> clips(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) gen->GenerateClip(i, count, enter, BannerVariant(kind), clips[std::size_t(i - 1)]);
    return clips;
  }

  // Pictures of both slots drawn on a transparent canvas.
  static DibPtr Compose(const CBannerClip& clip) {
    DibPtr canvas(CDIB32::CreateBlank32BitsDIB(kW, kH));
    for (const CBannerSlot* s : {&clip.first, &clip.second})
      if (s->picture) CDIB32::BitBlt32DIB(canvas.get(), POINT{0, 0}, s->picture->GetImage(), POINT{s->x, s->y}, BYTE(s->transparency));
    return canvas;
  }
  DibPtr AtRest() const {
    CBannerClip c;
    c.first = CBannerSlot{m_text, kX0, kY0, 0};
    return Compose(c);
  }

  RefPtr<CDib> m_text;
  BannerSettings m_s;
  int m_w = 0, m_h = 0;
};

// How a leave phase ends.
enum class End { Gone, AtRest, Larger };

// Centre of the opaque pixels, or false when there are none.
bool OpaqueCentre(const BITMAPINFOHEADER* d, double& cx, double& cy) {
  double sx = 0, sy = 0, n = 0;
  for (int y = 0; y < DibHeight(d); ++y)
    for (int x = 0; x < DibWidth(d); ++x)
      if (DibRow(d, y)[4 * x + 3]) {
        sx += x;
        sy += y;
        ++n;
      }
  if (n == 0) return false;
  cx = sx / n;
  cy = sy / n;
  return true;
}

// Per kind: the enter phase ends on the text at rest, the first entering
// frame lies to the side it comes from (dx, dy: sign of its offset from the
// text at rest; 9 leaves an axis unchecked where the canvas edge cuts the
// picture), and the leave phase ends gone, at rest or magnified.
TEST_F(BannerKinds, EveryKindEntersToRestFromItsSideAndLeavesAsItShould) {
  const struct {
    int kind, dx, dy;
    End end;
  } kinds[] = {
      {BANNER_SLIDE_LEFT, 1, 9, End::Gone},     {BANNER_SLIDE_RIGHT, -1, 9, End::Gone},
      {BANNER_SLIDE_UP, 9, 1, End::Gone},       {BANNER_SLIDE_DOWN, 9, -1, End::Gone},
      {BANNER_FADE, 0, 0, End::Gone},           {BANNER_STILL, 0, 0, End::AtRest},
      {BANNER_FLASH, 0, 0, End::Gone},          {BANNER_TYPE, -1, 9, End::Gone},
      {BANNER_MERGE_VERTICAL, 9, 9, End::Gone}, {BANNER_MERGE_HORIZONTAL, 9, 9, End::Gone},
      {BANNER_GROW, 0, 0, End::Larger},         {BANNER_SHRINK, 9, 9, End::Gone},
      {BANNER_SPIN_GROW, 0, 0, End::Larger},    {BANNER_SPIN_SHRINK, 9, 9, End::Gone},
  };
  double rx = 0, ry = 0;
  ASSERT_TRUE(OpaqueCentre(AtRest().get(), rx, ry));
  auto sign = [](double d) { return d > 2 ? 1 : d < -2 ? -1 : 0; };
  for (const auto& k : kinds) {
    SCOPED_TRACE(BannerKindName(k.kind));
    const auto enter = Phase(k.kind, true, true, 7);
    ASSERT_EQ(enter.size(), 7u);
    EXPECT_TRUE(PixelEqual(Compose(enter.back()).get(), AtRest().get()));
    double cx = 0, cy = 0;
    if (OpaqueCentre(Compose(enter.front()).get(), cx, cy)) {
      EXPECT_TRUE(k.dx == 9 || sign(cx - rx) == k.dx) << "centre x " << cx << " at rest " << rx;
      EXPECT_TRUE(k.dy == 9 || sign(cy - ry) == k.dy) << "centre y " << cy << " at rest " << ry;
    }
    const CBannerClip last = Phase(k.kind, false, true, 7).back();
    if (k.end == End::Gone) {
      EXPECT_FALSE(OpaqueCentre(Compose(last).get(), cx, cy));
    } else if (k.end == End::AtRest) {
      EXPECT_TRUE(PixelEqual(Compose(last).get(), AtRest().get()));
    } else {
      ASSERT_TRUE(last.first.picture);
      EXPECT_GT(DibWidth(last.first.picture->GetImage()), m_w);
    }
  }
}

TEST_F(BannerKinds, DriverRunsBothPhasesAndRefusesWhatItCannotGenerate) {
  std::vector<CBannerClip> clips;
  m_s.enterKind = BANNER_FADE;
  m_s.leaveKind = BANNER_SLIDE_UP;
  m_s.enterFrames = 3;
  m_s.leaveFrames = 4;
  CTevCommonProgress progress;
  CScriptedPrompt prompt;
  ASSERT_EQ(GenerateBanner(m_s, clips, &progress, &prompt), BANNER_OK);
  ASSERT_EQ(clips.size(), 7u);
  EXPECT_TRUE(progress.Ended());

  struct Bad {
    const char* what;
    std::function<void(BannerSettings&)> change;
    int result;
  };
  const Bad bad[] = {
      {"picture without text generator", [](BannerSettings& s) {
         s.text = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(8, 8, 0, 255)));
         s.enterKind = BANNER_TYPE;
       }, BANNER_NO_TEXT},
      {"301 frames", [](BannerSettings& s) { s.leaveFrames = 301; }, BANNER_BAD_SETTINGS},
      {"kind 14", [](BannerSettings& s) { s.leaveKind = 14; }, BANNER_BAD_SETTINGS},
      {"rectangle outside", [](BannerSettings& s) { s.bannerRect = RECT{kW, 0, kW + 50, kH}; }, BANNER_BAD_SETTINGS},
  };
  for (const Bad& b : bad) {
    BannerSettings s = m_s;
    b.change(s);
    clips.assign(2, CBannerClip{});
    EXPECT_EQ(GenerateBanner(s, clips), b.result) << b.what;
    EXPECT_TRUE(clips.empty()) << b.what;
  }
  // A cancelled run keeps nothing.
  progress.Cancel();
  EXPECT_EQ(GenerateBanner(m_s, clips, &progress), BANNER_CANCELLED);
  EXPECT_TRUE(clips.empty());
}

}  // namespace
