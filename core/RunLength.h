#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <utility>

#include "core/ByteStream.h"

namespace lmp {

inline constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();

// The longest record reads 129 bytes (a control byte and 128 literal bytes).
inline constexpr std::size_t kLongestRecord = 129;

// A decoder's place between two records, for loops that decode one record at a time among other work;
// RunLengthDecoder hands one out and takes it back.
class RunLengthCursor {
public:
    // Decodes the record at the current position; false, with nothing decoded, once the position has
    // reached the stop or the output its limit.
    bool Step() noexcept
    {
        if (pos_ >= stop_ || out_ >= outEnd_)
            return false;
        const auto n = static_cast<std::int8_t>(src_[pos_++]);
        const auto left = static_cast<std::size_t>(outEnd_ - out_);
        // Each record copies or fills a whole 128 or 129 bytes into the slack past its own output: a
        // copy of fixed length is a few vector moves, where one of exact length is a slow string
        // instruction.
        if (n >= 0) {
            const std::size_t length = static_cast<std::size_t>(n) + 1;
            std::size_t present = length;
            if (end_ - pos_ >= kLongestRecord - 1) {
                std::memcpy(out_, src_ + pos_, kLongestRecord - 1);
            } else {
                present = std::min(length, end_ - pos_);
                std::memcpy(out_, src_ + pos_, present);
            }
            out_ += std::min(present, left);
            pos_ += present;
            return true;
        }
        if (pos_ >= end_) {
            stop_ = pos_;
            return false;
        }
        std::memset(out_, src_[pos_++], kLongestRecord);
        out_ += std::min(static_cast<std::size_t>(1 - n), left);
        return true;
    }

    std::size_t Position() const noexcept { return pos_; }

private:
    friend class RunLengthDecoder;

    const std::uint8_t* src_ = nullptr;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;  // of the source
    std::size_t stop_ = 0; // no record starts here or later
    std::uint8_t* out_ = nullptr;
    std::uint8_t* outEnd_ = nullptr; // the limit; kLongestRecord bytes of slack follow
    std::uint8_t* outBegin_ = nullptr;
};

// Decodes a body record by record as more of it becomes available, stopping once it holds limit decoded
// bytes. It decodes into destination, emptied first, whose memory it reuses.
class RunLengthDecoder {
public:
    explicit RunLengthDecoder(std::size_t limit, ByteStream destination = {}) noexcept;

    // Decodes, from where the last call stopped, the records that start before startBefore. source holds
    // the body from its first byte on (a later call may pass more of it); a record cut off by the end of
    // source contributes the bytes that exist, so callers pass records cut off only on their last call.
    void Decode(std::span<const std::uint8_t> source, std::uint64_t startBefore);

    // Decode in pieces: Begin hands out a cursor for the same records, whose steps decode them, and End
    // takes it back; the decoder must not be used in between. A cursor's room for output may fill before
    // its records are done: End then returns true, and a new cursor goes on with more room.
    RunLengthCursor Begin(std::span<const std::uint8_t> source, std::uint64_t startBefore);
    bool End(const RunLengthCursor& cursor) noexcept;

    // True once it holds limit decoded bytes: later calls add nothing.
    bool Full() const noexcept { return destination_.Size() >= limit_; }

    ByteStream TakeDecoded() && noexcept { return std::move(destination_); }

private:
    ByteStream destination_;
    std::size_t limit_;
    std::size_t position_ = 0; // where the next record starts
    std::size_t sizeBefore_ = 0;
};

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
    return limit > (kUnlimited - kLongestRecord) / 2 ? kUnlimited : 2 * limit + kLongestRecord;
}

} // namespace lmp
