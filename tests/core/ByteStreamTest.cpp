#include "core/ByteStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>

#include "TestSupport.h"

namespace lmp {
namespace {

using test::Bytes;
constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
const Bytes kFive = {0x01, 0x02, 0x03, 0x04, 0x05};

TEST(ByteReader, ReadsLittleEndianWordsAndZeroForMissingBytes)
{
    struct Row {
        const char* name;
        Bytes bytes;
        std::size_t at;
        std::uint32_t u8, u16, u32;
        int i32;
    };
    const Row rows[] = {
        {"first byte", kFive, 0, 0x01, 0x0201, 0x04030201, 0x04030201},
        {"word ending exactly at the end", kFive, 1, 0x02, 0x0302, 0x05040302, 0x05040302},
        {"word one byte short", kFive, 2, 0x03, 0x0403, 0x00050403, 0x00050403},
        {"last byte", kFive, 4, 0x05, 0x0005, 0x00000005, 0x00000005},
        {"exactly at the end", kFive, 5, 0, 0, 0, 0},
        {"past the end", kFive, 6, 0, 0, 0, 0},
        {"near the top", kFive, kMax - 3, 0, 0, 0, 0},
        {"one below the top", kFive, kMax - 1, 0, 0, 0, 0},
        {"at the top", kFive, kMax, 0, 0, 0, 0},
        {"empty view at the top", {}, kMax, 0, 0, 0, 0},
        {"all ones is minus one", {0xFF, 0xFF, 0xFF, 0xFF}, 0, 0xFF, 0xFFFF, 0xFFFFFFFF, -1},
        {"top bit alone", {0, 0, 0, 0x80}, 0, 0, 0, 0x80000000, std::numeric_limits<std::int32_t>::min()},
        {"missing high bytes keep a word positive", {0xFF, 0xFF}, 0, 0xFF, 0xFFFF, 0xFFFF, 0xFFFF}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ByteReader reader(row.bytes);
        EXPECT_EQ(reader.U8(row.at), row.u8);
        EXPECT_EQ(reader.U16(row.at), row.u16);
        EXPECT_EQ(reader.U32(row.at), row.u32);
        EXPECT_EQ(reader.I32(row.at), row.i32);
    }
    EXPECT_EQ(ByteReader().U32(0), 0u);
}

TEST(ByteReader, BoundsChecksNeverOverflowAndBulkReadsCopyOnlyTheBytesThatExist)
{
    const ByteReader reader(kFive);
    struct Fit {
        std::size_t offset, count;
        bool fits;
    };
    const Fit fits[] = {{0, 0, true},     {0, 5, true},       {1, 4, true},     {5, 0, true},
                        {1, 5, false},    {6, 0, false},      {kMax, 1, false}, {1, kMax, false},
                        {5, kMax, false}, {kMax, kMax, false}};
    for (const auto& row : fits)
        EXPECT_EQ(reader.Fits(row.offset, row.count), row.fits) << row.offset << " + " << row.count;
    EXPECT_FALSE(ByteReader().Fits(0, 1));

    struct Copy {
        std::size_t offset, count;
        Bytes copied;
    };
    const Copy reads[] = {{0, 5, {1, 2, 3, 4, 5}}, {3, 4, {4, 5}}, {5, 3, {}}, {kMax, 4, {}}, {2, 0, {}}};
    for (const auto& row : reads) {
        Bytes out(row.count, 0xEE), expected = row.copied;
        expected.resize(row.count, 0xEE); // the rest of the buffer is left as it was
        EXPECT_EQ(reader.Read(row.offset, out), row.copied.size()) << row.offset;
        EXPECT_EQ(out, expected) << row.offset;
    }
}

TEST(ByteStream, WriteU32ReplacesFourBytesInsideAndChangesNothingOutside)
{
    ByteStream stream(Bytes(6, 0x00));
    EXPECT_TRUE(stream.WriteU32(0, 0x44332211));
    EXPECT_TRUE(stream.WriteU32(2, 0xDDCCBBAA)); // the last four bytes exactly
    const Bytes written = {0x11, 0x22, 0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(test::Contents(stream), written);
    for (const std::size_t offset : {std::size_t{3}, std::size_t{6}, std::size_t{100}, kMax - 3, kMax}) {
        EXPECT_FALSE(stream.WriteU32(offset, 0xFFFFFFFF)) << offset;
        EXPECT_EQ(test::Contents(stream), written) << offset;
    }
    EXPECT_FALSE(ByteStream().WriteU32(0, 1));
}

// Blocks from new[], a little larger than asked for, each given back exactly once.
class CountingSource final : public BlockSource {
public:
    std::span<std::uint8_t> Take(std::size_t size) override
    {
        const std::span<std::uint8_t> block(new std::uint8_t[size + 16], size + 16);
        blocks.insert(block.data());
        return block;
    }
    void Give(std::span<std::uint8_t> block) noexcept override
    {
        given += blocks.erase(block.data()) == 1 ? 0 : 1000; // a block given twice or never taken
        delete[] block.data();
    }
    std::span<std::uint8_t> Grow(std::span<std::uint8_t> block, std::size_t size, std::size_t kept) override
    {
        const std::span<std::uint8_t> grown = Take(size);
        std::copy_n(block.begin(), kept, grown.begin());
        Give(block);
        ++given;
        return grown;
    }

    std::set<std::uint8_t*> blocks; // taken, not yet given back
    int given = 0;                  // blocks grown
};

// The same steps with memory from the heap and from a block source, which gets every block back.
TEST(ByteStream, GrowsInPlaceKeepsItsBytesAndCopiesWhole)
{
    CountingSource source;
    for (const bool fromSource : {false, true}) {
        SCOPED_TRACE(fromSource ? "blocks from a source" : "the heap");
        ByteStream stream = fromSource ? ByteStream(source) : ByteStream();
        stream.Append(Bytes{1, 2});
        stream.Reserve(100);
        EXPECT_GE(stream.Capacity(), 100u);
        EXPECT_EQ(test::Contents(stream), (Bytes{1, 2}));
        const std::span<std::uint8_t> added = stream.Extend(3);
        ASSERT_EQ(added.size(), 3u);
        std::copy_n(Bytes{7, 8, 9}.begin(), 3, added.begin());
        EXPECT_EQ(test::Contents(stream), (Bytes{1, 2, 7, 8, 9}));
        stream.Truncate(4);
        stream.Truncate(10); // never grows
        stream.AppendRepeated(5, 2);
        stream.Append(Bytes(300, 6)); // past the reserved room
        const Bytes expected = test::Concat<std::uint8_t>({{1, 2, 7, 8, 5, 5}, Bytes(300, 6)});
        EXPECT_EQ(test::Contents(stream), expected);

        ByteStream copy = stream;
        stream.WriteU32(0, 0xFFFFFFFF);
        EXPECT_EQ(test::Contents(copy), expected);
        ByteStream moved = std::move(copy);
        EXPECT_EQ(test::Contents(moved), expected);
        moved = std::move(stream); // gives its own block back first
        stream.Clear();
        stream.Append(Bytes{3});
        EXPECT_EQ(test::Contents(stream), (Bytes{3}));
        moved.Release();
        EXPECT_EQ(moved.Capacity(), 0u);
    }
    EXPECT_TRUE(source.blocks.empty());
    EXPECT_EQ(source.given, 2); // grown twice, nothing given twice
}

} // namespace
} // namespace lmp
