// The GIF frame optimizer: turns an animation into the smallest sequence of
// 8-bit sub-images that shows the same frames.
//
// 1. BuildEntries: every frame composed with its transparency mask and
//    cropped to its opaque part 2. BuildPalette: one global palette, every
//    entry converted to 8 bits 3. MergeIdentical: equal neighbours become one
//    entry with the delays added 4. DisposeFrames: each entry reduced to what
//    differs from the screen the viewer shows, with a disposal method chosen
//    per frame. Run does all four; FillGifPack hands the result to the codec.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gif_image.h"
#include "companions/base/progress.h"
#include "companions/imageio/image_info.h"
#include "companions/imageio/image_options.h"

class CTevQColorQuantizer;

// One output frame. The entry owns its DIBs.
struct CFrameOptimal {
  const CGifFrame* frame = nullptr;  // source frame (first of a merged run)
  DibPtr image;                      // 32-bit until BuildPalette, then 8-bit
  DibPtr mask;                       // 1-bit, set bits opaque; null when fully opaque
  int x = 0;
  int y = 0;
  WORD delay = 20;
  BYTE graphicControl = 0;  // packed byte; the chosen disposal goes in bits 2-4
  BYTE descriptor = 0;      // image-descriptor byte; 0x40 interlaced
  int Disposal() const { return (graphicControl >> 2) & 7; }
  void SetDisposal(int d) { graphicControl = BYTE((graphicControl & 0xE3) | ((d & 7) << 2)); }
  bool Interlaced() const { return (descriptor & 0x40) != 0; }
};

struct CGifOptimizeOptions {
  int maxColors = 256;           // 2..256
  int ditherMode = 0;            // DITHER_MODE
  int ditherParameter = 100;     // dither strength in percent
  COLORREF keyColour = 0xFFFFFF; // matte for partly transparent pixels and the transparent entry
  bool forbidRestorePrevious = false;
  bool optimizeFrames = true;    // merging and differencing
  // The canvas behind the first frame shows the background colour rather
  // than transparency in viewers that follow the first image's transparency
  // flag (an imported GIF whose first image has none). The export then keeps
  // the first image free of transparency and points the background index at
  // backdropColour, so those viewers see the same frames as before.
  bool opaqueBackdrop = false;
  COLORREF backdropColour = 0xFFFFFF;
};

// The options a document carries (colour count, dither mode and strength, matte, optimize flag).
CGifOptimizeOptions GifOptionsFromModel(const CGifImage& model);

struct CGifOptimizeResult {
  std::vector<CFrameOptimal> entries;
  int tableSize = 2;         // colour-table entries, a power of two 2..256
  int colorsUsed = 0;        // palette colours from the quantizer
  int transparentIndex = -1; // -1 when no transparency is used
  int backgroundIndex = -1;  // logical-screen background index; -1: the transparent index
  bool backdropKept = false; // the differencing respected an opaque backdrop
  // Per entry: the transparent index its graphic control names, -1 for none.
  std::vector<int> entryTransparent;
};

class CGifFrameOptimizer {
 public:
  CGifFrameOptimizer(const CGifImage& model, const CGifOptimizeOptions& options);

  // All four stages with their captions on the progress sink. False on a
  // failed composition or conversion, cancel, or a model without frames.
  bool Run(CGifOptimizeResult& result, CTevCommonProgress* progress);

  bool BuildEntries(CGifOptimizeResult& result, CTevCommonProgress* progress);
  bool BuildPalette(CGifOptimizeResult& result, CTevCommonProgress* progress);
  // BuildEntries and BuildPalette in two passes that compose every frame
  // twice (colours first, then 8-bit conversion) instead of keeping all
  // composed 32-bit frames; composing runs one frame ahead on a second
  // thread. Gives the same entries as the two stages.
  bool BuildIndexedEntries(CGifOptimizeResult& result, CTevCommonProgress* progress);
  void MergeIdentical(CGifOptimizeResult& result, CTevCommonProgress* progress);
  bool DisposeFrames(CGifOptimizeResult& result, CTevCommonProgress* progress);
  // Shrinks the colour table to what the written frames use and picks the
  // background index (after the other stages).
  void FinishTable(CGifOptimizeResult& result) const;

 private:
  // BuildIndexedEntries handing each entry to take (false stops).
  bool BuildIndexed(CGifOptimizeResult& result, CTevCommonProgress* progress,
                    const std::function<bool(CFrameOptimal&&)>& take);
  // Run's stages for two or more frames, merged and differenced as the
  // entries come instead of after all are built.
  bool StreamEntries(CGifOptimizeResult& result, CTevCommonProgress* progress);
  CFrameOptimal EntryOf(const CGifFrame& frame) const;
  // Drops a mask without transparent pixels and crops to the opaque part.
  bool CropToOpaque(CFrameOptimal& e, LONG w, LONG h) const;
  // The palette from the picked colours and the table layout in result.
  bool FixPalette(CTevQColorQuantizer& quantizer, bool transparency, CGifOptimizeResult& result) const;

  const CGifImage& m_model;
  CGifOptimizeOptions m_options;
};

// The differencing of DisposeFrames for whole 8-bit entries given one at a
// time (after merging), keeping only the previous entry and the screen
// before it. backdrop: -1, or the value of never-drawn pixels in canvas views.
class CGifFrameDiffer {
 public:
  CGifFrameDiffer(const CGifOptimizeResult& result, int backdrop, bool forbidRestorePrevious);
  ~CGifFrameDiffer();
  CGifFrameDiffer(const CGifFrameDiffer&) = delete;
  CGifFrameDiffer& operator=(const CGifFrameDiffer&) = delete;
  // False when the entry cannot be handled (over a backdrop: the views
  // cannot be reached by drawing).
  bool Add(CFrameOptimal&& entry);
  // The finished entries with their drawn parts and disposals.
  bool Finish(std::vector<CFrameOptimal>& out);

 private:
  class Impl;
  std::unique_ptr<Impl> m_impl;
};

// The colour-table size for n palette colours: the smallest power of two
// from 2 to 256 that holds them.
int GifColorTableSize(int colours);
// Bits of a colour table of size entries (1..8).
int GifColorTableBits(int size);

// True when the model still has the loop setting its GIF file gave, so the
// file's loop extension is written back even for a single play.
bool GifKeepsFileLoop(const CGifImage& model);

// Fills pack and the GIF record from the result. With giveAway the entries'
// DIBs move into the pack (the entries are left empty); without it they are
// copied.
bool FillGifPack(CGifOptimizeResult& result, const CGifImage& model, TevImageIO::CTevImageInfoPack& pack,
                 TevImageIO::CTevGifExportOptions& options, bool giveAway);

// Bytes of the GIF the result would give (the preview's size measure).
long long MeasureGifSize(CGifOptimizeResult& result, const CGifImage& model, CTevCommonProgress* progress);
