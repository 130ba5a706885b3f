// Progress sinks handed to long-running operations.
//
// Usage: 1. the caller creates a CTevCommonProgress (optionally with a
// callback that draws the fraction) 2. the operation calls SetProgress after
// each row or frame and stops with failure when IsCancelled() turns true
// 3. the operation (or the caller) calls EndProgress when done.
// Virtual slot order is fixed: SetProgress, SetCaption, EndProgress.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <utility>

class CTevProgressInterface {
 public:
  // fraction runs from 0 (nothing done) to 1 (all done).
  virtual void SetProgress(float fraction) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void EndProgress() = 0;
  virtual bool IsCancelled() const = 0;

 protected:
  ~CTevProgressInterface() = default;
};

// Remembers the last fraction and caption; draws nothing.
class CTevBaseProgress : public CTevProgressInterface {
 public:
  virtual ~CTevBaseProgress() = default;
  void SetProgress(float fraction) override {
    fraction_ = fraction < 0.0f ? 0.0f : (fraction > 1.0f ? 1.0f : fraction);
  }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void EndProgress() override { ended_ = true; }
  bool IsCancelled() const override { return false; }

  float Fraction() const { return fraction_; }
  const std::string& Caption() const { return caption_; }
  bool Ended() const { return ended_; }

 private:
  float fraction_ = 0.0f;
  std::string caption_;
  bool ended_ = false;
};

// Adds the cancel flag. Cancel() may be called from a signal handler or
// another thread; the running operation reads the flag after each step.
class CTevInterruptibleProgress : public CTevBaseProgress {
 public:
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  void ResetCancel() { cancelled_.store(false, std::memory_order_relaxed); }
  bool IsCancelled() const override { return cancelled_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> cancelled_{false};
};

// The sink every library call takes. An optional callback sees each
// fraction (the CLI and the GUI draw it); without one it only records.
class CTevCommonProgress : public CTevInterruptibleProgress {
 public:
  using Callback = std::function<void(float fraction, const std::string& caption)>;
  CTevCommonProgress() = default;
  explicit CTevCommonProgress(Callback callback) : callback_(std::move(callback)) {}

  void SetProgress(float fraction) override {
    CTevInterruptibleProgress::SetProgress(fraction);
    if (callback_) callback_(Fraction(), Caption());
  }

 private:
  Callback callback_;
};

// Reports step done of total in whole percent and reads the cancel flag.
// Returns false when the operation must stop. A null sink never cancels.
inline bool ReportProgressStep(CTevCommonProgress* progress, long long done, long long total) {
  if (!progress) return true;
  if (total > 0) progress->SetProgress(float(done * 100 / total) / 100.0f);
  return !progress->IsCancelled();
}
