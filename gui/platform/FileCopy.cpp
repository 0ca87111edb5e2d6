#include "gui/platform/FileCopy.h"

#include <cstddef>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lmp::gui {

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 18;
constexpr int kTemporaryNameAttempts = 100;

// A name no other program uses, hidden where the platform hides dot files.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& folder)
{
    std::random_device random;
    const std::uint64_t value = (std::uint64_t{random()} << 32) ^ std::uint64_t{random()};
    constexpr char kDigits[] = "0123456789abcdef";
    std::string name = ".lmp-copy-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += kDigits[(value >> shift) & 0xF];
    }
    name += ".tmp";
    return folder / name;
}

std::filesystem::path FolderOf(const std::filesystem::path& target)
{
    const std::filesystem::path folder = target.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

#ifdef _WIN32

std::error_code LastError()
{
    return {static_cast<int>(GetLastError()), std::system_category()};
}

std::error_code ExistsError()
{
    return {ERROR_FILE_EXISTS, std::system_category()};
}

class Handle {
public:
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    HANDLE get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle)
    {
        Close();
        handle_ = handle;
    }
    bool Close()
    {
        const bool closed = !Valid() || CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

struct Source {
    Handle file;
    BY_HANDLE_FILE_INFORMATION info{};
};

bool OpenSource(const std::filesystem::path& path, Source& source, std::error_code& error)
{
    source.file.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source.file.Valid() || GetFileInformationByHandle(source.file.get(), &source.info) == 0) {
        error = LastError();
        return false;
    }
    if ((source.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        GetFileType(source.file.get()) != FILE_TYPE_DISK) {
        error = {ERROR_DIRECTORY, std::system_category()};
        return false;
    }
    return true;
}

bool IsSameFile(const Source& source, const std::filesystem::path& target)
{
    Handle other;
    other.Reset(CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return other.Valid() && GetFileInformationByHandle(other.get(), &info) != 0 &&
           info.dwVolumeSerialNumber == source.info.dwVolumeSerialNumber &&
           info.nFileIndexHigh == source.info.nFileIndexHigh &&
           info.nFileIndexLow == source.info.nFileIndexLow;
}

bool NameTaken(const std::filesystem::path& target)
{
    return GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateExclusive(const std::filesystem::path& path, Handle& file, std::error_code& error)
{
    file.Reset(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Valid()) {
        return true;
    }
    error = LastError();
    if (error.value() == ERROR_ALREADY_EXISTS) {
        error = ExistsError();
    }
    return false;
}

bool ReadChunk(Source& source, char* buffer, std::size_t size, std::size_t& got, std::error_code& error)
{
    DWORD read = 0;
    if (ReadFile(source.file.get(), buffer, static_cast<DWORD>(size), &read, nullptr) == 0) {
        error = LastError();
        return false;
    }
    got = read;
    return true;
}

bool WriteAll(Handle& file, const char* data, std::size_t size, std::error_code& error)
{
    while (size > 0) {
        DWORD written = 0;
        if (WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) == 0) {
            error = LastError();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool Finish(const Source& source, Handle& file, const std::filesystem::path& path, std::error_code& error)
{
    if (SetFileTime(file.get(), nullptr, &source.info.ftLastAccessTime, &source.info.ftLastWriteTime) == 0 ||
        FlushFileBuffers(file.get()) == 0 || !file.Close()) {
        error = LastError();
        return false;
    }
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    const DWORD attributes = source.info.dwFileAttributes & kKept;
    if (attributes != 0 && SetFileAttributesW(path.c_str(), attributes) == 0) {
        error = LastError();
        return false;
    }
    return true;
}

bool PlaceNoReplace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                    std::error_code& error)
{
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    error = LastError();
    if (error.value() == ERROR_ALREADY_EXISTS || error.value() == ERROR_FILE_EXISTS) {
        error = ExistsError();
    }
    return false;
}

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

void RemoveTemporary(const std::filesystem::path& path)
{
    // The source's read-only attribute may already be on it.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

void SyncFolder(const std::filesystem::path&) {}

#else

std::error_code LastError()
{
    return {errno, std::system_category()};
}

std::error_code ExistsError()
{
    return {EEXIST, std::system_category()};
}

class Handle {
public:
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    int get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd)
    {
        Close();
        fd_ = fd;
    }
    bool Close()
    {
        const bool closed = !Valid() || ::close(fd_) == 0;
        fd_ = -1;
        return closed;
    }

private:
    int fd_ = -1;
};

struct Source {
    Handle file;
    struct stat info {};
};

bool OpenSource(const std::filesystem::path& path, Source& source, std::error_code& error)
{
    // Non-blocking, so that a named pipe or a device given as the source cannot hang the window
    // before it is found to be no regular file; reads of regular files never block anyway.
    source.file.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!source.file.Valid() || ::fstat(source.file.get(), &source.info) != 0) {
        error = LastError();
        return false;
    }
    if (!S_ISREG(source.info.st_mode)) {
        error = std::make_error_code(S_ISDIR(source.info.st_mode) ? std::errc::is_a_directory
                                                                  : std::errc::invalid_argument);
        return false;
    }
    return true;
}

bool IsSameFile(const Source& source, const std::filesystem::path& target)
{
    struct stat info {};
    return ::stat(target.c_str(), &info) == 0 && info.st_dev == source.info.st_dev &&
           info.st_ino == source.info.st_ino;
}

bool NameTaken(const std::filesystem::path& target)
{
    struct stat info {};
    return ::lstat(target.c_str(), &info) == 0;
}

bool CreateExclusive(const std::filesystem::path& path, Handle& file, std::error_code& error)
{
    file.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, S_IRUSR | S_IWUSR));
    if (file.Valid()) {
        return true;
    }
    error = LastError();
    return false;
}

bool ReadChunk(Source& source, char* buffer, std::size_t size, std::size_t& got, std::error_code& error)
{
    for (;;) {
        const ssize_t read = ::read(source.file.get(), buffer, size);
        if (read >= 0) {
            got = static_cast<std::size_t>(read);
            return true;
        }
        if (errno != EINTR) {
            error = LastError();
            return false;
        }
    }
}

bool WriteAll(Handle& file, const char* data, std::size_t size, std::error_code& error)
{
    while (size > 0) {
        const ssize_t written = ::write(file.get(), data, size);
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

bool Finish(const Source& source, Handle& file, const std::filesystem::path&, std::error_code& error)
{
    const struct timespec times[2] = {source.info.st_atim, source.info.st_mtim};
    const mode_t permissions = source.info.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
    if (::fchmod(file.get(), permissions) != 0 || ::futimens(file.get(), times) != 0 ||
        ::fsync(file.get()) != 0 || !file.Close()) {
        error = LastError();
        return false;
    }
    return true;
}

bool IsUnsupported(int code)
{
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP || code == EPERM ||
           code == EMLINK;
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

// Puts the finished copy under the target's name only if that name is free, in one step that no
// other writer can come between: an atomic no-replace rename, else a hard link, else (on file
// systems without links) a reservation of the name made with O_EXCL and replaced by the copy.
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
    Handle reservation;
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

// The new name reaches the disk with the folder's entries; a failure here loses nothing, the copy
// is in place.
void SyncFolder(const std::filesystem::path& folder)
{
    Handle handle;
    handle.Reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.Valid()) {
        ::fsync(handle.get());
    }
}

#endif

// The copy under its temporary name; removed when it goes out of scope unless it was put in place.
struct Temporary {
    std::filesystem::path path;
    Handle file;
    bool placed = false;

    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary()
    {
        if (!path.empty() && !placed) {
            file.Close();
            RemoveTemporary(path);
        }
    }
};

bool CreateTemporary(const std::filesystem::path& folder, Temporary& temporary, std::error_code& error)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::filesystem::path path = TemporaryNameIn(folder);
        if (CreateExclusive(path, temporary.file, error)) {
            temporary.path = path;
            return true;
        }
        if (error != ExistsError()) {
            return false;
        }
    }
    return false;
}

bool FillTemporary(Source& source, Temporary& temporary, const CopyFaults& faults, std::error_code& error)
{
    std::vector<char> buffer(kChunkSize);
    std::uint64_t written = 0;
    for (;;) {
        std::size_t got = 0;
        if (!ReadChunk(source, buffer.data(), buffer.size(), got, error)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        const bool full = faults.writeLimit - written < got;
        const std::size_t allowed = full ? static_cast<std::size_t>(faults.writeLimit - written) : got;
        if (!WriteAll(temporary.file, buffer.data(), allowed, error)) {
            return false;
        }
        written += allowed;
        if (full) {
            error = std::make_error_code(std::errc::no_space_on_device);
            return false;
        }
    }
}

CopyResult Failure(std::error_code error)
{
    return {error == ExistsError() ? CopyStatus::TargetExists : CopyStatus::Failed, error};
}

} // namespace

CopyResult CopyOneFile(const std::filesystem::path& source, const std::filesystem::path& target,
                       CopyMode mode, const CopyFaults& faults)
{
    std::error_code error;
    Source input;
    if (!OpenSource(source, input, error)) {
        return {CopyStatus::Failed, error};
    }
    // Written over itself, a file would be truncated before it is read; the copy it asks for is there.
    if (IsSameFile(input, target)) {
        return mode == CopyMode::FailIfExists ? CopyResult{CopyStatus::TargetExists, ExistsError()}
                                              : CopyResult{CopyStatus::Copied, {}};
    }
    // Found here, an existing target costs no copying; the placing step checks again, atomically.
    if (mode == CopyMode::FailIfExists && NameTaken(target)) {
        return {CopyStatus::TargetExists, ExistsError()};
    }
    const std::filesystem::path folder = FolderOf(target);
    Temporary temporary;
    if (!CreateTemporary(folder, temporary, error)) {
        return {CopyStatus::Failed, error};
    }
    if (!FillTemporary(input, temporary, faults, error) ||
        !Finish(input, temporary.file, temporary.path, error)) {
        return {CopyStatus::Failed, error};
    }
    const bool placed = mode == CopyMode::Overwrite ? PlaceReplacing(temporary.path, target, error)
                                                    : PlaceNoReplace(temporary.path, target, error);
    if (!placed) {
        return Failure(error);
    }
    temporary.placed = true;
    SyncFolder(folder);
    return {CopyStatus::Copied, {}};
}

} // namespace lmp::gui
