// The live picture of a transition effect: the current frame run through one
// performer at a progress that loops from 0 to 1. The dialog advances it on
// a 10 ms timer; tests step it without a clock.
#pragma once

#include <QImage>

#include "generators/effect_performers.h"

class CLoopwrightDoc;

class CTransitionPreview {
 public:
  // One loop from progress 0 to 1 lasts kLoopMs of Advance time.
  static constexpr int kLoopMs = 2000;
  static constexpr int kTimerMs = 10;

  explicit CTransitionPreview(const CLoopwrightDoc& doc) : m_doc(doc) {}

  // The performer to show (not owned; null shows nothing). Rebuilds the
  // source, so call it again after the object-mode flag changes.
  void SetPerformer(CEffectPerform* performer);
  // Moves the progress on by ms, wrapping past 1 back to 0.
  void Advance(int ms);
  void SetProgress(double progress);
  double Progress() const { return m_progress; }
  // The frame as the effect shows it at the current progress: canvas size,
  // transparent where nothing is drawn. Null without a performer or source.
  QImage Picture() const;
  bool HasSource() const { return bool(m_source); }

 private:
  const CLoopwrightDoc& m_doc;
  CEffectPerform* m_performer = nullptr;
  RefPtr<CRefImageObject> m_source;
  int m_sourceIndex = -1;  // object mode: the source's place in the current frame
  double m_progress = 0;
};
