// The flexible-parsing LZW encoder against the greedy one: both streams
// must decode, with our decoder and with giflib's, to the same indexes.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

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
  v = {'G', 'I', 'F', '8', '9', 'a', std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8),
       std::uint8_t(0x80 | (codeSize - 1)), 0, 0};
  v.resize(v.size() + 3 * (std::size_t(1) << codeSize), 0x40);
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

std::vector<std::uint8_t> OurDecode(const std::vector<std::uint8_t>& codes, int codeSize, std::size_t count) {
  std::vector<std::uint16_t> wide(count);
  const std::size_t got = DecodeGifLzw(codes.data(), codes.size(), codeSize, wide.data(), count);
  return got == count ? std::vector<std::uint8_t>(wide.begin(), wide.end()) : std::vector<std::uint8_t>{};
}

TEST(FlexibleLzw, DecodesToTheSameIndexesAsTheGreedyEncoder) {
  struct Case {
    const char* what;
    int w, h, codeSize, colours;
    int kind;  // 0 noise, 1 stripes, 2 flat, 3 repeating phrases, 4 dithered gradient
  };
  const Case cases[] = {
      {"noise of 4 colours", 64, 64, 2, 4, 0},   {"noise of 256 colours", 120, 90, 8, 256, 0},
      {"stripes", 200, 100, 4, 16, 1},           {"flat", 300, 300, 8, 256, 2},
      {"phrases", 160, 160, 3, 8, 3},            {"dithered gradient", 256, 200, 6, 64, 4},
      {"one pixel", 1, 1, 2, 2, 0},              {"table fills many times", 600, 400, 8, 256, 0},
  };
  std::mt19937 rng(7);
  for (const Case& c : cases) {
    std::vector<std::uint8_t> px(std::size_t(c.w) * std::size_t(c.h));
    const std::vector<std::uint8_t> phrase = {1, 2, 3, 1, 2, 4, 1, 2, 3, 5, 6};
    for (std::size_t i = 0; i < px.size(); ++i) {
      const int x = int(i % std::size_t(c.w)), y = int(i / std::size_t(c.w));
      switch (c.kind) {
        case 0: px[i] = std::uint8_t(rng() % unsigned(c.colours)); break;
        case 1: px[i] = std::uint8_t((x / 3 + y / 7) % c.colours); break;
        case 2: px[i] = 17; break;
        case 3: px[i] = std::uint8_t(phrase[(i + std::size_t(y % 3)) % phrase.size()] % c.colours); break;
        default: px[i] = std::uint8_t(((x * c.colours) / c.w + ((x ^ y) & 1)) % c.colours); break;
      }
    }
    const auto greedy = EncodeGifLzw(px.data(), px.size(), c.codeSize, LzwClear::WhenFull);
    const auto flexible = EncodeGifLzwFlexible(px.data(), px.size(), c.codeSize);
    EXPECT_EQ(OurDecode(greedy, c.codeSize, px.size()), px) << c.what << " greedy";
    EXPECT_EQ(OurDecode(flexible, c.codeSize, px.size()), px) << c.what << " flexible, our decoder";
    EXPECT_EQ(GiflibDecode(flexible, c.codeSize, c.w, c.h), px) << c.what << " flexible, giflib";
  }
}

}  // namespace
