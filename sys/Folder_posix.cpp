#include "sys/Folder.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace lmp::sys {

namespace {

std::error_code LastError()
{
    return {errno, std::generic_category()};
}

struct CloseFolder {
    void operator()(DIR* folder) const noexcept { closedir(folder); }
};

// Fills in what the status of a file gives.
void TakeStatus(const struct stat& status, FolderEntry& item)
{
    item.isFolder = S_ISDIR(status.st_mode);
    item.regular = S_ISREG(status.st_mode);
    item.size = item.isFolder ? 0 : static_cast<std::uint64_t>(status.st_size);
    item.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000 +
                    static_cast<std::int64_t>(status.st_mtim.tv_nsec) / 1000000;
    item.modifiedNs = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                      static_cast<std::int64_t>(status.st_mtim.tv_nsec);
    item.inode = static_cast<std::uint64_t>(status.st_ino);
    item.changedNs = static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1000000000 +
                     static_cast<std::int64_t>(status.st_ctim.tv_nsec);
    item.device = static_cast<std::uint64_t>(status.st_dev);
    item.detailed = true;
}

class PosixFolderReader final : public FolderReader {
public:
    explicit PosixFolderReader(DIR* folder) : folder_(folder), descriptor_(dirfd(folder)) {}

    std::optional<FolderEntry> Next(EntryDetails details) override
    {
        if (error_ || ended_) {
            return std::nullopt;
        }
        errno = 0;
        while (const dirent* entry = readdir(folder_.get())) {
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..") {
                continue;
            }
            FolderEntry item;
            // A link, or a file system that does not say, needs the status to tell a folder from a file.
            if (details == EntryDetails::WhenCheap && (entry->d_type == DT_DIR || entry->d_type == DT_REG)) {
                item.isFolder = entry->d_type == DT_DIR;
                item.regular = entry->d_type == DT_REG;
                item.detailed = false;
            } else if (!Status(entry->d_name, item)) {
                errno = 0;
                continue;
            }
            item.name = std::filesystem::path(std::string(name));
            item.hidden = name.front() == '.';
            return item;
        }
        if (errno != 0) {
            error_ = LastError();
        }
        ended_ = true;
        return std::nullopt;
    }

    bool Detail(FolderEntry& entry) override { return entry.detailed || Status(entry.name.c_str(), entry); }

private:
    // Links are followed, so a link to a folder opens like one; a dangling link stays a file.
    bool Status(const char* name, FolderEntry& item) const
    {
        struct stat status {};
        if (fstatat(descriptor_, name, &status, 0) != 0 &&
            fstatat(descriptor_, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            return false;
        }
        TakeStatus(status, item);
        return true;
    }

    std::unique_ptr<DIR, CloseFolder> folder_;
    int descriptor_;
    bool ended_ = false;
};

} // namespace

std::unique_ptr<FolderReader> OpenFolder(const std::filesystem::path& path, std::error_code& error)
{
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) {
        error = LastError();
        return nullptr;
    }
    error.clear();
    return std::make_unique<PosixFolderReader>(folder);
}

RenameResult RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to)
{
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {RenameStatus::Renamed, {}};
    }
    if (errno != EINVAL && errno != ENOSYS) {
        const std::error_code failure = LastError();
        return {failure.value() == EEXIST ? RenameStatus::TargetExists : RenameStatus::Failed, failure};
    }
#endif
    // A file system without an atomic no-replace rename: look first. Another program could create the
    // name in between; that window is as narrow as the system allows.
    struct stat existing {};
    if (lstat(to.c_str(), &existing) == 0) {
        return {RenameStatus::TargetExists, {EEXIST, std::generic_category()}};
    }
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return {RenameStatus::Failed, LastError()};
    }
    return {RenameStatus::Renamed, {}};
}

std::optional<FolderIdentity> IdentityOfFolder(const std::filesystem::path& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return std::nullopt;
    }
    return FolderIdentity{static_cast<std::uint64_t>(status.st_dev),
                          static_cast<std::uint64_t>(status.st_ino)};
}

} // namespace lmp::sys
