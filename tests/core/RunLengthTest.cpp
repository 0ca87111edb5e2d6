#include "core/RunLength.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace lmp {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Counting(std::size_t count, std::uint8_t first = 0)
{
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(first + i);
    }
    return bytes;
}

Bytes Contents(const ByteStream& stream)
{
    return Bytes(stream.Bytes().begin(), stream.Bytes().end());
}

Bytes DecodeBody(const Bytes& body, std::uint64_t bodyEnd, std::size_t limit = kUnlimited)
{
    ByteStream destination(Bytes{0xDE, 0xAD}); // must be emptied first
    DecodeRunLength(ByteStream(body), destination, bodyEnd, limit);
    return Contents(destination);
}

Bytes DecodePacked(const Bytes& file)
{
    ByteStream destination(Bytes{0xDE, 0xAD});
    DecodeRunLength(ByteStream(file), destination);
    return Contents(destination);
}

struct DecodeRow {
    const char* name;
    Bytes body;
    Bytes decoded;
};

TEST(DecodeRunLength, DecodesEveryRecordKind)
{
    const DecodeRow rows[] = {{"empty body", {}, {}},
                              {"one literal byte", {0x00, 0x41}, {0x41}},
                              {"three literal bytes", {0x02, 0x41, 0x42, 0x43}, {0x41, 0x42, 0x43}},
                              {"longest literal", Concat({{0x7F}, Counting(128, 1)}), Counting(128, 1)},
                              {"shortest repeat", {0xFF, 0x41}, {0x41, 0x41}},
                              {"three copies", {0xFE, 0x07}, {0x07, 0x07, 0x07}},
                              {"128 copies", {0x81, 0x41}, Bytes(128, 0x41)},
                              {"longest repeat", {0x80, 0x41}, Bytes(129, 0x41)},
                              {"records in sequence",
                               {0x01, 0x0A, 0x0B, 0xFD, 0x0C, 0x00, 0x0D},
                               {0x0A, 0x0B, 0x0C, 0x0C, 0x0C, 0x0C, 0x0D}},
                              {"literal of control-like bytes", {0x01, 0x80, 0xFF}, {0x80, 0xFF}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeBody(row.body, row.body.size()), row.decoded);
    }
}

TEST(DecodeRunLength, StopsAtTheTrailerOnlyAtARecordStart)
{
    const DecodeRow rows[] = {
        {"four-byte file has an empty body", {0x00, 0x41, 0x00, 0x42}, {}},
        {"file shorter than a trailer decodes nothing", {0x00, 0x41, 0x00}, {}},
        {"empty file", {}, {}},
        {"record at the trailer is not read", {0x00, 0x41, 0x00, 0x99, 0x00, 0x99}, {0x41}},
        {"literal running two bytes into the trailer",
         {0x00, 0x41, 0x02, 0x42, 0x43, 0x44, 0x45, 0x46},
         {0x41, 0x42, 0x43, 0x44}},
        {"literal covering the whole trailer",
         {0x00, 0x41, 0x03, 0x42, 0x43, 0x44, 0x45},
         {0x41, 0x42, 0x43, 0x44, 0x45}},
        {"repeat whose value is the first trailer byte",
         {0x00, 0x41, 0xFF, 0x5A, 0x00, 0x00, 0x00},
         {0x41, 0x5A, 0x5A}},
        {"literal cut off by the physical end keeps what exists",
         {0x00, 0x41, 0x7F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06},
         {0x41, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodePacked(row.body), row.decoded);
    }
}

TEST(DecodeRunLength, RecordsCutOffByTheEndOfTheSourceKeepTheBytesThatExist)
{
    struct Row {
        const char* name;
        Bytes source;
        std::uint64_t bodyEnd;
        Bytes decoded;
    };
    constexpr auto kFar = std::numeric_limits<std::uint64_t>::max();
    const Row rows[] = {
        {"literal missing its last bytes", {0x05, 0x41, 0x42}, 3, {0x41, 0x42}},
        {"literal with no byte at all", {0x00, 0x41, 0x03}, 3, {0x41}},
        {"repeat without its value byte", {0x00, 0x41, 0x80}, 3, {0x41}},
        {"body end beyond the source", {0x00, 0x41, 0x00, 0x42}, 1000, {0x41, 0x42}},
        {"body end at the top of the range", {0xFF, 0x07, 0x01, 0x08}, kFar, {0x07, 0x07, 0x08}},
        {"body end inside the first record", {0x02, 0x41, 0x42, 0x43, 0x00, 0x44}, 1, {0x41, 0x42, 0x43}},
        {"body end zero", {0x00, 0x41}, 0, {}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeBody(row.source, row.bodyEnd), row.decoded);
    }
}

TEST(DecodeRunLength, StopsExactlyAtTheLimitEvenInsideARecord)
{
    struct Row {
        const char* name;
        std::size_t limit;
        Bytes decoded;
    };
    // Decodes in full to 41 42 43 44 44 44 45.
    const Bytes body = {0x02, 0x41, 0x42, 0x43, 0xFE, 0x44, 0x00, 0x45};
    const Row rows[] = {{"zero", 0, {}},
                        {"inside a literal", 2, {0x41, 0x42}},
                        {"at a record boundary", 3, {0x41, 0x42, 0x43}},
                        {"inside a repeat", 5, {0x41, 0x42, 0x43, 0x44, 0x44}},
                        {"exactly the whole output", 7, {0x41, 0x42, 0x43, 0x44, 0x44, 0x44, 0x45}},
                        {"more than the output", 100, {0x41, 0x42, 0x43, 0x44, 0x44, 0x44, 0x45}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeBody(body, body.size(), row.limit), row.decoded);
    }
}

// The bound covers a 129-byte record begun just before the limit, and saturates instead of wrapping.
static_assert(RunLengthInputBound(0) == 129);
static_assert(RunLengthInputBound(54) == 237);
static_assert(RunLengthInputBound(kUnlimited) == kUnlimited);
static_assert(RunLengthInputBound((kUnlimited - 129) / 2) == kUnlimited);
static_assert(RunLengthInputBound((kUnlimited - 129) / 2 + 1) == kUnlimited);

TEST(RunLengthInputBound, HeadOfThatManyBytesDecodesLikeTheWholeSource)
{
    struct Row {
        const char* name;
        Bytes body;
        std::size_t limit;
        Bytes decoded;
    };
    Bytes pairs; // one-byte literals: two input bytes per output byte, the densest encoding
    for (int i = 0; i < 400; ++i) {
        pairs.insert(pairs.end(), {0x00, static_cast<std::uint8_t>(i)});
    }
    // 53 one-byte literals, then a 128-byte literal that starts one byte before the limit.
    const Bytes lateLiteral =
        Concat({Bytes(pairs.begin(), pairs.begin() + 106), {0x7F}, Counting(128, 0xA0), pairs});
    const Row rows[] = {{"one-byte literals", pairs, 54, Counting(54)},
                        {"one-byte literals, larger limit", pairs, 150, Counting(150)},
                        {"long literal at the limit", lateLiteral, 54, Concat({Counting(53), {0xA0}})}};
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
