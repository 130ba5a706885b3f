// GIF LZW encoder with a choice of what happens when the string table is
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
// indexes[0..count), each below 1 << minCodeSize (2..8).
std::vector<std::uint8_t> EncodeGifLzw(const std::uint8_t* indexes, std::size_t count, int minCodeSize,
                                       LzwClear policy);

std::vector<std::uint8_t> EncodeGifLzwSmallest(const std::uint8_t* indexes, std::size_t count, int minCodeSize);

}  // namespace TevImageIO
