#include "sys/Folder.h"

#include <memory>
#include <string>

#include "sys/WindowsApi.h"

namespace lmp::sys {

namespace {

std::error_code LastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

struct CloseSearch {
    void operator()(HANDLE search) const noexcept { FindClose(search); }
};

// FILETIME counts 100-nanosecond steps from 1601-01-01; 11644473600 seconds lie between that and 1970.
std::int64_t UnixMilliseconds(const FILETIME& time)
{
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / 10000) - std::int64_t{11644473600} * 1000;
}

std::int64_t UnixNanoseconds(const FILETIME& time)
{
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return (static_cast<std::int64_t>(ticks) - std::int64_t{11644473600} * 10000000) * 100;
}

class WindowsFolderReader final : public FolderReader {
public:
    WindowsFolderReader(HANDLE search, const WIN32_FIND_DATAW& first) : search_(search), found_(first) {}

    // The listing gives every detail: there is nothing to leave for later.
    std::optional<FolderEntry> Next(EntryDetails) override
    {
        while (search_ && !error_) {
            const WIN32_FIND_DATAW found = found_;
            if (!FindNextFileW(search_.get(), &found_)) {
                if (GetLastError() != ERROR_NO_MORE_FILES) {
                    error_ = LastError();
                }
                search_.reset();
            }
            const std::wstring name(found.cFileName);
            if (name == L"." || name == L"..") {
                continue;
            }
            FolderEntry item;
            item.name = std::filesystem::path(name);
            item.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            item.regular = !item.isFolder;
            item.hidden = (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
            item.size = item.isFolder ? 0 : (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
            item.modified = UnixMilliseconds(found.ftLastWriteTime);
            item.modifiedNs = UnixNanoseconds(found.ftLastWriteTime);
            return item;
        }
        return std::nullopt;
    }

private:
    std::unique_ptr<void, CloseSearch> search_;
    WIN32_FIND_DATAW found_; // the entry Next gives next, while search_ is open
};

} // namespace

std::unique_ptr<FolderReader> OpenFolder(const std::filesystem::path& path, std::error_code& error)
{
    std::wstring pattern = path.native();
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    HANDLE first = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH);
    if (first == INVALID_HANDLE_VALUE) {
        error = LastError();
        return nullptr;
    }
    error.clear();
    return std::make_unique<WindowsFolderReader>(first, found);
}

RenameResult RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // Without MOVEFILE_REPLACE_EXISTING the system refuses a name that is taken.
    if (MoveFileExW(from.c_str(), to.c_str(), 0)) {
        return {RenameStatus::Renamed, {}};
    }
    const std::error_code failure = LastError();
    const bool exists = failure.value() == ERROR_FILE_EXISTS || failure.value() == ERROR_ALREADY_EXISTS;
    return {exists ? RenameStatus::TargetExists : RenameStatus::Failed, failure};
}

std::optional<FolderIdentity> IdentityOfFolder(const std::filesystem::path& path)
{
    // Backup semantics open a folder; reading attributes only, whoever else holds it open.
    HANDLE opened = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool read = GetFileInformationByHandle(opened, &info) != 0;
    CloseHandle(opened);
    if (!read || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return std::nullopt;
    }
    return FolderIdentity{info.dwVolumeSerialNumber,
                          (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

} // namespace lmp::sys
