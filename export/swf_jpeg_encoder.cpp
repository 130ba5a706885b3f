// The JPEG movie writer: DefineBitsJPEG2 for opaque pictures, DefineBitsJPEG3
// (JPEG colours plus zlib-compressed alpha bytes) for masked ones. The JPEG
// stream is built in memory, for writing and for the size measure alike.
#include "companions/imageio/jpeg_stream.h"
#include "export/swf_encoder.h"

namespace {

constexpr int kDefineBitsJpeg2 = 21;
constexpr int kDefineBitsJpeg3 = 35;

struct JpegJob {
  const BITMAPINFOHEADER* image;
  const BITMAPINFOHEADER* mask;
};

// The picture's row y as packed RGB; pixels outside the mask are black.
bool MaskedRowRgb(void* context, LONG y, BYTE* rgb) {
  const auto* job = static_cast<const JpegJob*>(context);
  if (!SwfRowToBgra(job->image, y, rgb)) return false;
  for (LONG x = 0, w = DibWidth(job->image); x < w; ++x) {  // BGRA to packed RGB in place
    const bool shown = SwfMaskBit(job->mask, x, y);
    const BYTE b = rgb[x * 4], g = rgb[x * 4 + 1], r = rgb[x * 4 + 2];
    rgb[x * 3] = shown ? r : 0;
    rgb[x * 3 + 1] = shown ? g : 0;
    rgb[x * 3 + 2] = shown ? b : 0;
  }
  return true;
}

bool Usable(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask) {
  if (!image || !DibHeaderValid(image) || DibWidth(image) > 0xFFFF || DibHeight(image) > 0xFFFF) return false;
  return !mask || (DibHeaderValid(mask) && mask->biBitCount == 1 && DibWidth(mask) == DibWidth(image) &&
                   DibHeight(mask) == DibHeight(image));
}

}  // namespace

bool EncodeSwfJpeg(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, int quality,
                   std::vector<std::uint8_t>& jpeg) {
  if (!Usable(image, mask)) return false;
  JpegJob job{image, mask};
  TevImageIO::CJpegStreamSettings settings;
  settings.quality = quality;
  // Flat-coloured frames with sharp edges lose visibly under halved chroma;
  // at high quality keep it whole.
  if (quality >= 90) settings.hSample = settings.vSample = 1;
  return TevImageIO::EncodeJpegStream(DibWidth(image), DibHeight(image), settings, MaskedRowRgb, &job, jpeg);
}

bool CJPGSwfEncoder::EncodeBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask,
                                  CSwfBitmapTag& tag) const {
  std::vector<std::uint8_t> jpeg;
  if (!EncodeSwfJpeg(image, mask, quality_, jpeg)) return false;
  tag.body.clear();
  if (!mask) {
    tag.type = kDefineBitsJpeg2;
    tag.body = std::move(jpeg);
    return true;
  }
  std::vector<std::uint8_t> alpha;
  const std::vector<std::uint8_t> raw = SwfAlphaBytes(DibWidth(image), DibHeight(image), mask);
  if (!SwfCompress(raw.data(), raw.size(), alpha)) return false;
  tag.type = kDefineBitsJpeg3;
  const std::uint32_t n = std::uint32_t(jpeg.size());
  tag.body.reserve(4 + jpeg.size() + alpha.size());
  for (int b = 0; b < 4; ++b) tag.body.push_back(std::uint8_t(n >> (8 * b)));
  tag.body.insert(tag.body.end(), jpeg.begin(), jpeg.end());
  tag.body.insert(tag.body.end(), alpha.begin(), alpha.end());
  return true;
}

bool CJPGSwfEncoder::MeasureBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, long long& size,
                                   long long /*limit*/) const {
  std::vector<std::uint8_t> jpeg;
  if (!EncodeSwfJpeg(image, mask, quality_, jpeg)) return false;
  size = (long long)jpeg.size() + 8;
  if (mask) {
    std::vector<std::uint8_t> alpha;
    const std::vector<std::uint8_t> raw = SwfAlphaBytes(DibWidth(image), DibHeight(image), mask);
    if (!SwfCompress(raw.data(), raw.size(), alpha)) return false;
    size += (long long)alpha.size();
  }
  return true;
}

long long CJPGSwfEncoder::TagCost(const CSwfBitmapTag& tag) const {
  // JPEG2: the stream; JPEG3: its 4-byte length, the stream and the alpha.
  return (long long)tag.body.size() + (tag.type == kDefineBitsJpeg2 ? 8 : 4);
}
