// Colour counting, key colour, visible bounds and text export.
#include "imaging/filters_analysis.h"

#include <cstdio>
#include <memory>

#include "imaging/filter_support.h"

namespace TevImageTransform {

using namespace filter_detail;

void CTevPixelColorsCount::OnEnterProcess(CTevObjImage*) {
  m_count = 0;
  m_present.assign((std::size_t(1) << 24) + 1, 0);
}
void CTevPixelColorsCount::ProcessPixel(CTevObjImage*, int, int, BYTE* p) {
  if (m_present.empty()) return;
  const std::size_t index = (std::size_t(p[2]) << 16) | (std::size_t(p[1]) << 8) | p[0];
  if (!m_present[index]) {
    m_present[index] = 1;
    ++m_count;
  }
}
void CTevPixelColorsCount::OnLeaveProcess(CTevObjImage*) { std::vector<BYTE>().swap(m_present); }

void CTevPixelGetKeyColor::OnLeaveProcess(CTevObjImage* image) {
  m_found = false;
  m_key = RGBQUAD{0, 0, 0, 0};
  const std::size_t colours = std::size_t(1) << 24;
  for (std::size_t i = 0; i < colours && i < m_present.size(); ++i)
    if (!m_present[i]) {
      m_found = true;
      m_key = RGBQUAD{BYTE(i & 0xFF), BYTE((i >> 8) & 0xFF), BYTE(i >> 16), 0};
      break;
    }
  CTevPixelColorsCount::OnLeaveProcess(image);
}

bool CTevPixelGetOptimizedRect::ValidateColorBits(const CTevObjImage* image) {
  return image && image->IsValidImage() && image->ColorBits() == 32;
}
void CTevPixelGetOptimizedRect::OnEnterProcess(CTevObjImage*) {
  m_rect = RECT{0, 0, 0, 0};
  m_any = false;
}
void CTevPixelGetOptimizedRect::ProcessPixel(CTevObjImage*, int x, int y, BYTE* p) {
  if (p[3] == 0) return;
  if (!m_any) {
    m_rect = RECT{x, y, x + 1, y + 1};
    m_any = true;
    return;
  }
  m_rect.left = std::min<LONG>(m_rect.left, x);
  m_rect.top = std::min<LONG>(m_rect.top, y);
  m_rect.right = std::max<LONG>(m_rect.right, x + 1);
  m_rect.bottom = std::max<LONG>(m_rect.bottom, y + 1);
}
void CTevPixelGetOptimizedRect::OnLeaveProcess(CTevObjImage*) {
  if (!m_any) m_rect = RECT{0, 0, 0, 0};
}

CTevPixelExportAscII::CTevPixelExportAscII(const char* path) : m_path(path ? path : "") {}
int CTevPixelExportAscII::ProcessWholeImage(CTevObjImage* image, CTevCommonProgress* progress) {
  if (!image || !image->IsValidImage() || m_path.empty()) return 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(m_path.c_str(), "wb"), &std::fclose);
  if (!file) return 0;
  static const char kRamp[] = "@%#*+=-:. ";
  const int w = image->Width(), h = image->Height(), bpp = BytesPerPixel(image);
  std::string line;
  for (int y = 0; y < h; ++y) {
    line.clear();
    const BYTE* p = image->GetBits(y);
    for (int x = 0; x < w; ++x, p += bpp)
      line += (bpp == 4 && p[3] == 0) ? ' ' : kRamp[Grey(p) * 9 / 255];
    line += '\n';
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) return 0;
    if (!RowDone(progress, y, h)) return 0;
  }
  return std::fclose(file.release()) == 0 ? 1 : 0;
}

}  // namespace TevImageTransform
