#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "sys/FileStamp.h"

namespace lmp::sys {

// One entry of a folder as the system names it, read from the folder's listing alone: no file is
// opened, so listing a large folder costs no more than the system's own listing.
struct FolderEntry {
    std::filesystem::path name;  // the entry's own name, its bytes (UTF-16 units on Windows) as stored
    std::uint64_t size = 0;      // bytes; 0 for folders
    std::int64_t modified = 0;   // last write, milliseconds since 1970-01-01 UTC
    std::int64_t modifiedNs = 0; // the same in nanoseconds, as finely as the system keeps it
    std::uint64_t inode = 0;     // the file's number on its volume; 0 where the listing gives none
    std::int64_t changedNs = 0;  // the status change time in nanoseconds; 0 where the listing gives none
    std::uint64_t device = 0;    // the volume's number; 0 where the listing gives none
    bool isFolder = false;       // a folder, or a link to one
    bool hidden = false;         // a dot name on POSIX systems, the hidden attribute on Windows
};

// The entry's stamp as the listing gives it; on POSIX systems the same as StampOfFile's for a regular file
// (the listing follows links). Windows listings have no change time: there it is no stamp for a cache.
inline FileStamp StampOf(const FolderEntry& entry) noexcept
{
    return {.size = entry.size,
            .modifiedNs = entry.modifiedNs,
            .changedNs = entry.changedNs,
            .inode = entry.inode,
            .device = entry.device};
}

// The entries of the folder at path, "." and ".." left out, in the system's order. None, with the
// system's error in error, when the folder cannot be listed (missing, not a folder, no permission).
// An entry that vanishes while it is read is left out.
std::optional<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& path, std::error_code& error);

enum class RenameStatus {
    Renamed,
    TargetExists, // something of the new name is there already; it is left as it was
    Failed,
};

struct RenameResult {
    RenameStatus status = RenameStatus::Failed;
    std::error_code error; // the system's error unless Renamed
};

// Gives the file or folder at from the path to, never replacing anything that is at to.
RenameResult RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace lmp::sys
