// Image effects: the pixels change with a strength that follows the progress,
// or the picture is revealed block by block. What dst must hold before the
// call differs per effect and is said at each class.
#pragma once

#include "effects/general_effect.h"

namespace TevImgEffectLib {

// Blocks of a x a pixels appearing in a pseudo-random order that depends only
// on the picture's size (dst transparent beforehand).
class TEV_EFFECT_API CMosaicEffect : public CGeneralEffect {
 public:
  explicit CMosaicEffect(int blockSize);
  CMosaicEffect(const CMosaicEffect&) = default;
  CMosaicEffect& operator=(const CMosaicEffect&) = default;
  ~CMosaicEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 protected:
  int m_blockSize;
};

// The mosaic sweeping in one direction (0 columns left to right, 1 rows top
// to bottom, 2 columns right to left, 3 rows bottom to top), each block
// picked from a window of two lines of blocks at the front.
class TEV_EFFECT_API CDirectionSenseMosaicEffect : public CMosaicEffect {
 public:
  CDirectionSenseMosaicEffect(int blockSize, int direction);
  CDirectionSenseMosaicEffect(const CDirectionSenseMosaicEffect&) = default;
  CDirectionSenseMosaicEffect& operator=(const CDirectionSenseMosaicEffect&) = default;
  ~CDirectionSenseMosaicEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  int m_direction;
};

// De-pixelation: blocks of (1 - t) * size pixels averaged (dst overwritten).
class TEV_EFFECT_API CThawingEffect : public CGeneralEffect {
 public:
  explicit CThawingEffect(int blockSize = 40);
  CThawingEffect(const CThawingEffect&) = default;
  CThawingEffect& operator=(const CThawingEffect&) = default;
  ~CThawingEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // Every pixel of a block x block cell (from the top-left corner, the last
  // ones cut at the edges) gets the cell's average of each channel.
  static void Mosaic32BitsDIB(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int block);

 private:
  int m_blockSize;
};

// Rows moved up and down along a wave (dst transparent beforehand).
class TEV_EFFECT_API CWaveEffect : public CGeneralEffect {
 public:
  explicit CWaveEffect(int amplitude);
  CWaveEffect(const CWaveEffect&) = default;
  CWaveEffect& operator=(const CWaveEffect&) = default;
  ~CWaveEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  int m_amplitude;
};

// Gray at 0 to the picture at 1 (dst overwritten).
class TEV_EFFECT_API CGrayEffect : public CGeneralEffect {
 public:
  CGrayEffect() = default;
  CGrayEffect(const CGrayEffect&) = default;
  CGrayEffect& operator=(const CGrayEffect&) = default;
  ~CGrayEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
};

// Blends from what dst holds (at 0) to src (at 1); alpha from src.
class TEV_EFFECT_API CEmbossEffect : public CGeneralEffect {
 public:
  CEmbossEffect() = default;
  CEmbossEffect(const CEmbossEffect&) = default;
  CEmbossEffect& operator=(const CEmbossEffect&) = default;
  ~CEmbossEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
};

// Brightness and contrast (percent, 100 neutral) running from the
// constructor's values at 0 to neutral at 1; dst holds a copy of src.
class TEV_EFFECT_API CBrightnessContrastEffect : public CGeneralEffect {
 public:
  CBrightnessContrastEffect(int brightness, int contrast);
  CBrightnessContrastEffect(const CBrightnessContrastEffect&) = default;
  CBrightnessContrastEffect& operator=(const CBrightnessContrastEffect&) = default;
  ~CBrightnessContrastEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // Every colour channel v of dst becomes B[C[v]] with C[v] = (v - 128) *
  // contrast / 100 + 128 and B[v] = v * brightness / 100, each in 0..255.
  static void DoAdjust(BITMAPINFOHEADER* dst, int brightness, int contrast);

 private:
  int m_brightness;
  int m_contrast;
};

// Gaussian noise fading from the level at 0 to none at 1; dst holds a copy
// of src. The sequence depends only on the picture's size.
class TEV_EFFECT_API CNoiseEffect : public CGeneralEffect {
 public:
  explicit CNoiseEffect(int level);
  CNoiseEffect(const CNoiseEffect&) = default;
  CNoiseEffect& operator=(const CNoiseEffect&) = default;
  ~CNoiseEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // Approximately normal (mean 0, variance 1) from four values of the C
  // library's rand().
  static double GenGauss();

 private:
  int m_level;
};

// The picture swinging into place about one corner (variant 0 bottom-left,
// 1 bottom-right, 2 top-right, 3 top-left), a quarter turn at 0, upright at
// 1 (dst transparent, any size).
class TEV_EFFECT_API CRotateEffect : public CGeneralEffect {
 public:
  explicit CRotateEffect(int variant);
  CRotateEffect(const CRotateEffect&) = default;
  CRotateEffect& operator=(const CRotateEffect&) = default;
  ~CRotateEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;

 private:
  int m_variant;
};

// Zoom pictures for picture i of n; DoRender draws nothing.
class TEV_EFFECT_API CZoomEffect : public CGeneralEffect {
 public:
  CZoomEffect() = default;
  CZoomEffect(const CZoomEffect&) = default;
  CZoomEffect& operator=(const CZoomEffect&) = default;
  ~CZoomEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // The middle of src magnified by n - i + 1 (appear) or i + 2 about its
  // centre. False when nothing could be drawn.
  bool CreateZoomInBitmap(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int index, int count, bool appear);
  // src reduced by (i + 1) / (n + 1) (appear) or 1 - (i + 1) / n about the
  // top-left corner; the caller gives dst the reduced size.
  bool CreateZoomOutBitmap(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int index, int count, bool appear);
};

// A white line with a soft glow sweeping across the picture; dst holds a
// copy of src.
class TEV_EFFECT_API CLightEffect : public CGeneralEffect {
 public:
  CLightEffect(int angle, int width, int glow);
  CLightEffect(const CLightEffect&) = default;
  CLightEffect& operator=(const CLightEffect&) = default;
  ~CLightEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // Lays layer over dst where the layer's alpha A is not 0:
  // c = ((255 - A) * dst + A * layer) / 255; dst's alpha stays.
  static void Overlay2Images(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* layer);

 private:
  int m_angle;
  int m_width;
  int m_glow;
};

// Motion blur pictures; DoRender draws nothing.
class TEV_EFFECT_API CMotionBlurEffect : public CGeneralEffect {
 public:
  CMotionBlurEffect() = default;
  CMotionBlurEffect(const CMotionBlurEffect&) = default;
  CMotionBlurEffect& operator=(const CMotionBlurEffect&) = default;
  ~CMotionBlurEffect() override;
  void DoRender(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* const src, const double& progress) override;
  // Every pixel of dst becomes the alpha-weighted average of the length
  // source pixels ending at it on its row (a horizontal streak). False on
  // bad arguments.
  bool BuildBlurImage(BITMAPINFOHEADER* dst, BITMAPINFOHEADER* src, int length);
};

}  // namespace TevImgEffectLib
