#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <stop_token>
#include <system_error>

namespace lmp::sys {

enum class CopyMode { FailIfExists, Overwrite };

enum class CopyStatus {
    Copied,
    TargetExists, // fail-if-exists found a file (or anything else) under the target's name
    Failed,
    Cancelled, // a stop was requested: the target is as it was and nothing is left
};

struct CopyResult {
    CopyStatus status = CopyStatus::Failed;
    // The system's error for TargetExists and Failed (EEXIST, or ERROR_FILE_EXISTS on Windows, for
    // TargetExists); operation_canceled for Cancelled; empty for Copied.
    std::error_code error;
};

// Faults a test can inject into a copy; the defaults inject none.
struct CopyFaults {
    // Writes to the copy fail with "no space left on device" once this many bytes are written.
    std::uint64_t writeLimit = std::numeric_limits<std::uint64_t>::max();
    // The target's file system has no unnamed files, as on Windows: the copy takes a temporary name.
    bool noUnnamedFile = false;
    // Called after each piece of the copy is written, with the bytes written so far.
    std::function<void(std::uint64_t written)> afterWrite;
};

// What the caller of a copy watches it by: a stop requested ends the copy before its next piece is
// written, and progress hears the bytes written so far after each piece (on the copying thread).
struct CopyWatch {
    std::stop_token stop;
    std::function<void(std::uint64_t written)> progress;
};

// Copies the regular file at source (symbolic links followed) to target, keeping its permission
// bits and modification time. The copy is written where no listing shows it and gets the target's
// name only when complete and on the disk, so on any failure the target is exactly as it was and
// nothing is left: on Linux as a file without a name in the target's folder, which the system frees
// even when the process is killed; elsewhere, and on file systems without such files, under a
// temporary name in that folder (".lmp-copy-" 16 hex digits ".tmp"), which only a killed process
// leaves behind (see RemoveStaleTemporaries). A source that is not a regular file fails. When
// source and target are the same file, FailIfExists reports TargetExists and Overwrite reports
// Copied without writing. A stop requested while the copy is written (or before) reports Cancelled,
// leaving the target and the folder as a failure does; once the copy is complete it is placed.
CopyResult CopyOneFile(const std::filesystem::path& source, const std::filesystem::path& target,
                       CopyMode mode, const CopyFaults& faults = {}, const CopyWatch& watch = {});

// How long a temporary file of a copy goes untouched before it counts as left by a killed copy.
inline constexpr std::chrono::hours kStaleTemporaryAge{24};

// Removes from folder the temporary files that copies killed before they ended left there: regular
// files named as CopyOneFile names its temporary files, neither written nor changed in the
// kStaleTemporaryAge before now (a copy under way touches its file at every write). Nothing else is
// touched; a folder that cannot be listed, or a file that cannot be removed, is left as it is. Called
// before copying into a folder.
void RemoveStaleTemporaries(const std::filesystem::path& folder,
                            std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

} // namespace lmp::sys
