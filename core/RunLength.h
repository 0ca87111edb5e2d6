#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "core/ByteStream.h"

namespace lmp {

inline constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();

// Empties destination, then decodes records from the first byte of source for as long as a record
// starts before bodyEnd, stopping once destination holds limit bytes. A record cut off by the end of
// source contributes the bytes that exist.
void DecodeRunLength(const ByteStream& source, ByteStream& destination, std::uint64_t bodyEnd,
                     std::size_t limit = kUnlimited);

// Decodes a whole packed file held in source: the body is everything before the four-byte trailer.
void DecodeRunLength(const ByteStream& source, ByteStream& destination);

// How many source bytes decoding can consume before it has produced limit bytes: a record yields at
// least one output byte for every two it reads, and one record reads at most 129.
constexpr std::size_t RunLengthInputBound(std::size_t limit) noexcept
{
    return limit > (kUnlimited - 129) / 2 ? kUnlimited : 2 * limit + 129;
}

} // namespace lmp
