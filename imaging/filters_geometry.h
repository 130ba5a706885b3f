// Geometry and format changes: mirror, flip, quarter and half turns, depth
// conversions, channel split and merge, deinterlacing.
#pragma once

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// Swaps pixel x with pixel width - 1 - x for x < width / 2: one walk
// mirrors the image left to right. 8 bits and more.
class CTevPixelMirror : public CTevSinglePixelProcessBase {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
};

// Swaps row y with row height - 1 - y for y < height / 2. 8 bits and more.
class CTevPixelFlip : public CTevSinglePixelProcessBase {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
};

// A quarter turn clockwise: the image is re-created height x width on
// enter (palette and masks kept); destination (x, y) = source
// (y, srcHeight - 1 - x). 8 bits and more.
class CTevPixelRotate90 : public CTevPixelBackupProcess {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  // A turn changes the image's shape, which a selection cannot follow.
  bool ValidateColorBits_Selection(const CTevObjImage*) override { return false; }
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  // The same turn (clockwise or not) done in one blocked pass; used where
  // the turn is a step of a larger operation. False on a bad image.
  static bool TurnImage(CTevObjImage& image, bool clockwise);

 protected:
  int m_bpp = 0;
};

// Destination (x, y) = source (width - 1 - x, height - 1 - y). 8 bits and more.
class CTevPixelRotate180 : public CTevPixelBackupProcess {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_bpp = 0;
};

// A quarter turn counter-clockwise: destination (x, y) = source
// (srcWidth - 1 - y, x).
class CTevPixelRotate270 : public CTevPixelRotate90 {
 public:
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
};

// Re-creates the image at 16 bits (5-5-5) from any other depth.
class CTevPixelConvertTo16Bit : public CTevPixelBackupProcess {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_srcBpp = 0;
};

// Re-creates the image at 8 bits; each index is the grey value of the
// pixel (the colour table stays zero: users read indices as intensities).
class CTevPixelConvertTo8BitGray : public CTevPixelBackupProcess {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_srcBpp = 0;
};

// Writes the channels into separate 32-bit images (R, R, R, A), (G, G, G, A)
// and (B, B, B, A), created on enter at the image's size; any may be null.
// The images must outlive the walk.
class CTevPixelSpliteChannelRGB : public CTevSinglePixelProcessBase {
 public:
  CTevPixelSpliteChannelRGB(CTevObjImage* red, CTevObjImage* green, CTevObjImage* blue);
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  CTevObjImage* m_images[3];  // red, green, blue
};

// Writes R, G and B from three 8-bit images of the image's size.
class CTevPixelCombineChannelRGB : public CTevSinglePixelProcessBase {
 public:
  CTevPixelCombineChannelRGB(const CTevObjImage* red, const CTevObjImage* green, const CTevObjImage* blue);
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  bool ChannelsFit(const CTevObjImage* image) const;
  const CTevObjImage* m_images[3];
};

// Replaces the even (0) or odd (1) rows, except the first and last, by the
// alpha-weighted mean of the rows above and below. 32 bits.
class CPixelDeinterlace : public CTevSinglePixelProcessBase {
 public:
  enum SCAN_FIELDS { FIELD_EVEN = 0, FIELD_ODD = 1 };
  explicit CPixelDeinterlace(SCAN_FIELDS field);
  bool ValidateColorBits(const CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;

 private:
  int m_field;
};

}  // namespace TevImageTransform
