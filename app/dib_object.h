// A frame object (layer): one 32-bit BGRA picture with a name, an optional
// drop shadow and, for pictures, shapes and texts, a generator that can
// rebuild the picture from parameters.
#pragma once

#include <cstdio>
#include <string>

#include "app/ref_obj.h"
#include "companions/base/dib.h"

class CDib;
class CEditAction;

enum ObjectKind : std::int32_t {
  OBJECT_RASTER = 0,
  OBJECT_PICTURE = 4,
  OBJECT_TEXT = 5,
  OBJECT_SHAPE = 6,
};

// Rebuilds an object's picture from parameters. Virtual slots in order:
// destructor, Build, GetNaturalSize, CreateSnapshotAction, Transform, Save,
// Load, GetAngle.
class CDibFactory : public CRefObj {
 public:
  ~CDibFactory() override = default;
  // A new 32-bit picture from the parameters, or null on failure.
  virtual BITMAPINFOHEADER* Build() = 0;
  // Source size multiplied by the scale factors.
  virtual void GetNaturalSize(double& width, double& height) const = 0;
  // A parameter snapshot action for undo (null for pictures).
  virtual CEditAction* CreateSnapshotAction(CDib* /*object*/) { return nullptr; }
  // Multiplies the scales, sets the angle and returns the rebuilt picture;
  // when the rebuild fails the old scales and angle are restored and null
  // is returned.
  virtual BITMAPINFOHEADER* Transform(double scaleX, double scaleY, double angle) = 0;
  // Writes the parameters; returns the number of bytes written (0 on failure).
  virtual long Save(std::FILE* file, const char* version, const char* subVersion) = 0;
  // Reads the parameters; returns success.
  virtual bool Load(std::FILE* file, int reserved, const char* version, const char* subVersion) = 0;
  virtual double GetAngle() const = 0;
};

class CDib : public CRefObj {
 public:
  // An object without a picture (kind 0, shadow kind 4).
  CDib();
  // Adopts a 32-bit picture (other depths are converted); shadow kind 4.
  explicit CDib(DibPtr image);
  // Created with an explicit kind: the shadow kind starts at 0.
  CDib(DibPtr image, std::int32_t kind);
  // Deep copy of the picture, shadow image and settings; the generator is shared.
  CDib(const CDib& other);
  CDib& operator=(const CDib&) = delete;
  ~CDib() override = default;

  // Replaces the picture (adopted; converted to 32 bits when needed). Returns
  // false and keeps the old picture when image is null or unusable.
  bool SetImage(DibPtr image);
  BITMAPINFOHEADER* GetImage() const { return m_pImage.get(); }
  BYTE* GetBits() const { return m_pBits; }
  BITMAPINFOHEADER* GetShadowImage() const { return m_pShadow.get(); }
  void SetShadowImage(DibPtr shadow) { m_pShadow = std::move(shadow); }
  bool HasShadow() const { return m_pShadow != nullptr; }

  // Rebuilds the shadow image from the settings and computes its placement.
  // Kinds 1-5 parallel, 6-9 perspective; any other kind leaves no shadow.
  void BuildShadow();
  // Placement of the shadow image relative to the object for the current
  // picture size and shadow image size (the placement table).
  void ComputeShadowPlacement();

  std::int32_t m_nWidth = 0;
  std::int32_t m_nHeight = 0;
  std::int32_t m_nBitCount = 32;
  std::int32_t m_nReserved = 5;
  std::string m_strName;
  std::int32_t m_nShadowKind = 4;
  std::int32_t m_nShadowDistX = 5;
  std::int32_t m_nShadowDistY = 5;
  std::int32_t m_nShadowPosX = 0;
  std::int32_t m_nShadowPosY = 0;
  BYTE m_byShadowRatio = 100;
  BYTE m_byShadowTransparency = 64;
  BYTE m_byShadowSoftness = 5;
  COLORREF m_clrShadow = 0x202020;
  std::int16_t m_nPerspectiveAngle = 30;
  std::int16_t m_nPerspectiveLength = 80;
  RefPtr<CDibFactory> m_pFactory;
  std::int32_t m_nFlag = 1;
  std::int32_t m_nKind = OBJECT_RASTER;

 private:
  DibPtr m_pImage;
  BYTE* m_pBits = nullptr;
  DibPtr m_pShadow;
};
