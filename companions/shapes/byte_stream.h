// Little-endian byte streams for the serialized shape and text objects. The
// reader checks every length against the bytes that remain, so a damaged
// payload makes it fail instead of reading past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace TevCustomPathLibV {

// CRC-32 (IEEE 802.3 polynomial, as zlib computes it).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

class CTevByteWriter {
 public:
  void U8(std::uint8_t v) { m_bytes.push_back(v); }
  void U16(std::uint16_t v);
  void U32(std::uint32_t v);
  void I32(std::int32_t v) { U32(std::uint32_t(v)); }
  void F64(double v);
  void Bytes(const void* p, std::size_t n);
  // A string with a 32-bit length in front.
  void String(const std::string& s);
  std::vector<std::uint8_t>& Data() { return m_bytes; }
  // Overwrites 4 bytes at an earlier position (a length written afterwards).
  void PatchU32(std::size_t at, std::uint32_t v);

 private:
  std::vector<std::uint8_t> m_bytes;
};

class CTevByteReader {
 public:
  CTevByteReader(const std::uint8_t* data, std::size_t size) : m_p(data), m_left(size) {}
  bool U8(std::uint8_t* v);
  bool U16(std::uint16_t* v);
  bool U32(std::uint32_t* v);
  bool I32(std::int32_t* v);
  // Fails on a value that is not finite.
  bool F64(double* v);
  bool Bytes(void* out, std::size_t n);
  // Fails when the length exceeds maxLength or the bytes that remain.
  bool String(std::string* s, std::size_t maxLength);
  // A sub-reader over the next n bytes, which this reader skips.
  bool Sub(std::size_t n, CTevByteReader* sub);
  std::size_t Left() const { return m_left; }
  const std::uint8_t* Position() const { return m_p; }

 private:
  const std::uint8_t* m_p;
  std::size_t m_left;
};

}  // namespace TevCustomPathLibV
