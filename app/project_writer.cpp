// WriteProjectFile: version "2004"/"2007" through a temporary file.

#include <cerrno>
#include <vector>

#include "app/gbk_text.h"
#include "app/planar_image.h"
#include "app/project_file.h"
#include "app/project_io.h"
#include "companions/imageio/codec_io.h"
#include "companions/base/progress.h"
#include "companions/base/tr.h"

namespace {

constexpr std::size_t kNameBytes = 48;

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

bool IsGeneratorKind(std::int32_t kind) { return kind == OBJECT_PICTURE || kind == OBJECT_TEXT || kind == OBJECT_SHAPE; }

// The kind a record stores: a generator kind only when the object has its
// generator, otherwise its pixels are stored as a raster object.
std::int32_t StoredKind(const CDib& object) {
  return IsGeneratorKind(object.m_nKind) && object.m_pFactory ? object.m_nKind : OBJECT_RASTER;
}

void WriteObjectRecord(CProjectOut& out, const CDib& o) {
  out.U32(0);
  out.U32(0);
  out.I32(StoredKind(o));
  out.I32(o.m_nReserved);
  char name[kNameBytes] = {};
  const std::string gbk = Utf8ToGbk(o.m_strName, kNameBytes);
  std::memcpy(name, gbk.data(), gbk.size());
  out.Bytes(name, kNameBytes);
  out.U32(o.m_clrShadow);
  out.U8(BYTE(o.m_nShadowKind));
  out.U8(o.m_byShadowTransparency);
  out.U8(o.m_byShadowRatio);
  out.U8(o.m_byShadowSoftness);
  out.I32(o.m_nShadowDistX);
  out.I32(o.m_nShadowDistY);
  out.U16(std::uint16_t(o.m_nPerspectiveAngle));
  out.U16(std::uint16_t(o.m_nPerspectiveLength));
  out.U32(o.HasShadow() ? 1 : 0);
}

void WriteFrameRecord(CProjectOut& out, const CGifFrame& f) {
  out.U16(0);
  out.U16(f.m_nDelay);
  out.U32(f.m_nFlags);
  out.U8(f.m_byTransparentIndex);
  out.U8(f.m_byGraphicControl);
  out.U8(f.m_byDescriptor);
  out.U8(0);
  out.I32(std::int32_t(f.m_refs.size()));
  for (const auto& r : f.m_refs) {
    out.I32(r->m_nX);
    out.I32(r->m_nY);
    out.U8(r->m_bVisible ? 1 : 0);
    out.U8(r->m_bLocked ? 1 : 0);
    out.U8(BYTE(r->m_nTransparency));
    out.U8(0);
  }
}

bool WriteObjectData(CProjectOut& out, const CDib& o, std::string* reason) {
  const std::int32_t kind = StoredKind(o);
  if (kind == OBJECT_TEXT || kind == OBJECT_SHAPE) {
    out.U32(std::uint32_t(kind));
    if (!out.Ok()) return false;
    if (o.m_pFactory->Save(out.File(), "2004", "2007") <= 0) {
      SetReason(reason, "the generator of object \"" + o.m_strName + "\" could not save itself");
      return false;
    }
    return true;
  }
  if (kind == OBJECT_PICTURE) {
    if (o.m_pFactory->Save(out.File(), "2004", "2007") <= 0) {
      SetReason(reason, "the picture parameters of object \"" + o.m_strName + "\" could not be saved");
      return false;
    }
    return true;
  }
  const BITMAPINFOHEADER* image = o.GetImage();
  if (!image) {
    SetReason(reason, "object \"" + o.m_strName + "\" has no picture");
    return false;
  }
  std::vector<BYTE> block;
  block.reserve(8);
  const std::int32_t w = image->biWidth, h = DibHeight(image);
  for (std::int32_t v : {w, h})
    for (int i = 0; i < 4; ++i) block.push_back(BYTE(std::uint32_t(v) >> (8 * i)));
  if (!EncodePlanes(image, block)) {
    SetReason(reason, "object \"" + o.m_strName + "\" has no usable picture");
    return false;
  }
  out.Bytes(block.data(), block.size());
  return true;
}

bool WriteAll(const CGifImage& m, CProjectOut& out, CTevCommonProgress* progress, std::string* reason) {
  out.Bytes("LWP ", 4);
  out.Bytes("2004", 4);
  out.Bytes("2007", 4);
  out.U32(m.m_clrBackground);
  out.I32(m.m_nImageColorIndex);
  out.U32(ProjectLoopWord(m.m_bLoopForever != 0, m.m_nLoopCount));
  out.I32(m.m_nWidth);
  out.I32(m.m_nHeight);
  out.I32(m.GetFrameCount());
  out.I32(m.GetObjectCount());
  long recordPos = out.Tell();
  for (const auto& o : m.m_objects) WriteObjectRecord(out, *o);
  for (const auto& f : m.m_frames) WriteFrameRecord(out, *f);
  long dataPos = out.Tell();
  const long long n = m.GetObjectCount();
  for (long long i = 0; i < n && out.Ok(); ++i) {
    if (!WriteObjectData(out, *m.m_objects[std::size_t(i)], reason)) return false;
    const long end = out.Tell();
    const long long size = static_cast<long long>(end) - dataPos;
    if (!out.Ok() || dataPos > 0xFFFFFFFFLL || size > 0xFFFFFFFFLL) {
      SetReason(reason, "the project is larger than the format can address");
      return false;
    }
    out.Seek(recordPos);
    out.U32(std::uint32_t(dataPos));
    out.U32(std::uint32_t(size));
    out.Seek(end);
    dataPos = end;
    recordPos += 88;
    if (!ReportProgressStep(progress, i + 1, n)) {
      SetReason(reason, "cancelled");
      return false;
    }
  }
  if (!out.Ok()) SetReason(reason, TevImageIO::WriteErrorText(errno));
  return out.Ok();
}

}  // namespace

bool WriteProjectFile(const CGifImage& model, const std::string& path, CTevCommonProgress* progress,
                      std::string* reason) {
  for (const auto& f : model.m_frames)
    for (const auto& r : f->m_refs)
      if (!r) {
        SetReason(reason, "a frame holds an empty reference");
        return false;
      }
  TevImageIO::CAtomicFileWriter writer(path);
  std::string why;
  std::FILE* file = writer.Open(why);
  if (!file) {
    SetReason(reason, why);
    return false;
  }
  if (progress) {
    progress->SetCaption(Tr("Saving frames..."));
    progress->SetProgress(0);
  }
  CProjectOut out(file);
  bool ok = WriteAll(model, out, progress, reason);
  if (ok && !writer.Commit(why)) {
    SetReason(reason, why);
    ok = false;
  }
  if (!ok && reason && reason->empty()) *reason = "write error";
  if (progress) progress->EndProgress();
  return ok;
}
