#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace lmp::sys {

// One entry of a folder as the system names it, read from the folder's listing alone: no file is
// opened, so listing a large folder costs no more than the system's own listing.
struct FolderEntry {
    std::filesystem::path name; // the entry's own name, its bytes (UTF-16 units on Windows) as stored
    std::uint64_t size = 0;     // bytes; 0 for folders
    std::int64_t modified = 0;  // last write, milliseconds since 1970-01-01 UTC
    bool isFolder = false;      // a folder, or a link to one
    bool hidden = false;        // a dot name on POSIX systems, the hidden attribute on Windows
};

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
