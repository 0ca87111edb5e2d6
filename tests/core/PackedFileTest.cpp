#include "core/PackedFile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"

namespace lmp {
namespace {

using test::Bytes;

struct ScanRow {
    const char* name;
    Bytes bytes;
    std::size_t extent;
    std::optional<std::uint32_t> stored;
    std::uint32_t computed;
    std::uint64_t bodyEnd;
    Bytes decoded;
};

void ExpectScan(const PackedFile& file, const ScanRow& row)
{
    EXPECT_EQ(file.size, row.bytes.size());
    EXPECT_EQ(file.storedChecksum, row.stored);
    EXPECT_EQ(file.computedChecksum, row.computed);
    EXPECT_EQ(file.BodyEnd(), row.bodyEnd);
    EXPECT_EQ(test::Contents(file.decoded), row.decoded);
}

// The body of "abc" is one literal record (control byte 0x61) that runs into the trailer and past the end.
TEST(PackedFileScanner, SplitsBodyAndTrailerAndDecodesToTheExtentInAnyPieces)
{
    const Bytes abc = {0x61, 0x62, 0x63, 0x78, 0x56, 0x34, 0x12};
    const Bytes longer = {0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0xAA, 0xBB, 0xCC, 0xDD};
    const Bytes records = {0x01, 0x41, 0x42, 0xFE, 0x43, 0x00, 0x00, 0x00, 0x00};
    const ScanRow rows[] = {
        {"empty", {}, 16, std::nullopt, 0, 0, {}},
        {"one byte", {0x61}, 16, std::nullopt, 0, 0, {}},
        {"three bytes have no trailer", {0x61, 0x62, 0x63}, 16, std::nullopt, 0, 0, {}},
        {"trailer only", {0x01, 0x02, 0x03, 0x04}, 16, 0x04030201, 0, 0, {}},
        {"abc and trailer", abc, 16, 0x12345678, 0xDD98, 3, {0x62, 0x63, 0x78, 0x56, 0x34, 0x12}},
        {"decoding cut to its extent", abc, 2, 0x12345678, 0xDD98, 3, {0x62, 0x63}},
        {"no decoding at all", abc, 0, 0x12345678, 0xDD98, 3, {}},
        {"longer body", longer, 5, 0xDDCCBBAA, 0x6EF53100, 8, {0x62, 0x63, 0x64, 0x65, 0x66}},
        {"a literal and a repeat", records, 16, 0, 0x51598, 5, {0x41, 0x42, 0x43, 0x43, 0x43}},
        {"the extent inside the repeat", records, 4, 0, 0x51598, 5, {0x41, 0x42, 0x43, 0x43}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectScan(ScanPackedBytes(row.bytes, row.extent), row);
        const std::span<const std::uint8_t> all(row.bytes);
        for (std::size_t piece = 1; piece <= 13; ++piece) {
            SCOPED_TRACE(testing::Message() << "pieces of " << piece);
            PackedFileScanner scanner(row.extent);
            for (std::size_t at = 0; at < all.size(); at += piece) {
                scanner.Feed(all.subspan(at, std::min(piece, all.size() - at)));
                scanner.Feed({});
            }
            ExpectScan(std::move(scanner).Finish(), row);
        }
    }
}

// Bytes read in chunks of 1 MiB whose trailer straddles the one at 3 MiB. After the first byte 22 (checksum
// 0x110) come 3 MiB - 3 zero bytes that only rotate the word, by 3 * (3 MiB - 3) = 23 bits modulo 32. The
// first record is a literal of 35 zero bytes, cut to the extent of 10.
TEST(ScanPackedBytes, DecodesOnlyTheHeadOfLargeBytesAndChecksumsThemAcrossChunks)
{
    Bytes bytes((std::size_t{3} << 20) + 2, 0x00);
    bytes[0] = 0x22;
    std::fill(bytes.end() - 4, bytes.end(), 0x11);
    const PackedFile file = ScanPackedBytes(bytes, 10);
    EXPECT_EQ(file.size, bytes.size());
    EXPECT_EQ(file.storedChecksum, 0x11111111u);
    EXPECT_EQ(file.computedChecksum, 0x88000000u);
    EXPECT_EQ(test::Contents(file.decoded), Bytes(10, 0x00));
}

} // namespace
} // namespace lmp
