// Geometry and format changes.
#include "imaging/filters_geometry.h"

#include <cstring>
#include <vector>

#include "imaging/filter_support.h"

namespace TevImageTransform {

using namespace filter_detail;

namespace {
bool AtLeast8(const CTevObjImage* image) { return image && image->IsValidImage() && image->ColorBits() >= 8; }
void SwapBytes(BYTE* a, BYTE* b, int n) {
  for (int i = 0; i < n; ++i) std::swap(a[i], b[i]);
}
}  // namespace

bool CTevPixelMirror::ValidateColorBits(const CTevObjImage* image) { return AtLeast8(image); }
void CTevPixelMirror::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  const int w = image->Width();
  if (x >= w / 2) return;
  if (BYTE* q = image->GetBits(w - 1 - x, y)) SwapBytes(p, q, BytesPerPixel(image));
}

bool CTevPixelFlip::ValidateColorBits(const CTevObjImage* image) { return AtLeast8(image); }
void CTevPixelFlip::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  const int h = image->Height();
  if (y >= h / 2) return;
  if (BYTE* q = image->GetBits(x, h - 1 - y)) SwapBytes(p, q, BytesPerPixel(image));
}

bool CTevPixelRotate90::ValidateColorBits(const CTevObjImage* image) { return AtLeast8(image); }
void CTevPixelRotate90::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  m_bpp = BytesPerPixel(image);
  if (!m_backup.IsValidImage() || !RecreateLike(*image, m_backup.GetImageBits(), m_backup.Height(), m_backup.Width()))
    return;
  if (m_backup.ColorBits() <= 8) image->CopyPalette(m_backup);
}
void CTevPixelRotate90::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  if (const BYTE* s = m_backup.GetBits(y, m_backup.Height() - 1 - x)) std::memcpy(p, s, std::size_t(m_bpp));
}
void CTevPixelRotate270::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  if (const BYTE* s = m_backup.GetBits(m_backup.Width() - 1 - y, x)) std::memcpy(p, s, std::size_t(m_bpp));
}

bool CTevPixelRotate90::TurnImage(CTevObjImage& image, bool clockwise) {
  if (!AtLeast8(&image)) return false;
  const int sw = image.Width(), sh = image.Height(), bpp = image.ColorBits() / 8;
  CTevObjImage out;
  if (!RecreateLike(out, image.GetImageBits(), sh, sw)) return false;
  if (image.ColorBits() <= 8) out.CopyPalette(image);
  // Tiles keep both the source rows and the destination rows in cache.
  constexpr int kTile = 32;
  for (int ty = 0; ty < sw; ty += kTile)
    for (int tx = 0; tx < sh; tx += kTile) {
      const int ey = std::min(ty + kTile, sw), ex = std::min(tx + kTile, sh);
      for (int y = ty; y < ey; ++y) {
        BYTE* d = out.GetBits(tx, y);
        for (int x = tx; x < ex; ++x, d += bpp) {
          const BYTE* s = clockwise ? image.GetBits(y, sh - 1 - x) : image.GetBits(sw - 1 - y, x);
          if (bpp == 4)
            std::memcpy(d, s, 4);
          else
            std::memcpy(d, s, std::size_t(bpp));
        }
      }
    }
  image = out;
  return image.IsValidImage();
}

bool CTevPixelRotate180::ValidateColorBits(const CTevObjImage* image) { return AtLeast8(image); }
void CTevPixelRotate180::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  m_bpp = BytesPerPixel(image);
}
void CTevPixelRotate180::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  if (const BYTE* s = m_backup.GetBits(m_backup.Width() - 1 - x, m_backup.Height() - 1 - y))
    std::memcpy(p, s, std::size_t(m_bpp));
}

bool CTevPixelConvertTo16Bit::ValidateColorBits(const CTevObjImage* image) {
  return image && image->IsValidImage() && image->ColorBits() != 16;
}
bool CTevPixelConvertTo16Bit::ValidateColorBits_Selection(const CTevObjImage*) { return false; }
void CTevPixelConvertTo16Bit::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  if (m_backup.ColorBits() <= 8) m_backup.ConvertTo24Bit();
  m_srcBpp = BytesPerPixel(&m_backup);
  if (m_srcBpp >= 3) image->Create(m_backup.Width(), m_backup.Height(), 16);
}
void CTevPixelConvertTo16Bit::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  if (image->ColorBits() != 16 || m_srcBpp < 3) return;
  const BYTE* s = m_backup.GetBits(x, y);
  if (!s) return;
  const WORD v = WORD(((s[2] & 0xF8) << 7) | ((s[1] & 0xF8) << 2) | (s[0] >> 3));
  p[0] = BYTE(v & 0xFF);
  p[1] = BYTE(v >> 8);
}

bool CTevPixelConvertTo8BitGray::ValidateColorBits(const CTevObjImage* image) {
  return image && image->IsValidImage();
}
bool CTevPixelConvertTo8BitGray::ValidateColorBits_Selection(const CTevObjImage*) { return false; }
void CTevPixelConvertTo8BitGray::OnEnterProcess(CTevObjImage* image) {
  CTevPixelBackupProcess::OnEnterProcess(image);
  if (m_backup.ColorBits() <= 16) m_backup.ConvertTo24Bit();
  m_srcBpp = BytesPerPixel(&m_backup);
  if (m_srcBpp >= 3) {
    image->Create(m_backup.Width(), m_backup.Height(), 8);
    // Entry i is grey level i, so the picture shows its grey levels.
    RGBQUAD ramp[256];
    for (int i = 0; i < 256; ++i) ramp[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    image->SetColorTable(0, 256, ramp);
  }
}
void CTevPixelConvertTo8BitGray::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  if (image->ColorBits() != 8 || m_srcBpp < 3) return;
  if (const BYTE* s = m_backup.GetBits(x, y)) *p = BYTE(Grey(s));
}

CTevPixelSpliteChannelRGB::CTevPixelSpliteChannelRGB(CTevObjImage* red, CTevObjImage* green, CTevObjImage* blue)
    : m_images{red, green, blue} {}
void CTevPixelSpliteChannelRGB::OnEnterProcess(CTevObjImage* image) {
  for (CTevObjImage* out : m_images)
    if (out && out != image) out->Create(image->Width(), image->Height(), 32);
}
void CTevPixelSpliteChannelRGB::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  const BYTE a = image->ColorBits() == 32 ? p[3] : 255;
  const BYTE values[3] = {p[2], p[1], p[0]};
  for (int c = 0; c < 3; ++c) {
    CTevObjImage* out = m_images[c];
    if (!out || out == image) continue;
    if (BYTE* d = out->GetBits(x, y)) {
      d[0] = d[1] = d[2] = values[c];
      d[3] = a;
    }
  }
}

CTevPixelCombineChannelRGB::CTevPixelCombineChannelRGB(const CTevObjImage* red, const CTevObjImage* green,
                                                       const CTevObjImage* blue)
    : m_images{red, green, blue} {}
bool CTevPixelCombineChannelRGB::ChannelsFit(const CTevObjImage* image) const {
  for (const CTevObjImage* c : m_images)
    if (!c || !c->IsValidImage() || c->ColorBits() != 8 || c->Width() != image->Width() ||
        c->Height() != image->Height())
      return false;
  return true;
}
bool CTevPixelCombineChannelRGB::ValidateColorBits(const CTevObjImage* image) {
  return CTevSinglePixelProcessBase::ValidateColorBits(image) && ChannelsFit(image);
}
bool CTevPixelCombineChannelRGB::ValidateColorBits_Selection(const CTevObjImage* image) {
  return CTevSinglePixelProcessBase::ValidateColorBits_Selection(image) && ChannelsFit(image);
}
void CTevPixelCombineChannelRGB::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  const BYTE* r = m_images[0]->GetBits(x, y);
  const BYTE* g = m_images[1]->GetBits(x, y);
  const BYTE* b = m_images[2]->GetBits(x, y);
  if (!r || !g || !b) return;
  p[0] = *b;
  p[1] = *g;
  p[2] = *r;
}

CPixelDeinterlace::CPixelDeinterlace(SCAN_FIELDS field) : m_field(field == FIELD_ODD ? 1 : 0) {}
bool CPixelDeinterlace::ValidateColorBits(const CTevObjImage* image) {
  return image && image->IsValidImage() && image->ColorBits() == 32;
}
void CPixelDeinterlace::ProcessPixel(CTevObjImage* image, int x, int y, BYTE* p) {
  if (y == 0 || y >= image->Height() - 1 || y % 2 != m_field) return;
  const BYTE* a = image->GetBits(x, y - 1);
  const BYTE* b = image->GetBits(x, y + 1);
  if (!a || !b) return;
  const int a1 = a[3], a2 = b[3];
  p[3] = BYTE((a1 + a2) / 2);
  if (a1 + a2 > 1)
    for (int c = 0; c < 3; ++c) p[c] = BYTE((a[c] * a1 + b[c] * a2) / (a1 + a2));
}

}  // namespace TevImageTransform
