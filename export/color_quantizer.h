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
  // Palette colours after FillPalette.
  int GetLeafs() const { return int(m_palette.size()); }
  const std::vector<RGBQUAD>& Palette() const { return m_palette; }
  // Distinct colours picked so far.
  std::size_t DistinctColours() const;

 private:
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
