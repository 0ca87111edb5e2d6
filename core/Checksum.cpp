#include "core/Checksum.h"

#include <bit>

namespace lmp {

std::uint32_t ChecksumStepsPortable(std::uint32_t c, std::span<const std::uint8_t> bytes) noexcept
{
    for (const std::uint8_t b : bytes) {
        // Only the low byte takes the sum; its carry is dropped.
        c = (c & 0xFFFFFF00u) | ((c + b) & 0xFFu);
        c = std::rotl(c, 3);
    }
    return c;
}

std::uint32_t ChecksumSteps(std::uint32_t c, std::span<const std::uint8_t> bytes) noexcept
{
    const std::uint8_t* p = bytes.data();
    for (std::size_t blocks = bytes.size() / 8; blocks > 0; --blocks, p += 8)
        c = ChecksumEight(c, p);
    return ChecksumStepsPortable(c, bytes.last(bytes.size() % 8));
}

std::uint32_t ComputeFileChecksum(const ByteStream& buffer, bool excludeTrailer) noexcept
{
    std::span<const std::uint8_t> bytes = buffer.Bytes();
    if (excludeTrailer)
        bytes = bytes.size() > 4 ? bytes.first(bytes.size() - 4) : bytes.first(0);
    return ChecksumSteps(0, bytes);
}

std::int32_t ChecksumDifference(std::uint32_t stored, std::uint32_t computed) noexcept
{
    return static_cast<std::int32_t>(stored - computed);
}

} // namespace lmp
