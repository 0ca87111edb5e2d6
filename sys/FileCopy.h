#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

namespace lmp::sys {

enum class CopyMode { FailIfExists, Overwrite };

enum class CopyStatus {
    Copied,
    TargetExists, // fail-if-exists found a file (or anything else) under the target's name
    Failed,
};

struct CopyResult {
    CopyStatus status = CopyStatus::Failed;
    // The system's error for TargetExists and Failed (EEXIST, or ERROR_FILE_EXISTS on Windows, for
    // TargetExists); empty for Copied.
    std::error_code error;
};

// Faults a test can inject into a copy; the defaults inject none.
struct CopyFaults {
    // Writes to the copy fail with "no space left on device" once this many bytes are written.
    std::uint64_t writeLimit = std::numeric_limits<std::uint64_t>::max();
};

// Copies the regular file at source (symbolic links followed) to target, keeping its permission
// bits and modification time. The copy is written to a temporary file in the target's folder and
// put in place only when complete, so on any failure the target is exactly as it was and no
// temporary file is left. A source that is not a regular file fails. When source and target are the
// same file, FailIfExists reports TargetExists and Overwrite reports Copied without writing.
CopyResult CopyOneFile(const std::filesystem::path& source, const std::filesystem::path& target,
                       CopyMode mode, const CopyFaults& faults = {});

} // namespace lmp::sys
