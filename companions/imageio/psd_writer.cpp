// PSD writer: an 8-bit RGB document. The pack's own picture is the merged
// image (RGB, with an alpha plane when it is 32-bit); every further block is
// a layer, bottom to top, at its position with opacity 255 - byteA, hidden
// when byteB is 0, and its name (ANSI bytes). Layers carry R, G, B and (with
// layerChannels 4, the default) their transparency channel. Channel data is
// PackBits compressed.
#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/dib_pixels.h"

namespace TevImageIO {

namespace {

// Big-endian, as the format stores its numbers.
void PutBE16(std::vector<BYTE>& out, unsigned v) {
  out.push_back(BYTE(v >> 8));
  out.push_back(BYTE(v));
}
void PutBE32(std::vector<BYTE>& out, DWORD v) {
  for (int i = 3; i >= 0; --i) out.push_back(BYTE(v >> (8 * i)));
}
void Set32(std::vector<BYTE>& out, std::size_t at, DWORD v) {
  for (int i = 0; i < 4; ++i) out[at + std::size_t(i)] = BYTE(v >> (8 * (3 - i)));
}

// PackBits of one row.
void PackBits(const BYTE* p, std::size_t n, std::vector<BYTE>& out) {
  std::size_t i = 0;
  while (i < n) {
    std::size_t run = 1;
    while (i + run < n && run < 128 && p[i + run] == p[i]) ++run;
    if (run >= 2) {
      out.push_back(BYTE(257 - run));
      out.push_back(p[i]);
      i += run;
      continue;
    }
    std::size_t lit = 1;
    while (i + lit < n && lit < 128 && !(i + lit + 1 < n && p[i + lit] == p[i + lit + 1])) ++lit;
    out.push_back(BYTE(lit - 1));
    out.insert(out.end(), p + i, p + i + lit);
    i += lit;
  }
}

// The picture's planes (R, G, B, A order) as rows of bytes; alpha from the mask
// and transparent index too.
std::vector<std::vector<BYTE>> Planes(const CTevSubImageBlock& b, int planes) {
  const BITMAPINFOHEADER* pic = b.picture.get();
  const LONG w = DibWidth(pic), h = DibHeight(pic);
  std::vector<std::vector<BYTE>> out(std::size_t(planes), std::vector<BYTE>(std::size_t(w) * std::size_t(h)));
  std::vector<BYTE> row(std::size_t(w) * 4);
  const BITMAPINFOHEADER* mask = b.mask.get();
  for (LONG y = 0; y < h; ++y) {
    DibRowToBgra(pic, y, row.data());
    ApplyTransparentIndexRow(pic, y, b.transparentIndex, row.data());
    ApplyMaskRow(mask, y, row.data(), w);
    for (LONG x = 0; x < w; ++x) {
      const std::size_t at = std::size_t(y) * std::size_t(w) + std::size_t(x);
      const BYTE* p = &row[std::size_t(x) * 4];
      out[0][at] = p[2];
      out[1][at] = p[1];
      out[2][at] = p[0];
      if (planes > 3) out[3][at] = p[3];
    }
  }
  return out;
}

// Row byte counts (16-bit each) then the PackBits rows of every plane.
void Compress(const std::vector<std::vector<BYTE>>& planes, LONG w, LONG h, std::vector<BYTE>& counts,
              std::vector<BYTE>& data) {
  for (const auto& plane : planes)
    for (LONG y = 0; y < h; ++y) {
      const std::size_t before = data.size();
      PackBits(plane.data() + std::size_t(y) * std::size_t(w), std::size_t(w), data);
      PutBE16(counts, unsigned(data.size() - before));
    }
}

}  // namespace

int WritePsd(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress* progress) {
  const CTevPsdExportOptions* psd = options ? options->As<CTevPsdExportOptions>() : nullptr;
  const bool layerAlpha = !psd || psd->layerChannels != 3;
  const BITMAPINFOHEADER* merged = pack.picture.get();
  if (!DibReadable(merged)) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "PSD: the merged picture is not a valid DIB");
  const LONG w = pack.width > 0 ? pack.width : DibWidth(merged), h = pack.height > 0 ? pack.height : DibHeight(merged);
  if (DibWidth(merged) != w || DibHeight(merged) != h || w > 30000 || h > 30000)
    return Fail(pack, IMAGEIO_ERR_ARGUMENT, "PSD: the merged picture must have the canvas size (at most 30000)");
  const bool mergedAlpha = merged->biBitCount == 32 || pack.mask || pack.transparentIndex >= 0;
  const int mergedPlanes = mergedAlpha ? 4 : 3;

  std::vector<BYTE> out = {'8', 'B', 'P', 'S'};
  PutBE16(out, 1);
  out.insert(out.end(), 6, 0);
  PutBE16(out, unsigned(mergedPlanes));
  PutBE32(out, DWORD(h));
  PutBE32(out, DWORD(w));
  PutBE16(out, 8);
  PutBE16(out, 3);  // RGB
  PutBE32(out, 0);  // colour mode data
  PutBE32(out, 0);  // image resources

  std::vector<const CTevSubImageBlock*> layers;
  for (const CTevSubImageBlock* b = pack.next; b; b = b->next) {
    if (!DibReadable(b->picture.get())) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "PSD: a layer is not a valid DIB");
    layers.push_back(b);
  }
  if (layers.size() > 0x7FFF) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "PSD: too many layers");
  const std::size_t sectionAt = out.size();
  PutBE32(out, 0);  // layer and mask information length, set below
  if (!layers.empty()) {
    const std::size_t infoAt = out.size();
    PutBE32(out, 0);  // layer info length, set below
    PutBE16(out, unsigned(layers.size()));
    const int channels = layerAlpha ? 4 : 3;
    std::vector<std::vector<BYTE>> channelData;
    for (const CTevSubImageBlock* b : layers) {
      const LONG lw = DibWidth(b->picture.get()), lh = DibHeight(b->picture.get());
      auto planes = Planes(*b, 4);
      if (!layerAlpha) planes.resize(3);
      PutBE32(out, DWORD(b->y));
      PutBE32(out, DWORD(b->x));
      PutBE32(out, DWORD(b->y + lh));
      PutBE32(out, DWORD(b->x + lw));
      PutBE16(out, unsigned(channels));
      // Alpha first, as Photoshop writes it.
      const int order[4] = {3, 0, 1, 2};
      for (int k = layerAlpha ? 0 : 1; k < 4; ++k) {
        std::vector<BYTE> counts, data;
        Compress({planes[std::size_t(order[k])]}, lw, lh, counts, data);
        std::vector<BYTE> channel;
        PutBE16(channel, 1);
        channel.insert(channel.end(), counts.begin(), counts.end());
        channel.insert(channel.end(), data.begin(), data.end());
        PutBE16(out, order[k] == 3 ? 0xFFFF : unsigned(order[k]));
        PutBE32(out, DWORD(channel.size()));
        channelData.push_back(std::move(channel));
      }
      out.insert(out.end(), {'8', 'B', 'I', 'M', 'n', 'o', 'r', 'm'});
      out.push_back(BYTE(255 - b->byteA));
      out.push_back(0);                     // clipping
      out.push_back(b->byteB ? 0 : 0x02);   // flags: bit 1 hidden
      out.push_back(0);
      std::string name = b->layerName.substr(0, 255);
      const std::size_t nameBytes = (1 + name.size() + 3) / 4 * 4;
      PutBE32(out, DWORD(4 + 4 + nameBytes));
      PutBE32(out, 0);  // no layer mask
      PutBE32(out, 0);  // no blending ranges
      out.push_back(BYTE(name.size()));
      out.insert(out.end(), name.begin(), name.end());
      out.insert(out.end(), nameBytes - 1 - name.size(), 0);
      if (!Step(progress, (long long)channelData.size(), (long long)layers.size() * channels))
        return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
    }
    for (const auto& c : channelData) out.insert(out.end(), c.begin(), c.end());
    if ((out.size() - infoAt - 4) & 1) out.push_back(0);
    Set32(out, infoAt, DWORD(out.size() - infoAt - 4));
    PutBE32(out, 0);  // global layer mask info
  }
  Set32(out, sectionAt, DWORD(out.size() - sectionAt - 4));

  // Merged image: PackBits, all row counts first.
  std::vector<BYTE> counts, data;
  Compress(Planes(pack, mergedPlanes), w, h, counts, data);
  PutBE16(out, 1);
  out.insert(out.end(), counts.begin(), counts.end());
  out.insert(out.end(), data.begin(), data.end());
  return WriteWholeFile(pack, out);
}

}  // namespace TevImageIO
