// The banner driver: checks the settings, runs the enter and leave phases
// through their generators and reports progress.
#include <new>

#include "companions/base/progress.h"
#include "generators/banner_generators.h"
#include "companions/base/tr.h"

const TrText kBannerNoTextText{TrMark("Please enter the text!")};
const TrText kBannerNoPhaseText{TrMark("Please enable at least one effect!")};
const TrText kBannerFailedText{TrMark("Generating the banner failed!")};
const TrText kBannerErrorTitle{TrMark("Error")};
const TrText kBannerCaptionText{TrMark("Generating frames...")};

namespace {

constexpr const char* kKindNames[BANNER_KIND_COUNT] = {
    "slide-left", "slide-right", "slide-up", "slide-down",       "fade",       "still",       "flash",
    "type",       "merge-vertical", "merge-horizontal", "grow", "shrink", "spin-grow", "spin-shrink"};

bool ValidPhase(bool enabled, int kind, int frames) {
  return !enabled || (kind >= 0 && kind < BANNER_KIND_COUNT && frames >= 1 && frames <= kMaxBannerFrames);
}

bool ValidSettings(const BannerSettings& s) {
  if (!ValidPhase(s.enterEnabled, s.enterKind, s.enterFrames) || !ValidPhase(s.leaveEnabled, s.leaveKind, s.leaveFrames))
    return false;
  if (s.frameDelay < 0 || s.frameDelay > kMaxBannerDelay) return false;
  if (s.canvasWidth < 1 || s.canvasHeight < 1 || s.canvasWidth > kMaxDibDimension || s.canvasHeight > kMaxDibDimension)
    return false;
  // Positions far outside the canvas would overflow the slide arithmetic.
  constexpr int kFar = 1 << 20;
  if (s.x0 < -kFar || s.x0 > kFar || s.y0 < -kFar || s.y0 > kFar) return false;
  const RECT& r = s.bannerRect;
  return r.left < s.canvasWidth && r.top < s.canvasHeight && r.right > 0 && r.bottom > 0 && r.right > r.left &&
         r.bottom > r.top;
}

// The status caption and progress of one run, removed when it ends.
class CBannerStatus {
 public:
  CBannerStatus(CTevCommonProgress* progress, CPromptInterface* prompt) : m_progress(progress), m_prompt(prompt) {
    if (m_prompt) m_prompt->SetStatusCaption(kBannerCaptionText);
    if (m_progress) m_progress->SetCaption(kBannerCaptionText);
  }
  ~CBannerStatus() {
    if (m_progress) m_progress->EndProgress();
    if (m_prompt) m_prompt->SetStatusCaption({});
  }
  // Shows percent; false when the run is to stop.
  bool Show(int percent) {
    if (!m_progress) return true;
    m_progress->SetProgress(float(percent) / 100.0f);
    return !m_progress->IsCancelled();
  }

 private:
  CTevCommonProgress* m_progress;
  CPromptInterface* m_prompt;
};

}  // namespace

const char* BannerKindName(int kind) { return kind >= 0 && kind < BANNER_KIND_COUNT ? kKindNames[kind] : ""; }

int FindBannerKind(const std::string& name) {
  for (int k = 0; k < BANNER_KIND_COUNT; ++k)
    if (name == kKindNames[k]) return k;
  return -1;
}

int BannerVariant(int kind) {
  switch (kind) {
    case BANNER_SLIDE_LEFT:
    case BANNER_SLIDE_RIGHT:
    case BANNER_SLIDE_UP:
    case BANNER_SLIDE_DOWN: return kind;
    case BANNER_MERGE_VERTICAL:
    case BANNER_GROW:
    case BANNER_SPIN_GROW: return 1;
    default: return 0;
  }
}

std::unique_ptr<CGenEffectBanner> CreateBannerGenerator(int kind, const BannerSettings& s) {
  switch (kind) {
    case BANNER_SLIDE_LEFT:
    case BANNER_SLIDE_RIGHT:
    case BANNER_SLIDE_UP:
    case BANNER_SLIDE_DOWN: return std::make_unique<CGenSliderBanner>(s);
    case BANNER_FADE: return std::make_unique<CGenFadeBanner>(s);
    case BANNER_STILL: return std::make_unique<CGenStillBanner>(s);
    case BANNER_FLASH: return std::make_unique<CGenFlashBanner>(s);
    case BANNER_TYPE: return std::make_unique<CGenTypeBanner>(s);
    // Parts that slide vertically interleave as columns, horizontal ones as rows.
    case BANNER_MERGE_VERTICAL: return std::make_unique<CGenMergeBanner>(s, true);
    case BANNER_MERGE_HORIZONTAL: return std::make_unique<CGenMergeBanner>(s, false);
    case BANNER_GROW:
    case BANNER_SHRINK: return std::make_unique<CGenScaleBanner>(s);
    case BANNER_SPIN_GROW:
    case BANNER_SPIN_SHRINK: return std::make_unique<CGenTransformBanner>(s);
    default: return nullptr;
  }
}

int GenerateBanner(const BannerSettings& settings, std::vector<CBannerClip>& clips, CTevCommonProgress* progress,
                   CPromptInterface* prompt) {
  clips.clear();
  if (!settings.enterEnabled && !settings.leaveEnabled) return BANNER_NO_PHASE;
  if (!ValidSettings(settings)) return BANNER_BAD_SETTINGS;
  const BITMAPINFOHEADER* text = settings.text ? settings.text->GetImage() : nullptr;
  if (!text || DibWidth(text) < 1 || DibHeight(text) < 1) return BANNER_NO_TEXT;

  const int enterFrames = settings.enterEnabled ? settings.enterFrames : 0;
  const int leaveFrames = settings.leaveEnabled ? settings.leaveFrames : 0;
  const int total = enterFrames + leaveFrames;
  int result = BANNER_OK;
  try {
    CBannerStatus status(progress, prompt);
    clips.reserve(std::size_t(total));
    long long bytes = 0;
    for (const bool enter : {true, false}) {
      const int count = enter ? enterFrames : leaveFrames;
      if (count == 0) continue;
      const int kind = enter ? settings.enterKind : settings.leaveKind;
      std::unique_ptr<CGenEffectBanner> generator = CreateBannerGenerator(kind, settings);
      if (!generator->Prepare()) {
        result = generator->TooLarge() ? BANNER_TOO_LARGE : BANNER_NO_TEXT;
        break;
      }
      for (int i = 1; i <= count && result == BANNER_OK; ++i) {
        CBannerClip clip;
        generator->GenerateClip(i, count, enter, BannerVariant(kind), clip);
        if (generator->TooLarge() || bytes + generator->PictureBytes() > kMaxBannerTotalBytes) {
          result = BANNER_TOO_LARGE;
          break;
        }
        clips.push_back(std::move(clip));
        const int percent = enter ? 100 * i / total : ((enterFrames + i) * 100 - 100) / total;
        if (!status.Show(percent)) result = BANNER_CANCELLED;
      }
      bytes += generator->PictureBytes();
      if (result != BANNER_OK) break;
    }
  } catch (const std::bad_alloc&) {
    result = BANNER_TOO_LARGE;
  }
  if (result != BANNER_OK) clips.clear();
  return result;
}
