// The banner generators (one class per family of kinds) and the driver that
// runs the enter and leave phases.
//
// A generator lives for one run: Prepare() once, then GenerateClip(i, count,
// enter, variant, clip) for i = 1 .. count of its phase. Every clip gets the
// frame delay; when the banner rectangle does not cover the canvas, each
// picture is cut to it (text and shadow merged into one picture).
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "app/dib_factories.h"
#include "app/prompt.h"
#include "generators/banner_settings.h"
#include "companions/base/tr.h"

class CTevCommonProgress;

// GenerateBanner results.
enum BannerResult {
  BANNER_OK = 0,
  BANNER_NO_TEXT = 1,       // the text picture cannot be prepared
  BANNER_NO_PHASE = 2,      // neither phase is enabled
  BANNER_BAD_SETTINGS = 3,  // a kind, frame count, delay, canvas or rectangle out of range
  BANNER_TOO_LARGE = 4,     // the pictures would exceed the memory limits
  BANNER_CANCELLED = 5,
};

// Limits that keep a run within memory: one picture, and all distinct
// pictures of a run together.
constexpr long long kMaxBannerPicturePixels = 16LL << 20;
constexpr long long kMaxBannerTotalBytes = 512LL << 20;

// Texts of the banner command: no text, no phase (both under "错误"),
// generation failed, and the status caption.
extern const TrText kBannerNoTextText;
extern const TrText kBannerNoPhaseText;
extern const TrText kBannerFailedText;
extern const TrText kBannerErrorTitle;
extern const TrText kBannerCaptionText;

// Kind names: slide-left .. spin-shrink; -1 for an unknown name.
const char* BannerKindName(int kind);
int FindBannerKind(const std::string& name);

class CGenEffectBanner {
 public:
  explicit CGenEffectBanner(const BannerSettings& settings);
  virtual ~CGenEffectBanner() = default;
  virtual void GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) = 0;
  // Builds what every clip of the run needs; false when the text cannot be
  // rendered.
  virtual bool Prepare() { return true; }

  // Set when a picture of the run would break the memory limits; the run
  // then fails instead of producing frames without text.
  bool TooLarge() const { return m_bTooLarge; }
  // Bytes of the distinct pictures this generator made.
  long long PictureBytes() const { return m_nBytes; }

 protected:
  // The leave phase without an enter phase starts from the text at rest.
  void ShiftLeave(int& i, int& count, bool enter) const;
  // Cuts both slots to the banner rectangle when it does not cover the canvas.
  void CutToBanner(CBannerClip& clip);
  // Wraps a new picture as an object with the text's shadow; counts its bytes.
  RefPtr<CDib> WrapPicture(DibPtr picture, RefPtr<CDibFactory> factory = nullptr);
  // The text's generator when it is a text; null otherwise.
  CTextDibFactory* TextFactory() const;
  bool CheckPixels(double w, double h);

  const BannerSettings& m_settings;
  int m_w = 0, m_h = 0;  // the text picture's size
  bool m_bTooLarge = false;
  long long m_nBytes = 0;

 private:
  // Cut pictures by source picture and position: a still text is cut once.
  std::map<std::tuple<const CDib*, int, int>, std::pair<RefPtr<CDib>, CBannerSlot>> m_cut;
};

class CGenSliderBanner : public CGenEffectBanner {
 public:
  using CGenEffectBanner::CGenEffectBanner;
  void GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
};

class CGenStillBanner : public CGenEffectBanner {
 public:
  using CGenEffectBanner::CGenEffectBanner;
  void GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
};

class CGenFadeBanner : public CGenStillBanner {
 public:
  using CGenStillBanner::CGenStillBanner;
  void GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
};

class CGenFlashBanner : public CGenStillBanner {
 public:
  using CGenStillBanner::CGenStillBanner;
  void GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
};

class CGenMergeBanner : public CGenEffectBanner {
 public:
  CGenMergeBanner(const BannerSettings& settings, bool vertical)
      : CGenEffectBanner(settings), m_bVertical(vertical) {}
  void GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
  // Splits the text into the two half-tone parts.
  bool Prepare() override;

 private:
  struct Part {
    RefPtr<CDib> picture;
    int x0 = 0, y0 = 0, w = 0, h = 0;
  };
  bool m_bVertical;
  Part m_a, m_b;
};

// Generators whose pictures are made per frame: they build the clip for the
// whole canvas, then cut it.
class CGenClipedEffectBanner : public CGenEffectBanner {
 public:
  using CGenEffectBanner::CGenEffectBanner;
  void GenerateClip(int i, int count, bool enter, int variant, CBannerClip& out) final;
  virtual void GenerateFullCanvasClip(int i, int count, bool enter, int variant, CBannerClip& out) = 0;
};

class CGenTypeBanner : public CGenClipedEffectBanner {
 public:
  using CGenClipedEffectBanner::CGenClipedEffectBanner;
  bool Prepare() override;
  void GenerateFullCanvasClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
  // Partial texts rendered so far (each character count once).
  int RenderCount() const { return m_nRenders; }

 private:
  struct CTypeClipDib {
    RefPtr<CDib> picture;
    POINT offset{0, 0};
  };
  std::unique_ptr<TevCustomPathLibV::CTevTextObj> m_text;
  int m_nCharacters = 0;
  int m_nRenders = 0;
  std::map<int, CTypeClipDib> m_cache;
};

// Shared by the scale and turn kinds: the text rendered again at scale s and
// angle, centred on the text at rest.
class CGenRenderedBanner : public CGenClipedEffectBanner {
 public:
  using CGenClipedEffectBanner::CGenClipedEffectBanner;
  bool Prepare() override;
  // ((H / h) + (W / w)) / 2, or 1.608 when that is below 1.
  double Magnification() const { return m_m; }

 protected:
  void RenderAt(double s, double angle, CBannerClip& out);
  double m_m = 1.0;
};

class CGenScaleBanner : public CGenRenderedBanner {
 public:
  using CGenRenderedBanner::CGenRenderedBanner;
  void GenerateFullCanvasClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
};

class CGenTransformBanner : public CGenRenderedBanner {
 public:
  using CGenRenderedBanner::CGenRenderedBanner;
  void GenerateFullCanvasClip(int i, int count, bool enter, int variant, CBannerClip& out) override;
};

// The generator and variant of a kind (null outside 0-13).
std::unique_ptr<CGenEffectBanner> CreateBannerGenerator(int kind, const BannerSettings& settings);
int BannerVariant(int kind);

// Runs the enabled phases into clips (emptied first). Shows the caption on
// prompt and the fraction on progress when given; a cancelled progress stops
// the run. clips is left empty unless BANNER_OK is returned.
int GenerateBanner(const BannerSettings& settings, std::vector<CBannerClip>& clips,
                   CTevCommonProgress* progress = nullptr, CPromptInterface* prompt = nullptr);
