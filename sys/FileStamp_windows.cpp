#include "sys/FileStamp.h"

#include <cstdlib>

#include "sys/FileHandle.h"
#include "sys/WindowsApi.h"

namespace lmp::sys {

namespace {

std::error_code LastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

// FILETIME and LARGE_INTEGER times count 100-nanosecond steps from 1601-01-01; 11644473600 seconds lie
// between that and 1970.
std::int64_t UnixNanoseconds(std::int64_t ticks)
{
    return (ticks - std::int64_t{11644473600} * 10000000) * 100;
}

} // namespace

std::optional<FileStamp> StampOfFile(const std::filesystem::path& path, std::error_code& error)
{
    // Opened for its attributes only, so that a file another program holds open can still be examined.
    HANDLE opened = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        error = LastError();
        return std::nullopt;
    }
    const FileHandle file(reinterpret_cast<FileHandle::Native>(opened));
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandle(opened, &info) ||
        !GetFileInformationByHandleEx(opened, FileBasicInfo, &basic, sizeof basic)) {
        error = LastError();
        return std::nullopt;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = std::make_error_code(std::errc::is_a_directory);
        return std::nullopt;
    }
    error.clear();
    return FileStamp{.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
                     .modifiedNs = UnixNanoseconds(basic.LastWriteTime.QuadPart),
                     .changedNs = UnixNanoseconds(basic.ChangeTime.QuadPart),
                     .inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                     .device = info.dwVolumeSerialNumber};
}

bool IsNotThere(const std::error_code& error) noexcept
{
    return error.category() == std::system_category() &&
           (error.value() == ERROR_FILE_NOT_FOUND || error.value() == ERROR_PATH_NOT_FOUND);
}

std::optional<std::filesystem::path> UserCacheFolder()
{
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || *local == L'\0')
        return std::nullopt;
    return std::filesystem::path(local);
}

} // namespace lmp::sys
