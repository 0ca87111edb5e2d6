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

} // namespace

std::optional<std::vector<FolderEntry>> ListFolder(const std::filesystem::path& path, std::error_code& error)
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
        return std::nullopt;
    }
    const std::unique_ptr<void, CloseSearch> search(first);
    std::vector<FolderEntry> entries;
    do {
        const std::wstring name(found.cFileName);
        if (name == L"." || name == L"..") {
            continue;
        }
        FolderEntry item;
        item.name = std::filesystem::path(name);
        item.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.hidden = (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        item.size = item.isFolder ? 0 : (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        item.modified = UnixMilliseconds(found.ftLastWriteTime);
        entries.push_back(std::move(item));
    } while (FindNextFileW(first, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        error = LastError();
        return std::nullopt;
    }
    error.clear();
    return entries;
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

} // namespace lmp::sys
