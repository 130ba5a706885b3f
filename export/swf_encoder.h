// The Flash movie writers: an uncompressed SWF (version 4) in which every
// entry is a bitmap, a rectangle shape filled with it and a placement,
// followed by a frame boundary.
//
// 1. fill a list of CSWFFrameOptimal entries (swf_frame_prep does it for a
//    document) 2. CSwfEncoder (lossless, zlib) or CJPGSwfEncoder (JPEG)
//    3. WriteMovie: the whole file is built in memory and written
//    atomically, so a failed write leaves an old file in place.
//
// Numbers are little-endian; distances are in twips (1 pixel = 20 twips).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "companions/base/dib.h"
#include "companions/base/progress.h"

struct CSwfBitmapTag;

// One movie frame. A repeat entry adds nothing and only ends a frame; a
// replace entry removes everything shown so far before it is placed.
struct CSWFFrameOptimal {
  DibPtr image;  // 1, 4, 8, 16, 24 or 32 bits; null for a repeat
  DibPtr mask;   // 1-bit, set bits opaque; null when every pixel is opaque
  int x = 0;
  int y = 0;
  bool replace = true;
  bool repeat = false;
  std::shared_ptr<const CSwfBitmapTag> encoded;  // the bitmap tag, when already built for this picture
};

// Bits of a signed bit field that holds value (at least 1).
int SwfSignedBits(long long value);
// Field count of a RECT holding the four values (the largest magnitude decides).
int SwfRectBits(long long a, long long b, long long c, long long d);

// MSB-first bit packing into a byte vector.
class CSwfBitWriter {
 public:
  explicit CSwfBitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  ~CSwfBitWriter() { Flush(); }
  void Bits(std::uint32_t value, int count);
  void Signed(long long value, int count) { Bits(std::uint32_t(value) & Mask(count), count); }
  // Pads the last byte with zero bits.
  void Flush();

 private:
  static std::uint32_t Mask(int count) { return count >= 32 ? 0xFFFFFFFFu : (1u << count) - 1; }
  std::vector<std::uint8_t>& out_;
  std::uint32_t acc_ = 0;
  int used_ = 0;
};

// A RECT (Xmin, Xmax, Ymin, Ymax) with the given field count, padded to a byte.
void AppendSwfRect(std::vector<std::uint8_t>& out, int bits, long long xmin, long long xmax, long long ymin,
                   long long ymax);
// The stage RECT: 15-bit fields while width and height stay within 16383
// twips, the smallest field count that holds them otherwise.
void AppendSwfStageRect(std::vector<std::uint8_t>& out, long long widthTwips, long long heightTwips);
// A tag header: the short form below 63 bytes, else the long form.
void AppendSwfTagHeader(std::vector<std::uint8_t>& out, int type, std::size_t length, bool forceLong = false);
// DefineShape3 body: a width x height rectangle at (x, y) pixels filled with bitmapId.
std::vector<std::uint8_t> SwfShapeBody(std::uint16_t shapeId, std::uint16_t bitmapId, int x, int y, int width,
                                       int height);

// A bitmap tag ready to write: its type and the body after the character id.
struct CSwfBitmapTag {
  int type = 0;
  std::vector<std::uint8_t> body;
};

// Row y (from the top) of any supported depth as B, G, R, A bytes (alpha
// 255 below 32 bits). False on a depth it cannot read.
bool SwfRowToBgra(const BITMAPINFOHEADER* dib, LONG y, std::uint8_t* bgra);
inline bool SwfMaskBit(const BITMAPINFOHEADER* mask, LONG x, LONG y) {
  return !mask || ((DibRow(mask, y)[x >> 3] >> (7 - (x & 7))) & 1) != 0;
}

// zlib with a buffer of compressBound(size); false when compression fails.
bool SwfCompress(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);
// The zlib size of data, or (with limit >= 0) a size above limit as soon as
// the output passes it.
bool SwfCompressedSize(const std::uint8_t* data, std::size_t size, long long limit, long long& out);
// The alpha bytes of a picture (255 opaque, 0 transparent; all 255 without a mask), rows top to bottom.
std::vector<std::uint8_t> SwfAlphaBytes(LONG width, LONG height, const BITMAPINFOHEADER* mask);

class CSwfEncoder {
 public:
  CSwfEncoder() = default;
  virtual ~CSwfEncoder() = default;
  CSwfEncoder(const CSwfEncoder&) = delete;
  CSwfEncoder& operator=(const CSwfEncoder&) = delete;

  // The whole movie for a width x height stage at fps frames per second
  // (1-255). Progress (i + 1) / count after each entry; false on a bitmap
  // that cannot be encoded, an empty list, or cancel.
  bool BuildMovie(const std::vector<CSWFFrameOptimal>& entries, LONG width, LONG height, int fps,
                  std::vector<std::uint8_t>& movie, CTevCommonProgress* progress, std::string* reason = nullptr) const;
  // BuildMovie, then an atomic write to path.
  bool WriteMovie(const std::string& path, const std::vector<CSWFFrameOptimal>& entries, LONG width, LONG height,
                  int fps, CTevCommonProgress* progress, std::string* reason = nullptr) const;

  // The bitmap tag for a picture and its optional mask: DefineBitsLossless
  // (format 3 up to 8 bits, else format 5) or, with a mask,
  // DefineBitsLossless2 (format 5, premultiplied ARGB).
  virtual bool EncodeBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, CSwfBitmapTag& tag) const;
  // Bytes the bitmap costs in the movie (what the frame differencing
  // compares). With limit >= 0 the measure may stop early once the size is
  // known to exceed limit; size is then some value above limit.
  virtual bool MeasureBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, long long& size,
                             long long limit = -1) const;
  // MeasureBitmap's figure for a tag already built.
  virtual long long TagCost(const CSwfBitmapTag& tag) const;
};

class CJPGSwfEncoder : public CSwfEncoder {
 public:
  explicit CJPGSwfEncoder(int quality) : quality_(quality < 1 ? 1 : quality > 100 ? 100 : quality) {}
  // DefineBitsJPEG2, or DefineBitsJPEG3 with the mask as zlib-compressed alpha bytes.
  bool EncodeBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, CSwfBitmapTag& tag) const override;
  // The JPEG stream's length + 8, plus the compressed alpha bytes for a masked picture.
  bool MeasureBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, long long& size,
                     long long limit = -1) const override;
  long long TagCost(const CSwfBitmapTag& tag) const override;
  int Quality() const { return quality_; }

 private:
  int quality_;
};

// A JPEG stream of the picture's colours (transparent pixels of the mask
// black), compressed in memory at quality 1-100. False on a JPEG library error.
bool EncodeSwfJpeg(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, int quality,
                   std::vector<std::uint8_t>& jpeg);
