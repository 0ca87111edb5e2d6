#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "core/ByteStream.h"
#include "core/Checksum.h"
#include "core/RunLength.h"

namespace lmp {

// A file that could not be opened or read; the text is "Cannot open file " and the path.
class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& path) : std::runtime_error("Cannot open file " + path) {}
};

// What describing needs of a packed file, gathered in one pass: its size, both checksums and its
// first bytes (as many as decoding up to a given extent can consume), never the whole file.
struct PackedFile {
    std::uint64_t size = 0;
    std::optional<std::uint32_t> storedChecksum; // none for a file shorter than four bytes
    std::uint32_t computedChecksum = 0;          // over everything before the trailer
    ByteStream head;

    // Where the body ends and the trailer begins: size - 4, or 0 for a file shorter than that.
    std::uint64_t BodyEnd() const noexcept { return size >= 4 ? size - 4 : 0; }
};

// Takes a file's bytes in order, in pieces of any size, keeping the first headLimit of them. Given a
// decoder, it also decodes the head's records as they arrive: the checksum is one chain of dependent
// steps, so the decoder's work on the same bytes runs beside it at little cost.
class PackedFileScanner {
public:
    explicit PackedFileScanner(std::size_t headLimit, RunLengthDecoder* decoder = nullptr)
        : headLimit_(headLimit), decoder_(decoder)
    {
    }

    void Feed(std::span<const std::uint8_t> bytes);

    // Reading straight into the head: up to count bytes at its end (fewer once it is full) for the
    // caller to fill, then FeedHead with how many of them it filled, which are fed like Feed's.
    std::span<std::uint8_t> HeadSpace(std::size_t count);
    void FeedHead(std::size_t filled);

    // The decoder, if any, has then decoded every record of the head that starts before the trailer.
    PackedFile Finish() &&;

private:
    void Settle(std::span<const std::uint8_t> bytes);
    void Checksum(std::span<const std::uint8_t> bytes);

    std::size_t headLimit_;
    RunLengthDecoder* decoder_;
    std::uint64_t size_ = 0;
    ChecksumAccumulator checksum_;
    ByteStream head_;
    std::size_t headSpaceStart_ = 0;
    std::uint8_t pending_[4] =
        {}; // the last bytes seen, held back until they are known not to be the trailer
    std::size_t pendingCount_ = 0;
};

// Scans bytes already in memory.
PackedFile ScanPackedBytes(std::span<const std::uint8_t> bytes, std::size_t headLimit,
                           RunLengthDecoder* decoder = nullptr);

// Reads a regular file once, read-only, in pieces of at most 1 MiB, the head straight into place.
// Throws FileError when it cannot be opened or read, or is not a regular file.
PackedFile ReadPackedFile(const std::filesystem::path& path, std::size_t headLimit,
                          RunLengthDecoder* decoder = nullptr);

} // namespace lmp
