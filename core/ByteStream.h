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

    // Inline, as the summaries read thousands of single fields; only reads at the edge take the call.
    std::uint8_t U8(std::size_t offset) const noexcept { return offset < bytes_.size() ? bytes_[offset] : 0; }
    std::uint16_t U16(std::size_t offset) const noexcept
    {
        if (!Fits(offset, 2))
            return U16AtEdge(offset);
        return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
    }
    std::uint32_t U32(std::size_t offset) const noexcept
    {
        if (!Fits(offset, 4))
            return U32AtEdge(offset);
        return static_cast<std::uint32_t>(bytes_[offset]) |
               static_cast<std::uint32_t>(bytes_[offset + 1]) << 8 |
               static_cast<std::uint32_t>(bytes_[offset + 2]) << 16 |
               static_cast<std::uint32_t>(bytes_[offset + 3]) << 24;
    }
    std::int32_t I32(std::size_t offset) const noexcept { return static_cast<std::int32_t>(U32(offset)); }

    // Copies the bytes of [offset, offset + out.size()) that exist into out; returns how many that was.
    std::size_t Read(std::size_t offset, std::span<std::uint8_t> out) const noexcept;

private:
    std::uint16_t U16AtEdge(std::size_t offset) const noexcept;
    std::uint32_t U32AtEdge(std::size_t offset) const noexcept;

    std::span<const std::uint8_t> bytes_;
};

// Where a ByteStream takes its memory from instead of the heap: blocks of whole pages that a caller who
// keeps buffers across files gets straight from the system (huge pages where it has them). It must
// outlive every stream that uses it.
class BlockSource {
public:
    // A block of at least size bytes, perhaps more; throws std::bad_alloc when none can be had.
    virtual std::span<std::uint8_t> Take(std::size_t size) = 0;
    // Gives back a block that Take handed out, whole.
    virtual void Give(std::span<std::uint8_t> block) noexcept = 0;
    // A block of at least size bytes (more than block's) holding block's first kept bytes, in place of
    // block, which is given back; a source may move the pages themselves instead of copying them.
    // Throws std::bad_alloc, block untouched, when none can be had.
    virtual std::span<std::uint8_t> Grow(std::span<std::uint8_t> block, std::size_t size,
                                         std::size_t kept) = 0;

protected:
    ~BlockSource() = default;
};

// Growable in-memory buffer of bytes: bounded reads at absolute offsets, appending, and writing a
// word back in place. Reads past the end yield zero (see ByteReader).
class ByteStream {
public:
    ByteStream() noexcept = default;
    // Empty, its memory to come from source; a copy or a stream moved into it takes it along.
    explicit ByteStream(BlockSource& source) noexcept : source_(&source) {}
    explicit ByteStream(const std::vector<std::uint8_t>& bytes) { Append(bytes); }
    ByteStream(const ByteStream& other) : source_(other.source_) { Append(other.Bytes()); }
    ByteStream& operator=(const ByteStream& other);
    ByteStream(ByteStream&& other) noexcept;
    ByteStream& operator=(ByteStream&& other) noexcept;
    ~ByteStream() { Release(); }

    std::size_t Size() const noexcept { return size_; }
    // The bytes held in memory, appended or not yet.
    std::size_t Capacity() const noexcept { return capacity_; }
    std::span<const std::uint8_t> Bytes() const noexcept { return {data_, size_}; }
    std::span<std::uint8_t> MutableBytes() noexcept { return {data_, size_}; }
    ByteReader Reader() const noexcept { return ByteReader(Bytes()); }

    std::uint8_t U8(std::size_t offset) const noexcept { return Reader().U8(offset); }
    std::uint16_t U16(std::size_t offset) const noexcept { return Reader().U16(offset); }
    std::uint32_t U32(std::size_t offset) const noexcept { return Reader().U32(offset); }
    std::int32_t I32(std::size_t offset) const noexcept { return Reader().I32(offset); }
    std::size_t Read(std::size_t offset, std::span<std::uint8_t> out) const noexcept
    {
        return Reader().Read(offset, out);
    }

    void Clear() noexcept { size_ = 0; }
    // Makes room for capacity bytes in all, so that appending up to there allocates nothing.
    void Reserve(std::size_t capacity);
    void Append(std::span<const std::uint8_t> bytes);
    void AppendRepeated(std::uint8_t value, std::size_t count);
    // Appends count bytes for the caller to fill in at once (their values are unset until then) and
    // returns them; they stay valid until the stream grows again.
    std::span<std::uint8_t> Extend(std::size_t count);
    // Drops the bytes from size on; a larger size changes nothing.
    void Truncate(std::size_t size) noexcept;

    // Writes the word little-endian at offset when all four bytes lie inside; otherwise changes
    // nothing and returns false.
    bool WriteU32(std::size_t offset, std::uint32_t value) noexcept;

    // Gives the memory back and leaves the stream empty, with no capacity.
    void Release() noexcept;

private:
    // Bytes past size_ are never read; they are left as they were instead of being zeroed on growth.
    std::uint8_t* data_ = nullptr; // from source_, or from new[] when there is none
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    BlockSource* source_ = nullptr;
};

} // namespace lmp
