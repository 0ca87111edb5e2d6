#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/Lines.h"

namespace lmp::tools {

// A file of size bytes that takes no disk space: all zero bytes. With matchingTrailer its last four
// bytes make it a saved game of the original edition, so describing it decodes it as well.
// Throws std::runtime_error when it cannot be created.
void MakeSparseFile(const std::filesystem::path& path, std::uint64_t size, bool matchingTrailer);

// A saved game of the original edition whose body is a small park followed by repeat records that
// would decode to about decodedBytes more bytes. The file is written in pieces, never held whole.
void MakeExpandingSavedGame(const std::filesystem::path& path, std::uint64_t decodedBytes);

struct Measurement {
    Lines lines;
    double seconds = 0;
    long peakBeforeKiB = 0; // peak resident memory of the process before describing
    long peakAfterKiB = 0;  // and after
};

// Describes the file with every edition accepted and measures time and peak resident memory.
Measurement MeasureDescribe(const std::filesystem::path& path);

// The process's peak resident memory so far, in KiB.
long PeakResidentKiB();

} // namespace lmp::tools
