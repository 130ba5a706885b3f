#include "export/swf_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#include "companions/imageio/codec_io.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kTwips = 20;
constexpr int kShowFrame = 1;
constexpr int kDefineBitsLossless = 20;
constexpr int kPlaceObject2 = 26;
constexpr int kRemoveObject2 = 28;
constexpr int kDefineShape3 = 32;
constexpr int kDefineBitsLossless2 = 36;
// Largest edge delta a straight-edge record holds: a 4-bit field stores
// the bit count minus 2, so 17 signed bits.
constexpr long long kMaxEdgeDelta = 65535;

void Put16(Bytes& out, unsigned v) {
  out.push_back(std::uint8_t(v & 0xFF));
  out.push_back(std::uint8_t((v >> 8) & 0xFF));
}
void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void SetReason(std::string* reason, const std::string& text) {
  if (reason) *reason = text;
}

// Colour-mapped data: the table as R, G, B and the 8-bit rows padded to 4 bytes.
bool PaletteData(const BITMAPINFOHEADER* image, int& tableSize, Bytes& raw) {
  const LONG w = DibWidth(image), h = DibHeight(image);
  const int bits = image->biBitCount;
  const std::size_t entries = DibPaletteEntries(image);
  if (entries == 0 || entries > 256) return false;
  tableSize = int(entries);
  const RGBQUAD* pal = DibPalette(image);
  const std::size_t pitch = DibPitch(w, 8);
  raw.assign(entries * 3 + pitch * std::size_t(h), 0);
  for (std::size_t i = 0; i < entries; ++i) {
    raw[3 * i] = pal[i].rgbRed;
    raw[3 * i + 1] = pal[i].rgbGreen;
    raw[3 * i + 2] = pal[i].rgbBlue;
  }
  std::uint8_t* rows = raw.data() + entries * 3;
  for (LONG y = 0; y < h; ++y) {
    const BYTE* src = DibRow(image, y);
    std::uint8_t* dst = rows + pitch * std::size_t(y);
    for (LONG x = 0; x < w; ++x) {
      unsigned index;
      if (bits == 8) index = src[x];
      else if (bits == 4) index = (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
      else index = (src[x >> 3] >> (7 - (x & 7))) & 1;
      // An index past the table would make readers look outside it.
      dst[x] = std::uint8_t(index < entries ? index : 0);
    }
  }
  return true;
}

// Direct-colour data, four bytes a pixel: 0, R, G, B without a mask;
// premultiplied A, R, G, B with one.
bool DirectData(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, Bytes& raw) {
  const LONG w = DibWidth(image), h = DibHeight(image);
  raw.assign(std::size_t(w) * std::size_t(h) * 4, 0);
  std::vector<std::uint8_t> row(std::size_t(w) * 4);
  for (LONG y = 0; y < h; ++y) {
    if (!SwfRowToBgra(image, y, row.data())) return false;
    std::uint8_t* dst = raw.data() + std::size_t(y) * std::size_t(w) * 4;
    for (LONG x = 0; x < w; ++x, dst += 4) {
      const std::uint8_t* p = &row[std::size_t(x) * 4];
      if (mask && !SwfMaskBit(mask, x, y)) continue;  // transparent: 0, 0, 0, 0
      dst[0] = mask ? 255 : 0;
      dst[1] = p[2];
      dst[2] = p[1];
      dst[3] = p[0];
    }
  }
  return true;
}

bool MaskFits(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask) {
  return !mask || (mask->biBitCount == 1 && DibWidth(mask) == DibWidth(image) && DibHeight(mask) == DibHeight(image));
}

bool BitmapUsable(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask) {
  return image && DibHeaderValid(image) && (!mask || DibHeaderValid(mask)) && MaskFits(image, mask);
}

}  // namespace

int SwfSignedBits(long long value) {
  int n = 1;
  while (n < 63 && (value < -(1LL << (n - 1)) || value > (1LL << (n - 1)) - 1)) ++n;
  return n;
}

int SwfRectBits(long long a, long long b, long long c, long long d) {
  return std::max({SwfSignedBits(a), SwfSignedBits(b), SwfSignedBits(c), SwfSignedBits(d)});
}

void CSwfBitWriter::Bits(std::uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    acc_ = (acc_ << 1) | ((value >> i) & 1);
    if (++used_ == 8) {
      out_.push_back(std::uint8_t(acc_));
      acc_ = 0;
      used_ = 0;
    }
  }
}

void CSwfBitWriter::Flush() {
  if (used_ == 0) return;
  out_.push_back(std::uint8_t(acc_ << (8 - used_)));
  acc_ = 0;
  used_ = 0;
}

void AppendSwfRect(Bytes& out, int bits, long long xmin, long long xmax, long long ymin, long long ymax) {
  CSwfBitWriter w(out);
  w.Bits(std::uint32_t(bits), 5);
  w.Signed(xmin, bits);
  w.Signed(xmax, bits);
  w.Signed(ymin, bits);
  w.Signed(ymax, bits);
}

void AppendSwfStageRect(Bytes& out, long long widthTwips, long long heightTwips) {
  const int bits = std::max(15, SwfRectBits(0, widthTwips, 0, heightTwips));
  AppendSwfRect(out, bits, 0, widthTwips, 0, heightTwips);
}

void AppendSwfTagHeader(Bytes& out, int type, std::size_t length, bool forceLong) {
  if (length < 63 && !forceLong) {
    Put16(out, unsigned(type << 6) | unsigned(length));
  } else {
    Put16(out, unsigned(type << 6) | 0x3F);
    Put32(out, std::uint32_t(length));
  }
}

Bytes SwfShapeBody(std::uint16_t shapeId, std::uint16_t bitmapId, int x, int y, int width, int height) {
  const long long x0 = (long long)x * kTwips, y0 = (long long)y * kTwips;
  const long long w = (long long)width * kTwips, h = (long long)height * kTwips;
  Bytes out;
  Put16(out, shapeId);
  AppendSwfRect(out, SwfRectBits(x0, x0 + w, y0, y0 + h), x0, x0 + w, y0, y0 + h);
  out.push_back(2);  // fill styles
  // Style 1: a placeholder clipped bitmap fill of no bitmap, scale 10.
  for (std::uint8_t b : {0x41, 0xFF, 0xFF, 0xD5, 0x40, 0x00, 0x0A, 0x00, 0x00, 0x04}) out.push_back(b);
  // Style 2: the bitmap, one pixel to 20 twips, moved to the shape's corner.
  out.push_back(0x41);
  Put16(out, bitmapId);
  {
    CSwfBitWriter m(out);
    m.Bits(1, 1);
    m.Bits(22, 5);
    m.Signed(20LL << 16, 22);
    m.Signed(20LL << 16, 22);
    m.Bits(0, 1);
    const int t = std::max(SwfSignedBits(x0), SwfSignedBits(y0));
    m.Bits(std::uint32_t(t), 5);
    m.Signed(x0, t);
    m.Signed(y0, t);
  }
  out.push_back(0);     // line styles
  out.push_back(0x20);  // 2 fill-index bits, 0 line-index bits
  CSwfBitWriter r(out);
  // Style change: line style, fill style 1, move to the corner.
  r.Bits(0b001101, 6);
  const int m = std::max(SwfSignedBits(x0), SwfSignedBits(y0));
  r.Bits(std::uint32_t(m), 5);
  r.Signed(x0, m);
  r.Signed(y0, m);
  r.Bits(2, 2);
  // Right, down, left, up; edges longer than one record holds are split.
  const struct { long long delta; bool vertical; } sides[4] = {{w, false}, {h, true}, {-w, false}, {-h, true}};
  for (const auto& side : sides) {
    long long left = side.delta;
    while (left != 0) {
      const long long step = std::clamp(left, -kMaxEdgeDelta, kMaxEdgeDelta);
      const int bits = std::max(2, SwfSignedBits(step));
      r.Bits(0b11, 2);
      r.Bits(std::uint32_t(bits - 2), 4);
      r.Bits(0, 1);
      r.Bits(side.vertical ? 1 : 0, 1);
      r.Signed(step, bits);
      left -= step;
    }
  }
  r.Bits(0, 6);
  r.Flush();
  return out;
}

bool SwfRowToBgra(const BITMAPINFOHEADER* dib, LONG y, std::uint8_t* bgra) {
  const LONG w = DibWidth(dib);
  const BYTE* src = DibRow(dib, y);
  const int bits = dib->biBitCount;
  switch (bits) {
    case 32:
      std::copy(src, src + std::size_t(w) * 4, bgra);
      return true;
    case 24:
      for (LONG x = 0; x < w; ++x, src += 3, bgra += 4) {
        bgra[0] = src[0];
        bgra[1] = src[1];
        bgra[2] = src[2];
        bgra[3] = 255;
      }
      return true;
    case 16:  // 5-5-5
      for (LONG x = 0; x < w; ++x, bgra += 4) {
        const unsigned v = src[2 * x] | (unsigned(src[2 * x + 1]) << 8);
        bgra[0] = std::uint8_t(((v & 0x1F) * 255 + 15) / 31);
        bgra[1] = std::uint8_t((((v >> 5) & 0x1F) * 255 + 15) / 31);
        bgra[2] = std::uint8_t((((v >> 10) & 0x1F) * 255 + 15) / 31);
        bgra[3] = 255;
      }
      return true;
    case 8:
    case 4:
    case 1: {
      const std::size_t entries = DibPaletteEntries(dib);
      const RGBQUAD* pal = DibPalette(dib);
      for (LONG x = 0; x < w; ++x, bgra += 4) {
        unsigned i = bits == 8 ? src[x] : bits == 4 ? (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F
                                                    : (src[x >> 3] >> (7 - (x & 7))) & 1;
        if (i >= entries) i = 0;
        bgra[0] = entries ? pal[i].rgbBlue : 0;
        bgra[1] = entries ? pal[i].rgbGreen : 0;
        bgra[2] = entries ? pal[i].rgbRed : 0;
        bgra[3] = 255;
      }
      return true;
    }
    default:
      return false;
  }
}

bool SwfCompress(const std::uint8_t* data, std::size_t size, Bytes& out) {
  uLongf length = compressBound(uLong(size));
  out.resize(length);
  if (compress(out.data(), &length, data, uLong(size)) != Z_OK) {
    out.clear();
    return false;
  }
  out.resize(length);
  return true;
}

Bytes SwfAlphaBytes(LONG width, LONG height, const BITMAPINFOHEADER* mask) {
  Bytes alpha(std::size_t(width) * std::size_t(height), 255);
  if (!mask) return alpha;
  for (LONG y = 0; y < height; ++y)
    for (LONG x = 0; x < width; ++x)
      if (!SwfMaskBit(mask, x, y)) alpha[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 0;
  return alpha;
}

bool CSwfEncoder::EncodeBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, CSwfBitmapTag& tag) const {
  if (!BitmapUsable(image, mask) || DibWidth(image) > 0xFFFF || DibHeight(image) > 0xFFFF) return false;
  Bytes raw, packed;
  int tableSize = 0;
  const bool mapped = image->biBitCount <= 8 && !mask;
  if (mapped ? !PaletteData(image, tableSize, raw) : !DirectData(image, mask, raw)) return false;
  if (!SwfCompress(raw.data(), raw.size(), packed)) return false;
  tag.type = mask ? kDefineBitsLossless2 : kDefineBitsLossless;
  tag.body.clear();
  tag.body.reserve(packed.size() + 6);
  tag.body.push_back(mapped ? 3 : 5);
  Put16(tag.body, unsigned(DibWidth(image)));
  Put16(tag.body, unsigned(DibHeight(image)));
  if (mapped) tag.body.push_back(std::uint8_t(tableSize - 1));
  tag.body.insert(tag.body.end(), packed.begin(), packed.end());
  return true;
}

bool CSwfEncoder::MeasureBitmap(const BITMAPINFOHEADER* image, const BITMAPINFOHEADER* mask, long long& size,
                                long long limit) const {
  if (!BitmapUsable(image, mask)) return false;
  Bytes raw;
  int tableSize = 0;
  const bool mapped = image->biBitCount <= 8 && !mask;
  if (mapped ? !PaletteData(image, tableSize, raw) : !DirectData(image, mask, raw)) return false;
  const long long head = mapped ? 6 : 5;
  if (!SwfCompressedSize(raw.data(), raw.size(), limit < 0 ? -1 : std::max(0LL, limit - head), size)) return false;
  size += head;
  return true;
}

long long CSwfEncoder::TagCost(const CSwfBitmapTag& tag) const { return (long long)tag.body.size(); }

bool SwfCompressedSize(const std::uint8_t* data, std::size_t size, long long limit, long long& out) {
  z_stream z{};
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
  std::uint8_t buffer[1 << 15];
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = uInt(size);
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    rc = deflate(&z, Z_FINISH);
    if (limit >= 0 && (long long)z.total_out > limit) break;
  }
  out = (long long)z.total_out;
  deflateEnd(&z);
  return rc == Z_STREAM_END || rc == Z_OK || rc == Z_BUF_ERROR;
}

bool CSwfEncoder::BuildMovie(const std::vector<CSWFFrameOptimal>& entries, LONG width, LONG height, int fps,
                             Bytes& movie, CTevCommonProgress* progress, std::string* reason) const {
  const std::size_t count = entries.size();
  if (count == 0 || count > 0xFFFF) {
    SetReason(reason, count ? "too many frames for a movie (at most 65535)" : "the movie has no frames");
    return false;
  }
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) {
    SetReason(reason, "bad stage size");
    return false;
  }
  // Signature, version 4, and the file length filled in at the end.
  static constexpr std::uint8_t kHead[8] = {'F', 'W', 'S', 4, 0, 0, 0, 0};
  movie.assign(kHead, kHead + 8);
  AppendSwfStageRect(movie, (long long)width * kTwips, (long long)height * kTwips);
  movie.push_back(0);
  movie.push_back(std::uint8_t(std::clamp(fps, 1, 255)));
  Put16(movie, unsigned(count));

  unsigned id = 1;
  unsigned depth = 0;
  bool bottomUsed = false;
  for (std::size_t i = 0; i < count; ++i) {
    const CSWFFrameOptimal& e = entries[i];
    if (!e.repeat) {
      if (id + 1 > 0xFFFF) {
        SetReason(reason, "too many pictures for a movie");
        return false;
      }
      CSwfBitmapTag built;
      if (!e.image || (!e.encoded && !EncodeBitmap(e.image.get(), e.mask.get(), built))) {
        SetReason(reason, "frame " + std::to_string(i + 1) + " could not be encoded");
        return false;
      }
      const CSwfBitmapTag& tag = e.encoded ? *e.encoded : built;
      AppendSwfTagHeader(movie, tag.type, tag.body.size() + 2, true);
      Put16(movie, id);
      movie.insert(movie.end(), tag.body.begin(), tag.body.end());
      const Bytes shape = SwfShapeBody(std::uint16_t(id + 1), std::uint16_t(id), e.x, e.y, int(DibWidth(e.image.get())),
                                       int(DibHeight(e.image.get())));
      AppendSwfTagHeader(movie, kDefineShape3, shape.size());
      movie.insert(movie.end(), shape.begin(), shape.end());
      std::uint8_t flags = 0x02;
      if (!e.replace) {
        ++depth;
      } else {
        for (; depth >= 1; --depth) {
          AppendSwfTagHeader(movie, kRemoveObject2, 2);
          Put16(movie, depth);
        }
        if (bottomUsed) flags = 0x03;
        bottomUsed = true;
      }
      AppendSwfTagHeader(movie, kPlaceObject2, 5);
      movie.push_back(flags);
      Put16(movie, depth);
      Put16(movie, id + 1);
      id += 2;
    }
    AppendSwfTagHeader(movie, kShowFrame, 0);
    if (!ReportProgressStep(progress, (long long)i + 1, (long long)count)) {
      SetReason(reason, "cancelled");
      return false;
    }
  }
  movie.push_back(0);
  movie.push_back(0);
  const std::uint32_t size = std::uint32_t(movie.size());
  for (int b = 0; b < 4; ++b) movie[4 + std::size_t(b)] = std::uint8_t(size >> (8 * b));
  return true;
}

bool CSwfEncoder::WriteMovie(const std::string& path, const std::vector<CSWFFrameOptimal>& entries, LONG width,
                             LONG height, int fps, CTevCommonProgress* progress, std::string* reason) const {
  Bytes movie;
  if (!BuildMovie(entries, width, height, fps, movie, progress, reason)) return false;
  TevImageIO::CAtomicFileWriter writer(path);
  std::string why;
  FILE* f = writer.Open(why);
  if (!f || std::fwrite(movie.data(), 1, movie.size(), f) != movie.size() || !writer.Commit(why)) {
    SetReason(reason, why.empty() ? "the file could not be written" : why);
    return false;
  }
  return true;
}
