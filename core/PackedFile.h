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
    std::optional<std::uint32_t> storedChecksum;  // none for a file shorter than four bytes
    std::uint32_t computedChecksum = 0;           // over everything before the trailer
    ByteStream head;

    // Where the body ends and the trailer begins: size - 4, or 0 for a file shorter than that.
    std::uint64_t BodyEnd() const noexcept { return size >= 4 ? size - 4 : 0; }
};

// Takes a file's bytes in order, in pieces of any size, keeping the first headLimit of them.
class PackedFileScanner {
public:
    explicit PackedFileScanner(std::size_t headLimit) : headLimit_(headLimit) {}

    void Feed(std::span<const std::uint8_t> bytes);
    PackedFile Finish() &&;

private:
    std::size_t headLimit_;
    std::uint64_t size_ = 0;
    ChecksumAccumulator checksum_;
    ByteStream head_;
    std::uint8_t pending_[4] = {};  // the last bytes seen, held back until they are known not to be the trailer
    std::size_t pendingCount_ = 0;
};

// Scans bytes already in memory.
PackedFile ScanPackedBytes(std::span<const std::uint8_t> bytes, std::size_t headLimit);

// Reads a regular file once, read-only, in fixed-size chunks. Throws FileError when it cannot be
// opened or read, or is not a regular file.
PackedFile ReadPackedFile(const std::filesystem::path& path, std::size_t headLimit);

} // namespace lmp
