// From a document to Flash movie entries that show each frame with as few
// bitmap bytes as possible, then the movie itself.
//
// CFlashOptimal stages, in order: 1. Build: every frame composed at canvas
// size with its transparency mask 2. Crop: each cut to its opaque part (a
// frame with nothing opaque becomes a white 1-bit picture of the canvas)
// 3. Compare: a frame identical to the one before becomes a repeat
// 4. Difference: walking backwards, each frame is stored whole or as the part
// that differs from the previous stored frame, whichever encodes smaller (on
// a tie the earlier alternative: whole, opaque part, part with unchanged
// pixels transparent). ExportFlashMovie runs them and writes the movie.
#pragma once

#include <string>
#include <vector>

#include "app/gif_image.h"
#include "companions/base/progress.h"
#include "export/swf_encoder.h"

class CLoopwrightDoc;
class CPromptInterface;

// How a movie is written.
struct CFlashSettings {
  bool lossless = true;      // false: JPEG bitmaps
  int quality = 90;          // JPEG quality 1-100
  int fps = 0;               // frames per second; 0: from the delays
  bool exactTiming = false;  // repeat frames so each shows for its own delay
};

// The movie rate from the average delay: 1000 / average milliseconds,
// rounded half up, clamped to 1..30; 30 when every delay is 0.
int FlashFrameRate(const CGifImage& model);

// Exact timing: how many movie frames each delay (hundredths of a second)
// lasts at rate fps (at least one; within half a movie frame of the delay).
std::vector<int> FlashFrameCounts(const std::vector<int>& delays, int fps);
// The rate (1..50) at which those counts miss the delays least (ties: the
// lower rate), keeping the movie within 65535 frames; 30 when all delays are 0.
int FlashExactRate(const std::vector<int>& delays);

class CFlashOptimal {
 public:
  // encoder measures the alternatives of the difference stage.
  // prompt (may be null) shows the stage captions in the status bar.
  CFlashOptimal(const CGifImage& model, const CSwfEncoder& encoder, CPromptInterface* prompt = nullptr)
      : m_model(model), m_encoder(encoder), m_prompt(prompt) {}

  // The four stages with their captions and progress; false on a failed
  // composition, crop or measurement, or cancel.
  bool Run(CTevCommonProgress* progress);
  bool Build(CTevCommonProgress* progress);
  bool Crop(CTevCommonProgress* progress);
  bool Compare(CTevCommonProgress* progress);
  bool Difference(CTevCommonProgress* progress);
  // Follows entry i with counts[i] - 1 repeats (counts as many as entries).
  void Stretch(const std::vector<int>& counts);

  std::vector<CSWFFrameOptimal>& Entries() { return m_entries; }

 private:
  void Caption(CTevCommonProgress* progress, const std::string& text) const;
  const CGifImage& m_model;
  const CSwfEncoder& m_encoder;
  CPromptInterface* m_prompt;
  std::vector<CSWFFrameOptimal> m_entries;
};

// The part of frame b to draw over frame a (a already shown, both whole
// frames at their stage positions) so that the stage shows b. Only possible
// when every opaque pixel of a is opaque in b and something differs.
// opaque: b's pixels over the box of the differing pixels; transparent (when
// given and the box holds unchanged opaque pixels): the same box with the
// unchanged pixels transparent. Results keep their masks only when needed.
struct CFlashSplit {
  bool possible = false;
  bool transparencyUsed = false;
  CSWFFrameOptimal opaque;
  CSWFFrameOptimal transparent;
};
bool SplitFlashFrames(const CSWFFrameOptimal& a, const CSWFFrameOptimal& b, CFlashSplit& split);

// Prepares and writes the movie of model to path (atomically). reason says
// why on failure.
bool ExportFlashMovie(const CGifImage& model, const std::string& path, const CFlashSettings& settings,
                      CTevCommonProgress* progress, std::string* reason = nullptr, CPromptInterface* prompt = nullptr);
// The document command: the status caption follows the stages.
bool ExportFlashMovie(CLoopwrightDoc& doc, const std::string& path, const CFlashSettings& settings,
                      CTevCommonProgress* progress, std::string* reason = nullptr);
