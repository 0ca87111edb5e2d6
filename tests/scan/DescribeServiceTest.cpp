#include "scan/DescribeService.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "TestSupport.h"
#include "scan/DescribeFile.h"
#include "scan/DescriptionCache.h"
#include "testkit/BenchFiles.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

namespace fs = std::filesystem;

struct Observed {
    std::uint64_t ticket = 0;
    Lines lines;
    std::string error;
    bool operator==(const Observed&) const = default;
};

Observed Serial(std::uint64_t ticket, const fs::path& path, const DescribeOptions& options)
{
    try {
        return {ticket, DescribeFile(path, options).lines, {}};
    } catch (const std::runtime_error& error) {
        return {ticket, {}, error.what()};
    }
}

Observed Served(DescribeOutcome outcome)
{
    const std::uint64_t ticket = outcome.ticket;
    try {
        return {ticket, std::move(outcome).Take().lines, {}};
    } catch (const std::runtime_error& error) {
        return {ticket, {}, error.what()};
    }
}

// Takes a client's outcomes as its ready callback says, until count have come.
class Taker {
public:
    explicit Taker(DescribeService::Client& client) : client_(client)
    {
        client_.SetReadyCallback([this] {
            const std::lock_guard lock(mutex_);
            ready_ = true;
            signalled_.notify_one();
        });
    }
    // The client may outlive its taker: no callback reaches a taker that has gone.
    ~Taker() { client_.SetReadyCallback(nullptr); }
    Taker(const Taker&) = delete;
    Taker& operator=(const Taker&) = delete;

    std::vector<Observed> Take(std::size_t count)
    {
        std::vector<Observed> observed;
        while (observed.size() < count) {
            while (std::optional<DescribeOutcome> outcome = client_.TryNext())
                observed.push_back(Served(std::move(*outcome)));
            if (observed.size() >= count)
                break;
            std::unique_lock lock(mutex_);
            if (!signalled_.wait_for(lock, std::chrono::seconds(20), [this] { return ready_; }))
                break;
            ready_ = false;
        }
        return observed;
    }

private:
    DescribeService::Client& client_;
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool ready_ = false;
};

// Holds the worker inside the first chunk of the gate file until Open.
class Gate {
public:
    explicit Gate(fs::path path) : path_(std::move(path)) {}

    void OnChunk(const fs::path& path, std::uint64_t chunk)
    {
        std::unique_lock lock(mutex_);
        if (chunk == 0)
            order_.push_back(path);
        if (path != path_)
            return;
        inside_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    bool WaitInside()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return inside_; });
    }
    void Open()
    {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    std::vector<fs::path> Order()
    {
        const std::lock_guard lock(mutex_);
        return order_;
    }

private:
    fs::path path_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool inside_ = false;
    bool open_ = false;
    std::vector<fs::path> order_; // the files begun, in order
};

std::vector<fs::path> SomeFiles(const test::TempFolder& folder)
{
    std::vector<fs::path> paths;
    for (std::uint32_t seed = 0; seed < 9; ++seed) {
        const std::int32_t edition = static_cast<std::int32_t>(seed % 3);
        const fs::path td = folder / (std::to_string(seed) + ".TD4");
        const fs::path sv = folder / (std::to_string(seed) + ".SV4");
        testkit::WriteFile(td, testkit::RealisticTrackDesignFile(edition, seed));
        testkit::WriteFile(sv, testkit::RealisticParkFile(FileType::SavedGame, edition, seed));
        paths.insert(paths.end(), {td, sv, folder / (std::to_string(seed) + " missing.SC4"),
                                   folder / (std::to_string(seed) + ".TP4")});
    }
    return paths;
}

// Every way of taking, with the threads the system gives, over files described once and then from the
// cache: the same lines as DescribeFile, separators included, and the service ends with the client alive.
TEST(DescribeServiceTest, HandsBackWhatDescribeFileGivesWhateverTheThreadsAndTheOrder)
{
    const test::TempFolder folder;
    const std::vector<fs::path> paths = SomeFiles(folder);
    for (const unsigned allowed : {0u, 1u, 3u}) {
        for (const DescribeOrder order : {DescribeOrder::Submitted, DescribeOrder::AsReady}) {
            SCOPED_TRACE(testing::Message() << allowed << " threads allowed, order " << int(order));
            unsigned calls = 0;
            auto service = std::make_unique<DescribeService>(
                ServiceSettings{.threads = 3, .startThread = [&](auto body) {
                                    if (calls++ >= allowed)
                                        throw std::system_error(
                                            std::make_error_code(std::errc::resource_unavailable_try_again));
                                    return std::jthread(std::move(body));
                                }});
            EXPECT_EQ(service->Threads(), allowed);
            EXPECT_EQ(service->ThreadShortfall().empty(), allowed == 3);
            DescribeService::Client client(*service, order);
            Taker taker(client);
            std::vector<Observed> expected;
            for (int round = 0; round < 2; ++round) {
                for (std::size_t i = 0; i < paths.size(); ++i) {
                    const DescribeOptions options{.withSeparator = i % 2 == 1, .decimalMark = ","};
                    expected.push_back(
                        Serial(client.Submit(paths[i], options, DescribeLane::Bulk), paths[i], options));
                }
            }
            std::vector<Observed> observed = taker.Take(expected.size());
            if (order == DescribeOrder::AsReady)
                std::sort(observed.begin(), observed.end(),
                          [](const Observed& a, const Observed& b) { return a.ticket < b.ticket; });
            EXPECT_EQ(observed, expected);
            EXPECT_EQ(client.Pending(), 0u);

            // Gone before its client: the client describes on its own thread.
            service.reset();
            const std::uint64_t ticket = client.Submit(paths[0], {}, DescribeLane::Pane);
            EXPECT_EQ(taker.Take(1), std::vector{Serial(ticket, paths[0], {})});
        }
    }
}

// One worker, held inside a file: a pane request submitted after many files of the folder is read first,
// the rows on screen next, and the folder's files last, each lane in its order. Files moved to a more
// urgent lane go behind the files there, those moved back ahead of the files of their lane.
TEST(DescribeServiceTest, WorkersTakeTheLanesInTheirOrder)
{
    const test::TempFolder folder;
    const fs::path gate = folder / "gate.TD4";
    testkit::WriteFile(gate, testkit::RealisticTrackDesignFile(0, 1));
    std::vector<fs::path> low;
    for (int i = 0; i < 8; ++i) {
        low.push_back(folder / ("low" + std::to_string(i) + ".TD4"));
        testkit::WriteFile(low.back(), testkit::RealisticTrackDesignFile(1, 2));
    }
    const fs::path visible = folder / "visible.TD4";
    const fs::path pane = folder / "pane.TD4";
    testkit::WriteFile(visible, testkit::RealisticTrackDesignFile(1, 3));
    testkit::WriteFile(pane, testkit::RealisticTrackDesignFile(2, 4));

    Gate held(gate);
    DescribeService service(
        {.threads = 1, .interleave = 1, .onChunk = [&](const fs::path& path, std::uint64_t chunk) {
             held.OnChunk(path, chunk);
         }});
    DescribeService::Client columns(service, DescribeOrder::AsReady);
    DescribeService::Client feed(service, DescribeOrder::Submitted);
    Taker columnsTaker(columns);
    Taker feedTaker(feed);
    columns.Submit(gate, {}, DescribeLane::Folder);
    ASSERT_TRUE(held.WaitInside());
    for (const fs::path& path : low)
        columns.Submit(path, {}, DescribeLane::Folder);
    columns.Submit(visible, {}, DescribeLane::Visible);
    feed.Submit(pane, {}, DescribeLane::Pane);
    const std::vector<std::uint64_t> scrolledTo{6, 7, 8}; // low[5], low[6], low[7]
    columns.Relane(scrolledTo, DescribeLane::Visible);
    columns.Relane(std::vector<std::uint64_t>{8}, DescribeLane::Folder);
    held.Open();
    EXPECT_EQ(feedTaker.Take(1).size(), 1u);
    EXPECT_EQ(columnsTaker.Take(low.size() + 2).size(), low.size() + 2);

    std::vector<fs::path> expected{gate, pane, visible, low[5], low[6], low[7]};
    expected.insert(expected.end(), low.begin(), low.begin() + 5);
    EXPECT_EQ(held.Order(), expected);
}

// Cancelling one client drops its files, the one being read at its next chunk, and leaves the other's.
TEST(DescribeServiceTest, CancelDropsOneClientsFilesAlone)
{
    const test::TempFolder folder;
    const std::vector<fs::path> paths = SomeFiles(folder);
    Gate held(paths[1]);
    DescribeService service(
        {.threads = 1, .interleave = 2, .onChunk = [&](const fs::path& path, std::uint64_t chunk) {
             held.OnChunk(path, chunk);
         }});
    DescribeService::Client pane(service, DescribeOrder::Submitted);
    DescribeService::Client columns(service, DescribeOrder::AsReady);
    Taker paneTaker(pane);
    Taker columnsTaker(columns);
    pane.Submit(paths[1], {}, DescribeLane::Pane);
    ASSERT_TRUE(held.WaitInside());
    for (int i = 0; i < 3; ++i) {
        pane.Submit(paths[4], {}, DescribeLane::Pane);
        columns.Submit(paths[5], {}, DescribeLane::Folder);
    }
    pane.Cancel();
    EXPECT_EQ(pane.Pending(), 0u);
    EXPECT_FALSE(pane.TryNext());
    held.Open();
    EXPECT_EQ(columnsTaker.Take(3),
              (std::vector{Serial(0, paths[5], {}), Serial(1, paths[5], {}), Serial(2, paths[5], {})}));
    EXPECT_EQ(pane.Submit(paths[0], {}, DescribeLane::Pane), 4u);
    EXPECT_EQ(paneTaker.Take(1), std::vector{Serial(4, paths[0], {})});
    EXPECT_FALSE(pane.TryNext());
    const std::vector<fs::path> order = held.Order();
    EXPECT_EQ(std::count(order.begin(), order.end(), paths[4]), 0);
}

// A file asked for by several clients while it is queued or being read is read once, each taking its
// outcome (its own separator included); one client cancelling leaves the others' requests of it.
TEST(DescribeServiceTest, AFileAskedForByTwoClientsAtOnceIsReadOnce)
{
    const test::TempFolder folder;
    const std::vector<fs::path> paths = SomeFiles(folder);
    const fs::path& gate = paths[1];
    const fs::path& shared = paths[0];
    const fs::path& other = paths[4];
    Gate held(gate);
    DescribeService service(
        {.threads = 1, .interleave = 1, .onChunk = [&](const fs::path& path, std::uint64_t chunk) {
             held.OnChunk(path, chunk);
         }});
    DescribeService::Client pane(service, DescribeOrder::Submitted);
    DescribeService::Client columns(service, DescribeOrder::AsReady);
    DescribeService::Client selection(service, DescribeOrder::Submitted);
    Taker paneTaker(pane);
    Taker columnsTaker(columns);
    const DescribeOptions withSeparator{.withSeparator = true};

    pane.Submit(gate, {}, DescribeLane::Pane);
    ASSERT_TRUE(held.WaitInside());
    columns.Submit(gate, {}, DescribeLane::Folder);
    columns.Submit(shared, withSeparator, DescribeLane::Folder);
    pane.Submit(shared, {}, DescribeLane::Pane);
    selection.Submit(other, {}, DescribeLane::Bulk);
    columns.Submit(other, {}, DescribeLane::Folder);
    selection.Cancel();
    held.Open();

    EXPECT_EQ(paneTaker.Take(2), (std::vector{Serial(0, gate, {}), Serial(1, shared, {})}));
    std::vector<Observed> observed = columnsTaker.Take(3);
    std::sort(observed.begin(), observed.end(),
              [](const Observed& a, const Observed& b) { return a.ticket < b.ticket; });
    EXPECT_EQ(observed,
              (std::vector{Serial(0, gate, {}), Serial(1, shared, withSeparator), Serial(2, other, {})}));
    EXPECT_FALSE(selection.TryNext());
    EXPECT_EQ(held.Order(), (std::vector{gate, shared, other}));
}

// A request that joins a read under way takes its outcome only if the file is unchanged when the read ends;
// changed, the file is read again for it.
TEST(DescribeServiceTest, AFileChangedWhileReadIsReadAgainForWhoJoinedTheRead)
{
#ifdef _WIN32
    GTEST_SKIP() << "a file open for reading cannot be rewritten on Windows";
#endif
    const test::TempFolder folder;
    const fs::path file = folder / "park.SV4";
    testkit::WriteFile(file, testkit::RealisticParkFile(FileType::SavedGame, 1, 5));
    Gate held(file);
    DescribeService service(
        {.threads = 1, .interleave = 1, .onChunk = [&](const fs::path& path, std::uint64_t chunk) {
             held.OnChunk(path, chunk);
         }});
    DescribeService::Client pane(service, DescribeOrder::Submitted);
    DescribeService::Client columns(service, DescribeOrder::AsReady);
    Taker paneTaker(pane);
    Taker columnsTaker(columns);
    pane.Submit(file, {}, DescribeLane::Pane);
    ASSERT_TRUE(held.WaitInside());
    testkit::WriteFile(file, testkit::RealisticParkFile(FileType::SavedGame, 2, 6));
    columns.Submit(file, {}, DescribeLane::Folder);
    held.Open();
    EXPECT_EQ(paneTaker.Take(1).size(), 1u);
    EXPECT_EQ(columnsTaker.Take(1), std::vector{Serial(0, file, {})});
    EXPECT_EQ(held.Order(), (std::vector{file, file}));
}

// The files read at once hold their buffers whatever the number of cores: more cores than the bound
// allows read one file each.
TEST(DescribeServiceTest, FilesInFlightStayWithinTheBufferBound)
{
    struct Case {
        unsigned cores;
        unsigned threads;
        unsigned interleave;
    };
    for (const Case c : {Case{1, 1, 2}, Case{2, 2, 2}, Case{4, 4, 2}, Case{16, 9, 1}, Case{64, 9, 1}}) {
        const ServiceShape shape = ShapeFor(c.cores);
        EXPECT_EQ(shape.threads, c.threads) << c.cores;
        EXPECT_EQ(shape.interleave, c.interleave) << c.cores;
        EXPECT_LE(shape.FilesInFlight() * kBuffersPerFile, kServiceBufferBound) << c.cores;
    }
}

// A file described again unchanged, by any client, comes from the cache; once rewritten it is read again.
TEST(DescribeServiceTest, TheCacheReadsAFileOnceUntilItChanges)
{
    const test::TempFolder folder;
    const fs::path file = folder / "park.SV4";
    testkit::WriteFile(file, testkit::RealisticParkFile(FileType::SavedGame, 1, 5));
    std::mutex mutex;
    std::map<fs::path, int> chunks;
    DescribeService service({.threads = 2, .onChunk = [&](const fs::path& path, std::uint64_t) {
                                 const std::lock_guard lock(mutex);
                                 ++chunks[path];
                             }});
    const auto read = [&] {
        const std::lock_guard lock(mutex);
        return chunks[file];
    };
    DescribeService::Client pane(service, DescribeOrder::Submitted);
    DescribeService::Client columns(service, DescribeOrder::AsReady);
    Taker paneTaker(pane);
    Taker columnsTaker(columns);
    const DescribeOptions withSeparator{.withSeparator = true};

    pane.Submit(file, withSeparator, DescribeLane::Pane);
    EXPECT_EQ(paneTaker.Take(1), std::vector{Serial(0, file, withSeparator)});
    const int once = read();
    EXPECT_GT(once, 0);
    columns.Submit(file, {}, DescribeLane::Visible);
    EXPECT_EQ(columnsTaker.Take(1), std::vector{Serial(0, file, {})});
    EXPECT_EQ(read(), once);

    testkit::WriteFile(file, testkit::RealisticParkFile(FileType::SavedGame, 2, 6));
    pane.Submit(file, withSeparator, DescribeLane::Pane);
    EXPECT_EQ(paneTaker.Take(1), std::vector{Serial(1, file, withSeparator)});
    EXPECT_GT(read(), once);
}

// A client with the cache on disk: a file read by one service is not read by the next while it is unchanged,
// what either gives is what describing gives, and a changed file is read again.
TEST(DescribeServiceTest, AClientWithTheCacheOnDiskReadsAFileOnceAcrossRuns)
{
    if (!DescriptionCache::Available()) {
        GTEST_SKIP() << "this build has no cache of descriptions";
    }
    const test::TempFolder folder;
    const fs::path file = folder / "park.SV4";
    testkit::WriteFile(file, testkit::RealisticParkFile(FileType::SavedGame, 1, 5));
    const auto disk = std::make_shared<DescriptionCache>(
        folder / "cache.db", CacheSettings{.settle = std::chrono::nanoseconds(0)});
    for (const int run : {1, 2, 3}) {
        SCOPED_TRACE(run);
        if (run == 3)
            testkit::WriteFile(file, testkit::RealisticParkFile(FileType::SavedGame, 2, 6));
        std::atomic<int> chunks = 0;
        DescribeService service({.threads = 1, .onChunk = [&](const fs::path&, std::uint64_t) { ++chunks; }});
        DescribeService::Client columns(service, DescribeOrder::AsReady);
        columns.SetDiskCache(disk);
        Taker taker(columns);
        columns.Submit(file, {.acceptOriginal = false}, DescribeLane::Folder);
        EXPECT_EQ(taker.Take(1), std::vector{Serial(0, file, {.acceptOriginal = false})});
        EXPECT_EQ(chunks > 0, run != 2);
    }
}

} // namespace
} // namespace lmp
