#include "core/ByteStream.h"

#include <algorithm>
#include <cstring>

namespace lmp {

std::uint8_t ByteReader::U8(std::size_t offset) const noexcept
{
    return offset < bytes_.size() ? bytes_[offset] : std::uint8_t{0};
}

std::uint16_t ByteReader::U16(std::size_t offset) const noexcept
{
    std::uint8_t b[2] = {};
    Read(offset, b);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ByteReader::U32(std::size_t offset) const noexcept
{
    std::uint8_t b[4] = {};
    Read(offset, b);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::int32_t ByteReader::I32(std::size_t offset) const noexcept
{
    return static_cast<std::int32_t>(U32(offset));
}

std::size_t ByteReader::Read(std::size_t offset, std::span<std::uint8_t> out) const noexcept
{
    if (offset >= bytes_.size())
        return 0;
    const std::size_t count = std::min(out.size(), bytes_.size() - offset);
    if (count > 0)
        std::memcpy(out.data(), bytes_.data() + offset, count);
    return count;
}

void ByteStream::Append(std::span<const std::uint8_t> bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void ByteStream::AppendRepeated(std::uint8_t value, std::size_t count)
{
    bytes_.insert(bytes_.end(), count, value);
}

bool ByteStream::WriteU32(std::size_t offset, std::uint32_t value) noexcept
{
    if (!Reader().Fits(offset, 4))
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        bytes_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return true;
}

} // namespace lmp
