#include "scan/DescribePipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "TestSupport.h"
#include "scan/DescribeFile.h"
#include "testkit/BenchFiles.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

namespace fs = std::filesystem;

// What a caller can observe of describing one file: its edition and lines, or the error's text.
struct Observed {
    std::int32_t edition = kNoEdition;
    Lines lines;
    std::string error;
    bool operator==(const Observed&) const = default;
};

Observed Serial(const fs::path& path, const DescribeOptions& options)
{
    try {
        const Description description = DescribeFile(path, options);
        return {description.edition, description.lines, {}};
    } catch (const std::runtime_error& error) { // FileError, MemoryError
        return {kNoEdition, {}, error.what()};
    }
}

Observed Piped(DescribeOutcome outcome)
{
    try {
        const Description description = std::move(outcome).Take();
        return {description.edition, description.lines, {}};
    } catch (const std::runtime_error& error) { // FileError, MemoryError
        return {kNoEdition, {}, error.what()};
    }
}

// A folder of game files of every type and edition, damaged and unmatched ones, other files, a
// subfolder and names of files that do not exist, in a mixed order.
std::vector<fs::path> MixedFiles(const test::TempFolder& folder)
{
    std::vector<fs::path> paths;
    for (std::uint32_t seed = 0; seed < 24; ++seed) {
        const std::int32_t edition = static_cast<std::int32_t>(seed % 3);
        const std::string stem = std::to_string(seed);
        switch (seed % 6) {
        case 0:
            testkit::WriteFile(folder / (stem + ".TD4"), testkit::RealisticTrackDesignFile(edition, seed));
            paths.push_back(folder / (stem + ".TD4"));
            break;
        case 1:
            testkit::WriteFile(folder / (stem + ".SV4"),
                               testkit::RealisticParkFile(FileType::SavedGame, edition, seed));
            paths.push_back(folder / (stem + ".SV4"));
            break;
        case 2:
            testkit::WriteFile(folder / (stem + ".SC4"),
                               testkit::RealisticParkFile(FileType::Scenario, edition, seed));
            paths.push_back(folder / (stem + ".SC4"));
            break;
        case 3:
            testkit::WriteFile(folder / (stem + ".SV4"), test::Counting(5000 + seed));
            paths.push_back(folder / (stem + ".SV4"));
            break;
        case 4:
            paths.push_back(folder / (stem + " missing.TD4"));
            paths.push_back(folder / (stem + " other.TXT"));
            break;
        default:
            fs::create_directory(folder / (stem + " folder.SC4"));
            paths.push_back(folder / (stem + " folder.SC4"));
            break;
        }
    }
    return paths;
}

TEST(DescribePipelineTest, HandsBackExactlyWhatDescribeFileGivesInSubmissionOrder)
{
    const test::TempFolder folder;
    const std::vector<fs::path> paths = MixedFiles(folder);
    const DescribeOptions options{.acceptFirstExpansion = false, .decimalMark = ","};
    std::vector<Observed> expected;
    for (const fs::path& path : paths)
        expected.push_back(Serial(path, options));

    // Files read at once by a thread: their chunks run in one loop, and the files end in another order
    // than they started.
    // Files asked of the disk ahead: none, the default, one, and more than are queued.
    struct Case {
        unsigned threads;
        std::size_t ahead;
        unsigned interleave;
        std::optional<std::size_t> prefetch;
    };
    for (const Case c : {Case{1, 1, 1, 0}, Case{1, 0, 0, std::nullopt}, Case{1, 8, 4, 1}, Case{2, 3, 2, 3},
                         Case{4, 2, 3, std::nullopt}, Case{8, 64, 2, 100}}) {
        SCOPED_TRACE(testing::Message()
                     << c.threads << " threads, " << c.ahead << " ahead, " << c.interleave << " at once, "
                     << c.prefetch.value_or(kDefaultPrefetch) << " asked for");
        DescribePipeline pipeline(
            {.threads = c.threads, .ahead = c.ahead, .interleave = c.interleave, .prefetch = c.prefetch});
        std::vector<Observed> observed;
        std::uint64_t expectedTicket = 0;
        // Taking while submitting, then the rest, as lmpinfo does.
        for (std::size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(pipeline.Submit(paths[i], options), i);
            if (i % 3 == 2) {
                std::optional<DescribeOutcome> outcome = pipeline.Next();
                ASSERT_TRUE(outcome);
                EXPECT_EQ(outcome->ticket, expectedTicket++);
                observed.push_back(Piped(std::move(*outcome)));
            }
        }
        while (std::optional<DescribeOutcome> outcome = pipeline.Next()) {
            EXPECT_EQ(outcome->ticket, expectedTicket++);
            observed.push_back(Piped(std::move(*outcome)));
        }
        EXPECT_EQ(observed, expected);
        EXPECT_EQ(pipeline.Pending(), 0u);
    }
}

// The window's way: submit everything, then take only when the ready callback says so.
TEST(DescribePipelineTest, TheReadyCallbackAloneDrivesTheConsumerToTheEnd)
{
    const test::TempFolder folder;
    const std::vector<fs::path> paths = MixedFiles(folder);
    // Declared before the pipeline, so that they outlive a callback a worker makes while it stops.
    std::mutex mutex;
    std::condition_variable signalled;
    bool ready = false;
    DescribePipeline pipeline({.threads = 3, .ahead = 2});
    pipeline.SetReadyCallback([&] {
        const std::lock_guard lock(mutex);
        ready = true;
        signalled.notify_one();
    });
    for (const fs::path& path : paths)
        pipeline.Submit(path, {});
    std::vector<Observed> observed;
    while (observed.size() < paths.size()) {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(signalled.wait_for(lock, std::chrono::seconds(10), [&] { return ready; }));
        ready = false;
        lock.unlock();
        while (std::optional<DescribeOutcome> outcome = pipeline.TryNext())
            observed.push_back(Piped(std::move(*outcome)));
    }
    std::vector<Observed> expected;
    for (const fs::path& path : paths)
        expected.push_back(Serial(path, {}));
    EXPECT_EQ(observed, expected);
}

TEST(DescribePipelineTest, AddSeparatorGivesTheLinesOfDescribingWithTheSeparator)
{
    const test::TempFolder folder;
    for (const fs::path& path : MixedFiles(folder)) {
        for (const std::int32_t only : {-1, 0, 2}) {
            DescribeOptions options{.acceptOriginal = only <= 0,
                                    .acceptFirstExpansion = only < 0,
                                    .acceptSecondExpansion = only < 0 || only == 2};
            Observed without = Serial(path, options);
            if (!without.error.empty())
                continue;
            Description description{without.edition, without.lines, {}};
            AddSeparator(description);
            options.withSeparator = true;
            EXPECT_EQ(description.lines, Serial(path, options).lines) << path;
        }
    }
}

// Cancelling drops what was queued and held, stops a file being read within a chunk, and leaves the
// pipeline ready for new work whose tickets go on counting.
TEST(DescribePipelineTest, CancelDropsQueuedWorkAndStopsInsideAHugeFile)
{
    const test::TempFolder folder;
    const fs::path huge = folder / "huge.SV4";
    std::ofstream(huge).close();
    fs::resize_file(huge, std::uintmax_t{4} << 30); // sparse: 4,096 chunks of zeros
    const fs::path small = folder / "small.TD4";
    testkit::WriteFile(small, testkit::RealisticTrackDesignFile(0, 7));

    // One thread: the small file after the cancel waits for the huge ones to stop. Read at once, the
    // huge files are stopped together; the small ones beside them are described and dropped.
    for (const unsigned interleave : {1u, 2u, 4u}) {
        SCOPED_TRACE(testing::Message() << interleave << " at once");
        std::mutex mutex;
        std::condition_variable read;
        std::uint64_t hugeChunks = 0;
        DescribePipeline pipeline({.threads = 1,
                                   .ahead = 4,
                                   .interleave = interleave,
                                   .onChunk = [&](const fs::path& path, std::uint64_t) {
                                       if (path != huge)
                                           return;
                                       const std::lock_guard lock(mutex);
                                       ++hugeChunks;
                                       read.notify_all();
                                   }});
        pipeline.Submit(huge, {});
        pipeline.Submit(small, {});
        pipeline.Submit(huge, {});
        for (int i = 0; i < 3; ++i)
            pipeline.Submit(small, {});
        std::uint64_t atCancel = 0;
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(read.wait_for(lock, std::chrono::minutes(1), [&] { return hugeChunks >= 2; }));
            pipeline.Cancel();
            atCancel = hugeChunks;
        }
        EXPECT_EQ(pipeline.Pending(), 0u);
        EXPECT_FALSE(pipeline.TryNext());
        EXPECT_FALSE(pipeline.Next());

        EXPECT_EQ(pipeline.Submit(small, {}), 6u);
        std::optional<DescribeOutcome> outcome = pipeline.Next();
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->ticket, 6u);
        EXPECT_EQ(Piped(std::move(*outcome)), Serial(small, {}));
        EXPECT_FALSE(pipeline.TryNext());
        // Each huge file being read reads at most the chunk it was at: two of the 4,096 at most.
        const std::lock_guard lock(mutex);
        EXPECT_LE(hugeChunks, atCancel + std::min(interleave, 2u));
    }
}

// Threads the system refuses (the seam refuses every one after the first `allowed`, the prefetching
// thread first): the pipeline describes with those it got, on the calling thread when it got no worker,
// whether the consumer waits (Next) or follows the ready callback, says so, and ends with work pending.
TEST(DescribePipelineTest, ThreadsTheSystemRefusesLeaveThePipelineWithThoseItGot)
{
    const test::TempFolder folder;
    const std::vector<fs::path> paths = MixedFiles(folder);
    std::vector<Observed> expected;
    for (const fs::path& path : paths)
        expected.push_back(Serial(path, {}));
    for (const unsigned allowed : {0u, 1u, 2u, 4u}) {
        for (const bool byCallback : {false, true}) {
            SCOPED_TRACE(testing::Message() << allowed << " threads allowed, by callback " << byCallback);
            unsigned calls = 0;
            // Declared before the pipeline, so that they outlive a callback a worker makes while it stops.
            std::mutex mutex;
            std::condition_variable signalled;
            bool ready = false;
            DescribePipeline pipeline({.threads = 3, .ahead = 2, .startThread = [&](auto body) {
                                           if (calls++ >= allowed)
                                               throw std::system_error(std::make_error_code(
                                                   std::errc::resource_unavailable_try_again));
                                           return std::jthread(std::move(body));
                                       }});
            const unsigned prefetcher = pipeline.Reach() > 2 ? 1 : 0;
            EXPECT_EQ(pipeline.Threads(), std::min(3u, allowed - std::min(allowed, prefetcher)));
            EXPECT_EQ(pipeline.ThreadsAsked(), 3u);
            EXPECT_EQ(pipeline.ThreadShortfall().empty(), pipeline.Threads() == 3);

            if (byCallback) {
                pipeline.SetReadyCallback([&] {
                    const std::lock_guard lock(mutex);
                    ready = true;
                    signalled.notify_one();
                });
            }
            for (const fs::path& path : paths)
                pipeline.Submit(path, {});
            std::vector<Observed> observed;
            while (observed.size() < paths.size()) {
                if (!byCallback) {
                    observed.push_back(Piped(std::move(*pipeline.Next())));
                    continue;
                }
                std::unique_lock lock(mutex);
                ASSERT_TRUE(signalled.wait_for(lock, std::chrono::seconds(10), [&] { return ready; }));
                ready = false;
                lock.unlock();
                while (std::optional<DescribeOutcome> outcome = pipeline.TryNext())
                    observed.push_back(Piped(std::move(*outcome)));
            }
            EXPECT_EQ(observed, expected);
            for (const fs::path& path : paths)
                pipeline.Submit(path, {});
        }
    }
}

#ifndef _WIN32
// Memory refused while a file is described fails that file alone, with its own message, and the buffers
// kept from the files before go back to the system: the next files are described in what is left.
TEST(DescribePipelineTest, MemoryRefusedFailsThatFileAloneAndGivesBackTheKeptBuffers)
{
    if (!test::kAddressLimits)
        GTEST_SKIP() << "needs Linux's address-space limit, which the sanitizers' shadow memory rules out";
    const test::TempFolder folder;
    const fs::path park = folder / "park.SV4";
    testkit::WriteFile(park, testkit::RealisticParkFile(FileType::SavedGame, 0, 3));
    const fs::path junk = folder / "junk.SV4";
    std::ofstream(junk).close();
    fs::resize_file(junk,
                    std::uintmax_t{8} << 20); // a head of 4 MiB and a chunk of 1 MiB beside the decoded bytes
    const Observed parkLines = Serial(park, {});
    ASSERT_TRUE(parkLines.error.empty());

    // Steps of the child, each a failure of its own when it goes wrong.
    enum Step { kDone, kFirstPark, kLimit, kJunkError, kKeptBuffersHeld, kNextPark };
    const int failed = test::InChild([&] {
        DescribePipeline pipeline({.threads = 1, .ahead = 1, .interleave = 1, .prefetch = 0});
        pipeline.Submit(park, {});
        if (Piped(std::move(*pipeline.Next())) != parkLines)
            return kFirstPark;
        const std::size_t kept = test::AddressSpaceSize(); // the park's buffers, kept for the next file
        if (!test::LimitAddressSpace(std::size_t{5} << 20))
            return kLimit;
        pipeline.Submit(junk, {});
        if (Piped(std::move(*pipeline.Next())).error != "Not enough memory to describe " + junk.string())
            return kJunkError;
        if (test::AddressSpaceSize() + (std::size_t{2} << 20) > kept)
            return kKeptBuffersHeld;
        pipeline.Submit(park, {});
        return Piped(std::move(*pipeline.Next())) == parkLines ? kDone : kNextPark;
    });
    EXPECT_EQ(failed, kDone) << "the child failed at step " << failed;
}
#endif

} // namespace
} // namespace lmp
