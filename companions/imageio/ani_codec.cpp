// ANI reader (RIFF "ACON"): the "anih" header, the optional "rate" and
// "seq " tables and the icon frames of the "LIST" "fram" chunk. Every step
// of the animation becomes one block holding its frame's first icon image
// (with mask and hot spot) and its delay in hundredths of a second, rounded
// from the step's jiffies (1/60 s).
// The RIFF size field is ignored (writers often get it wrong); every chunk
// must lie inside the file, and the walk only moves forward.
#include <algorithm>
#include <cstring>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

namespace {

constexpr std::size_t kMaxAniFrames = 4096;
constexpr std::size_t kMaxAniSteps = 16384;
constexpr unsigned long long kMaxAniDecodedBytes = 2ull << 30;

struct Chunk {
  char id[5];
  std::size_t offset;  // of the payload
  std::size_t size;
};

// Reads the chunk header at r's cursor; false when it does not fit in the range.
bool NextChunk(ByteReader& r, std::size_t end, Chunk& chunk) {
  if (r.pos() + 8 > end) return false;
  const BYTE* id = r.Take(4);
  const DWORD size = r.U32LE();
  if (!id || !r.ok() || size > end - r.pos()) return false;
  std::memcpy(chunk.id, id, 4);
  chunk.id[4] = 0;
  chunk.offset = r.pos();
  chunk.size = size;
  // Payloads are padded to an even length; the pad byte may be missing at the very end.
  r.Seek(std::min<std::size_t>(end, chunk.offset + size + (size & 1)));
  return true;
}

WORD JiffiesToDelay(DWORD jiffies) {
  const unsigned long long cs = (static_cast<unsigned long long>(jiffies) * 100 + 30) / 60;
  return WORD(std::min<unsigned long long>(cs, 0xFFFF));
}

}  // namespace

bool SniffAni(const BYTE* head, std::size_t size) {
  return size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "ACON", 4) == 0;
}

int ReadAni(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  if (!SniffAni(bytes.data(), bytes.size())) return Fail(pack, IMAGEIO_ERR_FORMAT, "not an animated cursor file: " + pack.path);
  const CTevMultiImageImportOptions* multi = options ? options->As<CTevMultiImageImportOptions>() : nullptr;
  const bool allImages = !multi || multi->allImages;
  const bool withMasks = !multi || multi->withMasks;

  ByteReader r(bytes.data(), bytes.size());
  r.Seek(12);
  bool haveHeader = false, haveSeq = false;
  DWORD frameCount = 0, stepCount = 0, defaultRate = 0, flags = 0;
  std::vector<DWORD> rates, seq;
  std::vector<Chunk> icons;
  Chunk chunk{};
  while (NextChunk(r, bytes.size(), chunk)) {
    ByteReader c(bytes.data() + chunk.offset, chunk.size);
    if (std::strcmp(chunk.id, "anih") == 0) {
      if (chunk.size < 36) return Fail(pack, IMAGEIO_ERR_FORMAT, "ANI: header too short");
      c.Skip(4);
      frameCount = c.U32LE();
      stepCount = c.U32LE();
      c.Skip(16);  // width, height, bit count, planes: the icons say
      defaultRate = c.U32LE();
      flags = c.U32LE();
      haveHeader = true;
    } else if (std::strcmp(chunk.id, "rate") == 0 || std::strcmp(chunk.id, "seq ") == 0) {
      std::vector<DWORD>& table = chunk.id[0] == 'r' ? rates : seq;
      table.clear();
      for (std::size_t i = 0; i + 4 <= chunk.size && table.size() < kMaxAniSteps; i += 4) table.push_back(c.U32LE());
      if (chunk.id[0] == 's') haveSeq = true;
    } else if (std::strcmp(chunk.id, "LIST") == 0 && chunk.size >= 4 && std::memcmp(c.Take(4), "fram", 4) == 0) {
      // Some writers give the list a size too small for its last icon: a
      // chunk that starts inside the list may end anywhere inside the file.
      const std::size_t listEnd = chunk.offset + chunk.size;
      ByteReader list(bytes.data(), bytes.size());
      list.Seek(chunk.offset + 4);
      Chunk icon{};
      while (list.pos() < listEnd && NextChunk(list, bytes.size(), icon)) {
        if (std::strcmp(icon.id, "icon") != 0) continue;
        if (icons.size() >= kMaxAniFrames) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "ANI: too many frames");
        icons.push_back(icon);
      }
      if (list.pos() > r.pos()) r.Seek(list.pos());
    }
  }
  if (!haveHeader) return Fail(pack, IMAGEIO_ERR_FORMAT, "ANI: no \"anih\" header");
  if (!(flags & 1)) return Fail(pack, IMAGEIO_ERR_UNSUPPORTED, "ANI: raw bitmap frames are not supported");
  if (icons.empty()) return Fail(pack, IMAGEIO_ERR_FORMAT, "ANI: no icon frames");
  if (frameCount == 0 || frameCount > icons.size()) frameCount = DWORD(icons.size());

  // The steps: the sequence table when present, else every frame once.
  std::vector<DWORD> steps;
  if (haveSeq) {
    const std::size_t n = stepCount ? std::min<std::size_t>(stepCount, seq.size()) : seq.size();
    steps.assign(seq.begin(), seq.begin() + std::ptrdiff_t(n));
  } else {
    for (DWORD i = 0; i < frameCount; ++i) steps.push_back(i);
  }
  if (steps.empty()) return Fail(pack, IMAGEIO_ERR_FORMAT, "ANI: no animation steps");
  if (steps.size() > kMaxAniSteps) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "ANI: too many steps");
  for (DWORD s : steps)
    if (s >= frameCount) return Fail(pack, IMAGEIO_ERR_FORMAT, "ANI: sequence names a missing frame");

  // Decode each frame that a step uses, once.
  std::vector<std::unique_ptr<CTevSubImageBlock>> frames(frameCount);
  unsigned long long decoded = 0;
  for (DWORD s : steps) {
    if (frames[s]) continue;
    std::vector<std::unique_ptr<CTevSubImageBlock>> images;
    rc = DecodeIconMemory(bytes.data() + icons[s].offset, icons[s].size, false, withMasks, images, reason);
    if (rc != IMAGEIO_OK) return Fail(pack, rc, "ANI frame " + std::to_string(s) + ": " + reason);
    frames[s] = std::move(images.front());
  }
  for (DWORD s : steps) decoded += DibTotalBytes(frames[s]->picture.get());
  if (decoded > kMaxAniDecodedBytes) return Fail(pack, IMAGEIO_ERR_TOO_LARGE, "ANI: too much image data");

  for (std::size_t i = 0; i < steps.size(); ++i) {
    const CTevSubImageBlock& frame = *frames[steps[i]];
    std::unique_ptr<CTevSubImageBlock> owned;
    CTevSubImageBlock* block = &pack;
    if (i > 0) {
      owned = std::make_unique<CTevSubImageBlock>();
      block = owned.get();
    }
    block->picture.reset(DibCopy(frame.picture.get()));
    if (frame.mask) block->mask.reset(DibCopy(frame.mask.get()));
    if (!block->picture || (frame.mask && !block->mask)) return Fail(pack, IMAGEIO_ERR_MEMORY, "ANI: out of memory");
    block->hotSpotX = frame.hotSpotX;
    block->hotSpotY = frame.hotSpotY;
    block->delay = JiffiesToDelay(i < rates.size() ? rates[i] : defaultRate);
    pack.width = std::max<int>(pack.width, DibWidth(block->picture.get()));
    pack.height = std::max<int>(pack.height, DibHeight(block->picture.get()));
    if (owned) pack.AppendBlock(std::move(owned));
    if (!Step(progress, (long long)i + 1, (long long)steps.size())) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
    if (!allImages) break;
  }
  pack.transparencyMode = TRANSPARENCY_ALPHA;
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
