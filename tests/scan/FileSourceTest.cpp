#include "scan/FileSource.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"
#include "testkit/GameFiles.h"

namespace lmp {
namespace {

using test::Bytes;

void ExpectSame(const PackedFile& read, const PackedFile& scanned)
{
    EXPECT_EQ(read.size, scanned.size);
    EXPECT_EQ(read.storedChecksum, scanned.storedChecksum);
    EXPECT_EQ(read.computedChecksum, scanned.computedChecksum);
    EXPECT_EQ(test::Contents(read.decoded), test::Contents(scanned.decoded));
}

// A file on disk gives what its bytes give in memory, whether shorter than a trailer, a trailer alone or
// records running into it (the core's tests hold the bytes to their values).
TEST(ReadPackedFile, ReadsAFileAsItsBytesAreScanned)
{
    const Bytes files[] = {{},
                           {0x61},
                           {0x61, 0x62, 0x63},
                           {0x01, 0x02, 0x03, 0x04},
                           {0x61, 0x62, 0x63, 0x78, 0x56, 0x34, 0x12},
                           {0x01, 0x41, 0x42, 0xFE, 0x43, 0x00, 0x00, 0x00, 0x00}};
    const test::TempFolder folder;
    for (const Bytes& bytes : files) {
        testkit::WriteFile(folder / "file.SV4", bytes);
        for (const std::size_t extent : {std::size_t{0}, std::size_t{4}, std::size_t{16}}) {
            SCOPED_TRACE(testing::Message() << bytes.size() << " bytes, extent " << extent);
            ExpectSame(ReadPackedFile(folder / "file.SV4", extent), ScanPackedBytes(bytes, extent));
        }
    }
    EXPECT_THROW(ReadPackedFile(folder / "missing.SV4", 16), FileError);
}

// A file read in chunks of 1 MiB whose trailer straddles the one at 3 MiB. After the first byte 22 (checksum
// 0x110) come 3 MiB - 3 zero bytes that only rotate the word, by 3 * (3 MiB - 3) = 23 bits modulo 32. The
// first record is a literal of 35 zero bytes, cut to the extent of 10.
TEST(ReadPackedFile, DecodesOnlyTheHeadOfALargeFileAndChecksumsItAcrossChunks)
{
    Bytes bytes((std::size_t{3} << 20) + 2, 0x00);
    bytes[0] = 0x22;
    std::fill(bytes.end() - 4, bytes.end(), 0x11);
    const test::TempFolder folder;
    testkit::WriteFile(folder / "large.SC4", bytes);
    for (const PackedFile& file : {ReadPackedFile(folder / "large.SC4", 10), ScanPackedBytes(bytes, 10)}) {
        EXPECT_EQ(file.size, bytes.size());
        EXPECT_EQ(file.storedChecksum, 0x11111111u);
        EXPECT_EQ(file.computedChecksum, 0x88000000u);
        EXPECT_EQ(test::Contents(file.decoded), Bytes(10, 0x00));
    }
}

} // namespace
} // namespace lmp
