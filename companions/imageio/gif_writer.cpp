// GIF writer on giflib: logical screen with one global colour table, the
// NETSCAPE loop extension when there is more than one image, then per block a
// graphic-control extension (disposal from the block's graphic-control byte,
// delay, transparent index; left out when it would hold only defaults) and an
// image descriptor with the block's interlace bit. Pixels hidden by a
// block's mask are written as its transparent index. A block whose colour
// table differs from the global one gets a local table.
//
// The same encoder serves CalcuGifImgLength through a counting sink, so the
// size it reports is the size of the file.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstring>
#include <tuple>
#include <vector>

#include "companions/dibkernel/dib_convert.h"
#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"
#include "companions/imageio/gif_lzw.h"
#include "companions/imageio/gif_module.h"

namespace TevImageIO {

namespace {

struct GifSink {
  FILE* file = nullptr;  // null: count only
  long long bytes = 0;
  bool failed = false;
};

int SinkWrite(GifFileType* gif, const GifByteType* data, int n) {
  auto* sink = static_cast<GifSink*>(gif->UserData);
  if (n <= 0) return 0;
  if (sink->file && std::fwrite(data, 1, std::size_t(n), sink->file) != std::size_t(n)) {
    sink->failed = true;
    return 0;
  }
  sink->bytes += n;
  return n;
}

struct GifEncoderCloser {
  GifFileType* gif = nullptr;
  ~GifEncoderCloser() {
    if (gif) EGifCloseFile(gif, nullptr);
  }
};

struct MapCloser {
  ColorMapObject* map = nullptr;
  ~MapCloser() { GifFreeMapObject(map); }
};

int BitsFor(int entries) {
  int bits = 1;
  while ((1 << bits) < entries && bits < 8) ++bits;
  return bits;
}

// A block's picture as an 8-bit palette picture: the block's own DIB when
// it already is one, else a converted copy kept in holder.
const BITMAPINFOHEADER* PalettePicture(const CTevSubImageBlock& b, DibPtr& holder) {
  const BITMAPINFOHEADER* pic = b.picture.get();
  if (!DibReadable(pic)) return nullptr;
  if (pic->biBitCount == 8 && pic->biCompression == BI_RGB) return pic;
  if (pic->biBitCount == 1) holder.reset(CBitmapConverter::Convert1BitsDibTo8BitsDib(pic));
  else if (pic->biBitCount == 4) holder.reset(CBitmapConverter::Convert4BitsDibTo8BitsDib(pic));
  else {
    DibPtr rgb(CBitmapConverter::ConvertDIBTo24Bits(pic));
    if (rgb) holder.reset(CBitmapConverter::Convert24BitsDIBToLowerBitsDIB(rgb.get(), 8));
  }
  return holder.get();
}

struct PreparedBlock {
  const CTevSubImageBlock* block;
  const BITMAPINFOHEADER* picture;
  DibPtr holder;
  const BITMAPINFOHEADER* mask;
  int transparent;
  bool localTable;
  int maxIndex;
  std::bitset<256> used;  // indexes of visible pixels
};

// Whether pixel x of a row shows: its mask bit is set and it does not hold
// the transparent index.
inline bool Shown(const BYTE* row, const BYTE* maskRow, LONG x, int transparent) {
  return (!maskRow || ((maskRow[x >> 3] >> (7 - (x & 7))) & 1)) && row[x] != transparent;
}

// The global table's order: indexes drawn by more images first, then by
// more pixels, so that an image drawing only common colours needs fewer
// index bits (its code size follows its largest index). The background
// index follows the drawn ones. order[old] is the new index.
std::array<int, 256> GlobalOrder(const std::vector<PreparedBlock>& blocks, const std::array<std::uint64_t, 256>& pixels,
                                 int background) {
  std::array<int, 256> images{};
  for (const PreparedBlock& p : blocks)
    if (!p.localTable)
      for (int i = 0; i < 256; ++i) images[std::size_t(i)] += p.used[std::size_t(i)] ? 1 : 0;
  std::array<int, 256> byRank;
  for (int i = 0; i < 256; ++i) byRank[std::size_t(i)] = i;
  auto rank = [&](int i) {
    const int group = images[std::size_t(i)] > 0 ? 0 : i == background ? 1 : 2;
    return std::make_tuple(group, -images[std::size_t(i)], -(long long)pixels[std::size_t(i)], i);
  };
  std::sort(byRank.begin(), byRank.end(), [&](int a, int b) { return rank(a) < rank(b); });
  std::array<int, 256> order{};
  for (int k = 0; k < 256; ++k) order[std::size_t(byRank[std::size_t(k)])] = k;
  return order;
}

// The smallest index no visible pixel of the image uses (its transparent
// index), -1 when every index is drawn.
int FirstUnused(const std::bitset<256>& used, const std::array<int, 256>* order) {
  std::bitset<256> mapped;
  for (int i = 0; i < 256; ++i)
    if (used[std::size_t(i)]) mapped.set(std::size_t(order ? (*order)[std::size_t(i)] : i));
  for (int i = 0; i < 256; ++i)
    if (!mapped[std::size_t(i)]) return i;
  return -1;
}

bool SamePalette(const BITMAPINFOHEADER* a, const BITMAPINFOHEADER* b, int count) {
  const std::size_t na = DibPaletteEntries(a), nb = DibPaletteEntries(b);
  for (int i = 0; i < count; ++i) {
    const bool ia = std::size_t(i) < na, ib = std::size_t(i) < nb;
    if (ia != ib) return false;
    if (!ia) continue;
    const RGBQUAD qa = DibPalette(a)[i], qb = DibPalette(b)[i];
    if (qa.rgbRed != qb.rgbRed || qa.rgbGreen != qb.rgbGreen || qa.rgbBlue != qb.rgbBlue) return false;
  }
  return true;
}

ColorMapObject* MakeMap(const BITMAPINFOHEADER* pic, int size) {
  std::vector<GifColorType> colours(std::size_t(size), GifColorType{0, 0, 0});
  const std::size_t n = std::min<std::size_t>(DibPaletteEntries(pic), std::size_t(size));
  for (std::size_t i = 0; i < n; ++i)
    colours[i] = GifColorType{DibPalette(pic)[i].rgbRed, DibPalette(pic)[i].rgbGreen, DibPalette(pic)[i].rgbBlue};
  return GifMakeMapObject(size, colours.data());
}

// An image descriptor (0x2C, place, size, flags) and its local table.
std::vector<GifByteType> ImageDescriptor(int x, int y, int w, int h, bool interlaced, const ColorMapObject* local) {
  std::vector<GifByteType> d = {0x2C};
  for (int v : {x, y, w, h}) {
    d.push_back(GifByteType(v & 0xFF));
    d.push_back(GifByteType((v >> 8) & 0xFF));
  }
  d.push_back(GifByteType((local ? 0x80 | (local->BitsPerPixel - 1) : 0) | (interlaced ? 0x40 : 0)));
  if (local)
    for (int i = 0; i < local->ColorCount; ++i)
      d.insert(d.end(), {local->Colors[i].Red, local->Colors[i].Green, local->Colors[i].Blue});
  return d;
}

// Data in sub-blocks of at most 255 bytes, then the empty block.
void AppendSubBlocks(const std::vector<std::uint8_t>& data, std::vector<GifByteType>& out) {
  for (std::size_t off = 0; off < data.size(); off += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - off);
    out.push_back(GifByteType(n));
    out.insert(out.end(), data.begin() + std::ptrdiff_t(off), data.begin() + std::ptrdiff_t(off + n));
  }
  out.push_back(0);
}

// Writes whole extension blocks (0x21, label, sub-blocks, terminator)
// through giflib; a block that does not parse is left out.
bool WriteKeptExtensions(GifFileType* gif, const std::vector<std::vector<BYTE>>& extensions) {
  for (const std::vector<BYTE>& raw : extensions) {
    if (raw.size() < 3 || raw[0] != 0x21) continue;
    std::vector<std::pair<std::size_t, std::size_t>> subs;
    std::size_t at = 2;
    bool whole = false;
    while (at < raw.size()) {
      const std::size_t n = raw[at];
      if (n == 0) {
        whole = at + 1 == raw.size();
        break;
      }
      if (at + 1 + n > raw.size()) break;
      subs.emplace_back(at + 1, n);
      at += 1 + n;
    }
    if (!whole) continue;
    if (EGifPutExtensionLeader(gif, raw[1]) == GIF_ERROR) return false;
    for (const auto& [off, n] : subs)
      if (EGifPutExtensionBlock(gif, int(n), raw.data() + off) == GIF_ERROR) return false;
    if (EGifPutExtensionTrailer(gif) == GIF_ERROR) return false;
  }
  return true;
}

// Encodes the pack into the sink. IMAGEIO_OK or an error with reason set.
int EncodeGif(CTevImageInfoPack& pack, const CTevGifExportOptions* options, GifSink& sink, std::string& reason,
              CTevCommonProgress* progress) {
  std::vector<PreparedBlock> blocks;
  std::array<std::uint64_t, 256> pixels{};  // visible pixels per index over all images
  int screenW = pack.width, screenH = pack.height;
  int globalMax = 0;
  for (const CTevSubImageBlock* b = &pack; b; b = b->next) {
    PreparedBlock p{b, nullptr, nullptr, nullptr, -1, false, 0, {}};
    p.picture = PalettePicture(*b, p.holder);
    if (!p.picture) {
      reason = "GIF: a frame has no usable picture";
      return IMAGEIO_ERR_ARGUMENT;
    }
    const LONG w = DibWidth(p.picture), h = DibHeight(p.picture);
    if (b->x < 0 || b->y < 0 || b->x > 0xFFFF - w || b->y > 0xFFFF - h) {
      reason = "GIF: a frame lies outside the 65535 x 65535 screen";
      return IMAGEIO_ERR_ARGUMENT;
    }
    const BITMAPINFOHEADER* m = b->mask.get();
    if (m && m->biBitCount == 1 && DibWidth(m) == w && DibHeight(m) == h && b->transparentIndex >= 0 &&
        b->transparentIndex < 256)
      p.mask = m;
    p.transparent = (b->transparentIndex >= 0 && b->transparentIndex < 256) ? b->transparentIndex : -1;
    // The indexes visible pixels use and how often; the transparent index
    // only needs a code, not a table entry.
    std::array<std::uint32_t, 256> counts{};
    for (LONG y = 0; y < h; ++y) {
      const BYTE* row = DibRow(p.picture, y);
      const BYTE* m = p.mask ? DibRow(p.mask, y) : nullptr;
      for (LONG x = 0; x < w; ++x)
        if (Shown(row, m, x, p.transparent)) ++counts[row[x]];
    }
    int maxIndex = 0;
    for (int i = 0; i < 256; ++i)
      if (counts[std::size_t(i)]) {
        p.used.set(std::size_t(i));
        maxIndex = i;
        pixels[std::size_t(i)] += counts[std::size_t(i)];
      }
    p.maxIndex = maxIndex;
    screenW = std::max<int>(screenW, b->x + w);
    screenH = std::max<int>(screenH, b->y + h);
    blocks.push_back(std::move(p));
  }
  if (screenW > 0xFFFF || screenH > 0xFFFF) {
    reason = "GIF: canvas exceeds 65535 x 65535";
    return IMAGEIO_ERR_TOO_LARGE;
  }

  // The global table: the first picture's colours, at least the record's size.
  const BITMAPINFOHEADER* globalPic = blocks.front().picture;
  int wanted = options ? std::clamp(options->colorCount, 2, 256) : 256;
  for (PreparedBlock& p : blocks) {
    if (p.maxIndex >= (1 << BitsFor(wanted)) || !SamePalette(p.picture, globalPic, std::max(p.maxIndex + 1, 1)))
      p.localTable = &p != &blocks.front();
    if (!p.localTable) globalMax = std::max(globalMax, p.maxIndex);
  }
  // Global images draw through the new order; each image's transparent
  // index becomes the smallest index it does not draw.
  const int givenBackground = pack.imageColorIndex >= 0 && pack.imageColorIndex < 256 ? pack.imageColorIndex : 0;
  const bool compact = options && options->compactIndexes;
  std::array<int, 256> order{};
  for (int i = 0; i < 256; ++i) order[std::size_t(i)] = i;
  if (compact) order = GlobalOrder(blocks, pixels, givenBackground);
  const int oldBits = BitsFor(std::max(wanted, globalMax + 1));
  const bool backgroundShown = pack.imageColorIndex >= 0 && pack.imageColorIndex < (1 << oldBits);
  globalMax = 0;
  for (PreparedBlock& p : blocks) {
    const std::array<int, 256>* map = p.localTable ? nullptr : &order;
    if (compact && (p.transparent >= 0 || p.mask)) {
      const int unused = FirstUnused(p.used, map);
      p.transparent = unused >= 0 ? unused : (map ? order[std::size_t(p.transparent)] : p.transparent);
    }
    if (map) {
      int top = 0;
      for (int i = 0; i < 256; ++i)
        if (p.used[std::size_t(i)]) top = std::max(top, order[std::size_t(i)]);
      p.maxIndex = top;
      globalMax = std::max(globalMax, top);
    }
  }
  int globalBits = BitsFor(std::max(wanted, globalMax + 1));
  for (const PreparedBlock& p : blocks)
    while (!p.localTable && p.transparent >= (1 << std::max(globalBits, 2))) ++globalBits;
  // The background keeps its colour when the table reaches its new slot.
  const int movedBackground = order[std::size_t(givenBackground)];
  if (backgroundShown) globalBits = std::max(globalBits, BitsFor(movedBackground + 1));
  std::vector<GifColorType> globalColours(std::size_t(1) << globalBits, GifColorType{0, 0, 0});
  for (int i = 0; i < 256; ++i) {
    const std::size_t to = std::size_t(order[std::size_t(i)]);
    if (to < globalColours.size() && std::size_t(i) < DibPaletteEntries(globalPic))
      globalColours[to] = GifColorType{DibPalette(globalPic)[i].rgbRed, DibPalette(globalPic)[i].rgbGreen,
                                       DibPalette(globalPic)[i].rgbBlue};
  }
  MapCloser global{GifMakeMapObject(int(globalColours.size()), globalColours.data())};
  if (!global.map) return IMAGEIO_ERR_MEMORY;

  int error = 0;
  GifEncoderCloser enc{EGifOpen(&sink, SinkWrite, &error)};
  GifFileType* gif = enc.gif;
  if (!gif) {
    reason = "GIF: cannot start the encoder";
    return IMAGEIO_ERR_MEMORY;
  }
  EGifSetGifVersion(gif, true);
  const int background = backgroundShown ? movedBackground : 0;
  auto failed = [&](const char* what) {
    reason = std::string("GIF: ") + what + (sink.failed ? ": write error" : "");
    return IMAGEIO_ERR_WRITE;
  };
  if (EGifPutScreenDesc(gif, screenW, screenH, globalBits, background, global.map) == GIF_ERROR)
    return failed("screen descriptor");
  // A single image does not animate, and an animation played once needs no
  // loop extension (a count of 1 is one play).
  const WORD loops = options ? options->loopCount : 0;
  const bool loopAlways = options && options->loopAlways;
  if ((!options || options->animated) && blocks.size() > 1 && (loops != 1 || loopAlways)) {
    const GifByteType app[11] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const GifByteType sub[3] = {1, GifByteType(loops & 0xFF), GifByteType(loops >> 8)};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 11, app) == GIF_ERROR || EGifPutExtensionBlock(gif, 3, sub) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif) == GIF_ERROR)
      return failed("loop extension");
  }
  if (options && !WriteKeptExtensions(gif, options->extensions)) return failed("extension");

  std::vector<GifPixelType> indexes;
  long long index = 0;
  for (PreparedBlock& p : blocks) {
    const CTevSubImageBlock& b = *p.block;
    const BYTE packed = BYTE((b.byteB & 0x1E) | (p.transparent >= 0 ? 1 : 0));
    const GifByteType gce[4] = {packed, GifByteType(b.delay & 0xFF), GifByteType(b.delay >> 8),
                                GifByteType(p.transparent >= 0 ? p.transparent : 0)};
    // No delay, no transparency and nothing to dispose: the extension would
    // only restate the defaults.
    const int disposal = (b.byteB >> 2) & 7;
    const bool plain = b.delay == 0 && p.transparent < 0 && disposal <= 1 && !(b.byteB & 0x02);
    if (!plain && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce) == GIF_ERROR) return failed("graphic control");
    const LONG w = DibWidth(p.picture), h = DibHeight(p.picture);
    const bool interlaced = (b.byteA & 0x40) != 0;
    int localBits = BitsFor(p.maxIndex + 1);
    while (p.transparent >= (1 << std::max(localBits, 2))) ++localBits;
    MapCloser local{p.localTable ? MakeMap(p.picture, 1 << localBits) : nullptr};
    if (p.localTable && !local.map) return IMAGEIO_ERR_MEMORY;
    // Rows in file order, hidden pixels as the transparent index, encoded by
    // our LZW coder (the smaller of its clear strategies). With compact
    // indexes the code size covers the indexes this image writes, not the
    // whole table: fewer bits per code where an image draws few colours.
    const int tableBits = local.map ? local.map->BitsPerPixel : global.map->BitsPerPixel;
    const int codeSize = std::max(2, compact ? BitsFor(std::max(p.maxIndex, p.transparent) + 1) : tableBits);
    const std::array<int, 256>* map = p.localTable ? nullptr : &order;
    indexes.resize(std::size_t(w) * std::size_t(h));
    std::size_t at = 0;
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    const int passes = interlaced ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      for (LONG y = interlaced ? kStart[pass] : 0; y < h; y += interlaced ? kStep[pass] : 1) {
        GifPixelType* line = indexes.data() + at;
        const BYTE* row = DibRow(p.picture, y);
        const BYTE* m = p.mask ? DibRow(p.mask, y) : nullptr;
        const int given = p.block->transparentIndex >= 0 && p.block->transparentIndex < 256 ? p.block->transparentIndex : -1;
        for (LONG x = 0; x < w; ++x)
          line[x] = Shown(row, m, x, given) ? GifPixelType(map ? (*map)[row[x]] : row[x]) : GifPixelType(p.transparent);
        at += std::size_t(w);
      }
    }
    std::vector<std::uint8_t> codes;
    if (options && options->lossy > 0) {
      const ColorMapObject* table = local.map ? local.map : global.map;
      std::vector<std::uint32_t> colours;
      // Only indexes this image's code size can carry may stand in.
      for (int i = 0; i < std::min(table->ColorCount, 1 << codeSize); ++i)
        colours.push_back(std::uint32_t(table->Colors[i].Red) << 16 | std::uint32_t(table->Colors[i].Green) << 8 |
                          table->Colors[i].Blue);
      const auto near = GifNearIndexes(colours.data(), int(colours.size()), p.transparent, options->lossy);
      codes = EncodeGifLzwLossy(indexes.data(), indexes.size(), codeSize, near);
    } else {
      codes = EncodeGifLzwSmallest(indexes.data(), indexes.size(), codeSize);
    }
    if (options && options->flexibleLzw && options->lossy <= 0) {
      std::vector<std::uint8_t> flexible = EncodeGifLzwFlexible(indexes.data(), indexes.size(), codeSize);
      if (flexible.size() < codes.size()) codes = std::move(flexible);
    }
    // The image goes out directly (giflib would announce the table's code
    // size rather than this image's): descriptor, local table, code size,
    // sub-blocks, terminator.
    std::vector<GifByteType> out = ImageDescriptor(b.x, b.y, w, h, interlaced, local.map);
    out.push_back(GifByteType(codeSize));
    AppendSubBlocks(codes, out);
    if (SinkWrite(gif, out.data(), int(out.size())) != int(out.size())) return failed("image data");
    if (!Step(progress, ++index, (long long)blocks.size())) {
      reason = "cancelled";
      return IMAGEIO_ERR_CANCELLED;
    }
  }
  GifFileType* done = enc.gif;
  enc.gif = nullptr;
  if (EGifCloseFile(done, &error) == GIF_ERROR || sink.failed) return failed("trailer");
  return IMAGEIO_OK;
}

}  // namespace

int WriteGif(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress* progress) {
  const CTevGifExportOptions* gif = options ? options->As<CTevGifExportOptions>() : nullptr;
  CAtomicFileWriter writer(pack.path);
  std::string reason;
  GifSink sink;
  sink.file = writer.Open(reason);
  if (!sink.file) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  const int rc = EncodeGif(pack, gif, sink, reason, progress);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!writer.Commit(reason)) return Fail(pack, IMAGEIO_ERR_WRITE, reason);
  if (progress) progress->SetProgress(1.0f);
  return IMAGEIO_OK;
}

long long CCalcuGifModule::CalcuGifImgLength(CTevImageInfoPack& pack, const CTevGifExportOptions* options,
                                             CTevCommonProgress* progress) {
  if (!pack.picture) return -1;
  GifSink sink;
  std::string reason;
  if (EncodeGif(pack, options, sink, reason, progress) != IMAGEIO_OK) {
    pack.errorText = reason;
    return -1;
  }
  return sink.bytes;
}

}  // namespace TevImageIO
