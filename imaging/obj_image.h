// CTevObjImage: the owner of one packed DIB (see companions/base/dib.h) with
// the accessors, conversions, block copies, blends and resizes that filters,
// tools, selections and exports work through.
//
// Ownership: an image is empty, owning (frees its memory as an array) or
// attached (memory belongs to someone else, never freed here). Re-creating an
// attached image makes it owning; the memory it was attached to is untouched.
// Copies of an attached image share its memory: the owner must outlive them.
//
// Rows: every row argument counts from the top (row 0 is stored last, rows are
// bottom-up in memory, the row below lies one pitch lower). Images handled
// here are bottom-up with a width and height of 1..kMaxDibDimension and a
// depth of 1, 4, 8, 16, 24 or 32 bits; anything else is refused.
//
// No operation throws; failures are return values (false, 0, null) and leave
// memory the object does not own alone.
#pragma once

#include "companions/base/dib.h"

class CTevCommonProgress;

namespace TevImageTransform {

class CTevInterfacePixelProcess;

// Byte operations of LogicalBlend; they combine the first byte of each pixel.
enum LOGICAL_OP {
  LOGICAL_AND = 0,
  LOGICAL_OR = 1,
  LOGICAL_XOR = 2,
  LOGICAL_SET_FULL = 12,    // target byte 255 where the source byte is 255
  LOGICAL_CLEAR_FULL = 13,  // target byte 0 where the source byte is 255
};

class CTevObjImage {
 public:
  CTevObjImage() = default;
  CTevObjImage(int width, int height, int bits);
  // Attached source: the copy attaches to the same memory; owned: deep copy.
  CTevObjImage(const CTevObjImage& other);
  // As the copy constructor; an empty source empties the target.
  CTevObjImage& operator=(const CTevObjImage& other);
  virtual ~CTevObjImage();

  // Frees owned memory, then refers to dib without owning it. A null or
  // unusable header (see class comment) leaves the object empty: false.
  bool Attach(BITMAPINFOHEADER* dib);
  // Hands the DIB to the caller (free it with DibFree); the object is empty.
  BITMAPINFOHEADER* Detch();
  void Destroy();
  // Zeroed image with a 40-byte BI_RGB header; for bits <= 8 a colour table of
  // clrUsed entries (2^bits when 0). False on bad arguments (object unchanged)
  // or allocation failure.
  bool Create(int width, int height, int bits, int clrUsed = 0);
  // Owned deep copy of a DIB after validating its header (the source may be
  // this object's own DIB).
  bool Create(const BITMAPINFOHEADER* dib);

  bool IsValidImage() const { return dib_ != nullptr; }
  int Width() const { return dib_ ? dib_->biWidth : 0; }
  int Height() const { return dib_ ? dib_->biHeight : 0; }
  WORD ColorBits() const { return dib_ ? dib_->biBitCount : 0; }
  int GetPitch() const;
  int GetPaletteEntryCount() const { return GetPaletteEntryCount(dib_); }
  static int GetPaletteEntryCount(const BITMAPINFOHEADER* dib);
  int CalcuPaletteSize() const { return CalcuPaletteSize(dib_); }
  static int CalcuPaletteSize(const BITMAPINFOHEADER* dib);
  // Green mask of a 16-bit image (0x3E0 for BI_RGB), 0 for other depths.
  DWORD GetBitField() const;
  BYTE* GetMemStart() const;
  BITMAPINFOHEADER* GetImageBits() const { return dib_; }
  // Row start (null outside the image).
  BYTE* GetBits(int row) const;
  // Address of the byte holding pixel x of the row (null outside the image).
  BYTE* GetBits(int x, int row) const;
  bool IsInside(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }
  // Intersects rect with (0, 0, width, height) in place.
  void BoundRect(RECT& rect) const;

  // Raw pixel value: palette index, 16-bit word, 0x00RRGGBB (24) or
  // 0xAARRGGBB (32); 0 outside the image.
  DWORD GetPixelData(int x, int y) const;
  void SetPixelData(int x, int y, DWORD value);
  bool GetColorTable(int first, int count, RGBQUAD* out) const;
  bool SetColorTable(int first, int count, const RGBQUAD* in);
  void CopyPalette(const CTevObjImage& other);
  static RGBQUAD __Split16Bit_555(unsigned short v);
  static RGBQUAD __Split16Bit_565(unsigned short v);

  void ConvertTo24Bit();
  void ConvertTo32Bit();
  bool GetAlphaChannel(CTevObjImage* out) const;
  bool AppendAlphaChannel(const CTevObjImage& mask);
  void SetAlphaChannelValue(int alpha);

  bool GetSubBlock(CTevObjImage* out, RECT rect) const;
  bool CoverBlock(const CTevObjImage& src, int x, int y);
  bool CoverBlock(const CTevObjImage& src, int x, int y, int width, int height);
  bool CoverBlockAlphaChannel(const CTevObjImage& src, int x, int y);
  bool TileBlock(const CTevObjImage& src, int x, int y);
  static bool __FillImageRect(const CTevObjImage& image, const RECT& rect, const void* pixel);
  bool LogicalBlend(const CTevObjImage& src, LOGICAL_OP op, int x, int y);
  bool CombineImage(const CTevObjImage& src, int x, int y, int percent);
  bool AlphaBlend(const CTevObjImage& src, const RECT& dst, const RECT& srcRect, int percent);

  bool ExpandFrame(bool replicate, int left, int top, int right, int bottom);
  bool Stretch(int width, int height);
  // Bilinear resize of 24/32-bit images. 1 on success (or same size), 0 on
  // bad arguments or when cancelled (the image is then left as it was).
  int Stretch_Smooth(int width, int height, CTevCommonProgress* progress);
  int SinglePixelProcessProc(CTevInterfacePixelProcess& process, CTevCommonProgress* progress);

  // True when a header can be handled by this class (see class comment).
  static bool IsUsableHeader(const BITMAPINFOHEADER* dib);

 protected:
  // Replaces the image by a zeroed one shaped like model (depth, palette size,
  // compression and masks) at a new size. False leaves the object unchanged.
  bool CreateLike(const BITMAPINFOHEADER* model, int width, int height);

 private:
  void __SetGrayPalette();
  void __ConvertToTrueColor(int bits);
  void Adopt(BITMAPINFOHEADER* dib, int attached);

  BITMAPINFOHEADER* dib_ = nullptr;
  int attached_ = 0;
};

}  // namespace TevImageTransform
