// Transition generation: N pictures of one effect built from the current
// frame (frame mode) or from the selected object (object mode), wrapped into
// new objects and frames and recorded as one undoable action.
//
// Usage: 1. auto list = CreateEffectPerformers(); pick list[i] and set its
// flags and options 2. GenerateTransition(doc, *list[i], i, settings).
#pragma once

#include <cstdint>

#include "app/loopwright_doc.h"
#include "generators/effect_performers.h"
#include "companions/base/tr.h"

class CTevCommonProgress;

constexpr int kEffectCount = 34;

// The CUpdateFramesDIBAction kind a generation with list entry i records.
int EffectActionKind(int index);

// The pane's settings (process-wide).
struct CTransitionSettings {
  int frameCount = 10;     // 1 to 300
  int frameDelay = 20;     // delay of every new frame, 0 to 32767
  int keyFrameDelay = 50;  // delay the key frame gets, 0 to 32767
  // "GeneratedFramesCount", "GeneratedFramesDelay", "GeneratedKeyFrameDelay".
  static CTransitionSettings FromPreferences(const CLoopwrightApp& app);
  bool IsValid() const;
};

// String 145 (shown when the current frame shows no object) and 146 (the
// status caption while pictures are built).
extern const TrText kNoVisibleObjectText;
extern const TrText kBuildingFramesText;

enum class TransitionStatus {
  Done,
  NoFrame,          // no current frame
  NoVisibleObject,  // message 145 was shown
  NoSource,         // object mode without a selected, visible object
  BadSettings,
  Cancelled,
  OutOfMemory,
};

// Whether some reference of the frame is visible and has a picture.
bool FrameHasVisibleObject(const CGifFrame& frame);

// The source reference: frame mode a new reference at (0, 0), opaque and
// visible, to a new object holding the current frame composed at canvas
// size; object mode the current frame's reference of the first selected
// object that is visible there. Null when there is none.
RefPtr<CRefImageObject> BuildTransitionSource(const CLoopwrightDoc& doc, bool objectMode);

// Builds the pictures with performer (list entry effectIndex), inserts them
// and records one CBuldingFramesDIBAction. Nothing changes unless Done is
// returned. A frame without a visible object shows message 145.
TransitionStatus GenerateTransition(CLoopwrightDoc& doc, CEffectPerform& performer, int effectIndex,
                                    const CTransitionSettings& settings, CTevCommonProgress* progress = nullptr);
