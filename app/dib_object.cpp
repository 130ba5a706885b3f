#include "app/dib_object.h"

#include <cmath>

#include "companions/dibkernel/dib_kernel.h"
#include "imaging/shadow_builder.h"

CDib::CDib() = default;

CDib::CDib(DibPtr image) { SetImage(std::move(image)); }

CDib::CDib(DibPtr image, std::int32_t kind) : m_nShadowKind(0), m_nKind(kind) { SetImage(std::move(image)); }

CDib::CDib(const CDib& o)
    : CRefObj(),
      m_nWidth(o.m_nWidth),
      m_nHeight(o.m_nHeight),
      m_nBitCount(o.m_nBitCount),
      m_nReserved(o.m_nReserved),
      m_strName(o.m_strName),
      m_nShadowKind(o.m_nShadowKind),
      m_nShadowDistX(o.m_nShadowDistX),
      m_nShadowDistY(o.m_nShadowDistY),
      m_nShadowPosX(o.m_nShadowPosX),
      m_nShadowPosY(o.m_nShadowPosY),
      m_byShadowRatio(o.m_byShadowRatio),
      m_byShadowTransparency(o.m_byShadowTransparency),
      m_byShadowSoftness(o.m_byShadowSoftness),
      m_clrShadow(o.m_clrShadow),
      m_nPerspectiveAngle(o.m_nPerspectiveAngle),
      m_nPerspectiveLength(o.m_nPerspectiveLength),
      m_pFactory(o.m_pFactory),
      m_nFlag(o.m_nFlag),
      m_nKind(o.m_nKind) {
  if (o.m_pImage) {
    m_pImage.reset(DibCopy(o.m_pImage.get()));
    m_pBits = m_pImage ? DibBits(m_pImage.get()) : nullptr;
    if (!m_pImage) m_nWidth = m_nHeight = 0;
  }
  if (o.m_pShadow) m_pShadow.reset(DibCopy(o.m_pShadow.get()));
}

bool CDib::SetImage(DibPtr image) {
  if (!image || !DibHeaderValid(image.get())) return false;
  if (image->biBitCount != 32 || image->biCompression != BI_RGB || DibTopDown(image.get())) {
    DibPtr converted(CDIB32::ConvertTo32BitsDIB(image.get()));
    if (!converted) return false;
    image = std::move(converted);
  }
  m_pImage = std::move(image);
  m_pBits = DibBits(m_pImage.get());
  m_nWidth = m_pImage->biWidth;
  m_nHeight = DibHeight(m_pImage.get());
  m_nBitCount = 32;
  return true;
}

void CDib::ComputeShadowPlacement() {
  if (!m_pShadow) {
    m_nShadowPosX = m_nShadowPosY = 0;
    return;
  }
  const int W = m_nWidth, H = m_nHeight;
  const int dx = (W - m_pShadow->biWidth) / 2;
  const int dy = (H - DibHeight(m_pShadow.get())) / 2;
  const int sx = m_nShadowDistX, sy = m_nShadowDistY;
  const int soft = m_byShadowSoftness;
  const double theta = m_nPerspectiveAngle * M_PI / 180.0;
  const double L = m_nPerspectiveLength, r = m_byShadowRatio;
  // Horizontal reach of a perspective shadow leaning left, and its height.
  auto leanX = [&] { return -(int(std::floor(std::cos(theta) * H * L / 100 + r * W / 100 - W + 0.5)) + soft); };
  auto riseY = [&] { return H - soft - int(std::floor(std::sin(theta) * H * L / 100 + 0.5)); };
  switch (m_nShadowKind) {
    case 1: m_nShadowPosX = dx - sx; m_nShadowPosY = dy - sy; break;
    case 2: m_nShadowPosX = dx + sx; m_nShadowPosY = dy - sy; break;
    case 3: m_nShadowPosX = dx - sx; m_nShadowPosY = dy + sy; break;
    case 4: m_nShadowPosX = dx + sx; m_nShadowPosY = dy + sy; break;
    case 5: m_nShadowPosX = dx; m_nShadowPosY = dy; break;
    case 6: m_nShadowPosX = leanX(); m_nShadowPosY = riseY(); break;
    case 7: m_nShadowPosX = -soft; m_nShadowPosY = riseY(); break;
    case 8: m_nShadowPosX = leanX(); m_nShadowPosY = H - soft; break;
    case 9: m_nShadowPosX = -soft; m_nShadowPosY = H - soft; break;
    default: m_nShadowPosX = m_nShadowPosY = 0; break;
  }
}

void CDib::BuildShadow() {
  m_pShadow.reset();
  if (m_pImage) {
    const double ratio = m_byShadowRatio / 100.0;
    if (m_nShadowKind >= 1 && m_nShadowKind <= 5) {
      m_pShadow.reset(TevImageTransform::CreateParallelShadow(m_pImage.get(), m_clrShadow, ratio, m_byShadowSoftness));
    } else if (m_nShadowKind >= 6 && m_nShadowKind <= 9) {
      m_pShadow.reset(TevImageTransform::CreatePerspectiveShadow(m_pImage.get(), m_nShadowKind - 6, m_clrShadow, ratio,
                                                                 m_byShadowSoftness, m_nPerspectiveAngle,
                                                                 m_nPerspectiveLength));
    }
  }
  ComputeShadowPlacement();
}
