#include "companions/imageio/tev_image_io.h"

#include <vector>

#include "companions/imageio/codec_io.h"
#include "companions/imageio/codec_table.h"

namespace TevImageIO {

namespace {

// Ends the progress display whichever way the call returns.
struct ProgressEnd {
  CTevCommonProgress* progress;
  ~ProgressEnd() {
    if (progress) progress->EndProgress();
  }
};

}  // namespace

int LoadImageW(CTevImageInfoPack& pack, const CTevImgImportOptions* options, CTevCommonProgress* progress) {
  ProgressEnd end{progress};
  pack.Reset();
  std::vector<BYTE> head;
  if (!ReadFileHead(pack.path, head, kSniffBytes)) return Fail(pack, IMAGEIO_ERR_OPEN, "cannot open " + pack.path);
  if (head.empty()) return Fail(pack, IMAGEIO_ERR_FORMAT, "empty file: " + pack.path);

  const ImageCodec* codec = options ? FindImageCodec(options->format) : nullptr;
  if (options && !codec) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "unknown image format number");
  // The content wins over the announced format when it plainly is another one.
  if (!codec || !codec->sniff || !codec->sniff(head.data(), head.size())) {
    const ImageCodec* sniffed = SniffImageCodec(head.data(), head.size());
    if (sniffed) {
      codec = sniffed;
    } else if (!codec) {
      return Fail(pack, IMAGEIO_ERR_FORMAT, "unrecognised picture file: " + pack.path);
    } else if (codec->sniff) {
      return Fail(pack, IMAGEIO_ERR_FORMAT, std::string("not a ") + codec->name + " file: " + pack.path);
    }
  }
  if (!codec->read) return Fail(pack, IMAGEIO_ERR_UNSUPPORTED, std::string("reading ") + codec->name + " is not supported");

  // Options of another format (after sniffing) fall back to that format's
  // defaults; the pixel budget holds whatever the content turned out to be.
  std::unique_ptr<CTevImgImportOptions> defaults;
  if (!options || options->format != codec->format) {
    defaults = CTevImgImportOptions::NewImportOptions(codec->format);
    if (options) defaults->maxPixels = options->maxPixels;
    options = defaults.get();
  }
  int rc = codec->read(pack, options, progress);
  if (rc == IMAGEIO_OK) {
    for (const CTevSubImageBlock* b = &pack; b; b = b->next) {
      if (!b->picture) {
        rc = Fail(pack, IMAGEIO_ERR_FORMAT, "no picture decoded from " + pack.path);
        break;
      }
    }
  }
  if (rc != IMAGEIO_OK) {
    std::string reason = pack.errorText.empty() ? "cannot read " + pack.path : pack.errorText;
    pack.Reset();
    pack.errorText = reason;
    return rc;
  }
  pack.format = codec->format;
  pack.errorText.clear();
  return IMAGEIO_OK;
}

int SaveImage(CTevImageInfoPack& pack, const CTevImgExportOptions* options, CTevCommonProgress* progress) {
  ProgressEnd end{progress};
  pack.errorText.clear();
  std::unique_ptr<CTevImgExportOptions> defaults;
  if (!options) {
    defaults = CTevImgExportOptions::NewExportOptions(pack.format);
    options = defaults.get();
  }
  const ImageCodec* codec = options ? FindImageCodec(options->format) : nullptr;
  if (!codec) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "unknown image format number");
  if (!codec->write) return Fail(pack, IMAGEIO_ERR_UNSUPPORTED, std::string("writing ") + codec->name + " is not supported");
  if (!pack.picture) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "nothing to save");
  if (pack.path.empty()) return Fail(pack, IMAGEIO_ERR_ARGUMENT, "no file name");
  int rc = codec->write(pack, options, progress);
  if (rc != IMAGEIO_OK && pack.errorText.empty()) pack.errorText = "cannot write " + pack.path;
  return rc;
}

int DetectImageFormat(const std::string& path) {
  std::vector<BYTE> head;
  if (!ReadFileHead(path, head, kSniffBytes)) return 0;
  const ImageCodec* c = SniffImageCodec(head.data(), head.size());
  return c ? c->format : 0;
}

}  // namespace TevImageIO
