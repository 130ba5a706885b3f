// The image information pack and its chain of sub-image blocks.
//
// A pack is itself the first sub-image block; further blocks hang off its
// next pointer in picture order. The pack owns every block of its chain and
// frees them when it is destroyed (or on DestroyChain). Each block owns its
// picture and mask DIBs.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "companions/base/dib.h"

namespace TevImageIO {

enum IMAGE_FORMAT : int {
  IMAGE_FORMAT_UNKNOWN = 0,
  IMAGE_FORMAT_BMP = 1,  // also DIB
  IMAGE_FORMAT_CUR = 2,
  IMAGE_FORMAT_ICO = 3,
  IMAGE_FORMAT_PCX = 4,
  IMAGE_FORMAT_GIF = 6,
  IMAGE_FORMAT_PNG = 7,
  IMAGE_FORMAT_TGA = 8,
  IMAGE_FORMAT_WMF = 9,
  IMAGE_FORMAT_EMF = 10,
  IMAGE_FORMAT_TIFF = 11,
  IMAGE_FORMAT_JPEG = 12,
  IMAGE_FORMAT_PSD = 13,
  IMAGE_FORMAT_ANI = 14,
};

// Transparency mode of a pack: how the pictures carry transparency.
enum TRANSPARENCY_MODE : int {
  TRANSPARENCY_NONE = 0,         // opaque pictures
  TRANSPARENCY_COLOR_INDEX = 1,  // a transparent palette index (GIF)
  TRANSPARENCY_ALPHA = 2,        // alpha channel or mask DIB
};

// Result codes of LoadImageW and SaveImage; 0 is success.
enum IMAGEIO_RESULT : int {
  IMAGEIO_OK = 0,
  IMAGEIO_ERR_OPEN = 1,         // file missing or unreadable
  IMAGEIO_ERR_FORMAT = 2,       // not this format, truncated or corrupt
  IMAGEIO_ERR_UNSUPPORTED = 3,  // valid file of a kind not handled, or no codec
  IMAGEIO_ERR_TOO_LARGE = 4,    // dimensions or sizes beyond the limits
  IMAGEIO_ERR_MEMORY = 5,
  IMAGEIO_ERR_CANCELLED = 6,
  IMAGEIO_ERR_WRITE = 7,
  IMAGEIO_ERR_ARGUMENT = 8,     // bad pack or options handed in
};

class CTevSubImageBlock {
 public:
  CTevSubImageBlock() = default;
  CTevSubImageBlock(const CTevSubImageBlock&) = delete;
  CTevSubImageBlock& operator=(const CTevSubImageBlock&) = delete;
  virtual ~CTevSubImageBlock() = default;

  int reserved = -1;
  int x = 0;
  int y = 0;
  BYTE byteA = 0x88;          // GIF image-descriptor byte, or a layer's transparency
  BYTE byteB = 0;             // GIF graphic-control byte, or a layer's visible flag
  int transparentIndex = -1;  // palette index shown transparent, -1 for none
  WORD delay = 20;            // hundredths of a second
  DibPtr picture;             // any depth
  DibPtr mask;                // 1-bit, set bits opaque; or null
  CTevSubImageBlock* prev = nullptr;
  CTevSubImageBlock* next = nullptr;

  // Cursor hot spot (CUR and ANI).
  int hotSpotX = 0;
  int hotSpotY = 0;
  // Layer name in the file's ANSI code page (PSD layers), else empty.
  std::string layerName;
};

// A PSD layer: byteA its transparency (255 - opacity: 0 opaque .. 255 invisible),
// byteB non-zero when visible.
class CTevPsdSubImgBlock : public CTevSubImageBlock {
 public:
  CTevPsdSubImgBlock();
  ~CTevPsdSubImgBlock() override;
  // Takes length bytes of text (stops early at a zero byte); null text clears the name.
  void SetLayerName(const char* text, int length);
};

class CTevImageInfoPack : public CTevSubImageBlock {
 public:
  CTevImageInfoPack() = default;
  ~CTevImageInfoPack() override;

  int width = 0;                // canvas
  int height = 0;
  int imageColorIndex = 0;      // image-wide palette index (GIF background or transparent index)
  int format = IMAGE_FORMAT_UNKNOWN;
  int transparencyMode = TRANSPARENCY_NONE;
  COLORREF backgroundColor = 0;
  int loopCount = -1;           // GIF NETSCAPE loop count: 0 forever, -1 when the file has none
  // GIF comment and application extensions other than the loop block, each
  // whole (0x21, label, sub-blocks, terminator), in file order.
  std::vector<std::vector<BYTE>> extensions;

  std::string path;             // UTF-8 path to read or write
  std::string errorText;        // reason of the last failure, empty on success

  // Appends a block at the end of the chain and takes ownership; returns it.
  CTevSubImageBlock* AppendBlock(std::unique_ptr<CTevSubImageBlock> block);
  // Blocks in the chain including the pack itself.
  std::size_t BlockCount() const;
  // The i-th block (0 is the pack), or null.
  CTevSubImageBlock* BlockAt(std::size_t index);
  // Frees every block after the pack and the pack's own picture and mask.
  void DestroyChain();
  // Clears the chain and every field, ready for another load; keeps the path.
  void Reset();

 private:
  // The block AppendBlock added last (null after DestroyChain): appending
  // walks on from it, so building a chain of n blocks costs O(n), not O(n^2).
  // Blocks linked by hand after it are still walked past.
  CTevSubImageBlock* appendTail_ = nullptr;
};

}  // namespace TevImageIO
