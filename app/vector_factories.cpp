// CShapeDibFactory and CTextDibFactory: the vector objects render and
// serialize themselves; the factories keep their paths current.
#include <cmath>

#include "app/dib_factories.h"
#include "app/project_file.h"

BITMAPINFOHEADER* CVectorDibFactory::Build() {
  if (!RebuildPaths()) return nullptr;
  POINT origin{0, 0};
  BITMAPINFOHEADER* picture = Object().Render(&origin);
  if (picture) m_origin = origin;
  return picture;
}

void CVectorDibFactory::GetNaturalSize(double& width, double& height) const {
  Object().GetNaturalSize(&width, &height);
}

BITMAPINFOHEADER* CVectorDibFactory::Transform(double scaleX, double scaleY, double angle) {
  auto& o = Object();
  const double oldX = o.ScaleX(), oldY = o.ScaleY(), oldAngle = o.Angle();
  const double newX = oldX * scaleX, newY = oldY * scaleY;
  // The object clamps scales it cannot take; a transform it would clamp fails instead.
  if (!(newX >= 1e-3 && newX <= 1e3 && newY >= 1e-3 && newY <= 1e3) || !std::isfinite(angle)) return nullptr;
  o.SetScale(newX, newY);
  o.SetAngle(angle);
  BITMAPINFOHEADER* picture = Build();
  if (!picture) {
    o.SetScale(oldX, oldY);
    o.SetAngle(oldAngle);
    RebuildPaths();
  }
  return picture;
}

long CVectorDibFactory::Save(std::FILE* file, const char* version, const char* subVersion) {
  return Object().Save(file, version, subVersion);
}

bool CVectorDibFactory::Load(std::FILE* file, int /*reserved*/, const char* version, const char* subVersion) {
  if (!Object().Load(file, version, subVersion)) return false;
  RebuildPaths();
  return true;
}

bool CTextDibFactory::RebuildPaths() {
  return m_text.BuildGlyphPath() && m_text.RebuildPaths();
}

RefPtr<CDib> CreateGeneratorObject(RefPtr<CDibFactory> factory, std::int32_t kind) {
  if (!factory) return nullptr;
  DibPtr picture(factory->Build());
  if (!picture) return nullptr;
  auto object = MakeRef<CDib>(std::move(picture), kind);
  if (!object->GetImage()) return nullptr;
  object->m_pFactory = std::move(factory);
  return object;
}

void RegisterDibFactories() {
  RegisterDibFactory(OBJECT_PICTURE, [](std::int32_t, const char*) -> RefPtr<CDibFactory> {
    return MakeRef<CBitmapDibFactory>();
  });
  RegisterDibFactory(OBJECT_TEXT, [](std::int32_t, const char*) -> RefPtr<CDibFactory> {
    return MakeRef<CTextDibFactory>();
  });
  RegisterDibFactory(OBJECT_SHAPE, [](std::int32_t, const char*) -> RefPtr<CDibFactory> {
    return MakeRef<CShapeDibFactory>();
  });
}
