// Paths that are no readable game file, and files whose contents are bad, read from disk. Each gives the
// lines its contents call for or a FileError, never a crash or a hang.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "TestSupport.h"
#include "scan/DescribeFile.h"
#include "scan/DescribePipeline.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Concat;
using Result = std::pair<std::int32_t, Lines>;
using Outcome = std::variant<Result, std::string>; // the lines of a file, or the text of its error
const std::string kFailure(kVersionFailureLine);

DescribeOptions All()
{
    return {};
}
DescribeOptions OnlyOriginal()
{
    return {.acceptFirstExpansion = false, .acceptSecondExpansion = false};
}

Outcome DescribePath(const fs::path& path, const DescribeOptions& options = All())
{
    try {
        const Description described = DescribeFile(path, options);
        return Result(described.edition, described.lines);
    } catch (const FileError& error) {
        return std::string(error.what());
    }
}

// The five track design lines: type name, the three ratings, the length text.
Lines Track(const std::string& type, const char* excitement, const char* intensity, const char* nausea,
            const std::string& length)
{
    return {"      Type: " + type, std::string("Excitement: ") + excitement,
            std::string(" Intensity: ") + intensity, std::string("    Nausea: ") + nausea,
            "    Length: " + length};
}

Lines TrackFile(const std::string& name, const std::string& version, const Lines& track)
{
    return Concat({{"File Name : " + name, "   Version: " + version}, track});
}

TEST(BadInput, FilesOfNoneToThreeBytesOnDiskGiveTheVersionFailureByTypeAndFlags)
{
    const test::TempFolder folder;
    struct Row {
        const char* name;
        Lines all, one;
    };
    const Row rows[] = {
        {"x.TD4", {kFailure}, {}}, {"x.SV4", {kFailure}, {kFailure}}, {"x.SC4", {kFailure}, {}}};
    const Bytes files[] = {{}, {0x00}, {0x00, 0x41}, {0x00, 0x41, 0x84}};
    for (const auto& row : rows) {
        for (const Bytes& file : files) {
            SCOPED_TRACE(testing::Message() << row.name << ", " << file.size() << " bytes");
            testkit::WriteFile(folder / row.name, file);
            EXPECT_EQ(DescribePath(folder / row.name), Outcome(Result(kNoEdition, row.all)));
            EXPECT_EQ(DescribePath(folder / row.name, OnlyOriginal()), Outcome(Result(kNoEdition, row.one)));
        }
    }
}

// 2^23 records of 129 copies of 01 would decode to a gigabyte; a track design reads 54 of them: type 1,
// flag byte 01 (no expansion bit), length 0x0101 = 257 metres, ratings of 1 tenth.
TEST(BadInput, TrackDesignThatWouldExpandToAGigabyteIsDescribedFromItsFirstBytes)
{
    Bytes body(std::size_t{2} << 23, 0x01);
    for (std::size_t i = 0; i < body.size(); i += 2)
        body[i] = 0x80;
    const test::TempFolder folder;
    testkit::WriteFile(folder / "huge.TD4", testkit::PackGameFile(body, FileType::TrackDesign, 0));
    EXPECT_EQ(DescribePath(folder / "huge.TD4"),
              Outcome(Result(0, TrackFile("huge.TD4", "Original LMP",
                                          Track("Stand-Up Steel Roller Coaster", "0.10", "0.10", "0.10",
                                                "843 ft, (257 meters)")))));
}

#ifdef _WIN32
TEST(BadInput, PathsThatAreNoReadableFileGiveTheOpenErrorAndOddReadablePathsAreDescribed)
{
    GTEST_SKIP() << "needs POSIX: named pipes, symbolic links, /dev/zero, names that are not UTF-8, openat";
}

TEST(BadInput, FileWithoutReadPermissionGivesTheOpenError)
{
    GTEST_SKIP() << "needs POSIX: permission bits that deny reading, fork and setuid";
}
#else
// The open error with the system's reason, as every message of a file that cannot be opened gives it.
std::string CannotOpen(const fs::path& path, const std::string& reason)
{
    return "Cannot open file " + path.string() + ": " + reason;
}

Outcome PipedOutcome(DescribeOutcome outcome)
{
    try {
        const Description described = std::move(outcome).Take();
        return Result(described.edition, described.lines);
    } catch (const FileError& error) {
        return std::string(error.what());
    }
}

// Folders nested levels deep below base, each named by 100 letters, holding one file. They are made
// and removed one level at a time through open folders, so that paths longer than the system allows
// can be built and taken apart again.
class DeepFolder {
public:
    DeepFolder(const fs::path& base, int levels, const std::string& fileName, const Bytes& bytes)
        : path_(base), fileName_(fileName)
    {
        fds_.push_back(::open(base.c_str(), O_RDONLY | O_DIRECTORY));
        for (int i = 0; i < levels && fds_.back() >= 0; ++i) {
            ::mkdirat(fds_.back(), kLevel.c_str(), 0755);
            fds_.push_back(::openat(fds_.back(), kLevel.c_str(), O_RDONLY | O_DIRECTORY));
            path_ /= kLevel;
        }
        const int file =
            fds_.back() < 0 ? -1 : ::openat(fds_.back(), fileName.c_str(), O_WRONLY | O_CREAT, 0644);
        made_ = file >= 0 && ::write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (file >= 0)
            ::close(file);
    }
    ~DeepFolder()
    {
        if (fds_.back() >= 0)
            ::unlinkat(fds_.back(), fileName_.c_str(), 0);
        for (std::size_t i = fds_.size(); i-- > 0;) {
            if (fds_[i] < 0)
                continue;
            ::close(fds_[i]);
            if (i > 0 && fds_[i - 1] >= 0)
                ::unlinkat(fds_[i - 1], kLevel.c_str(), AT_REMOVEDIR);
        }
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    bool Made() const noexcept { return made_; }
    fs::path File() const { return path_ / fileName_; }

private:
    inline static const std::string kLevel = std::string(100, 'd');
    fs::path path_;
    std::string fileName_;
    std::vector<int> fds_;
    bool made_ = false;
};

// Paths that are no readable game file give "Cannot open file PATH" (the path as given) and never
// block; other names are not opened at all; odd but readable paths are described.
TEST(BadInput, PathsThatAreNoReadableFileGiveTheOpenErrorAndOddReadablePathsAreDescribed)
{
    const test::TempFolder folder;
    const Bytes design = testkit::MakeTrackDesignFile(
        {.rideType = 12, .lengthMetres = 305, .excitement = 67, .intensity = 52, .nausea = 38}, 0);
    const Lines track = Track("Whoa Belly", "6.70", "5.20", "3.80", "1,000 ft, (305 meters)");
    testkit::WriteFile(folder / "real.TD4", design);
    for (const char* name : {"x.SV4", "x.TD4", "x.SC4"})
        fs::create_directories(folder / "folder" / name);
    fs::create_symlink("no such target", folder / "dangling.TD4");
    fs::create_symlink("loop.SC4", folder / "loop.SC4");
    fs::create_symlink("real.TD4", folder / "link.TD4");
    fs::create_symlink("/dev/zero", folder / "zero.SV4");
    ASSERT_EQ(::mkfifo((folder / "pipe.TD4").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((folder / "pipe.TP4").c_str(), 0644), 0);
    fs::create_symlink("pipe.TD4", folder / "pipe-link.SC4");
    const std::string latin1 = "Caf\xE9.TD4", invalid = "\xFF\xFE.td4", forged = "x\nFile Name : y.TD4",
                      commands = "\x1B]0;t\x07\x1B[2J\t\x7F\xC2\x9B\xE2\x80\xA8.TD4";
    for (const std::string& name : {latin1, forged, commands})
        testkit::WriteFile(folder / name, design);
    fs::create_directory(folder / "\xC3(");
    testkit::WriteFile(folder / "\xC3(" / invalid, design);
    const DeepFolder deep(folder.Path(), 6, "deep.TD4", design);     // more than 600 bytes
    const DeepFolder tooDeep(folder.Path(), 45, "deep.TD4", design); // more than the system's 4096
    ASSERT_TRUE(deep.Made() && tooDeep.Made());
    ASSERT_GT(deep.File().string().size(), 600u);
    ASSERT_GT(tooDeep.File().string().size(), 4500u);

    struct Row {
        const char* name;
        fs::path path;
        Outcome expected;
    };
    const auto error = [](const fs::path& path, const char* reason) {
        return Outcome(CannotOpen(path, reason));
    };
    const char* const notRegular = "Not a regular file";
    const auto described = [&](const std::string& name) {
        return Outcome(Result(0, TrackFile(name, "Original LMP", track)));
    };
    const Row rows[] = {
        {"a folder named x.SV4", folder / "folder" / "x.SV4",
         error(folder / "folder" / "x.SV4", "Is a directory")},
        {"a folder named x.TD4", folder / "folder" / "x.TD4",
         error(folder / "folder" / "x.TD4", "Is a directory")},
        {"a folder named x.SC4", folder / "folder" / "x.SC4",
         error(folder / "folder" / "x.SC4", "Is a directory")},
        {"a dangling symbolic link", folder / "dangling.TD4",
         error(folder / "dangling.TD4", "No such file or directory")},
        {"a symbolic link to itself", folder / "loop.SC4",
         error(folder / "loop.SC4", "Too many levels of symbolic links")},
        {"a symbolic link to an endless device", folder / "zero.SV4", error(folder / "zero.SV4", notRegular)},
        {"a FIFO named x.TD4", folder / "pipe.TD4", error(folder / "pipe.TD4", notRegular)},
        {"a symbolic link to a FIFO", folder / "pipe-link.SC4", error(folder / "pipe-link.SC4", notRegular)},
        {"a FIFO of another type is not opened", folder / "pipe.TP4", Outcome(Result(kNoEdition, {}))},
        {"a symbolic link to a track design", folder / "link.TD4", described("link.TD4")},
        // What is not UTF-8, a control character (C0, DEL, C1) or a line break shows as U+FFFD.
        {"a Latin-1 file name", folder / latin1, described("Caf\uFFFD.TD4")},
        {"names that are not UTF-8", folder / "\xC3(" / invalid, described("\uFFFD\uFFFD.td4")},
        {"a name that forges a line", folder / forged, described("x\uFFFDFile Name : y.TD4")},
        {"a name of terminal commands", folder / commands,
         described("\uFFFD]0;t\uFFFD\uFFFD[2J\uFFFD\uFFFD\uFFFD\uFFFD.TD4")},
        {"a missing file in a folder that is not UTF-8", folder / "\xC3(" / "gone.SV4",
         error(folder / "\xC3(" / "gone.SV4", "No such file or directory")},
        {"a path of more than 600 bytes", deep.File(), described("deep.TD4")},
        {"a path longer than the system allows", tooDeep.File(),
         error(tooDeep.File(), "File name too long")}};
    for (const auto& row : rows)
        EXPECT_EQ(DescribePath(row.path), row.expected) << row.name;

    // The same through a pipeline that asks the disk for every file ahead: asking never blocks on a
    // FIFO nor reads an endless device, and changes no outcome.
    DescribePipeline pipeline({.threads = 2, .ahead = 2, .prefetch = std::size(rows)});
    for (const auto& row : rows)
        pipeline.Submit(row.path, All());
    for (const auto& row : rows) {
        std::optional<DescribeOutcome> outcome = pipeline.Next();
        ASSERT_TRUE(outcome);
        EXPECT_EQ(PipedOutcome(std::move(*outcome)), row.expected) << row.name;
    }
}

// Root reads a file whatever its permissions say, so there the check runs in a child process that has
// given up root for an unprivileged user; where that is not possible the test is skipped.
TEST(BadInput, FileWithoutReadPermissionGivesTheOpenError)
{
    const test::TempFolder folder;
    const fs::path path = folder / "locked.SV4";
    testkit::ParkFields park;
    park.name = "Locked";
    testkit::WriteFile(path, testkit::MakeParkFile(park, FileType::SavedGame, 0));
    fs::permissions(path, fs::perms::none);
    const Outcome expected = CannotOpen(path, "Permission denied");
    if (::geteuid() != 0) {
        EXPECT_EQ(DescribePath(path), expected);
        return;
    }
    constexpr uid_t kNobody = 65534;
    constexpr int kCannotDrop = 77;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() == 0)
            ::_exit(kCannotDrop);
        ::_exit(DescribePath(path) == expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotDrop)
        GTEST_SKIP() << "running as root, which reads any file, and cannot switch to an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "the unprivileged child did not get \"" << CannotOpen(path, "Permission denied") << "\"";
}

#endif

} // namespace
} // namespace lmp
