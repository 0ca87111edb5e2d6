#include "core/PackedFile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

using test::Bytes;

struct ScanRow {
    const char* name;
    Bytes bytes;
    std::size_t headLimit;
    std::optional<std::uint32_t> stored;
    std::uint32_t computed;
    std::uint64_t bodyEnd;
    Bytes head;
};

void ExpectScan(const PackedFile& file, const ScanRow& row)
{
    EXPECT_EQ(file.size, row.bytes.size());
    EXPECT_EQ(file.storedChecksum, row.stored);
    EXPECT_EQ(file.computedChecksum, row.computed);
    EXPECT_EQ(file.BodyEnd(), row.bodyEnd);
    EXPECT_EQ(test::Contents(file.head), row.head);
}

TEST(PackedFileScanner, SplitsBodyAndTrailerAndKeepsTheHeadWholeInAnyPiecesAndOnDisk)
{
    const Bytes abc = {0x61, 0x62, 0x63, 0x78, 0x56, 0x34, 0x12};
    const Bytes longer = {0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0xAA, 0xBB, 0xCC, 0xDD};
    const ScanRow rows[] = {
        {"empty", {}, 16, std::nullopt, 0, 0, {}},
        {"one byte", {0x61}, 16, std::nullopt, 0, 0, {0x61}},
        {"three bytes have no trailer", {0x61, 0x62, 0x63}, 16, std::nullopt, 0, 0, {0x61, 0x62, 0x63}},
        {"trailer only", {0x01, 0x02, 0x03, 0x04}, 16, 0x04030201, 0, 0, {0x01, 0x02, 0x03, 0x04}},
        {"abc and trailer", abc, 16, 0x12345678, 0xDD98, 3, abc},
        {"head cut to its limit", abc, 2, 0x12345678, 0xDD98, 3, {0x61, 0x62}},
        {"no head at all", abc, 0, 0x12345678, 0xDD98, 3, {}},
        {"longer body", longer, 5, 0xDDCCBBAA, 0x6EF53100, 8, {0x61, 0x62, 0x63, 0x64, 0x65}}};
    const test::TempFolder folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectScan(ScanPackedBytes(row.bytes, row.headLimit), row);
        testkit::WriteFile(folder / "file.SV4", row.bytes);
        ExpectScan(ReadPackedFile(folder / "file.SV4", row.headLimit), row);
        const std::span<const std::uint8_t> all(row.bytes);
        for (std::size_t piece = 1; piece <= 13; ++piece) {
            SCOPED_TRACE(testing::Message() << "pieces of " << piece);
            PackedFileScanner scanner(row.headLimit);
            for (std::size_t at = 0; at < all.size(); at += piece) {
                scanner.Feed(all.subspan(at, std::min(piece, all.size() - at)));
                scanner.Feed({});
            }
            ExpectScan(std::move(scanner).Finish(), row);
        }
    }
}

// A file read in chunks of 1 MiB whose trailer straddles the one at 3 MiB. After the first byte 22 (checksum
// 0x110) come 3 MiB - 3 zero bytes that only rotate the word, by 3 * (3 MiB - 3) = 23 bits modulo 32.
TEST(ReadPackedFile, KeepsOnlyTheHeadOfALargeFileAndChecksumsItAcrossChunks)
{
    Bytes bytes((std::size_t{3} << 20) + 2, 0x00);
    bytes[0] = 0x22;
    std::fill(bytes.end() - 4, bytes.end(), 0x11);
    const test::TempFolder folder;
    testkit::WriteFile(folder / "large.SC4", bytes);
    const PackedFile file = ReadPackedFile(folder / "large.SC4", 10);
    EXPECT_EQ(file.size, bytes.size());
    EXPECT_EQ(file.storedChecksum, 0x11111111u);
    EXPECT_EQ(file.computedChecksum, 0x88000000u);
    EXPECT_EQ(test::Contents(file.head), (Bytes{0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace
} // namespace lmp
