// Helpers for the project file tests: a little-endian byte builder for
// hand-made files, and a small generator that stands in for the shape and
// text objects.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/dib_object.h"
#include "companions/dibkernel/dib_kernel.h"

struct Bytes {
  std::vector<std::uint8_t> v;
  Bytes& u8(unsigned x) { v.push_back(std::uint8_t(x)); return *this; }
  Bytes& u16(unsigned x) { u8(x & 0xFF); return u8((x >> 8) & 0xFF); }
  Bytes& u32(std::uint32_t x) { u16(x & 0xFFFF); return u16(x >> 16); }
  Bytes& i32(std::int32_t x) { return u32(std::uint32_t(x)); }
  Bytes& str(const char* s) { v.insert(v.end(), s, s + std::strlen(s)); return *this; }
  Bytes& raw(const void* p, std::size_t n) {
    auto b = static_cast<const std::uint8_t*>(p);
    v.insert(v.end(), b, b + n);
    return *this;
  }
  Bytes& name48(const std::string& s) {
    std::uint8_t buf[48] = {};
    std::memcpy(buf, s.data(), s.size() < 48 ? s.size() : 48);
    return raw(buf, 48);
  }
  Bytes& zeros(std::size_t n) { v.insert(v.end(), n, 0); return *this; }
  std::size_t size() const { return v.size(); }
  void patch32(std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = std::uint8_t(x >> (8 * i));
  }
};

// Four planes of a w x h picture where pixel (x, y) has R = x + 10y,
// G = 2x, B = 3y, A = 255, each row coded as literal groups of up to 128
// bytes (deliberately not the writer's grouping).
inline void AppendLiteralPlanes(Bytes& b, int w, int h) {
  for (int p = 0; p < 4; ++p)
    for (int y = 0; y < h; ++y) {
      for (int x0 = 0; x0 < w; x0 += 128) {
        const int n = w - x0 < 128 ? w - x0 : 128;
        b.u8(unsigned(n - 1));
        for (int x = x0; x < x0 + n; ++x) {
          const int v = p == 0 ? x + 10 * y : p == 1 ? 2 * x : p == 2 ? 3 * y : 255;
          b.u8(unsigned(v & 0xFF));
        }
      }
    }
}

// The pixel AppendLiteralPlanes stores, as B, G, R, A.
inline bool PixelIsPattern(const BITMAPINFOHEADER* dib, int x, int y) {
  const BYTE* p = DibRow(dib, y) + 4 * x;
  return p[2] == BYTE(x + 10 * y) && p[1] == BYTE(2 * x) && p[0] == BYTE(3 * y) && p[3] == 255;
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// A generator whose parameters are a size and a colour: Save writes
// "FAKE", width, height, colour; Build fills a picture with the colour.
class CFakeFactory : public CDibFactory {
 public:
  CFakeFactory(int w = 0, int h = 0, COLORREF c = 0) : m_w(w), m_h(h), m_colour(c) {}
  BITMAPINFOHEADER* Build() override {
    return m_w > 0 && m_h > 0 && m_w < 4096 && m_h < 4096 ? CDIB32::CreateSimple32BitsDIB(m_w, m_h, m_colour, 255)
                                                          : nullptr;
  }
  void GetNaturalSize(double& w, double& h) const override { w = m_w; h = m_h; }
  BITMAPINFOHEADER* Transform(double, double, double) override { return Build(); }
  long Save(std::FILE* f, const char*, const char*) override {
    if (m_failSave) return 0;
    std::int32_t v[3] = {m_w, m_h, std::int32_t(m_colour)};
    return std::fwrite("FAKE", 1, 4, f) == 4 && std::fwrite(v, 4, 3, f) == 3 ? 16 : 0;
  }
  bool Load(std::FILE* f, int reserved, const char* version, const char*) override {
    char magic[4];
    std::int32_t v[3];
    if (std::fread(magic, 1, 4, f) != 4 || std::memcmp(magic, "FAKE", 4) != 0 || std::fread(v, 4, 3, f) != 3)
      return false;
    m_w = v[0];
    m_h = v[1];
    m_colour = COLORREF(v[2]);
    m_reserved = reserved;
    m_version = version;
    return true;
  }
  double GetAngle() const override { return 0; }

  std::int32_t m_w, m_h;
  COLORREF m_colour;
  int m_reserved = -1;
  std::string m_version;
  std::int32_t m_storedKind = -1;
  bool m_failSave = false;
};
