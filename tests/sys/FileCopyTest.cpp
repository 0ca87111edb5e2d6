// The copy routine behind drag-and-drop, over real temporary folders: what it reports, what it
// writes, and that no failure touches the target or leaves a temporary file behind.
#include "sys/FileCopy.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace lmp::sys {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

const std::string kNew = "new track bytes";
const std::string kOld = "old";

void Write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::optional<std::string> Read(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (!file || error) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

enum class Source { File, Missing, Folder, LinkToFile, DanglingLink, SameAsTarget };
enum class Target { Absent, OldFile, FolderThere, InMissingFolder };

struct CopyCase {
    const char* name;
    Source source;
    Target target;
    CopyMode mode;
    CopyStatus status;
    std::error_code error;
    std::optional<std::string> content; // of the target afterwards; none when it is no file
    std::vector<std::string> names;     // of the target folder afterwards
};

const std::error_code kNone;
const std::error_code kExists = std::make_error_code(std::errc::file_exists);
const std::error_code kMissing = std::make_error_code(std::errc::no_such_file_or_directory);
const std::error_code kIsFolder = std::make_error_code(std::errc::is_a_directory);

constexpr CopyMode kFailIfExists = CopyMode::FailIfExists;
constexpr CopyMode kOverwrite = CopyMode::Overwrite;
constexpr CopyStatus kCopied = CopyStatus::Copied;
constexpr CopyStatus kTargetExists = CopyStatus::TargetExists;
constexpr CopyStatus kFailed = CopyStatus::Failed;
const std::vector<std::string> kOnlyTarget = {"a.TD4"};
const std::vector<std::string> kEmpty;

// Each row on both routes: through an unnamed file, and under a temporary name as where the file system
// has no unnamed files.
template <typename Row, std::size_t N> std::vector<std::pair<Row, CopyFaults>> Cases(const Row (&rows)[N])
{
    std::vector<std::pair<Row, CopyFaults>> cases;
    for (const bool named : {false, true}) {
        for (const Row& row : rows) {
            cases.emplace_back(row, CopyFaults());
            cases.back().second.noUnnamedFile = named;
        }
    }
    return cases;
}

std::string RouteName(const CopyFaults& route)
{
    return route.noUnnamedFile ? "temporary name" : "unnamed file";
}

using enum Source;
using enum Target;

const CopyCase kCopyCases[] = {
    {"new name, fail if exists", File, Absent, kFailIfExists, kCopied, kNone, kNew, kOnlyTarget},
    {"new name, overwrite", File, Absent, kOverwrite, kCopied, kNone, kNew, kOnlyTarget},
    {"existing file, fail if exists", File, OldFile, kFailIfExists, kTargetExists, kExists, kOld,
     kOnlyTarget},
    {"existing file, overwrite", File, OldFile, kOverwrite, kCopied, kNone, kNew, kOnlyTarget},
    {"existing folder, fail if exists", File, FolderThere, kFailIfExists, kTargetExists, kExists,
     std::nullopt, kOnlyTarget},
    {"existing folder, overwrite", File, FolderThere, kOverwrite, kFailed, kIsFolder, std::nullopt,
     kOnlyTarget},
    {"missing source", Missing, Absent, kFailIfExists, kFailed, kMissing, std::nullopt, kEmpty},
    {"source is a folder", Folder, Absent, kFailIfExists, kFailed, kIsFolder, std::nullopt, kEmpty},
    {"source is a folder, over a file", Folder, OldFile, kOverwrite, kFailed, kIsFolder, kOld, kOnlyTarget},
    {"link to a file copies the file", LinkToFile, Absent, kFailIfExists, kCopied, kNone, kNew, kOnlyTarget},
    {"dangling link", DanglingLink, Absent, kFailIfExists, kFailed, kMissing, std::nullopt, kEmpty},
    {"target folder missing", File, InMissingFolder, kOverwrite, kFailed, kMissing, std::nullopt, kEmpty},
    {"same file, fail if exists", SameAsTarget, OldFile, kFailIfExists, kTargetExists, kExists, kNew,
     kOnlyTarget},
    {"same file, overwrite keeps it", SameAsTarget, OldFile, kOverwrite, kCopied, kNone, kNew, kOnlyTarget},
};

TEST(CopyOneFile, ReportsEachCaseAndLeavesOnlyTheTargetInItsFolder)
{
    for (const auto& [row, route] : Cases(kCopyCases)) {
        SCOPED_TRACE(std::string(row.name) + ", " + RouteName(route));
        const TempFolder from;
        const TempFolder to;
        fs::path source = from / "a.TD4";
        fs::path target = to / "a.TD4";
        switch (row.target) {
        case Target::Absent:
            break;
        case Target::OldFile:
            Write(target, row.source == Source::SameAsTarget ? kNew : kOld);
            break;
        case Target::FolderThere:
            fs::create_directory(target);
            break;
        case Target::InMissingFolder:
            target = to / "gone" / "a.TD4";
            break;
        }
        switch (row.source) {
        case Source::File:
            Write(source, kNew);
            break;
        case Source::Missing:
            break;
        case Source::Folder:
            fs::create_directory(source);
            break;
        case Source::LinkToFile:
            Write(from / "real.TD4", kNew);
            fs::create_symlink(from / "real.TD4", source);
            break;
        case Source::DanglingLink:
            fs::create_symlink(from / "gone.TD4", source);
            break;
        case Source::SameAsTarget:
            source = to / "." / "a.TD4";
            break;
        }

        const CopyResult result = CopyOneFile(source, target, row.mode, route);

        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.error.value(), row.error.value()) << result.error.message();
        EXPECT_EQ(fs::is_regular_file(fs::symlink_status(target)) ? Read(target) : std::nullopt, row.content);
        EXPECT_EQ(Names(to.Path()), row.names);
    }
}

TEST(CopyOneFile, CopiesFilesAroundTheChunkSizeByteForByte)
{
    // The routine copies in chunks of 256 KiB.
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{262143}, std::size_t{262144},
                                   std::size_t{262145}, std::size_t{1048583}}) {
        SCOPED_TRACE(size);
        const TempFolder folder;
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>((i * 31 + i / 251) & 0xFF);
        }
        Write(folder / "big.SV4", bytes);

        ASSERT_EQ(CopyOneFile(folder / "big.SV4", folder / "copy.SV4", CopyMode::FailIfExists).status,
                  CopyStatus::Copied);
        EXPECT_EQ(Read(folder / "copy.SV4"), bytes);
    }
}

TEST(CopyOneFile, KeepsThePermissionBitsAndModificationTimeOfTheSource)
{
    // 2001-02-03 04:05:06.123456789 UTC
    const struct timespec kStamp = {981173106, 123456789};
    for (const auto& [permissions, route] : Cases({mode_t{0640}, mode_t{0755}, mode_t{0400}})) {
        SCOPED_TRACE(RouteName(route));
        SCOPED_TRACE(permissions);
        const TempFolder folder;
        const fs::path source = folder / "a.TD4";
        Write(source, kNew);
        Write(folder / "b.TD4", kOld);
        ASSERT_EQ(::chmod(source.c_str(), permissions), 0);
        const struct timespec times[2] = {kStamp, kStamp};
        ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);

        ASSERT_EQ(CopyOneFile(source, folder / "b.TD4", CopyMode::Overwrite, route).status,
                  CopyStatus::Copied);

        struct stat copy {};
        ASSERT_EQ(::stat((folder / "b.TD4").c_str(), &copy), 0);
        EXPECT_EQ(copy.st_mode & 07777, permissions);
        EXPECT_EQ(copy.st_mtim.tv_sec, kStamp.tv_sec);
        EXPECT_EQ(copy.st_mtim.tv_nsec, kStamp.tv_nsec);
    }
}

struct FullDiskCase {
    const char* name;
    CopyMode mode;
    bool targetExists;
    std::uint64_t writeLimit;
    CopyStatus status;
    std::optional<std::string> content;
};

TEST(CopyOneFile, DiskFillingUpLeavesTheTargetAsItWasAndNoTemporaryFile)
{
    // kNew is 15 bytes long.
    const FullDiskCase cases[] = {
        {"overwrite, full at once", CopyMode::Overwrite, true, 0, CopyStatus::Failed, kOld},
        {"overwrite, full half way", CopyMode::Overwrite, true, 7, CopyStatus::Failed, kOld},
        {"overwrite, full one byte short", CopyMode::Overwrite, true, 14, CopyStatus::Failed, kOld},
        {"overwrite, full exactly at the end", CopyMode::Overwrite, true, 15, CopyStatus::Copied, kNew},
        {"new name, full half way", CopyMode::FailIfExists, false, 7, CopyStatus::Failed, std::nullopt},
    };
    for (const auto& [row, route] : Cases(cases)) {
        SCOPED_TRACE(std::string(row.name) + ", " + RouteName(route));
        const TempFolder from;
        const TempFolder to;
        Write(from / "a.TD4", kNew);
        if (row.targetExists) {
            Write(to / "a.TD4", kOld);
        }

        CopyFaults faults = route;
        faults.writeLimit = row.writeLimit;
        const CopyResult result = CopyOneFile(from / "a.TD4", to / "a.TD4", row.mode, faults);

        EXPECT_EQ(result.status, row.status);
        if (row.status == CopyStatus::Failed) {
            EXPECT_EQ(result.error.value(), ENOSPC);
        }
        EXPECT_EQ(Read(to / "a.TD4"), row.content);
        EXPECT_EQ(Names(to.Path()), row.content ? kOnlyTarget : kEmpty);
    }
}

// A stop requested before the copy or after any piece of it leaves the target as it was and nothing
// else; the pieces written before are reported as they go.
TEST(CopyOneFile, StopRequestedLeavesTheTargetAsItWasAndNoTemporaryFile)
{
    constexpr std::uint64_t kPiece = 262144;
    const struct {
        const char* name;
        CopyMode mode;
        bool targetExists;
        int stopAfterPieces; // -1: before the copy starts
        std::vector<std::uint64_t> reported;
    } cases[] = {
        {"new name, before the start", CopyMode::FailIfExists, false, -1, {}},
        {"new name, after the first piece", CopyMode::FailIfExists, false, 1, {kPiece}},
        {"overwrite, after the second piece", CopyMode::Overwrite, true, 2, {kPiece, 2 * kPiece}},
    };
    for (const auto& [row, route] : Cases(cases)) {
        SCOPED_TRACE(std::string(row.name) + ", " + RouteName(route));
        const TempFolder from;
        const TempFolder to;
        Write(from / "big.SV4", std::string(3 * kPiece + 5, 'x'));
        if (row.targetExists) {
            Write(to / "a.TD4", kOld);
        }
        std::stop_source stop;
        if (row.stopAfterPieces < 0) {
            stop.request_stop();
        }
        std::vector<std::uint64_t> reported;
        const auto stopAfter = static_cast<std::size_t>(row.stopAfterPieces);
        CopyWatch watch{stop.get_token(), [&](std::uint64_t written) {
                            reported.push_back(written);
                            if (reported.size() == stopAfter) {
                                stop.request_stop();
                            }
                        }};

        const CopyResult result = CopyOneFile(from / "big.SV4", to / "a.TD4", row.mode, route, watch);

        EXPECT_EQ(result.status, CopyStatus::Cancelled);
        EXPECT_EQ(result.error, std::errc::operation_canceled);
        EXPECT_EQ(reported, row.reported);
        EXPECT_EQ(Read(to / "a.TD4"), row.targetExists ? std::optional<std::string>(kOld) : std::nullopt);
        EXPECT_EQ(Names(to.Path()), row.targetExists ? kOnlyTarget : kEmpty);
    }
}

// Makes a folder read-only for the life of the object: by its permission bits, and for a process
// that they do not bind (root) by the file system's immutable flag where it has one.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path& path) : path_(path)
    {
        ::chmod(path_.c_str(), 0555);
        if (Writable()) {
            SetImmutable(true);
        }
    }
    ~ReadOnlyFolder()
    {
        SetImmutable(false);
        ::chmod(path_.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool Writable() const
    {
        const fs::path probe = path_ / "probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0) {
            return false;
        }
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }

private:
    void SetImmutable(bool on) const
    {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) {
            return;
        }
        int flags = 0;
        if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(fd);
    }

    fs::path path_;
};

TEST(CopyOneFile, ReadOnlyTargetFolderFailsAndKeepsWhatItHolds)
{
    for (const CopyMode mode : {CopyMode::FailIfExists, CopyMode::Overwrite}) {
        SCOPED_TRACE(mode == CopyMode::Overwrite ? "overwrite" : "fail if exists");
        const TempFolder from;
        const TempFolder to;
        Write(from / "a.TD4", kNew);
        Write(from / "b.TD4", kNew);
        Write(to / "b.TD4", kOld);
        const ReadOnlyFolder readOnly(to.Path());
        if (readOnly.Writable()) {
            GTEST_SKIP() << "no way to make a folder read-only here";
        }

        const CopyResult fresh = CopyOneFile(from / "a.TD4", to / "a.TD4", mode);
        EXPECT_EQ(fresh.status, CopyStatus::Failed);
        EXPECT_TRUE(fresh.error == std::errc::permission_denied ||
                    fresh.error == std::errc::operation_not_permitted)
            << fresh.error.message();
        if (mode == CopyMode::Overwrite) {
            EXPECT_EQ(CopyOneFile(from / "b.TD4", to / "b.TD4", mode).status, CopyStatus::Failed);
        }
        EXPECT_EQ(Read(to / "b.TD4"), kOld);
        EXPECT_EQ(Names(to.Path()), std::vector<std::string>{"b.TD4"});
    }
}

// A child copies a 1 GiB sparse file over a.SV4, stops itself once 16 MiB are written and is killed.
TEST(CopyOneFile, KilledHalfWayLeavesNothingOrATemporaryFileThatTheCleanupTakesADayLater)
{
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named);
        const TempFolder from;
        const TempFolder to;
        Write(from / "big.SV4", "");
        fs::resize_file(from / "big.SV4", std::uintmax_t{1} << 30);
        Write(to / "a.SV4", kOld);
        CopyFaults faults;
        faults.noUnnamedFile = named;
        faults.afterWrite = [](std::uint64_t written) {
            if (written >= (std::uint64_t{16} << 20)) {
                ::raise(SIGSTOP);
            }
        };

        const pid_t child = ::fork();
        if (child == 0) {
            CopyOneFile(from / "big.SV4", to / "a.SV4", CopyMode::Overwrite, faults);
            ::_exit(0);
        }
        int stopped = 0;
        int killed = 0;
        const bool halted = ::waitpid(child, &stopped, WUNTRACED) == child && WIFSTOPPED(stopped);
        const std::vector<std::string> halfWay = Names(to.Path());
        ASSERT_TRUE(halted && ::kill(child, SIGKILL) == 0 && ::waitpid(child, &killed, 0) == child);

        EXPECT_TRUE(WIFSIGNALED(killed));
        EXPECT_EQ(Read(to / "a.SV4"), kOld);
        const std::vector<std::string> left = Names(to.Path());
        EXPECT_EQ(left, halfWay);
        ASSERT_EQ(left.size(), named ? 2u : 1u);
        EXPECT_EQ(fs::file_size(to / left[0]), named ? std::uintmax_t{16} << 20 : kOld.size());
        RemoveStaleTemporaries(to.Path());
        EXPECT_EQ(Names(to.Path()), left);
        RemoveStaleTemporaries(to.Path(), std::chrono::system_clock::now() + std::chrono::hours(25));
        EXPECT_EQ(Names(to.Path()), std::vector<std::string>{"a.SV4"});
    }
}

// Only regular files of the copy's temporary name go, and only when neither written nor changed for a
// day: a file whose time a copy has just set back to its source's is still being placed.
TEST(RemoveStaleTemporaries, RemovesOnlyTemporaryFilesOfTheCopyUntouchedForADay)
{
    const TempFolder folder;
    // A folder, a link to a.TD4, a file written an hour before the later time, then other names.
    const std::vector<std::string> kept = {
        ".lmp-copy-1111111111111111.tmp",  ".lmp-copy-2222222222222222.tmp",
        ".lmp-copy-3333333333333333.tmp",  ".lmp-copy-0123456789ABCDEF.tmp",
        ".lmp-copy-0123456789abcde.tmp",   ".lmp-copy-0123456789abcdeg.tmp",
        "x.lmp-copy-0123456789abcdef.tmp", "a.TD4"};
    for (const std::string& name : kept) {
        Write(folder / name, kOld);
    }
    fs::remove(folder / kept[0]);
    fs::create_directory(folder / kept[0]);
    fs::remove(folder / kept[1]);
    fs::create_symlink("a.TD4", folder / kept[1]);
    const std::string stale = ".lmp-copy-0123456789abcdef.tmp";
    Write(folder / stale, kNew);
    const auto now = std::chrono::system_clock::now();
    const auto later = now + std::chrono::hours(48);
    for (const auto& [name, when] : {std::pair{kept[2], later - std::chrono::hours(1)},
                                     std::pair{stale, now - std::chrono::hours(72)}}) {
        const auto since =
            std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
        const struct timespec time = {since / 1000000000, since % 1000000000};
        const struct timespec times[2] = {time, time};
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder / name).c_str(), times, 0), 0) << name;
    }

    RemoveStaleTemporaries(folder.Path(), now);
    EXPECT_TRUE(fs::exists(folder / stale));
    RemoveStaleTemporaries(folder.Path(), later);

    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(folder.Path()), expected);
}

} // namespace
} // namespace lmp::sys
