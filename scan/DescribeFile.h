#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <stop_token>

#include "core/Describe.h"

namespace lmp {

// A file that could not be described for want of memory: "Not enough memory to describe PATH".
class MemoryError : public std::runtime_error {
public:
    explicit MemoryError(const std::filesystem::path& path);
};

// What describing the file at path failed with, inside a catch block: what it threw, or a MemoryError
// for the path when that was std::bad_alloc.
std::exception_ptr DescribeFailure(const std::filesystem::path& path) noexcept;

// Blocks of whole pages straight from the system (sys::AllocatePages: huge pages for the large ones),
// for buffers kept from one file to the next.
BlockSource& PageBlocks() noexcept;
// Scan buffers whose memory comes from PageBlocks, empty until a file fills them.
ScanMemory PageScanMemory() noexcept;

// The type of the file at path by its name's extension, as DescribeFile chooses it.
FileType FileTypeOfPath(const std::filesystem::path& path);

// A FileDescriber of the file at path, named by its file name: a game file is opened, or FileError is
// thrown as DescribeFile throws it; a file of another type is not opened and has no chunks. The
// describer takes memory's buffers once the file is open, and only then: a file that cannot be opened
// or is no game file leaves them where they are.
FileDescriber OpenFileDescriber(const std::filesystem::path& path, const DescribeOptions& options,
                                ScanMemory* memory = nullptr);

// Describes the file at path, choosing its type by the name's extension; files of other types are
// not opened. Throws FileError, before any line is produced, when a game file cannot be read, and
// MemoryError when the memory to describe it cannot be had.
Description DescribeFile(const std::filesystem::path& path, const DescribeOptions& options);

// The same, checking stop before each chunk of at most 1 MiB that it reads: nothing when stop was
// requested before the file had been read whole.
std::optional<Description> DescribeFile(const std::filesystem::path& path, const DescribeOptions& options,
                                        std::stop_token stop);

// The description of the file at path made from its facts (FactsOf) under options, named as DescribeFile
// names it: what DescribeFile gives for the file while it is as it was when the facts were read.
Description DescribeFromFacts(const std::filesystem::path& path, const DescriptionFacts& facts,
                              const DescribeOptions& options);

} // namespace lmp
