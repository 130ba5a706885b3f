// ANI writer: RIFF "ACON" with an "anih" header, a "rate" table (each
// block's delay in jiffies of 1/60 s, rounded) and one cursor per block in
// the "LIST" "fram" chunk.
#include <algorithm>
#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"
#include "companions/imageio/icon_encode.h"

namespace TevImageIO {

namespace {

void PutId(std::vector<BYTE>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(BYTE(id[i]));
}
void PutChunk(std::vector<BYTE>& out, const char* id, const std::vector<BYTE>& payload) {
  PutId(out, id);
  Put32(out, DWORD(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  if (payload.size() & 1) out.push_back(0);
}

}  // namespace

int WriteAni(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress* progress) {
  const CTevCursorExportOptions* c = options ? options->As<CTevCursorExportOptions>() : nullptr;
  std::vector<const CTevSubImageBlock*> blocks;
  for (const CTevSubImageBlock* b = &pack; b; b = b->next) blocks.push_back(b);
  std::vector<BYTE> frames, rate;
  PutId(frames, "fram");
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    std::vector<BYTE> cursor;
    std::string reason;
    if (!EncodeIconFile({blocks[i]}, true, c ? c->hotSpot : 0, cursor, reason))
      return Fail(pack, IMAGEIO_ERR_ARGUMENT, "ANI: " + reason);
    PutChunk(frames, "icon", cursor);
    const WORD delay = blocks[i]->delay ? blocks[i]->delay : (c ? c->delay : 10);
    Put32(rate, std::max<DWORD>(1, DWORD((delay * 60 + 50) / 100)));
    if (!Step(progress, (long long)i + 1, (long long)blocks.size())) return Fail(pack, IMAGEIO_ERR_CANCELLED, "cancelled");
  }
  const LONG w = DibWidth(pack.picture.get()), h = DibHeight(pack.picture.get());
  std::vector<BYTE> header;
  Put32(header, 36);
  Put32(header, DWORD(blocks.size()));  // frames
  Put32(header, DWORD(blocks.size()));  // steps
  Put32(header, DWORD(w));
  Put32(header, DWORD(h));
  Put32(header, 8);
  Put32(header, 1);
  Put32(header, 6);  // default rate; the rate chunk overrides it
  Put32(header, 1);  // frames are icon/cursor files
  std::vector<BYTE> body;
  PutId(body, "ACON");
  PutChunk(body, "anih", header);
  PutChunk(body, "rate", rate);
  PutChunk(body, "LIST", frames);
  std::vector<BYTE> file;
  PutId(file, "RIFF");
  Put32(file, DWORD(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return WriteWholeFile(pack, file);
}

}  // namespace TevImageIO
