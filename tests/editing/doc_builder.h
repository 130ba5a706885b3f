// Builders for the small documents the editing, generator and app tests work
// on: an emptied canvas, a patterned picture, frames that reference every
// object, a frame that counts its deletion, and a pixel-exact comparison.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "app/loopwright_doc.h"
#include "companions/dibkernel/dib_kernel.h"

// A frame that counts its destruction.
struct CountedFrame : CGifFrame {
  explicit CountedFrame(int* destroyed) : m_pDestroyed(destroyed) {}
  ~CountedFrame() override { ++*m_pDestroyed; }
  int* m_pDestroyed;
};

// Starts doc over as an empty w x h canvas without frames or objects.
inline bool ResetDocument(CLoopwrightDoc& doc, int w, int h) {
  if (!doc.OnNewDocument(w, h)) return false;
  doc.DeleteContents();
  doc.m_nWidth = w;
  doc.m_nHeight = h;
  return true;
}

// A w x h 32-bit picture whose pixel (x, y) holds the bytes b, g, r, a that
// pixel(x, y) returns.
inline DibPtr PatternPicture(int w, int h, const std::function<std::array<BYTE, 4>(int, int)>& pixel) {
  DibPtr pic(CDIB32::CreateBlank32BitsDIB(w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto v = pixel(x, y);
      BYTE* p = DibRow(pic.get(), y) + 4 * x;
      for (int c = 0; c < 4; ++c) p[c] = v[std::size_t(c)];
    }
  return pic;
}

// Two 32-bit pictures of the same size with the same bytes.
inline ::testing::AssertionResult PixelEqual(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b) {
  if (!a || !b) return ::testing::AssertionFailure() << "missing picture";
  if (a->biWidth != b->biWidth || DibHeight(a) != DibHeight(b))
    return ::testing::AssertionFailure() << a->biWidth << "x" << DibHeight(a) << " vs " << b->biWidth << "x"
                                         << DibHeight(b);
  for (LONG y = 0; y < DibHeight(a); ++y)
    if (std::memcmp(DibRow(a, y), DibRow(b, y), 4 * std::size_t(a->biWidth)) != 0)
      return ::testing::AssertionFailure() << "row " << y << " differs";
  return ::testing::AssertionSuccess();
}

// Appends `count` frames; frame i has delay(i) and one reference per object,
// placed by place(i, j, ref) for object j.
inline void AddFrames(CLoopwrightDoc& doc, int count, const std::function<int(int)>& delay,
                      const std::function<void(int, int, CRefImageObject&)>& place) {
  for (int i = 0; i < count; ++i) {
    auto f = MakeRef<CGifFrame>(std::uint16_t(delay(i)));
    for (std::size_t j = 0; j < doc.m_objects.size(); ++j) {
      auto r = MakeRef<CRefImageObject>(doc.m_objects[j]);
      place(i, int(j), *r);
      f->m_refs.push_back(r);
    }
    doc.m_frames.push_back(f);
  }
}
