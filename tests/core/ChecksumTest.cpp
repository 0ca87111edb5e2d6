#include "core/Checksum.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "TestSupport.h"

namespace lmp {
namespace {

using test::Bytes;

// Worked through by hand: add each byte to the low byte (carry dropped), then rotate the word left by three.
TEST(ChecksumAccumulator, MatchesHandComputedExamplesWhateverTheSplit)
{
    struct Row {
        const char* name;
        Bytes bytes;
        std::uint32_t checksum;
    };
    const Row rows[] = {{"empty", {}, 0},
                        {"one byte", {0x01}, 0x08},
                        {"abc", {0x61, 0x62, 0x63}, 0xDD98},
                        {"carry out of the low byte is dropped", {0xFF, 0xFF}, 0x3FB8},
                        {"carry is dropped when bit 8 is clear", {0x1F, 0x10}, 0x40},
                        {"00 41", {0x00, 0x41}, 0x208},
                        {"top bits still in the word", {0xE0, 0, 0, 0, 0, 0, 0, 0}, 0xE0000000},
                        {"top bits rotate round to the bottom", {0xE0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x00000007},
                        {"abc then 01 02 03 04", {0x61, 0x62, 0x63, 0x01, 0x02, 0x03, 0x04}, 0x0DD994E0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::span<const std::uint8_t> all(row.bytes);
        EXPECT_EQ(ChecksumStepsPortable(0, all), row.checksum) << "C++ form";
        EXPECT_EQ(ChecksumSteps(0, all), row.checksum) << "fastest form";
        for (std::size_t first = 0; first <= all.size(); ++first) {
            for (std::size_t second = first; second <= all.size(); ++second) {
                ChecksumAccumulator checksum;
                checksum.Add(all.subspan(0, first));
                checksum.Add(all.subspan(first, second - first));
                checksum.Add(all.subspan(second));
                EXPECT_EQ(checksum.Value(), row.checksum) << "split at " << first << ", " << second;
            }
        }
    }
}

// The assembly form reads eight bytes a turn and the rest one at a time; any length, any alignment of
// the first byte and any starting value must give what the C++ form gives.
TEST(ChecksumSteps, AgreesWithTheCxxFormForEveryLengthAlignmentAndStartingValue)
{
    if (!LMP_CHECKSUM_X86_64_ASM)
        GTEST_SKIP() << "this build has only the C++ form";
    std::mt19937 random(20261208);
    Bytes buffer(4096 + 16);
    for (std::uint8_t& byte : buffer)
        byte = static_cast<std::uint8_t>(random());
    for (int trial = 0; trial < 3000; ++trial) {
        const std::size_t offset = random() % 16;
        const std::size_t length = trial < 300 ? static_cast<std::size_t>(trial) : random() % 4096;
        const std::uint32_t start = trial % 3 == 0 ? 0 : static_cast<std::uint32_t>(random());
        const std::span<const std::uint8_t> bytes(buffer.data() + offset, length);
        ASSERT_EQ(ChecksumSteps(start, bytes), ChecksumStepsPortable(start, bytes))
            << "offset " << offset << ", length " << length << ", start " << start;
        if (length >= 8) {
            ASSERT_EQ(ChecksumEight(start, bytes.data()), ChecksumStepsPortable(start, bytes.first(8)));
        }
    }
}

TEST(ComputeFileChecksum, ExcludesTheFourTrailerBytesOnlyWhenAsked)
{
    struct Row {
        const char* name;
        Bytes file;
        std::uint32_t excluded, whole;
    };
    const Row rows[] = {{"abc with trailer", {0x61, 0x62, 0x63, 0x01, 0x02, 0x03, 0x04}, 0xDD98, 0x0DD994E0},
                        {"one-byte body", {0x01, 0x61, 0x62, 0x63, 0x64}, 0x08, 0x76FE0},
                        {"empty body", {0x01, 0x02, 0x03, 0x04}, 0, 0x14E0},
                        {"three bytes", {0x61, 0x62, 0x63}, 0, 0xDD98},
                        {"one byte", {0x01}, 0, 0x08},
                        {"empty file", {}, 0, 0}};
    for (const auto& row : rows) {
        EXPECT_EQ(ComputeFileChecksum(ByteStream(row.file), true), row.excluded) << row.name;
        EXPECT_EQ(ComputeFileChecksum(ByteStream(row.file), false), row.whole) << row.name;
    }
}

TEST(ChecksumDifference, IsStoredMinusComputedWrappedToSigned)
{
    struct Row {
        std::uint32_t stored, computed;
        std::int32_t difference;
    };
    const Row rows[] = {{5, 3, 2},
                        {3, 5, -2},
                        {0, 1, -1},
                        {0, 0, 0},
                        {0x7FFFFFFF, 0, 0x7FFFFFFF},
                        {0x80000000, 0, std::numeric_limits<std::int32_t>::min()},
                        {0, 0x80000001, 0x7FFFFFFF},
                        {0x0001A884, 0x208, 108156},
                        {0xFFFE5B8C, 0x208, -108156},
                        {0x208, 0xFFFFFFFF, 0x209}};
    for (const auto& row : rows)
        EXPECT_EQ(ChecksumDifference(row.stored, row.computed), row.difference)
            << row.stored << " - " << row.computed;
}

} // namespace
} // namespace lmp
