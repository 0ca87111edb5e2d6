#include "sys/FileStamp.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include <sys/stat.h>

namespace lmp::sys {

namespace {

std::int64_t Nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

} // namespace

std::optional<FileStamp> StampOfFile(const std::filesystem::path& path, std::error_code& error)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        error = {errno, std::generic_category()};
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode) || status.st_size < 0) {
        error = std::make_error_code(S_ISDIR(status.st_mode) ? std::errc::is_a_directory
                                                             : std::errc::invalid_argument);
        return std::nullopt;
    }
    error.clear();
    return FileStamp{.size = static_cast<std::uint64_t>(status.st_size),
                     .modifiedNs = Nanoseconds(status.st_mtim),
                     .changedNs = Nanoseconds(status.st_ctim),
                     .inode = static_cast<std::uint64_t>(status.st_ino),
                     .device = static_cast<std::uint64_t>(status.st_dev)};
}

bool IsNotThere(const std::error_code& error) noexcept
{
    return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
}

std::optional<std::filesystem::path> UserCacheFolder()
{
    // The variable names the folder only when it is absolute; a relative one is to be ignored.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && std::string_view(cache).starts_with('/'))
        return std::filesystem::path(cache);
    const char* home = std::getenv("HOME");
    if (home != nullptr && std::string_view(home).starts_with('/'))
        return std::filesystem::path(home) / ".cache";
    return std::nullopt;
}

} // namespace lmp::sys
