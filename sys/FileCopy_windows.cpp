#include "sys/FileCopySteps.h"

#include <algorithm>

#include "sys/WindowsApi.h"

namespace lmp::sys::detail {

namespace {

// One WriteFile call takes at most a DWORD's worth of bytes.
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;

std::error_code LastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

HANDLE Native(const FileHandle& handle)
{
    return reinterpret_cast<HANDLE>(handle.Get());
}

FileHandle::Native Owned(HANDLE handle)
{
    return reinterpret_cast<FileHandle::Native>(handle);
}

bool IsExists(const std::error_code& error)
{
    return error.value() == ERROR_FILE_EXISTS || error.value() == ERROR_ALREADY_EXISTS;
}

} // namespace

std::error_code ExistsError()
{
    return {ERROR_FILE_EXISTS, std::system_category()};
}

bool IsSameFile(const InputFile& source, const std::filesystem::path& target)
{
    BY_HANDLE_FILE_INFORMATION opened{};
    if (GetFileInformationByHandle(Native(source.Handle()), &opened) == 0) {
        return false;
    }
    // Asks for no access, so that a target open in another program can still be looked at; folders
    // open only with backup semantics.
    const FileHandle other(
        Owned(CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    BY_HANDLE_FILE_INFORMATION info{};
    return other.Valid() && GetFileInformationByHandle(Native(other), &info) != 0 &&
           info.dwVolumeSerialNumber == opened.dwVolumeSerialNumber &&
           info.nFileIndexHigh == opened.nFileIndexHigh && info.nFileIndexLow == opened.nFileIndexLow;
}

bool NameTaken(const std::filesystem::path& target)
{
    return GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateExclusive(const std::filesystem::path& path, FileHandle& file, std::error_code& error)
{
    file.Reset(Owned(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (file.Valid()) {
        return true;
    }
    error = LastError();
    if (IsExists(error)) {
        error = ExistsError();
    }
    return false;
}

// Windows has no files without a name: the copy takes a temporary one.
bool CreateUnnamed(const std::filesystem::path&, FileHandle&, std::error_code& error)
{
    error.clear();
    return false;
}

bool LinkUnnamed(const FileHandle&, const std::filesystem::path&, std::error_code& error)
{
    error = {ERROR_NOT_SUPPORTED, std::system_category()};
    return false;
}

bool WriteAll(FileHandle& file, const std::uint8_t* data, std::size_t size, std::error_code& error)
{
    while (size > 0) {
        DWORD written = 0;
        const DWORD wanted = static_cast<DWORD>(std::min(size, kLargestWrite));
        if (WriteFile(Native(file), data, wanted, &written, nullptr) == 0) {
            error = LastError();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool Settle(const InputFile& source, FileHandle& file, std::error_code& error)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(Native(source.Handle()), &info) == 0 ||
        SetFileTime(Native(file), nullptr, &info.ftLastAccessTime, &info.ftLastWriteTime) == 0 ||
        FlushFileBuffers(Native(file)) == 0) {
        error = LastError();
        return false;
    }
    return true;
}

// The attributes stand in for POSIX's permission bits; read-only is set last, on the closed file,
// because it would refuse the writes before it.
bool Finish(const InputFile& source, FileHandle& file, const std::filesystem::path& path,
            std::error_code& error)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Settle(source, file, error)) {
        return false;
    }
    if (GetFileInformationByHandle(Native(source.Handle()), &info) == 0 || !file.Close()) {
        error = LastError();
        return false;
    }
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    const DWORD attributes = info.dwFileAttributes & kKept;
    if (attributes != 0 && SetFileAttributesW(path.c_str(), attributes) == 0) {
        error = LastError();
        return false;
    }
    return true;
}

// A rename within one folder, so one step: the target is the old file or the whole copy, never a
// mix. ReplaceFileW is not used: on some failures it leaves the old file only under a backup name,
// and it gives the copy the old file's attributes.
bool PlaceReplacing(const std::filesystem::path& temporary, const std::filesystem::path& target,
                    std::error_code& error)
{
    constexpr DWORD kFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(temporary.c_str(), target.c_str(), kFlags) != 0) {
        return true;
    }
    error = LastError();
    return false;
}

// Without MOVEFILE_REPLACE_EXISTING the rename fails, in the same step, when the name is taken.
bool PlaceNoReplace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                    std::error_code& error)
{
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    error = LastError();
    if (IsExists(error)) {
        error = ExistsError();
    }
    return false;
}

void RemoveTemporary(const std::filesystem::path& path)
{
    // The source's read-only attribute may already be on it.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

bool LastTouched(const std::filesystem::path& path, std::chrono::system_clock::time_point& when)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) == 0 ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return false;
    }
    // FILETIME counts 100-nanosecond ticks from 1601-01-01 UTC, 11,644,473,600 seconds before 1970.
    constexpr std::int64_t kTicksBefore1970 = 116444736000000000;
    const auto ticks = [](const FILETIME& time) {
        return (std::int64_t{time.dwHighDateTime} << 32 | std::int64_t{time.dwLowDateTime}) -
               kTicksBefore1970;
    };
    const std::int64_t latest = std::max(ticks(data.ftCreationTime), ticks(data.ftLastWriteTime));
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    when = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(Ticks(latest)));
    return true;
}

// MOVEFILE_WRITE_THROUGH has put the new name on the disk already.
void SyncFolder(const std::filesystem::path&) {}

} // namespace lmp::sys::detail
