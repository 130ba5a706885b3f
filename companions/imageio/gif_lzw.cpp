#include "companions/imageio/gif_lzw.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <future>
#include <iterator>
#include <utility>

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

// The parse settings, and for the search: an early stop where the table
// fills, and a report after each code of the position reached, the
// stream's length in bits so far and the width of the next code (false
// ends the stream there).
struct CParseOptions : LzwParse {
  bool stopWhenFull = false;
  std::function<bool(std::size_t, std::size_t, int)> trace;
};

// LZW with flexible parsing: at each position the longest string in the
// table is not always the best code; of the last few prefixes of it, the
// one whose end starts the longest next match is taken (ties: the longer).
// Every emitted code still adds the entry the decoder adds (the previous
// string plus the first index of this one), even when that string is in the
// table already, so the table numbering stays the decoder's.
class CFlexibleLzwEncoder : CLzwCodeTable {
 public:
  CFlexibleLzwEncoder(int minCodeSize, const CParseOptions& options) : CLzwCodeTable(minCodeSize), m_opt(options) {}

  std::vector<std::uint8_t> Encode(const std::uint8_t* px, std::size_t count) {
    m_clear = 1 << m_minCodeSize;
    const int mask = m_clear - 1;
    m_width = m_minCodeSize + 1;
    Reset();
    Put(m_clear);
    std::vector<int> chain;  // chain[k - 1]: the code of px[i .. i + k)
    std::size_t i = 0, nextClear = 0;
    const std::vector<std::size_t>& clears = m_opt.clears;
    while (i < count) {
      if (m_opt.stopWhenFull && m_next >= kTableLimit) break;
      while (nextClear < clears.size() && clears[nextClear] <= i) ++nextClear;
      // A code ends where the next fresh table starts.
      const std::size_t limit = nextClear < clears.size() ? std::min(clears[nextClear], count) : count;
      if (m_next >= kTableLimit && m_opt.policy == LzwClear::Never && m_opt.shortestWhenFrozen) {
        i = EncodeFrozen(px, i, limit, mask, &chain);
        if (i < limit) break;  // stopped by the trace
        if (i < count) {
          m_clearPending = true;
          Put(m_clear);
          Reset();
        }
        continue;
      }
      Walk(px, i, limit, mask, &chain);
      const std::size_t longest = chain.size();
      std::size_t take = longest;
      if (longest > 1 && i + longest < limit && m_opt.lookBack > 0) {
        std::size_t bestReach = longest + Next(px, i + longest, limit, mask);
        for (std::size_t k = longest - 1; k >= 1 && longest - k <= m_opt.lookBack; --k) {
          const std::size_t reach = k + Next(px, i + k, limit, mask);
          if (reach >= bestReach && reach - bestReach >= m_opt.minGain) bestReach = reach, take = k;
        }
      }
      Put(chain[take - 1]);
      i += take;
      if (m_opt.trace && !m_opt.trace(i, m_out.size() * 8 + std::size_t(m_bitCount), m_width)) break;
      if (i == limit && i < count) {
        // The decoder adds nothing for a clear: no entry for this code.
        m_clearPending = true;
        Put(m_clear);
        Reset();
      } else if (i < count) {
        Add(chain[take - 1], px[i] & mask);
      }
    }
    return Finish();
  }

 private:
  // px[from, limit) with the full table: the fewest codes, found backwards
  // (ties: the longer first code) over windows of at most kFrozenWindow
  // indexes, each ending with a code, so memory stays small on huge
  // pictures. Returns limit, or where the trace stopped it.
  std::size_t EncodeFrozen(const std::uint8_t* px, std::size_t from, std::size_t limit, int mask,
                           std::vector<int>* chain) {
    constexpr std::size_t kFrozenWindow = std::size_t(1) << 20;
    std::vector<std::uint32_t> codes;
    std::vector<std::uint16_t> take;
    for (std::size_t start = from; start < limit; start += kFrozenWindow) {
      const std::size_t end = std::min(limit, start + kFrozenWindow), n = end - start;
      codes.assign(n + 1, 0);
      take.assign(n, 1);
      for (std::size_t p = n; p-- > 0;) {
        const std::size_t longest = Walk(px, start + p, end, mask, nullptr);
        std::uint32_t best = UINT32_MAX;
        for (std::size_t k = longest; k >= 1; --k)
          if (codes[p + k] + 1 < best) best = codes[p + k] + 1, take[p] = std::uint16_t(k);
        codes[p] = best;
      }
      for (std::size_t p = 0; p < n;) {
        Walk(px, start + p, start + p + take[p], mask, chain);
        Put(chain->back());
        p += take[p];
        if (m_opt.trace && !m_opt.trace(start + p, m_out.size() * 8 + std::size_t(m_bitCount), m_width) &&
            start + p < limit)
          return start + p;
      }
    }
    return limit;
  }

  // How far the code after one ending at px[at] can reach: its longest
  // match, or with a deeper look the farthest of that match's prefixes
  // followed by their longest matches.
  std::size_t Next(const std::uint8_t* px, std::size_t at, std::size_t limit, int mask) const {
    const std::size_t longest = Walk(px, at, limit, mask, nullptr);
    if (!m_opt.deep || at + longest >= limit) return longest;
    std::size_t best = 0;
    for (std::size_t k = longest; k >= 1 && longest - k <= m_opt.lookBack; --k)
      best = std::max(best, k + Walk(px, at + k, limit, mask, nullptr));
    return best;
  }

  // Length of the longest table string at px[at] (up to limit); its prefixes' codes into chain.
  std::size_t Walk(const std::uint8_t* px, std::size_t at, std::size_t limit, int mask, std::vector<int>* chain) const {
    if (chain) chain->clear();
    if (at >= limit) return 0;
    int code = px[at] & mask;
    if (chain) chain->push_back(code);
    std::size_t len = 1;
    while (at + len < limit) {
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
      if (m_opt.policy == LzwClear::Never) return;  // the decoder keeps its full table too
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

  const CParseOptions& m_opt;
};

std::vector<std::uint8_t> EncodeParsed(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                       const CParseOptions& options) {
  CFlexibleLzwEncoder encoder(minCodeSize, options);
  return encoder.Encode(indexes, count);
}

// Where the table first fills with the greedy parse (count when it never does).
std::size_t FillPoint(const std::uint8_t* px, std::size_t count, int minCodeSize) {
  std::size_t reached = count;
  CParseOptions o;
  o.lookBack = 0;
  o.stopWhenFull = true;
  o.trace = [&](std::size_t at, std::size_t, int) {
    reached = at;
    return true;
  };
  EncodeParsed(px, count, minCodeSize, o);
  return reached;
}

// Where fresh tables should start: the cheapest way from the first index to
// the last over a grid of cut points, each stretch costed by the greedy
// parse that keeps its full table (the stream's bits up to the cut, one code
// for the string cut short, the clear). Early clears pay where the picture
// changes character; late ones where a full table still serves. A stretch
// stops growing once it has been costlier than another way to the same
// points for a table's worth of them.
std::vector<std::size_t> ChooseClears(const std::uint8_t* px, std::size_t count, int minCodeSize, std::size_t fill) {
  constexpr std::size_t kPointsPerTable = 32;
  // How far (in indexes, as a multiple of where its table filled) a stretch
  // may reach; the short reach once the work budget is spent.
  constexpr std::size_t kLongReach = 64, kShortReach = 12;
  // A stretch stops when its last table's worth of indexes cost this much
  // more than its first (a fresh table would do better).
  constexpr std::size_t kFreshMarginPercent = 4;
  // Greedy steps per index of the picture before stretches reach less far.
  constexpr std::size_t kWorkPerIndex = 192;
  const std::size_t step = std::max<std::size_t>(fill / kPointsPerTable, 64);
  const std::size_t points = (count + step - 1) / step;
  auto at = [&](std::size_t j) { return std::min(j * step, count); };
  std::vector<std::size_t> cost(points + 1, SIZE_MAX), from(points + 1, 0);
  cost[0] = 0;
  std::size_t j = 0, start = 0, m = 0, behind = 0, lastBits = 0;
  int lastWidth = 0;
  std::vector<std::size_t> spent;  // the stretch's cost at its points so far
  CParseOptions o;
  o.lookBack = 0;
  o.policy = LzwClear::Never;
  auto relax = [&](std::size_t end, std::size_t total, int width) {
    for (; m <= points && at(m) - start <= end; ++m) {
      const std::size_t cut = at(m) - start;
      const bool last = at(m) == count;
      const std::size_t stretch = cut == end ? total + (last ? 0 : std::size_t(width))
                                             : lastBits + std::size_t(lastWidth) * (last ? 1 : 2);
      spent.push_back(stretch);
      if (cost[j] + stretch < cost[m]) {
        cost[m] = cost[j] + stretch, from[m] = j;
        behind = 0;
      } else if (++behind >= 3 * kPointsPerTable) {
        return false;
      }
      // The last table's worth of points cost more than the first did: a
      // fresh table would do better from here.
      const std::size_t t = spent.size();
      if (t > 2 * kPointsPerTable && (spent[t - 1] - spent[t - 1 - kPointsPerTable]) * 100 >
                                         spent[kPointsPerTable - 1] * (100 + kFreshMarginPercent))
        return false;
    }
    lastBits = total, lastWidth = width;
    return true;
  };
  // A stretch reaches a few times as far as its own table took to fill;
  // past a budget of work (pictures where every fresh start keeps winning)
  // less far.
  std::size_t scanned = 0;
  const std::size_t budget = kWorkPerIndex * count;
  const std::size_t codesToFill = std::size_t(kTableLimit - (1 << std::clamp(minCodeSize, 2, 11)) - 1);
  for (j = 0; j < points; ++j) {
    if (cost[j] == SIZE_MAX) continue;
    start = at(j);
    m = j + 1;
    behind = 0;
    spent.clear();
    lastBits = std::size_t(minCodeSize + 1), lastWidth = minCodeSize + 1;
    const std::size_t reach = scanned < budget ? kLongReach : kShortReach;
    std::size_t ended = 0, codes = 0, filled = 0;
    o.trace = [&](std::size_t end, std::size_t total, int width) {
      ended = end;
      if (++codes == codesToFill) filled = end;
      return (filled == 0 || end <= reach * filled) && relax(end, total, width);
    };
    EncodeParsed(px + start, count - start, minCodeSize, o);
    scanned += ended;
  }
  std::vector<std::size_t> clears;
  for (std::size_t k = points; k > 0 && cost[k] != SIZE_MAX; k = from[k])
    if (from[k] > 0) clears.push_back(at(from[k]));
  std::reverse(clears.begin(), clears.end());
  return clears;
}

// Pictures up to this many indexes also try other lookahead settings; up
// to kAllParses, many more (cheap there, and worth a few bytes).
constexpr std::size_t kManyParses = 1 << 18, kAllParses = 1 << 14;

}  // namespace

std::vector<std::uint8_t> EncodeGifLzwParsed(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                             const LzwParse& parse) {
  CParseOptions o;
  static_cast<LzwParse&>(o) = parse;
  return EncodeParsed(indexes, count, minCodeSize, o);
}

std::vector<std::size_t> ChooseGifLzwClears(const std::uint8_t* indexes, std::size_t count, int minCodeSize) {
  const std::size_t fill = count > std::size_t(kTableLimit) ? FillPoint(indexes, count, minCodeSize) : count;
  return fill < count ? ChooseClears(indexes, count, minCodeSize, fill) : std::vector<std::size_t>{};
}

std::vector<std::uint8_t> EncodeGifLzwFlexible(const std::uint8_t* indexes, std::size_t count, int minCodeSize) {
  // Parse settings (lookback, gain, deeper look); which is best depends on
  // the picture. Big pictures try only the first, small ones all.
  struct Setting {
    std::size_t lookBack, minGain;
    bool deep;
  };
  static constexpr Setting kParses[] = {
      {8, 2, false},  {4, 1, false}, {16, 1, false}, {4, 2, false}, {8, 3, true},  {4, 2, true},
      {8, 2, true},   // small pictures try the rest as well
      {32, 1, true},  {6, 1, true},  {16, 1, true},  {3, 1, true},  {4, 1, true},  {12, 1, true},
      {2, 1, true},   {12, 2, true}, {3, 4, true},   {6, 4, true},  {3, 4, false}, {16, 2, true},
      {1, 1, false},  {2, 3, true},  {12, 3, true},  {1, 4, true}};
  const std::size_t tries = count <= kAllParses ? std::size(kParses) : count <= kManyParses ? 7 : 1;
  auto parse = [](std::size_t k) {
    CParseOptions o;
    o.lookBack = kParses[k].lookBack;
    o.minGain = kParses[k].minGain;
    o.deep = kParses[k].deep;
    return o;
  };
  auto keep = [](std::vector<std::uint8_t>& best, std::vector<std::uint8_t>&& other) {
    if (best.empty() || other.size() < best.size()) best = std::move(other);
  };
  // Clear placements only matter once the table fills. That search runs
  // beside the other tries on big pictures; the shortest stream wins, the
  // earlier try on a tie, so the result does not depend on timing.
  const std::size_t fill = count > std::size_t(kTableLimit) ? FillPoint(indexes, count, minCodeSize) : count;
  auto placed = [=] {
    std::vector<std::uint8_t> best;
    if (fill >= count) return best;
    const std::vector<std::size_t> clears = ChooseClears(indexes, count, minCodeSize, fill);
    // The default parse, the greedy one, and on smaller pictures the deeper look.
    for (std::size_t k : {std::size_t(0), std::size_t(1), std::size_t(2)}) {
      if (k == 2 && count > kManyParses) break;
      CParseOptions o = parse(k == 2 ? 5 : 0);
      if (k == 1) o.lookBack = 0;
      o.policy = LzwClear::Never;
      o.shortestWhenFrozen = true;
      o.clears = clears;
      keep(best, EncodeParsed(indexes, count, minCodeSize, o));
    }
    return best;
  };
  std::future<std::vector<std::uint8_t>> searched;
  if (fill < count && count >= kParallelCount) searched = std::async(std::launch::async, placed);
  std::vector<std::uint8_t> best;
  for (std::size_t k = 0; k < tries; ++k)
    keep(best, EncodeParsed(indexes, count, minCodeSize, parse(k)));
  if (fill < count) {
    CParseOptions kept = parse(0);
    kept.policy = LzwClear::Never;
    kept.shortestWhenFrozen = true;
    keep(best, EncodeParsed(indexes, count, minCodeSize, kept));
    keep(best, searched.valid() ? searched.get() : placed());
  }
  return best;
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
