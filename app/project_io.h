// Little-endian reads and writes on a stdio stream for the project file.
// Both sides remember the first failure instead of reporting every call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "companions/base/win_types.h"

// The header word at offset 20, once always 0 and skipped by every reader,
// holds the loop setting: bit 31 marks it as stored, bit 16 is "loop
// forever", the low 16 bits the play count (1-65535). Files with 0 there
// keep the model's default loop setting.
constexpr std::uint32_t kProjectLoopStored = 0x80000000u;
constexpr std::uint32_t kProjectLoopForever = 0x10000u;
inline std::uint32_t ProjectLoopWord(bool forever, std::int32_t count) {
  const std::uint32_t plays = count < 1 ? 1u : count > 0xFFFF ? 0xFFFFu : std::uint32_t(count);
  return kProjectLoopStored | (forever ? kProjectLoopForever : 0u) | plays;
}

class CProjectOut {
 public:
  explicit CProjectOut(std::FILE* f) : m_file(f) {}
  void Bytes(const void* p, std::size_t n) {
    if (m_ok && n && std::fwrite(p, 1, n, m_file) != n) m_ok = false;
  }
  void U8(std::uint8_t v) { Bytes(&v, 1); }
  void U16(std::uint16_t v) {
    const BYTE b[2] = {BYTE(v), BYTE(v >> 8)};
    Bytes(b, 2);
  }
  void U32(std::uint32_t v) {
    const BYTE b[4] = {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)};
    Bytes(b, 4);
  }
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  long Tell() {
    const long p = std::ftell(m_file);
    if (p < 0) m_ok = false;
    return p;
  }
  void Seek(long pos) {
    if (m_ok && std::fseek(m_file, pos, SEEK_SET) != 0) m_ok = false;
  }
  bool Ok() const { return m_ok; }
  void Fail() { m_ok = false; }
  std::FILE* File() const { return m_file; }

 private:
  std::FILE* m_file;
  bool m_ok = true;
};

// Reads within a stream of known length; every read past the end fails.
class CProjectIn {
 public:
  CProjectIn(std::FILE* f, long long size) : m_file(f), m_size(size < 0 ? 0 : size) {}
  bool Bytes(void* p, std::size_t n) {
    if (!m_ok || n > std::size_t(Remaining()) || std::fread(p, 1, n, m_file) != n) return m_ok = false;
    m_pos += static_cast<long long>(n);
    return true;
  }
  std::uint8_t U8() {
    BYTE b = 0;
    Bytes(&b, 1);
    return b;
  }
  std::uint16_t U16() {
    BYTE b[2] = {};
    Bytes(b, 2);
    return std::uint16_t(b[0] | b[1] << 8);
  }
  std::uint32_t U32() {
    BYTE b[4] = {};
    Bytes(b, 4);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  bool Skip(long long n) { return n >= 0 && n <= Remaining() && Seek(m_pos + n); }
  bool Seek(long long pos) {
    if (!m_ok || pos < 0 || pos > m_size || std::fseek(m_file, long(pos), SEEK_SET) != 0) return m_ok = false;
    m_pos = pos;
    return true;
  }
  long long Tell() const { return m_pos; }
  long long Size() const { return m_size; }
  long long Remaining() const { return m_size - m_pos; }
  bool Ok() const { return m_ok; }
  std::FILE* File() const { return m_file; }

 private:
  std::FILE* m_file;
  long long m_size;
  long long m_pos = 0;
  bool m_ok = true;
};
