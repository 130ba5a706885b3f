// Import and export option records.
//
// NewImportOptions / NewExportOptions create the record class that belongs
// to a format number; callers reach the per-format fields with As<T>(),
// which returns null when the record is of another format.
#pragma once

#include <cstdint>
#include <memory>

#include "companions/base/win_types.h"
#include "companions/imageio/image_info.h"

namespace TevImageIO {

class CTevImgImportOptions {
 public:
  explicit CTevImgImportOptions(int format) : format(format) {}
  virtual ~CTevImgImportOptions() = default;
  // The record class of the format (a plain record for formats without options); null for an unknown number.
  static std::unique_ptr<CTevImgImportOptions> NewImportOptions(int format);

  template <class T>
  T* As() { return T::Accepts(format) ? static_cast<T*>(this) : nullptr; }
  template <class T>
  const T* As() const { return T::Accepts(format) ? static_cast<const T*>(this) : nullptr; }

  const int format;
  // Largest picture the reader decodes, in pixels; 0 keeps only the library's
  // own limits. Larger pictures are refused as too large, except metafiles,
  // which are drawn scaled down to fit. Quick previews and fuzzing set it.
  std::uint64_t maxPixels = 0;
};

// JPEG: three words, all zero for the defaults.
class CTevJpegImportOptions : public CTevImgImportOptions {
 public:
  CTevJpegImportOptions() : CTevImgImportOptions(IMAGE_FORMAT_JPEG) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_JPEG; }
  WORD scaleDenominator = 0;  // 0 or 1 full size; 2, 4, 8 decode smaller
  WORD reserved1 = 0;
  WORD reserved2 = 0;
};

// PSD: one byte, 1 when the layers become objects (the pack then holds the
// layers bottom to top instead of the merged picture).
class CTevPsdImportOptions : public CTevImgImportOptions {
 public:
  CTevPsdImportOptions() : CTevImgImportOptions(IMAGE_FORMAT_PSD) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_PSD; }
  BYTE layersAsObjects = 0;
};

// ICO, CUR, ANI and GIF: two bytes.
class CTevMultiImageImportOptions : public CTevImgImportOptions {
 public:
  explicit CTevMultiImageImportOptions(int format) : CTevImgImportOptions(format) {}
  static bool Accepts(int f) {
    return f == IMAGE_FORMAT_ICO || f == IMAGE_FORMAT_CUR || f == IMAGE_FORMAT_ANI || f == IMAGE_FORMAT_GIF;
  }
  BYTE allImages = 1;  // 1: every image/frame of the file; 0: the first only
  BYTE withMasks = 1;  // 1: transparency as a 1-bit mask DIB where the format has one
};

class CTevImgExportOptions {
 public:
  explicit CTevImgExportOptions(int format) : format(format) {}
  virtual ~CTevImgExportOptions() = default;
  // The record class of the format with its default values; null for an unknown number.
  static std::unique_ptr<CTevImgExportOptions> NewExportOptions(int format);

  template <class T>
  T* As() { return T::Accepts(format) ? static_cast<T*>(this) : nullptr; }
  template <class T>
  const T* As() const { return T::Accepts(format) ? static_cast<const T*>(this) : nullptr; }

  const int format;
};

class CTevGifExportOptions : public CTevImgExportOptions {
 public:
  CTevGifExportOptions() : CTevImgExportOptions(IMAGE_FORMAT_GIF) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_GIF; }
  WORD animated = 1;     // 1: write the NETSCAPE loop extension
  WORD loopCount = 0;    // 0 loops forever
  int colorCount = 256;  // colours the reduction kept; sizes the global colour table
  bool flexibleLzw = false;  // also try the flexible-parsing LZW encoder per image, keep the shorter stream
  bool loopAlways = false;  // write the loop extension even for a count of 1 (the input had one)
  // Smallest indexes: the global table ordered by use, each image's transparent index the smallest it leaves
  // free and its code size only as wide as its indexes. The same colours show; the indexes differ.
  bool compactIndexes = false;
  // Lossy LZW: a pixel may take another table colour whose channels each differ by at most this much when
  // that lengthens a string (0: exact).
  int lossy = 0;
  // Whole extension blocks (0x21, label, sub-blocks, terminator) written after the loop extension.
  std::vector<std::vector<BYTE>> extensions;
};

constexpr DWORD kJpegFlagBase = 0x80000;
constexpr DWORD kJpegFlagProgressive = 0x100000;
constexpr DWORD kJpegFlagSubsample422 = 0x10000000;  // chroma halved horizontally
constexpr DWORD kJpegFlagSubsample420 = 0x20000000;  // chroma halved both ways; neither bit: 4:4:4

class CTevJpegExportOptions : public CTevImgExportOptions {
 public:
  CTevJpegExportOptions() : CTevImgExportOptions(IMAGE_FORMAT_JPEG) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_JPEG; }
  int quality = 75;                                   // 1..100
  DWORD flags = kJpegFlagBase | kJpegFlagSubsample420;
  WORD reserved = 12;
};

class CTevPngExportOptions : public CTevImgExportOptions {
 public:
  CTevPngExportOptions() : CTevImgExportOptions(IMAGE_FORMAT_PNG) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_PNG; }
  BYTE interlaced = 0;    // 1 writes Adam7
  WORD compression = 9;   // zlib level 0..9
  WORD filter = 0;        // 0 adaptive filtering, 1 no filtering
};

class CTevTgaExportOptions : public CTevImgExportOptions {
 public:
  CTevTgaExportOptions() : CTevImgExportOptions(IMAGE_FORMAT_TGA) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_TGA; }
  WORD bytesPerPixel = 4;  // 3 or 4
  BYTE rle = 1;            // 1 run-length encoded
};

class CTevTiffExportOptions : public CTevImgExportOptions {
 public:
  CTevTiffExportOptions() : CTevImgExportOptions(IMAGE_FORMAT_TIFF) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_TIFF; }
  WORD predictor = 0;    // 0 none, 1 horizontal differencing
  WORD compression = 2;  // 0 none, 1 PackBits, 2 LZW, 3 Deflate
};

class CTevPsdExportOptions : public CTevImgExportOptions {
 public:
  CTevPsdExportOptions() : CTevImgExportOptions(IMAGE_FORMAT_PSD) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_PSD; }
  WORD layerChannels = 4;  // 4: layers keep their alpha channel; 3: opaque layers
};

// CUR and ANI: hot spot x in the low 16 bits, y in the high 16 bits; used
// for blocks whose own hot spot is (0, 0). ANI adds the default frame delay.
class CTevCursorExportOptions : public CTevImgExportOptions {
 public:
  explicit CTevCursorExportOptions(int format) : CTevImgExportOptions(format) {}
  static bool Accepts(int f) { return f == IMAGE_FORMAT_CUR || f == IMAGE_FORMAT_ANI; }
  DWORD hotSpot = 0;
  WORD delay = 10;  // hundredths of a second
};

}  // namespace TevImageIO
