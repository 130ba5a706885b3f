#include "cli/demo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/dib_factories.h"
#include "app/frame_render.h"
#include "cli/banner_commands.h"
#include "cli/transition_commands.h"
#include "export/export_dispatch.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/base/tr.h"

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

// Adds a generator object on top of model, shown in its one frame with the
// unrotated object box at (x, y).
bool AddVectorObject(CLoopwrightDoc& doc, CGifImage& model, RefPtr<CVectorDibFactory> factory, std::int32_t kind,
                     int x, int y, int shadowKind) {
  RefPtr<CDib> object = CreateGeneratorObject(factory, kind);
  if (!object) return false;
  object->m_strName = doc.App().NextDefaultObjectName();
  object->m_nShadowKind = shadowKind;
  object->BuildShadow();
  auto ref = MakeRef<CRefImageObject>(object);
  ref->m_nX = x + factory->RenderOrigin().x;
  ref->m_nY = y + factory->RenderOrigin().y;
  ref->m_bVisible = true;
  CRefImageObjectList refs;
  refs.push_back(ref);
  return model.InsertObject(model.GetObjectCount(), object, &refs);
}

// A one-frame scene on a white background object, rendered to outDir/name.
struct VectorScene {
  CGifImage model;
  bool Begin(LONG w, LONG h) {
    model.m_nWidth = w;
    model.m_nHeight = h;
    auto background = MakeRef<CDib>(DibPtr(CDIB32::CreateSimple32BitsDIB(w, h, RGB(255, 255, 255), 255)));
    if (!background->GetImage()) return false;
    auto frame = MakeRef<CGifFrame>(std::uint16_t(10));
    auto ref = MakeRef<CRefImageObject>(background);
    ref->m_bVisible = true;
    frame->m_refs.push_back(ref);
    model.m_objects.push_back(background);
    model.m_frames.push_back(frame);
    return true;
  }
  bool Write(const std::string& outDir, const char* name) {
    const std::string path = (std::filesystem::path(outDir) / name).string();
    DibPtr picture = RenderFrame(model, *model.m_frames.front());
    std::string reason;
    if (!picture || !WritePngPicture(picture.get(), path, &reason)) {
      std::fprintf(stderr, "loopwright: %s %s\n", TrFormat("Failed to save to the file %s!", {path}).c_str(), reason.c_str());
      return false;
    }
    std::printf("wrote %s (%d x %d)\n", path.c_str(), model.m_nWidth, model.m_nHeight);
    return true;
  }
};

// out/shapes.png: a row of gallery shapes; out/text.png: plain, outlined
// and shadowed text.
int WriteVectorDemo(CLoopwrightDoc& doc, const std::string& outDir) {
  using namespace TevCustomPathLibV;
  VectorScene shapes;
  if (!shapes.Begin(360, 110)) return 1;
  const struct {
    std::int32_t kind;
    COLORREF fill;
    double angle;
  } gallery[] = {{kShapeRoundRect, RGB(230, 80, 60), 0},  {kShapeEllipse, RGB(60, 140, 230), 0},
                 {kShapeStar, RGB(250, 200, 30), 15},     {kShapeArrow, RGB(70, 180, 90), -20},
                 {kShapeHeart, RGB(220, 50, 120), 0}};
  int x = 12;
  for (const auto& g : gallery) {
    CTevShapeObj shape(g.kind, 56, 56);
    shape.RenderProps().fillColour = g.fill;
    shape.RenderProps().outlineColour = RGB(40, 40, 40);
    shape.RenderProps().outlineWidth = 2.5;
    shape.SetAngle(g.angle);
    if (!AddVectorObject(doc, shapes.model, MakeRef<CShapeDibFactory>(shape), OBJECT_SHAPE, x, 24, 4)) return 1;
    x += 70;
  }
  if (!shapes.Write(outDir, "shapes.png")) return 1;

  VectorScene text;
  if (!text.Begin(360, 140)) return 1;
  const struct {
    const char* words;
    double size;
    COLORREF colour;
    bool outline;
    int shadow;
  } lines[] = {{"Loopwright", 40, RGB(30, 30, 160), false, 0},
               {"Outlined", 36, RGB(255, 220, 40), true, 0},
               {"Shadowed", 32, RGB(200, 40, 40), false, 4}};
  int y = 8;
  for (const auto& l : lines) {
    CTevTextObj t;
    t.SetText(l.words);
    TevFontDesc font = t.Font();
    font.size = l.size;
    font.bold = l.outline;
    t.SetFont(font);
    t.RenderProps().fillColour = l.colour;
    t.RenderProps().strokeOutline = l.outline;
    t.RenderProps().outlineColour = RGB(0, 0, 0);
    t.RenderProps().outlineWidth = 2;
    if (!AddVectorObject(doc, text.model, MakeRef<CTextDibFactory>(t), OBJECT_TEXT, 14, y, l.shadow)) return 1;
    y += int(l.size) + 4;
  }
  return text.Write(outDir, "text.png") ? 0 : 1;
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
    CRefImageObject& sq = *f.m_refs.Edit(1);
    sq.m_nX = 10 + i * 18;
    sq.m_nY = 20 + int(20 * std::sin(i * 0.8));
    sq.m_bVisible = true;
    CRefImageObject& dc = *f.m_refs.Edit(2);
    dc.m_nX = 120;
    dc.m_nY = 40;
    dc.m_bVisible = i % 4 != 3;     // hidden every fourth frame
    dc.m_nTransparency = i * 24;    // fades out
    CRefImageObject& br = *f.m_refs.Edit(3);
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
      std::fprintf(stderr, "loopwright: %s %s\n", TrFormat("Failed to save to the file %s!", {path}).c_str(), reason.c_str());
      return 1;
    }
    std::printf("wrote %s (%d x %d, frame %d of %d)\n", path.c_str(), doc.m_nWidth, doc.m_nHeight, i + 1,
                doc.GetFrameCount());
  }
  const std::string gif = (std::filesystem::path(outDir) / "demo.gif").string();
  std::string why;
  if (!ExportAnimationFile(doc, gif, nullptr, {}, &why)) {
    std::fprintf(stderr, "loopwright: %s %s\n", TrFormat("Failed to save to the file %s!", {gif}).c_str(), why.c_str());
    return 1;
  }
  std::printf("wrote %s (%d frames)\n", gif.c_str(), doc.GetFrameCount());
  if (const int rc = WriteVectorDemo(doc, outDir)) return rc;
  if (const int rc = WriteTransitionDemo(doc, outDir)) return rc;
  return WriteBannerDemo(doc, outDir);
}
