// GIF reader on giflib: every image of the file becomes one sub-image block
// with its descriptor byte, graphic-control byte, delay, transparent index,
// position and an 8-bit picture in its local or the global colour table.
// A file that breaks off keeps the images that decoded whole.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/gif_lzw.h"

namespace TevImageIO {

namespace {

// Decoded pixels of all frames together may not exceed this.
constexpr unsigned long long kMaxGifDecodedBytes = 4ull << 30;
// Comment and application extensions kept for writing back; past this many
// the rest are read and dropped.
constexpr std::size_t kMaxKeptExtensions = 1024;

struct GifSource {
  const BYTE* data;
  std::size_t size;
  std::size_t pos;
};

int GifRead(GifFileType* gif, GifByteType* out, int n) {
  auto* src = static_cast<GifSource*>(gif->UserData);
  if (n <= 0) return 0;
  std::size_t take = std::min<std::size_t>(std::size_t(n), src->size - src->pos);
  std::memcpy(out, src->data + src->pos, take);
  src->pos += take;
  return int(take);
}

struct GifCloser {
  GifFileType* gif;
  ~GifCloser() {
    if (gif) DGifCloseFile(gif, nullptr);
  }
};

// The graphic control values that apply to the next image.
struct PendingControl {
  BYTE packed = 0;
  WORD delay = 0;
  int transparent = -1;
};

// The sub-blocks of an image's code stream, joined; false when the file
// breaks off before the empty block that ends them.
bool TakeSubBlocks(GifSource& src, std::vector<std::uint8_t>* joined) {
  if (joined) joined->clear();
  while (src.pos < src.size) {
    const std::size_t n = src.data[src.pos++];
    if (n == 0) return true;
    const std::size_t take = std::min(n, src.size - src.pos);
    if (joined) joined->insert(joined->end(), src.data + src.pos, src.data + src.pos + take);
    src.pos += take;
  }
  return false;
}

// Buffers the reader reuses from image to image.
struct RasterScratch {
  std::vector<std::uint8_t> codes;      // the joined code stream
  std::vector<std::uint16_t> decoded;   // indexes in stream order (interlaced images)
  std::vector<std::uint16_t> pixels;    // indexes in row order
};

// Decodes the current image's code stream (minimum code size minCodeSize,
// the stream starting at src.pos) into w x h indexes in row order
// (scratch.pixels), undoing interlace. Our own decoder rather than giflib's,
// which stops at minimum code sizes above 8: 9 to 11 are legal and some
// encoders write them.
bool ReadRaster(GifSource& src, int minCodeSize, int w, int h, bool interlaced, RasterScratch& scratch) {
  TakeSubBlocks(src, &scratch.codes);  // a missing terminator only matters if pixels are missing
  const std::size_t count = std::size_t(w) * std::size_t(h);
  std::vector<std::uint16_t>& into = interlaced ? scratch.decoded : scratch.pixels;
  into.resize(count);
  if (DecodeGifLzw(scratch.codes.data(), scratch.codes.size(), minCodeSize, into.data(), count) != count) return false;
  if (!interlaced) return true;
  scratch.pixels.resize(count);
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  std::size_t row = 0;
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < h; y += kStep[pass], ++row)
      std::copy_n(scratch.decoded.begin() + std::ptrdiff_t(row * std::size_t(w)), w,
                  scratch.pixels.begin() + std::ptrdiff_t(std::size_t(y) * std::size_t(w)));
  return true;
}

// The index that stands for a literal code past 255 (possible with wide
// codes): like every index past the colour table it shows black, so it is
// the first entry past the table that is not the transparent index, or the
// darkest table entry when the table has all 256 entries.
BYTE PastTableIndex(const ColorMapObject* map, int transparent) {
  const int mapCount = map ? map->ColorCount : 0;
  for (int i = mapCount; i < 256; ++i)
    if (i != transparent) return BYTE(i);
  int best = 0, bestSum = 1 << 30;
  for (int i = 0; i < mapCount; ++i) {
    const int sum = map->Colors[i].Red + map->Colors[i].Green + map->Colors[i].Blue;
    if (i != transparent && sum < bestSum) best = i, bestSum = sum;
  }
  return BYTE(best);
}

// Builds the block's picture (and mask when the frame has a transparent index).
bool FillBlock(CTevSubImageBlock& block, const GifImageDesc& desc, const ColorMapObject* map,
               const std::vector<std::uint16_t>& wide, bool withMask) {
  const int w = desc.Width, h = desc.Height;
  const BYTE pastTable = PastTableIndex(map, block.transparentIndex);
  // Indexes past 255 (wide codes) are rare: a plain maximum, which the
  // compiler vectorizes, tells whether any pixel needs the substitute.
  std::uint16_t widest = 0;
  for (const std::uint16_t v : wide) widest = std::max(widest, v);
  const bool substitute = widest > 255;
  int maxIndex = widest;
  if (substitute) {
    maxIndex = 0;
    for (const std::uint16_t v : wide) maxIndex = std::max<int>(maxIndex, v < 256 ? v : pastTable);
  }
  const int mapCount = map ? map->ColorCount : 0;
  // Every index the pixels use must have a table entry.
  const DWORD entries = DWORD(std::max(mapCount, maxIndex + 1));
  // Every row is written below, so the pixels need not be zeroed first.
  DibPtr dib(DibAllocForWrite(w, h, 8, entries));
  if (!dib) return false;
  RGBQUAD* pal = DibPalette(dib.get());
  for (DWORD i = 0; i < entries; ++i) {
    if (int(i) < mapCount)
      pal[i] = RGBQUAD{map->Colors[i].Blue, map->Colors[i].Green, map->Colors[i].Red, 0};
    else if (!map)
      pal[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};  // no table at all: a grey ramp
  }
  const std::size_t stride = DibStride(dib.get());
  for (int y = 0; y < h; ++y) {
    BYTE* row = DibRow(dib.get(), y);
    const std::uint16_t* src = wide.data() + std::size_t(y) * std::size_t(w);
    if (substitute)
      for (int x = 0; x < w; ++x) row[x] = src[x] < 256 ? BYTE(src[x]) : pastTable;
    else
      for (int x = 0; x < w; ++x) row[x] = BYTE(src[x]);
    std::memset(row + w, 0, stride - std::size_t(w));
  }

  if (withMask && block.transparentIndex >= 0) {
    DibPtr mask(DibAlloc(w, h, 1, 2));
    if (!mask) return false;
    DibPalette(mask.get())[1] = RGBQUAD{255, 255, 255, 0};
    for (int y = 0; y < h; ++y) {
      BYTE* row = DibRow(mask.get(), y);
      const BYTE* src = DibRow(dib.get(), y);
      for (int x = 0; x < w; ++x)
        if (src[x] != block.transparentIndex) row[x >> 3] |= BYTE(0x80 >> (x & 7));
    }
    block.mask = std::move(mask);
  }
  block.picture = std::move(dib);
  return true;
}

}  // namespace

bool SniffGif(const BYTE* head, std::size_t size) {
  return size >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

int ReadGif(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffGif(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not a GIF file: " + pack.path);
  const CTevMultiImageImportOptions* multi = options ? options->As<CTevMultiImageImportOptions>() : nullptr;
  const bool allImages = !multi || multi->allImages;
  const bool withMasks = !multi || multi->withMasks;

  GifSource src{bytes.data(), bytes.size(), 0};
  int error = 0;
  GifCloser closer{DGifOpen(&src, GifRead, &error)};
  GifFileType* gif = closer.gif;
  if (!gif) return Fail(pack, IMAGEIO_ERR_FORMAT, std::string("GIF: ") + (GifErrorString(error) ? GifErrorString(error) : "bad header"));
  if (gif->SWidth > kMaxDibDimension || gif->SHeight > kMaxDibDimension)
    return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "GIF: canvas dimensions exceed the limits");
  const std::uint64_t budget = options ? options->maxPixels : 0;
  if (!WithinPixelBudget(budget, gif->SWidth, gif->SHeight))
    return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "GIF: canvas larger than the pixel budget");

  pack.width = gif->SWidth;
  pack.height = gif->SHeight;
  pack.imageColorIndex = gif->SBackGroundColor;
  if (gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount) {
    const GifColorType& c = gif->SColorMap->Colors[gif->SBackGroundColor];
    pack.backgroundColor = RGB(c.Red, c.Green, c.Blue);
  }

  PendingControl control;
  CTevSubImageBlock* last = nullptr;  // last block filled; the pack is the first
  RasterScratch scratch;
  unsigned long long decoded = 0;
  std::string stopReason;
  bool done = false, anyTransparent = false;
  while (!done) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
      stopReason = "GIF: file breaks off";
      break;
    }
    switch (type) {
      case IMAGE_DESC_RECORD_TYPE: {
        // giflib parses the descriptor and the local colour table and reads
        // the minimum code size; it refuses sizes above 8, which we decode.
        const std::size_t descAt = src.pos;
        const bool descOk = DGifGetImageDesc(gif) != GIF_ERROR;
        int minCodeSize = -1;
        if (descAt + 9 <= src.size) {
          const BYTE packed = src.data[descAt + 8];
          const std::size_t codeSizeAt = descAt + 9 + ((packed & 0x80) ? 3u << ((packed & 7) + 1) : 0u);
          if (src.pos == codeSizeAt + 1) minCodeSize = src.data[codeSizeAt];
        }
        if (minCodeSize < 1 || minCodeSize > 11 || (!descOk && minCodeSize <= 8)) {
          stopReason = "GIF: bad image descriptor";
          done = true;
          break;
        }
        const GifImageDesc desc = gif->Image;
        if (desc.Width <= 0 || desc.Height <= 0) {
          if (!TakeSubBlocks(src, nullptr)) done = true;
          control = PendingControl{};
          break;
        }
        if (!DimensionsAllowed(desc.Width, desc.Height, 8))
          return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "GIF: image dimensions exceed the limits");
        if (!WithinPixelBudget(budget, desc.Width, desc.Height))
          return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "GIF: image larger than the pixel budget");
        // A k-bit LZW code stands for at most 2^k pixels, so no byte holds
        // more than 4096 x 8 / 12 of them: a picture larger than the rest of
        // the file can fill breaks off, and is not allocated.
        if ((unsigned long long)desc.Width * desc.Height > (src.size - src.pos) * 2731ull + 4096) {
          stopReason = "GIF: image data breaks off";
          done = true;
          break;
        }
        decoded += (unsigned long long)desc.Width * desc.Height;
        if (decoded > kMaxGifDecodedBytes) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "GIF: too much image data");
        if (!ReadRaster(src, minCodeSize, desc.Width, desc.Height, desc.Interlace, scratch)) {
          stopReason = "GIF: image data breaks off";
          done = true;
          break;
        }
        std::unique_ptr<CTevSubImageBlock> owned;
        CTevSubImageBlock* block = &pack;
        if (last) {
          owned = std::make_unique<CTevSubImageBlock>();
          block = owned.get();
        }
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        BYTE descriptor = 0;
        if (desc.ColorMap) descriptor |= BYTE(0x80 | (desc.ColorMap->SortFlag ? 0x20 : 0) | ((desc.ColorMap->BitsPerPixel - 1) & 7));
        if (desc.Interlace) descriptor |= 0x40;
        block->x = desc.Left;
        block->y = desc.Top;
        block->byteA = descriptor;
        block->byteB = control.packed;
        block->delay = control.delay;
        block->transparentIndex = control.transparent;
        if (control.transparent >= 0) anyTransparent = true;
        if (!FillBlock(*block, desc, map, scratch.pixels, withMasks)) return Fail(pack, IMAGEIO_ERR_MEMORY, "GIF: out of memory");
        if (owned) {
          // last is the chain's tail: link after it instead of walking the
          // chain from the head for every frame.
          owned->prev = last;
          owned->next = nullptr;
          last->next = owned.release();
        }
        last = block;
        control = PendingControl{};
        if (!allImages) done = true;
        if (!Step(progress, (long long)src.pos, (long long)src.size)) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
        break;
      }
      case EXTENSION_RECORD_TYPE: {
        int code = 0;
        GifByteType* ext = nullptr;
        // giflib reads through GifRead without buffering: the introducer
        // byte lies just before src.pos, so the block can be kept whole.
        const std::size_t extStart = src.pos - 1;
        if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) {
          stopReason = "GIF: extension breaks off";
          done = true;
          break;
        }
        bool netscape = false;
        if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
          control.packed = ext[1];
          control.delay = WORD(ext[2] | (ext[3] << 8));
          control.transparent = (ext[1] & 1) ? ext[4] : -1;
        } else if (code == APPLICATION_EXT_FUNC_CODE && ext && ext[0] >= 11 &&
                   (std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(ext + 1, "ANIMEXTS1.0", 11) == 0)) {
          netscape = true;
        }
        bool broken = false;
        while (ext) {
          if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) {
            broken = true;
            break;
          }
          if (netscape && ext && ext[0] >= 3 && ext[1] == 1) pack.loopCount = ext[2] | (ext[3] << 8);
        }
        if (broken) {
          stopReason = "GIF: extension breaks off";
          done = true;
        } else if (!netscape && (code == COMMENT_EXT_FUNC_CODE || code == APPLICATION_EXT_FUNC_CODE) &&
                   extStart < src.pos && src.data[extStart] == 0x21 &&
                   pack.extensions.size() < kMaxKeptExtensions) {
          pack.extensions.emplace_back(src.data + extStart, src.data + src.pos);
        }
        break;
      }
      case TERMINATE_RECORD_TYPE:
        done = true;
        break;
      default:
        stopReason = "GIF: unknown record";
        done = true;
        break;
    }
  }
  if (!last) return Fail(pack, IMAGEIO_ERR_FORMAT, stopReason.empty() ? "GIF: no image in file" : stopReason);
  if (pack.width <= 0 || pack.height <= 0) {
    // No logical screen size: the canvas covers every image.
    for (CTevSubImageBlock* b = &pack; b; b = b->next) {
      pack.width = std::max(pack.width, b->x + int(DibWidth(b->picture.get())));
      pack.height = std::max(pack.height, b->y + int(DibHeight(b->picture.get())));
    }
    if (pack.width > kMaxDibDimension || pack.height > kMaxDibDimension)
      return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "GIF: canvas dimensions exceed the limits");
  }
  pack.transparencyMode = anyTransparent ? TRANSPARENCY_COLOR_INDEX : TRANSPARENCY_NONE;
  if (progress) progress->SetProgress(1.0f);
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
