#include "scan/DescribePipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
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
    } catch (const FileError& error) {
        return {kNoEdition, {}, error.what()};
    }
}

Observed Piped(DescribeOutcome outcome)
{
    try {
        const Description description = std::move(outcome).Take();
        return {description.edition, description.lines, {}};
    } catch (const FileError& error) {
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
    DescribePipeline pipeline({.threads = 3, .ahead = 2});
    std::mutex mutex;
    std::condition_variable signalled;
    bool ready = false;
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

// Under ThreadSanitizer every memory access of the decoding is checked, and a chunk of a huge file takes
// about a second.
#if defined(__SANITIZE_THREAD__)
constexpr std::chrono::milliseconds kOneChunkAtMost(5000);
#else
constexpr std::chrono::milliseconds kOneChunkAtMost(500);
#endif

// Cancelling drops what was queued and held, stops a file being read within a chunk, and leaves the
// pipeline ready for new work whose tickets go on counting.
TEST(DescribePipelineTest, CancelDropsQueuedWorkAndStopsInsideAHugeFile)
{
    const test::TempFolder folder;
    const fs::path huge = folder / "huge.SV4";
    std::ofstream(huge).close();
    fs::resize_file(huge, std::uintmax_t{4} << 30); // sparse: reads as zeros for seconds
    const fs::path small = folder / "small.TD4";
    testkit::WriteFile(small, testkit::RealisticTrackDesignFile(0, 7));

    // One thread: the small file after the cancel waits for the huge ones to stop. Read at once, the
    // huge files are stopped together; the small ones beside them are described and dropped.
    for (const unsigned interleave : {1u, 2u, 4u}) {
        SCOPED_TRACE(testing::Message() << interleave << " at once");
        DescribePipeline pipeline({.threads = 1, .ahead = 4, .interleave = interleave});
        pipeline.Submit(huge, {});
        pipeline.Submit(small, {});
        pipeline.Submit(huge, {});
        for (int i = 0; i < 3; ++i)
            pipeline.Submit(small, {});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto start = std::chrono::steady_clock::now();
        pipeline.Cancel();
        EXPECT_EQ(pipeline.Pending(), 0u);
        EXPECT_FALSE(pipeline.TryNext());
        EXPECT_FALSE(pipeline.Next());

        EXPECT_EQ(pipeline.Submit(small, {}), 6u);
        std::optional<DescribeOutcome> outcome = pipeline.Next();
        const auto waited = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->ticket, 6u);
        EXPECT_EQ(Piped(std::move(*outcome)), Serial(small, {}));
        EXPECT_FALSE(pipeline.TryNext());
        // Reading a whole file would take seconds (minutes under ThreadSanitizer); a stop takes one chunk
        // of each file being read.
        EXPECT_LT(waited, kOneChunkAtMost);
    }
}

} // namespace
} // namespace lmp
