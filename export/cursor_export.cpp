#include "export/cursor_export.h"

#include <algorithm>

#include "app/compose.h"
#include "companions/dibkernel/dib_frames.h"
#include "export/color_quantizer.h"

using namespace TevImageIO;

DibPtr ConvertTo8Bits(const BITMAPINFOHEADER* picture, const BITMAPINFOHEADER* mask) {
  CTevQColorQuantizer quantizer(256);
  if (!quantizer.PickColorBitmap(picture, mask, nullptr)) return nullptr;
  if (quantizer.DistinctColours() == 0) {
    // Nothing opaque: any one colour will do.
    DibPtr out(DibAlloc(DibWidth(picture), DibHeight(picture), 8, 256));
    return out;
  }
  if (!quantizer.FillPalette()) return nullptr;
  quantizer.SetOutputTable(256, RGBQUAD{0, 0, 0, 0});
  BITMAPINFOHEADER* out = nullptr;
  if (!quantizer.DitherBitmap(picture, mask, &out, DITHER_NONE, 0, nullptr)) return nullptr;
  return DibPtr(out);
}

namespace {

bool Fail(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
  return false;
}

// One block: the frame composed at canvas size, in 8 bits, with its mask.
bool FillCursorBlock(const CGifImage& model, const CGifFrame& frame, CTevSubImageBlock& block, std::string* reason) {
  DibPtr image, mask;
  if (!ComposeFrameWithMask(frame, model.m_nWidth, model.m_nHeight, image, mask, 128,
                            (model.m_clrOutputMatte >> 24) ? 0xFFFFFF : model.m_clrOutputMatte))
    return Fail(reason, "a frame could not be composed");
  DibPtr image8 = ConvertTo8Bits(image.get(), mask.get());
  if (!image8) return Fail(reason, "a frame could not be converted to 256 colours");
  block.picture = std::move(image8);
  block.mask = std::move(mask);
  block.delay = frame.m_nDelay;
  return true;
}

}  // namespace

bool PrepareCursorFrames(const CGifImage& model, int format, const std::vector<POINT>& hotSpots,
                         CTevImageInfoPack& pack, CTevImgExportOptions& options, std::string* reason) {
  pack.DestroyChain();
  const int count = model.GetFrameCount();
  if (count == 0 || model.m_nWidth <= 0 || model.m_nHeight <= 0) return Fail(reason, "the animation has no frames");
  pack.width = model.m_nWidth;
  pack.height = model.m_nHeight;
  pack.format = format;
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<CTevSubImageBlock> owned;
    CTevSubImageBlock* block = &pack;
    if (i > 0) {
      owned = std::make_unique<CTevSubImageBlock>();
      block = owned.get();
    }
    if (!FillCursorBlock(model, *model.GetFrame(i), *block, reason)) {
      pack.DestroyChain();
      return false;
    }
    POINT hot{0, 0};
    if (format == IMAGE_FORMAT_CUR && !hotSpots.empty()) hot = hotSpots[std::min<std::size_t>(std::size_t(i), hotSpots.size() - 1)];
    if (format == IMAGE_FORMAT_ANI && !hotSpots.empty()) hot = hotSpots.front();
    if (format != IMAGE_FORMAT_ICO) {
      block->hotSpotX = std::clamp<LONG>(hot.x, 0, model.m_nWidth - 1);
      block->hotSpotY = std::clamp<LONG>(hot.y, 0, model.m_nHeight - 1);
    }
    if (owned) pack.AppendBlock(std::move(owned));
  }
  if (auto* cursor = options.As<CTevCursorExportOptions>()) {
    cursor->hotSpot = DWORD(pack.hotSpotX & 0xFFFF) | (DWORD(pack.hotSpotY & 0xFFFF) << 16);
    cursor->delay = pack.delay;
  }
  return true;
}

bool PrepareCursorFrame(const CGifImage& model, const CGifFrame& frame, int format, POINT hotSpot,
                        CTevImageInfoPack& pack, CTevImgExportOptions& options, std::string* reason) {
  pack.DestroyChain();
  pack.width = model.m_nWidth;
  pack.height = model.m_nHeight;
  pack.format = format;
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  if (!FillCursorBlock(model, frame, pack, reason)) {
    pack.DestroyChain();
    return false;
  }
  if (format != IMAGE_FORMAT_ICO) {
    pack.hotSpotX = std::clamp<LONG>(hotSpot.x, 0, model.m_nWidth - 1);
    pack.hotSpotY = std::clamp<LONG>(hotSpot.y, 0, model.m_nHeight - 1);
  }
  if (auto* cursor = options.As<CTevCursorExportOptions>()) {
    cursor->hotSpot = DWORD(pack.hotSpotX & 0xFFFF) | (DWORD(pack.hotSpotY & 0xFFFF) << 16);
    cursor->delay = pack.delay;
  }
  return true;
}
