#include "companions/imageio/image_info.h"

#include <cstring>

namespace TevImageIO {

CTevPsdSubImgBlock::CTevPsdSubImgBlock() {
  byteA = 0;
  byteB = 1;
}

CTevPsdSubImgBlock::~CTevPsdSubImgBlock() = default;

void CTevPsdSubImgBlock::SetLayerName(const char* text, int length) {
  layerName.clear();
  if (!text || length <= 0) return;
  const void* nul = std::memchr(text, 0, std::size_t(length));
  std::size_t n = nul ? std::size_t(static_cast<const char*>(nul) - text) : std::size_t(length);
  layerName.assign(text, n);
}

CTevImageInfoPack::~CTevImageInfoPack() { DestroyChain(); }

CTevSubImageBlock* CTevImageInfoPack::AppendBlock(std::unique_ptr<CTevSubImageBlock> block) {
  if (!block) return nullptr;
  CTevSubImageBlock* last = appendTail_ ? appendTail_ : this;
  while (last->next) last = last->next;
  CTevSubImageBlock* raw = block.release();
  raw->prev = last;
  raw->next = nullptr;
  last->next = raw;
  appendTail_ = raw;
  return raw;
}

std::size_t CTevImageInfoPack::BlockCount() const {
  std::size_t n = 0;
  for (const CTevSubImageBlock* b = this; b; b = b->next) ++n;
  return n;
}

CTevSubImageBlock* CTevImageInfoPack::BlockAt(std::size_t index) {
  CTevSubImageBlock* b = this;
  while (b && index > 0) {
    b = b->next;
    --index;
  }
  return b;
}

void CTevImageInfoPack::DestroyChain() {
  CTevSubImageBlock* b = next;
  next = nullptr;
  appendTail_ = nullptr;
  while (b) {
    CTevSubImageBlock* following = b->next;
    delete b;
    b = following;
  }
  picture.reset();
  mask.reset();
}

void CTevImageInfoPack::Reset() {
  DestroyChain();
  reserved = -1;
  x = y = 0;
  byteA = 0x88;
  byteB = 0;
  transparentIndex = -1;
  delay = 20;
  hotSpotX = hotSpotY = 0;
  layerName.clear();
  extensions.clear();
  width = height = 0;
  imageColorIndex = 0;
  format = IMAGE_FORMAT_UNKNOWN;
  transparencyMode = TRANSPARENCY_NONE;
  backgroundColor = 0;
  loopCount = -1;
  errorText.clear();
}

}  // namespace TevImageIO
