#include "sys/InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
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

} // namespace lmp::sys
