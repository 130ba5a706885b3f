// The parsing LZW encoders (lookahead settings, kept tables, clears at given
// or chosen positions, the level-3 search): every stream must decode, with
// our decoder and with giflib's, to the indexes it was made from.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "companions/imageio/gif_lzw.h"

using namespace TevImageIO;

namespace {

struct MemorySource {
  std::vector<std::uint8_t> bytes;
  std::size_t pos = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* out, int n) {
  auto* src = static_cast<MemorySource*>(gif->UserData);
  const std::size_t take = std::min<std::size_t>(std::size_t(n), src->bytes.size() - src->pos);
  std::memcpy(out, src->bytes.data() + src->pos, take);
  src->pos += take;
  return int(take);
}

// A one-image GIF of w x h around the code stream, decoded by giflib.
std::vector<std::uint8_t> GiflibDecode(const std::vector<std::uint8_t>& codes, int codeSize, int w, int h) {
  MemorySource src;
  auto& v = src.bytes;
  const std::uint8_t screen[] = {'G', 'I', 'F', '8', '9', 'a', std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h),
                                 std::uint8_t(h >> 8), std::uint8_t(0x80 | (codeSize - 1)), 0, 0};
  v.reserve(codes.size() + codes.size() / 255 + 1024);
  v.assign(std::begin(screen), std::end(screen));
  v.insert(v.end(), 3 * (std::size_t(1) << codeSize), 0x40);  // grey colour table
  v.insert(v.end(), {0x2C, 0, 0, 0, 0, std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8), 0,
                     std::uint8_t(codeSize)});
  for (std::size_t off = 0; off < codes.size(); off += 255) {
    const std::size_t n = std::min<std::size_t>(255, codes.size() - off);
    v.push_back(std::uint8_t(n));
    v.insert(v.end(), codes.begin() + long(off), codes.begin() + long(off + n));
  }
  v.insert(v.end(), {0, 0x3B});
  int error = 0;
  GifFileType* gif = DGifOpen(&src, ReadMemory, &error);
  if (!gif) return {};
  std::vector<std::uint8_t> out;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1)
    out.assign(gif->SavedImages[0].RasterBits, gif->SavedImages[0].RasterBits + std::size_t(w) * std::size_t(h));
  DGifCloseFile(gif, &error);
  return out;
}

// Our decoder; empty unless exactly count indexes come out.
std::vector<std::uint8_t> OurDecode(const std::vector<std::uint8_t>& codes, int codeSize, std::size_t count) {
  std::vector<std::uint16_t> wide(count + 1);
  const std::size_t got = DecodeGifLzw(codes.data(), codes.size(), codeSize, wide.data(), count);
  return got == count ? std::vector<std::uint8_t>(wide.begin(), wide.begin() + long(count)) : std::vector<std::uint8_t>{};
}

enum Kind { kNoise, kRuns, kFlat, kPhrases, kGradient, kNoiseThenPattern };

struct Picture {
  const char* what;
  int w, h, codeSize;
  Kind kind;
};

std::vector<std::uint8_t> Make(const Picture& p, std::mt19937& rng) {
  const int colours = 1 << p.codeSize;
  std::vector<std::uint8_t> px(std::size_t(p.w) * std::size_t(p.h));
  const std::uint8_t phrase[] = {1, 2, 3, 1, 2, 4, 1, 2, 3, 5, 6, 0, 7};
  int run = 0, colour = 0;
  for (std::size_t i = 0; i < px.size(); ++i) {
    const int x = int(i % std::size_t(p.w)), y = int(i / std::size_t(p.w));
    switch (p.kind) {
      case kNoise: px[i] = std::uint8_t(rng() % unsigned(colours)); break;
      case kRuns:
        if (run-- <= 0) run = int(rng() % 40), colour = int(rng() % unsigned(colours));
        px[i] = std::uint8_t(colour);
        break;
      case kFlat: px[i] = std::uint8_t(colours - 1); break;
      case kPhrases: px[i] = std::uint8_t(phrase[(i + std::size_t(y % 3)) % 13] % colours); break;
      case kGradient: px[i] = std::uint8_t(((x * colours) / p.w + ((x ^ y) & 1)) % colours); break;
      case kNoiseThenPattern:
        // Noise fills the table with strings the rest never uses.
        px[i] = i < px.size() / 8 ? std::uint8_t(rng() % unsigned(colours))
                                  : std::uint8_t(phrase[i % 13] % colours);
        break;
    }
  }
  return px;
}

// Every parse setting (and the search) on pictures that fill the table
// never, once or many times, at every code size.
TEST(ParsedLzw, EveryEncoderDecodesToItsInput) {
  const Picture pictures[] = {
      {"noise, 4 colours", 64, 64, 2, kNoise},         {"noise, 8 colours", 150, 100, 3, kNoise},
      {"runs, 16 colours", 200, 150, 4, kRuns},        {"phrases, 32 colours", 120, 100, 5, kPhrases},
      {"gradient, 64 colours", 256, 128, 6, kGradient}, {"noise, 128 colours", 100, 80, 7, kNoise},
      {"noise, 256 colours", 200, 100, 8, kNoise},     {"flat", 300, 200, 8, kFlat},
      {"noise then pattern", 200, 150, 8, kNoiseThenPattern},
      {"one pixel", 1, 1, 2, kNoise},                  {"one row", 5000, 1, 3, kRuns},
  };
  std::mt19937 rng(11);
  for (const Picture& p : pictures) {
    const std::vector<std::uint8_t> px = Make(p, rng);
    const std::size_t n = px.size();
    std::vector<std::pair<std::string, LzwParse>> parses;
    for (std::size_t lookBack : {0, 1, 8, 9, 64})
      for (LzwClear policy : {LzwClear::WhenFull, LzwClear::Never})
        for (bool shortest : {false, true}) {
          LzwParse q;
          q.lookBack = lookBack;
          q.minGain = lookBack == 1 ? 1 : 2;
          q.deep = lookBack == 9;
          q.policy = policy;
          q.shortestWhenFrozen = shortest;
          parses.emplace_back("lookBack " + std::to_string(lookBack) + (q.deep ? " deep" : "") +
                                  (policy == LzwClear::Never ? " kept" : " cleared") + (shortest ? " fewest" : ""),
                              q);
        }
    // Clears at awkward places: the second index, the last, every 97, past the end, out of order.
    LzwParse odd;
    odd.policy = LzwClear::Never;
    odd.shortestWhenFrozen = true;
    odd.clears = {1, n / 3, n / 3 + 1, n > 1 ? n - 1 : 1, n + 5, n / 5};
    parses.emplace_back("odd clears", odd);
    LzwParse dense = odd;
    dense.clears.clear();
    for (std::size_t at = 97; at < n; at += 97) dense.clears.push_back(at);
    parses.emplace_back("a clear every 97", dense);
    LzwParse chosen = odd;
    chosen.clears = ChooseGifLzwClears(px.data(), n, p.codeSize);
    for (std::size_t at : chosen.clears) EXPECT_TRUE(at > 0 && at < n) << p.what << ": clear at " << at;
    parses.emplace_back("chosen clears", chosen);

    for (const auto& [name, q] : parses) {
      const auto codes = EncodeGifLzwParsed(px.data(), n, p.codeSize, q);
      EXPECT_EQ(OurDecode(codes, p.codeSize, n), px) << p.what << ", " << name << ", our decoder";
      EXPECT_EQ(GiflibDecode(codes, p.codeSize, p.w, p.h), px) << p.what << ", " << name << ", giflib";
    }
    const auto searched = EncodeGifLzwFlexible(px.data(), n, p.codeSize);
    EXPECT_EQ(OurDecode(searched, p.codeSize, n), px) << p.what << ", search, our decoder";
    EXPECT_EQ(GiflibDecode(searched, p.codeSize, p.w, p.h), px) << p.what << ", search, giflib";
    // The search runs tries on two threads; its result must not depend on which ends first.
    EXPECT_EQ(EncodeGifLzwFlexible(px.data(), n, p.codeSize), searched) << p.what;
  }
}

// With a kept full table the table no longer changes, so the fewest codes
// are never more than the greedy parse's; and a picture whose first part
// fills the table with useless strings is smaller with a clear where the
// pattern starts than with either fixed policy.
TEST(ParsedLzw, KeptTablesAndChosenClearsPayWhereTheyShould) {
  const Picture pictures[] = {
      {"noise then pattern", 320, 240, 8, kNoiseThenPattern},
      {"runs", 300, 200, 6, kRuns},
      {"noise", 200, 150, 4, kNoise},
      {"gradient", 256, 150, 8, kGradient},
  };
  std::mt19937 rng(5);
  for (const Picture& p : pictures) {
    const std::vector<std::uint8_t> px = Make(p, rng);
    LzwParse greedy;
    greedy.lookBack = 0;
    greedy.policy = LzwClear::Never;
    LzwParse fewest = greedy;
    fewest.shortestWhenFrozen = true;
    const auto plain = EncodeGifLzwParsed(px.data(), px.size(), p.codeSize, greedy);
    EXPECT_EQ(plain, EncodeGifLzw(px.data(), px.size(), p.codeSize, LzwClear::Never)) << p.what;
    EXPECT_LE(EncodeGifLzwParsed(px.data(), px.size(), p.codeSize, fewest).size(), plain.size()) << p.what;
    // The search keeps the shortest of its tries, the old default parse among them.
    EXPECT_LE(EncodeGifLzwFlexible(px.data(), px.size(), p.codeSize).size(),
              EncodeGifLzwParsed(px.data(), px.size(), p.codeSize, LzwParse{}).size())
        << p.what;
  }
  std::mt19937 again(5);
  const Picture mixed = pictures[0];
  const std::vector<std::uint8_t> px = Make(mixed, again);
  const std::size_t searched = EncodeGifLzwFlexible(px.data(), px.size(), mixed.codeSize).size();
  EXPECT_LT(searched, EncodeGifLzw(px.data(), px.size(), mixed.codeSize, LzwClear::WhenFull).size());
  EXPECT_LT(searched, EncodeGifLzw(px.data(), px.size(), mixed.codeSize, LzwClear::Never).size());
  const auto clears = ChooseGifLzwClears(px.data(), px.size(), mixed.codeSize);
  ASSERT_FALSE(clears.empty());
  // The last fresh table starts where the pattern does (give or take one
  // table's worth of indexes): none is wasted inside the pattern.
  const long boundary = long(px.size() / 8);
  EXPECT_LE(std::labs(long(clears.back()) - boundary), 4096L) << clears.back();
}

// The fewest codes over a kept table are found window by window on long
// pictures: a stretch past a million indexes still decodes, and is no longer
// than the greedy parse.
TEST(ParsedLzw, LongKeptStretchesDecode) {
  const Picture pictures[] = {{"runs", 1300, 1000, 5, kRuns}, {"noise", 1100, 1000, 2, kNoise}};
  std::mt19937 rng(9);
  for (const Picture& p : pictures) {
    const std::vector<std::uint8_t> px = Make(p, rng);
    LzwParse greedy;
    greedy.lookBack = 0;
    greedy.policy = LzwClear::Never;
    LzwParse fewest = greedy;
    fewest.shortestWhenFrozen = true;
    const auto codes = EncodeGifLzwParsed(px.data(), px.size(), p.codeSize, fewest);
    EXPECT_EQ(OurDecode(codes, p.codeSize, px.size()), px) << p.what;
    EXPECT_LE(codes.size(), EncodeGifLzwParsed(px.data(), px.size(), p.codeSize, greedy).size()) << p.what;
  }
}

}  // namespace
