#include "app/planar_image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "companions/dibkernel/dib_kernel.h"

namespace {

// Plane order in the file against the byte offset in a BGRA pixel.
constexpr int kPlaneOffset[4] = {2, 1, 0, 3};

void PutI32(std::vector<BYTE>& out, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(BYTE(u >> (8 * i)));
}

}  // namespace

void PackBitsEncodeRow(const BYTE* row, std::size_t count, std::vector<BYTE>& out) {
  std::size_t i = 0;
  while (i < count) {
    std::size_t run = 1;
    while (i + run < count && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.push_back(BYTE(257 - run));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    std::size_t len = 1;
    while (i + len < count && len < 128 && row[i + len] != row[i + len - 1]) ++len;
    out.push_back(BYTE(len - 1));
    out.insert(out.end(), row + i, row + i + len);
    i += len;
  }
}

bool PackBitsDecodeRow(const BYTE* data, std::size_t size, std::size_t& pos, BYTE* row, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    if (pos >= size) return false;
    const BYTE h = data[pos++];
    if (h < 128) {
      const std::size_t len = std::size_t(h) + 1;
      if (len > size - pos) return false;
      const std::size_t take = std::min(len, count - done);
      std::memcpy(row + done, data + pos, take);
      done += take;
      pos += len;
    } else if (h > 128) {
      if (pos >= size) return false;
      const std::size_t take = std::min<std::size_t>(257 - h, count - done);
      std::memset(row + done, data[pos++], take);
      done += take;
    }
  }
  return true;
}

std::size_t PlanarMinimumBytes(LONG width, LONG height, int planes) {
  if (width <= 0 || height <= 0) return 0;
  return std::size_t(planes) * std::size_t(height) * ((std::size_t(width) + 127) / 128) * 2;
}

bool EncodePlanes(const BITMAPINFOHEADER* image, std::vector<BYTE>& out) {
  if (!image || image->biBitCount != 32 || !DibHeaderValid(image)) return false;
  const LONG w = image->biWidth, h = DibHeight(image);
  std::vector<BYTE> plane(std::size_t(w), 0);
  out.reserve(out.size() + std::size_t(w) * std::size_t(h) * 4 / 2);
  for (int p = 0; p < 4; ++p) {
    const int off = kPlaneOffset[p];
    for (LONG y = 0; y < h; ++y) {
      const BYTE* src = DibRow(image, y);
      for (LONG x = 0; x < w; ++x) plane[std::size_t(x)] = src[4 * x + off];
      PackBitsEncodeRow(plane.data(), plane.size(), out);
    }
  }
  return true;
}

DibPtr DecodePlanes(const BYTE* data, std::size_t size, std::size_t& pos, LONG width, LONG height) {
  if (width < 1 || height < 1 || width > kMaxDibDimension || height > kMaxDibDimension) return nullptr;
  if (pos > size || PlanarMinimumBytes(width, height) > size - pos) return nullptr;
  DibPtr image(CDIB32::CreateBlank32BitsDIB(width, height));
  if (!image) return nullptr;
  std::vector<BYTE> plane(std::size_t(width), 0);
  for (int p = 0; p < 4; ++p) {
    const int off = kPlaneOffset[p];
    for (LONG y = 0; y < height; ++y) {
      if (!PackBitsDecodeRow(data, size, pos, plane.data(), plane.size())) return nullptr;
      BYTE* dst = DibRow(image.get(), y);
      for (LONG x = 0; x < width; ++x) dst[4 * x + off] = plane[std::size_t(x)];
    }
  }
  return image;
}

long WritePlanarImage(std::FILE* file, const BITMAPINFOHEADER* image) {
  if (!file || !image) return 0;
  std::vector<BYTE> block;
  PutI32(block, image->biWidth);
  PutI32(block, DibHeight(image));
  if (!EncodePlanes(image, block)) return 0;
  if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) return 0;
  return long(block.size());
}

DibPtr ReadPlanarImage(std::FILE* file) {
  if (!file) return nullptr;
  const long start = std::ftell(file);
  if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return nullptr;
  const long end = std::ftell(file);
  if (end < start || std::fseek(file, start, SEEK_SET) != 0) return nullptr;
  BYTE head[8];
  if (end - start < 8 || std::fread(head, 1, 8, file) != 8) return nullptr;
  auto i32 = [&](int at) {
    return std::int32_t(std::uint32_t(head[at]) | std::uint32_t(head[at + 1]) << 8 | std::uint32_t(head[at + 2]) << 16 |
                        std::uint32_t(head[at + 3]) << 24);
  };
  const LONG w = i32(0), h = i32(4);
  const std::size_t available = std::size_t(end - start - 8);
  if (w < 1 || h < 1 || w > kMaxDibDimension || h > kMaxDibDimension || PlanarMinimumBytes(w, h) > available)
    return nullptr;
  std::vector<BYTE> data(available);
  const std::size_t got = std::fread(data.data(), 1, available, file);
  std::size_t pos = 0;
  DibPtr image = DecodePlanes(data.data(), got, pos, w, h);
  // Leave the stream just past the block.
  std::fseek(file, start + 8 + long(pos), SEEK_SET);
  return image;
}
