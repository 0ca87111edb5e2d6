// The cache of descriptions on disk: what it gives back is what describing gives, a file is read again
// whenever its stamp differs, the bound, and the faults (damaged, unwritable, busy, removed) that never
// stop describing and are each said once.
#include "scan/DescriptionCache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "BaselineCases.h"
#include "scan/DescribeFile.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

using Paths = std::vector<std::filesystem::path>;

CacheSettings Quick()
{
    return {.settle = std::chrono::nanoseconds(0), .busyTimeout = std::chrono::milliseconds(100)};
}

// Looks the files up and stores what describing gives for those the cache does not hold; the answers.
std::vector<CacheLookup> Fill(DescriptionCache& cache, std::span<const std::filesystem::path> paths)
{
    std::vector<CacheLookup> answers = cache.Lookup(paths);
    std::vector<CacheEntry> entries;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (answers[i].answer == CacheAnswer::Absent)
            entries.push_back({paths[i], answers[i].stamp,
                               *FactsOf(FileTypeOfPath(paths[i]), DescribeFile(paths[i], {}), {})});
    }
    cache.Store(entries);
    return answers;
}

std::vector<CacheAnswer> AnswersOf(const std::vector<CacheLookup>& lookups)
{
    std::vector<CacheAnswer> answers;
    for (const CacheLookup& lookup : lookups)
        answers.push_back(lookup.answer);
    return answers;
}

// Small track designs of differing ratings, one a name.
Paths WriteDesigns(const test::TempFolder& folder, std::size_t count)
{
    Paths paths;
    for (std::size_t i = 0; i < count; ++i) {
        paths.push_back(folder / ("Coaster " + std::to_string(i) + ".TD4"));
        const auto rating = static_cast<std::uint8_t>(i % 200);
        testkit::WriteFile(paths.back(), testkit::MakeTrackDesignFile(
                                             {.rideType = 52, .excitement = rating, .intensity = 40}, 2));
    }
    return paths;
}

// Every found answer holds the facts describing the file gives now.
void ExpectFoundRight(const Paths& paths, const std::vector<CacheLookup>& answers)
{
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (answers[i].answer == CacheAnswer::Found) {
            EXPECT_EQ(answers[i].facts, *FactsOf(FileTypeOfPath(paths[i]), DescribeFile(paths[i], {}), {}))
                << paths[i];
        }
    }
}

std::size_t CountContaining(const std::vector<std::string>& notices, std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(notices.begin(), notices.end(),
                      [&](const std::string& notice) { return notice.find(text) != std::string::npos; }));
}

TEST(DescriptionCache, GivesBackExactlyWhatDescribingGivesUnderEveryOptions)
{
    const test::TempFolder folder;
    Paths paths;
    for (const test::Case& file : test::AllCases()) {
        paths.push_back(folder / file.name);
        testkit::WriteFile(paths.back(), file.bytes);
    }
    {
        DescriptionCache cache(folder / "cache.db", Quick());
        for (const CacheAnswer answer : AnswersOf(Fill(cache, paths)))
            EXPECT_EQ(answer, CacheAnswer::Absent);
    }
    DescriptionCache cache(folder / "cache.db", Quick());
    const std::vector<CacheLookup> answers = cache.Lookup(paths);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i].filename());
        ASSERT_EQ(answers[i].answer, CacheAnswer::Found);
        for (const auto& [name, options] : test::OptionSets()) {
            SCOPED_TRACE(name);
            const Description described = DescribeFile(paths[i], options);
            const Description rebuilt = DescribeFromFacts(paths[i], answers[i].facts, options);
            EXPECT_EQ(rebuilt.lines, described.lines);
            EXPECT_EQ(rebuilt.edition, described.edition);
            EXPECT_EQ(rebuilt.summary, described.summary);
        }
    }
    EXPECT_TRUE(cache.TakeNotices().empty());
}

TEST(DescriptionCache, ReadsAFileAgainWhenAnyPartOfItsStampDiffers)
{
    const test::TempFolder folder;
    const Paths paths = WriteDesigns(folder, 2);
    DescriptionCache cache(folder / "cache.db", Quick());
    const sys::FileStamp stamp = Fill(cache, paths)[0].stamp;
    const DescriptionFacts facts = cache.Lookup(paths)[0].facts;

    // Each part of the stamp stored differing from the file's by one.
    for (std::uint64_t sys::FileStamp::*part :
         {&sys::FileStamp::size, &sys::FileStamp::inode, &sys::FileStamp::device}) {
        sys::FileStamp changed = stamp;
        changed.*part += 1;
        cache.Store(std::vector<CacheEntry>{{paths[0], changed, facts}});
        EXPECT_EQ(cache.Lookup(paths)[0].answer, CacheAnswer::Absent);
    }
    for (std::int64_t sys::FileStamp::*part : {&sys::FileStamp::modifiedNs, &sys::FileStamp::changedNs}) {
        sys::FileStamp changed = stamp;
        changed.*part += 1;
        cache.Store(std::vector<CacheEntry>{{paths[0], changed, facts}});
        EXPECT_EQ(cache.Lookup(paths)[0].answer, CacheAnswer::Absent);
    }
    cache.Store(std::vector<CacheEntry>{{paths[0], stamp, facts}});
    EXPECT_EQ(cache.Lookup(paths)[0].answer, CacheAnswer::Found);

    // Rewritten in place, then replaced by another file, each of the same size with the old time set back:
    // only the change time, then also the inode, tell them apart.
    const auto modified = std::filesystem::last_write_time(paths[0]);
    testkit::Bytes other(std::filesystem::file_size(paths[0]));
    std::ifstream(paths[0], std::ios::binary)
        .read(reinterpret_cast<char*>(other.data()), static_cast<std::streamsize>(other.size()));
    other[other.size() / 2] ^= 0x55;
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced" : "rewritten");
        const std::filesystem::path written = replace ? folder / "new.TD4" : paths[0];
        testkit::WriteFile(written, other);
        std::filesystem::last_write_time(written, modified);
        if (replace)
            std::filesystem::rename(written, paths[0]);
        const CacheLookup again = cache.Lookup(paths)[0];
        EXPECT_EQ(again.answer, CacheAnswer::Absent);
        EXPECT_EQ(again.stamp.size, stamp.size);
        EXPECT_EQ(again.stamp.modifiedNs, stamp.modifiedNs);
        Fill(cache, paths);
        ExpectFoundRight(paths, cache.Lookup(paths));
    }

    // A file no longer there loses its entry; one changed just now is not stored.
    std::filesystem::remove(paths[1]);
    EXPECT_EQ(cache.Lookup(paths)[1].answer, CacheAnswer::NotCached);
    EXPECT_EQ(cache.Entries(), 1U);
    DescriptionCache settling(folder / "cache.db");
    testkit::WriteFile(paths[1], other);
    EXPECT_EQ(settling.Lookup(paths)[1].answer, CacheAnswer::NotCached);
}

TEST(DescriptionCache, EvictsTheLeastRecentlyUsedPastItsBound)
{
    const test::TempFolder folder;
    const Paths paths = WriteDesigns(folder, 12);
    CacheSettings settings = Quick();
    settings.maxEntries = 10;
    settings.useStep = std::chrono::nanoseconds(1);
    DescriptionCache cache(folder / "cache.db", settings);
    // One at a time, so that each is used in a step of its own; the first is used again before the last two.
    for (std::size_t i = 0; i < 10; ++i)
        Fill(cache, std::span(paths).subspan(i, 1));
    ASSERT_EQ(cache.Lookup(std::span(paths).first(1))[0].answer, CacheAnswer::Found);
    Fill(cache, std::span(paths).subspan(10, 1));
    Fill(cache, std::span(paths).subspan(11, 1));

    const std::vector<CacheAnswer> answers = AnswersOf(cache.Lookup(paths));
    EXPECT_LE(cache.Entries(), 10U);
    EXPECT_EQ(answers[0], CacheAnswer::Found);
    EXPECT_EQ(answers[1], CacheAnswer::Absent);
    EXPECT_EQ(answers[11], CacheAnswer::Found);
    EXPECT_EQ(std::count(answers.begin(), answers.end(), CacheAnswer::Found), cache.Entries());
}

TEST(DescriptionCache, SetsADamagedCacheAsideOnceAndStartsAnew)
{
    const test::TempFolder folder;
    const Paths paths = WriteDesigns(folder, 400);
    const std::filesystem::path file = folder / "cache.db";
    const std::vector<std::pair<std::string, std::function<void()>>> damages = {
        {"truncated",
         [&] { std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2 + 100); }},
        {"garbage",
         [&] {
             std::ofstream out(file, std::ios::binary | std::ios::trunc);
             for (int i = 0; i < 20000; ++i)
                 out.put(static_cast<char>((i * 7919) % 251));
         }},
        {"a folder",
         [&] {
             std::filesystem::remove(file);
             std::filesystem::create_directories(file / "inside");
         }},
    };
    for (const auto& [name, damage] : damages) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(file);
        std::filesystem::remove_all(folder / "cache.db.corrupt");
        {
            DescriptionCache cache(file, Quick());
            Fill(cache, paths);
        }
        damage();
        DescriptionCache cache(file, Quick());
        std::vector<CacheLookup> answers = cache.Lookup(paths);
        ExpectFoundRight(paths, answers);
        answers = Fill(cache, paths);
        ExpectFoundRight(paths, answers);
        answers = cache.Lookup(paths);
        for (const CacheAnswer answer : AnswersOf(answers))
            EXPECT_EQ(answer, CacheAnswer::Found);
        ExpectFoundRight(paths, answers);
        const std::vector<std::string> notices = cache.TakeNotices();
        EXPECT_EQ(CountContaining(notices, "set aside"), 1U) << testing::PrintToString(notices);
        EXPECT_TRUE(std::filesystem::exists(folder / "cache.db.corrupt"));
        EXPECT_TRUE(cache.InUse());
    }
}

// Makes the file one that not even its owner may write (root included); false where that cannot be done.
bool MakeReadOnly(const std::filesystem::path& file, bool readOnly)
{
    if (::geteuid() != 0) {
        std::filesystem::permissions(file, readOnly ? std::filesystem::perms::owner_read
                                                    : std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::owner_write);
        return true;
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = readOnly ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return done;
}

TEST(DescriptionCache, IsLeftAsideWhenItCannotBeWrittenAndDescribingGoesOn)
{
    const test::TempFolder folder;
    const Paths paths = WriteDesigns(folder, 300);
    const std::filesystem::path file = folder / "cache.db";
    {
        DescriptionCache cache(file, Quick());
        Fill(cache, std::span(paths).first(10));
    }
    {
        SCOPED_TRACE("read-only");
        if (!MakeReadOnly(file, true))
            GTEST_SKIP() << "no way to make a file read-only for this user here";
        DescriptionCache cache(file, Quick());
        MakeReadOnly(file, false);
        for (const CacheAnswer answer : AnswersOf(Fill(cache, paths)))
            EXPECT_EQ(answer, CacheAnswer::NotCached);
        EXPECT_FALSE(cache.InUse());
        EXPECT_EQ(CountContaining(cache.TakeNotices(), "cannot be used"), 1U);
    }
    {
        SCOPED_TRACE("disk full");
        DescriptionCache cache(file, Quick());
        ASSERT_TRUE(cache.InUse());
        // Writes past the limit fail as on a full disk.
        rlimit before{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = before;
        limited.rlim_cur = static_cast<rlim_t>(std::filesystem::file_size(file) + 4096);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        for (int round = 0; round < 3; ++round)
            Fill(cache, paths);
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(cache.InUse());
        EXPECT_EQ(CountContaining(cache.TakeNotices(), "cannot be used"), 1U);
        EXPECT_EQ(AnswersOf(cache.Lookup(paths)),
                  std::vector<CacheAnswer>(paths.size(), CacheAnswer::NotCached));
    }
}

TEST(DescriptionCache, TwoProgramsAtOnceEachFindWhatBothStored)
{
    const test::TempFolder folder;
    const Paths paths = WriteDesigns(folder, 400);
    const std::filesystem::path file = folder / "cache.db";
    std::vector<std::string> notices;
    {
        DescriptionCache first(file, Quick());
        DescriptionCache second(file, Quick());
        std::jthread other([&] {
            for (std::size_t at = 0; at < paths.size(); at += 20)
                Fill(second, std::span(paths).subspan(at, 20));
        });
        for (std::size_t at = paths.size(); at > 0; at -= 20)
            Fill(first, std::span(paths).subspan(at - 20, 20));
        other.join();
        EXPECT_TRUE(first.TakeNotices().empty());
        EXPECT_TRUE(second.TakeNotices().empty());
    }
    DescriptionCache cache(file, Quick());
    const std::vector<CacheLookup> answers = cache.Lookup(paths);
    EXPECT_EQ(AnswersOf(answers), std::vector<CacheAnswer>(paths.size(), CacheAnswer::Found));
    ExpectFoundRight(paths, answers);

    // A store that waits longer than its time-out for another program's gives up, says so once, and the
    // cache stays in use; looking up never waits.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    cache.Clear();
    cache.Clear();
    EXPECT_EQ(AnswersOf(cache.Lookup(paths)), std::vector<CacheAnswer>(paths.size(), CacheAnswer::Found));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(CountContaining(cache.TakeNotices(), "busy"), 1U);
    EXPECT_TRUE(cache.InUse());
}

TEST(DescriptionCache, GoesOnWhenItsFileIsRemovedWhileInUse)
{
    const test::TempFolder folder;
    const Paths paths = WriteDesigns(folder, 40);
    const std::filesystem::path file = folder / "cache.db";
    DescriptionCache cache(file, Quick());
    Fill(cache, std::span(paths).first(20));
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(file.string() + suffix);
    Fill(cache, paths);
    ExpectFoundRight(paths, cache.Lookup(paths));
    Fill(cache, paths);
    const std::vector<CacheLookup> answers = cache.Lookup(paths);
    EXPECT_EQ(AnswersOf(answers), std::vector<CacheAnswer>(paths.size(), CacheAnswer::Found));
    ExpectFoundRight(paths, answers);
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(CountContaining(cache.TakeNotices(), "removed while in use"), 1U);
}

TEST(DescriptionCache, LivesInTheUsersCacheFolderReadableByItsOwnerOnly)
{
    const test::TempFolder folder;
    ASSERT_EQ(::setenv("XDG_CACHE_HOME", folder.Path().c_str(), 1), 0);
    const Paths paths = WriteDesigns(folder, 1);
    DescriptionCache cache(Quick());
    Fill(cache, paths);
    EXPECT_EQ(cache.File(), folder / "lmpexplorer" / "descriptions.db");
    EXPECT_EQ(std::filesystem::status(folder / "lmpexplorer").permissions(),
              std::filesystem::perms::owner_all);
    for (const char* suffix : {"", "-wal"})
        EXPECT_EQ(std::filesystem::status(cache.File().string() + suffix).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(cache.Lookup(paths)[0].answer, CacheAnswer::Found);
}

} // namespace
} // namespace lmp
