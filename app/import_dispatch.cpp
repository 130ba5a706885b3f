#include "app/import_dispatch.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "app/avi_import.h"
#include "app/gif_rebuild.h"
#include "app/layered_open.h"
#include "app/loopwright_app.h"
#include "app/project_file.h"
#include "app/prompt.h"
#include "companions/dibkernel/dib_kernel.h"
#include "companions/imageio/tev_image_io.h"
#include "companions/base/tr.h"

using namespace TevImageIO;

namespace {

struct ExtensionEntry {
  const char* ext;
  int format;  // 0: not a codec format (LWP, AVI)
};

const ExtensionEntry kExtensions[] = {
    {"AVI", 0},  {"LWP", 0},  {"BMP", IMAGE_FORMAT_BMP},   {"DIB", IMAGE_FORMAT_BMP},  {"JPG", IMAGE_FORMAT_JPEG},
    {"JPEG", IMAGE_FORMAT_JPEG}, {"PCX", IMAGE_FORMAT_PCX}, {"PNG", IMAGE_FORMAT_PNG}, {"TGA", IMAGE_FORMAT_TGA},
    {"TIF", IMAGE_FORMAT_TIFF}, {"TIFF", IMAGE_FORMAT_TIFF}, {"PSD", IMAGE_FORMAT_PSD}, {"WMF", IMAGE_FORMAT_WMF},
    {"EMF", IMAGE_FORMAT_EMF}, {"ICO", IMAGE_FORMAT_ICO}, {"CUR", IMAGE_FORMAT_CUR}, {"ANI", IMAGE_FORMAT_ANI},
    {"GIF", IMAGE_FORMAT_GIF},
};

const ExtensionEntry* FindExtension(const std::string& ext) {
  for (const auto& e : kExtensions)
    if (ext == e.ext) return &e;
  return nullptr;
}

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

// A sub-image's picture as a 32-bit image: the mask's clear bits and the
// transparent palette index become alpha 0.
// An 8-bit picture in one pass: palette colour, alpha 0 where the mask is
// clear or the pixel is the transparent index, written straight into a
// picture whose pixels are not zeroed first. Indexes past the palette read
// as opaque black, as in the general conversion.
DibPtr Indexed8To32(const CTevSubImageBlock& block, const BITMAPINFOHEADER* mask) {
  const BITMAPINFOHEADER* pic = block.picture.get();
  const LONG w = pic->biWidth, h = DibHeight(pic);
  DibPtr out(DibAllocForWrite(w, h, 32));
  if (!out) return nullptr;
  std::array<std::uint32_t, 256> lut;
  lut.fill(0xFF000000u);
  const RGBQUAD* pal = DibPalette(pic);
  const std::size_t n = std::min<std::size_t>(DibPaletteEntries(pic), 256);
  for (std::size_t i = 0; i < n; ++i)
    lut[i] = pal[i].rgbBlue | std::uint32_t(pal[i].rgbGreen) << 8 | std::uint32_t(pal[i].rgbRed) << 16 | 0xFF000000u;
  if (block.transparentIndex >= 0 && block.transparentIndex < 256) lut[std::size_t(block.transparentIndex)] &= 0x00FFFFFFu;
  for (LONG y = 0; y < h; ++y) {
    const BYTE* s = DibRow(pic, y);
    BYTE* d = DibRow(out.get(), y);
    for (LONG x = 0; x < w; ++x) {
      const std::uint32_t v = lut[s[x]];
      std::memcpy(d + 4 * x, &v, 4);
    }
    if (const BYTE* m = mask ? DibRow(mask, y) : nullptr)
      for (LONG x = 0; x < w; ++x)
        if (!(m[x >> 3] & (0x80 >> (x & 7)))) d[4 * x + 3] = 0;
  }
  return out;
}

DibPtr To32Bits(const CTevSubImageBlock& block) {
  const BITMAPINFOHEADER* pic = block.picture.get();
  if (!pic) return nullptr;
  const bool indexed = pic->biBitCount <= 8;
  if (pic->biBitCount == 8 && pic->biCompression == BI_RGB && DibHeaderValid(pic)) {
    const BITMAPINFOHEADER* m = block.mask.get();
    const bool usable = m && m->biBitCount == 1 && m->biWidth == pic->biWidth && DibHeight(m) == DibHeight(pic);
    return Indexed8To32(block, usable ? m : nullptr);
  }
  if (pic->biBitCount == 32 && !block.mask && !DibTopDown(pic) && pic->biCompression == BI_RGB)
    return DibPtr(DibCopy(pic));
  DibPtr out(CDIB32::ConvertTo32BitsDIB(pic));
  if (!out) return nullptr;
  const LONG w = out->biWidth, h = DibHeight(out.get());
  const BITMAPINFOHEADER* mask = block.mask.get();
  const bool maskUsable = mask && mask->biBitCount == 1 && mask->biWidth == w && DibHeight(mask) == h;
  const bool keyed = indexed && block.transparentIndex >= 0 && pic->biBitCount == 8;
  if (!maskUsable && !keyed) return out;
  for (LONG y = 0; y < h; ++y) {
    BYTE* d = DibRow(out.get(), y);
    const BYTE* m = maskUsable ? DibRow(mask, y) : nullptr;
    const BYTE* s = keyed ? DibRow(pic, y) : nullptr;
    for (LONG x = 0; x < w; ++x) {
      bool clear = false;
      if (m && !(m[x >> 3] & (0x80 >> (x & 7)))) clear = true;
      if (s && s[x] == BYTE(block.transparentIndex)) clear = true;
      if (clear) d[4 * x + 3] = 0;
    }
  }
  return out;
}

// Every block's picture in 32 bits (null where a conversion failed), on two
// threads: after decoding, converting is most of an import's time. Each
// block's decoded picture is dropped once converted, so the decoded file and
// the model are not held whole at the same time. Running out of memory on
// either thread throws std::bad_alloc here, as a conversion on this thread
// alone would.
std::vector<DibPtr> ConvertBlocks(const std::vector<CTevSubImageBlock*>& blocks) {
  std::vector<DibPtr> images(blocks.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> outOfMemory{false};
  const auto work = [&] {
    for (std::size_t k; !outOfMemory && (k = next.fetch_add(1)) < blocks.size();) {
      try {
        images[k] = To32Bits(*blocks[k]);
      } catch (const std::bad_alloc&) {
        outOfMemory = true;
      }
      blocks[k]->picture.reset();
      blocks[k]->mask.reset();
    }
  };
  std::thread helper;
  if (blocks.size() > 1 && std::thread::hardware_concurrency() > 1) {
    try {
      helper = std::thread(work);
    } catch (const std::system_error&) {
      // No second thread: this one converts them all.
    }
  }
  work();
  if (helper.joinable()) helper.join();
  if (outOfMemory) throw std::bad_alloc();
  return images;
}

void BuildOptions(std::unique_ptr<CTevImgImportOptions>& options, int format, bool layersAsObjects) {
  options = CTevImgImportOptions::NewImportOptions(format);
  if (!options) return;
  if (auto* psd = options->As<CTevPsdImportOptions>()) psd->layersAsObjects = layersAsObjects ? 1 : 0;
}

}  // namespace

std::string UpperExtension(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return ext;
}

bool ImportImageFile(CGifImage& model, const std::string& path, bool layersAsObjects, CPromptInterface& prompt,
                     CTevCommonProgress* progress, std::string* reason) {
  const ExtensionEntry* entry = FindExtension(UpperExtension(path));
  if (!entry || entry->format == 0) {
    SetReason(reason, "unsupported file type");
    return false;
  }
  std::unique_ptr<CTevImgImportOptions> options;
  BuildOptions(options, entry->format, layersAsObjects);
  prompt.SetStatusCaption(TrFormat("Loading file %s", {std::filesystem::path(path).filename().string()}));
  CTevImageInfoPack pack;
  pack.path = path;
  const int rc = LoadImageW(pack, options.get(), progress);
  if (progress) progress->EndProgress();
  if (rc != IMAGEIO_OK) {
    model.Clear();
    SetReason(reason, pack.errorText.empty() ? "the file could not be decoded" : pack.errorText);
    return false;
  }

  if (layersAsObjects) {
    auto frame = MakeRef<CGifFrame>();
    for (CTevSubImageBlock* b = &pack; b; b = b->next) {
      if (!b->picture || b->picture->biWidth <= 0 || DibHeight(b->picture.get()) <= 0) continue;
      DibPtr image = To32Bits(*b);
      if (!image) {
        model.Clear();
        SetReason(reason, "a layer could not be converted");
        return false;
      }
      auto object = MakeRef<CDib>(std::move(image));
      auto ref = MakeRef<CRefImageObject>(object);
      ref->m_nX = b->x;
      ref->m_nY = b->y;
      ref->m_nTransparency = b->byteA;
      ref->m_bVisible = b->byteB != 0;
      model.m_objects.push_back(object);
      frame->m_refs.push_back(ref);
    }
    model.m_frames.push_back(frame);
    model.m_nTransparencyState = 0;
  } else {
    std::vector<CTevSubImageBlock*> blocks;
    for (CTevSubImageBlock* b = &pack; b; b = b->next)
      if (b->picture) blocks.push_back(b);
    std::vector<DibPtr> images = ConvertBlocks(blocks);
    for (std::size_t k = 0; k < blocks.size(); ++k) {
      CTevSubImageBlock* b = blocks[k];
      DibPtr image = std::move(images[k]);
      if (!image) {
        model.Clear();
        SetReason(reason, "a picture could not be converted");
        return false;
      }
      auto object = MakeRef<CDib>(std::move(image));
      model.m_objects.push_back(object);
      auto frame = MakeRef<CGifFrame>();
      auto ref = MakeRef<CRefImageObject>(object);
      ref->m_nX = b->x;
      ref->m_nY = b->y;
      frame->m_refs.push_back(ref);
      // The format the codec found: an animated cursor may hide behind ".cur".
      if (pack.format == IMAGE_FORMAT_GIF) {
        frame->m_nDelay = b->delay;
        frame->m_byGraphicControl = b->byteB;
        frame->m_byDescriptor = b->byteA;
        frame->m_byTransparentIndex = BYTE(b->transparentIndex < 0 ? 0 : b->transparentIndex);
      } else if (pack.format == IMAGE_FORMAT_ANI) {
        frame->m_nDelay = b->delay;
      }
      model.m_frames.push_back(frame);
    }
    model.m_nTransparencyState = pack.transparencyMode == 0 ? 0 : pack.transparencyMode == 1 ? 1 : 2;
    if (pack.format == IMAGE_FORMAT_GIF) {
      model.m_gifExtensions = std::move(pack.extensions);
      model.m_nGifFileLoop = pack.loopCount;
    }
    if (pack.format == IMAGE_FORMAT_GIF && pack.loopCount >= 0) {
      model.m_bLoopForever = pack.loopCount == 0;
      model.m_nLoopCount = pack.loopCount == 0 ? 1 : pack.loopCount;
    } else if (pack.format == IMAGE_FORMAT_GIF) {
      // No loop extension: the file plays once.
      model.m_bLoopForever = 0;
      model.m_nLoopCount = 1;
    }
    if (pack.format == IMAGE_FORMAT_GIF && !RebuildGifFrames(model)) {
      model.Clear();
      SetReason(reason, "the GIF frames could not be composed");
      return false;
    }
  }
  if (model.m_frames.empty() || (!layersAsObjects && model.m_objects.empty())) {
    model.Clear();
    SetReason(reason, "the file holds no picture");
    return false;
  }
  model.m_nWidth = pack.width;
  model.m_nHeight = pack.height;
  model.m_nImageColorIndex = pack.imageColorIndex;
  model.m_clrBackground = pack.backgroundColor;
  if (model.m_nWidth <= 0 || model.m_nHeight <= 0) {
    model.Clear();
    SetReason(reason, "the picture has no size");
    return false;
  }
  return true;
}

bool OpenAnimationFile(CGifImage& model, const std::string& path, CLoopwrightApp& app, CPromptInterface& prompt,
                       CTevCommonProgress* progress, std::string* reason) {
  model.Clear();
  const std::string ext = UpperExtension(path);
  const ExtensionEntry* entry = FindExtension(ext);
  if (!entry) {
    SetReason(reason, "unsupported file type");
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    SetReason(reason, "no such file");
    return false;
  }
  if (ext == "LWP") {
    CProjectReadInfo info;
    const bool ok = ReadProjectFile(model, path, progress, &info);
    app.m_bProjectLoaded = ok && info.projectLoaded;
    if (!ok) SetReason(reason, info.reason);
    return ok;
  }
  if (ext == "AVI") return ImportAviFile(model, path, progress, reason);
  const bool layers = ext == "PSD" && ChooseLayersAsObjects(path, app, prompt);
  if (progress) progress->EndProgress();
  return ImportImageFile(model, path, layers, prompt, progress, reason);
}
