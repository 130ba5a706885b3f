#include "companions/imageio/gif_lzw.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <future>

namespace TevImageIO {

namespace {

constexpr int kMaxBits = 12;
constexpr int kTableLimit = 1 << kMaxBits;
constexpr std::size_t kHashSize = 1 << 14;  // open addressing, at most 4096 keys live

// The string table (keys prefix << 11 | index, hashed) and the code writer
// both encoders share: codes go out LSB first at the decoder's width.
class CLzwCodeTable {
 protected:
  explicit CLzwCodeTable(int minCodeSize)
      : m_minCodeSize(std::clamp(minCodeSize, 2, 11)), m_keys(kHashSize), m_codes(kHashSize) {}

  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

  static std::size_t Hash(std::uint32_t key) { return (key * 2654435761u >> 18) & (kHashSize - 1); }

  int FindKey(std::uint32_t key) const {
    for (std::size_t slot = Hash(key); m_keys[slot] != kEmpty; slot = (slot + 1) & (kHashSize - 1))
      if (m_keys[slot] == key) return m_codes[slot];
    return -1;
  }

  void Reset() {
    std::fill(m_keys.begin(), m_keys.end(), kEmpty);
    m_next = m_clear + 2;
  }

  // Writes code at the current width, then widens the way the decoder will:
  // one code after the table passed the width's last code, back to the
  // start after a clear.
  void Put(int code) {
    m_bits |= std::uint32_t(code) << m_bitCount;
    m_bitCount += m_width;
    while (m_bitCount >= 8) {
      m_out.push_back(std::uint8_t(m_bits));
      m_bits >>= 8;
      m_bitCount -= 8;
    }
    if (m_clearPending) {
      m_width = m_minCodeSize + 1;
      m_clearPending = false;
    } else if (m_next > ((1 << m_width) - 1) && m_width < kMaxBits) {
      ++m_width;
    }
  }

  // The end code and the last partial byte; the stream is handed over.
  std::vector<std::uint8_t> Finish() {
    Put(m_clear + 1);
    if (m_bitCount > 0) m_out.push_back(std::uint8_t(m_bits));
    return std::move(m_out);
  }

  int m_minCodeSize;
  std::vector<std::uint32_t> m_keys;
  std::vector<int> m_codes;
  int m_width = 0;
  std::vector<std::uint8_t> m_out;
  std::uint32_t m_bits = 0;
  int m_bitCount = 0;
  int m_clear = 0, m_next = 0;
  bool m_clearPending = false;
};

class CLzwEncoder : CLzwCodeTable {
 public:
  CLzwEncoder(int minCodeSize, LzwClear policy) : CLzwCodeTable(minCodeSize), m_policy(policy) {
    m_width = m_minCodeSize + 1;
  }

  // Whether the table reached its 4096 codes during the last Encode.
  bool Filled() const { return m_filled; }

  template <class Index>
  std::vector<std::uint8_t> Encode(const Index* px, std::size_t count) {
    m_clear = 1 << m_minCodeSize;
    const int mask = m_clear - 1;
    Reset();
    Put(m_clear);
    if (count > 0) {
      int ent = px[0] & mask;
      for (std::size_t i = 1; i < count; ++i) {
        const int c = px[i] & mask;
        const std::uint32_t key = (std::uint32_t(ent) << 11) | std::uint32_t(c);
        std::size_t slot = Hash(key);
        bool found = false;
        while (m_keys[slot] != kEmpty) {
          if (m_keys[slot] == key) {
            found = true;
            break;
          }
          slot = (slot + 1) & (kHashSize - 1);
        }
        if (found) {
          ent = m_codes[slot];
          continue;
        }
        if (m_near && std::size_t(c) < m_near->size()) {
          // A near colour whose string is in the table stands in for c.
          int alt = -1;
          for (const std::uint8_t n : (*m_near)[std::size_t(c)])
            if ((alt = FindKey((std::uint32_t(ent) << 11) | std::uint32_t(n & mask))) >= 0) break;
          if (alt >= 0) {
            ent = alt;
            continue;
          }
        }
        Put(ent);
        ent = c;
        if (m_next < kTableLimit) {
          m_keys[slot] = key;
          m_codes[slot] = m_next++;
        } else {
          m_filled = true;
          if (m_policy == LzwClear::WhenFull) {
            // The clear goes out at the full width; the next code at the start width.
            m_clearPending = true;
            Put(m_clear);
            Reset();
          }
        }
      }
      Put(ent);
    }
    return Finish();
  }

 private:
  LzwClear m_policy;
  bool m_filled = false;

 public:
  const std::vector<std::vector<std::uint8_t>>* m_near = nullptr;  // lossy: stand-ins per index
};

// Pictures of at least this many pixels encode both clear strategies on two threads.
constexpr std::size_t kParallelCount = 1 << 16;

}  // namespace

std::vector<std::uint8_t> EncodeGifLzw(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                       LzwClear policy, bool* filled) {
  CLzwEncoder encoder(minCodeSize, policy);
  std::vector<std::uint8_t> codes = encoder.Encode(indexes, count);
  if (filled) *filled = encoder.Filled();
  return codes;
}

std::vector<std::uint8_t> EncodeGifLzw(const std::uint16_t* indexes, std::size_t count, int minCodeSize,
                                       LzwClear policy) {
  CLzwEncoder encoder(minCodeSize, policy);
  return encoder.Encode(indexes, count);
}

std::vector<std::vector<std::uint8_t>> GifNearIndexes(const std::uint32_t* colours, int count, int transparent,
                                                     int within, int limit) {
  std::vector<std::vector<std::uint8_t>> near(std::size_t(std::clamp(count, 0, 256)));
  if (within <= 0) return near;
  auto channel = [](std::uint32_t c, int k) { return int((c >> (8 * k)) & 0xFF); };
  for (int i = 0; i < int(near.size()); ++i) {
    if (i == transparent) continue;
    std::vector<std::pair<int, int>> found;  // (distance, index)
    for (int j = 0; j < int(near.size()); ++j) {
      if (j == i || j == transparent) continue;
      int worst = 0, sum = 0;
      for (int k = 0; k < 3; ++k) {
        const int d = std::abs(channel(colours[i], k) - channel(colours[j], k));
        worst = std::max(worst, d);
        sum += d;
      }
      if (worst <= within) found.emplace_back(sum, j);
    }
    std::sort(found.begin(), found.end());
    if (int(found.size()) > limit) found.resize(std::size_t(limit));
    for (const auto& f : found) near[std::size_t(i)].push_back(std::uint8_t(f.second));
  }
  return near;
}

std::vector<std::uint8_t> EncodeGifLzwLossy(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                            const std::vector<std::vector<std::uint8_t>>& near) {
  // Both clear strategies, and the exact stream: the shortest is kept, so
  // the lossy mode never makes an image larger.
  std::vector<std::uint8_t> best = EncodeGifLzwSmallest(indexes, count, minCodeSize);
  for (LzwClear policy : {LzwClear::WhenFull, LzwClear::Never}) {
    CLzwEncoder encoder(minCodeSize, policy);
    encoder.m_near = &near;
    std::vector<std::uint8_t> codes = encoder.Encode(indexes, count);
    if (codes.size() < best.size()) best = std::move(codes);
    if (!encoder.Filled()) break;
  }
  return best;
}

std::vector<std::uint8_t> EncodeGifLzwSmallest(const std::uint8_t* indexes, std::size_t count, int minCodeSize) {
  // The table only fills on pictures with more pixels than codes.
  if (count <= std::size_t(kTableLimit)) return EncodeGifLzw(indexes, count, minCodeSize, LzwClear::WhenFull);
  // Large pictures encode both ways at once (the result does not depend on
  // which finishes first); smaller ones try the deferred clear only when the
  // table did fill, since until then both streams are the same.
  if (count >= kParallelCount) {
    auto deferred = std::async(std::launch::async,
                               [=] { return EncodeGifLzw(indexes, count, minCodeSize, LzwClear::Never); });
    std::vector<std::uint8_t> best = EncodeGifLzw(indexes, count, minCodeSize, LzwClear::WhenFull);
    std::vector<std::uint8_t> other = deferred.get();
    return other.size() < best.size() ? other : best;
  }
  CLzwEncoder encoder(minCodeSize, LzwClear::WhenFull);
  std::vector<std::uint8_t> best = encoder.Encode(indexes, count);
  if (!encoder.Filled()) return best;
  std::vector<std::uint8_t> deferred = EncodeGifLzw(indexes, count, minCodeSize, LzwClear::Never);
  return deferred.size() < best.size() ? deferred : best;
}

namespace {

// LZW with flexible parsing: at each position the longest string in the
// table is not always the best code; of the last few prefixes of it, the
// one whose end starts the longest next match is taken (ties: the longer).
// Every emitted code still adds the entry the decoder adds (the previous
// string plus the first index of this one), even when that string is in the
// table already, so the table numbering stays the decoder's.
class CFlexibleLzwEncoder : CLzwCodeTable {
 public:
  explicit CFlexibleLzwEncoder(int minCodeSize) : CLzwCodeTable(minCodeSize) {}

  std::vector<std::uint8_t> Encode(const std::uint8_t* px, std::size_t count) {
    m_clear = 1 << m_minCodeSize;
    const int mask = m_clear - 1;
    m_width = m_minCodeSize + 1;
    Reset();
    Put(m_clear);
    std::vector<int> chain;  // chain[k - 1]: the code of px[i .. i + k)
    std::size_t i = 0;
    while (i < count) {
      Walk(px, i, count, mask, &chain);
      const std::size_t longest = chain.size();
      std::size_t take = longest;
      if (longest > 1 && i + longest < count) {
        std::size_t bestReach = longest + Walk(px, i + longest, count, mask, nullptr);
        for (std::size_t k = longest - 1; k >= 1 && k + kLookBack >= longest; --k) {
          const std::size_t reach = k + Walk(px, i + k, count, mask, nullptr);
          if (reach >= bestReach + kMinGain) bestReach = reach, take = k;
        }
      }
      Put(chain[take - 1]);
      i += take;
      if (i < count) Add(chain[take - 1], px[i] & mask);
    }
    return Finish();
  }

 private:
  static constexpr std::size_t kLookBack = 8;
  static constexpr std::size_t kMinGain = 2;  // a shorter code wastes a table entry: it must gain more than one index

  // Length of the longest table string at px[at]; its prefixes' codes into chain.
  std::size_t Walk(const std::uint8_t* px, std::size_t at, std::size_t count, int mask, std::vector<int>* chain) const {
    if (chain) chain->clear();
    if (at >= count) return 0;
    int code = px[at] & mask;
    if (chain) chain->push_back(code);
    std::size_t len = 1;
    while (at + len < count) {
      const int next = Find(code, px[at + len] & mask);
      if (next < 0) break;
      code = next;
      if (chain) chain->push_back(code);
      ++len;
    }
    return len;
  }

  int Find(int prefix, int c) const { return FindKey((std::uint32_t(prefix) << 11) | std::uint32_t(c)); }

  // The decoder's new entry; a string already present keeps its old code.
  void Add(int prefix, int c) {
    if (m_next >= kTableLimit) {
      // The decoder's table is full as well: start over.
      m_clearPending = true;
      Put(m_clear);
      Reset();
      return;
    }
    const std::uint32_t key = (std::uint32_t(prefix) << 11) | std::uint32_t(c);
    std::size_t slot = Hash(key);
    while (m_keys[slot] != kEmpty && m_keys[slot] != key) slot = (slot + 1) & (kHashSize - 1);
    if (m_keys[slot] == kEmpty) {
      m_keys[slot] = key;
      m_codes[slot] = m_next;
    }
    ++m_next;
  }
};

}  // namespace

std::vector<std::uint8_t> EncodeGifLzwFlexible(const std::uint8_t* indexes, std::size_t count, int minCodeSize) {
  CFlexibleLzwEncoder encoder(minCodeSize);
  return encoder.Encode(indexes, count);
}

std::size_t DecodeGifLzw(const std::uint8_t* data, std::size_t size, int minCodeSize, std::uint16_t* out,
                         std::size_t count) {
  if (minCodeSize < 1 || minCodeSize > kMaxBits - 1 || !out) return 0;
  // Every table string is the previous string plus the first index of the
  // next one, and those lie side by side in the output: a string is kept as
  // where it was written and its length, and decoding copies it from there.
  std::vector<std::size_t> start(kTableLimit);
  std::vector<std::uint16_t> length(kTableLimit);
  const int clear = 1 << minCodeSize, end = clear + 1;
  int width = minCodeSize + 1, next = clear + 2, prev = -1;
  std::size_t prevStart = 0, prevLength = 0;
  std::uint32_t bits = 0;
  int bitCount = 0;
  std::size_t pos = 0, written = 0;
  while (written < count) {
    while (bitCount < width && pos < size) {
      bits |= std::uint32_t(data[pos++]) << bitCount;
      bitCount += 8;
    }
    if (bitCount < width) break;
    const int code = int(bits & ((1u << width) - 1));
    bits >>= width;
    bitCount -= width;
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == end) break;
    if (prev < 0 && code > clear) break;  // only a literal may follow a clear
    const std::size_t at = written;
    std::size_t len = 1;
    if (code < clear) {
      out[written++] = std::uint16_t(code);
    } else if (code < next) {
      // A string written earlier (it ends before this one starts).
      len = length[std::size_t(code)];
      const std::size_t n = std::min(len, count - at);
      std::copy_n(out + start[std::size_t(code)], n, out + at);
      written += n;
    } else {
      // The one code not defined yet: the previous string plus its own first index.
      if (code != next || next >= kTableLimit) break;
      len = prevLength + 1;
      const std::size_t n = std::min(prevLength, count - at);
      std::copy_n(out + prevStart, n, out + at);
      written += n;
      if (written < count) out[written++] = out[prevStart];
    }
    if (prev >= 0 && next < kTableLimit) {
      start[std::size_t(next)] = prevStart;
      length[std::size_t(next)] = std::uint16_t(prevLength + 1);
      ++next;
      if (next == (1 << width) && width < kMaxBits) ++width;
    }
    prev = code;
    prevStart = at;
    prevLength = len;
  }
  return written;
}

}  // namespace TevImageIO
