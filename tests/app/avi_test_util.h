// Writes small uncompressed AVI files byte by byte for the import tests:
// one video stream of 24-bit "DIB " frames with an idx1 index. Pixel (x, y)
// of frame f (y from the top) is AviPixel(f, x, y).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

struct AviLayout {
  int width = 5, height = 3, frames = 30;
  std::uint32_t scale = 1, rate = 15;
  // Damage: a header width/height/total other than the real ones (0 keeps them).
  std::int64_t headerWidth = 0, headerHeight = 0, headerTotal = -1;
  std::size_t truncateTo = 0;  // keep only this many bytes (0: all)
};

struct AviRgb {
  std::uint8_t b, g, r;
};

inline AviRgb AviPixel(int f, int x, int y) {
  return {std::uint8_t(x * 40 + f), std::uint8_t(y * 50 + 3), std::uint8_t(f * 8 + x)};
}

class AviBytes {
 public:
  std::vector<std::uint8_t> v;
  AviBytes& id(const char* s) {
    v.insert(v.end(), s, s + 4);
    return *this;
  }
  AviBytes& u32(std::uint64_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(std::uint8_t(x >> (8 * i)));
    return *this;
  }
  AviBytes& u16(std::uint32_t x) {
    v.push_back(std::uint8_t(x));
    v.push_back(std::uint8_t(x >> 8));
    return *this;
  }
  std::size_t open(const char* cid, const char* type = nullptr) {
    id(cid);
    const std::size_t at = v.size();
    u32(0);
    if (type) id(type);
    return at;
  }
  void close(std::size_t at) {
    const std::size_t size = v.size() - at - 4;
    for (int i = 0; i < 4; ++i) v[at + std::size_t(i)] = std::uint8_t(size >> (8 * i));
    if (size & 1) v.push_back(0);
  }
};

inline std::vector<std::uint8_t> MakeAvi(const AviLayout& s) {
  const std::size_t pitch = (std::size_t(s.width) * 3 + 3) / 4 * 4;
  const std::size_t frameBytes = pitch * std::size_t(s.height);
  AviBytes b;
  const std::size_t riff = b.open("RIFF", "AVI ");
  const std::size_t hdrl = b.open("LIST", "hdrl");
  const std::size_t avih = b.open("avih");
  b.u32(std::uint64_t(1000000.0 * s.scale / s.rate)).u32(0).u32(0).u32(0x10);
  b.u32(std::uint64_t(s.headerTotal >= 0 ? s.headerTotal : s.frames)).u32(0).u32(1).u32(frameBytes);
  b.u32(std::uint64_t(s.headerWidth ? s.headerWidth : s.width)).u32(std::uint64_t(s.headerHeight ? s.headerHeight : s.height));
  b.u32(0).u32(0).u32(0).u32(0);
  b.close(avih);
  const std::size_t strl = b.open("LIST", "strl");
  const std::size_t strh = b.open("strh");
  b.id("vids").id("DIB ").u32(0).u16(0).u16(0).u32(0).u32(s.scale).u32(s.rate).u32(0).u32(std::uint64_t(s.frames));
  b.u32(frameBytes).u32(0xFFFFFFFF).u32(frameBytes).u16(0).u16(0).u16(std::uint32_t(s.width)).u16(std::uint32_t(s.height));
  b.close(strh);
  const std::size_t strf = b.open("strf");
  b.u32(40).u32(std::uint64_t(s.width)).u32(std::uint64_t(s.height)).u16(1).u16(24).u32(0).u32(frameBytes);
  b.u32(0).u32(0).u32(0).u32(0);
  b.close(strf);
  b.close(strl);
  b.close(hdrl);
  const std::size_t movi = b.open("LIST", "movi");
  std::vector<std::uint32_t> offsets;
  for (int f = 0; f < s.frames; ++f) {
    offsets.push_back(std::uint32_t(b.v.size() - (movi + 4)));
    const std::size_t chunk = b.open("00db");
    for (int row = 0; row < s.height; ++row) {
      const int y = s.height - 1 - row;  // bottom-up rows
      for (int x = 0; x < s.width; ++x) {
        const AviRgb p = AviPixel(f, x, y);
        b.v.insert(b.v.end(), {p.b, p.g, p.r});
      }
      b.v.resize(b.v.size() + pitch - std::size_t(s.width) * 3, 0);
    }
    b.close(chunk);
  }
  b.close(movi);
  const std::size_t idx1 = b.open("idx1");
  for (int f = 0; f < s.frames; ++f) b.id("00db").u32(0x10).u32(offsets[std::size_t(f)]).u32(frameBytes);
  b.close(idx1);
  b.close(riff);
  if (s.truncateTo && s.truncateTo < b.v.size()) b.v.resize(s.truncateTo);
  return b.v;
}

inline bool WriteAvi(const std::string& path, const AviLayout& s) {
  const auto bytes = MakeAvi(s);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}
