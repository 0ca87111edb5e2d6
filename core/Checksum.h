#pragma once

#include <cstdint>
#include <span>

#include "core/ByteStream.h"

namespace lmp {

// The packed container's checksum, fed in pieces: the result depends only on the bytes in order,
// not on how they were split.
class ChecksumAccumulator {
public:
    void Add(std::span<const std::uint8_t> bytes) noexcept;
    std::uint32_t Value() const noexcept { return value_; }

private:
    std::uint32_t value_ = 0;
};

// Checksum of the whole buffer, or of all but its last four bytes when excludeTrailer is set
// (0 for a buffer of four bytes or fewer).
std::uint32_t ComputeFileChecksum(const ByteStream& buffer, bool excludeTrailer) noexcept;

// (stored - computed) modulo 2^32, read as a signed number.
std::int32_t ChecksumDifference(std::uint32_t stored, std::uint32_t computed) noexcept;

} // namespace lmp
