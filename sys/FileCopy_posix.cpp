#include "sys/FileCopySteps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace lmp::sys::detail {

namespace {

std::error_code LastError()
{
    return {errno, std::system_category()};
}

int Descriptor(const FileHandle& handle)
{
    return static_cast<int>(handle.Get());
}

bool IsUnsupported(int code)
{
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP || code == EPERM ||
           code == EMLINK;
}

// The path by which the system reaches the file open as file, an unnamed one included.
std::string OpenFilePath(const FileHandle& file)
{
    return "/proc/self/fd/" + std::to_string(Descriptor(file));
}

std::chrono::system_clock::time_point TimeOf(const struct timespec& time)
{
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec)));
}

} // namespace

std::error_code ExistsError()
{
    return {EEXIST, std::system_category()};
}

bool IsSameFile(const InputFile& source, const std::filesystem::path& target)
{
    struct stat opened {};
    struct stat info {};
    return ::fstat(Descriptor(source.Handle()), &opened) == 0 && ::stat(target.c_str(), &info) == 0 &&
           info.st_dev == opened.st_dev && info.st_ino == opened.st_ino;
}

bool NameTaken(const std::filesystem::path& target)
{
    struct stat info {};
    return ::lstat(target.c_str(), &info) == 0;
}

bool CreateExclusive(const std::filesystem::path& path, FileHandle& file, std::error_code& error)
{
    file.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, S_IRUSR | S_IWUSR));
    if (file.Valid()) {
        return true;
    }
    error = LastError();
    return false;
}

bool CreateUnnamed(const std::filesystem::path& folder, FileHandle& file, std::error_code& error)
{
    error.clear();
#ifdef O_TMPFILE
    file.Reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC | O_NOCTTY, S_IRUSR | S_IWUSR));
    if (!file.Valid()) {
        // A kernel without the flag takes it for O_DIRECTORY and refuses to write to a folder.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = LastError();
        }
        return false;
    }
    // Without /proc the file could be written but never named.
    struct stat info {};
    if (::lstat(OpenFilePath(file).c_str(), &info) == 0) {
        return true;
    }
    file.Close();
#else
    static_cast<void>(folder);
    static_cast<void>(file);
#endif
    return false;
}

bool LinkUnnamed(const FileHandle& file, const std::filesystem::path& path, std::error_code& error)
{
    if (::linkat(AT_FDCWD, OpenFilePath(file).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    error = LastError();
    return false;
}

bool WriteAll(FileHandle& file, const std::uint8_t* data, std::size_t size, std::error_code& error)
{
    while (size > 0) {
        const ssize_t written = ::write(Descriptor(file), data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = LastError();
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool Settle(const InputFile& source, FileHandle& file, std::error_code& error)
{
    struct stat info {};
    if (::fstat(Descriptor(source.Handle()), &info) != 0) {
        error = LastError();
        return false;
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    const mode_t permissions = info.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
    if (::fchmod(Descriptor(file), permissions) != 0 || ::futimens(Descriptor(file), times) != 0 ||
        ::fsync(Descriptor(file)) != 0) {
        error = LastError();
        return false;
    }
    return true;
}

bool Finish(const InputFile& source, FileHandle& file, const std::filesystem::path&, std::error_code& error)
{
    if (!Settle(source, file, error)) {
        return false;
    }
    if (!file.Close()) {
        error = LastError();
        return false;
    }
    return true;
}

bool PlaceReplacing(const std::filesystem::path& temporary, const std::filesystem::path& target,
                    std::error_code& error)
{
    if (::rename(temporary.c_str(), target.c_str()) == 0) {
        return true;
    }
    error = LastError();
    return false;
}

// One step that no other writer can come between: an atomic no-replace rename, else a hard link,
// else (on file systems without links) a reservation of the name made with O_EXCL and replaced by
// the copy.
bool PlaceNoReplace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                    std::error_code& error)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (!IsUnsupported(errno)) {
        error = LastError();
        return false;
    }
#endif
    if (::link(temporary.c_str(), target.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return true;
    }
    if (!IsUnsupported(errno)) {
        error = LastError();
        return false;
    }
    FileHandle reservation;
    if (!CreateExclusive(target, reservation, error)) {
        return false;
    }
    reservation.Close();
    if (!PlaceReplacing(temporary, target, error)) {
        ::unlink(target.c_str());
        return false;
    }
    return true;
}

void RemoveTemporary(const std::filesystem::path& path)
{
    ::unlink(path.c_str());
}

bool LastTouched(const std::filesystem::path& path, std::chrono::system_clock::time_point& when)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    when = std::max(TimeOf(info.st_mtim), TimeOf(info.st_ctim));
    return true;
}

void SyncFolder(const std::filesystem::path& folder)
{
    const FileHandle handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.Valid()) {
        ::fsync(Descriptor(handle));
    }
}

} // namespace lmp::sys::detail
