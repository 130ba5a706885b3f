#include "export/swf_frame_prep.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/compose.h"
#include "app/loopwright_doc.h"
#include "app/prompt.h"
#include "companions/dibkernel/dib_frames.h"
#include "companions/dibkernel/dib_geometry.h"
#include "companions/base/tr.h"

namespace {

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

void DropFullMask(CSWFFrameOptimal& e) {
  if (e.mask && CMaskedBitmapTransform::IsMaskFull(e.mask.get())) e.mask.reset();
}

// A white 1-bit picture (every pixel index 1).
DibPtr WhitePicture(LONG w, LONG h) {
  DibPtr d(DibAlloc(w, h, 1, 2));
  if (!d) return d;
  DibPalette(d.get())[1] = RGBQUAD{255, 255, 255, 0};
  std::fill(DibBits(d.get()), DibBits(d.get()) + DibImageBytes(d.get()), BYTE(0xFF));
  return d;
}

// An entry's rows as BGRA and its mask rows, for lookups at stage coordinates.
struct StageView {
  LONG x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<const std::uint8_t*> rows;
  std::vector<const BYTE*> maskRows;  // null rows: no mask, all opaque
  std::vector<std::uint8_t> converted;

  bool Load(const CSWFFrameOptimal& entry) {
    const BITMAPINFOHEADER* image = entry.image.get();
    x0 = entry.x;
    y0 = entry.y;
    w = DibWidth(image);
    h = DibHeight(image);
    rows.resize(std::size_t(h));
    maskRows.assign(std::size_t(h), nullptr);
    if (image->biBitCount != 32) converted.resize(std::size_t(w) * std::size_t(h) * 4);
    for (LONG y = 0; y < h; ++y) {
      if (image->biBitCount == 32) {
        rows[std::size_t(y)] = DibRow(image, y);
      } else {
        std::uint8_t* row = converted.data() + std::size_t(y) * std::size_t(w) * 4;
        if (!SwfRowToBgra(image, y, row)) return false;
        rows[std::size_t(y)] = row;
      }
      if (entry.mask) maskRows[std::size_t(y)] = DibRow(entry.mask.get(), y);
    }
    return true;
  }
  // Opaque at stage (x, y); pixel (x, y) then points at its B, G, R.
  bool Opaque(LONG x, LONG y) const {
    const LONG lx = x - x0, ly = y - y0;
    if (lx < 0 || ly < 0 || lx >= w || ly >= h) return false;
    const BYTE* m = maskRows[std::size_t(ly)];
    return !m || ((m[lx >> 3] >> (7 - (lx & 7))) & 1);
  }
  const std::uint8_t* Pixel(LONG x, LONG y) const { return rows[std::size_t(y - y0)] + std::size_t(x - x0) * 4; }
};

bool SamePixel(const std::uint8_t* p, const std::uint8_t* q) { return p[0] == q[0] && p[1] == q[1] && p[2] == q[2]; }

}  // namespace

int FlashFrameRate(const CGifImage& model) {
  const int n = model.GetFrameCount();
  long long total = 0;
  for (int i = 0; i < n; ++i) total += (long long)model.GetFrame(i)->m_nDelay * 10;
  if (n == 0 || total == 0) return 30;
  const double average = double(total) / double(n);
  const double rate = std::floor(1000.0 / average + 0.5);
  return int(std::clamp(rate, 1.0, 30.0));
}

std::vector<int> FlashFrameCounts(const std::vector<int>& delays, int fps) {
  std::vector<int> counts;
  counts.reserve(delays.size());
  for (int d : delays) counts.push_back(std::max(1, int(std::floor(double(d) * fps / 100.0 + 0.5))));
  return counts;
}

int FlashExactRate(const std::vector<int>& delays) {
  int best = 30;
  double bestMiss = -1;
  for (int r = 1; r <= 50; ++r) {
    const std::vector<int> counts = FlashFrameCounts(delays, r);
    long long frames = 0;
    double miss = 0;
    bool timed = false;
    for (std::size_t i = 0; i < delays.size(); ++i) {
      frames += counts[i];
      if (delays[i] <= 0) continue;  // shown one movie frame, as short as the rate allows
      timed = true;
      miss = std::max(miss, std::fabs(counts[i] * 1000.0 / r - delays[i] * 10.0));
    }
    if (!timed) return 30;
    if (frames > 0xFFFF) break;  // higher rates only add frames
    if (bestMiss < 0 || miss < bestMiss - 1e-9) {
      bestMiss = miss;
      best = r;
    }
  }
  return best;
}

bool SplitFlashFrames(const CSWFFrameOptimal& a, const CSWFFrameOptimal& b, CFlashSplit& split) {
  split = CFlashSplit{};
  if (a.repeat || b.repeat || !a.image || !b.image) return false;
  StageView va, vb;
  if (!va.Load(a) || !vb.Load(b)) return false;
  // Drawing can only cover: every opaque pixel of a must stay opaque.
  for (LONG y = a.y; y < a.y + va.h; ++y)
    for (LONG x = a.x; x < a.x + va.w; ++x)
      if (va.Opaque(x, y) && !vb.Opaque(x, y)) return false;
  // Per pixel of b: 0 transparent, 1 unchanged, 2 changed.
  std::vector<std::uint8_t> state(std::size_t(vb.w) * std::size_t(vb.h), 0);
  LONG l = b.x + vb.w, t = b.y + vb.h, r = b.x - 1, btm = b.y - 1;
  for (LONG y = b.y; y < b.y + vb.h; ++y) {
    std::uint8_t* st = state.data() + std::size_t(y - b.y) * std::size_t(vb.w);
    const bool rowInA = y >= va.y0 && y < va.y0 + va.h;
    for (LONG x = b.x; x < b.x + vb.w; ++x, ++st) {
      if (!vb.Opaque(x, y)) continue;
      if (rowInA && va.Opaque(x, y) && SamePixel(va.Pixel(x, y), vb.Pixel(x, y))) {
        *st = 1;
        continue;
      }
      *st = 2;
      l = std::min(l, x);
      t = std::min(t, y);
      r = std::max(r, x);
      btm = std::max(btm, y);
    }
  }
  if (r < l) return false;  // nothing differs
  const RECT local{l - b.x, t - b.y, r + 1 - b.x, btm + 1 - b.y};
  BITMAPINFOHEADER *img = nullptr, *msk = nullptr;
  if (!CropFrame(b.image.get(), b.mask.get(), local, &img, b.mask ? &msk : nullptr)) return false;
  split.opaque.image.reset(img);
  split.opaque.mask.reset(msk);
  split.opaque.x = l;
  split.opaque.y = t;
  split.opaque.replace = false;
  DropFullMask(split.opaque);
  split.possible = true;

  // The same box with unchanged opaque pixels cleared.
  const LONG bw = r + 1 - l, bh = btm + 1 - t;
  DibPtr cleared(DibAlloc(bw, bh, 1, 2));
  if (!cleared) return false;
  DibPalette(cleared.get())[1] = RGBQUAD{255, 255, 255, 0};
  bool unchanged = false;
  for (LONG y = 0; y < bh; ++y) {
    BYTE* row = DibRow(cleared.get(), y);
    const std::uint8_t* st = state.data() + std::size_t(t - b.y + y) * std::size_t(vb.w) + std::size_t(l - b.x);
    for (LONG x = 0; x < bw; ++x) {
      if (st[x] == 1) unchanged = true;
      else if (st[x] == 2) row[x >> 3] |= BYTE(0x80 >> (x & 7));
    }
  }
  if (!unchanged) return true;
  DibPtr copy(DibCopy(split.opaque.image.get()));
  if (!copy) return false;
  split.transparent.image = std::move(copy);
  split.transparent.mask = std::move(cleared);
  split.transparent.x = l;
  split.transparent.y = t;
  split.transparent.replace = false;
  split.transparencyUsed = true;
  return true;
}

void CFlashOptimal::Caption(CTevCommonProgress* progress, const std::string& text) const {
  if (m_prompt) m_prompt->SetStatusCaption(text);
  if (progress) {
    progress->SetCaption(text);
    progress->SetProgress(0.0f);
  }
}

bool CFlashOptimal::Build(CTevCommonProgress* progress) {
  m_entries.clear();
  const LONG w = m_model.m_nWidth, h = m_model.m_nHeight;
  const int n = m_model.GetFrameCount();
  if (n == 0 || w <= 0 || h <= 0) return false;
  m_entries.reserve(std::size_t(n));
  for (int i = 0; i < n; ++i) {
    CSWFFrameOptimal e;
    if (!ComposeFrameWithMask(*m_model.GetFrame(i), w, h, e.image, e.mask, 128, 0xFFFFFF)) return false;
    m_entries.push_back(std::move(e));
    if (!ReportProgressStep(progress, i + 1, n)) return false;
  }
  return true;
}

bool CFlashOptimal::Crop(CTevCommonProgress* progress) {
  const long long n = (long long)m_entries.size();
  for (long long i = 0; i < n; ++i) {
    CSWFFrameOptimal& e = m_entries[std::size_t(i)];
    if (e.mask) {
      const LONG w = DibWidth(e.image.get()), h = DibHeight(e.image.get());
      LONG l = 0, t = 0, r = 0, b = 0;
      if (!DibKernel::CaclOpaqueBoundary(e.mask.get(), &l, &t, &r, &b)) return false;
      if (l >= w) {
        e.image = WhitePicture(w, h);
        e.mask.reset();
        e.x = e.y = 0;
        if (!e.image) return false;
      } else if (l || t || r || b) {
        BITMAPINFOHEADER *img = nullptr, *msk = nullptr;
        if (!CropFrame(e.image.get(), e.mask.get(), RECT{l, t, w - r, h - b}, &img, &msk)) return false;
        e.image.reset(img);
        e.mask.reset(msk);
        e.x += l;
        e.y += t;
      }
      DropFullMask(e);
    }
    if (!ReportProgressStep(progress, i + 1, n)) return false;
  }
  return true;
}

bool CFlashOptimal::Compare(CTevCommonProgress* progress) {
  const long long n = (long long)m_entries.size();
  for (long long i = 1; i < n; ++i) {
    const CSWFFrameOptimal& a = m_entries[std::size_t(i - 1)];
    CSWFFrameOptimal& b = m_entries[std::size_t(i)];
    // Equal pictures at different places are different frames.
    if (a.x == b.x && a.y == b.y && CompareFrame(a.image.get(), a.mask.get(), b.image.get(), b.mask.get()))
      b.repeat = true;
    if (!ReportProgressStep(progress, i, n - 1)) return false;
  }
  // Repeats still served as the comparison base above; only now let them go.
  for (CSWFFrameOptimal& e : m_entries)
    if (e.repeat) {
      e.image.reset();
      e.mask.reset();
    }
  return true;
}

bool CFlashOptimal::Difference(CTevCommonProgress* progress) {
  const long long n = (long long)m_entries.size();
  if (n < 2) return true;
  long long i = n - 1;
  while (i >= 0 && m_entries[std::size_t(i)].repeat) --i;
  while (i > 0) {
    long long j = i - 1;
    while (j >= 0 && m_entries[std::size_t(j)].repeat) --j;
    if (j < 0) break;
    CSWFFrameOptimal& entry = m_entries[std::size_t(i)];
    CFlashSplit split;
    if (SplitFlashFrames(m_entries[std::size_t(j)], entry, split)) {
      // Smallest of: the entry, its opaque part, its changed part; ties keep
      // the earlier. Measures stop early once they cannot win.
      CSWFFrameOptimal* chosen = nullptr;
      long long best = 0, size = 0;
      const bool whole = split.opaque.x == entry.x && split.opaque.y == entry.y &&
                         DibWidth(split.opaque.image.get()) == DibWidth(entry.image.get()) &&
                         DibHeight(split.opaque.image.get()) == DibHeight(entry.image.get());
      if (whole) {
        // The opaque part is the entry itself: the tie keeps the entry, so
        // its bitmap is built once here and kept for the writer.
        auto tag = std::make_shared<CSwfBitmapTag>();
        if (!m_encoder.EncodeBitmap(entry.image.get(), entry.mask.get(), *tag)) return false;
        best = m_encoder.TagCost(*tag);
        entry.encoded = std::move(tag);
      } else {
        if (!m_encoder.MeasureBitmap(split.opaque.image.get(), split.opaque.mask.get(), best)) return false;
        if (!m_encoder.MeasureBitmap(entry.image.get(), entry.mask.get(), size, best)) return false;
        if (size <= best) best = size;
        else chosen = &split.opaque;
      }
      if (split.transparencyUsed) {
        if (!m_encoder.MeasureBitmap(split.transparent.image.get(), split.transparent.mask.get(), size, best - 1))
          return false;
        if (size < best) chosen = &split.transparent;
      }
      if (chosen) entry = std::move(*chosen);
    }
    if (!ReportProgressStep(progress, n - j, n - 1)) return false;
    i = j;
  }
  return true;
}

bool CFlashOptimal::Run(CTevCommonProgress* progress) {
  if (!Build(progress)) return false;
  Caption(progress, Tr("Cropping transparent areas..."));
  if (!Crop(progress)) return false;
  if (m_entries.size() >= 2) {
    Caption(progress, Tr("Comparing frames..."));
    if (!Compare(progress)) return false;
    Caption(progress, Tr("Disposing all frames..."));
    if (!Difference(progress)) return false;
  }
  return !(progress && progress->IsCancelled());
}

void CFlashOptimal::Stretch(const std::vector<int>& counts) {
  if (counts.size() != m_entries.size()) return;
  std::vector<CSWFFrameOptimal> out;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    out.push_back(std::move(m_entries[i]));
    for (int k = 1; k < counts[i]; ++k) {
      CSWFFrameOptimal repeat;
      repeat.repeat = true;
      out.push_back(std::move(repeat));
    }
  }
  m_entries = std::move(out);
}

bool ExportFlashMovie(const CGifImage& model, const std::string& path, const CFlashSettings& settings,
                      CTevCommonProgress* progress, std::string* reason, CPromptInterface* prompt) {
  if (model.GetFrameCount() == 0) {
    SetReason(reason, "the animation has no frames");
    return false;
  }
  CSwfEncoder lossless;
  CJPGSwfEncoder jpeg(settings.quality);
  const CSwfEncoder& encoder = settings.lossless ? lossless : static_cast<const CSwfEncoder&>(jpeg);
  CFlashOptimal prep(model, encoder, prompt);
  if (!prep.Run(progress)) {
    SetReason(reason, progress && progress->IsCancelled() ? "cancelled" : "the frames could not be prepared");
    return false;
  }
  int fps = settings.fps > 0 ? std::min(settings.fps, 255) : FlashFrameRate(model);
  if (settings.exactTiming) {
    std::vector<int> delays;
    for (int i = 0; i < model.GetFrameCount(); ++i) delays.push_back(model.GetFrame(i)->m_nDelay);
    if (settings.fps <= 0) fps = FlashExactRate(delays);
    prep.Stretch(FlashFrameCounts(delays, fps));
  }
  const std::string caption = Tr("Saving frames...");
  if (prompt) prompt->SetStatusCaption(caption);
  if (progress) progress->SetCaption(caption);
  return encoder.WriteMovie(path, prep.Entries(), model.m_nWidth, model.m_nHeight, fps, progress, reason);
}

bool ExportFlashMovie(CLoopwrightDoc& doc, const std::string& path, const CFlashSettings& settings,
                      CTevCommonProgress* progress, std::string* reason) {
  return ExportFlashMovie(static_cast<const CGifImage&>(doc), path, settings, progress, reason, &doc.Prompt());
}
