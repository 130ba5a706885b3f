// The pixel-process framework: walker order, progress and cancel, the
// default selected-pixel blend, LUT routines and the progress stage wrap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_test_util.h"
#include "imaging/TevImageTransform"

using namespace TevImageTransform;
using imaging_test::Bgra;
using imaging_test::Solid32;

namespace {

// Inverts B, G, R and records the calls it receives.
class InvertProbe : public CTevSinglePixelProcessBase {
 public:
  bool need32 = false;
  int type = PROCESS_PER_PIXEL;
  int wholeResult = 7;
  std::vector<std::string> calls;
  int pixels = 0;

  bool ValidateColorBits(const CTevObjImage* img) override {
    return need32 ? img->ColorBits() == 32 : CTevSinglePixelProcessBase::ValidateColorBits(img);
  }
  PROCESS_TYPE QueryProcessType() override { return PROCESS_TYPE(type); }
  void OnEnterProcess(CTevObjImage*) override { calls.push_back("enter"); }
  void OnLeaveProcess(CTevObjImage*) override { calls.push_back("leave"); }
  int ProcessWholeImage(CTevObjImage*, CTevCommonProgress*) override {
    calls.push_back("whole");
    return wholeResult;
  }
  void ProcessPixel(CTevObjImage*, int, int, BYTE* p) override {
    ++pixels;
    p[0] = BYTE(255 - p[0]);
    p[1] = BYTE(255 - p[1]);
    p[2] = BYTE(255 - p[2]);
  }
};

class BlueHalf : public CTevPixelLUTRoutine {
 public:
  using CTevPixelLUTRoutine::CTevPixelLUTRoutine;
  int InitLUTtable(int v) override { return v / 2; }
};

// A progress sink that records every fraction and cancels after n reports.
class Recorder : public CTevCommonProgress {
 public:
  explicit Recorder(int cancelAfter = -1) : cancelAfter_(cancelAfter) {}
  std::vector<float> seen;
  void SetProgress(float f) override {
    CTevCommonProgress::SetProgress(f);
    seen.push_back(f);
    if (int(seen.size()) == cancelAfter_) Cancel();
  }

 private:
  int cancelAfter_;
};

}  // namespace

TEST(PixelWalker, ReportsWholePercentPerRow) {
  CTevObjImage img(4, 3, 32);
  InvertProbe p;
  Recorder rec;
  EXPECT_EQ(img.SinglePixelProcessProc(p, &rec), 1);
  ASSERT_EQ(rec.seen.size(), 3u);
  EXPECT_EQ(rec.seen[0], 33 / 100.0f);
  EXPECT_EQ(rec.seen[1], 66 / 100.0f);
  EXPECT_EQ(rec.seen[2], 1.0f);
  EXPECT_EQ(p.pixels, 12);
  EXPECT_EQ(img.GetPixelData(3, 2), Bgra(255, 255, 255, 0));
  EXPECT_EQ(p.calls, (std::vector<std::string>{"enter", "leave"}));
}

TEST(PixelWalker, CancelAfterFirstRowStopsAndStillLeaves) {
  CTevObjImage img(3, 10, 24);
  InvertProbe p;
  Recorder rec(1);
  EXPECT_EQ(img.SinglePixelProcessProc(p, &rec), 0);
  EXPECT_EQ(p.pixels, 3);
  EXPECT_EQ(img.GetPixelData(0, 0), 0xFFFFFFu);
  for (int y = 1; y < 10; ++y) EXPECT_EQ(img.GetPixelData(2, y), 0u) << y;
  EXPECT_EQ(p.calls, (std::vector<std::string>{"enter", "leave"}));
}

TEST(PixelWalker, WholeImageProcessIsCalledOnce) {
  CTevObjImage img = Solid32(2, 2, Bgra(1, 2, 3, 4));
  InvertProbe whole;
  whole.type = PROCESS_WHOLE_IMAGE;
  EXPECT_EQ(img.SinglePixelProcessProc(whole, nullptr), 7);
  EXPECT_EQ(whole.calls, (std::vector<std::string>{"enter", "whole", "leave"}));
  EXPECT_EQ(whole.pixels, 0);
}

// The inverted pixel blended with the old one by the level; alpha kept.
TEST(PixelProcess, SelectedPixelBlendLevels) {
  for (int level : {0, 128, 255}) {
    const BYTE before[4] = {0, 100, 255, 40};
    BYTE px[4] = {0, 100, 255, 40};
    InvertProbe().ProcessSelectedPixel(nullptr, 0, 0, px, BYTE(level));
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(px[c], ((255 - before[c]) * level + before[c] * (255 - level)) / 255) << level << " " << c;
    EXPECT_EQ(px[3], 40);
  }
}

TEST(PixelProcess, LutChangesOnlySwitchedChannels) {
  CTevObjImage img = Solid32(5, 2, Bgra(200, 100, 50, 77));
  BlueHalf blue(CHANNEL_BLUE);
  EXPECT_EQ(img.SinglePixelProcessProc(blue, nullptr), 1);
  EXPECT_EQ(img.GetPixelData(4, 1), Bgra(100, 100, 50, 77));
  BlueHalf all;
  CTevObjImage rgb(3, 1, 24);
  rgb.SetPixelData(2, 0, 0x804020);
  EXPECT_EQ(rgb.SinglePixelProcessProc(all, nullptr), 1);
  EXPECT_EQ(rgb.GetPixelData(2, 0), 0x402010u);
}

TEST(ProgressWrap, MapsStagesAndForwardsCancel) {
  Recorder display;
  COperateProgressWrap wrap(&display, 1.0f);
  wrap.SetStage(0.5f, 0.5f);
  wrap.SetProgress(0.5f);
  EXPECT_EQ(wrap.Percent(), 75);
  EXPECT_FALSE(wrap.IsCancelled());
  display.Cancel();
  EXPECT_TRUE(wrap.IsCancelled());
  // A walk through the wrap stops when the display is cancelled.
  CTevObjImage img(2, 4, 32);
  InvertProbe p;
  EXPECT_EQ(img.SinglePixelProcessProc(p, &wrap), 0);
  EXPECT_EQ(p.pixels, 2);
}
