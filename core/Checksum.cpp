#include "core/Checksum.h"

#include <bit>

namespace lmp {

void ChecksumAccumulator::Add(std::span<const std::uint8_t> bytes) noexcept
{
    std::uint32_t c = value_;
    for (const std::uint8_t b : bytes) {
        // Only the low byte takes the sum; its carry is dropped.
        c = (c & 0xFFFFFF00u) | ((c + b) & 0xFFu);
        c = std::rotl(c, 3);
    }
    value_ = c;
}

std::uint32_t ComputeFileChecksum(const ByteStream& buffer, bool excludeTrailer) noexcept
{
    std::span<const std::uint8_t> bytes = buffer.Bytes();
    if (excludeTrailer)
        bytes = bytes.size() > 4 ? bytes.first(bytes.size() - 4) : bytes.first(0);
    ChecksumAccumulator checksum;
    checksum.Add(bytes);
    return checksum.Value();
}

std::int32_t ChecksumDifference(std::uint32_t stored, std::uint32_t computed) noexcept
{
    return static_cast<std::int32_t>(stored - computed);
}

} // namespace lmp
