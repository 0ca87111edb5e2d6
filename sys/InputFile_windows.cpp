#include "sys/InputFile.h"

#include <algorithm>

#include "sys/WindowsApi.h"

namespace lmp::sys {

namespace {

// One ReadFile call takes at most a DWORD's worth of bytes.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

std::error_code LastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

} // namespace

std::optional<InputFile> InputFile::Open(const std::filesystem::path& path, std::error_code& error)
{
    // A folder cannot be opened this way at all; a named pipe or a device opens without waiting and
    // is turned away by its type, checked on the open handle so that it cannot change in between.
    FileHandle handle(
        reinterpret_cast<FileHandle::Native>(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
    if (!handle.Valid()) {
        error = LastError();
        // A folder refuses to be opened this way as if access were denied: said as what it is.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (error.value() == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            error = {ERROR_DIRECTORY, std::system_category()};
        return std::nullopt;
    }
    const HANDLE native = reinterpret_cast<HANDLE>(handle.Get());
    if (GetFileType(native) != FILE_TYPE_DISK) {
        error = std::make_error_code(std::errc::invalid_argument);
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(native, &info) == 0) {
        error = LastError();
        return std::nullopt;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = {ERROR_DIRECTORY, std::system_category()};
        return std::nullopt;
    }
    error.clear();
    const std::uint64_t size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    return InputFile(std::move(handle), size);
}

bool InputFile::Read(std::span<std::uint8_t> out, std::size_t& got, std::error_code& error) noexcept
{
    const HANDLE native = reinterpret_cast<HANDLE>(handle_.Get());
    got = 0;
    while (got < out.size()) {
        DWORD read = 0;
        const DWORD wanted = static_cast<DWORD>(std::min(out.size() - got, kLargestRead));
        if (ReadFile(native, out.data() + got, wanted, &read, nullptr) == 0) {
            error = LastError();
            return false;
        }
        if (read == 0)
            break;
        got += read;
    }
    return true;
}

const bool kPrefetchFileWorks = false;

bool PrefetchFile(const std::filesystem::path&, std::uint64_t) noexcept
{
    return false;
}

} // namespace lmp::sys
