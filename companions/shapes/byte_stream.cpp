#include "companions/shapes/byte_stream.h"

#include <cmath>
#include <cstring>

namespace TevCustomPathLibV {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void CTevByteWriter::U16(std::uint16_t v) {
  U8(std::uint8_t(v));
  U8(std::uint8_t(v >> 8));
}

void CTevByteWriter::U32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) U8(std::uint8_t(v >> (8 * i)));
}

void CTevByteWriter::F64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i) U8(std::uint8_t(bits >> (8 * i)));
}

void CTevByteWriter::Bytes(const void* p, std::size_t n) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  m_bytes.insert(m_bytes.end(), b, b + n);
}

void CTevByteWriter::String(const std::string& s) {
  U32(std::uint32_t(s.size()));
  Bytes(s.data(), s.size());
}

void CTevByteWriter::PatchU32(std::size_t at, std::uint32_t v) {
  if (at + 4 > m_bytes.size()) return;
  for (int i = 0; i < 4; ++i) m_bytes[at + i] = std::uint8_t(v >> (8 * i));
}

bool CTevByteReader::Bytes(void* out, std::size_t n) {
  if (n > m_left) return false;
  if (n) std::memcpy(out, m_p, n);
  m_p += n;
  m_left -= n;
  return true;
}

bool CTevByteReader::U8(std::uint8_t* v) { return Bytes(v, 1); }

bool CTevByteReader::U16(std::uint16_t* v) {
  std::uint8_t b[2];
  if (!Bytes(b, 2)) return false;
  *v = std::uint16_t(b[0] | (b[1] << 8));
  return true;
}

bool CTevByteReader::U32(std::uint32_t* v) {
  std::uint8_t b[4];
  if (!Bytes(b, 4)) return false;
  *v = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
  return true;
}

bool CTevByteReader::I32(std::int32_t* v) {
  std::uint32_t u;
  if (!U32(&u)) return false;
  *v = std::int32_t(u);
  return true;
}

bool CTevByteReader::F64(double* v) {
  std::uint8_t b[8];
  if (!Bytes(b, 8)) return false;
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= std::uint64_t(b[i]) << (8 * i);
  std::memcpy(v, &bits, 8);
  return std::isfinite(*v);
}

bool CTevByteReader::String(std::string* s, std::size_t maxLength) {
  std::uint32_t n;
  if (!U32(&n) || n > maxLength || n > m_left) return false;
  s->assign(reinterpret_cast<const char*>(m_p), n);
  m_p += n;
  m_left -= n;
  return true;
}

bool CTevByteReader::Sub(std::size_t n, CTevByteReader* sub) {
  if (n > m_left) return false;
  *sub = CTevByteReader(m_p, n);
  m_p += n;
  m_left -= n;
  return true;
}

}  // namespace TevCustomPathLibV
