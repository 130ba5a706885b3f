// The three object generators: a source picture scaled and rotated
// (CBitmapDibFactory, kind 4), a vector text (CTextDibFactory, kind 5) and a
// vector shape (CShapeDibFactory, kind 6).
//
// Making a generator object:
//   1. create the factory and set its parameters (source picture, or the
//      shape/text object with its render properties);
//   2. CreateGeneratorObject(factory, kind): builds the picture and wraps it
//      in a CDib of that kind holding the factory (null when the build fails);
//   3. place it: a shape or text picture starts at RenderOrigin() relative to
//      the top-left of the unrotated object box.
// Project files find the factories through RegisterDibFactories().
#pragma once

#include <memory>

#include "app/dib_object.h"
#include "companions/shapes/TevCustomPathLib.h"

class CBitmapDibFactory : public CDibFactory {
 public:
  // An empty factory (no source; Build fails until one is set or loaded).
  CBitmapDibFactory() = default;
  // Adopts a 32-bit source picture (other depths are converted).
  explicit CBitmapDibFactory(DibPtr source, double scaleX = 1.0, double scaleY = 1.0, double angle = 0.0,
                             std::int32_t filter = 5);

  BITMAPINFOHEADER* Build() override;
  void GetNaturalSize(double& width, double& height) const override;
  BITMAPINFOHEADER* Transform(double scaleX, double scaleY, double angle) override;
  // i32 filter, f64 angle, f64 scale x, f64 scale y, planar image block.
  long Save(std::FILE* file, const char* version, const char* subVersion) override;
  // Leaves the parameters unchanged when the data is truncated or invalid.
  bool Load(std::FILE* file, int reserved, const char* version, const char* subVersion) override;
  double GetAngle() const override { return m_dAngle; }

  // Replaces the source (converted to 32 bits); false keeps the old one.
  bool SetSource(DibPtr source);
  const BITMAPINFOHEADER* GetSource() const { return m_pSource.get(); }
  double ScaleX() const { return m_dScaleX; }
  double ScaleY() const { return m_dScaleY; }
  std::int32_t Filter() const { return m_nFilter; }
  // Set the parameters as they are, without rebuilding (the caller builds
  // and restores them when the build fails).
  void SetParameters(double scaleX, double scaleY, double angle) {
    m_dScaleX = scaleX;
    m_dScaleY = scaleY;
    m_dAngle = angle;
  }
  void SetFilter(std::int32_t filter) { m_nFilter = filter; }

 private:
  double m_dScaleX = 1.0;
  double m_dScaleY = 1.0;
  double m_dAngle = 0.0;
  std::int32_t m_nFilter = 5;
  DibPtr m_pSource;
};

// Shared by the shape and text generators: the vector object renders itself
// and serializes in its own form.
class CVectorDibFactory : public CDibFactory {
 public:
  BITMAPINFOHEADER* Build() override;
  void GetNaturalSize(double& width, double& height) const override;
  BITMAPINFOHEADER* Transform(double scaleX, double scaleY, double angle) override;
  long Save(std::FILE* file, const char* version, const char* subVersion) override;
  bool Load(std::FILE* file, int reserved, const char* version, const char* subVersion) override;
  double GetAngle() const override { return Object().Angle(); }

  // Top-left of the last built picture relative to the top-left of the
  // scaled, unrotated object box.
  POINT RenderOrigin() const { return m_origin; }

 protected:
  virtual TevCustomPathLibV::CTevVectorObject& Object() = 0;
  virtual const TevCustomPathLibV::CTevVectorObject& Object() const = 0;
  // Rebuilds what rendering needs after a load or a change.
  virtual bool RebuildPaths() { return Object().RebuildPaths(); }

 private:
  POINT m_origin{0, 0};
};

class CShapeDibFactory : public CVectorDibFactory {
 public:
  CShapeDibFactory() = default;
  explicit CShapeDibFactory(const TevCustomPathLibV::CTevShapeObj& shape) : m_shape(shape) {}
  TevCustomPathLibV::CTevShapeObj& Shape() { return m_shape; }

 protected:
  TevCustomPathLibV::CTevVectorObject& Object() override { return m_shape; }
  const TevCustomPathLibV::CTevVectorObject& Object() const override { return m_shape; }

 private:
  TevCustomPathLibV::CTevShapeObj m_shape;
};

class CTextDibFactory : public CVectorDibFactory {
 public:
  CTextDibFactory() = default;
  explicit CTextDibFactory(const TevCustomPathLibV::CTevTextObj& text) : m_text(text) {}
  TevCustomPathLibV::CTevTextObj& Text() { return m_text; }

 protected:
  TevCustomPathLibV::CTevVectorObject& Object() override { return m_text; }
  const TevCustomPathLibV::CTevVectorObject& Object() const override { return m_text; }
  // The glyph path first, then outline and stroke path.
  bool RebuildPaths() override;

 private:
  TevCustomPathLibV::CTevTextObj m_text;
};

// Builds the factory's picture and wraps it in a new object of that kind
// (shadow kind 0, no name) holding the factory. Null when the build fails.
RefPtr<CDib> CreateGeneratorObject(RefPtr<CDibFactory> factory, std::int32_t kind);

// Registers the three generators with the project file reader (kinds 4, 5
// and 6). Safe to call more than once.
void RegisterDibFactories();
