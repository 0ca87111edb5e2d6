#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace lmp::sys {

// A file's state as the system keeps it: whenever the file is written, replaced or has its times set back,
// one of these changes (the change time at least), so a file whose stamp is the same has not been touched.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs =
        0; // last write, nanoseconds since 1970-01-01 UTC, as finely as the system keeps it
    std::int64_t changedNs = 0; // last change of the contents or the entry (the status change time), the same
    std::uint64_t inode = 0;    // the file's number on its volume
    std::uint64_t device = 0;   // the volume's number
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at path, links followed. None, with the system's error, when the path is
// not there, cannot be examined or is not a regular file.
std::optional<FileStamp> StampOfFile(const std::filesystem::path& path, std::error_code& error);

// Whether an error of StampOfFile says that nothing is at the path (or a part of it is no folder).
bool IsNotThere(const std::error_code& error) noexcept;

// The folder for this user's caches: $XDG_CACHE_HOME when it is an absolute path, else ~/.cache; on
// Windows %LOCALAPPDATA%. None when the environment names no such folder.
std::optional<std::filesystem::path> UserCacheFolder();

} // namespace lmp::sys
