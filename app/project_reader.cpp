// ReadProjectFile: versions "1000" to "2004", and the generator registry.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "app/gbk_text.h"
#include "app/planar_image.h"
#include "app/project_file.h"
#include "app/project_io.h"
#include "companions/base/progress.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/base/tr.h"

namespace {

std::map<std::int32_t, DibFactoryCreator>& Registry() {
  static std::map<std::int32_t, DibFactoryCreator> registry;
  return registry;
}

enum Version { V1000, V2000, V2001, V2002, V2003, V2004 };
constexpr const char* kVersionText[] = {"1000", "2000", "2001", "2002", "2003", "2004"};

// Everything an object record of any version holds.
struct ObjectRecord {
  std::uint32_t offset = 0, size = 0;
  std::int32_t kind = 0, width = 0, height = 0;
  char name[48] = {};
  bool hasShadowFields = false, hasPerspective = false;
  std::uint32_t shadowColour = 0x202020;
  BYTE shadowKind = 0, shadowTransparency = 64, shadowRatio = 100, shadowSoftness = 5;
  std::int32_t shadowDx = 5, shadowDy = 5;
  std::uint16_t angle = 30, length = 80;
  std::uint32_t shadowPresent = 0;
};

class CProjectReader {
 public:
  CProjectReader(CGifImage& model, CProjectIn& in, CTevCommonProgress* progress, std::string& reason)
      : m_model(model), m_in(in), m_progress(progress), m_reason(reason) {}

  bool Read(bool& projectLoaded);

 private:
  bool Fail(const std::string& why) {
    if (m_reason.empty()) m_reason = why;
    return false;
  }
  bool ReadObjectRecord(ObjectRecord& r);
  bool ReadObject(const ObjectRecord& r);
  DibPtr ReadGenerator(const std::vector<BYTE>& block, std::int32_t finalKind, std::int32_t storedKind,
                       RefPtr<CDibFactory>& factory);
  bool ReadFrames(int frameCount);
  bool ReadOldFrames(int frameCount);
  DibPtr ReadOldFramePicture(bool hasMask);
  bool Step(long long done, long long total) {
    if (ReportProgressStep(m_progress, done, total)) return true;
    return Fail("cancelled");
  }

  CGifImage& m_model;
  CProjectIn& m_in;
  CTevCommonProgress* m_progress;
  std::string& m_reason;
  Version m_version = V2004;
  char m_subVersion[5] = {};
};

bool CProjectReader::Read(bool& projectLoaded) {
  char magic[4], version[4];
  if (!m_in.Bytes(magic, 4) || std::memcmp(magic, "LWP ", 4) != 0) return Fail("not a project file");
  if (!m_in.Bytes(version, 4)) return Fail("the file is truncated");
  bool known = false;
  for (int v = V1000; v <= V2004; ++v)
    if (std::memcmp(version, kVersionText[v], 4) == 0) {
      m_version = Version(v);
      known = true;
    }
  if (!known) return Fail("unknown project version");
  if (m_version == V2004 && !m_in.Bytes(m_subVersion, 4)) return Fail("the file is truncated");

  m_model.m_clrBackground = m_in.U32();
  const std::int32_t colourIndex = m_in.I32();
  if (m_version != V2000) m_model.m_nImageColorIndex = colourIndex;
  const std::uint32_t loopWord = m_in.U32();
  if (loopWord & kProjectLoopStored) {
    m_model.m_bLoopForever = (loopWord & kProjectLoopForever) ? 1 : 0;
    m_model.m_nLoopCount = std::max<std::int32_t>(1, std::int32_t(loopWord & 0xFFFF));
  }
  m_model.m_nWidth = m_in.I32();
  m_model.m_nHeight = m_in.I32();
  const std::int32_t frameCount = m_in.I32();
  const std::int32_t objectCount = m_version == V1000 ? 0 : m_in.I32();
  if (!m_in.Ok()) return Fail("the file is truncated");
  if (m_model.m_nWidth < 1 || m_model.m_nHeight < 1 || m_model.m_nWidth > kMaxDibDimension ||
      m_model.m_nHeight > kMaxDibDimension)
    return Fail("the canvas size is out of range");
  if (frameCount < 0 || objectCount < 0) return Fail("negative frame or object count");

  if (m_progress) {
    m_progress->SetCaption(Tr("Building frames..."));
    m_progress->SetProgress(0);
  }
  if (m_version == V1000) {
    projectLoaded = false;
    return ReadOldFrames(frameCount);
  }

  const long long recordSize = m_version == V2000 ? 64 : m_version == V2001 ? 84 : 88;
  if (objectCount > m_in.Remaining() / recordSize) return Fail("the object count exceeds the file");
  for (std::int32_t i = 0; i < objectCount; ++i) {
    ObjectRecord r;
    if (!ReadObjectRecord(r)) return false;
    const long long next = m_in.Tell();
    if (!ReadObject(r) || !m_in.Seek(next)) return Fail("object " + std::to_string(i) + " cannot be read");
    if (!Step(i + 1, objectCount)) return false;
  }
  if (!ReadFrames(frameCount)) return false;
  projectLoaded = true;
  return true;
}

bool CProjectReader::ReadObjectRecord(ObjectRecord& r) {
  r.offset = m_in.U32();
  r.size = m_in.U32();
  if (m_version == V2003 || m_version == V2004) {
    r.kind = m_in.I32();
    m_in.U32();  // reserved (5)
  } else {
    r.width = m_in.I32();
    r.height = m_in.I32();
  }
  m_in.Bytes(r.name, sizeof r.name);
  if (m_version != V2000) {
    r.hasShadowFields = true;
    r.shadowColour = m_in.U32();
    r.shadowKind = m_in.U8();
    r.shadowTransparency = m_in.U8();
    r.shadowRatio = m_in.U8();
    r.shadowSoftness = m_in.U8();
    r.shadowDx = m_in.I32();
    r.shadowDy = m_in.I32();
    if (m_version != V2001) {
      r.hasPerspective = true;
      r.angle = m_in.U16();
      r.length = m_in.U16();
    }
    r.shadowPresent = m_in.U32();
  }
  return m_in.Ok() ? true : Fail("the object table is truncated");
}

bool CProjectReader::ReadObject(const ObjectRecord& r) {
  if (r.offset > m_in.Size() || r.size > m_in.Size() - r.offset) return Fail("an object's data lies outside the file");
  std::vector<BYTE> block(r.size);
  if (!m_in.Seek(r.offset) || !m_in.Bytes(block.data(), block.size())) return Fail("an object's data cannot be read");

  std::int32_t kind = OBJECT_RASTER;
  if (m_version == V2004) {
    if (r.kind == OBJECT_PICTURE || r.kind == OBJECT_TEXT || r.kind == OBJECT_SHAPE) kind = r.kind;
  } else if (m_version == V2003) {
    if (r.kind >= 1 && r.kind <= 3) kind = OBJECT_SHAPE;
    else if (r.kind == 4) kind = OBJECT_PICTURE;
    else if (r.kind == 5 || r.kind == 6) kind = OBJECT_TEXT;
  }

  DibPtr image;
  RefPtr<CDibFactory> factory;
  std::size_t pos = 0;
  if (m_version <= V2002) {
    image = DecodePlanes(block.data(), block.size(), pos, r.width, r.height);
  } else if (kind == OBJECT_RASTER) {
    if (block.size() >= 8) {
      const auto i32 = [&](std::size_t at) {
        return std::int32_t(std::uint32_t(block[at]) | std::uint32_t(block[at + 1]) << 8 |
                            std::uint32_t(block[at + 2]) << 16 | std::uint32_t(block[at + 3]) << 24);
      };
      pos = 8;
      image = DecodePlanes(block.data(), block.size(), pos, i32(0), i32(4));
    }
  } else {
    image = ReadGenerator(block, kind, r.kind, factory);
  }
  if (!image) return Fail("an object's data cannot be turned into a picture");

  auto object = MakeRef<CDib>(std::move(image), kind);
  if (!object->GetImage()) return Fail("an object's picture is unusable");
  object->m_pFactory = factory;
  object->m_strName = GbkToUtf8(r.name, sizeof r.name);
  if (r.hasShadowFields) {
    object->m_clrShadow = r.shadowColour;
    object->m_nShadowKind = r.shadowKind;
    object->m_byShadowTransparency = r.shadowTransparency;
    object->m_byShadowRatio = r.shadowRatio;
    object->m_byShadowSoftness = r.shadowSoftness;
    // Distances beyond any picture size only overflow the placement arithmetic.
    object->m_nShadowDistX = std::clamp<std::int32_t>(r.shadowDx, -kMaxDibDimension, kMaxDibDimension);
    object->m_nShadowDistY = std::clamp<std::int32_t>(r.shadowDy, -kMaxDibDimension, kMaxDibDimension);
  }
  if (r.hasPerspective) {
    // The shadow builder sizes its picture by these: keep them to sane values.
    object->m_nPerspectiveAngle = std::int16_t(std::min<int>(r.angle, 360));
    object->m_nPerspectiveLength = std::int16_t(std::min<int>(r.length, 1000));
  }
  if (r.shadowPresent) object->BuildShadow();
  m_model.m_objects.push_back(object);
  return true;
}

DibPtr CProjectReader::ReadGenerator(const std::vector<BYTE>& block, std::int32_t finalKind, std::int32_t storedKind,
                                     RefPtr<CDibFactory>& factory) {
  factory = CreateDibFactory(finalKind, storedKind, kVersionText[m_version]);
  if (!factory || block.empty()) return nullptr;
  std::vector<BYTE> copy(block);  // the factory's stream may not write into the original
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(::fmemopen(copy.data(), copy.size(), "rb"), &std::fclose);
  if (!stream) return nullptr;
  std::int32_t word = 0;
  if (finalKind != OBJECT_PICTURE) {
    if (copy.size() < 4) return nullptr;
    word = std::int32_t(std::uint32_t(copy[0]) | std::uint32_t(copy[1]) << 8 | std::uint32_t(copy[2]) << 16 |
                        std::uint32_t(copy[3]) << 24);
    if (std::fseek(stream.get(), 4, SEEK_SET) != 0) return nullptr;
  }
  if (!factory->Load(stream.get(), word, kVersionText[m_version], m_subVersion)) return nullptr;
  return DibPtr(factory->Build());
}

namespace {
// A frame's references in the sparse form: the first frame's references,
// hidden, become the base every frame shares; a frame keeps only those that
// differ from it.
CRefImageObjectList SparseRefs(RefPtr<CRefTable>& base, const std::vector<RefPtr<CRefImageObject>>& refs) {
  if (!base) {
    std::vector<RefPtr<CRefImageObject>> hidden;
    hidden.reserve(refs.size());
    for (const auto& r : refs) {
      auto h = MakeRef<CRefImageObject>(*r);
      h->m_bVisible = false;
      hidden.push_back(h);
    }
    base = MakeRef<CRefTable>(std::move(hidden));
  }
  CRefImageObjectList list(base, refs.size());
  for (std::size_t j = 0; j < refs.size(); ++j)
    if (!refs[j]->SameAs(*base->Get(j))) list.Set(j, refs[j]);
  return list;
}
}  // namespace

bool CProjectReader::ReadFrames(int frameCount) {
  if (frameCount > m_in.Remaining() / 16) return Fail("the frame count exceeds the file");
  const std::size_t n = m_model.m_objects.size();
  RefPtr<CRefTable> base;
  for (int i = 0; i < frameCount; ++i) {
    auto frame = MakeRef<CGifFrame>();
    m_in.U16();  // reserved
    frame->m_nDelay = m_in.U16();
    frame->m_nFlags = m_in.U32();
    frame->m_byTransparentIndex = m_in.U8();
    frame->m_byGraphicControl = m_in.U8();
    frame->m_byDescriptor = m_in.U8();
    m_in.U8();
    const std::int32_t refCount = m_in.I32();
    if (!m_in.Ok()) return Fail("the frame table is truncated");
    if (refCount < 0 || refCount > m_in.Remaining() / 12) return Fail("a frame's reference count exceeds the file");
    std::vector<RefPtr<CRefImageObject>> refs;
    refs.reserve(std::min<std::size_t>(std::size_t(refCount), n));
    for (std::int32_t j = 0; j < refCount; ++j) {
      auto ref = MakeRef<CRefImageObject>();
      ref->m_nX = m_in.I32();
      ref->m_nY = m_in.I32();
      ref->m_bVisible = m_in.U8() == 1;
      ref->m_bLocked = m_in.U8() == 1;
      ref->m_nTransparency = m_in.U8();
      m_in.U8();
      // References without an object are dropped.
      if (std::size_t(j) < n) {
        ref->m_pObject = m_model.m_objects[std::size_t(j)];
        refs.push_back(ref);
      }
    }
    // A frame with fewer references than objects gets hidden ones, so every
    // frame again holds one reference per object.
    for (std::size_t j = refs.size(); j < n; ++j) refs.push_back(MakeRef<CRefImageObject>(m_model.m_objects[j]));
    frame->m_refs = SparseRefs(base, refs);
    if (!m_in.Ok()) return Fail("the frame table is truncated");
    m_model.m_frames.push_back(frame);
  }
  return true;
}

bool CProjectReader::ReadOldFrames(int frameCount) {
  constexpr long long kMinFrame = 18 + 40;
  if (frameCount > m_in.Remaining() / kMinFrame) return Fail("the frame count exceeds the file");
  for (int i = 0; i < frameCount; ++i) {
    auto frame = MakeRef<CGifFrame>();
    auto ref = MakeRef<CRefImageObject>();
    ref->m_nX = m_in.U16();
    ref->m_nY = m_in.U16();
    m_in.U16();
    m_in.U16();
    frame->m_nDelay = m_in.U16();
    frame->m_nFlags = m_in.U32();
    frame->m_byTransparentIndex = m_in.U8();
    frame->m_byGraphicControl = m_in.U8();
    m_in.U8();
    const BYTE maskFlag = m_in.U8();
    if (!m_in.Ok()) return Fail("a frame record is truncated");
    DibPtr picture = ReadOldFramePicture(maskFlag == 1);
    if (!picture) return Fail("frame " + std::to_string(i) + " holds no usable picture");
    auto object = MakeRef<CDib>(std::move(picture));
    if (!object->GetImage()) return Fail("frame " + std::to_string(i) + " holds no usable picture");
    ref->m_pObject = object;
    frame->m_refs.push_back(ref);
    m_model.m_objects.push_back(object);
    m_model.m_frames.push_back(frame);
    if (!Step(i + 1, frameCount)) return false;
  }
  return true;
}

// A stored DIB (header, colour table, rows) and, with hasMask, a 1-bit mask
// of the same size whose clear bits become transparent.
DibPtr CProjectReader::ReadOldFramePicture(bool hasMask) {
  BITMAPINFOHEADER h{};
  static_assert(sizeof h == 40);
  if (!m_in.Bytes(&h, sizeof h)) return nullptr;
  if (h.biSize < 40 || !m_in.Skip(static_cast<long long>(h.biSize) - 40)) return nullptr;
  if (h.biHeight < -kMaxDibDimension || h.biHeight > kMaxDibDimension) return nullptr;
  const LONG w = h.biWidth, height = DibHeight(&h);
  const int bits = h.biBitCount;
  if (w < 1 || height < 1 || w > kMaxDibDimension || height > kMaxDibDimension || h.biPlanes != 1) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  if (h.biCompression != BI_RGB) return nullptr;
  DWORD colours = 0;
  if (bits <= 8) {
    colours = h.biClrUsed ? h.biClrUsed : (1u << bits);
    if (colours > (1u << bits)) return nullptr;
  }
  const std::size_t pitch = DibPitch(w, bits);
  const std::size_t rowBytes = pitch * std::size_t(height);
  const std::size_t maskBytes = hasMask ? DibPitch(w, 1) * std::size_t(height) : 0;
  if (static_cast<long long>(colours) * 4 + static_cast<long long>(rowBytes + maskBytes) > m_in.Remaining())
    return nullptr;
  DibPtr dib(DibAlloc(w, height, bits, colours));
  if (!dib) return nullptr;
  if (colours && !m_in.Bytes(DibPalette(dib.get()), std::size_t(colours) * 4)) return nullptr;
  // Stored rows follow the header's order; DibAlloc is bottom-up.
  std::vector<BYTE> rows(rowBytes);
  if (!m_in.Bytes(rows.data(), rows.size())) return nullptr;
  const bool topDown = DibTopDown(&h);
  for (LONG y = 0; y < height; ++y) {
    const LONG stored = topDown ? y : height - 1 - y;
    std::memcpy(DibRow(dib.get(), y), rows.data() + std::size_t(stored) * pitch, pitch);
  }
  DibPtr out(CDIB32::ConvertTo32BitsDIB(dib.get()));
  if (!out) return nullptr;
  if (hasMask) {
    std::vector<BYTE> mask(maskBytes);
    if (!m_in.Bytes(mask.data(), mask.size())) return nullptr;
    const std::size_t maskPitch = DibPitch(w, 1);
    for (LONG y = 0; y < height; ++y) {
      const LONG stored = topDown ? y : height - 1 - y;
      const BYTE* m = mask.data() + std::size_t(stored) * maskPitch;
      BYTE* d = DibRow(out.get(), y);
      for (LONG x = 0; x < w; ++x)
        if (!(m[x >> 3] & (0x80 >> (x & 7)))) d[4 * x + 3] = 0;
    }
  }
  return out;
}

}  // namespace

bool RegisterDibFactory(std::int32_t kind, DibFactoryCreator creator) {
  if (kind != OBJECT_PICTURE && kind != OBJECT_TEXT && kind != OBJECT_SHAPE) return false;
  if (creator)
    Registry()[kind] = std::move(creator);
  else
    Registry().erase(kind);
  return true;
}

RefPtr<CDibFactory> CreateDibFactory(std::int32_t kind, std::int32_t storedKind, const char* version) {
  auto it = Registry().find(kind);
  if (it == Registry().end() || !it->second) return nullptr;
  return it->second(storedKind, version);
}

bool ReadProjectStream(CGifImage& model, std::FILE* file, long long fileSize, CTevCommonProgress* progress,
                       CProjectReadInfo* info) {
  model.Clear();
  CProjectReadInfo local;
  CProjectReadInfo& out = info ? *info : local;
  out = CProjectReadInfo{};
  if (!file || fileSize < 0) {
    out.reason = "cannot read the file";
    return false;
  }
  CProjectIn in(file, fileSize);
  if (!in.Seek(0)) {
    out.reason = "cannot read the file";
    return false;
  }
  CProjectReader reader(model, in, progress, out.reason);
  bool loaded = false;
  const bool ok = reader.Read(loaded);
  if (progress) progress->EndProgress();
  if (!ok) {
    model.Clear();
    if (out.reason.empty()) out.reason = "the project cannot be read";
    return false;
  }
  out.projectLoaded = loaded;
  return true;
}

bool ReadProjectFile(CGifImage& model, const std::string& path, CTevCommonProgress* progress, CProjectReadInfo* info) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    model.Clear();
    if (info) *info = CProjectReadInfo{false, "cannot open the file"};
    return false;
  }
  long long size = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
  return ReadProjectStream(model, file.get(), size, progress, info);
}
