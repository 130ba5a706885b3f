#include "export/gif_frame_stream.h"

#include "app/compose.h"

bool ForEachComposedFrame(const CGifImage& model, COLORREF key,
                          const std::function<bool(int, CComposedFrame&)>& use) {
  const LONG w = model.m_nWidth, h = model.m_nHeight;
  if (w <= 0 || h <= 0) return false;
  const std::function<bool(int, CComposedFrame&)> make = [&](int i, CComposedFrame& f) {
    const CGifFrame* frame = model.GetFrame(i);
    return frame && ComposeFrameWithMask(*frame, w, h, f.image, f.mask, 128, key) && f.image && f.mask;
  };
  return ProduceInOrder<CComposedFrame>(model.GetFrameCount(), make, use);
}
