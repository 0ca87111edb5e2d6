// The describer against the straightforward baseline (the whole file in memory, one byte at a time, a
// whole decode and descramble, the same summaries): every optimisation of reading, checksumming,
// decoding and descrambling must leave the edition and every line as they were.
#include "testkit/Baseline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "BaselineCases.h"
#include "core/Describe.h"
#include "core/PackedFile.h"

namespace lmp {
namespace {

using test::Bytes;
using Result = std::pair<std::int32_t, Lines>;

Result Of(const Description& description)
{
    return {description.edition, description.lines};
}

TEST(DescribeBytes, GivesTheBaselineEditionAndLinesForEveryFileAndEveryFlag)
{
    const auto options = test::OptionSets();
    for (const test::Case& file : test::AllCases()) {
        SCOPED_TRACE(file.name);
        const ByteStream bytes(file.bytes);
        for (const auto& [name, option] : options) {
            SCOPED_TRACE(name);
            EXPECT_EQ(Of(DescribeBytes(file.name, file.bytes, option)),
                      Of(testkit::BaselineDescribe(file.name, bytes, option)));
        }
    }
}

// What a cache keeps of a file (its facts, read once with every edition accepted) rebuilds exactly what
// describing the file gives under any edition filter, separator and decimal mark: edition, lines and summary.
TEST(DescribeFacts, RebuildsWhatDescribingGivesUnderEveryOptions)
{
    std::vector<DescribeOptions> options;
    for (unsigned editions = 0; editions < 8; ++editions) {
        for (const bool separator : {false, true}) {
            for (const char* mark : {".", ","})
                options.push_back({.acceptOriginal = (editions & 1U) != 0,
                                   .acceptFirstExpansion = (editions & 2U) != 0,
                                   .acceptSecondExpansion = (editions & 4U) != 0,
                                   .withSeparator = separator,
                                   .decimalMark = mark});
        }
    }
    for (const test::Case& file : test::AllCases()) {
        SCOPED_TRACE(file.name);
        const FileType type = FileTypeOfName(file.name);
        const std::optional<DescriptionFacts> facts =
            FactsOf(type, DescribeBytes(file.name, file.bytes, {}), {});
        ASSERT_TRUE(facts.has_value());
        for (const DescribeOptions& option : options) {
            SCOPED_TRACE(testing::Message() << option.acceptOriginal << option.acceptFirstExpansion
                                            << option.acceptSecondExpansion << " separator "
                                            << option.withSeparator << " mark " << option.decimalMark);
            const Description described = DescribeBytes(file.name, file.bytes, option);
            const Description rebuilt = DescribeFacts(file.name, *facts, option);
            EXPECT_EQ(Of(rebuilt), Of(described));
            EXPECT_EQ(rebuilt.summary, described.summary);
            // A description made under a filter gives the same facts, or none when it left the edition out.
            const std::optional<DescriptionFacts> filtered = FactsOf(type, described, option);
            if (filtered.has_value())
                EXPECT_EQ(*filtered, *facts);
            else
                EXPECT_FALSE(option.Accepts(described.edition));
        }
    }
}

// Decoding beside the checksum, with the file arriving in pieces of any size, yields the baseline's
// checksum and decoded contents up to the extent.
TEST(PackedFileScanner, DecodesInStepWithTheChecksumLikeTheBaselineWhateverThePieces)
{
    for (const test::Case& file : test::AllCases()) {
        const FileType type = FileTypeOfName(file.name);
        if (type == FileType::None)
            continue;
        SCOPED_TRACE(file.name);
        const std::size_t extent = DecodedExtentFor(type);
        const ByteStream whole(file.bytes);
        const Bytes all = test::Contents(testkit::BaselineDecode(whole));
        const Bytes expected(all.begin(),
                             all.begin() + static_cast<std::ptrdiff_t>(std::min(extent, all.size())));
        const std::uint32_t checksum = testkit::BaselineChecksum(whole);
        for (const std::size_t piece :
             {std::size_t{5}, std::size_t{130}, std::size_t{4099}, std::size_t{1} << 20}) {
            SCOPED_TRACE(testing::Message() << "pieces of " << piece);
            PackedFileScanner scanner(extent);
            const std::span<const std::uint8_t> bytes(file.bytes);
            for (std::size_t at = 0; at < bytes.size(); at += piece)
                scanner.Feed(bytes.subspan(at, std::min(piece, bytes.size() - at)));
            const PackedFile scanned = std::move(scanner).Finish();
            EXPECT_EQ(scanned.computedChecksum, checksum);
            ASSERT_EQ(test::Contents(scanned.decoded), expected);
        }
    }
}

} // namespace
} // namespace lmp
