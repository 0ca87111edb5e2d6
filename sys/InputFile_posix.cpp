#include "sys/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace lmp::sys {

std::optional<InputFile> InputFile::Open(const std::filesystem::path& path, std::error_code& error)
{
    // Opened without waiting, so that a named pipe without a writer cannot block; the type is then
    // checked on the open file itself, so that it cannot change in between. Reads of a regular file
    // never wait anyway.
    FileHandle handle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (!handle.Valid() || ::fstat(static_cast<int>(handle.Get()), &status) != 0) {
        error = {errno, std::system_category()};
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode) || status.st_size < 0) {
        error = std::make_error_code(S_ISDIR(status.st_mode) ? std::errc::is_a_directory
                                                             : std::errc::invalid_argument);
        return std::nullopt;
    }
    error.clear();
    return InputFile(std::move(handle), static_cast<std::uint64_t>(status.st_size));
}

bool InputFile::Read(std::span<std::uint8_t> out, std::size_t& got, std::error_code& error) noexcept
{
    const int fd = static_cast<int>(handle_.Get());
    got = 0;
    while (got < out.size()) {
        const ::ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = {errno, std::system_category()};
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

const bool kPrefetchFileWorks = true;

bool PrefetchFile(const std::filesystem::path& path, std::uint64_t bytes) noexcept
{
    std::error_code error;
    const std::optional<InputFile> file = InputFile::Open(path, error);
    if (!file || file->Size() == 0 || bytes == 0)
        return false;
    const int fd = static_cast<int>(file->Handle().Get());
    const std::uint64_t length = std::min<std::uint64_t>(
        {bytes, file->Size(), static_cast<std::uint64_t>(std::numeric_limits<::off_t>::max())});
    // A read that must not wait tells whether the last byte asked for is cached, for less than the
    // request itself costs on a file whose pages are all there.
#ifdef RWF_NOWAIT
    std::uint8_t last = 0;
    ::iovec into{&last, 1};
    if (::preadv2(fd, &into, 1, static_cast<::off_t>(length - 1), RWF_NOWAIT) == 1)
        return true;
#endif
    // The pages are read on after the file is closed: the request is for the file's cache, not for
    // this descriptor. A length of 0 would mean the whole file, however large.
    ::posix_fadvise(fd, 0, static_cast<::off_t>(length), POSIX_FADV_WILLNEED);
    return false;
}

} // namespace lmp::sys
