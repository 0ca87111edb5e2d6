#include "core/ByteStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace lmp {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
const Bytes kFive = {0x01, 0x02, 0x03, 0x04, 0x05};

Bytes Contents(const ByteStream& stream)
{
    return Bytes(stream.Bytes().begin(), stream.Bytes().end());
}

TEST(ByteReader, ReadsLittleEndianWordsAndZeroForMissingBytes)
{
    struct Row {
        const char* name;
        Bytes bytes;
        std::size_t offset;
        std::uint32_t u8, u16, u32;
    };
    const Row rows[] = {{"first byte", kFive, 0, 0x01, 0x0201, 0x04030201},
                        {"word ending exactly at the end", kFive, 1, 0x02, 0x0302, 0x05040302},
                        {"word one byte short", kFive, 2, 0x03, 0x0403, 0x00050403},
                        {"last byte", kFive, 4, 0x05, 0x0005, 0x00000005},
                        {"exactly at the end", kFive, 5, 0, 0, 0},
                        {"past the end", kFive, 6, 0, 0, 0},
                        {"near the top of the address range", kFive, kMax - 3, 0, 0, 0},
                        {"one below the top", kFive, kMax - 1, 0, 0, 0},
                        {"at the top", kFive, kMax, 0, 0, 0},
                        {"empty view", {}, 0, 0, 0, 0},
                        {"empty view at the top", {}, kMax, 0, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ByteReader reader(row.bytes);
        EXPECT_EQ(reader.U8(row.offset), row.u8);
        EXPECT_EQ(reader.U16(row.offset), row.u16);
        EXPECT_EQ(reader.U32(row.offset), row.u32);
    }
    EXPECT_EQ(ByteReader().U32(0), 0u);
}

TEST(ByteReader, SignedWordsAreTwosComplementAndPartialWordsStayPositive)
{
    const Bytes bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF};
    const ByteReader reader(bytes);
    EXPECT_EQ(reader.I32(0), -1);
    EXPECT_EQ(reader.I32(4), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(reader.I32(1), 0x00FFFFFF); // bytes FF FF FF 00
    EXPECT_EQ(reader.I32(8), 0x0000FFFF); // the two missing high bytes read as zero
}

TEST(ByteReader, FitsNeverOverflows)
{
    struct Row {
        std::size_t offset, count;
        bool fits;
    };
    const Row rows[] = {{0, 0, true},     {0, 5, true},       {1, 4, true},     {5, 0, true},
                        {1, 5, false},    {6, 0, false},      {kMax, 1, false}, {1, kMax, false},
                        {5, kMax, false}, {kMax, kMax, false}};
    const ByteReader reader(kFive);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.offset << " + " << row.count);
        EXPECT_EQ(reader.Fits(row.offset, row.count), row.fits);
    }
    EXPECT_FALSE(ByteReader().Fits(0, 1));
}

TEST(ByteReader, BulkReadCopiesOnlyTheBytesThatExist)
{
    struct Row {
        const char* name;
        std::size_t offset, count;
        Bytes copied;
    };
    const Row rows[] = {{"whole view", 0, 5, {1, 2, 3, 4, 5}},
                        {"runs past the end", 3, 4, {4, 5}},
                        {"exactly at the end", 5, 3, {}},
                        {"at the top of the range", kMax, 4, {}},
                        {"nothing asked", 2, 0, {}}};
    const ByteReader reader(kFive);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes out(row.count, 0xEE);
        ASSERT_EQ(reader.Read(row.offset, out), row.copied.size());
        EXPECT_TRUE(std::equal(row.copied.begin(), row.copied.end(), out.begin()));
    }
}

TEST(ByteStream, WriteU32ReplacesFourBytesInsideAndChangesNothingOutside)
{
    ByteStream stream(Bytes(6, 0x00));
    EXPECT_TRUE(stream.WriteU32(0, 0x44332211));
    EXPECT_TRUE(stream.WriteU32(2, 0xDDCCBBAA)); // the last four bytes exactly
    const Bytes written = {0x11, 0x22, 0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(Contents(stream), written);
    for (const std::size_t offset : {std::size_t{3}, std::size_t{6}, std::size_t{100}, kMax - 3, kMax}) {
        SCOPED_TRACE(offset);
        EXPECT_FALSE(stream.WriteU32(offset, 0xFFFFFFFF));
        EXPECT_EQ(Contents(stream), written);
    }
    ByteStream empty;
    EXPECT_FALSE(empty.WriteU32(0, 1));
    EXPECT_EQ(empty.Size(), 0u);
}

} // namespace
} // namespace lmp
