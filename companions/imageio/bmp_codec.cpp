// BMP/DIB reader: a file header ("BM") and a bitmap, or a bare packed DIB.
#include <cstring>
#include <vector>

#include "companions/imageio/bmp_decode.h"
#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

bool SniffBmp(const BYTE* head, std::size_t size) { return size >= 14 && head[0] == 'B' && head[1] == 'M'; }

// A bare packed DIB (clipboard ".dib" files) starts with its header size; one plane follows the dimensions.
bool SniffBmpOrDib(const BYTE* head, std::size_t size) {
  if (SniffBmp(head, size)) return true;
  if (size < 16 || head[1] || head[2] || head[3]) return false;
  if (head[0] == 12) return head[8] == 1 && head[9] == 0;
  return (head[0] == 40 || head[0] == 108 || head[0] == 124) && head[12] == 1 && head[13] == 0;
}

int ReadBmp(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  std::vector<BYTE> bytes;
  std::string reason;
  int rc = ReadWholeFile(pack.path, bytes, reason);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  std::size_t info = 0, bits = 0;
  if (SniffBmp(bytes.data(), bytes.size())) {
    ByteReader r(bytes.data(), bytes.size());
    r.Skip(10);
    bits = r.U32LE();
    info = 14;
    if (bits < 14 + 12 || bits >= bytes.size()) return Fail(pack, IMAGEIO_ERR_FORMAT, "BMP: pixel offset outside the file");
  } else if (bytes.size() >= 4 && (bytes[0] == 40 || bytes[0] == 12 || bytes[0] == 108 || bytes[0] == 124) &&
             bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0) {
    info = 0;  // a packed DIB without file header
  } else {
    return Fail(pack, IMAGEIO_ERR_FORMAT, "not a BMP file: " + pack.path);
  }
  DibPtr picture;
  rc = DecodeBmpInfo(bytes.data(), bytes.size(), info, bits, false, picture, nullptr, reason,
                     options ? options->maxPixels : 0);
  if (rc != IMAGEIO_OK) return Fail(pack, rc, reason);
  pack.width = DibWidth(picture.get());
  pack.height = DibHeight(picture.get());
  pack.transparencyMode = TRANSPARENCY_NONE;
  if (picture->biBitCount == 32) {
    for (LONG y = 0; y < pack.height && pack.transparencyMode == TRANSPARENCY_NONE; ++y) {
      const BYTE* row = DibRow(picture.get(), y);
      for (LONG x = 0; x < pack.width; ++x)
        if (row[x * 4 + 3] != 255) {
          pack.transparencyMode = TRANSPARENCY_ALPHA;
          break;
        }
    }
  }
  pack.picture = std::move(picture);
  if (progress) progress->SetProgress(1.0f);
  return IMAGEIO_OK;
}

}  // namespace TevImageIO
