// The pixel-process framework: every filter, adjustment and analysis is an
// object derived from CTevInterfacePixelProcess handed to a walker, either the
// whole-image walker (CTevObjImage::SinglePixelProcessProc) or the selection
// walker (CTevObjSelection::SinglePixelProcessProc).
//
// Walk: 1. ValidateColorBits (false: return 0, nothing else is called)
//       2. OnEnterProcess (may re-create the image)  3. QueryProcessType:
//       0 -> ProcessWholeImage, 1 -> ProcessPixel per pixel, top row first,
//       progress and cancel checked after each row; other -> nothing
//       4. OnLeaveProcess (also after a cancel).
// The virtual slot order below is fixed.
#pragma once

#include "companions/base/progress.h"
#include "imaging/obj_image.h"

namespace TevImageTransform {

class CTevObjSelection;

enum PROCESS_TYPE {
  PROCESS_WHOLE_IMAGE = 0,  // the process transforms the image in ProcessWholeImage
  PROCESS_PER_PIXEL = 1,    // the walker calls ProcessPixel per pixel
};

// Bit set of colour channels; alpha is never one of them.
enum IMAGE_CHANNEL {
  CHANNEL_RED = 1,
  CHANNEL_GREEN = 2,
  CHANNEL_BLUE = 4,
  CHANNEL_RGB = 7,
};

class CTevInterfacePixelProcess {
 public:
  CTevInterfacePixelProcess() = default;
  CTevInterfacePixelProcess(const CTevInterfacePixelProcess&) = default;
  CTevInterfacePixelProcess& operator=(const CTevInterfacePixelProcess&) = default;
  virtual ~CTevInterfacePixelProcess() = default;
  virtual bool ValidateColorBits(const CTevObjImage* image) = 0;
  virtual bool ValidateColorBits_Selection(const CTevObjImage* image) = 0;
  virtual PROCESS_TYPE QueryProcessType() { return PROCESS_PER_PIXEL; }
  virtual void OnEnterProcess(CTevObjImage* /*image*/) {}
  // pixel points at the pixel's first byte (B of B, G, R[, A]); write in place.
  virtual void ProcessPixel(CTevObjImage* /*image*/, int /*x*/, int /*y*/, BYTE* /*pixel*/) {}
  // A pixel covered by a selection with level 0..255.
  virtual void ProcessSelectedPixel(CTevObjImage* /*image*/, int /*x*/, int /*y*/, BYTE* /*pixel*/, BYTE /*level*/) {}
  virtual int ProcessWholeImage(CTevObjImage* /*image*/, CTevCommonProgress* /*progress*/) { return 0; }
  virtual int ProcessSelectionImage(CTevObjImage* /*image*/, const POINT& /*pos*/, const CTevObjSelection& /*sel*/,
                                    CTevCommonProgress* /*progress*/) {
    return 0;
  }
  virtual void OnLeaveProcess(CTevObjImage* /*image*/) {}
};

// Default depth checks (>= 24 bits; exactly 32 for selections) and the
// default selected-pixel blend: new * level + old * (255 - level), / 255, on
// all four bytes of a 32-bit pixel.
class CTevSinglePixelProcessBase : public CTevInterfacePixelProcess {
 public:
  bool ValidateColorBits(const CTevObjImage* image) override;
  bool ValidateColorBits_Selection(const CTevObjImage* image) override;
  void ProcessSelectedPixel(CTevObjImage* image, int x, int y, BYTE* pixel, BYTE level) override;
};

// Keeps a copy of the input image, made on entry, for processes that read
// neighbours while the walker writes into the image.
class CTevPixelBackupProcess : public CTevSinglePixelProcessBase {
 public:
  void OnEnterProcess(CTevObjImage* image) override;

 protected:
  CTevObjImage m_backup;
};

// A whole-image process with the same entry copy.
class CTevPixelWholeImageBase : public CTevSinglePixelProcessBase {
 public:
  PROCESS_TYPE QueryProcessType() override { return PROCESS_WHOLE_IMAGE; }
  void OnEnterProcess(CTevObjImage* image) override;

 protected:
  CTevObjImage m_backup;
};

// Applies a 256-entry table (from InitLUTtable) to the switched channels.
// ProcessPixel is final: it is exactly the table lookup, which lets the
// walkers run whole rows through ApplyToRow without a call per pixel.
class CTevPixelLUTRoutine : public CTevSinglePixelProcessBase {
 public:
  explicit CTevPixelLUTRoutine(IMAGE_CHANNEL channels = CHANNEL_RGB);
  void OnEnterProcess(CTevObjImage* image) override;
  void ProcessPixel(CTevObjImage* image, int x, int y, BYTE* pixel) final;
  // Table entry for input value 0..255 (only its low byte is stored back).
  virtual int InitLUTtable(int value) = 0;

  // The table applied to count pixels of step bytes each.
  void ApplyToRow(BYTE* row, int count, int step) const;
  int LUTEntry(int value) const { return m_table[value & 0xFF]; }

 protected:
  int m_table[256] = {};
  bool m_red, m_green, m_blue;
};

}  // namespace TevImageTransform
