#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "core/ByteStream.h"
#include "core/Checksum.h"
#include "core/RunLength.h"

namespace lmp {

// A file that could not be opened or read; the text is "Cannot open file " and the path, then, when the
// system gave one, ": " and its reason ("Cannot open file a.SV4: Permission denied").
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& path, std::string_view reason = {}, std::error_code code = {})
        : std::runtime_error("Cannot open file " + path + (reason.empty() ? "" : ": ") + std::string(reason)),
          code_(code)
    {
    }

    // The system's error, when there was one.
    const std::error_code& Code() const noexcept { return code_; }

private:
    std::error_code code_;
};

// What describing needs of a packed file, gathered in one pass: its size, both checksums and its
// contents decoded up to a given extent, never the whole file.
struct PackedFile {
    std::uint64_t size = 0;
    std::optional<std::uint32_t> storedChecksum; // none for a file shorter than four bytes
    std::uint32_t computedChecksum = 0;          // over everything before the trailer
    ByteStream decoded;                          // the body's records, up to the extent

    // Where the body ends and the trailer begins: size - 4, or 0 for a file shorter than that.
    std::uint64_t BodyEnd() const noexcept { return size >= 4 ? size - 4 : 0; }
};

// The buffers a scan fills, handed from one file to the next by callers that read many: a fresh buffer's
// pages each cost the system a fault when first written, which on a virtual machine takes longer than
// the checksum of the page, and the allocator gives large buffers back to the system when they are freed.
struct ScanMemory {
    ByteStream head;
    ByteStream decoded;
    ByteStream chunk; // a file's bytes past its head, read a chunk at a time

    std::size_t Capacity() const noexcept { return head.Capacity() + decoded.Capacity() + chunk.Capacity(); }
};

// One piece's checksum steps with its decoding beside them, taken out of a scanner so that the pieces of
// several files can run in one loop (RunScanLoops): each file's checksum is a chain of dependent steps that
// leaves most of the processor idle, and the chains of other files fill it. A scanner hands one out
// (BeginFeed) and takes it back once it has run (EndFeed).
struct ScanLoop {
    std::uint32_t checksum = 0;
    const std::uint8_t* next = nullptr; // the next block of eight bytes
    std::size_t blocks = 0;             // blocks of eight bytes left
    RunLengthCursor cursor;             // one record decoded after each block; a default one decodes nothing
    std::span<const std::uint8_t> tail; // fewer than eight bytes after the blocks
    bool decoding = false;              // the cursor is the scanner's decoder's
};

// Runs the loops, all of them to their end: the checksum steps of every block with one record decoded after
// each, the loops' blocks taken in turn while two or more have blocks left.
void RunScanLoops(std::span<ScanLoop> loops) noexcept;

// Takes a file's bytes in order, in pieces of any size, and gathers its PackedFile: the checksum, the last
// four bytes held back until they are known not to be the trailer, and the body's records decoded up to
// extent bytes. Only the first bytes that such decoding can consume are kept (RunLengthInputBound), and
// they are decoded as they arrive, beside the checksum.
class PackedFileScanner {
public:
    // memory's buffers are emptied and reused.
    explicit PackedFileScanner(std::size_t extent, ScanMemory memory = {});

    void Feed(std::span<const std::uint8_t> bytes);

    // Reading straight into the head: up to count bytes at its end (fewer once it is full) for the
    // caller to fill, then FeedHead with how many of them it filled, which are fed like Feed's.
    std::span<std::uint8_t> HeadSpace(std::size_t count);
    void FeedHead(std::size_t filled);

    // Feed and FeedHead in two halves, with the loop over the bytes run in between (RunScanLoops): Begin
    // takes the bytes, which must stay in place until End, and hands out their loop; End takes it back.
    // Nothing else is done with the scanner in between.
    ScanLoop BeginFeed(std::span<const std::uint8_t> bytes);
    ScanLoop BeginFeedHead(std::size_t filled);
    void EndFeed(ScanLoop& loop);

    // Room for a head of size bytes (at most the head's limit) taken at once, so that the head is not
    // copied as it grows.
    void ReserveHead(std::uint64_t size);

    // Decodes the records left that start before the trailer, up to the extent. The head's buffer goes to
    // spareHead when given.
    PackedFile Finish(ByteStream* spareHead = nullptr) &&;
    // The buffers, emptied, for another file, when this one is given up.
    ScanMemory TakeMemory() && noexcept;

private:
    ScanLoop Settle(std::span<const std::uint8_t> bytes);

    std::size_t headLimit_;
    RunLengthDecoder decoder_;
    std::uint64_t size_ = 0;
    ChecksumAccumulator checksum_;
    ByteStream head_;
    std::size_t headSpaceStart_ = 0;
    std::uint8_t pending_[4] =
        {}; // the last bytes seen, held back until they are known not to be the trailer
    std::size_t pendingCount_ = 0;
};

// Where a PackedFileReader takes a file's bytes from: a file opened for reading (scan/FileSource.h), or
// anything else that hands out bytes in order.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // The bytes there are to read; reading stops there even if more arrive.
    virtual std::uint64_t Size() const = 0;
    // Reads on from where the last read stopped into the start of into; fewer bytes than asked for only
    // at the end. Throws FileError when the bytes cannot be read.
    virtual std::size_t Read(std::span<std::uint8_t> into) = 0;
};

// Reads a packed file once, in chunks of at most 1 MiB, the head straight into place, and scans each
// chunk as it arrives. ScanPackedBytes reads bytes whole; callers that do other work between two chunks
// (a stop check, other files) take them one at a time. A file and bytes in memory take the same steps.
class PackedFileReader {
public:
    // Reads the bytes of source, which must not be null, up to its Size.
    PackedFileReader(std::unique_ptr<ByteSource> source, std::size_t extent, ScanMemory memory = {});
    // Reads bytes, which must outlive the reader.
    PackedFileReader(std::span<const std::uint8_t> bytes, std::size_t extent, ScanMemory memory = {});
    ~PackedFileReader();
    PackedFileReader(PackedFileReader&&) noexcept;
    PackedFileReader& operator=(PackedFileReader&&) noexcept;

    // Reads and scans the next chunk; false, reading nothing, once the end has been reached. Throws
    // FileError when the source cannot be read.
    bool ReadChunk();

    // ReadChunk in two halves, so that the scans of several readers' chunks run in one loop
    // (RunScanLoops): reads the next chunk and hands out its loop (none, reading nothing, at the end);
    // EndChunk takes it back once it has run. Throws FileError when the source cannot be read.
    std::optional<ScanLoop> BeginChunk();
    void EndChunk(ScanLoop& loop);

    // The scanner's Finish; the buffers other than the decoded bytes go to spare when given.
    PackedFile Finish(ScanMemory* spare = nullptr) &&;
    // The buffers, emptied, for another file, when this one is given up half read.
    ScanMemory TakeMemory() && noexcept;

private:
    std::size_t Read(std::span<std::uint8_t> into);

    std::unique_ptr<ByteSource> source_;  // none when reading from memory
    std::span<const std::uint8_t> bytes_; // what is left of the bytes in memory
    PackedFileScanner scanner_;
    std::uint64_t remaining_ = 0;
    // Only bytes past the head need a buffer of their own, allocated once and never zeroed.
    ByteStream chunk_;
};

// Scans bytes already in memory with a PackedFileReader, in the same steps as a file.
PackedFile ScanPackedBytes(std::span<const std::uint8_t> bytes, std::size_t extent);

} // namespace lmp
