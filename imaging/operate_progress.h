// COperateProgressWrap: a progress sink for operations made of stages. Each
// stage reports its own fraction 0..1; the wrap maps it into the stage as
// (fraction * stage width + stage start) * overall scale, keeps that as a
// whole percentage for the status bar, and passes the mapped fraction on to
// the display sink. Cancelling the display (or the wrap) cancels the stage.
//
// Usage: 1. COperateProgressWrap wrap(&display)  2. wrap.SetStage(0, 0.5f)
// 3. first operation(&wrap)  4. wrap.SetStage(0.5f, 0.5f)  5. second
// operation(&wrap)  6. wrap.EndProgress().
#pragma once

#include <string>

#include "companions/base/progress.h"

namespace TevImageTransform {

class COperateProgressWrap : public CTevCommonProgress {
 public:
  explicit COperateProgressWrap(CTevCommonProgress* display = nullptr, float scale = 1.0f)
      : display_(display), scale_(scale) {}

  // Stage start and width as fractions of the whole operation.
  void SetStage(float start, float width) {
    start_ = start;
    width_ = width;
  }
  void SetScale(float scale) { scale_ = scale; }

  void SetProgress(float fraction) override {
    const float mapped = (fraction * width_ + start_) * scale_;
    CTevCommonProgress::SetProgress(mapped);
    percent_ = int(Fraction() * 100.0f);
    if (display_) display_->SetProgress(Fraction());
  }
  void SetCaption(const std::string& caption) override {
    CTevCommonProgress::SetCaption(caption);
    if (display_) display_->SetCaption(caption);
  }
  void EndProgress() override {
    CTevCommonProgress::EndProgress();
    if (display_) display_->EndProgress();
  }
  bool IsCancelled() const override {
    return CTevCommonProgress::IsCancelled() || (display_ && display_->IsCancelled());
  }

  // The percentage the status bar shows (truncated).
  int Percent() const { return percent_; }

 private:
  CTevCommonProgress* display_;
  float scale_;
  float start_ = 0.0f;
  float width_ = 1.0f;
  int percent_ = 0;
};

}  // namespace TevImageTransform
