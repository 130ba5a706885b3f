// The parsing LZW encoders (lookahead settings, kept tables, clears at given
// or chosen positions, the level-3 search): every stream must decode, with
// our decoder and with giflib's, to the indexes it was made from.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "companions/imageio/gif_lzw.h"
#include "imageio_test_util.h"

using namespace TevImageIO;

namespace {

// A one-image GIF of w x h around the code stream (a grey colour table).
std::vector<unsigned char> OneImageGif(const std::vector<std::uint8_t>& codes, int codeSize, int w, int h) {
  std::vector<unsigned char> v = {'G', 'I', 'F', '8', '9', 'a', std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h),
                                  std::uint8_t(h >> 8), std::uint8_t(0x80 | (codeSize - 1)), 0, 0};
  v.reserve(v.size() + 3 * (std::size_t(1) << codeSize) + 13 + codes.size() * 256 / 255 + 3);
  v.resize(v.size() + 3 * (std::size_t(1) << codeSize), 0x40);
  v.insert(v.end(), {0x2C, 0, 0, 0, 0, std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8), 0,
                     std::uint8_t(codeSize)});
  for (std::size_t off = 0; off < codes.size(); off += 255) {
    const std::size_t n = std::min<std::size_t>(255, codes.size() - off);
    v.push_back(std::uint8_t(n));
    v.insert(v.end(), codes.begin() + long(off), codes.begin() + long(off + n));
  }
  v.insert(v.end(), {0, 0x3B});
  return v;
}

// The stream decoded by giflib.
std::vector<std::uint8_t> GiflibDecode(const std::vector<std::uint8_t>& codes, int codeSize, int w, int h) {
  imageio_test::TempDir dir;
  imageio_test::WriteBytes(dir.File("one.gif"), OneImageGif(codes, codeSize, w, h));
  int error = 0;
  GifFileType* gif = DGifOpenFileName(dir.File("one.gif").c_str(), &error);
  std::vector<std::uint8_t> out;
  if (gif && DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1)
    out.assign(gif->SavedImages[0].RasterBits, gif->SavedImages[0].RasterBits + std::size_t(w) * std::size_t(h));
  if (gif) DGifCloseFile(gif, &error);
  return out;
}

// Our decoder; empty unless exactly count indexes come out.
std::vector<std::uint8_t> OurDecode(const std::vector<std::uint8_t>& codes, int codeSize, std::size_t count) {
  std::vector<std::uint16_t> wide(count);
  const std::size_t got = DecodeGifLzw(codes.data(), codes.size(), codeSize, wide.data(), count);
  return got == count ? std::vector<std::uint8_t>(wide.begin(), wide.end()) : std::vector<std::uint8_t>{};
}

enum Kind { kNoise, kRuns, kFlat, kPhrases, kGradient, kNoiseThenPattern };
struct Picture {
  const char* what;
  int w, h, codeSize;
  Kind kind;
};

std::vector<std::uint8_t> Make(const Picture& p, std::mt19937& rng) {
  const unsigned colours = 1u << p.codeSize;
  std::vector<std::uint8_t> px(std::size_t(p.w) * std::size_t(p.h));
  const std::uint8_t phrase[] = {1, 2, 3, 1, 2, 4, 1, 2, 3, 5, 6, 0, 7};
  unsigned run = 0, colour = 0;
  for (std::size_t i = 0; i < px.size(); ++i) {
    const std::size_t x = i % std::size_t(p.w), y = i / std::size_t(p.w);
    if (p.kind == kRuns && run-- == 0) run = rng() % 40, colour = rng() % colours;
    // The last kind: noise fills the table with strings the pattern never uses.
    const bool noise = p.kind == kNoise || (p.kind == kNoiseThenPattern && i < px.size() / 8);
    px[i] = std::uint8_t(noise                 ? rng() % colours
                         : p.kind == kRuns     ? colour
                         : p.kind == kFlat     ? colours - 1
                         : p.kind == kGradient ? (x * colours / std::size_t(p.w) + ((x ^ y) & 1)) % colours
                                               : phrase[(i + (p.kind == kPhrases ? y % 3 : 0)) % 13] % colours);
  }
  return px;
}

// Every parse setting, clears at given and chosen places, and the search,
// on pictures that fill the table never, once or many times, at every code size.
TEST(ParsedLzw, EveryEncoderDecodesToItsInput) {
  const Picture pictures[] = {
      {"noise, 4 colours", 64, 64, 2, kNoise},          {"noise, 8 colours", 150, 100, 3, kNoise},
      {"runs, 16 colours", 200, 150, 4, kRuns},         {"phrases, 32 colours", 120, 100, 5, kPhrases},
      {"gradient, 64 colours", 256, 128, 6, kGradient}, {"noise, 128 colours", 100, 80, 7, kNoise},
      {"noise, 256 colours", 200, 100, 8, kNoise},      {"flat", 300, 200, 8, kFlat},
      {"noise then pattern", 200, 150, 8, kNoiseThenPattern}, {"one pixel", 1, 1, 2, kNoise},
      {"one row", 5000, 1, 3, kRuns}};
  std::mt19937 rng(11);
  imageio_test::TempDir pil;  // the search's streams, for PIL to decode at the end
  std::vector<std::vector<std::uint8_t>> searchedPictures;
  for (const Picture& p : pictures) {
    const std::vector<std::uint8_t> px = Make(p, rng);
    const std::size_t n = px.size();
    std::vector<LzwParse> parses;
    for (std::size_t lookBack : {0, 1, 8, 9, 64})
      for (LzwClear policy : {LzwClear::WhenFull, LzwClear::Never})
        for (bool fewest : {false, true})
          parses.push_back({lookBack, std::size_t(lookBack == 1 ? 1 : 2), lookBack == 9, policy, {}, fewest});
    // Clears at awkward places: the second index, the last, past the end, out of order; every 97; chosen.
    parses.push_back({8, 2, false, LzwClear::Never, {1, n / 3, n / 3 + 1, n > 1 ? n - 1 : 1, n + 5, n / 5}, true});
    parses.push_back({8, 2, true, LzwClear::Never, {}, true});
    for (std::size_t at = 97; at < n; at += 97) parses.back().clears.push_back(at);
    parses.push_back({SIZE_MAX, SIZE_MAX, false, LzwClear::WhenFull, {}, false});  // extreme settings stay valid
    parses.push_back({0, 2, false, LzwClear::Never, ChooseGifLzwClears(px.data(), n, p.codeSize), true});
    for (std::size_t at : parses.back().clears) EXPECT_TRUE(at > 0 && at < n) << p.what << ": clear at " << at;
    for (std::size_t k = 0; k < parses.size(); ++k) {
      const auto codes = EncodeGifLzwParsed(px.data(), n, p.codeSize, parses[k]);
      EXPECT_EQ(OurDecode(codes, p.codeSize, n), px) << p.what << ", parse " << k << ", our decoder";
      EXPECT_EQ(GiflibDecode(codes, p.codeSize, p.w, p.h), px) << p.what << ", parse " << k << ", giflib";
    }
    const auto searched = EncodeGifLzwFlexible(px.data(), n, p.codeSize);
    EXPECT_EQ(OurDecode(searched, p.codeSize, n), px) << p.what << ", search, our decoder";
    EXPECT_EQ(GiflibDecode(searched, p.codeSize, p.w, p.h), px) << p.what << ", search, giflib";
    imageio_test::WriteBytes(pil.File(std::to_string(searchedPictures.size()) + ".gif"),
                             OneImageGif(searched, p.codeSize, p.w, p.h));
    searchedPictures.push_back(px);
  }
  if (!imageio_test::HavePil()) GTEST_SKIP() << "python3-pil not installed: the PIL decodes were not checked";
  const char* script =
      "import sys\nfrom PIL import Image\n"
      "for i in range(int(sys.argv[2])):\n"
      "    im = Image.open('%s/%d.gif' % (sys.argv[1], i))\n"
      "    open('%s/%d.pil' % (sys.argv[1], i), 'wb').write(bytes(im.getdata()))\n";
  ASSERT_EQ(imageio_test::RunPython(pil.path(), script, pil.path() + " " + std::to_string(searchedPictures.size())), 0);
  for (std::size_t i = 0; i < searchedPictures.size(); ++i) {
    const std::vector<unsigned char> got = imageio_test::ReadBytes(pil.File(std::to_string(i) + ".pil"));
    EXPECT_EQ(std::vector<std::uint8_t>(got.begin(), got.end()), searchedPictures[i]) << pictures[i].what << ", search, PIL";
  }
}

// A kept full table no longer changes, so its fewest codes are never more
// than the greedy parse's (also past the million-index window of that pass);
// and where noise fills the table before a pattern, a fresh table where the
// pattern starts beats both fixed policies.
TEST(ParsedLzw, KeptTablesAndChosenClearsPayWhereTheyShould) {
  const Picture pictures[] = {{"noise then pattern", 320, 240, 8, kNoiseThenPattern},
                              {"runs", 1300, 1000, 5, kRuns},
                              {"noise", 1100, 1000, 2, kNoise},
                              {"gradient", 256, 150, 8, kGradient}};
  std::mt19937 rng(5);
  for (const Picture& p : pictures) {
    const std::vector<std::uint8_t> px = Make(p, rng);
    const LzwParse greedy{0, 2, false, LzwClear::Never, {}, false}, fewest{0, 2, false, LzwClear::Never, {}, true};
    const auto plain = EncodeGifLzwParsed(px.data(), px.size(), p.codeSize, greedy);
    EXPECT_EQ(plain, EncodeGifLzw(px.data(), px.size(), p.codeSize, LzwClear::Never)) << p.what;
    const auto shortest = EncodeGifLzwParsed(px.data(), px.size(), p.codeSize, fewest);
    EXPECT_EQ(OurDecode(shortest, p.codeSize, px.size()), px) << p.what;
    EXPECT_LE(shortest.size(), plain.size()) << p.what;
  }
  std::mt19937 again(5);
  const Picture mixed = pictures[0];
  const std::vector<std::uint8_t> px = Make(mixed, again);
  const auto searched = EncodeGifLzwFlexible(px.data(), px.size(), mixed.codeSize);
  EXPECT_EQ(OurDecode(searched, mixed.codeSize, px.size()), px);
  // The search runs tries on two threads (big pictures); its result must not depend on which ends first.
  EXPECT_EQ(EncodeGifLzwFlexible(px.data(), px.size(), mixed.codeSize), searched);
  EXPECT_LT(searched.size(), EncodeGifLzw(px.data(), px.size(), mixed.codeSize, LzwClear::WhenFull).size());
  EXPECT_LT(searched.size(), EncodeGifLzw(px.data(), px.size(), mixed.codeSize, LzwClear::Never).size());
  const auto clears = ChooseGifLzwClears(px.data(), px.size(), mixed.codeSize);
  ASSERT_FALSE(clears.empty());
  // The last fresh table starts where the pattern does (give or take one
  // table's worth of indexes): none is wasted inside the pattern.
  EXPECT_LE(std::labs(long(clears.back()) - long(px.size() / 8)), 4096L) << clears.back();
}

}  // namespace
