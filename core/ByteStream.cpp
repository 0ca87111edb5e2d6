#include "core/ByteStream.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace lmp {

std::uint16_t ByteReader::U16AtEdge(std::size_t offset) const noexcept
{
    std::uint8_t b[2] = {};
    Read(offset, b);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ByteReader::U32AtEdge(std::size_t offset) const noexcept
{
    std::uint8_t b[4] = {};
    Read(offset, b);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
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

ByteStream& ByteStream::operator=(const ByteStream& other)
{
    if (this != &other) {
        Clear();
        Append(other.Bytes());
    }
    return *this;
}

ByteStream::ByteStream(ByteStream&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)), source_(other.source_)
{
}

ByteStream& ByteStream::operator=(ByteStream&& other) noexcept
{
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        source_ = other.source_;
    }
    return *this;
}

void ByteStream::Release() noexcept
{
    if (source_ != nullptr && data_ != nullptr)
        source_->Give({data_, capacity_});
    else
        delete[] data_;
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

void ByteStream::Reserve(std::size_t capacity)
{
    if (capacity <= capacity_)
        return;
    std::span<std::uint8_t> grown;
    if (source_ != nullptr && data_ != nullptr) {
        grown = source_->Grow({data_, capacity_}, capacity, size_);
    } else {
        grown =
            source_ != nullptr ? source_->Take(capacity) : std::span(new std::uint8_t[capacity], capacity);
        if (size_ > 0)
            std::memcpy(grown.data(), data_, size_);
        delete[] data_;
    }
    data_ = grown.data();
    capacity_ = grown.size();
}

std::span<std::uint8_t> ByteStream::Extend(std::size_t count)
{
    if (count > capacity_ - size_) {
        if (count > SIZE_MAX - size_)
            throw std::bad_alloc();
        // Doubling keeps a stream grown piece by piece at a linear cost.
        Reserve(std::max(size_ + count, capacity_ > SIZE_MAX / 2 ? SIZE_MAX : 2 * capacity_));
    }
    const std::span<std::uint8_t> added(data_ + size_, count);
    size_ += count;
    return added;
}

void ByteStream::Append(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return;
    const std::span<std::uint8_t> added = Extend(bytes.size());
    std::memcpy(added.data(), bytes.data(), bytes.size());
}

void ByteStream::AppendRepeated(std::uint8_t value, std::size_t count)
{
    if (count == 0)
        return;
    const std::span<std::uint8_t> added = Extend(count);
    std::memset(added.data(), value, count);
}

void ByteStream::Truncate(std::size_t size) noexcept
{
    size_ = std::min(size_, size);
}

bool ByteStream::WriteU32(std::size_t offset, std::uint32_t value) noexcept
{
    if (!Reader().Fits(offset, 4))
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        data_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return true;
}

} // namespace lmp
