// GIF LZW encoder and decoder. The encoder has a choice of what happens when the string table is
// full (4096 codes): the classic encoder clears it and starts over; a
// deferred clear keeps using the full table, which pays off when the rest of
// the picture repeats what the table already holds. EncodeGifLzwSmallest
// tries both and keeps the shorter stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace TevImageIO {

enum class LzwClear { WhenFull, Never };

// The code stream (without the code-size byte and the sub-block framing) of
// indexes[0..count), each below 1 << minCodeSize (2..11; a wide minimum
// code size holds literal codes past 255, for testing readers).
std::vector<std::uint8_t> EncodeGifLzw(const std::uint16_t* indexes, std::size_t count, int minCodeSize,
                                       LzwClear policy);
// filled (may be null) tells whether the table reached its 4096 codes; until
// then both policies give the same stream.
std::vector<std::uint8_t> EncodeGifLzw(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                       LzwClear policy, bool* filled = nullptr);

std::vector<std::uint8_t> EncodeGifLzwSmallest(const std::uint8_t* indexes, std::size_t count, int minCodeSize);

// How the parsing encoder below picks its codes. At each step one of the
// last lookBack prefixes of the longest match may be emitted instead when
// the next match then reaches at least minGain indexes further (lookBack 0:
// greedy); with deep, "the next match" is the farthest a shorter code and
// its own next match reach. A fresh table starts at each of clears
// (ascending positions inside the picture, where a code then ends) and,
// with policy WhenFull, whenever the table fills; with Never a full table
// is kept, and shortestWhenFrozen covers such a stretch with the fewest codes.
struct LzwParse {
  std::size_t lookBack = 8;
  std::size_t minGain = 2;
  bool deep = false;
  LzwClear policy = LzwClear::WhenFull;
  std::vector<std::size_t> clears;
  bool shortestWhenFrozen = false;
};

std::vector<std::uint8_t> EncodeGifLzwParsed(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                             const LzwParse& parse);

// Positions where a fresh table pays, for LzwParse::clears (a full table is
// kept between them): empty when the table never fills.
std::vector<std::size_t> ChooseGifLzwClears(const std::uint8_t* indexes, std::size_t count, int minCodeSize);

// The slow search behind the highest optimization level: parsed streams
// with several lookahead settings, with the table cleared when full, kept
// when full, and cleared at chosen positions; the shortest is returned.
// Usually a few percent smaller than EncodeGifLzwSmallest, never larger
// than its own default parse.
std::vector<std::uint8_t> EncodeGifLzwFlexible(const std::uint8_t* indexes, std::size_t count, int minCodeSize);

// Lossy: near[c] lists the indexes (closest first) that may stand in for
// index c when the string with the stand-in is in the table already, so
// strings run longer. Indexes without a list are kept exactly.
std::vector<std::uint8_t> EncodeGifLzwLossy(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                            const std::vector<std::vector<std::uint8_t>>& near);
// The stand-in lists for a colour table (0xRRGGBB per entry): every other
// entry whose channels each differ by at most within, closest first, at
// most limit of them; the transparent index (-1: none) neither stands in
// nor is replaced.
std::vector<std::vector<std::uint8_t>> GifNearIndexes(const std::uint32_t* colours, int count, int transparent,
                                                     int within, int limit = 8);

// Decodes a code stream (the sub-blocks joined) with minimum code size
// 1..11 into out[0..count): codes widen up to 12 bits, a full table is kept
// until the next clear. Returns how many indexes were written; fewer than
// count when the stream ends, gives the end code early or uses a code that
// is not defined yet.
std::size_t DecodeGifLzw(const std::uint8_t* data, std::size_t size, int minCodeSize, std::uint16_t* out,
                         std::size_t count);

}  // namespace TevImageIO
