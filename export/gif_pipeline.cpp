#include "export/gif_pipeline.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "app/compose.h"
#include "companions/dibkernel/dib_frames.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/gif_module.h"
#include "export/color_quantizer.h"
#include "export/gif_frame_stream.h"
#include "companions/base/tr.h"

namespace {

// Maps step done of total into [start, start + width) of the sink's fraction.
bool Report(CTevCommonProgress* progress, long long done, long long total) {
  return ReportProgressStep(progress, done, total);
}

void Caption(CTevCommonProgress* progress, const char* text) {
  if (progress) progress->SetCaption(text);
}

}  // namespace

CGifOptimizeOptions GifOptionsFromModel(const CGifImage& model) {
  CGifOptimizeOptions o;
  o.maxColors = std::clamp(model.m_nOutputColors, 2, 256);
  o.ditherMode = model.m_nOutputReduction;
  o.ditherParameter = model.m_nOutputQuality;
  o.keyColour = (model.m_clrOutputMatte >> 24) ? 0xFFFFFF : model.m_clrOutputMatte;
  o.optimizeFrames = model.m_bOptimizeFrames != 0;
  // An imported GIF whose first image had no transparency flag: viewers that
  // follow that flag show the background colour where nothing is drawn.
  const CGifFrame* first = model.GetFrame(0);
  o.opaqueBackdrop = model.m_nTransparencyState != 2 && first && !(first->m_byGraphicControl & 1);
  o.backdropColour = model.m_clrBackground & 0xFFFFFF;
  return o;
}

int GifColorTableSize(int n) {
  int size = 2;
  while (size < n && size < 256) size *= 2;
  return size;
}

CGifFrameOptimizer::CGifFrameOptimizer(const CGifImage& model, const CGifOptimizeOptions& options)
    : m_model(model), m_options(options) {
  m_options.maxColors = std::clamp(m_options.maxColors, 2, 256);
  if (m_options.keyColour >> 24) m_options.keyColour = 0xFFFFFF;
}

bool CGifFrameOptimizer::Run(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  Caption(progress, Tr("Initializing..."));
  if (m_model.GetFrameCount() >= 2 && m_options.optimizeFrames) {
    if (!StreamEntries(result, progress)) return false;
    FinishTable(result);
    return !(progress && progress->IsCancelled());
  }
  if (!BuildIndexedEntries(result, progress)) return false;
  if (result.entries.size() >= 2 && m_options.optimizeFrames) {
    Caption(progress, Tr("Comparing frames..."));
    MergeIdentical(result, progress);
    Caption(progress, Tr("Disposing all frames..."));
    if (!DisposeFrames(result, progress)) return false;
  } else {
    // Every entry is a whole frame: each clears its box before the next one.
    for (CFrameOptimal& e : result.entries) e.SetDisposal(2);
    if (result.entries.size() == 1) result.entries.front().SetDisposal(1);
  }
  FinishTable(result);
  return !(progress && progress->IsCancelled());
}

bool CGifFrameOptimizer::StreamEntries(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  // Each 8-bit entry is merged with an equal predecessor or handed to the
  // differencing as it comes, so only a few whole frames are held at once.
  // An opaque backdrop may need every frame at once (canvas views): then
  // the entries are collected and disposed as a list.
  enum { kUndecided, kStream, kCollect } mode = kUndecided;
  std::optional<CFrameOptimal> last;  // the entry equal frames merge into
  std::optional<CGifFrameDiffer> differ;
  std::vector<CFrameOptimal> collected;
  const LONG w = m_model.m_nWidth, h = m_model.m_nHeight;
  const auto take = [&](CFrameOptimal&& e) {
    // A mask left wholly opaque by the crop counts as none (as in DisposeFrames).
    if (e.mask && CMaskedBitmapTransform::IsMaskFull(e.mask.get())) e.mask.reset();
    if (mode == kUndecided) {
      const bool coversCanvas = !e.mask && e.x == 0 && e.y == 0 && DibWidth(e.image.get()) == w &&
                                DibHeight(e.image.get()) == h;
      const bool views = m_options.opaqueBackdrop && !e.mask && !coversCanvas;
      mode = views ? kCollect : kStream;
    }
    if (mode == kCollect) {
      collected.push_back(std::move(e));
      return true;
    }
    if (last && unsigned(last->delay) + e.delay <= 0xFFFF && e.x == last->x && e.y == last->y &&
        CompareFrame(last->image.get(), last->mask.get(), e.image.get(), e.mask.get())) {
      last->delay = WORD(last->delay + e.delay);
      return true;
    }
    if (last) {
      if (!differ) differ.emplace(result, -1, m_options.forbidRestorePrevious);
      if (!differ->Add(std::move(*last))) return false;
    }
    last = std::move(e);
    return true;
  };
  if (!BuildIndexed(result, progress, take)) return false;
  if (mode == kCollect) {
    result.entries = std::move(collected);
    Caption(progress, Tr("Comparing frames..."));
    MergeIdentical(result, progress);
    Caption(progress, Tr("Disposing all frames..."));
    return DisposeFrames(result, progress);
  }
  result.backdropKept = false;
  if (!last) return false;
  if (!differ) {  // every frame equal: one entry as it stands
    result.entries.push_back(std::move(*last));
    return true;
  }
  return differ->Add(std::move(*last)) && differ->Finish(result.entries);
}

bool CGifFrameOptimizer::BuildEntries(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  result = CGifOptimizeResult{};
  const LONG w = m_model.m_nWidth, h = m_model.m_nHeight;
  const int count = m_model.GetFrameCount();
  if (count == 0 || w <= 0 || h <= 0) return false;
  result.entries.reserve(std::size_t(count));
  for (int i = 0; i < count; ++i) {
    const CGifFrame& frame = *m_model.GetFrame(i);
    CFrameOptimal e = EntryOf(frame);
    if (!ComposeFrameWithMask(frame, w, h, e.image, e.mask, 128, m_options.keyColour)) return false;
    if (!CropToOpaque(e, w, h)) return false;
    result.entries.push_back(std::move(e));
    if (!Report(progress, i + 1, count)) return false;
  }
  return true;
}

bool CGifFrameOptimizer::BuildIndexedEntries(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  return BuildIndexed(result, progress, [&result](CFrameOptimal&& e) {
    result.entries.push_back(std::move(e));
    return true;
  });
}

bool CGifFrameOptimizer::BuildIndexed(CGifOptimizeResult& result, CTevCommonProgress* progress,
                                      const std::function<bool(CFrameOptimal&&)>& take) {
  const int count = m_model.GetFrameCount();
  // One frame: whether it needs a transparent index is known only after composing it.
  if (count < 2) {
    if (!BuildEntries(result, progress)) return false;
    Caption(progress, Tr("Removing palette information..."));
    if (!BuildPalette(result, progress)) return false;
    std::vector<CFrameOptimal> entries = std::move(result.entries);
    result.entries.clear();
    for (CFrameOptimal& e : entries)
      if (!take(std::move(e))) return false;
    return true;
  }
  result = CGifOptimizeResult{};
  const LONG w = m_model.m_nWidth, h = m_model.m_nHeight;
  if (w <= 0 || h <= 0) return false;
  // Several frames always leave one entry for the transparent index.
  CTevQColorQuantizer quantizer(m_options.maxColors - 1);
  quantizer.ResetQuantization();
  const long long steps = 2ll * count;
  // First pass: the colours of every frame's opaque pixels. The frame is
  // composed on the worker thread and dropped once its colours are counted.
  const std::function<bool(int, CComposedFrame&)> pickMake = [&](int i, CComposedFrame& f) {
    const CGifFrame* frame = m_model.GetFrame(i);
    if (!frame || !ComposeFrameWithMask(*frame, w, h, f.image, f.mask, 128, m_options.keyColour)) return false;
    if (CMaskedBitmapTransform::IsMaskFull(f.mask.get())) f.mask.reset();
    return true;
  };
  // Consecutive frames mostly repeat each other: only changed pixels are looked up.
  CPixelRuns runs;
  const std::function<bool(int, CComposedFrame&)> pick = [&](int i, CComposedFrame& f) {
    return quantizer.PickColorFrame(f.image.get(), f.mask.get(), runs, progress) && Report(progress, i + 1, steps);
  };
  if (!ProduceInOrder<CComposedFrame>(count, pickMake, pick)) return false;
  quantizer.FlushColourRuns(runs);
  Caption(progress, Tr("Removing palette information..."));
  if (!FixPalette(quantizer, true, result)) return false;
  Caption(progress, Tr("Converting to GIF file format...."));
  // Second pass: each frame composed again, cropped and converted to 8 bits;
  // the 8-bit entries go to take.
  const std::function<bool(int, CFrameOptimal&)> composeMake = [&](int i, CFrameOptimal& e) {
    const CGifFrame* frame = m_model.GetFrame(i);
    if (!frame) return false;
    e = EntryOf(*frame);
    return ComposeFrameWithMask(*frame, w, h, e.image, e.mask, 128, m_options.keyColour);
  };
  const std::function<bool(int, CFrameOptimal&)> cropMake = [&](int i, CFrameOptimal& e) {
    return composeMake(i, e) && CropToOpaque(e, w, h);
  };
  const std::function<bool(int, CFrameOptimal&)> convert = [&](int i, CFrameOptimal& e) {
    BITMAPINFOHEADER* out8 = nullptr;
    if (!quantizer.DitherBitmap(e.image.get(), e.mask.get(), &out8, m_options.ditherMode, m_options.ditherParameter,
                                progress))
      return false;
    e.image.reset(out8);
    return take(std::move(e)) && Report(progress, (long long)count + i + 1, steps);
  };
  const int strength = std::clamp(m_options.ditherParameter, 0, 100);
  const bool dithered = strength > 0 && (m_options.ditherMode == DITHER_ORDERED ||
                                         m_options.ditherMode == DITHER_ERROR_DIFFUSION);
  if (dithered) return ProduceInOrder<CFrameOptimal>(count, cropMake, convert);
  // Without dithering each pixel maps on its own: whole canvases are mapped
  // (unchanged pixels keep the index they had) and the 8-bit result is cropped.
  CPixelRuns mapped;
  const std::function<bool(int, CFrameOptimal&)> map = [&](int i, CFrameOptimal& e) {
    BITMAPINFOHEADER* out8 = nullptr;
    if (!quantizer.MapFrame(e.image.get(), e.mask.get(), &out8, mapped, progress)) return false;
    e.image.reset(out8);
    if (!CropToOpaque(e, w, h)) return false;
    return take(std::move(e)) && Report(progress, (long long)count + i + 1, steps);
  };
  return ProduceInOrder<CFrameOptimal>(count, composeMake, map);
}

CFrameOptimal CGifFrameOptimizer::EntryOf(const CGifFrame& frame) const {
  CFrameOptimal e;
  e.frame = &frame;
  e.delay = frame.m_nDelay;
  e.graphicControl = frame.m_byGraphicControl;
  e.descriptor = BYTE(frame.m_byDescriptor & 0x40);
  return e;
}

bool CGifFrameOptimizer::CropToOpaque(CFrameOptimal& e, LONG w, LONG h) const {
  // A frame without transparent pixels has no mask; one with some keeps it after cropping.
  if (CMaskedBitmapTransform::IsMaskFull(e.mask.get())) e.mask.reset();
  LONG l = 0, t = 0, r = 0, b = 0;
  if (e.mask) DibKernel::CaclOpaqueBoundary(e.mask.get(), &l, &t, &r, &b);
  RECT keep{0, 0, w, h};
  if (l >= w) keep = RECT{0, 0, 1, 1};  // nothing opaque: one transparent pixel
  else if (l || t || r || b) keep = RECT{l, t, w - r, h - b};
  if (keep.left || keep.top || keep.right != w || keep.bottom != h) {
    BITMAPINFOHEADER *img = nullptr, *msk = nullptr;
    if (!CropFrame(e.image.get(), e.mask.get(), keep, &img, &msk)) return false;
    e.image.reset(img);
    e.mask.reset(msk);
    e.x += keep.left;
    e.y += keep.top;
  }
  return true;
}

bool CGifFrameOptimizer::BuildPalette(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  auto& entries = result.entries;
  if (entries.empty()) return false;
  const bool transparency = entries.size() >= 2 || entries.front().mask;
  const int capacity = transparency ? m_options.maxColors - 1 : m_options.maxColors;
  CTevQColorQuantizer quantizer(capacity);
  quantizer.ResetQuantization();
  const long long total = (long long)entries.size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!quantizer.PickColorBitmap(entries[i].image.get(), entries[i].mask.get(), progress)) return false;
    if (!Report(progress, (long long)i + 1, total)) return false;
  }
  if (!FixPalette(quantizer, transparency, result)) return false;
  Caption(progress, Tr("Converting to GIF file format...."));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    BITMAPINFOHEADER* out8 = nullptr;
    if (!quantizer.DitherBitmap(entries[i].image.get(), entries[i].mask.get(), &out8, m_options.ditherMode,
                                m_options.ditherParameter, progress))
      return false;
    entries[i].image.reset(out8);
    if (!Report(progress, (long long)i + 1, total)) return false;
  }
  return true;
}

bool CGifFrameOptimizer::FixPalette(CTevQColorQuantizer& quantizer, bool transparency,
                                    CGifOptimizeResult& result) const {
  if (!quantizer.FillPalette()) {
    // Only transparent pixels anywhere: a one-colour palette of the key colour.
    DibPtr one(CDIB32::CreateSimple32BitsDIB(1, 1, m_options.keyColour, 255));
    quantizer.PickColorBitmap(one.get(), nullptr, nullptr);
    if (!quantizer.FillPalette()) return false;
  }
  const int n = quantizer.GetLeafs();
  result.colorsUsed = n;
  result.tableSize = GifColorTableSize(n);
  result.transparentIndex = -1;
  if (transparency) {
    result.transparentIndex = n;
    if (result.tableSize == n) result.tableSize *= 2;
  }
  const COLORREF k = m_options.keyColour;
  // Full 256-entry tables: FinishTable may still place the background colour.
  quantizer.SetOutputTable(256, RGBQUAD{GetBValue(k), GetGValue(k), GetRValue(k), 0});
  return true;
}

void CGifFrameOptimizer::MergeIdentical(CGifOptimizeResult& result, CTevCommonProgress* progress) {
  auto& entries = result.entries;
  if (entries.size() < 2) return;
  std::vector<CFrameOptimal> kept;
  kept.reserve(entries.size());
  kept.push_back(std::move(entries.front()));
  const long long pairs = (long long)entries.size() - 1;
  for (std::size_t i = 1; i < entries.size(); ++i) {
    CFrameOptimal& last = kept.back();
    CFrameOptimal& e = entries[i];
    // Delays that would not fit 16 bits stay apart rather than lose time.
    const bool fits = unsigned(last.delay) + e.delay <= 0xFFFF;
    if (fits && e.x == last.x && e.y == last.y &&
        CompareFrame(last.image.get(), last.mask.get(), e.image.get(), e.mask.get()))
      last.delay = WORD(last.delay + e.delay);
    else
      kept.push_back(std::move(e));
    Report(progress, (long long)i, pairs);
  }
  entries = std::move(kept);
}

void CGifFrameOptimizer::FinishTable(CGifOptimizeResult& result) const {
  auto& entries = result.entries;
  result.entryTransparent.assign(entries.size(), -1);
  if (entries.empty()) return;
  const int n = std::max(result.colorsUsed, 1);
  const LONG w = m_model.m_nWidth, h = m_model.m_nHeight;
  // Masks without a transparent pixel are dropped: those frames need no transparent index.
  for (CFrameOptimal& e : entries)
    if (e.mask && CMaskedBitmapTransform::IsMaskFull(e.mask.get())) e.mask.reset();
  const CFrameOptimal& first = entries.front();
  const bool coversCanvas =
      !first.mask && first.x == 0 && first.y == 0 && DibWidth(first.image.get()) == w && DibHeight(first.image.get()) == h;
  const bool backdrop = m_options.opaqueBackdrop && !first.mask && !coversCanvas &&
                        (entries.size() == 1 || result.backdropKept);
  // The first frame's transparency flag also decides, for some viewers,
  // whether the undrawn canvas is transparent: set it unless the backdrop is kept.
  std::vector<bool> needs(entries.size());
  bool any = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    needs[i] = entries[i].mask || (i == 0 && !coversCanvas && !backdrop);
    any = any || needs[i];
  }
  int table = GifColorTableSize(n);
  const int codeLimit = 1 << std::max(2, GifColorTableBits(table));
  // Transparent index: the slot after the palette while the code size allows
  // it (a two-entry table still has codes 2 and 3), else an index the frame
  // does not use, else the table doubles.
  auto unusedIndex = [&](const CFrameOptimal& e) {
    std::vector<bool> used(std::size_t(table), false);
    const LONG ew = DibWidth(e.image.get()), eh = DibHeight(e.image.get());
    for (LONG y = 0; y < eh; ++y) {
      const BYTE* row = DibRow(e.image.get(), y);
      const BYTE* m = e.mask ? DibRow(e.mask.get(), y) : nullptr;
      for (LONG x = 0; x < ew; ++x)
        if ((!m || ((m[x >> 3] >> (7 - (x & 7))) & 1)) && row[x] < table) used[row[x]] = true;
    }
    for (int k = table - 1; k >= 0; --k)
      if (!used[std::size_t(k)]) return k;
    return -1;
  };
  if (any) {
    std::vector<int> chosen(entries.size(), -1);
    bool grow = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!needs[i]) continue;
      chosen[i] = n < codeLimit ? n : unusedIndex(entries[i]);
      if (chosen[i] < 0) grow = true;  // every index of the table is in use
    }
    if (grow && table < 256) {
      table *= 2;
      for (std::size_t i = 0; i < entries.size(); ++i) chosen[i] = needs[i] ? n : -1;
    } else if (grow) {
      // A full 256-entry table cannot grow: a frame that only wanted the flag goes without.
      for (std::size_t i = 0; i < entries.size(); ++i)
        if (chosen[i] < 0 && entries[i].mask) chosen[i] = std::min(n, 255);
    }
    // Hidden pixels take the frame's own transparent index.
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (chosen[i] >= 0 && chosen[i] != result.transparentIndex && entries[i].mask) {
        const LONG ew = DibWidth(entries[i].image.get()), eh = DibHeight(entries[i].image.get());
        for (LONG y = 0; y < eh; ++y) {
          BYTE* row = DibRow(entries[i].image.get(), y);
          const BYTE* m = DibRow(entries[i].mask.get(), y);
          for (LONG x = 0; x < ew; ++x)
            if (!((m[x >> 3] >> (7 - (x & 7))) & 1)) row[x] = BYTE(chosen[i]);
        }
      }
    }
    result.entryTransparent = chosen;
    result.transparentIndex = n;
  } else {
    result.transparentIndex = -1;
  }
  result.backgroundIndex = -1;
  if (backdrop) {
    const COLORREF c = m_options.backdropColour;
    const RGBQUAD q{GetBValue(c), GetGValue(c), GetRValue(c), 0};
    const RGBQUAD* pal = DibPalette(first.image.get());
    int slot = -1;
    for (int k = 0; k < n && slot < 0; ++k)
      if (pal[k].rgbRed == q.rgbRed && pal[k].rgbGreen == q.rgbGreen && pal[k].rgbBlue == q.rgbBlue) slot = k;
    if (slot < 0) {
      slot = n;
      if (slot >= table) table *= 2;
      for (CFrameOptimal& e : entries)
        if (DibPaletteEntries(e.image.get()) > std::size_t(slot)) DibPalette(e.image.get())[slot] = q;
    }
    result.backgroundIndex = slot;
  }
  result.tableSize = table;
}

bool GifKeepsFileLoop(const CGifImage& model) {
  const int file = model.m_nGifFileLoop;
  if (file < 0) return false;
  return file == 0 ? model.m_bLoopForever != 0 : !model.m_bLoopForever && model.m_nLoopCount == file;
}

int GifColorTableBits(int size) {
  int bits = 1;
  while ((1 << bits) < size && bits < 8) ++bits;
  return bits;
}

bool FillGifPack(CGifOptimizeResult& result, const CGifImage& model, TevImageIO::CTevImageInfoPack& pack,
                 TevImageIO::CTevGifExportOptions& options, bool giveAway) {
  using namespace TevImageIO;
  if (result.entries.empty()) return false;
  pack.DestroyChain();
  pack.width = model.m_nWidth;
  pack.height = model.m_nHeight;
  pack.imageColorIndex = result.backgroundIndex >= 0 ? result.backgroundIndex : result.transparentIndex;
  pack.format = IMAGE_FORMAT_GIF;
  pack.transparencyMode = result.transparentIndex >= 0 ? TRANSPARENCY_COLOR_INDEX : TRANSPARENCY_NONE;
  options.animated = 1;
  options.loopCount = model.m_bLoopForever ? 0 : WORD(std::clamp(model.m_nLoopCount, 0, 0xFFFF));
  options.loopAlways = GifKeepsFileLoop(model);
  options.extensions = model.m_gifExtensions;
  options.colorCount = result.tableSize;
  options.compactIndexes = true;
  for (std::size_t i = 0; i < result.entries.size(); ++i) {
    CFrameOptimal& e = result.entries[i];
    std::unique_ptr<CTevSubImageBlock> owned;
    CTevSubImageBlock* b = &pack;
    if (i > 0) {
      owned = std::make_unique<CTevSubImageBlock>();
      b = owned.get();
    }
    b->x = e.x;
    b->y = e.y;
    b->delay = e.delay;
    b->transparentIndex =
        i < result.entryTransparent.size() ? result.entryTransparent[i] : (e.mask ? result.transparentIndex : -1);
    b->byteA = e.descriptor;
    b->byteB = e.graphicControl;
    if (giveAway) {
      b->picture = std::move(e.image);
      b->mask = std::move(e.mask);
    } else {
      b->picture.reset(e.image ? DibCopy(e.image.get()) : nullptr);
      b->mask.reset(e.mask ? DibCopy(e.mask.get()) : nullptr);
    }
    if (!b->picture) return false;
    if (owned) pack.AppendBlock(std::move(owned));
  }
  return true;
}

long long MeasureGifSize(CGifOptimizeResult& result, const CGifImage& model, CTevCommonProgress* progress) {
  if (progress) progress->SetCaption(Tr("Calculating file size..."));
  TevImageIO::CTevImageInfoPack pack;
  TevImageIO::CTevGifExportOptions options;
  if (!FillGifPack(result, model, pack, options, false)) return -1;
  return TevImageIO::CCalcuGifModule::CalcuGifImgLength(pack, &options, progress);
}
