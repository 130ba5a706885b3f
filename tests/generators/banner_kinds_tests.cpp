// The fourteen banner kinds: where each phase starts and ends, and the
// driver's refusals.
#include <gtest/gtest.h>

#include "companions/base/progress.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"
#include "generators/banner_command.h"
#include "generators/banner_generators.h"

namespace {

constexpr int kW = 200, kH = 60, kX0 = 30, kY0 = 12;

int Trunc(long long product, int count) { return int(float(product) / float(count)); }

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
  EXPECT_EQ(clips[0].first.transparency, 2 * 255 / 3);
  EXPECT_EQ(clips[3].first.y, kY0 - Trunc(kY0 + m_h, 4));
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
