// PSD reader: greyscale, indexed and RGB pictures of 8 or 16 bits per
// channel, raw or PackBits channel data. By default the pack holds the merged
// picture; with the "layers as objects" option it holds the pixel layers
// bottom to top, each a CTevPsdSubImgBlock at its position with byteA its
// transparency (255 - opacity, so an opaque layer gives 0), byteB its visible
// flag and its name. Layers without pixels (group markers, empty layers) are
// left out. Pictures come out as 32-bit DIBs.
#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/psd_module.h"

namespace TevImageIO {

namespace {

constexpr int kMaxPsdLayers = 8192;
constexpr unsigned long long kMaxPsdDecodedBytes = 4ull << 30;

enum PsdMode { kModeGrey = 1, kModeIndexed = 2, kModeRgb = 3 };

struct PsdHeader {
  int channels = 0;
  LONG width = 0, height = 0;
  int depth = 0;
  int mode = 0;
  std::vector<BYTE> palette;  // indexed mode: 256 x R, G, B planes
};

struct PsdChannel {
  int id;
  std::size_t length;
};

struct PsdLayer {
  LONG top = 0, left = 0, bottom = 0, right = 0;
  std::vector<PsdChannel> channels;
  BYTE opacity = 255;
  bool visible = true;
  std::string name;
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  bool HasPixels() const { return Width() > 0 && Height() > 0; }
};

struct PsdFile {
  PsdHeader header;
  std::vector<PsdLayer> layers;
  std::size_t layerDataOffset = 0;  // channel data of the first layer
  bool mergedAlpha = false;         // a negative layer count: the merged picture's first extra channel is alpha
  std::size_t mergedOffset = 0;     // the merged picture's compression word
};

// Unpacks one PackBits row into out (n bytes); false when the source runs short.
bool UnpackBitsRow(ByteReader& r, std::size_t packed, BYTE* out, std::size_t n) {
  const std::size_t end = r.pos() + packed;
  if (packed > r.remaining()) return false;
  std::size_t done = 0;
  while (done < n && r.pos() < end) {
    const int c = static_cast<signed char>(r.U8());
    if (c >= 0) {
      const std::size_t len = std::size_t(c) + 1;
      if (len > end - r.pos()) return false;
      const BYTE* src = r.Take(len);
      const std::size_t take = std::min(len, n - done);
      std::memcpy(out + done, src, take);
      done += take;
    } else if (c != -128) {
      if (r.pos() >= end) return false;
      const BYTE v = r.U8();
      const std::size_t take = std::min<std::size_t>(std::size_t(1 - c), n - done);
      std::memset(out + done, v, take);
      done += take;
    }
  }
  r.Seek(end);
  return done == n;
}

// Reads `count` planes of w x h samples (bytes per sample bps) that start with
// their compression word at r's cursor. Planes are kept as 8 bits (the high
// byte of 16-bit samples). rowCounts: the RLE counts of all planes come first
// (merged picture) rather than per plane (layer channels call this per channel).
bool ReadPlanes(ByteReader& r, int count, LONG w, LONG h, int bps, std::vector<std::vector<BYTE>>& planes) {
  const WORD compression = r.U16BE();
  if (!r.ok() || compression > 1) return false;
  const std::size_t rowBytes = std::size_t(w) * bps;
  std::vector<BYTE> row(rowBytes);
  std::vector<WORD> counts;
  // PackBits yields at most 128 bytes per 2 input bytes: refuse sizes the data cannot fill before allocating.
  if (std::size_t(count) * std::size_t(h) * rowBytes > r.remaining() * (compression == 1 ? 64 : 1)) return false;
  if (compression == 1) {
    counts.resize(std::size_t(count) * h);
    for (WORD& c : counts) c = r.U16BE();
    if (!r.ok()) return false;
  }
  planes.assign(std::size_t(count), std::vector<BYTE>(std::size_t(w) * h));
  for (int p = 0; p < count; ++p) {
    for (LONG y = 0; y < h; ++y) {
      if (compression == 0) {
        const BYTE* src = r.Take(rowBytes);
        if (!src) return false;
        std::memcpy(row.data(), src, rowBytes);
      } else if (!UnpackBitsRow(r, counts[std::size_t(p) * h + y], row.data(), rowBytes)) {
        return false;
      }
      BYTE* out = planes[p].data() + std::size_t(y) * w;
      for (LONG x = 0; x < w; ++x) out[x] = row[std::size_t(x) * bps];
    }
  }
  return true;
}

std::string ParseHeader(ByteReader& r, PsdHeader& h) {
  const BYTE* sig = r.Take(4);
  const WORD version = r.U16BE();
  r.Skip(6);
  h.channels = r.U16BE();
  h.height = LONG(r.U32BE() & 0x7FFFFFFF);
  h.width = LONG(r.U32BE() & 0x7FFFFFFF);
  h.depth = r.U16BE();
  h.mode = r.U16BE();
  if (!r.ok() || std::memcmp(sig, "8BPS", 4) != 0) return "not a PSD file";
  if (version != 1) return "PSD: large-document (PSB) files are not supported";
  if (h.channels < 1 || h.channels > 56) return "PSD: bad channel count";
  if (h.depth != 8 && h.depth != 16) return "PSD: only 8 and 16 bits per channel are supported";
  if (h.mode != kModeGrey && h.mode != kModeIndexed && h.mode != kModeRgb) return "PSD: unsupported colour mode";
  if (h.mode == kModeRgb && h.channels < 3) return "PSD: RGB picture with fewer than three channels";
  const DWORD modeData = r.U32BE();
  const BYTE* data = r.Take(modeData);
  if (!data) return "PSD: colour mode data breaks off";
  if (h.mode == kModeIndexed) {
    if (modeData < 768) return "PSD: indexed picture without a colour table";
    h.palette.assign(data, data + 768);
  }
  const DWORD resources = r.U32BE();
  if (!r.Skip(resources)) return "PSD: image resources break off";
  return {};
}

// Parses the layer records (not their pixels); the cursor ends at the merged picture.
std::string ParseLayers(ByteReader& r, PsdFile& f) {
  const DWORD sectionLength = r.U32BE();
  if (!r.ok() || sectionLength > r.remaining()) return "PSD: layer section breaks off";
  const std::size_t sectionEnd = r.pos() + sectionLength;
  f.mergedOffset = sectionEnd;
  if (sectionLength < 4) return {};
  const DWORD infoLength = r.U32BE();
  if (infoLength == 0) return {};
  if (infoLength > sectionEnd - r.pos()) return "PSD: layer info breaks off";
  const std::size_t infoEnd = r.pos() + infoLength;
  const int count = static_cast<short>(r.U16BE());
  f.mergedAlpha = count < 0;
  const int layers = count < 0 ? -count : count;
  if (layers > kMaxPsdLayers) return "PSD: too many layers";
  std::size_t channelBytes = 0;
  for (int i = 0; i < layers; ++i) {
    PsdLayer L;
    L.top = LONG(r.U32BE());
    L.left = LONG(r.U32BE());
    L.bottom = LONG(r.U32BE());
    L.right = LONG(r.U32BE());
    const int nch = r.U16BE();
    if (!r.ok() || nch > 56) return "PSD: bad layer record";
    for (int c = 0; c < nch; ++c) {
      const int id = static_cast<short>(r.U16BE());
      const DWORD len = r.U32BE();
      if (len > infoEnd - std::min(infoEnd, r.pos())) return "PSD: layer channel larger than the file";
      channelBytes += len;
      L.channels.push_back({id, len});
    }
    const BYTE* sig = r.Take(4);
    r.Skip(4);  // blend mode
    L.opacity = r.U8();
    r.Skip(1);  // clipping
    const BYTE flags = r.U8();
    L.visible = !(flags & 0x02);
    r.Skip(1);
    const DWORD extra = r.U32BE();
    if (!r.ok() || std::memcmp(sig, "8BIM", 4) != 0 || extra > r.remaining()) return "PSD: bad layer record";
    const std::size_t extraEnd = r.pos() + extra;
    ByteReader e(r.data(), extraEnd);
    e.Seek(r.pos());
    const DWORD maskLength = e.U32BE();
    e.Skip(maskLength);
    const DWORD rangesLength = e.U32BE();
    e.Skip(rangesLength);
    const BYTE nameLength = e.U8();
    const BYTE* name = e.Take(nameLength);
    if (name) L.name.assign(reinterpret_cast<const char*>(name), nameLength);
    // Bounds of a layer with pixels must make sense; others are skipped.
    const long long w = (long long)L.right - L.left, h = (long long)L.bottom - L.top;
    if (w > 0 && h > 0 && !DimensionsAllowed(w, h, 32)) return "PSD: layer dimensions exceed the limits";
    if (w <= 0 || h <= 0) L.right = L.left, L.bottom = L.top;
    r.Seek(extraEnd);
    f.layers.push_back(std::move(L));
  }
  f.layerDataOffset = r.pos();
  if (channelBytes > infoEnd - std::min(infoEnd, r.pos())) return "PSD: layer channel data breaks off";
  r.Seek(sectionEnd);
  return {};
}

// Colour of plane values at pixel i into a BGRA pixel.
void PlanesToBgra(const PsdHeader& h, const std::vector<const BYTE*>& colour, const BYTE* alpha, std::size_t i,
                  BYTE* out) {
  if (h.mode == kModeRgb) {
    out[0] = colour[2][i];
    out[1] = colour[1][i];
    out[2] = colour[0][i];
  } else if (h.mode == kModeIndexed) {
    const BYTE v = colour[0][i];
    out[0] = h.palette[512 + v];
    out[1] = h.palette[256 + v];
    out[2] = h.palette[v];
  } else {
    out[0] = out[1] = out[2] = colour[0][i];
  }
  out[3] = alpha ? alpha[i] : 255;
}

int ColourChannels(const PsdHeader& h) { return h.mode == kModeRgb ? 3 : 1; }

int ReadMerged(ByteReader& r, const PsdFile& f, DibPtr& picture, bool& anyAlpha, std::string& reason) {
  const PsdHeader& h = f.header;
  if (!DimensionsAllowed(h.width, h.height, 32)) {
    reason = "PSD: image dimensions exceed the limits";
    return IMAGEIO_ERR_TOO_LARGE;
  }
  const int colour = ColourChannels(h);
  const bool alpha = f.mergedAlpha && h.channels > colour;
  const int wanted = colour + (alpha ? 1 : 0);
  std::vector<std::vector<BYTE>> planes;
  r.Seek(f.mergedOffset);
  // The RLE counts cover every channel of the file, so read them all.
  if (!ReadPlanes(r, h.channels, h.width, h.height, h.depth / 8, planes) || int(planes.size()) < wanted) {
    reason = "PSD: merged picture data breaks off";
    return IMAGEIO_ERR_FORMAT;
  }
  picture.reset(DibAlloc(h.width, h.height, 32));
  if (!picture) {
    reason = "PSD: out of memory";
    return IMAGEIO_ERR_MEMORY;
  }
  std::vector<const BYTE*> cp;
  for (int c = 0; c < colour; ++c) cp.push_back(planes[c].data());
  const BYTE* ap = alpha ? planes[colour].data() : nullptr;
  for (LONG y = 0; y < h.height; ++y) {
    BYTE* row = DibRow(picture.get(), y);
    for (LONG x = 0; x < h.width; ++x) {
      PlanesToBgra(h, cp, ap, std::size_t(y) * h.width + x, row + x * 4);
      if (row[x * 4 + 3] != 255) anyAlpha = true;
    }
  }
  return IMAGEIO_OK;
}

// Decodes every pixel layer into blocks, bottom to top.
int ReadLayerPictures(const std::vector<BYTE>& bytes, const PsdFile& f,
                      std::vector<std::unique_ptr<CTevPsdSubImgBlock>>& blocks, std::string& reason,
                      CTevCommonProgress* progress) {
  const PsdHeader& h = f.header;
  std::size_t offset = f.layerDataOffset;
  unsigned long long decoded = 0;
  const int colour = ColourChannels(h);
  for (std::size_t i = 0; i < f.layers.size(); ++i) {
    const PsdLayer& L = f.layers[i];
    const LONG w = L.Width(), lh = L.Height();
    std::vector<std::vector<BYTE>> colourPlanes(static_cast<std::size_t>(colour));
    std::vector<std::vector<BYTE>> alphaPlane;
    bool haveAlpha = false;
    for (const PsdChannel& c : L.channels) {
      const std::size_t start = offset;
      offset += c.length;
      if (!L.HasPixels() || c.id < -1 || c.id >= colour) continue;
      ByteReader r(bytes.data(), start + c.length);
      r.Seek(start);
      std::vector<std::vector<BYTE>> plane;
      if (c.length < 2 || !ReadPlanes(r, 1, w, lh, h.depth / 8, plane)) {
        reason = "PSD: layer " + std::to_string(i) + " channel data breaks off";
        return IMAGEIO_ERR_FORMAT;
      }
      if (c.id == -1) {
        alphaPlane = std::move(plane);
        haveAlpha = true;
      } else {
        colourPlanes[std::size_t(c.id)] = std::move(plane.front());
      }
    }
    if (!L.HasPixels()) continue;
    decoded += 4ull * w * lh;
    if (decoded > kMaxPsdDecodedBytes) {
      reason = "PSD: too much layer data";
      return IMAGEIO_ERR_TOO_LARGE;
    }
    auto block = std::make_unique<CTevPsdSubImgBlock>();
    block->picture.reset(DibAlloc(w, lh, 32));
    if (!block->picture) {
      reason = "PSD: out of memory";
      return IMAGEIO_ERR_MEMORY;
    }
    // A missing colour channel reads as 0.
    const std::vector<BYTE> zero(std::size_t(w) * lh, 0);
    std::vector<const BYTE*> cp;
    for (auto& p : colourPlanes) cp.push_back(p.empty() ? zero.data() : p.data());
    const BYTE* ap = haveAlpha ? alphaPlane.front().data() : nullptr;
    for (LONG y = 0; y < lh; ++y) {
      BYTE* row = DibRow(block->picture.get(), y);
      for (LONG x = 0; x < w; ++x) PlanesToBgra(h, cp, ap, std::size_t(y) * w + x, row + x * 4);
    }
    block->x = L.left;
    block->y = L.top;
    block->byteA = BYTE(255 - L.opacity);
    block->byteB = L.visible ? 1 : 0;
    block->SetLayerName(L.name.data(), int(L.name.size()));
    blocks.push_back(std::move(block));
    if (!Step(progress, (long long)i + 1, (long long)f.layers.size())) {
      reason = "cancelled";
      return IMAGEIO_ERR_CANCELLED;
    }
  }
  return IMAGEIO_OK;
}

std::string ParsePsd(const std::vector<BYTE>& bytes, PsdFile& f) {
  ByteReader r(bytes.data(), bytes.size());
  std::string why = ParseHeader(r, f.header);
  if (why.empty()) why = ParseLayers(r, f);
  return why;
}

}  // namespace

bool SniffPsd(const BYTE* head, std::size_t size) { return size >= 6 && std::memcmp(head, "8BPS", 4) == 0; }

int ReadPsd(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  PsdFile f;
  reason = ParsePsd(bytes, f);
  if (!reason.empty()) {
    const bool size = reason.find("limits") != std::string::npos || reason.find("too many") != std::string::npos;
    return Fail(pack, size ? IMAGEIO_ERR_TOO_LARGE : IMAGEIO_ERR_FORMAT, reason);
  }
  if (options && !WithinPixelBudget(options->maxPixels, f.header.width, f.header.height))
    return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "PSD: picture larger than the pixel budget");
  const CTevPsdImportOptions* psd = options ? options->As<CTevPsdImportOptions>() : nullptr;
  pack.width = f.header.width;
  pack.height = f.header.height;
  if (psd && psd->layersAsObjects) {
    std::vector<std::unique_ptr<CTevPsdSubImgBlock>> blocks;
    rc = ReadLayerPictures(bytes, f, blocks, reason, progress);
    if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
    if (!blocks.empty()) {
      for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i == 0) MoveBlockInto(pack, *blocks[0]);
        else pack.AppendBlock(std::move(blocks[i]));
      }
      pack.transparencyMode = TRANSPARENCY_ALPHA;
      return IMAGEIO_OK;
    }
    // No pixel layer at all: the merged picture stands as the one layer.
  }
  bool anyAlpha = false;
  ByteReader r(bytes.data(), bytes.size());
  rc = ReadMerged(r, f, pack.picture, anyAlpha, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (psd && psd->layersAsObjects) {
    pack.byteA = 0;
    pack.byteB = 1;
  }
  pack.transparencyMode = anyAlpha ? TRANSPARENCY_ALPHA : TRANSPARENCY_NONE;
  if (progress) progress->SetProgress(1.0f);
  return IMAGEIO_OK;
}

int CLoadPsdImgModule::IsPSDFileContainMultiLayers(const std::string& path) {
  std::vector<BYTE> bytes;
  std::string reason;
  if (ReadWholeFile(path, bytes, reason) != IMAGEIO_OK) return 0;
  PsdFile f;
  if (!ParsePsd(bytes, f).empty()) return 0;
  const auto n = std::count_if(f.layers.begin(), f.layers.end(), [](const PsdLayer& L) { return L.HasPixels(); });
  return n >= 2 ? int(n) : 0;
}

}  // namespace TevImageIO
