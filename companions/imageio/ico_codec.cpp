// ICO and CUR reader: every directory entry (bitmap or PNG) becomes one
// block; bitmap entries carry their AND mask as the mask DIB, cursor
// entries their hot spot.
#include <algorithm>
#include <vector>

#include "companions/imageio/bmp_decode.h"
#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

namespace {

bool SniffIconType(const BYTE* head, std::size_t size, int type) {
  if (size < 6 || head[0] || head[1] || head[2] != type || head[3]) return false;
  const int count = head[4] | (head[5] << 8);
  if (count < 1) return false;
  if (size < 6 + 16) return true;
  // The first entry's reserved byte is 0 and its data lies past the directory.
  const std::size_t offset = std::size_t(head[18]) | (std::size_t(head[19]) << 8) | (std::size_t(head[20]) << 16) |
                             (std::size_t(head[21]) << 24);
  return head[9] == 0 && offset >= 6 + 16 * std::size_t(count);
}

}  // namespace

bool SniffIco(const BYTE* head, std::size_t size) { return SniffIconType(head, size, 1); }
bool SniffCur(const BYTE* head, std::size_t size) { return SniffIconType(head, size, 2); }

int DecodeIconMemory(const BYTE* data, std::size_t size, bool allImages, bool withMasks,
                     std::vector<std::unique_ptr<CTevSubImageBlock>>& blocks, std::string& reason) {
  blocks.clear();
  ByteReader r(data, size);
  const WORD reserved = r.U16LE(), type = r.U16LE(), count = r.U16LE();
  if (!r.ok() || reserved != 0 || (type != 1 && type != 2) || count == 0) {
    reason = "not an icon or cursor";
    return IMAGEIO_ERR_FORMAT;
  }
  if (std::size_t(count) * 16 > r.remaining()) {
    reason = "ICO: directory breaks off";
    return IMAGEIO_ERR_FORMAT;
  }
  for (int i = 0; i < count; ++i) {
    r.Seek(6 + std::size_t(i) * 16);
    r.Skip(4);  // width, height, colour count, reserved: the bitmap itself says
    const WORD planesOrHotX = r.U16LE(), bitsOrHotY = r.U16LE();
    const DWORD length = r.U32LE(), offset = r.U32LE();
    if (offset < 6 + std::size_t(count) * 16 || offset > size || length > size - offset || length < 12) {
      reason = "ICO: entry " + std::to_string(i) + " lies outside the file";
      return IMAGEIO_ERR_FORMAT;
    }
    const BYTE* entry = data + offset;
    auto block = std::make_unique<CTevSubImageBlock>();
    bool hasAlpha = false;
    std::string why;
    int rc;
    if (SniffPng(entry, length)) {
      rc = DecodePngMemory(entry, length, block->picture, hasAlpha, why, nullptr);
    } else {
      rc = DecodeBmpInfo(entry, length, 0, 0, true, block->picture, withMasks ? &block->mask : nullptr, why);
    }
    if (rc != IMAGEIO_OK) {
      reason = "ICO entry " + std::to_string(i) + ": " + why;
      return rc;
    }
    if (type == 2) {
      block->hotSpotX = planesOrHotX;
      block->hotSpotY = bitsOrHotY;
    }
    blocks.push_back(std::move(block));
    if (!allImages) break;
  }
  return IMAGEIO_OK;
}

void MoveBlockInto(CTevSubImageBlock& to, CTevSubImageBlock& from) {
  to.x = from.x;
  to.y = from.y;
  to.byteA = from.byteA;
  to.byteB = from.byteB;
  to.transparentIndex = from.transparentIndex;
  to.delay = from.delay;
  to.picture = std::move(from.picture);
  to.mask = std::move(from.mask);
  to.hotSpotX = from.hotSpotX;
  to.hotSpotY = from.hotSpotY;
  to.layerName = from.layerName;
}

int ReadIco(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  const CTevMultiImageImportOptions* multi = options ? options->As<CTevMultiImageImportOptions>() : nullptr;
  const bool allImages = !multi || multi->allImages;
  const bool withMasks = !multi || multi->withMasks;
  std::vector<std::unique_ptr<CTevSubImageBlock>> blocks;
  rc = DecodeIconMemory(bytes.data(), bytes.size(), allImages, withMasks, blocks, reason);
  if (rc != IMAGEIO_OK) {
    if (reason == "not an icon or cursor") reason = "not an icon or cursor file: " + pack.path;
    return Fail(pack, rc, reason);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    CTevSubImageBlock* block = blocks[i].get();
    pack.width = std::max<int>(pack.width, DibWidth(block->picture.get()));
    pack.height = std::max<int>(pack.height, DibHeight(block->picture.get()));
    if (i == 0) MoveBlockInto(pack, *block);
    else pack.AppendBlock(std::move(blocks[i]));
    if (!Step(progress, (long long)i + 1, (long long)blocks.size())) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
  }
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
