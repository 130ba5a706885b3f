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

int ReadIco(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  ByteReader r(bytes.data(), bytes.size());
  const WORD reserved = r.U16LE(), type = r.U16LE(), count = r.U16LE();
  if (!r.ok() || reserved != 0 || (type != 1 && type != 2) || count == 0)
    return Fail(pack, IMAGEIO_ERR_FORMAT, "not an icon or cursor file: " + pack.path);
  if (std::size_t(count) * 16 > r.remaining()) return Fail(pack, IMAGEIO_ERR_FORMAT, "ICO: directory breaks off");
  const CTevMultiImageImportOptions* multi = options ? options->As<CTevMultiImageImportOptions>() : nullptr;
  const bool allImages = !multi || multi->allImages;
  const bool withMasks = !multi || multi->withMasks;

  CTevSubImageBlock* last = nullptr;
  for (int i = 0; i < count; ++i) {
    r.Seek(6 + std::size_t(i) * 16);
    r.Skip(4);  // width, height, colour count, reserved: the bitmap itself says
    const WORD planesOrHotX = r.U16LE(), bitsOrHotY = r.U16LE();
    const DWORD length = r.U32LE(), offset = r.U32LE();
    if (offset < 6 + std::size_t(count) * 16 || offset > bytes.size() || length > bytes.size() - offset || length < 12)
      return Fail(pack, IMAGEIO_ERR_FORMAT, "ICO: entry " + std::to_string(i) + " lies outside the file");
    const BYTE* entry = bytes.data() + offset;
    DibPtr picture, mask;
    bool hasAlpha = false;
    if (SniffPng(entry, length)) {
      rc = DecodePngMemory(entry, length, picture, hasAlpha, reason, nullptr);
    } else {
      rc = DecodeBmpInfo(entry, length, 0, 0, true, picture, withMasks ? &mask : nullptr, reason);
    }
    if (rc != IMAGEIO_OK) return Fail(pack, rc, "ICO entry " + std::to_string(i) + ": " + reason);

    std::unique_ptr<CTevSubImageBlock> owned;
    CTevSubImageBlock* block = &pack;
    if (last) {
      owned = std::make_unique<CTevSubImageBlock>();
      block = owned.get();
    }
    block->picture = std::move(picture);
    block->mask = std::move(mask);
    if (type == 2) {
      block->hotSpotX = planesOrHotX;
      block->hotSpotY = bitsOrHotY;
    }
    pack.width = std::max<int>(pack.width, DibWidth(block->picture.get()));
    pack.height = std::max<int>(pack.height, DibHeight(block->picture.get()));
    if (owned) pack.AppendBlock(std::move(owned));
    last = block;
    if (!Step(progress, i + 1, count)) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
    if (!allImages) break;
  }
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
