#include "core/RunLength.h"

namespace lmp {

namespace {

// A record yields at most 129 bytes for the 2 it reads.
constexpr std::size_t kMostOutputPerInputByte = 65;

// Room for output taken at once, more than a park's decoded contents: beyond it the room grows only with
// what has been decoded, never with what the source could yield (65 times its size).
constexpr std::size_t kRoomAtOnce = std::size_t{4} << 20;

} // namespace

RunLengthDecoder::RunLengthDecoder(std::size_t limit, ByteStream destination) noexcept
    : destination_(std::move(destination)), limit_(limit)
{
    destination_.Clear();
}

RunLengthCursor RunLengthDecoder::Begin(std::span<const std::uint8_t> source, std::uint64_t startBefore)
{
    RunLengthCursor cursor;
    const std::size_t end = source.size();
    sizeBefore_ = destination_.Size();
    cursor.src_ = source.data();
    cursor.pos_ = position_;
    cursor.end_ = end;
    cursor.stop_ = static_cast<std::size_t>(std::min<std::uint64_t>(startBefore, end));
    if (position_ >= cursor.stop_ || Full())
        return cursor;

    // Room is taken at once and cut back to what the records did yield: for the rest of a limit of up to
    // kRoomAtOnce, all of it, so that a source arriving in small pieces does not regrow it again and
    // again; for a larger limit or none, the most these records can yield, but never more than as much
    // again as has been decoded (kRoomAtOnce at first), so that the room doubles as it fills.
    std::size_t wanted = limit_ - sizeBefore_;
    if (limit_ > kRoomAtOnce) {
        const std::size_t remaining = end - position_;
        const std::size_t most = remaining > (kUnlimited / kMostOutputPerInputByte)
                                     ? kUnlimited
                                     : remaining * kMostOutputPerInputByte;
        wanted = std::min({wanted, most, std::max(kRoomAtOnce, sizeBefore_)});
    }
    const std::span<std::uint8_t> room = destination_.Extend(wanted + kLongestRecord);
    cursor.outBegin_ = room.data();
    cursor.out_ = room.data();
    cursor.outEnd_ = room.data() + wanted;
    return cursor;
}

bool RunLengthDecoder::End(const RunLengthCursor& cursor) noexcept
{
    destination_.Truncate(sizeBefore_ + static_cast<std::size_t>(cursor.out_ - cursor.outBegin_));
    position_ = cursor.pos_;
    return cursor.pos_ < cursor.stop_ && !Full();
}

void RunLengthDecoder::Decode(std::span<const std::uint8_t> source, std::uint64_t startBefore)
{
    bool roomFilled = true;
    while (roomFilled) {
        RunLengthCursor cursor = Begin(source, startBefore);
        while (cursor.Step()) {
        }
        roomFilled = End(cursor);
    }
}

void DecodeRunLength(const ByteStream& source, ByteStream& destination, std::uint64_t bodyEnd,
                     std::size_t limit)
{
    RunLengthDecoder decoder(limit, std::move(destination));
    decoder.Decode(source.Bytes(), bodyEnd);
    destination = std::move(decoder).TakeDecoded();
}

void DecodeRunLength(const ByteStream& source, ByteStream& destination)
{
    const std::uint64_t size = source.Size();
    DecodeRunLength(source, destination, size >= 4 ? size - 4 : 0);
}

} // namespace lmp
