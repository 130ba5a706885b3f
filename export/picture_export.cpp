#include "export/picture_export.h"

#include <algorithm>

#include "app/frame_render.h"
#include "app/gbk_text.h"
#include "companions/dibkernel/dib_kernel.h"
#include "export/cursor_export.h"
#include "export/gif_pipeline.h"

using namespace TevImageIO;

namespace {

bool Fail(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
  return false;
}

bool FullyOpaque(const BITMAPINFOHEADER* dib) {
  for (LONG y = 0; y < DibHeight(dib); ++y) {
    const BYTE* row = DibRow(dib, y);
    for (LONG x = 0; x < DibWidth(dib); ++x)
      if (row[4 * x + 3] != 255) return false;
  }
  return true;
}

// The object's picture with its shadow drawn under it, as one layer, and
// where the layer's top-left lies relative to the object.
DibPtr ObjectWithShadow(const CDib& obj, POINT& offset) {
  const BITMAPINFOHEADER* image = obj.GetImage();
  const BITMAPINFOHEADER* shadow = obj.GetShadowImage();
  offset = POINT{0, 0};
  if (!shadow) return DibPtr(DibCopy(image));
  const LONG sx = obj.m_nShadowPosX, sy = obj.m_nShadowPosY;
  const LONG left = std::min<LONG>(0, sx), top = std::min<LONG>(0, sy);
  const LONG right = std::max<LONG>(DibWidth(image), sx + DibWidth(shadow));
  const LONG bottom = std::max<LONG>(DibHeight(image), sy + DibHeight(shadow));
  DibPtr layer(CDIB32::CreateBlank32BitsDIB(right - left, bottom - top));
  if (!layer) return nullptr;
  CDIB32::BitBlt32DIB(layer.get(), POINT{-left, -top}, shadow, POINT{sx, sy}, obj.m_byShadowTransparency);
  CDIB32::BitBlt32DIB(layer.get(), POINT{-left, -top}, image, POINT{0, 0}, 0);
  offset = POINT{left, top};
  return layer;
}

}  // namespace

bool PrepareLayeredFrame(const CGifImage& model, const CGifFrame& frame, CTevImageInfoPack& pack, std::string* reason) {
  pack.DestroyChain();
  DibPtr merged = RenderFrame(model, frame);
  if (!merged) return Fail(reason, "the frame could not be composed");
  if (FullyOpaque(merged.get())) merged.reset(CBitmapConverter::Convert32BitsTo24Bits(merged.get()));
  if (!merged) return Fail(reason, "out of memory");
  pack.picture = std::move(merged);
  pack.width = model.m_nWidth;
  pack.height = model.m_nHeight;
  pack.format = IMAGE_FORMAT_PSD;
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  for (const auto& ref : frame.m_refs) {
    if (!ref || !ref->m_pObject || !ref->m_pObject->GetImage()) continue;
    const CDib& obj = *ref->m_pObject;
    auto layer = std::make_unique<CTevPsdSubImgBlock>();
    POINT offset{};
    layer->picture = ObjectWithShadow(obj, offset);
    if (!layer->picture) {
      pack.DestroyChain();
      return Fail(reason, "out of memory");
    }
    layer->x = ref->m_nX + offset.x;
    layer->y = ref->m_nY + offset.y;
    layer->byteA = BYTE(std::clamp(ref->m_nTransparency, 0, 255));
    layer->byteB = ref->m_bVisible ? 1 : 0;
    const std::string name = Utf8ToGbk(obj.m_strName, 255);
    layer->SetLayerName(name.c_str(), int(name.size()));
    pack.AppendBlock(std::move(layer));
  }
  return true;
}

bool PrepareFramePicture(CLoopwrightDoc& doc, const CGifFrame& frame, const std::string& ext, POINT hotSpot,
                         CTevImageInfoPack& pack, std::unique_ptr<CTevImgExportOptions>& options, std::string* reason) {
  pack.DestroyChain();
  int format = 0;
  if (ext == "GIF") format = IMAGE_FORMAT_GIF;
  else if (ext == "JPG" || ext == "JPEG") format = IMAGE_FORMAT_JPEG;
  else if (ext == "PNG") format = IMAGE_FORMAT_PNG;
  else if (ext == "PSD") format = IMAGE_FORMAT_PSD;
  else if (ext == "BMP" || ext == "DIB") format = IMAGE_FORMAT_BMP;
  else if (ext == "PCX") format = IMAGE_FORMAT_PCX;
  else if (ext == "TGA") format = IMAGE_FORMAT_TGA;
  else if (ext == "TIF" || ext == "TIFF") format = IMAGE_FORMAT_TIFF;
  else if (ext == "ICO") format = IMAGE_FORMAT_ICO;
  else if (ext == "CUR") format = IMAGE_FORMAT_CUR;
  else if (ext == "ANI") format = IMAGE_FORMAT_ANI;
  else return Fail(reason, "unsupported picture type: " + (ext.empty() ? std::string("(none)") : ext));
  options = CTevImgExportOptions::NewExportOptions(format);
  if (!options) return Fail(reason, "unsupported picture type: " + ext);

  switch (format) {
    case IMAGE_FORMAT_GIF: {
      // The frame alone through the GIF optimizer.
      CGifImage single;
      single.m_nWidth = doc.m_nWidth;
      single.m_nHeight = doc.m_nHeight;
      single.m_nOutputColors = doc.m_nOutputColors;
      single.m_nOutputReduction = doc.m_nOutputReduction;
      single.m_nOutputQuality = doc.m_nOutputQuality;
      single.m_clrOutputMatte = doc.m_clrOutputMatte;
      single.m_frames.push_back(MakeRef<CGifFrame>(frame));
      CGifOptimizeResult result;
      CGifFrameOptimizer optimizer(single, GifOptionsFromModel(single));
      if (!optimizer.Run(result, nullptr)) return Fail(reason, "the frame could not be prepared");
      auto* gif = options->As<CTevGifExportOptions>();
      if (!FillGifPack(result, single, pack, *gif, true)) return Fail(reason, "the frame could not be prepared");
      gif->animated = 0;
      return true;
    }
    case IMAGE_FORMAT_ICO:
    case IMAGE_FORMAT_CUR:
    case IMAGE_FORMAT_ANI: return PrepareCursorFrame(doc, frame, format, hotSpot, pack, *options, reason);
    case IMAGE_FORMAT_PSD: return PrepareLayeredFrame(doc, frame, pack, reason);
    default: break;
  }
  DibPtr picture = RenderFrame(doc, frame);
  if (!picture) return Fail(reason, "the frame could not be composed");
  if (format == IMAGE_FORMAT_JPEG || format == IMAGE_FORMAT_PCX) {
    // No transparency in these formats: show the frame over the output matte.
    CDIB32::Fill32DIBBackground(picture.get(), (doc.m_clrOutputMatte >> 24) ? 0xFFFFFF : doc.m_clrOutputMatte);
  }
  if (auto* jpeg = options->As<CTevJpegExportOptions>()) {
    const CLoopwrightApp& app = doc.App();
    jpeg->quality = std::clamp<int>(app.Pref("JPGQuality"), 1, 100);
    DWORD flags = kJpegFlagBase;
    if (app.Pref("EncodeJPGProgress")) flags |= kJpegFlagProgressive;
    const int sub = app.Pref("EncodeJPGSubfile");
    if (sub == 0) flags = (flags | kJpegFlagSubsample420) & ~kJpegFlagSubsample422;
    else if (sub == 1) flags = (flags | kJpegFlagSubsample422) & ~kJpegFlagSubsample420;
    else flags &= ~(kJpegFlagSubsample420 | kJpegFlagSubsample422);
    jpeg->flags = flags;
    jpeg->reserved = 12;
  }
  pack.picture = std::move(picture);
  pack.width = doc.m_nWidth;
  pack.height = doc.m_nHeight;
  pack.format = format;
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  return true;
}
