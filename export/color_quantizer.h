// CTevQColorQuantizer: one palette for many pictures, then each picture
// mapped to it, with optional dithering.
//
// 1. construct with the colour capacity 2. PickColorBitmap for every
// picture (colours of pixels the mask leaves opaque) 3. FillPalette
// 4. SetOutputTable (optional: entries of the 8-bit results' colour table)
// 5. DitherBitmap for every picture.
//
// When the picked pictures hold no more distinct colours than the capacity,
// the palette is exactly those colours and mapping without dithering (or
// with error diffusion, which then carries no error) is lossless. Otherwise
// an octree reduces the colours: the deepest nodes with the fewest pixels
// are merged first, each leaf giving the average of its pixels; the last few
// leaves over the capacity are merged pairwise by least added error, and a
// few Lloyd (k-means) steps then move the entries to the centres of the
// colours they stand for (skipped when colours x entries is too much work).
#pragma once

#include <cstdint>
#include <vector>

#include "companions/base/dib.h"
#include "companions/base/progress.h"

enum DITHER_MODE : int {
  DITHER_NONE = 0,
  DITHER_ORDERED = 1,          // 8 x 8 Bayer threshold pattern
  DITHER_ERROR_DIFFUSION = 2,  // Floyd-Steinberg, serpentine rows
};

// What a run of same-size pictures showed at each pixel: the colour
// (kNone where the mask hid it), the picture from which it has shown that
// colour, and its palette index once mapped. PickColorFrame and MapFrame
// look up only pixels that differ from the previous picture.
struct CPixelRuns {
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  LONG width = 0, height = 0;
  int pictures = 0;
  std::vector<std::uint32_t> colour;
  std::vector<int> since;
  std::vector<BYTE> index;
};

class CTevQColorQuantizer {
 public:
  // capacity: palette colours at most (1..256).
  explicit CTevQColorQuantizer(int capacity);
  ~CTevQColorQuantizer();
  CTevQColorQuantizer(const CTevQColorQuantizer&) = delete;
  CTevQColorQuantizer& operator=(const CTevQColorQuantizer&) = delete;

  // Forgets every picked colour and the palette (the quantizer's whole state
  // lives in the object; there is nothing global to clear).
  void ResetQuantization();
  // Adds the colours of a 24- or 32-bit picture's pixels whose mask bit is
  // set (every pixel when mask is null). FALSE on bad input or cancel.
  BOOL PickColorBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, CTevCommonProgress* progress);
  // PickColorBitmap for one picture of a run of same-size pictures: a pixel
  // that shows the same colour as in the previous picture is counted later,
  // all its pictures at once, by FlushColourRuns (call it before
  // FillPalette). The picked counts and the order colours are first seen
  // are those of PickColorBitmap on every picture. FALSE on bad input, a
  // size other than the run's, or cancel.
  BOOL PickColorFrame(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, CPixelRuns& runs,
                      CTevCommonProgress* progress);
  void FlushColourRuns(CPixelRuns& runs);
  // Fixes the palette from the picked colours. FALSE when nothing was picked.
  BOOL FillPalette();
  // Entries of the colour table DitherBitmap gives its results (at least the
  // palette size, at most 256) and the colour of the entries past the palette.
  void SetOutputTable(int entries, RGBQUAD fill);
  // A new 8-bit picture of the same size in the palette; pixels hidden by
  // the mask get index 0. ditherParameter is the strength in percent
  // (0..100, values outside are clamped). FALSE on bad input or cancel.
  BOOL DitherBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, BITMAPINFOHEADER** out8,
                    int ditherMode, int ditherParameter, CTevCommonProgress* progress);
  // DitherBitmap without dithering for one picture of a run of same-size
  // pictures (a fresh CPixelRuns, not one used for picking): a pixel that
  // shows the same colour as in the previous picture keeps its index.
  BOOL MapFrame(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, BITMAPINFOHEADER** out8,
                CPixelRuns& runs, CTevCommonProgress* progress);
  // Palette colours after FillPalette.
  int GetLeafs() const { return int(m_palette.size()); }
  const std::vector<RGBQUAD>& Palette() const { return m_palette; }
  // Distinct colours picked so far.
  std::size_t DistinctColours() const;

 private:
  // An 8-bit picture of w x h whose table is the palette, padded with the fill colour.
  DibPtr NewMappedPicture(LONG w, LONG h) const;
  class CColourTable;
  int Nearest(int r, int g, int b);
  bool RefinePalette();
  static constexpr std::size_t kRefineColours = 1 << 15;
  static constexpr std::size_t kRefineWork = 1 << 22;
  int MapExact(std::uint32_t rgb);

  int m_capacity;
  CColourTable* m_histogram;  // colour -> pixel count, later colour -> palette index
  CColourTable* m_nearest;    // cache of nearest-colour searches
  std::vector<RGBQUAD> m_palette;
  std::vector<int> m_leafOf;  // octree: palette index per histogram slot
  int m_tableEntries = 0;
  RGBQUAD m_fill{0, 0, 0, 0};
  bool m_exact = false;
};
