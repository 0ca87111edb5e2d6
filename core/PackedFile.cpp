#include "core/PackedFile.h"

#include <algorithm>
#include <memory>
#include <system_error>

#include "sys/InputFile.h"

namespace lmp {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

void PackedFileScanner::Feed(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return;
    if (head_.Size() < headLimit_)
        head_.Append(bytes.first(std::min(bytes.size(), headLimit_ - head_.Size())));
    Settle(bytes);
}

std::span<std::uint8_t> PackedFileScanner::HeadSpace(std::size_t count)
{
    headSpaceStart_ = head_.Size();
    return head_.Extend(std::min(count, headLimit_ - std::min(headLimit_, head_.Size())));
}

void PackedFileScanner::FeedHead(std::size_t filled)
{
    head_.Truncate(headSpaceStart_ + filled);
    Settle(head_.Bytes().subspan(headSpaceStart_));
}

// Decoding may start a record only where the bytes it can read are all in the head and lie before the
// last four bytes seen so far, which may turn out to be the trailer. Within that, one record is decoded
// after every eight checksum bytes and the rest after the pass: the checksum is a chain of dependent
// steps that leaves most of the processor idle, and work interleaved this finely fills in beside it
// (coarser turns, a few hundred bytes each, hid almost nothing).
void PackedFileScanner::Checksum(std::span<const std::uint8_t> bytes)
{
    const std::size_t ready = head_.Size();
    if (decoder_ == nullptr || ready <= kLongestRecord) {
        checksum_.Add(bytes);
        return;
    }
    RunLengthCursor cursor = decoder_->Begin(head_.Bytes(), ready - kLongestRecord);
    std::uint32_t c = checksum_.Value();
    const std::uint8_t* p = bytes.data();
    for (std::size_t blocks = bytes.size() / 8; blocks > 0; --blocks, p += 8) {
        c = ChecksumEight(c, p);
        cursor.Step();
    }
    while (cursor.Step()) {
    }
    decoder_->End(cursor);
    checksum_ = ChecksumAccumulator(ChecksumStepsPortable(c, bytes.last(bytes.size() % 8)));
}

void PackedFileScanner::Settle(std::span<const std::uint8_t> bytes)
{
    size_ += bytes.size();

    // The last four bytes seen may be the trailer, so they reach the checksum only once four more
    // bytes have followed them.
    if (bytes.size() >= 4) {
        checksum_.Add(std::span<const std::uint8_t>(pending_, pendingCount_));
        Checksum(bytes.first(bytes.size() - 4));
        std::copy_n(bytes.end() - 4, 4, pending_);
        pendingCount_ = 4;
        return;
    }
    std::uint8_t joined[8];
    std::copy_n(pending_, pendingCount_, joined);
    std::copy(bytes.begin(), bytes.end(), joined + pendingCount_);
    const std::size_t count = pendingCount_ + bytes.size();
    const std::size_t settled = count > 4 ? count - 4 : 0;
    checksum_.Add(std::span<const std::uint8_t>(joined, settled));
    std::copy(joined + settled, joined + count, pending_);
    pendingCount_ = count - settled;
}

PackedFile PackedFileScanner::Finish() &&
{
    PackedFile file;
    file.size = size_;
    file.computedChecksum = checksum_.Value();
    if (pendingCount_ == 4) {
        file.storedChecksum =
            static_cast<std::uint32_t>(pending_[0]) | static_cast<std::uint32_t>(pending_[1]) << 8 |
            static_cast<std::uint32_t>(pending_[2]) << 16 | static_cast<std::uint32_t>(pending_[3]) << 24;
    }
    if (decoder_ != nullptr)
        decoder_->Decode(head_.Bytes(), file.BodyEnd());
    file.head = std::move(head_);
    return file;
}

PackedFile ScanPackedBytes(std::span<const std::uint8_t> bytes, std::size_t headLimit,
                           RunLengthDecoder* decoder)
{
    PackedFileScanner scanner(headLimit, decoder);
    scanner.Feed(bytes);
    return std::move(scanner).Finish();
}

PackedFile ReadPackedFile(const std::filesystem::path& path, std::size_t headLimit, RunLengthDecoder* decoder)
{
    std::error_code error;
    std::optional<sys::InputFile> opened = sys::InputFile::Open(path, error);
    if (!opened)
        throw FileError(PathText(path));
    sys::InputFile& file = *opened;

    // Reading stops at the size the file had when it was opened, so a file that grows meanwhile
    // cannot keep the read going.
    PackedFileScanner scanner(headLimit, decoder);
    // Only bytes past the head need a buffer of their own, allocated once and never zeroed.
    std::unique_ptr<std::uint8_t[]> chunk;
    std::size_t chunkSize = 0;
    std::uint64_t remaining = file.Size();
    while (remaining > 0) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkSize));
        std::span<std::uint8_t> into = scanner.HeadSpace(wanted);
        const bool intoHead = !into.empty();
        if (!intoHead) {
            if (!chunk) {
                chunkSize = wanted;
                chunk = std::make_unique_for_overwrite<std::uint8_t[]>(chunkSize);
            }
            into = std::span<std::uint8_t>(chunk.get(), std::min(wanted, chunkSize));
        }
        std::size_t got = 0;
        const bool ok = file.Read(into, got);
        if (intoHead)
            scanner.FeedHead(got);
        else
            scanner.Feed(into.first(got));
        if (!ok)
            throw FileError(PathText(path));
        remaining -= got;
        if (got < into.size())
            break;
    }
    return std::move(scanner).Finish();
}

} // namespace lmp
