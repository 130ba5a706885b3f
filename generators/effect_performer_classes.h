// The 34 performers of the effect list. Their parameters (m_nParam[0..2])
// and defaults are listed at each class; the list order and display names
// are in effect_performer_list.cpp. Several share a name with a library
// class: those live in TevImgEffectLib, these in the global namespace.
#pragma once

#include "generators/effect_performers.h"

// Shares the source object; only the fade changes (flags 0x804F).
class CStaticEffect : public CEffectPerform {
 public:
  CStaticEffect();
  void GetEffectName(std::string& name) const override;
  RefPtr<CRefImageObject> BuildFrameObject(const CRefImageObject& source, int index, int count) override;
};

// Shares the source object and slides it in along angle (param 0, degrees,
// y upward). In object mode the picture is cut to the canvas.
class CMoveSliderEffect : public CEffectPerformWithOptions {
 public:
  CMoveSliderEffect();
  void GetEffectName(std::string& name) const override;
  RefPtr<CRefImageObject> BuildFrameObject(const CRefImageObject& source, int index, int count) override;
  std::vector<CEffectParamInfo> GetParamInfo() const override;
  // The canvas the object-mode cut uses.
  void SetCanvasSize(int width, int height) { m_canvas = SIZE{width, height}; }
  // Offset of the start position from the source position for an object of
  // w x h (the shortest move that leaves the starting rectangle).
  static POINT StartOffset(int angle, int w, int h);

 private:
  SIZE m_canvas{0, 0};
};

// Magnified about the centre (flag 0x80, flags 0x80C7) or reduced and
// centred.
class CZoomEffect : public CEffectPerformWithOptions {
 public:
  CZoomEffect();
  void GetEffectName(std::string& name) const override;
  RefPtr<CRefImageObject> BuildFrameObject(const CRefImageObject& source, int index, int count) override;
  std::vector<CEffectParamInfo> GetParamInfo() const override;
  // The magnification for progress p with flag 0x80: 1 / p, at most 64.
  static double Magnification(double progress);
};

// Draws the pinwheel of sliding quarters by itself.
class CQuatersSliderEffect : public CEffectPerformWidthFixedPos {
 public:
  CQuatersSliderEffect();
  void GetEffectName(std::string& name) const override;
  DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) override;
};

// The performers that render through one library class. Parameters are
// (default; range) in slot order.
#define LW_PERFORMER(Class, Base)                                                  \
  class Class : public Base {                                                      \
   public:                                                                         \
    Class();                                                                       \
    void GetEffectName(std::string& name) const override;                          \
    DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) override; \
    std::vector<CEffectParamInfo> GetParamInfo() const override;                   \
  }

LW_PERFORMER(CTurnPageEffect, CEffectPerformWidthFixedPos);        // none
LW_PERFORMER(CWaveEffect, CEffectPerformWidthFixedPos);            // amplitude (30; 10-100)
LW_PERFORMER(CEffectGate3D, CEffectPerformWidthFixedPos);          // side (0; 0-3)
LW_PERFORMER(CFlipEffect, CEffectPerformWidthFixedPos);            // flags 0x80 vertical, 0x100 reverse
LW_PERFORMER(CRotate3DEffect, CEffectPerformWidthFixedPos);        // variant (0; 0-7)
LW_PERFORMER(CRotateRectangleEffect, CEffectPerformWidthFixedPos); // reverse (1; 0-1)
LW_PERFORMER(CLightEffect, CEffectPerformWidthFixedPos);           // width (3), glow (10), angle (135)
LW_PERFORMER(CEffectRandomWipe, CEffectPerformWidthFixedPos);      // none
LW_PERFORMER(CEffectLineWipe, CEffectPerformWidthFixedPos);        // angle (45), strips (1; 1-100)
LW_PERFORMER(CEffectClocksWipe, CEffectPerformWidthFixedPos);      // columns (1), rows (1), turn (1)
LW_PERFORMER(CSweepWipeEffect, CEffectPerformWidthFixedPos);       // angle (270)
LW_PERFORMER(CEffectStarWipe, CEffectPerformWidthFixedPos);        // none
LW_PERFORMER(CEffectIrisWipe, CEffectPerformWidthFixedPos);        // none
LW_PERFORMER(CEyeOpenEffect, CEffectPerformWidthFixedPos);         // none
LW_PERFORMER(CMosaicEffect, CEffectPerformWidthFixedPos);          // size (10; 5-100)
LW_PERFORMER(CDirectionSenseMosaic, CEffectPerformWidthFixedPos);  // size (10), direction (0; 0-3)
LW_PERFORMER(CEffectThawing, CEffectPerformWidthFixedPos);         // none
LW_PERFORMER(CEffectBlinds, CEffectPerformWidthFixedPos);          // vertical (1), width (10; 5-50)
LW_PERFORMER(CEffectBarsSlide, CEffectPerformWidthFixedPos);       // horizontal (1), width (5; 1-50)
LW_PERFORMER(CEffectNarrowBars, CEffectPerformWidthFixedPos);      // variant (0; 0-5)
LW_PERFORMER(CEffectRowSpread, CEffectPerformWidthFixedPos);       // variant (0; 0-7), width (5; 1-50)
LW_PERFORMER(CAdjustBCEffect, CEffectPerformWidthFixedPos);        // brightness (0), contrast (-100)
LW_PERFORMER(CNoiseEffect, CEffectPerformWidthFixedPos);           // level (100; 0-100)
LW_PERFORMER(CColorGrayEffect, CEffectPerformWidthFixedPos);       // strength (100; 0-100)
LW_PERFORMER(CEffectArcsWipe, CEffectPerformWidthFixedPos);        // count (4; 1-100)
#undef LW_PERFORMER

// Rings of the arcs performer's count.
class CEffectCirclesWipe : public CEffectArcsWipe {
 public:
  void GetEffectName(std::string& name) const override;
  DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) override;
};
class CEffectDiamondsWipe : public CEffectArcsWipe {
 public:
  void GetEffectName(std::string& name) const override;
  DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) override;
};

// The gray blend over a copy embossed beforehand; depth in param 1.
class CColorEmbossEffect : public CColorGrayEffect {
 public:
  CColorEmbossEffect();
  void GetEffectName(std::string& name) const override;
  DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) override;
  std::vector<CEffectParamInfo> GetParamInfo() const override;
};

// The side roll: output size from the library, far edge kept in place.
class CRollEffect : public CEffectPerformWidthDynamicPos {
 public:
  CRollEffect();  // radius % (10; 5-50), side (0; 0-3)
  void GetEffectName(std::string& name) const override;
  DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) override;
  void AdjustPosition(const CRefImageObject& source, CRefImageObject& ref) override;
  std::vector<CEffectParamInfo> GetParamInfo() const override;
};

// The corner rotation; variants 0-2 correct the position.
class CRotateEffect : public CEffectPerformWidthDynamicPos {
 public:
  CRotateEffect();  // variant (3; 0-3)
  void GetEffectName(std::string& name) const override;
  DibPtr RenderEffectDib(BITMAPINFOHEADER* source, const double& progress) override;
  void AdjustPosition(const CRefImageObject& source, CRefImageObject& ref) override;
  std::vector<CEffectParamInfo> GetParamInfo() const override;
};
