// Differencing and disposal choice.
//
// Each entry i arrives as its whole frame F(i) (cropped to its opaque box,
// everything outside transparent). What the viewer shows before entry i is
// drawn depends on the disposal given to entry i - 1:
//   1 keep:                 F(i-1) as it stands;
//   3 restore to previous:  the screen from before entry i - 1 was drawn;
//   2 restore to background: F(i-1) with entry i - 1's drawn box cleared.
// For each screen that F(i) can be reached from by drawing (a GIF frame
// cannot erase), the splitter gives the smallest box of differing pixels;
// its candidates (unchanged pixels kept, made transparent, or kept only
// where they continue a run) are measured by their LZW size and the
// smallest wins: keep first, then restore-to-previous on ties or better,
// then restore-to-background when strictly better. When none can reach
// F(i), entry i - 1 is widened back to its whole frame and cleared by
// restore-to-background, so entry i starts from an empty screen.
#include <optional>

#include "companions/dibkernel/dib_frames.h"
#include "export/gif_pipeline.h"
#include "export/lzw_size.h"

namespace {

// A positioned 8-bit frame with an optional mask; owns or borrows its DIBs.
struct Layer {
  const BITMAPINFOHEADER* image = nullptr;
  const BITMAPINFOHEADER* mask = nullptr;
  POINT pos{0, 0};
  DibPtr ownImage, ownMask;
  static Layer Borrow(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, POINT pos) {
    Layer l;
    l.image = image;
    l.mask = mask;
    l.pos = pos;
    return l;
  }
  void Own(DibPtr img, DibPtr msk, POINT at) {
    ownImage = std::move(img);
    ownMask = std::move(msk);
    image = ownImage.get();
    mask = ownMask.get();
    pos = at;
  }
};

struct Candidate {
  DibPtr image, mask;
  POINT pos{0, 0};
  long size = -1;
};

DibPtr NewMask(LONG w, LONG h, bool opaque) {
  DibPtr m(DibAlloc(w, h, 1, 2));
  if (!m) return m;
  DibPalette(m.get())[1] = RGBQUAD{255, 255, 255, 0};
  if (opaque) CMaskedBitmapTransform::FillMaskDIBBits(m.get(), RECT{0, 0, w, h}, true);
  return m;
}

class CCandidateMaker {
 public:
  CCandidateMaker(int tableSize, int transparentIndex, const BITMAPINFOHEADER* paletteSource)
      : m_calc(tableSize), m_transparent(transparentIndex), m_paletteSource(paletteSource) {}

  // The best way to draw target over screen, or nothing when it cannot be reached.
  std::optional<Candidate> Best(const Layer& screen, const Layer& target, bool interlaced) {
    CSpiltEmbededDIB splitter;
    if (!splitter.Reset(screen.image, screen.mask, screen.pos, target.image, target.mask, target.pos) ||
        !splitter.IsCanSpilt())
      return std::nullopt;
    if (splitter.IsEqual()) return Placeholder(target.pos, interlaced);
    std::optional<Candidate> best;
    auto consider = [&](BITMAPINFOHEADER* img, BITMAPINFOHEADER* msk, POINT pos) {
      Candidate c{DibPtr(img), DibPtr(msk), pos, -1};
      c.size = m_calc.Calculate(c.image.get(), c.mask.get(), m_transparent, interlaced);
      if (c.size >= 0 && (!best || c.size < best->size)) best = std::move(c);
    };
    BITMAPINFOHEADER *img = nullptr, *msk = nullptr;
    POINT pos{};
    bool transparencyPossible = false;
    if (!splitter.SplitOpacity(&img, &msk, &pos, &transparencyPossible)) return std::nullopt;
    consider(img, msk, pos);
    if (transparencyPossible && m_transparent >= 0) {
      for (SPLIT_STYLE style : {SPLIT_ALL_TRANSPARENT, SPLIT_RUNS})
        if (splitter.SplitTransparency(&img, &msk, &pos, &style)) consider(img, msk, pos);
    }
    return best;
  }

  // One transparent pixel: shows nothing new but carries the delay.
  std::optional<Candidate> Placeholder(POINT pos, bool interlaced) {
    Candidate c;
    c.image.reset(DibAlloc(1, 1, 8, DWORD(DibPaletteEntries(m_paletteSource))));
    c.mask = NewMask(1, 1, m_transparent < 0);
    if (!c.image || !c.mask) return std::nullopt;
    std::copy_n(DibPalette(m_paletteSource), DibPaletteEntries(m_paletteSource), DibPalette(c.image.get()));
    c.pos = pos;
    c.size = m_calc.Calculate(c.image.get(), c.mask.get(), m_transparent, interlaced);
    return c;
  }

 private:
  CFrameSizeCaculater m_calc;
  int m_transparent;
  const BITMAPINFOHEADER* m_paletteSource;
};

}  // namespace

bool CGifFrameOptimizer::DisposeFrames(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  auto& entries = result.entries;
  const std::size_t count = entries.size();
  if (count < 2) return true;
  // Whole frames stay in `full`; the drawn parts are collected in `drawn`.
  std::vector<CFrameOptimal> full = std::move(entries);
  struct Drawn {
    DibPtr image, mask;
    POINT pos;
  };
  std::vector<Drawn> drawn(count);
  auto fullLayer = [&](std::size_t i) {
    return Layer::Borrow(full[i].image.get(), full[i].mask.get(), POINT{full[i].x, full[i].y});
  };
  auto copyFull = [&](std::size_t i) {
    drawn[i].image.reset(DibCopy(full[i].image.get()));
    drawn[i].mask.reset(full[i].mask ? DibCopy(full[i].mask.get()) : nullptr);
    drawn[i].pos = POINT{full[i].x, full[i].y};
    return drawn[i].image != nullptr;
  };
  if (!copyFull(0)) return false;

  CCandidateMaker maker(result.tableSize, result.transparentIndex, full[0].image.get());
  // The screen before entry i - 1 was drawn; the empty canvas at the start.
  Layer before;
  before.Own(DibPtr(DibAlloc(1, 1, 8, 2)), NewMask(1, 1, false), POINT{0, 0});
  if (!before.image || !before.mask) return false;

  for (std::size_t i = 1; i < count; ++i) {
    const Layer target = fullLayer(i);
    const bool interlaced = full[i].Interlaced();
    int disposal = 0;
    std::optional<Candidate> best;
    Layer next;  // the screen entry i is drawn over

    if (auto keep = maker.Best(fullLayer(i - 1), target, interlaced)) {
      best = std::move(keep);
      disposal = 1;
    }
    if (!m_options.forbidRestorePrevious) {
      auto prev = maker.Best(before, target, interlaced);
      if (prev && (!best || prev->size <= best->size)) {
        best = std::move(prev);
        disposal = 3;
      }
    }
    // Restore to background: F(i-1) with the box entry i - 1 drew cleared.
    Layer cleared;
    {
      DibPtr img(DibCopy(full[i - 1].image.get()));
      const LONG w = DibWidth(img.get()), h = DibHeight(img.get());
      DibPtr msk = full[i - 1].mask ? DibPtr(DibCopy(full[i - 1].mask.get())) : NewMask(w, h, true);
      if (!img || !msk) return false;
      const Drawn& d = drawn[i - 1];
      const RECT box{d.pos.x - full[i - 1].x, d.pos.y - full[i - 1].y,
                     d.pos.x - full[i - 1].x + DibWidth(d.image.get()), d.pos.y - full[i - 1].y + DibHeight(d.image.get())};
      CMaskedBitmapTransform::FillMaskDIBBits(msk.get(), box, false);
      cleared.Own(std::move(img), std::move(msk), POINT{full[i - 1].x, full[i - 1].y});
    }
    if (auto background = maker.Best(cleared, target, interlaced)) {
      if (!best || background->size < best->size) {
        best = std::move(background);
        disposal = 2;
      }
    }

    if (best) {
      drawn[i] = Drawn{std::move(best->image), std::move(best->mask), best->pos};
      if (disposal == 1) next = fullLayer(i - 1);
      else if (disposal == 3) next = std::move(before);
      else next = std::move(cleared);
    } else {
      // Fallback: entry i - 1 drawn whole and cleared, entry i drawn whole on an empty screen.
      if (!copyFull(i - 1) || !copyFull(i)) return false;
      disposal = 2;
      next.Own(DibPtr(DibAlloc(1, 1, 8, 2)), NewMask(1, 1, false), POINT{0, 0});
    }
    full[i - 1].SetDisposal(disposal);
    before = std::move(next);  // borrowed layers point into `full`, which lives to the end
    if (!ReportProgressStep(progress, (long long)i, (long long)count - 1)) return false;
  }
  // The last frame shows until the loop starts over; nothing needs disposing.
  full[count - 1].SetDisposal(1);
  for (std::size_t i = 0; i < count; ++i) {
    full[i].image = std::move(drawn[i].image);
    full[i].mask = std::move(drawn[i].mask);
    full[i].x = drawn[i].pos.x;
    full[i].y = drawn[i].pos.y;
  }
  entries = std::move(full);
  return true;
}
