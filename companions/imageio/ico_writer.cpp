// ICO and CUR writers: one directory entry per block. Palette pictures of 8
// bits or less are stored as 8-bit entries with their colour table, other
// depths as 32-bit BGRA; every entry has an AND mask from the block's mask
// (set bits opaque; no mask: all opaque). Cursor entries carry the block's
// hot spot, or the options' hot spot when the block's is (0, 0).
// EncodeIconFile is shared with the ANI writer.
#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"
#include "companions/imageio/icon_encode.h"

namespace TevImageIO {

namespace {

bool MaskOpaque(const BITMAPINFOHEADER* mask, LONG x, LONG y) {
  return !mask || ((DibRow(mask, y)[x >> 3] >> (7 - (x & 7))) & 1);
}

// The entry's image: BITMAPINFOHEADER with doubled height, colour table, XOR rows, AND rows.
bool EncodeEntry(const CTevSubImageBlock& b, std::vector<BYTE>& out, int& bits, std::string& reason) {
  const BITMAPINFOHEADER* pic = b.picture.get();
  if (!DibReadable(pic)) {
    reason = "a picture is not a valid uncompressed DIB";
    return false;
  }
  const LONG w = DibWidth(pic), h = DibHeight(pic);
  if (w > 256 || h > 256) {
    reason = "icon and cursor pictures are at most 256 x 256";
    return false;
  }
  const BITMAPINFOHEADER* mask = b.mask.get();
  if (mask && (mask->biBitCount != 1 || DibWidth(mask) != w || DibHeight(mask) != h)) mask = nullptr;
  bits = pic->biBitCount <= 8 ? 8 : 32;
  const std::size_t xorStride = DibPitch(w, bits), andStride = DibPitch(w, 1);
  Put32(out, 40);
  Put32(out, DWORD(w));
  Put32(out, DWORD(h * 2));
  Put16(out, 1);
  Put16(out, unsigned(bits));
  Put32(out, 0);
  Put32(out, DWORD((xorStride + andStride) * std::size_t(h)));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, bits == 8 ? 256 : 0);
  Put32(out, 0);
  int clearIndex = 0;  // XOR value under transparent pixels: black, so the screen shows through
  if (bits == 8) {
    const std::size_t entries = std::min<std::size_t>(DibPaletteEntries(pic), 256);
    bool haveBlack = false;
    for (std::size_t i = 0; i < 256; ++i) {
      const RGBQUAD q = i < entries ? DibPalette(pic)[i] : RGBQUAD{0, 0, 0, 0};
      if (!haveBlack && q.rgbRed == 0 && q.rgbGreen == 0 && q.rgbBlue == 0) {
        haveBlack = true;
        clearIndex = int(i);
      }
      out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
    }
  }
  std::vector<BYTE> row(std::size_t(w) * 4);
  for (LONG y = h - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    out.resize(start + xorStride, 0);
    BYTE* dst = out.data() + start;
    if (bits == 8) {
      for (LONG x = 0; x < w; ++x) dst[x] = MaskOpaque(mask, x, y) ? BYTE(DibIndexAt(pic, y, x)) : BYTE(clearIndex);
    } else {
      DibRowToBgra(pic, y, row.data());
      ApplyTransparentIndexRow(pic, y, b.transparentIndex, row.data());
      ApplyMaskRow(mask, y, row.data(), w);
      for (LONG x = 0; x < w; ++x)
        if (row[std::size_t(x) * 4 + 3] == 0) std::memset(&row[std::size_t(x) * 4], 0, 4);
      std::memcpy(dst, row.data(), std::size_t(w) * 4);
    }
  }
  for (LONG y = h - 1; y >= 0; --y) {
    const std::size_t start = out.size();
    out.resize(start + andStride, 0);
    for (LONG x = 0; x < w; ++x)
      if (!MaskOpaque(mask, x, y)) out[start + std::size_t(x >> 3)] |= BYTE(0x80 >> (x & 7));
  }
  return true;
}

}  // namespace

bool EncodeIconFile(const std::vector<const CTevSubImageBlock*>& blocks, bool cursor, DWORD defaultHotSpot,
                    std::vector<BYTE>& out, std::string& reason) {
  if (blocks.empty() || blocks.size() > 0xFFFF) {
    reason = "no pictures to write";
    return false;
  }
  std::vector<std::vector<BYTE>> images(blocks.size());
  std::vector<int> bits(blocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i)
    if (!EncodeEntry(*blocks[i], images[i], bits[i], reason)) return false;
  out.clear();
  Put16(out, 0);
  Put16(out, cursor ? 2 : 1);
  Put16(out, unsigned(blocks.size()));
  DWORD offset = DWORD(6 + 16 * blocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const CTevSubImageBlock& b = *blocks[i];
    const LONG w = DibWidth(b.picture.get()), h = DibHeight(b.picture.get());
    out.push_back(BYTE(w >= 256 ? 0 : w));
    out.push_back(BYTE(h >= 256 ? 0 : h));
    out.push_back(0);  // colour count: 0 for 8 bits and more
    out.push_back(0);
    if (cursor) {
      int hx = b.hotSpotX, hy = b.hotSpotY;
      if (hx == 0 && hy == 0) {
        hx = int(defaultHotSpot & 0xFFFF);
        hy = int(defaultHotSpot >> 16);
      }
      Put16(out, unsigned(std::clamp(hx, 0, int(w) - 1)));
      Put16(out, unsigned(std::clamp(hy, 0, int(h) - 1)));
    } else {
      Put16(out, 1);
      Put16(out, unsigned(bits[i]));
    }
    Put32(out, DWORD(images[i].size()));
    Put32(out, offset);
    offset += DWORD(images[i].size());
  }
  for (const auto& img : images) out.insert(out.end(), img.begin(), img.end());
  return true;
}

namespace {

int WriteIconOrCursor(CTevImageInfoPack& pack, const CTevImgExportOptions* options, bool cursor) {
  std::vector<const CTevSubImageBlock*> blocks;
  for (const CTevSubImageBlock* b = &pack; b; b = b->next) blocks.push_back(b);
  const CTevCursorExportOptions* c = options ? options->As<CTevCursorExportOptions>() : nullptr;
  std::vector<BYTE> bytes;
  std::string reason;
  if (!EncodeIconFile(blocks, cursor, c ? c->hotSpot : 0, bytes, reason))
    return Fail(pack, IMAGEIO_ERR_ARGUMENT, (cursor ? "CUR: " : "ICO: ") + reason);
  return WriteWholeFile(pack, bytes);
}

}  // namespace

int WriteIco(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress*) {
  return WriteIconOrCursor(pack, options, false);
}

int WriteCur(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress*) {
  return WriteIconOrCursor(pack, options, true);
}

}  // namespace TevImageIO
