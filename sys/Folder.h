#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
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
    bool regular = false;        // a regular file, or a link to one (Windows: any file that is no folder)
    bool hidden = false;         // a dot name on POSIX systems, the hidden attribute on Windows
    bool detailed = true;        // size, times and inode read (see FolderReader::Next)
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

// What FolderReader::Next reads of an entry besides its name and whether it is a folder.
enum class EntryDetails {
    Read,      // its size, times and inode, always
    WhenCheap, // those only where the listing gives them; FolderReader::Detail reads them later
};

// Reads a folder's entries one at a time, "." and ".." left out, in the system's order, so that a caller
// can use what has been read while the system is slow to give the rest. An entry that vanishes while it
// is read is left out. Used by one thread at a time.
class FolderReader {
public:
    FolderReader() = default;
    virtual ~FolderReader() = default;
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // The next entry; none at the end of the folder, or once reading has failed (Error() says why).
    // With EntryDetails::WhenCheap an entry whose size, times and inode the listing does not give (POSIX
    // systems give none) comes without them, detailed false: on a slow disk most of the time goes there.
    virtual std::optional<FolderEntry> Next(EntryDetails details) = 0;
    // Reads the size, times and inode of an entry that Next gave without them, whose name and kind are in
    // entry; false, entry unchanged, when it has gone since. Also after the end of the folder.
    virtual bool Detail(FolderEntry& entry);
    // The system's error that ended the reading; clear while it goes on and at the end of the folder.
    const std::error_code& Error() const noexcept { return error_; }

protected:
    std::error_code error_;
};

// Opens the folder at path for reading. Null, with the system's error in error, when the folder cannot be
// listed (missing, not a folder, no permission).
std::unique_ptr<FolderReader> OpenFolder(const std::filesystem::path& path, std::error_code& error);

// The entries of the folder at path, all of them, as OpenFolder reads them. None, with the system's error
// in error, when the folder cannot be listed or reading it fails.
std::optional<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& path, std::error_code& error);

// Which folder a path leads to, links followed: its volume's number and its own. A walk of a tree keeps
// them so that a link back up the tree does not lead it round for ever. None where it cannot be examined.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    auto operator<=>(const FolderIdentity&) const = default;
};
std::optional<FolderIdentity> IdentityOfFolder(const std::filesystem::path& path);

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
