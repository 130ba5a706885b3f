#include "companions/vector/span_render.h"

#include <cstring>

namespace TevVecLib::detail {

void ApplyClip(Rasterizer& ras, const rect_base<double>* clip) {
  const double lo = -2.0, hi = double(kMaxDibDimension) + 2.0;
  double x1 = lo, y1 = lo, x2 = hi, y2 = hi;
  if (clip && std::isfinite(clip->x1) && std::isfinite(clip->y1) && std::isfinite(clip->x2) &&
      std::isfinite(clip->y2)) {
    x1 = std::clamp(std::min(clip->x1, clip->x2), lo, hi);
    x2 = std::clamp(std::max(clip->x1, clip->x2), lo, hi);
    y1 = std::clamp(std::min(clip->y1, clip->y2), lo, hi);
    y2 = std::clamp(std::max(clip->y1, clip->y2), lo, hi);
  }
  ras.clip_box(x1, y1, x2, y2);
}

void PaintSpans(Rasterizer& ras, BITMAPINFOHEADER* dst, const CTevAlphaMaskBase<unsigned char>* mask,
                SpanSource& source, int mode, bool antiAlias) {
  if (!Is32BitDib(dst)) return;
  std::vector<BYTE> px(std::size_t(DibWidth(dst)) * 4);
  SweepCoverage(ras, dst, mask, antiAlias, [&](int x, int y, int len, const std::uint8_t* cv, BYTE* d) {
    std::uint8_t all = 255;  // AND of the covers, without an early exit so that it vectorizes
    for (int i = 0; i < len; ++i) all &= cv[i];
    if (mode == kComposeCopy && all == 255) {
      source.Generate(d, x, y, unsigned(len));  // a wholly covered span is the source itself
      return;
    }
    source.Generate(px.data(), x, y, unsigned(len));
    for (int i = 0; i < len;) {
      if (mode == kComposeCopy && cv[i] == 255) {  // fully covered runs are plain copies
        int j = i + 1;
        while (j < len && cv[j] == 255) ++j;
        std::memcpy(d + std::size_t(i) * 4, px.data() + std::size_t(i) * 4, std::size_t(j - i) * 4);
        i = j;
        continue;
      }
      ComposePixel(d + i * 4, px.data() + std::size_t(i) * 4, cv[i], mode);
      ++i;
    }
  });
}

}  // namespace TevVecLib::detail
