// Analyses that read the picture and keep their findings in members: the
// number of distinct colours, a colour that does not occur (a key colour),
// the bounding rectangle of the visible pixels, and the text export.
#pragma once

#include <string>
#include <vector>

#include "imaging/pixel_process.h"

namespace TevImageTransform {

// Counts the distinct B, G, R triples through a presence table of 2^24 + 1
// bytes that lives from entry to leave.
class CTevPixelColorsCount : public CTevSinglePixelProcessBase {
 public:
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  void OnLeaveProcess(CTevObjImage* image) override;
  int GetColorsCount() const { return m_count; }

 protected:
  std::vector<BYTE> m_present;
  int m_count = 0;
};

// After the walk: the first colour 0xRRGGBB (from 0 upward) that does not
// occur; IsFind is false when every colour occurs.
class CTevPixelGetKeyColor : public CTevPixelColorsCount {
 public:
  void OnLeaveProcess(CTevObjImage* image) override;
  bool IsFind() const { return m_found; }
  RGBQUAD GetKeyColor() const { return m_key; }

 private:
  bool m_found = false;
  RGBQUAD m_key{0, 0, 0, 0};
};

// Bounding rectangle (right and bottom exclusive) of the pixels whose alpha
// is not 0; empty (all zero) when there are none. 32 bits.
class CTevPixelGetOptimizedRect : public CTevSinglePixelProcessBase {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) override;
  void OnLeaveProcess(CTevObjImage* image) override;
  RECT GetOptimizedRect() const { return m_rect; }
  bool IsEmpty() const { return m_rect.right <= m_rect.left || m_rect.bottom <= m_rect.top; }

 private:
  RECT m_rect{0, 0, 0, 0};
  bool m_any = false;
};

// Writes the picture as text, one character per pixel and one line per row,
// darker pixels as denser characters ("@%#*+=-:. "); transparent pixels are
// blanks. The picture is not changed. 0 when the file cannot be written.
class CTevPixelExportAscII : public CTevPixelWholeImageBase {
 public:
  explicit CTevPixelExportAscII(const char* path);
  int ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) override;

 private:
  std::string m_path;
};

}  // namespace TevImageTransform
