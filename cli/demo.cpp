#include "cli/demo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/frame_render.h"
#include "companions/dibkernel/dib_kernel.h"

namespace {

// A disc of the colour with a soft one-pixel edge, transparent around it.
DibPtr MakeDisc(int size, COLORREF colour) {
  DibPtr dib(CDIB32::CreateBlank32BitsDIB(size, size));
  if (!dib) return nullptr;
  const double c = (size - 1) / 2.0, r = size / 2.0 - 0.5;
  for (int y = 0; y < size; ++y) {
    BYTE* p = DibRow(dib.get(), y);
    for (int x = 0; x < size; ++x, p += 4) {
      const double d = std::hypot(x - c, y - c);
      const double cover = std::clamp(r - d + 0.5, 0.0, 1.0);
      p[0] = GetBValue(colour);
      p[1] = GetGValue(colour);
      p[2] = GetRValue(colour);
      p[3] = BYTE(cover * 255 + 0.5);
    }
  }
  return dib;
}

RefPtr<CDib> AddObject(CLoopwrightDoc& doc, DibPtr picture, int shadowKind) {
  auto object = MakeRef<CDib>(std::move(picture));
  object->m_strName = doc.App().NextDefaultObjectName();
  object->m_nShadowKind = shadowKind;
  object->BuildShadow();
  doc.InsertObject(doc.GetObjectCount(), object);
  return object;
}

}  // namespace

int RunDemo(CLoopwrightDoc& doc, const std::string& outDir) {
  if (!doc.OnNewDocument(200, 120)) {
    std::fprintf(stderr, "loopwright: demo: out of memory\n");
    return 1;
  }
  // Frame 0 holds the white background object; add seven more frames.
  CGifFrame* first = doc.GetFrame(0);
  for (int i = 1; i < 8; ++i) {
    auto frame = MakeRef<CGifFrame>(*first);
    doc.InsertFrame(i, frame);
  }
  auto square = AddObject(doc, DibPtr(CDIB32::CreateSimple32BitsDIB(36, 36, RGB(220, 40, 40), 255)), 4);
  auto disc = AddObject(doc, MakeDisc(44, RGB(40, 90, 230)), 5);
  auto bar = AddObject(doc, DibPtr(CDIB32::CreateSimple32BitsDIB(16, 50, RGB(30, 160, 60), 255)), 7);
  disc->m_byShadowSoftness = 8;
  disc->BuildShadow();
  for (int i = 0; i < doc.GetFrameCount(); ++i) {
    CGifFrame& f = *doc.GetFrame(i);
    f.m_nDelay = 12;
    CRefImageObject& sq = *f.m_refs[1];
    sq.m_nX = 10 + i * 18;
    sq.m_nY = 20 + int(20 * std::sin(i * 0.8));
    sq.m_bVisible = true;
    CRefImageObject& dc = *f.m_refs[2];
    dc.m_nX = 120;
    dc.m_nY = 40;
    dc.m_bVisible = i % 4 != 3;     // hidden every fourth frame
    dc.m_nTransparency = i * 24;    // fades out
    CRefImageObject& br = *f.m_refs[3];
    br.m_nX = 60;
    br.m_nY = 50;
    br.m_bVisible = i >= 2;         // appears from frame 2 on
  }
  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  for (int i = 0; i < doc.GetFrameCount(); ++i) {
    DibPtr picture = RenderFrame(doc, *doc.GetFrame(i));
    char name[32];
    std::snprintf(name, sizeof name, "frame_%02d.png", i);
    const std::string path = (std::filesystem::path(outDir) / name).string();
    std::string reason;
    if (!picture || !WritePngPicture(picture.get(), path, &reason)) {
      std::fprintf(stderr, "loopwright: 保存到 %s 文件失败! %s\n", path.c_str(), reason.c_str());
      return 1;
    }
    std::printf("wrote %s (%d x %d, frame %d of %d)\n", path.c_str(), doc.m_nWidth, doc.m_nHeight, i + 1,
                doc.GetFrameCount());
  }
  return 0;
}
