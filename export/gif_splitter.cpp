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
//
// With an opaque backdrop (viewers that show the background colour where
// nothing was drawn yet) the frames are compared as canvas views in which
// never-drawn pixels hold a backdrop value: disposal 2 clears to
// transparency there while disposal 3 brings the backdrop back, so the
// choice must respect both. No candidate may draw the backdrop value; when
// no sequence reaches every view the plain differencing is used.
#include <algorithm>
#include <future>
#include <optional>
#include <utility>

#include "companions/dibkernel/dib_frames.h"
#include "export/gif_pipeline.h"
#include "export/lzw_size.h"

namespace {

// Frames of at least this many pixels try their disposals in parallel.
constexpr std::size_t kParallelPixels = 16384;

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
  CCandidateMaker(int tableSize, int transparentIndex, const BITMAPINFOHEADER* paletteSource, int backdrop)
      : m_calc(tableSize), m_transparent(transparentIndex), m_paletteSource(paletteSource), m_backdrop(backdrop) {}

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
      if (!KeepBackdrop(c, screen)) return;
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

  // Backdrop pixels of a candidate become transparent where the screen shows
  // the backdrop already; false when one would have to be drawn.
  bool KeepBackdrop(Candidate& c, const Layer& screen) const {
    if (m_backdrop < 0) return true;
    const LONG w = DibWidth(c.image.get()), h = DibHeight(c.image.get());
    const LONG sw = DibWidth(screen.image), sh = DibHeight(screen.image);
    for (LONG y = 0; y < h; ++y) {
      const BYTE* px = DibRow(c.image.get(), y);
      BYTE* m = DibRow(c.mask.get(), y);
      const LONG sy = c.pos.y + y - screen.pos.y;
      for (LONG x = 0; x < w; ++x) {
        if (px[x] != m_backdrop || !((m[x >> 3] >> (7 - (x & 7))) & 1)) continue;
        const LONG sx = c.pos.x + x - screen.pos.x;
        const bool shown = sx >= 0 && sy >= 0 && sx < sw && sy < sh &&
                           (!screen.mask || ((DibRow(screen.mask, sy)[sx >> 3] >> (7 - (sx & 7))) & 1)) &&
                           DibRow(screen.image, sy)[sx] == m_backdrop;
        if (!shown) return false;
        m[x >> 3] = BYTE(m[x >> 3] & ~(0x80 >> (x & 7)));
      }
    }
    return true;
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
  int m_backdrop;
};

bool MaskHasClearBit(const BITMAPINFOHEADER* mask) {
  const LONG w = DibWidth(mask), h = DibHeight(mask);
  for (LONG y = 0; y < h; ++y) {
    const BYTE* row = DibRow(mask, y);
    for (LONG x = 0; x < w; ++x)
      if (!((row[x >> 3] >> (7 - (x & 7))) & 1)) return true;
  }
  return false;
}

// A drawn part of an entry: its picture, mask (null: opaque) and place.
struct Drawn {
  DibPtr image, mask;
  POINT pos;
};

inline bool Opaque(const BITMAPINFOHEADER* mask, LONG x, LONG y) {
  return !mask || ((DibRow(mask, y)[x >> 3] >> (7 - (x & 7))) & 1);
}

// Widens what entry `prev` drew to also cover every pixel it shows that
// `cur` does not (those must be cleared by restore-to-background), and
// measures `cur` over prev's whole frame with that box cleared. Nothing when
// the result still cannot reach `cur`.
std::optional<std::pair<Layer, Candidate>> WidenAndClear(const CFrameOptimal& prev, const CFrameOptimal& cur,
                                                         Drawn& drawnPrev, CCandidateMaker& maker, bool interlaced) {
  const LONG pw = DibWidth(prev.image.get()), ph = DibHeight(prev.image.get());
  const LONG cw = DibWidth(cur.image.get()), ch = DibHeight(cur.image.get());
  // The box in prev's coordinates: what was drawn, plus what must disappear.
  LONG l = drawnPrev.pos.x - prev.x, t = drawnPrev.pos.y - prev.y;
  LONG r = l + DibWidth(drawnPrev.image.get()), b = t + DibHeight(drawnPrev.image.get());
  for (LONG y = 0; y < ph; ++y)
    for (LONG x = 0; x < pw; ++x) {
      if (!Opaque(prev.mask.get(), x, y)) continue;
      const LONG cx = prev.x + x - cur.x, cy = prev.y + y - cur.y;
      if (cx >= 0 && cy >= 0 && cx < cw && cy < ch && Opaque(cur.mask.get(), cx, cy)) continue;
      l = std::min(l, x);
      t = std::min(t, y);
      r = std::max(r, x + 1);
      b = std::max(b, y + 1);
    }
  l = std::max<LONG>(l, 0);
  t = std::max<LONG>(t, 0);
  r = std::min(r, pw);
  b = std::min(b, ph);
  if (r <= l || b <= t) return std::nullopt;
  BITMAPINFOHEADER *img = nullptr, *msk = nullptr;
  DibPtr fullMask = prev.mask ? nullptr : NewMask(pw, ph, true);
  if (!CropFrame(prev.image.get(), prev.mask ? prev.mask.get() : fullMask.get(), RECT{l, t, r, b}, &img, &msk))
    return std::nullopt;
  Drawn widened{DibPtr(img), DibPtr(msk), POINT{prev.x + l, prev.y + t}};
  DibPtr screen(DibCopy(prev.image.get()));
  DibPtr screenMask(prev.mask ? DibCopy(prev.mask.get()) : NewMask(pw, ph, true).release());
  if (!screen || !screenMask) return std::nullopt;
  CMaskedBitmapTransform::FillMaskDIBBits(screenMask.get(), RECT{l, t, r, b}, false);
  Layer cleared;
  cleared.Own(std::move(screen), std::move(screenMask), POINT{prev.x, prev.y});
  auto best = maker.Best(cleared, Layer::Borrow(cur.image.get(), cur.mask.get(), POINT{cur.x, cur.y}), interlaced);
  if (!best) return std::nullopt;
  drawnPrev = std::move(widened);
  return std::make_pair(std::move(cleared), std::move(*best));
}

// Canvas-sized views of the entries: each entry's opaque pixels, the
// backdrop value where no entry up to it was opaque, transparent elsewhere.
bool BuildViews(const std::vector<CFrameOptimal>& entries, LONG w, LONG h, BYTE backdrop,
                std::vector<CFrameOptimal>& views) {
  std::vector<char> undrawn(std::size_t(w) * std::size_t(h), 1);
  views.clear();
  views.reserve(entries.size());
  for (const CFrameOptimal& e : entries) {
    CFrameOptimal v;
    v.frame = e.frame;
    v.delay = e.delay;
    v.graphicControl = e.graphicControl;
    v.descriptor = e.descriptor;
    const DWORD entriesInTable = DWORD(DibPaletteEntries(e.image.get()));
    v.image.reset(DibAlloc(w, h, 8, entriesInTable));
    v.mask = NewMask(w, h, false);
    if (!v.image || !v.mask) return false;
    std::copy_n(DibPalette(e.image.get()), entriesInTable, DibPalette(v.image.get()));
    const LONG ew = DibWidth(e.image.get()), eh = DibHeight(e.image.get());
    bool anyClear = false;
    for (LONG y = 0; y < h; ++y) {
      BYTE* px = DibRow(v.image.get(), y);
      BYTE* m = DibRow(v.mask.get(), y);
      const LONG ey = y - e.y;
      for (LONG x = 0; x < w; ++x) {
        const LONG ex = x - e.x;
        const bool inside = ex >= 0 && ey >= 0 && ex < ew && ey < eh;
        const bool opaque =
            inside && (!e.mask || ((DibRow(e.mask.get(), ey)[ex >> 3] >> (7 - (ex & 7))) & 1));
        char& fresh = undrawn[std::size_t(y) * std::size_t(w) + std::size_t(x)];
        if (opaque) {
          px[x] = DibRow(e.image.get(), ey)[ex];
          fresh = 0;
        } else if (fresh) {
          px[x] = backdrop;
        } else {
          anyClear = true;
          continue;
        }
        m[x >> 3] = BYTE(m[x >> 3] | (0x80 >> (x & 7)));
      }
    }
    if (!anyClear) v.mask.reset();
    views.push_back(std::move(v));
  }
  return true;
}

}  // namespace

// Differencing over whole frames given one at a time (see the top of the
// file). Only the previous whole frame and the screen before it are kept;
// each entry is finished, with its disposal and drawn part, once the next
// one has been measured against it. With a backdrop value (>= 0) the frames
// are canvas views and the first is measured against a canvas of backdrop.
class CGifFrameDiffer::Impl {
 public:
  Impl(const CGifOptimizeResult& result, int backdrop, bool forbidRestorePrevious)
      : m_tableSize(result.tableSize), m_transparent(result.transparentIndex), m_backdrop(backdrop),
        m_forbidRestorePrevious(forbidRestorePrevious) {}

  // Takes the next whole frame. False when it cannot be handled (over a
  // backdrop: the views cannot be reached this way).
  bool Add(CFrameOptimal&& cur) {
    if (m_count++ == 0) return First(std::move(cur));
    const bool ok = Next(cur);
    m_prev = std::move(cur);
    return ok;
  }

  // The finished entries; the last one keeps its picture (disposal 1).
  bool Finish(std::vector<CFrameOptimal>& out) {
    if (m_count == 0) return false;
    // The last frame shows until the loop starts over; nothing needs disposing.
    m_prev.SetDisposal(1);
    Retire();
    out = std::move(m_done);
    return true;
  }

 private:
  Layer FullLayer(const CFrameOptimal& e) const {
    return Layer::Borrow(e.image.get(), e.mask.get(), POINT{e.x, e.y});
  }
  static bool CopyFull(const CFrameOptimal& e, Drawn& d) {
    d.image.reset(DibCopy(e.image.get()));
    d.mask.reset(e.mask ? DibCopy(e.mask.get()) : nullptr);
    d.pos = POINT{e.x, e.y};
    return d.image != nullptr;
  }

  bool First(CFrameOptimal&& first) {
    // Placeholders take the first entry's colour table, which outlives the entry's picture here.
    const DWORD entries = DWORD(DibPaletteEntries(first.image.get()));
    m_palette.reset(DibAlloc(1, 1, 8, entries));
    if (!m_palette) return false;
    std::copy_n(DibPalette(first.image.get()), entries, DibPalette(m_palette.get()));
    m_maker.emplace(m_tableSize, m_transparent, m_palette.get(), m_backdrop);
    m_keepMaker.emplace(m_tableSize, m_transparent, m_palette.get(), m_backdrop);
    m_prevMaker.emplace(m_tableSize, m_transparent, m_palette.get(), m_backdrop);
    m_prev = std::move(first);
    // The screen before entry i - 1 was drawn: the empty canvas, or the backdrop.
    if (m_backdrop >= 0) {
      const LONG w = DibWidth(m_prev.image.get()), h = DibHeight(m_prev.image.get());
      DibPtr canvas(DibAlloc(w, h, 8, 2));
      if (!canvas) return false;
      for (LONG y = 0; y < h; ++y) std::fill_n(DibRow(canvas.get(), y), w, BYTE(m_backdrop));
      m_before.Own(std::move(canvas), nullptr, POINT{0, 0});
      // The first entry: its differing box must hold no backdrop pixel, so it
      // is drawn without transparency.
      CSpiltEmbededDIB splitter;
      BITMAPINFOHEADER *img = nullptr, *msk = nullptr;
      POINT pos{};
      if (!splitter.Reset(m_before.image, nullptr, m_before.pos, m_prev.image.get(), m_prev.mask.get(), POINT{0, 0}) ||
          !splitter.IsCanSpilt() || splitter.IsEqual() || !splitter.SplitOpacity(&img, &msk, &pos, nullptr))
        return false;
      m_prevDrawn = Drawn{DibPtr(img), DibPtr(msk), pos};
      for (LONG y = 0; y < DibHeight(img); ++y)
        for (LONG x = 0; x < DibWidth(img); ++x)
          if (DibRow(img, y)[x] == m_backdrop) return false;
      m_prevDrawn.mask.reset();
      return true;
    }
    if (!CopyFull(m_prev, m_prevDrawn)) return false;
    m_before.Own(DibPtr(DibAlloc(1, 1, 8, 2)), NewMask(1, 1, false), POINT{0, 0});
    return m_before.image && m_before.mask;
  }

  // Measures cur over the screens the disposal of m_prev can leave and
  // finishes m_prev.
  bool Next(const CFrameOptimal& cur) {
    const CFrameOptimal& prevFull = m_prev;
    const Layer target = FullLayer(cur);
    const bool interlaced = cur.Interlaced();
    int disposal = 0;
    std::optional<Candidate> best;
    Layer next;  // the screen entry i is drawn over
    Drawn curDrawn;
    CCandidateMaker& maker = *m_maker;

    // The keep and restore-to-previous trials run on their own threads
    // (each with its own size counter) while the cleared screen is built;
    // the choice below does not depend on which finishes first.
    const bool parallel = std::size_t(DibWidth(target.image)) * std::size_t(DibHeight(target.image)) >= kParallelPixels;
    const Layer keepScreen = FullLayer(prevFull);
    auto keepTrial = [&] { return m_keepMaker->Best(keepScreen, target, interlaced); };
    auto prevTrial = [&] {
      return m_forbidRestorePrevious ? std::optional<Candidate>{} : m_prevMaker->Best(m_before, target, interlaced);
    };
    std::future<std::optional<Candidate>> keepFuture, prevFuture;
    if (parallel) {
      keepFuture = std::async(std::launch::async, keepTrial);
      prevFuture = std::async(std::launch::async, prevTrial);
    }
    // Restore to background: F(i-1) with the box entry i - 1 drew cleared.
    Layer cleared;
    bool clearedOk = true;
    {
      DibPtr img(DibCopy(prevFull.image.get()));
      const LONG w = img ? DibWidth(img.get()) : 0, h = img ? DibHeight(img.get()) : 0;
      DibPtr msk = prevFull.mask ? DibPtr(DibCopy(prevFull.mask.get())) : NewMask(w, h, true);
      if (!img || !msk) {
        clearedOk = false;
      } else {
        const Drawn& d = m_prevDrawn;
        const RECT box{d.pos.x - prevFull.x, d.pos.y - prevFull.y, d.pos.x - prevFull.x + DibWidth(d.image.get()),
                       d.pos.y - prevFull.y + DibHeight(d.image.get())};
        CMaskedBitmapTransform::FillMaskDIBBits(msk.get(), box, false);
        cleared.Own(std::move(img), std::move(msk), POINT{prevFull.x, prevFull.y});
      }
    }
    std::optional<Candidate> keep = parallel ? keepFuture.get() : keepTrial();
    std::optional<Candidate> prev = parallel ? prevFuture.get() : prevTrial();
    if (!clearedOk) return false;
    if (keep) {
      best = std::move(keep);
      disposal = 1;
    }
    // Disposing entry i - 1 gives it a graphic control block (8 bytes) when
    // it would need none for its delay or transparency.
    const long control = prevFull.delay == 0 && !(prevFull.graphicControl & 0x02) && !m_prevDrawn.mask ? 8 : 0;
    if (prev && (!best || prev->size + control <= best->size)) {
      prev->size += control;
      best = std::move(prev);
      disposal = 3;
    }
    if (auto background = maker.Best(cleared, target, interlaced)) {
      background->size += control;
      if (!best || background->size < best->size) {
        best = std::move(background);
        disposal = 2;
      }
    }

    bool keepPrevAsScreen = false;
    if (best) {
      curDrawn = Drawn{std::move(best->image), std::move(best->mask), best->pos};
      if (disposal == 1) keepPrevAsScreen = true;
      else if (disposal == 3) next = std::move(m_before);
      else next = std::move(cleared);
    } else {
      // Over a backdrop an emptied screen is not empty: give up on the views.
      if (m_backdrop >= 0) return false;
      // Fallback: entry i - 1's box grows over every pixel that entry i
      // shows transparent and is cleared after it; entry i is drawn over
      // what is left (or whole on an empty screen when even that fails).
      disposal = 2;
      if (auto widened = WidenAndClear(prevFull, cur, m_prevDrawn, maker, interlaced)) {
        curDrawn = Drawn{std::move(widened->second.image), std::move(widened->second.mask), widened->second.pos};
        next = std::move(widened->first);
      } else {
        if (!CopyFull(prevFull, m_prevDrawn) || !CopyFull(cur, curDrawn)) return false;
        next.Own(DibPtr(DibAlloc(1, 1, 8, 2)), NewMask(1, 1, false), POINT{0, 0});
      }
    }
    m_prev.SetDisposal(disposal);
    // The previous whole frame stays as the screen when it is kept; it is
    // no longer needed as an entry once finished.
    if (keepPrevAsScreen) next.Own(std::move(m_prev.image), std::move(m_prev.mask), POINT{m_prev.x, m_prev.y});
    m_before = std::move(next);
    Retire();
    m_prevDrawn = std::move(curDrawn);
    return true;
  }

  // Moves the previous entry, with its drawn part, to the finished ones.
  void Retire() {
    CFrameOptimal done = std::move(m_prev);
    done.image = std::move(m_prevDrawn.image);
    done.mask = std::move(m_prevDrawn.mask);
    done.x = m_prevDrawn.pos.x;
    done.y = m_prevDrawn.pos.y;
    m_done.push_back(std::move(done));
    m_prev = CFrameOptimal{};
  }

  int m_tableSize, m_transparent, m_backdrop;
  bool m_forbidRestorePrevious;
  std::size_t m_count = 0;
  DibPtr m_palette;  // a 1 x 1 picture holding the first entry's colour table
  std::optional<CCandidateMaker> m_maker, m_keepMaker, m_prevMaker;
  CFrameOptimal m_prev;  // the previous whole frame
  Drawn m_prevDrawn;     // what it draws so far
  Layer m_before;        // the screen before it was drawn
  std::vector<CFrameOptimal> m_done;
};

CGifFrameDiffer::CGifFrameDiffer(const CGifOptimizeResult& result, int backdrop, bool forbidRestorePrevious)
    : m_impl(std::make_unique<Impl>(result, backdrop, forbidRestorePrevious)) {}
CGifFrameDiffer::~CGifFrameDiffer() = default;
bool CGifFrameDiffer::Add(CFrameOptimal&& entry) { return m_impl->Add(std::move(entry)); }
bool CGifFrameDiffer::Finish(std::vector<CFrameOptimal>& out) { return m_impl->Finish(out); }

namespace {

// Differencing over a list of whole frames; on success they are replaced by
// the finished entries.
bool Difference(std::vector<CFrameOptimal>& full, const CGifOptimizeResult& result, int backdrop,
                bool forbidRestorePrevious, CTevCommonProgress* progress) {
  CGifFrameDiffer differ(result, backdrop, forbidRestorePrevious);
  const std::size_t count = full.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (!differ.Add(std::move(full[i]))) return false;
    if (i > 0 && !ReportProgressStep(progress, (long long)i, (long long)count - 1)) return false;
  }
  return differ.Finish(full);
}

}  // namespace

bool CGifFrameOptimizer::DisposeFrames(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  auto& entries = result.entries;
  result.backdropKept = false;
  if (entries.size() < 2) return true;
  const LONG w = m_model.m_nWidth, h = m_model.m_nHeight;
  for (CFrameOptimal& e : entries)
    if (e.mask && !MaskHasClearBit(e.mask.get())) e.mask.reset();
  const CFrameOptimal& first = entries.front();
  const bool coversCanvas = !first.mask && first.x == 0 && first.y == 0 && DibWidth(first.image.get()) == w &&
                            DibHeight(first.image.get()) == h;
  // The backdrop value must differ from every palette index and the transparent one.
  constexpr int kBackdrop = 255;
  if (m_options.opaqueBackdrop && !first.mask && !coversCanvas && result.transparentIndex < kBackdrop &&
      (long long)w * h * (long long)entries.size() <= (64ll << 20)) {
    std::vector<CFrameOptimal> views;
    if (BuildViews(entries, w, h, BYTE(kBackdrop), views) &&
        Difference(views, result, kBackdrop, m_options.forbidRestorePrevious, nullptr)) {
      entries = std::move(views);
      result.backdropKept = true;
      return !(progress && progress->IsCancelled());
    }
  }
  return Difference(entries, result, -1, m_options.forbidRestorePrevious, progress);
}
