// The pixel-process base classes and the whole-image walker.
#include "imaging/pixel_process.h"

#include <cstring>

namespace TevImageTransform {

bool CTevSinglePixelProcessBase::ValidateColorBits(const CTevObjImage* image) {
  return image && image->IsValidImage() && image->ColorBits() >= 24;
}

bool CTevSinglePixelProcessBase::ValidateColorBits_Selection(const CTevObjImage* image) {
  return image && image->IsValidImage() && image->ColorBits() == 32;
}

void CTevSinglePixelProcessBase::ProcessSelectedPixel(CTevObjImage* image, int x, int y, BYTE* pixel, BYTE level) {
  if (!pixel) return;
  BYTE old[4];
  std::memcpy(old, pixel, 4);
  ProcessPixel(image, x, y, pixel);
  for (int i = 0; i < 4; ++i) pixel[i] = BYTE((pixel[i] * level + old[i] * (255 - level)) / 255);
}

void CTevPixelBackupProcess::OnEnterProcess(CTevObjImage* image) {
  if (image && image->IsValidImage())
    m_backup.Create(image->GetImageBits());
  else
    m_backup.Destroy();
}

void CTevPixelWholeImageBase::OnEnterProcess(CTevObjImage* image) {
  if (image && image->IsValidImage())
    m_backup.Create(image->GetImageBits());
  else
    m_backup.Destroy();
}

CTevPixelLUTRoutine::CTevPixelLUTRoutine(IMAGE_CHANNEL channels)
    : m_red(channels & CHANNEL_RED), m_green(channels & CHANNEL_GREEN), m_blue(channels & CHANNEL_BLUE) {}

void CTevPixelLUTRoutine::OnEnterProcess(CTevObjImage* /*image*/) {
  for (int v = 0; v < 256; ++v) m_table[v] = InitLUTtable(v);
}

void CTevPixelLUTRoutine::ProcessPixel(CTevObjImage* image, int /*x*/, int /*y*/, BYTE* pixel) {
  if (!pixel || (image && image->ColorBits() < 24)) return;  // three colour bytes or none
  if (m_blue) pixel[0] = BYTE(m_table[pixel[0]]);
  if (m_green) pixel[1] = BYTE(m_table[pixel[1]]);
  if (m_red) pixel[2] = BYTE(m_table[pixel[2]]);
}

void CTevPixelLUTRoutine::ApplyToRow(BYTE* row, int count, int step) const {
  if (!row || step < 3) return;
  // Narrowed once so the inner loops are plain byte lookups.
  BYTE t[256];
  for (int v = 0; v < 256; ++v) t[v] = BYTE(m_table[v]);
  if (m_blue && m_green && m_red) {
    for (int i = 0; i < count; ++i, row += step) {
      row[0] = t[row[0]];
      row[1] = t[row[1]];
      row[2] = t[row[2]];
    }
    return;
  }
  for (int i = 0; i < count; ++i, row += step) {
    if (m_blue) row[0] = t[row[0]];
    if (m_green) row[1] = t[row[1]];
    if (m_red) row[2] = t[row[2]];
  }
}

int CTevObjImage::SinglePixelProcessProc(CTevInterfacePixelProcess& process, CTevCommonProgress* progress) {
  if (!process.ValidateColorBits(this)) return 0;
  process.OnEnterProcess(this);
  const PROCESS_TYPE type = process.QueryProcessType();
  if (type == PROCESS_WHOLE_IMAGE) {
    int r = process.ProcessWholeImage(this, progress);
    process.OnLeaveProcess(this);
    return r;
  }
  if (type != PROCESS_PER_PIXEL || !dib_ || ColorBits() < 8) {
    process.OnLeaveProcess(this);
    return 1;
  }
  // Geometry after OnEnterProcess, which may have re-created the image.
  const int w = Width(), h = Height(), step = ColorBits() / 8;
  auto* lut = dynamic_cast<CTevPixelLUTRoutine*>(&process);
  int result = 1;
  for (int y = 0; y < h; ++y) {
    BYTE* p = GetBits(y);
    if (lut && step >= 3) {
      lut->ApplyToRow(p, w, step);
    } else {
      for (int x = 0; x < w; ++x, p += step) process.ProcessPixel(this, x, y, p);
    }
    if (!ReportProgressStep(progress, y + 1, h)) {
      result = 0;
      break;
    }
  }
  process.OnLeaveProcess(this);
  return result;
}

}  // namespace TevImageTransform
