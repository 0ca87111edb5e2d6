#include "core/RunLength.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "TestSupport.h"

namespace lmp {
namespace {

using test::Bytes;
using test::Concat;
using test::Counting;
constexpr auto kFar = std::numeric_limits<std::uint64_t>::max();

// Also checks that the memory held follows the output (a few MiB at most ahead of it), not the most that
// the source could yield.
Bytes DecodeBody(const Bytes& body, std::uint64_t bodyEnd, std::size_t limit = kUnlimited)
{
    ByteStream destination(Bytes{0xDE, 0xAD}); // must be emptied first
    DecodeRunLength(ByteStream(body), destination, bodyEnd, limit);
    EXPECT_LE(destination.Capacity(), std::max(std::size_t{8} << 20, 2 * destination.Size()));
    return test::Contents(destination);
}

TEST(DecodeRunLength, DecodesEveryRecordKindAndKeepsTheBytesOfRecordsCutOffByTheSourceEnd)
{
    struct Row {
        const char* name;
        Bytes source;
        std::uint64_t bodyEnd;
        Bytes decoded;
    };
    Bytes literals, literalBytes; // 40,000 literals of 128 bytes: 5 MB that could have yielded 333 MB
    for (std::size_t i = 0; i < 40000; ++i) {
        const Bytes bytes = Counting(128, static_cast<std::uint8_t>(i));
        literals.push_back(0x7F);
        literals.insert(literals.end(), bytes.begin(), bytes.end());
        literalBytes.insert(literalBytes.end(), bytes.begin(), bytes.end());
    }
    const Row rows[] = {
        {"empty body", {}, kFar, {}},
        {"one literal byte", {0x00, 0x41}, kFar, {0x41}},
        {"three literal bytes", {0x02, 0x41, 0x42, 0x43}, kFar, {0x41, 0x42, 0x43}},
        {"longest literal", Concat({{0x7F}, Counting(128, 1)}), kFar, Counting(128, 1)},
        {"shortest repeat", {0xFF, 0x41}, kFar, {0x41, 0x41}},
        {"three copies", {0xFE, 7}, kFar, {7, 7, 7}},
        {"128 copies", {0x81, 9}, kFar, Bytes(128, 9)},
        {"longest repeat", {0x80, 9}, kFar, Bytes(129, 9)},
        {"records in sequence", {0x01, 0x0A, 0x0B, 0xFD, 0x0C, 0x00, 0x0D}, 7, {10, 11, 12, 12, 12, 12, 13}},
        {"literal of control-like bytes", {0x01, 0x80, 0xFF}, 3, {0x80, 0xFF}},
        {"literal missing its last bytes", {0x05, 0x41, 0x42}, 3, {0x41, 0x42}},
        {"literal with no byte at all", {0x00, 0x41, 0x03}, 3, {0x41}},
        {"repeat without its value byte", {0x00, 0x41, 0x80}, 3, {0x41}},
        {"body end beyond the source", {0x00, 0x41, 0x00, 0x42}, 1000, {0x41, 0x42}},
        {"body end inside the first record", {0x02, 0x41, 0x42, 0x43, 0x00, 0x44}, 1, {0x41, 0x42, 0x43}},
        {"body end zero", {0x00, 0x41}, 0, {}},
        {"five megabytes of literals", literals, kFar, literalBytes}};
    for (const auto& row : rows)
        EXPECT_EQ(DecodeBody(row.source, row.bodyEnd), row.decoded) << row.name;
}

TEST(DecodeRunLength, StopsAtTheTrailerOfAPackedFileOnlyAtARecordStart)
{
    struct Row {
        const char* name;
        Bytes file, decoded;
    };
    const Row rows[] = {
        {"four-byte file has an empty body", {0x00, 0x41, 0x00, 0x42}, {}},
        {"file shorter than a trailer decodes nothing", {0x00, 0x41, 0x00}, {}},
        {"empty file", {}, {}},
        {"record at the trailer is not read", {0x00, 0x41, 0x00, 0x99, 0x00, 0x99}, {0x41}},
        {"literal running two bytes into the trailer", {0x00, 0x41, 0x02, 2, 3, 4, 5, 6}, {0x41, 2, 3, 4}},
        {"literal covering the whole trailer", {0x00, 0x41, 0x03, 2, 3, 4, 5}, {0x41, 2, 3, 4, 5}},
        {"repeat of the first trailer byte", {0x00, 0x41, 0xFF, 0x5A, 0, 0, 0}, {0x41, 0x5A, 0x5A}},
        {"literal cut off by the file end", {0x00, 0x41, 0x7F, 1, 2, 3, 4, 5, 6}, {0x41, 1, 2, 3, 4, 5, 6}}};
    for (const auto& row : rows) {
        ByteStream destination(Bytes{0xDE, 0xAD});
        DecodeRunLength(ByteStream(row.file), destination);
        EXPECT_EQ(test::Contents(destination), row.decoded) << row.name;
    }
}

TEST(DecodeRunLength, StopsExactlyAtTheLimitEvenInsideARecord)
{
    const Bytes body = {0x02, 0x41, 0x42, 0x43, 0xFE, 0x44, 0x00, 0x45};
    const Bytes whole = {0x41, 0x42, 0x43, 0x44, 0x44, 0x44, 0x45};
    struct Row {
        const char* name;
        std::size_t limit;
        Bytes decoded;
    };
    const Row rows[] = {{"zero", 0, {}},
                        {"inside a literal", 2, {0x41, 0x42}},
                        {"at a record boundary", 3, {0x41, 0x42, 0x43}},
                        {"inside a repeat", 5, {0x41, 0x42, 0x43, 0x44, 0x44}},
                        {"exactly the whole output", 7, whole},
                        {"more than the output", 100, whole}};
    for (const auto& row : rows)
        EXPECT_EQ(DecodeBody(body, body.size(), row.limit), row.decoded) << row.name;
}

// The bound covers a 129-byte record begun just before the limit, and saturates instead of wrapping.
static_assert(RunLengthInputBound(0) == 129 && RunLengthInputBound(54) == 237);
static_assert(RunLengthInputBound(kUnlimited) == kUnlimited);
static_assert(RunLengthInputBound((kUnlimited - 129) / 2) == kUnlimited);
static_assert(RunLengthInputBound((kUnlimited - 129) / 2 + 1) == kUnlimited);

TEST(RunLengthInputBound, HeadOfThatManyBytesDecodesLikeTheWholeSource)
{
    Bytes pairs; // one-byte literals: two input bytes per output byte, the densest encoding
    for (int i = 0; i < 400; ++i)
        pairs.insert(pairs.end(), {0x00, static_cast<std::uint8_t>(i)});
    // 53 one-byte literals, then a 128-byte literal that starts one byte before the limit.
    const Bytes late = Concat({Bytes(pairs.begin(), pairs.begin() + 106), {0x7F}, Counting(128, 160), pairs});
    struct Row {
        const char* name;
        Bytes body;
        std::size_t limit;
        Bytes decoded;
    };
    const Row rows[] = {{"one-byte literals", pairs, 54, Counting(54)},
                        {"one-byte literals, larger limit", pairs, 150, Counting(150)},
                        {"long literal at the limit", late, 54, Concat({Counting(53), {160}})}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t bound = RunLengthInputBound(row.limit);
        ASSERT_LT(bound, row.body.size());
        const Bytes head(row.body.begin(), row.body.begin() + static_cast<std::ptrdiff_t>(bound));
        EXPECT_EQ(DecodeBody(row.body, row.body.size(), row.limit), row.decoded);
        EXPECT_EQ(DecodeBody(head, row.body.size(), row.limit), row.decoded);
    }
}

} // namespace
} // namespace lmp
