#include "core/PackedFile.h"

#include "TempFolder.h"
#include "testkit/GameFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

namespace lmp {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes HeadOf(const PackedFile& file)
{
    return Bytes(file.head.Bytes().begin(), file.head.Bytes().end());
}

struct ScanRow {
    const char* name;
    Bytes bytes;
    std::size_t headLimit;
    std::optional<std::uint32_t> stored;
    std::uint32_t computed;
    std::uint64_t bodyEnd;
    Bytes head;
};

const Bytes kAbcFile = {0x61, 0x62, 0x63, 0x78, 0x56, 0x34, 0x12};

const ScanRow kScans[] = {
    {"empty", {}, 16, std::nullopt, 0, 0, {}},
    {"one byte", {0x61}, 16, std::nullopt, 0, 0, {0x61}},
    {"three bytes have no trailer", {0x61, 0x62, 0x63}, 16, std::nullopt, 0, 0, {0x61, 0x62, 0x63}},
    {"trailer only", {0x01, 0x02, 0x03, 0x04}, 16, 0x04030201, 0, 0, {0x01, 0x02, 0x03, 0x04}},
    {"abc and trailer", kAbcFile, 16, 0x12345678, 0xDD98, 3, kAbcFile},
    {"head cut to its limit", kAbcFile, 2, 0x12345678, 0xDD98, 3, {0x61, 0x62}},
    {"no head at all", kAbcFile, 0, 0x12345678, 0xDD98, 3, {}},
    {"longer body",
     {0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0xAA, 0xBB, 0xCC, 0xDD},
     5,
     0xDDCCBBAA,
     0x6EF53100,
     8,
     {0x61, 0x62, 0x63, 0x64, 0x65}}};

void ExpectScan(const PackedFile& file, const ScanRow& row)
{
    EXPECT_EQ(file.size, row.bytes.size());
    EXPECT_EQ(file.storedChecksum, row.stored);
    EXPECT_EQ(file.computedChecksum, row.computed);
    EXPECT_EQ(file.BodyEnd(), row.bodyEnd);
    EXPECT_EQ(HeadOf(file), row.head);
}

TEST(ScanPackedBytes, SplitsBodyAndTrailerAndKeepsTheHead)
{
    for (const auto& row : kScans) {
        SCOPED_TRACE(row.name);
        ExpectScan(ScanPackedBytes(row.bytes, row.headLimit), row);
    }
}

TEST(PackedFileScanner, GivesTheSameResultForAnyChunking)
{
    for (const auto& row : kScans) {
        for (std::size_t chunk = 1; chunk <= 13; ++chunk) {
            SCOPED_TRACE(testing::Message() << row.name << ", chunks of " << chunk);
            PackedFileScanner scanner(row.headLimit);
            const std::span<const std::uint8_t> all(row.bytes);
            for (std::size_t at = 0; at < all.size(); at += chunk) {
                scanner.Feed(all.subspan(at, std::min(chunk, all.size() - at)));
                scanner.Feed({});
            }
            ExpectScan(std::move(scanner).Finish(), row);
        }
    }
}

TEST(ReadPackedFile, ReadsAFileOnDiskLikeTheBytesInMemory)
{
    const test::TempFolder folder;
    for (const auto& row : kScans) {
        SCOPED_TRACE(row.name);
        const auto path = folder / "file.SV4";
        testkit::WriteFile(path, row.bytes);
        ExpectScan(ReadPackedFile(path, row.headLimit), row);
    }
}

TEST(ReadPackedFile, KeepsOnlyTheHeadOfALargeFile)
{
    const test::TempFolder folder;
    Bytes bytes(3 * 1024 * 1024 + 7, 0x11);
    bytes[0] = 0x22;
    const auto path = folder / "large.SC4";
    testkit::WriteFile(path, bytes);
    const PackedFile file = ReadPackedFile(path, 10);
    EXPECT_EQ(file.size, bytes.size());
    EXPECT_EQ(file.storedChecksum, 0x11111111u);
    EXPECT_EQ(file.computedChecksum, ComputeFileChecksum(ByteStream(bytes), true));
    Bytes head(10, 0x11);
    head[0] = 0x22;
    EXPECT_EQ(HeadOf(file), head);
}

TEST(ReadPackedFile, ThrowsCannotOpenFileForMissingPathsAndFolders)
{
    const test::TempFolder folder;
    std::filesystem::create_directory(folder / "folder.SV4");
    for (const auto& path : {folder / "missing.SV4", folder / "folder.SV4"}) {
        SCOPED_TRACE(path.string());
        try {
            ReadPackedFile(path, 100);
            ADD_FAILURE() << "no error";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), "Cannot open file " + path.string());
        }
    }
}

} // namespace
} // namespace lmp
