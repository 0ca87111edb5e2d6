#include "core/PackedFile.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <utility>

namespace lmp {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;

// A loop with nothing to run, from a checksum.
ScanLoop WithoutBlocks(std::uint32_t checksum) noexcept
{
    ScanLoop loop;
    loop.checksum = checksum;
    return loop;
}

} // namespace

PackedFileScanner::PackedFileScanner(std::size_t extent, ScanMemory memory)
    : headLimit_(RunLengthInputBound(extent)), decoder_(extent, std::move(memory.decoded)),
      head_(std::move(memory.head))
{
    head_.Clear();
}

void PackedFileScanner::Feed(std::span<const std::uint8_t> bytes)
{
    ScanLoop loop = BeginFeed(bytes);
    RunScanLoops(std::span<ScanLoop>(&loop, 1));
    EndFeed(loop);
}

std::span<std::uint8_t> PackedFileScanner::HeadSpace(std::size_t count)
{
    headSpaceStart_ = head_.Size();
    return head_.Extend(std::min(count, headLimit_ - std::min(headLimit_, head_.Size())));
}

void PackedFileScanner::FeedHead(std::size_t filled)
{
    ScanLoop loop = BeginFeedHead(filled);
    RunScanLoops(std::span<ScanLoop>(&loop, 1));
    EndFeed(loop);
}

ScanLoop PackedFileScanner::BeginFeed(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return WithoutBlocks(checksum_.Value());
    if (head_.Size() < headLimit_)
        head_.Append(bytes.first(std::min(bytes.size(), headLimit_ - head_.Size())));
    return Settle(bytes);
}

ScanLoop PackedFileScanner::BeginFeedHead(std::size_t filled)
{
    head_.Truncate(headSpaceStart_ + filled);
    return Settle(head_.Bytes().subspan(headSpaceStart_));
}

void PackedFileScanner::ReserveHead(std::uint64_t size)
{
    head_.Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size, headLimit_)));
}

// Decoding may start a record only where the bytes it can read are all in the head and lie before the
// last four bytes seen so far, which may turn out to be the trailer. Within that, one record is decoded
// after every eight checksum bytes and the rest after the pass: the checksum is a chain of dependent
// steps that leaves most of the processor idle, and work interleaved this finely fills in beside it
// (coarser turns, a few hundred bytes each, hid almost nothing; decoding after the pass made describing
// a park 10 to 40% slower).
ScanLoop PackedFileScanner::Settle(std::span<const std::uint8_t> bytes)
{
    size_ += bytes.size();

    // The last four bytes seen may be the trailer, so they reach the checksum only once four more
    // bytes have followed them.
    if (bytes.size() < 4) {
        std::uint8_t joined[8];
        std::copy_n(pending_, pendingCount_, joined);
        std::copy(bytes.begin(), bytes.end(), joined + pendingCount_);
        const std::size_t count = pendingCount_ + bytes.size();
        const std::size_t settled = count > 4 ? count - 4 : 0;
        checksum_.Add(std::span<const std::uint8_t>(joined, settled));
        std::copy(joined + settled, joined + count, pending_);
        pendingCount_ = count - settled;
        return WithoutBlocks(checksum_.Value());
    }
    checksum_.Add(std::span<const std::uint8_t>(pending_, pendingCount_));
    const std::span<const std::uint8_t> settled = bytes.first(bytes.size() - 4);
    std::copy_n(bytes.end() - 4, 4, pending_);
    pendingCount_ = 4;

    ScanLoop loop = WithoutBlocks(checksum_.Value());
    loop.next = settled.data();
    loop.blocks = settled.size() / 8;
    loop.tail = settled.last(settled.size() % 8);
    const std::size_t ready = head_.Size();
    if (ready > kLongestRecord) {
        loop.cursor = decoder_.Begin(head_.Bytes(), ready - kLongestRecord);
        loop.decoding = true;
    }
    return loop;
}

void PackedFileScanner::EndFeed(ScanLoop& loop)
{
    if (loop.decoding) {
        while (loop.cursor.Step()) {
        }
        decoder_.End(loop.cursor);
    }
    checksum_ = ChecksumAccumulator(ChecksumStepsPortable(loop.checksum, loop.tail));
}

namespace {

// The loops' blocks in turn, as long as each of them has blocks left. The loops are copied into locals that
// are only ever indexed by constants (the fold over Index), so that the compiler keeps them in registers:
// a checksum or a cursor left in memory puts a store and a load into the chain of every block, and, as far
// as the compiler can tell, the decoder's writes could touch a loop that stays in memory.
template <std::size_t... Index>
void RunInTurn(ScanLoop* const* loops, std::size_t blocks, std::index_sequence<Index...>) noexcept
{
    std::array<std::uint32_t, sizeof...(Index)> c{loops[Index]->checksum...};
    std::array<const std::uint8_t*, sizeof...(Index)> p{loops[Index]->next...};
    std::array<RunLengthCursor, sizeof...(Index)> cursor{loops[Index]->cursor...};
    for (std::size_t block = 0; block < blocks; ++block) {
        ((c[Index] = ChecksumEight(c[Index], p[Index])), ...);
        ((p[Index] += 8), ...);
        (cursor[Index].Step(), ...);
    }
    ((loops[Index]->checksum = c[Index], loops[Index]->next = p[Index], loops[Index]->blocks -= blocks,
      loops[Index]->cursor = cursor[Index]),
     ...);
}

} // namespace

void RunScanLoops(std::span<ScanLoop> loops) noexcept
{
    // Up to four loops at a time, until the shortest ends; then the others go on without it.
    for (;;) {
        std::array<ScanLoop*, 4> running{};
        std::size_t count = 0;
        std::size_t blocks = 0;
        for (ScanLoop& loop : loops) {
            if (loop.blocks == 0 || count == running.size())
                continue;
            blocks = count == 0 ? loop.blocks : std::min(blocks, loop.blocks);
            running[count++] = &loop;
        }
        switch (count) {
        case 0:
            return;
        case 1:
            RunInTurn(running.data(), blocks, std::make_index_sequence<1>());
            break;
        case 2:
            RunInTurn(running.data(), blocks, std::make_index_sequence<2>());
            break;
        case 3:
            RunInTurn(running.data(), blocks, std::make_index_sequence<3>());
            break;
        default:
            RunInTurn(running.data(), blocks, std::make_index_sequence<4>());
            break;
        }
    }
}

PackedFile PackedFileScanner::Finish(ByteStream* spareHead) &&
{
    PackedFile file;
    file.size = size_;
    file.computedChecksum = checksum_.Value();
    if (pendingCount_ == 4) {
        file.storedChecksum =
            static_cast<std::uint32_t>(pending_[0]) | static_cast<std::uint32_t>(pending_[1]) << 8 |
            static_cast<std::uint32_t>(pending_[2]) << 16 | static_cast<std::uint32_t>(pending_[3]) << 24;
    }
    decoder_.Decode(head_.Bytes(), file.BodyEnd());
    file.decoded = std::move(decoder_).TakeDecoded();
    if (spareHead != nullptr)
        *spareHead = std::move(head_);
    return file;
}

ScanMemory PackedFileScanner::TakeMemory() && noexcept
{
    ScanMemory memory;
    memory.head = std::move(head_);
    memory.decoded = std::move(decoder_).TakeDecoded();
    return memory;
}

PackedFileReader::PackedFileReader(std::unique_ptr<ByteSource> source, std::size_t extent, ScanMemory memory)
    : source_(std::move(source)), scanner_(extent, {std::move(memory.head), std::move(memory.decoded), {}}),
      remaining_(source_->Size()), chunk_(std::move(memory.chunk))
{
    scanner_.ReserveHead(remaining_);
}

PackedFileReader::PackedFileReader(std::span<const std::uint8_t> bytes, std::size_t extent, ScanMemory memory)
    : bytes_(bytes), scanner_(extent, {std::move(memory.head), std::move(memory.decoded), {}}),
      remaining_(bytes.size()), chunk_(std::move(memory.chunk))
{
    scanner_.ReserveHead(remaining_);
}

PackedFileReader::~PackedFileReader() = default;
PackedFileReader::PackedFileReader(PackedFileReader&&) noexcept = default;
PackedFileReader& PackedFileReader::operator=(PackedFileReader&&) noexcept = default;

bool PackedFileReader::ReadChunk()
{
    std::optional<ScanLoop> loop = BeginChunk();
    if (!loop)
        return false;
    RunScanLoops(std::span<ScanLoop>(&*loop, 1));
    EndChunk(*loop);
    return true;
}

std::optional<ScanLoop> PackedFileReader::BeginChunk()
{
    if (remaining_ == 0)
        return std::nullopt;
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, kChunkSize));
    std::span<std::uint8_t> into = scanner_.HeadSpace(wanted);
    const bool intoHead = !into.empty();
    if (!intoHead) {
        chunk_.Clear();
        into = chunk_.Extend(wanted);
    }
    const std::size_t got = Read(into);
    // A file that has shrunk since it was opened ends where its bytes do.
    remaining_ = got < into.size() ? 0 : remaining_ - got;
    return intoHead ? scanner_.BeginFeedHead(got) : scanner_.BeginFeed(into.first(got));
}

void PackedFileReader::EndChunk(ScanLoop& loop)
{
    scanner_.EndFeed(loop);
}

std::size_t PackedFileReader::Read(std::span<std::uint8_t> into)
{
    if (source_)
        return source_->Read(into);
    const std::size_t count = std::min(into.size(), bytes_.size());
    std::copy_n(bytes_.begin(), count, into.begin());
    bytes_ = bytes_.subspan(count);
    return count;
}

PackedFile PackedFileReader::Finish(ScanMemory* spare) &&
{
    PackedFile file = std::move(scanner_).Finish(spare != nullptr ? &spare->head : nullptr);
    if (spare != nullptr)
        spare->chunk = std::move(chunk_);
    return file;
}

ScanMemory PackedFileReader::TakeMemory() && noexcept
{
    ScanMemory memory = std::move(scanner_).TakeMemory();
    memory.chunk = std::move(chunk_);
    return memory;
}

PackedFile ScanPackedBytes(std::span<const std::uint8_t> bytes, std::size_t extent)
{
    PackedFileReader reader(bytes, extent);
    while (reader.ReadChunk()) {
    }
    return std::move(reader).Finish();
}

} // namespace lmp
