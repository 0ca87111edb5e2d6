#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lmp {

// Little-endian reads at absolute offsets: every byte outside the viewed bytes reads as zero,
// and no read touches memory outside them.
class ByteReader {
public:
    ByteReader() noexcept = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    std::size_t Size() const noexcept { return bytes_.size(); }

    // True when count bytes starting at offset all lie inside; cannot overflow.
    bool Fits(std::size_t offset, std::size_t count) const noexcept
    {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }

    std::uint8_t U8(std::size_t offset) const noexcept;
    std::uint16_t U16(std::size_t offset) const noexcept;
    std::uint32_t U32(std::size_t offset) const noexcept;
    std::int32_t I32(std::size_t offset) const noexcept;

    // Copies the bytes of [offset, offset + out.size()) that exist into out; returns how many that was.
    std::size_t Read(std::size_t offset, std::span<std::uint8_t> out) const noexcept;

private:
    std::span<const std::uint8_t> bytes_;
};

// Growable in-memory buffer of bytes: bounded reads at absolute offsets, appending, and writing a
// word back in place. Reads past the end yield zero (see ByteReader).
class ByteStream {
public:
    ByteStream() = default;
    explicit ByteStream(std::vector<std::uint8_t> bytes) noexcept : bytes_(std::move(bytes)) {}

    std::size_t Size() const noexcept { return bytes_.size(); }
    std::span<const std::uint8_t> Bytes() const noexcept { return bytes_; }
    ByteReader Reader() const noexcept { return ByteReader(bytes_); }

    std::uint8_t U8(std::size_t offset) const noexcept { return Reader().U8(offset); }
    std::uint16_t U16(std::size_t offset) const noexcept { return Reader().U16(offset); }
    std::uint32_t U32(std::size_t offset) const noexcept { return Reader().U32(offset); }
    std::int32_t I32(std::size_t offset) const noexcept { return Reader().I32(offset); }
    std::size_t Read(std::size_t offset, std::span<std::uint8_t> out) const noexcept
    {
        return Reader().Read(offset, out);
    }

    void Clear() noexcept { bytes_.clear(); }
    void Append(std::span<const std::uint8_t> bytes);
    void AppendRepeated(std::uint8_t value, std::size_t count);

    // Writes the word little-endian at offset when all four bytes lie inside; otherwise changes
    // nothing and returns false.
    bool WriteU32(std::size_t offset, std::uint32_t value) noexcept;

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace lmp
