// CBitmapDibFactory: a source picture scaled and rotated into its bounding box.
#include <cmath>
#include <cstring>

#include "app/dib_factories.h"
#include "app/planar_image.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/vector/TevVectorRender.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Scales must be usable as divisors and keep sizes far from overflow.
bool ScaleUsable(double s) { return std::isfinite(s) && std::fabs(s) >= 1e-6 && std::fabs(s) <= 1e6; }
bool AngleUsable(double a) { return std::isfinite(a) && std::fabs(a) <= 1e6; }

DibPtr To32Bits(DibPtr image) {
  if (!image || !DibHeaderValid(image.get())) return nullptr;
  if (image->biBitCount == 32 && image->biCompression == BI_RGB) return image;
  return DibPtr(CDIB32::ConvertTo32BitsDIB(image.get()));
}

}  // namespace

CBitmapDibFactory::CBitmapDibFactory(DibPtr source, double scaleX, double scaleY, double angle, std::int32_t filter)
    : m_dScaleX(ScaleUsable(scaleX) ? scaleX : 1.0),
      m_dScaleY(ScaleUsable(scaleY) ? scaleY : 1.0),
      m_dAngle(AngleUsable(angle) ? angle : 0.0),
      m_nFilter(filter),
      m_pSource(To32Bits(std::move(source))) {}

bool CBitmapDibFactory::SetSource(DibPtr source) {
  DibPtr converted = To32Bits(std::move(source));
  if (!converted) return false;
  m_pSource = std::move(converted);
  return true;
}

BITMAPINFOHEADER* CBitmapDibFactory::Build() {
  if (!m_pSource || !ScaleUsable(m_dScaleX) || !ScaleUsable(m_dScaleY) || !AngleUsable(m_dAngle)) return nullptr;
  const double sw = m_pSource->biWidth, sh = DibHeight(m_pSource.get());
  const double radians = m_dAngle * kPi / 180;
  const double c = std::fabs(std::cos(radians)), s = std::fabs(std::sin(radians));
  const double w = sw * std::fabs(m_dScaleX), h = sh * std::fabs(m_dScaleY);
  const double boxW = std::floor(w * c + h * s + 0.5), boxH = std::floor(w * s + h * c + 0.5);
  if (!(boxW >= 1 && boxH >= 1 && boxW <= kMaxDibDimension && boxH <= kMaxDibDimension)) return nullptr;
  DibPtr out(CDIB32::CreateSimple32BitsDIB(LONG(boxW), LONG(boxH), RGB(255, 255, 255), 0));
  if (!out) return nullptr;

  // Source to picture: centre the source on the origin, scale, rotate, then
  // move the centre to the middle of the box. The renderer samples the
  // source through the inverse of this matrix.
  using namespace TevVecLib;
  CTevTransMatrix m = CTevTransMatrixTranslation(-sw / 2, -sh / 2);
  m.Multiply(CTevTransMatrixScaling(m_dScaleX, m_dScaleY));
  m.Multiply(CTevTransMatrixRotation(radians));
  m.Multiply(CTevTransMatrixTranslation(boxW / 2, boxH / 2));
  // Only the source's own (transformed) rectangle is painted, so the rest of
  // the box keeps its transparent white and the edges are anti-aliased.
  CTevPath area;
  area.move_to(0, 0);
  area.line_to(sw, 0);
  area.line_to(sw, sh);
  area.line_to(0, sh);
  area.ClosePolygon();
  if (!TransformImage(out.get(), m_pSource.get(), m, area, m, m_nFilter, 1)) return nullptr;
  return out.release();
}

void CBitmapDibFactory::GetNaturalSize(double& width, double& height) const {
  width = m_pSource ? m_pSource->biWidth * m_dScaleX : 0;
  height = m_pSource ? DibHeight(m_pSource.get()) * m_dScaleY : 0;
}

BITMAPINFOHEADER* CBitmapDibFactory::Transform(double scaleX, double scaleY, double angle) {
  const double oldX = m_dScaleX, oldY = m_dScaleY, oldAngle = m_dAngle;
  m_dScaleX *= scaleX;
  m_dScaleY *= scaleY;
  m_dAngle = angle;
  BITMAPINFOHEADER* picture = Build();
  if (!picture) {
    m_dScaleX = oldX;
    m_dScaleY = oldY;
    m_dAngle = oldAngle;
  }
  return picture;
}

long CBitmapDibFactory::Save(std::FILE* file, const char* /*version*/, const char* /*subVersion*/) {
  if (!file || !m_pSource) return 0;
  BYTE head[28];
  const std::uint32_t filter = std::uint32_t(m_nFilter);
  for (int i = 0; i < 4; ++i) head[i] = BYTE(filter >> (8 * i));
  // Doubles are stored as their little-endian IEEE-754 bytes.
  static_assert(sizeof(double) == 8);
  const double values[3] = {m_dAngle, m_dScaleX, m_dScaleY};
  for (int v = 0; v < 3; ++v) {
    std::uint64_t bits;
    std::memcpy(&bits, &values[v], 8);
    BYTE le[8];
    for (int i = 0; i < 8; ++i) le[i] = BYTE(bits >> (8 * i));
    std::memcpy(head + 4 + 8 * v, le, 8);
  }
  if (std::fwrite(head, 1, sizeof head, file) != sizeof head) return 0;
  const long image = WritePlanarImage(file, m_pSource.get());
  return image > 0 ? long(sizeof head) + image : 0;
}

bool CBitmapDibFactory::Load(std::FILE* file, int /*reserved*/, const char* /*version*/, const char* /*subVersion*/) {
  if (!file) return false;
  BYTE head[28];
  if (std::fread(head, 1, sizeof head, file) != sizeof head) return false;
  const std::int32_t filter =
      std::int32_t(std::uint32_t(head[0]) | std::uint32_t(head[1]) << 8 | std::uint32_t(head[2]) << 16 |
                   std::uint32_t(head[3]) << 24);
  double values[3];
  for (int v = 0; v < 3; ++v) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t(head[4 + 8 * v + i]) << (8 * i);
    std::memcpy(&values[v], &bits, 8);
  }
  if (!AngleUsable(values[0]) || !ScaleUsable(values[1]) || !ScaleUsable(values[2])) return false;
  DibPtr source = ReadPlanarImage(file);
  if (!source) return false;
  m_nFilter = filter;
  m_dAngle = values[0];
  m_dScaleX = values[1];
  m_dScaleY = values[2];
  m_pSource = std::move(source);
  return true;
}
