#pragma once

#include <filesystem>
#include <optional>
#include <stop_token>

#include "core/Describe.h"

namespace lmp {

// The type of the file at path by its name's extension, as DescribeFile chooses it.
FileType FileTypeOfPath(const std::filesystem::path& path);

// A FileDescriber of the file at path, named by its file name: a game file is opened, or FileError is
// thrown as DescribeFile throws it; a file of another type is not opened and has no chunks.
FileDescriber OpenFileDescriber(const std::filesystem::path& path, DescribeOptions options,
                                ScanMemory memory = {});

// Describes the file at path, choosing its type by the name's extension; files of other types are
// not opened. Throws FileError, before any line is produced, when a game file cannot be read.
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
