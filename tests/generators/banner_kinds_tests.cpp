// The fourteen banner kinds clip by clip: positions, transparencies, shown
// frames, character counts and scales for counts 1, 2 and 7 in both phases
// (the leave phase with and without an enter phase), each expected value
// worked out here from the kind's formula; the merge parts' split.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "companions/base/progress.h"
#include "companions/dibkernel/dib_kernel.h"
#include "editing/doc_builder.h"
#include "generators/banner_command.h"
#include "generators/banner_generators.h"

namespace {

using TevCustomPathLibV::CTevTextObj;

constexpr int kW = 200, kH = 60, kX0 = 30, kY0 = 12;

int Trunc(long long product, int count) { return int(float(product) / float(count)); }

struct PhaseCase {
  bool enter, enterEnabled;
};
constexpr PhaseCase kPhases[] = {{true, true}, {false, true}, {false, false}};
constexpr int kCounts[] = {1, 2, 7};

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

  CTevTextObj TextCopy() const {
    CTevTextObj t = static_cast<CTextDibFactory&>(*m_text->m_pFactory).Text();
    EXPECT_TRUE(t.BuildGlyphPath() && t.RebuildPaths());
    return t;
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

  // Calls check(phase, i, count, clip) for every clip of the kind in every
  // phase and count; i and count are shifted for a leave phase without an
  // enter phase when shift is set.
  void EachClip(int kind, bool shift, const std::function<void(const PhaseCase&, int, int, const CBannerClip&)>& check);

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

void BannerKinds::EachClip(int kind, bool shift,
                           const std::function<void(const PhaseCase&, int, int, const CBannerClip&)>& check) {
  for (const PhaseCase& p : kPhases)
    for (int n : kCounts) {
      const auto clips = Phase(kind, p.enter, p.enterEnabled, n);
      for (int i = 1; i <= n; ++i) {
        SCOPED_TRACE(testing::Message() << BannerKindName(kind) << " enter " << p.enter << " after enter "
                                        << p.enterEnabled << " count " << n << " i " << i);
        // The leave phase without an enter phase starts one step earlier.
        const bool early = shift && !p.enter && !p.enterEnabled;
        check(p, early ? i - 1 : i, early && n > 1 ? n - 1 : n, clips[std::size_t(i - 1)]);
      }
    }
}

TEST_F(BannerKinds, SlidersMoveByTheTruncatedFractionOfTheWay) {
  for (int kind = 0; kind < 4; ++kind)
    EachClip(kind, true, [&](const PhaseCase& p, int i, int c, const CBannerClip& clip) {
      int x = kX0, y = kY0;
      if (kind == 0) x = p.enter ? kW - Trunc((kW - kX0) * i, c) : kX0 - Trunc((kX0 + m_w) * i, c);
      if (kind == 1) x = p.enter ? Trunc((kX0 + m_w) * i, c) - m_w : kX0 + Trunc((kW - kX0) * i, c);
      if (kind == 2) y = p.enter ? kH - Trunc((kH - kY0) * i, c) : kY0 - Trunc((kY0 + m_h) * i, c);
      if (kind == 3) y = p.enter ? Trunc((kY0 + m_h) * i, c) - m_h : kY0 + Trunc((kH - kY0) * i, c);
      EXPECT_EQ(clip.first.picture, m_text);
      EXPECT_EQ(clip.first.x, x);
      EXPECT_EQ(clip.first.y, y);
      EXPECT_EQ(clip.first.transparency, 0);
      EXPECT_EQ(clip.delay, 9);
      EXPECT_FALSE(clip.second.picture);
    });
}

TEST_F(BannerKinds, FadeStillAndFlashKeepTheTextInPlace) {
  for (int kind : {BANNER_FADE, BANNER_STILL, BANNER_FLASH})
    EachClip(kind, kind == BANNER_FADE, [&](const PhaseCase& p, int i, int c, const CBannerClip& clip) {
      const int t = kind == BANNER_FADE ? (p.enter ? (c - i) * 255 / c : i * 255 / c) : 0;
      // Flash: on the frames of the count's parity entering, on even frames
      // leaving after an enter phase, on odd ones without.
      const bool shown = kind != BANNER_FLASH || (p.enter ? i % 2 == c % 2 : (i % 2 == 0) == p.enterEnabled);
      EXPECT_EQ(clip.delay, 9);
      ASSERT_EQ(bool(clip.first.picture), shown);
      if (!shown) return;
      EXPECT_EQ(clip.first.x, kX0);
      EXPECT_EQ(clip.first.y, kY0);
      EXPECT_EQ(clip.first.transparency, t);
    });
}

TEST_F(BannerKinds, TypingShowsTheRoundedShareOfCharactersRenderedOncePerCount) {
  CTevTextObj text = TextCopy();
  const int chars = int(text.CharacterCount());
  ASSERT_EQ(chars, 7);
  for (bool fromRight : {false, true}) {
    m_s.typeFromRight = fromRight;
    EachClip(BANNER_TYPE, true, [&](const PhaseCase& p, int i, int c, const CBannerClip& clip) {
      const int k = int(std::floor(double(chars * (p.enter ? i : c - i)) / c + 0.5));
      ASSERT_EQ(bool(clip.first.picture), k > 0);
      if (k == 0) return;
      POINT off{0, 0};
      DibPtr part(text.RenderPartial(std::size_t(k), &off));
      ASSERT_TRUE(part);
      EXPECT_TRUE(PixelEqual(clip.first.picture->GetImage(), part.get()));
      EXPECT_EQ(clip.first.x, kX0 + off.x + (fromRight ? m_w - DibWidth(part.get()) : 0));
      EXPECT_EQ(clip.first.y, kY0 + off.y);
    });
  }
  // Each character count is rendered once: ten frames of five characters need five.
  CBannerTextStyle five;
  five.text = "abcde";
  m_s.text = CreateBannerTextObject(five);
  CGenTypeBanner gen(m_s);
  ASSERT_TRUE(gen.Prepare());
  for (int i = 1; i <= 10; ++i) {
    CBannerClip clip;
    gen.GenerateClip(i, 10, true, 0, clip);
  }
  EXPECT_EQ(gen.RenderCount(), 5);
}

TEST_F(BannerKinds, ScaleAndTurnRenderAtTheScheduledScaleCentredOnTheText) {
  const double m = (double(kH) / m_h + double(kW) / m_w) / 2;
  for (int kind : {BANNER_GROW, BANNER_SHRINK, BANNER_SPIN_GROW, BANNER_SPIN_SHRINK}) {
    const bool grow = kind == BANNER_GROW || kind == BANNER_SPIN_GROW, turn = kind >= BANNER_SPIN_GROW;
    EachClip(kind, true, [&](const PhaseCase& p, int i, int c, const CBannerClip& clip) {
      double s;
      if (grow) s = p.enter ? double(i) / c : 1 + i * (m - 1) / c;
      else s = p.enter ? 1 + (m - 1) * (c - i) / c : double(c - i) / c;
      // One turn over the phase, ending (enter) or starting (leave) at rest.
      const double a = !turn ? 0 : p.enter ? (c > 1 ? 360.0 * (i - 1) / (c - 1) : 0) : 360.0 * i / c;
      const double angle = a > 0 ? 360 - a : 0;
      ASSERT_EQ(bool(clip.first.picture), s > 0);
      if (s == 0) return;
      auto factory = MakeRef<CTextDibFactory>(static_cast<CTextDibFactory&>(*m_text->m_pFactory).Text());
      DibPtr expected(factory->Transform(s, s, std::trunc(angle)));
      ASSERT_TRUE(expected);
      EXPECT_TRUE(PixelEqual(clip.first.picture->GetImage(), expected.get()));
      EXPECT_EQ(clip.first.x, kX0 + (m_w - DibWidth(expected.get())) / 2);
      EXPECT_EQ(clip.first.y, kY0 + (m_h - DibHeight(expected.get())) / 2);
    });
  }
}

TEST_F(BannerKinds, ATextLargerThanTheCanvasStaysInRange) {
  // A canvas smaller than the text: m falls below 1 and becomes 1.608.
  m_s.canvasWidth = m_w / 2;
  m_s.canvasHeight = m_h / 2;
  m_s.bannerRect = RECT{0, 0, m_w / 2, m_h / 2};
  CGenScaleBanner scale(m_s);
  ASSERT_TRUE(scale.Prepare());
  EXPECT_DOUBLE_EQ(scale.Magnification(), 1.608);
}

TEST_F(BannerKinds, MergePartsSlideFromOppositeEdges) {
  for (int kind : {BANNER_MERGE_VERTICAL, BANNER_MERGE_HORIZONTAL}) {
    CTevTextObj text = TextCopy();
    DibPtr a, b;
    POINT ao{0, 0}, bo{0, 0};
    ASSERT_TRUE(text.RenderHalftoneParts(kind == BANNER_MERGE_VERTICAL, &a, &ao, &b, &bo));
    ASSERT_TRUE(a && b);
    const int ax = kX0 + ao.x, ay = kY0 + ao.y, bx = kX0 + bo.x, by = kY0 + bo.y;
    EachClip(kind, true, [&](const PhaseCase& p, int i, int c, const CBannerClip& clip) {
      if (p.enter && i == c) {  // the whole text instead
        EXPECT_EQ(clip.first.picture, m_text);
        EXPECT_EQ(clip.first.x, kX0);
        EXPECT_FALSE(clip.second.picture);
        return;
      }
      const int mm = p.enter ? c - i : i;
      ASSERT_TRUE(clip.first.picture && clip.second.picture);
      EXPECT_TRUE(PixelEqual(clip.first.picture->GetImage(), a.get()));
      EXPECT_TRUE(PixelEqual(clip.second.picture->GetImage(), b.get()));
      const bool v = kind == BANNER_MERGE_VERTICAL;
      EXPECT_EQ(clip.first.x, v ? ax : ax - Trunc((DibWidth(a.get()) + ax) * mm, c));
      EXPECT_EQ(clip.first.y, v ? ay - Trunc((DibHeight(a.get()) + ay) * mm, c) : ay);
      EXPECT_EQ(clip.second.x, v ? bx : bx + Trunc((kW - bx) * mm, c));
      EXPECT_EQ(clip.second.y, v ? by + Trunc((kH - by) * mm, c) : by);
    });
    // The parts at rest cover the text exactly, no pixel in both.
    const auto rest = Phase(kind, false, false, 1);
    CBannerClip onlyA = rest[0], onlyB = rest[0];
    onlyA.second = {};
    onlyB.first = {};
    DibPtr pa = Compose(onlyA), pb = Compose(onlyB);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        ASSERT_FALSE(DibRow(pa.get(), y)[4 * x + 3] && DibRow(pb.get(), y)[4 * x + 3]) << x << "," << y;
    EXPECT_TRUE(PixelEqual(Compose(rest[0]).get(), AtRest().get()));
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
  EXPECT_FLOAT_EQ(progress.Fraction(), float(((3 + 4) * 100 - 100) / 7) / 100);  // whole percent
  EXPECT_TRUE(progress.Ended());
  EXPECT_EQ(progress.Caption(), "生成帧...");

  struct Bad {
    const char* what;
    std::function<void(BannerSettings&)> change;
    int result;
  };
  const Bad bad[] = {
      {"no phase", [](BannerSettings& s) { s.enterEnabled = s.leaveEnabled = false; }, BANNER_NO_PHASE},
      {"no text", [](BannerSettings& s) { s.text = nullptr; }, BANNER_NO_TEXT},
      {"picture without text generator", [](BannerSettings& s) {
         s.text = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(8, 8, 0, 255)));
         s.enterKind = BANNER_TYPE;
       }, BANNER_NO_TEXT},
      {"zero frames", [](BannerSettings& s) { s.enterFrames = 0; }, BANNER_BAD_SETTINGS},
      {"301 frames", [](BannerSettings& s) { s.leaveFrames = 301; }, BANNER_BAD_SETTINGS},
      {"kind 14", [](BannerSettings& s) { s.leaveKind = 14; }, BANNER_BAD_SETTINGS},
      {"negative delay", [](BannerSettings& s) { s.frameDelay = -1; }, BANNER_BAD_SETTINGS},
      {"empty rectangle", [](BannerSettings& s) { s.bannerRect = RECT{10, 10, 10, 40}; }, BANNER_BAD_SETTINGS},
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
