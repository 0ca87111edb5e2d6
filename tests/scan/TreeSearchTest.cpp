// The window's search of a folder or a tree: what it finds, what it counts, and that the cache on disk
// spares the reading of files it holds without changing what is found.
#include "scan/TreeSearch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

#include "TestSupport.h"
#include "scan/DescriptionCache.h"
#include "sys/CommandLine.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

using Found = std::set<std::string>;

// A tree: two designs and an image at the top, a design and a note below; where names starting with a dot
// are hidden, a hidden folder, and a link back up that would loop a walk that followed it.
void WriteTree(const std::filesystem::path& root)
{
    const auto design = [](std::uint8_t excitement) {
        return testkit::MakeTrackDesignFile({.rideType = 52, .excitement = excitement, .intensity = 40}, 1);
    };
    std::filesystem::create_directories(root / "Sub" / "Deeper");
    testkit::WriteFile(root / "Fast.TD4", design(85));
    testkit::WriteFile(root / "Slow.TD4", design(20));
    testkit::WriteFile(root / "Fast.TP4", std::vector<std::uint8_t>(512, 7));
    testkit::WriteFile(root / "Sub" / "Deeper" / "Faster.td4", design(95));
    testkit::WriteFile(root / "Sub" / "notes.txt", std::vector<std::uint8_t>(10, 'x'));
#ifndef _WIN32
    std::filesystem::create_directories(root / ".hidden");
    testkit::WriteFile(root / ".hidden" / "Hidden.TD4", design(99));
    std::filesystem::create_directory_symlink(root, root / "Sub" / "Loop");
#endif
}

SearchSettings Settings(const std::filesystem::path& root, bool subfolders, const char* query)
{
    SearchSettings settings;
    settings.root = root;
    settings.subfolders = subfolders;
    settings.query = Query(query);
    return settings;
}

struct Outcome {
    Found found;
    SearchCount count;
};

Outcome Search(DescribeService& service, SearchSettings settings)
{
    std::mutex mutex;
    std::condition_variable ready;
    bool told = false;
    TreeSearch search(service, settings, [&] {
        {
            const std::lock_guard lock(mutex);
            told = true;
        }
        ready.notify_one();
    });
    Outcome outcome;
    std::vector<FoundFile> found;
    for (;;) {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return told; });
        told = false;
        lock.unlock();
        outcome.count = search.Take(found);
        if (outcome.count.ended) {
            break;
        }
    }
    for (const FoundFile& file : found) {
        const std::u8string path = (sys::PathFromUtf8(file.folder) / file.name).generic_u8string();
        outcome.found.insert(std::string(path.begin(), path.end()));
    }
    return outcome;
}

TEST(TreeSearch, FindsWhatTheQueryMatchesInTheFolderOrTheTreeBelow)
{
    const test::TempFolder folder;
    WriteTree(folder.Path());
    DescribeService service;
    const struct {
        const char* query;
        bool subfolders;
        Found found;
        std::size_t examined;
    } cases[] = {
        {"excitement>5", false, {"Fast.TD4"}, 3},
        {"excitement>5", true, {"Fast.TD4", "Sub/Deeper/Faster.td4"}, 5},
        {"fast", true, {"Fast.TD4", "Fast.TP4", "Sub/Deeper/Faster.td4"}, 5},
        {"type:td4 excitement<5", true, {"Slow.TD4"}, 5},
        {"size>100", true, {"Fast.TP4"}, 5},
        {"name:*.txt", true, {"Sub/notes.txt"}, 5},
        {"guests>0", true, {}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        const Outcome outcome = Search(service, Settings(folder.Path(), c.subfolders, c.query));
        EXPECT_EQ(outcome.found, c.found);
        EXPECT_EQ(outcome.count.examined, c.examined);
        EXPECT_EQ(outcome.count.matched, c.found.size());
    }
    // The list's filter leaves files out of the search as it leaves them out of the list.
    SearchSettings filtered = Settings(folder.Path(), true, "");
    filtered.listed = [](std::string_view name) { return name.ends_with(".TD4"); };
    EXPECT_EQ(Search(service, std::move(filtered)).found, (Found{"Fast.TD4", "Slow.TD4"}));
}

TEST(TreeSearch, FindsTheSameFromTheCacheWithoutReadingTheFiles)
{
    if (!DescriptionCache::Available()) {
        GTEST_SKIP() << "this build has no cache of descriptions";
    }
    const test::TempFolder folder;
    WriteTree(folder.Path());
    auto cache = std::make_shared<DescriptionCache>(folder.Path() / "cache.db",
                                                    CacheSettings{.settle = std::chrono::nanoseconds(0)});
    std::atomic<int> chunks = 0;
    for (const int run : {1, 2}) {
        SCOPED_TRACE(run);
        chunks = 0;
        // A service of its own each time: its results cache would spare the reading too.
        DescribeService service({.onChunk = [&](const std::filesystem::path&, std::uint64_t) { ++chunks; }});
        SearchSettings settings = Settings(folder.Path(), true, "excitement>5");
        settings.cache = cache;
        EXPECT_EQ(Search(service, std::move(settings)).found, (Found{"Fast.TD4", "Sub/Deeper/Faster.td4"}));
        EXPECT_EQ(chunks > 0, run == 1);
    }
    EXPECT_TRUE(cache->TakeNotices().empty());
}

} // namespace
} // namespace lmp
